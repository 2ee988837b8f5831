// PK8000 start-up and frame loop: 35000 T-states per frame, keys and the frame
// interrupt at the frame's start, the console monitor before every instruction.
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/machine_ui.h"
#include "machines/pk8000/pk8000.h"
#include "machines/z80_machine/z80_debug_view.h"

void pk8000_load_rom()
{
    // A file that cannot be opened or read (a directory) is fatal, with a line naming it
    // and the reason; bytes past the end of a short file read as 0xFF.
    const char* name = "PK8000\\foton_piton.bin";
    FILE* file = open_data_file_or_fail(name, "Can't open file!");
    read_data_or_fail(file, pk8000.rom, sizeof pk8000.rom, name, "Can't open file!");
    std::fclose(file);
}

void pk8000_power_on()
{
    std::memset(pk8000.ram, 0, sizeof pk8000.ram);
    pk8000_set_memory_map(0xFC); // page 0 reads the ROM, pages 1-3 RAM
    pk8000.row_select = 0;
    std::memset(pk8000.matrix, 0, sizeof pk8000.matrix);
    pk8000.joystick = 0;
    pk8000.gfx_mode = pk8000.sys_mode = pk8000.palette_con = 0;
    pk8000.tram_adr = pk8000.vram_adr = pk8000.gfx_pos = pk8000.attr_pos = 0;

    i8080_machine_power_on(&pk8000.cpu, {pk8000_fetch_byte, pk8000_read_mem, pk8000_write_mem, pk8000_read_port,
                                         pk8000_write_port},
                           pk8000.ram);
    z80_monitor_attach(&pk8000.monitor, "pk8000",
                       {.cpu = &pk8000.cpu, .read_byte = pk8000_read, .memory = pk8000.ram,
                        .memory_file = "PK8000Memory.bin", .dump_file = "PK8000-DisDump.txt",
                        .present = pk8000_draw_and_present});
}

void pk8000_begin_frame()
{
    z80_monitor_begin_frame(&pk8000.monitor, pk8000_frame_ticks);
    pk8000_scan_keys();
    // The frame interrupt is raised once, at the frame's start; a CPU with interrupts
    // disabled misses it.
    if (z80_iff1(&pk8000.cpu)) z80_accept_interrupt(&pk8000.cpu);
}

void pk8000_run_frame()
{
    z80_monitor_run(&pk8000.monitor);
}

void pk8000_finish_frame()
{
    if (z80_monitor_frame_done(&pk8000.monitor)) pk8000_draw_and_present();
}

extern const MachineUi pk8000_machine_ui; // at the end of this file

void pk8000_main()
{
    machine_ui_register(&pk8000_machine_ui);
    pk8000_load_rom();
    set_client_size(pk8000_picture_width, pk8000_picture_height);
    clear_back_buffer(); // the rows between emulated lines stay black
    pk8000_power_on();
    pk8000_register_state();
    std::printf("CPU: %s\n", z80_8080_mode(&pk8000.cpu) ? "8080" : "Z80");
    for (;;) {
        pk8000_begin_frame();
        pk8000_run_frame();
        pk8000_finish_frame();
    }
}

// ---- What the on-screen interface offers: the hot keys ---------------------------------
namespace {

using K = MachineHotKey;
const MachineHotKey pk8000_hot_keys[] = {
    {{0xB7, 0x46, 0xC5}, "Print Screen + Scroll Lock + Pause", "reset", K::RESET, 0, "Reset"},
    {{0x42}, "F8", "stop in the console monitor"},
};

} // namespace

const MachineUi pk8000_machine_ui = {"pk8000", nullptr, 0, nullptr, nullptr, nullptr,
                         pk8000_hot_keys, sizeof pk8000_hot_keys / sizeof pk8000_hot_keys[0], MachineJoystick::KEYS};
