// Tile machine start-up, hot keys and frame loop: one interrupt at the frame's start,
// 35000 T-states per frame, the console monitor before every instruction, sound muted.
#include <cstdio>
#include <cstring>

#include "host/key_codes.h"
#include "host/machine_ui.h"
#include "machines/tile/tile.h"
#include "machines/z80_machine/z80_debug_view.h"

namespace {

void step_scanlines()
{
    switch (tile.scanlines) {
    case tile_lines_black:
        tile.scanlines = tile_lines_smooth;
        std::printf("Smooth scanlines\n");
        break;
    case tile_lines_smooth:
        tile.scanlines = tile_lines_double;
        std::printf("Double lines\n");
        break;
    default:
        tile.scanlines = tile_lines_black;
        std::printf("Black scanlines\n");
        break;
    }
}

void step_scale()
{
    switch (tile.scale) {
    case tile_scale_3:
        tile.scale = tile_scale_1;
        std::printf("Screen X-scale = 1.0\n");
        set_client_size(512, 512);
        break;
    case tile_scale_1:
        tile.scale = tile_scale_1_25;
        std::printf("Screen X-scale = 1.25\n");
        set_client_size(640, 512);
        break;
    default:
        tile.scale = tile_scale_3;
        std::printf("Screen Y-scale = 3.0\n");
        set_client_size(960, 768);
        break;
    }
}

} // namespace

void tile_build_inputs()
{
    tile.input[0] = static_cast<uint8_t>((key_down(key_left) ? 0x20 : 0) | (key_down(key_right) ? 0x02 : 0));
    tile.input[1] = static_cast<uint8_t>((key_down(key_up) ? 0x02 : 0) | (key_down(key_down_arrow) ? 0x20 : 0));
    tile.input[2] = static_cast<uint8_t>((tile.input[2] & 0x80) | (key_down(key_enter) ? 0x10 : 0)
                                         | (key_down(key_space) ? 0x40 : 0) | (key_down(key_left_ctrl) ? 0x20 : 0));
}

void tile_handle_keys()
{
    if (key_down(key_left_windows) && (key_down(key_f) || key_down(key_c))) {
        // While Win+F or Win+C is held nothing else is looked at, so the letter does not
        // reach the game.
        if (key_pressed(key_f)) {
            fullscreen = !fullscreen;
            set_client_size(0, 0);
        }
        if (key_pressed(key_c))
            save_screenshot();
        return;
    }
    if (key_pressed(key_delete)) {
        clear_back_buffer();
        if (key_down(key_left_ctrl))
            step_scanlines();
        else
            step_scale();
    }
    if (key_down(key_f8)) z80_monitor_break(&tile.monitor);
    tile_build_inputs();
    // The 1 key hands unhandled window events to nobody from now on (no system menu
    // or beeps while the game is played with the keyboard).
    if (key_down(key_1)) default_processing = 0;
}

void tile_start()
{
    tile.control = tile.x_scroll = tile.y_scroll = 0;
    std::memset(tile.sprites, 0, sizeof tile.sprites);
    std::memset(tile.palette, 0, sizeof tile.palette);
    std::memset(tile.input, 0, sizeof tile.input);
    std::memset(tile.tile_map, 0, sizeof tile.tile_map);
    std::memset(tile.tile_planes, 0, sizeof tile.tile_planes);
    std::memset(tile.memory, 0, sizeof tile.memory);
    tile.scale = tile_scale_3;
    tile.scanlines = tile_lines_black;

    tile_load_program();
    std::memset(tile.work, 0, sizeof tile.work);
    audio_mute();
    tile_build_colour_table();
    tile_power_on();
}

void tile_power_on()
{
    z80_power_on(&tile.cpu, 256, {tile_fetch_byte, tile_read_mem, tile_write_mem, tile_read_port, tile_write_port},
                 tile.memory);
    // Plain memory reads without side effects; no memory dump command on this machine.
    z80_monitor_attach(&tile.monitor, "tile",
                       {.cpu = &tile.cpu, .dump_file = "TIA-DisDump.txt", .present = tile_draw_and_present});
}

void tile_run_frame()
{
    Z80State& cpu = tile.cpu;
    tile.input[2] &= 0x7F;
    cpu.ticks += tile_frame_ticks;
    shift_key_snapshot();
    snapshot_keys();
    if (key_down(key_print_screen) && key_down(key_scroll_lock) && key_down(key_pause)) z80_reset(&cpu);
    tile_handle_keys();
    if (z80_iff1(&cpu)) z80_accept_interrupt(&cpu);
    while (cpu.ticks >= 0) {
        z80_monitor_check(&tile.monitor);
        if (cpu.ticks < tile_d2_bit7_ticks) tile.input[2] |= 0x80;
        z80_debug_view_check(&cpu);
        z80_run_instruction(&cpu);
    }
}

extern const MachineUi tile_machine_ui; // at the end of this file

void tile_main()
{
    machine_ui_register(&tile_machine_ui);
    tile_start();
    tile_register_state();
    set_client_size(960, 768);
    z80_monitor_run_frames(&tile.monitor, tile_run_frame);
}

// ---- What the on-screen interface offers: the hot keys ---------------------------------
namespace {

using K = MachineHotKey;
const MachineHotKey tile_hot_keys[] = {
    {{0xB7, 0x46, 0xC5}, "Print Screen + Scroll Lock + Pause", "reset", K::RESET, 0, "Reset"},
    {{0xD3}, "Delete", "next scale: x3 -> x1 -> x1.25", K::DISPLAY, 3, "Next scale"},
    {{0x1D, 0xD3}, "Left Ctrl + Delete", "next scan-line style: black -> smooth -> double (Right Ctrl does not count)",
     K::DISPLAY, 3, "Next scan-line style"},
    {{0xDB, 0x21}, "Left Windows + F", "full screen on/off"},
    {{0x02}, "1", "stop passing unhandled window events to the system"},
    {{0x42}, "F8", "stop in the console monitor (disassembly to TIA-DisDump.txt; no memory dump)"},
};

} // namespace

const MachineUi tile_machine_ui = {"tile", nullptr, 0, nullptr, nullptr, nullptr,
                         tile_hot_keys, sizeof tile_hot_keys / sizeof tile_hot_keys[0], MachineJoystick::NONE};
