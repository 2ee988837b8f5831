// ZX Spectrum 48K start-up and frame loop: the ROM, the start-up snapshot, host keys,
// and each frame's picture through the host.
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "host/machine_ui.h"
#include "host/session.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

enum : uint8_t {
    key_left_windows = 0xDB,
    key_l = 0x26,
    key_s = 0x1F,
    key_f = 0x21,
    key_play = 0x19,     // P: tape play/stop
    key_reinsert = 0x14, // T: the last tape inserted again
    key_c = 0x2E,        // C: screenshot
    key_grave = 0x29,
    key_left_ctrl = 0x1D,
    key_right_ctrl = 0x9D,
};

void empty_event_lists()
{
    zx.beeper_edge_count = 0;
    zx.border_event_count = 0;
}

void load_rom()
{
    // A short image leaves 0xFF past its end; a directory opens but cannot be read.
    const char* rom = zx_rom_file(zx_system_rom);
    if (std::strcmp(rom, "48.rom") != 0)
        std::printf("No 48.rom in the data directory: using %s (OpenSE BASIC)\n", rom);
    FILE* file = open_data_file_or_fail(rom, "Can't open file!");
    read_data_or_fail(file, zx.memory, 0x4000, rom, "Can't open file!");
    std::fclose(file);
    session_note_rom("48.rom", zx.memory, 0x4000);
}

} // namespace

void zx_start(const char* argument_text)
{
    zx_init_state();
    load_rom();
    zx_load_start_files(argument_text); // a snapshot, a tape, or both
    set_client_size(768, 576);
    z80_connect(&zx.cpu);
    zx.cpu.ticks = 0;
    empty_event_lists();
    zx_debug_register();
}

void zx_frame_input()
{
    if (drop_pending) {
        zx_take_dropped_file(dropped_file); // a snapshot or a tape
        drop_pending = 0;
    }
    shift_key_snapshot();
    snapshot_keys();

    if (key_down(key_left_windows) &&
        (key_down(key_l) || key_down(key_s) || key_down(key_f) || key_down(key_play) || key_down(key_reinsert) ||
         key_down(key_c))) {
        if (key_pressed(key_c))
            save_screenshot();
        if (key_pressed(key_l))
            (void)zx_load_snapshot(zx.snapshot_name);
        if (key_pressed(key_s))
            (void)zx_save_snapshot();
        if (key_pressed(key_play))
            zx_tape_play_stop();
        if (key_pressed(key_reinsert))
            zx_tape_reinsert();
        if (key_pressed(key_f)) {
            fullscreen = !fullscreen;
            set_client_size(0, 0);
        }
    } else if (key_down(key_grave)) {
        // The palette key is not part of the ZX keyboard; the matrix holds still meanwhile.
        if (key_pressed(key_grave))
            zx_next_palette();
    } else {
        zx_scan_keys();
        zx_build_port_table();
    }

    const bool both_ctrl = key_down(key_left_ctrl) && key_down(key_right_ctrl);
    const bool were_both = (KeySnapshotPrev[key_left_ctrl] & 0x80) && (KeySnapshotPrev[key_right_ctrl] & 0x80);
    if (both_ctrl && !were_both) {
        z80_reset(&zx.cpu);
        std::printf("System Reset...\n");
    }
}

void zx_paint_frame()
{
    BackBufferView view;
    if (!lock_back_buffer(&view)) {
        // Nothing is painted: the frame's border changes still decide the colour in force.
        if (zx.border_event_count > 0)
            zx.border_colour = zx.zx_border_events[zx.border_event_count - 1].colour;
        zx.border_event_count = 0;
        return;
    }
    if (zx_render_frame_into(view.pixels, view.pitch, back_buffer_width, back_buffer_height))
        unlock_back_buffer();
    else
        unlock_back_buffer_unchanged(); // the window need not look for changes
}

void zx_frame()
{
    zx_frame_input();
    zx_emulate_frames(); // one, or a batch while a tape loads fast
    zx_paint_frame();
}

extern const MachineUi zx_machine_ui; // at the end of this file

void zx_main()
{
    machine_ui_register(&zx_machine_ui);
    zx_start(argument_text());
    zx_register_state();
    for (;;) {
        zx_frame();
        end_frame();
    }
}

// ---- What the on-screen interface offers: the snapshot and the tape, and the hot keys ----
namespace {

const MachineDrive zx_drives[] = {{"Snapshot", ".z80;.sna;.szx;.sp;.snp;.zxs;.rzx"},
                                  {"Tape", ".tap;.tzx;.pzx;.csw;.wav"}};

using K = MachineHotKey;
const MachineHotKey zx_hot_keys[] = {
    {{key_grave}, "` (grave)", "next palette: colour, grey, inverted grey", K::DISPLAY, 3, "Next palette"},
    {{key_left_ctrl, key_right_ctrl}, "Left Ctrl + Right Ctrl", "reset (PC = 0, interrupts off), once per press",
     K::RESET, 0, "Reset"},
    {{key_left_windows, key_l}, "Left Windows + L", "reload the start-up snapshot", K::MENU, 0,
     "Reload the start-up snapshot"},
    {{key_left_windows, key_s}, "Left Windows + S", "save the machine to that snapshot file", K::MENU, 0,
     "Save to the start-up snapshot"},
    {{key_left_windows, key_f}, "Left Windows + F", "full screen on/off"},
    {{key_left_windows, key_play}, "Left Windows + P", "tape: play / stop by hand", K::MENU, 0, "Tape: play / stop"},
    {{key_left_windows, key_reinsert}, "Left Windows + T", "tape: insert the last tape again, rewound", K::MENU, 0,
     "Tape: insert again, rewound"},
};

// Files go in as dropped files: the frame loop tells a tape from a snapshot.
} // namespace

const MachineUi zx_machine_ui = {"zx", zx_drives, 2, nullptr, nullptr, nullptr,
                         zx_hot_keys, sizeof zx_hot_keys / sizeof zx_hot_keys[0], MachineJoystick::KEMPSTON};
