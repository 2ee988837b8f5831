// Specialist start-up and frame loop: 35000 T-states per frame, no interrupt, the
// console monitor checked before every instruction, pacing without sound.
#include <cstdio>
#include <cstring>

#include "host/machine_ui.h"
#include "machines/specialist/specialist.h"
#include "machines/z80_machine/z80_debug_view.h"

void specialist_start()
{
    std::memset(specialist.memory, 0, sizeof specialist.memory);
    specialist_load_bios();
    specialist_power_on();
}

void specialist_power_on()
{
    i8080_machine_power_on(&specialist.cpu, {specialist_fetch_byte, specialist_read_mem, specialist_write_mem,
                                             specialist_read_port, specialist_write_port},
                           specialist.memory);
    specialist.cpu.pc = specialist_bios_start;
    specialist_ppi_reset();
    for (uint16_t& row : specialist.key_rows) row = 0;
    specialist.shift_down = 0;

    z80_monitor_attach(&specialist.monitor, "specialist",
                       {.cpu = &specialist.cpu, .read_byte = specialist_peek, .memory = specialist.memory,
                        .memory_file = "SPEC000Memory.bin", .dump_file = "SPEC000-DisDump.txt",
                        .present = specialist_draw_and_present});
}

void specialist_run_frame()
{
    z80_monitor_begin_frame(&specialist.monitor, specialist_frame_ticks);
    specialist_build_inputs();
    z80_monitor_run(&specialist.monitor);
}

extern const MachineUi specialist_machine_ui; // at the end of this file

void specialist_main()
{
    machine_ui_register(&specialist_machine_ui);
    specialist_start();
    specialist_register_state();
    std::printf("CPU: %s\n", z80_8080_mode(&specialist.cpu) ? "8080" : "Z80");
    set_client_size(specialist_picture_width, specialist_picture_height);
    z80_monitor_run_frames(&specialist.monitor, specialist_run_frame);
}

// ---- What the on-screen interface offers: the hot keys ---------------------------------
namespace {

using K = MachineHotKey;
const MachineHotKey specialist_hot_keys[] = {
    {{0xB7, 0x46, 0xC5}, "Print Screen + Scroll Lock + Pause", "reset", K::RESET, 0, "Reset"},
    {{0x42}, "F8", "stop in the console monitor (the Specialist's own F8 key too)"},
};

} // namespace

const MachineUi specialist_machine_ui = {"specialist", nullptr, 0, nullptr, nullptr, nullptr,
                         specialist_hot_keys, sizeof specialist_hot_keys / sizeof specialist_hot_keys[0], MachineJoystick::NONE};
