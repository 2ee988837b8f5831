// The workstation complex as the machine of the run: start-up, restart and the frame loop
// around the UKNC's processors.
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_debug.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/workstation/workstation_state.h"

#include "machines/terminals/terminals.h"

#include "host/host.h"
#include "host/machine_ui.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

Workstation& ws = workstation;

std::vector<uint32_t>* picture_storage()
{
    static std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    return &picture;
}

void clear_picture_buffer() { std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4); }

// The picture's lines as last drawn, and what the BackBuffer holds of them: the last
// presentation, as long as the display settings are the same, nothing cleared the
// BackBuffer and no DVK display or drive indicator drew over it.
UkncLineCache picture_lines;

struct Presented {
    bool valid = false;
    UkncDisplaySettings settings{};
    uint32_t clears = 0, width = 0, height = 0;
    bool indicators = false; // the drive indicators drew over the picture after it
};
Presented presented;

bool same_settings(const UkncDisplaySettings& a, const UkncDisplaySettings& b)
{
    return a.x_scale_code == b.x_scale_code && a.scanline_mode == b.scanline_mode && a.lines_fit == b.lines_fit;
}

// Rows of the drive indicators: four 32-row squares 40 rows apart.
constexpr int indicator_rows = 3 * 40 + 32;

bool indicators_draw()
{
    for (const FloppyDrive& d : uknc_floppy.drives)
        if (d.indicator_countdown > 0 || d.indicator_shown)
            return true;
    return false;
}

// The UKNC picture into the BackBuffer: the lines the render drew, or all of them when the
// BackBuffer no longer holds the last presentation; the lines under the indicators of the
// last frame are presented again to take them off.
void present_uknc_picture(uint32_t* picture)
{
    workstation_render_changed(picture, &picture_lines);
    const Presented& p = presented;
    const bool whole = !p.valid || !same_settings(p.settings, ws.display) || p.clears != back_buffer_clears() ||
                       p.width != back_buffer_width || p.height != back_buffer_height;
    uint8_t lines[uknc_picture_lines];
    std::memcpy(lines, picture_lines.changed, sizeof lines);
    if (p.indicators) {
        const int picture_top = int(back_buffer_height) / 2 - ws.display.lines_fit + 1;
        const int indicator_top = int(back_buffer_height) / 2 - ws.display.lines_fit + 16;
        const int first = std::max(0, (indicator_top - picture_top) / 2);
        const int end = std::min(int(uknc_picture_lines), (indicator_top + indicator_rows - picture_top + 1) / 2);
        for (int line = first; line < end; ++line)
            lines[line] = 1;
    }
    BackBufferView view;
    if (!lock_back_buffer(&view))
        return;
    uint32_t first_row = 0, end_row = 0;
    uknc_present_into(picture, ws.display, ws.PictureBuffer, view.pixels, view.pitch, back_buffer_width,
                      back_buffer_height, whole ? nullptr : lines, &first_row, &end_row);
    unlock_back_buffer_rows(first_row, end_row);
    presented.valid = true;
    presented.settings = ws.display;
    presented.clears = back_buffer_clears();
    presented.width = back_buffer_width;
    presented.height = back_buffer_height;
}

} // namespace

void workstation_apply_client_size()
{
    uint32_t width = 0, height = 0;
    uknc_client_size(ws.display, &width, &height);
    set_client_size(width, height);
}

void workstation_startup()
{
    ws.display = UkncDisplaySettings{12, uknc_scanlines_black, 276};
    ws.paletteIndex = ws.paletteStep = 0;
    ws.frameDelay = ws.frameDelayCounter = 0;
    ws.kgdPaletteIndex = ws.kgdPaletteStep = ws.nemigaPaletteIndex = ws.nemigaPaletteStep = 0;
    ws.nemigaXScaleCode = 15;
    ws.displayMode = WS_DISPLAY_UKNC;
    workstation_apply_client_size();
    std::printf("%s", uknc_x_scale_message(ws.display.x_scale_code));

    ws.PictureBuffer = static_cast<uint32_t*>(std::calloc(uknc_picture_buffer_pixels, 4));
    if (!ws.PictureBuffer)
        fatal_error("Can't allocate memory!");
    workstation_allocate();
    load_file(ws.rom, uknc_rom_size, "UKNC.rom"); // the one ROM the complex cannot run without
    session_note_rom("UKNC.rom", ws.rom, uknc_rom_size);
    // The boards' ROMs follow in this order, each through workstation_load_board_rom (a
    // missing one leaves its board absent): "KCGD.rom", "KSM.rom", "KSM_FONT.rom",
    // "15IE.rom", "15IE_FONT.rom". The KGD, NEMIGA and E-85 need none.
    dvk_allocate();
    ws.kgdPresent = ws.nemigaPresent = ws.e85Present = true;
    ws.kcgdPresent = workstation_load_board_rom(dvk.kcgd.block + kcgd_rom_offset, kcgd_rom_size, "KCGD.rom");
    workstation_fit_terminals();

    uknc_floppy_open(0, "C:\\Disk_Games2.dsk");
    const char* name = next_argument();
    uknc_floppy_open(0, name ? name : "System.dsk");
    name = next_argument();
    uknc_floppy_open(1, name ? name : "Work.dsk");
    std::printf("\n");
    uknc_floppy_warn_at_exit();
    workstation_restart_host();
    workstation_debug_register();
    session_register_machine(&workstation_state_ops);
}

void workstation_restart_host()
{
    workstation_apply_client_size();
    clear_back_buffer();
    clear_picture_buffer();
    workstation_restart();
}

void workstation_present()
{
    std::vector<uint32_t>& picture = *picture_storage();
    if (dvk_present()) // a DVK display has the screen
        presented.valid = false;
    else
        present_uknc_picture(picture.data());
    const bool indicators = indicators_draw();
    BackBufferView view;
    if (lock_back_buffer(&view)) {
        // Near the left edge of the picture, a little below its top.
        int left = int(back_buffer_width - uknc_scaled_width(ws.display.x_scale_code)) / 2 + 8;
        int top = int(back_buffer_height) / 2 - ws.display.lines_fit + 16;
        uknc_floppy_draw_indicators(view.pixels, view.pitch, left, top);
        if (indicators && top >= 0)
            unlock_back_buffer_rows(uint32_t(top), uint32_t(top + indicator_rows));
        else
            unlock_back_buffer_unchanged();
    }
    presented.indicators = indicators;
    workstation_speaker_samples();
    end_frame();
}

void workstation_main_frame()
{
    if (drop_pending) {
        uknc_floppy_open(key_down(0x1D) ? 1 : 0, dropped_file);
        drop_pending = 0;
    }
    uknc_floppy_frame_lamps();
    while (ws.frameDelayCounter > 0) {
        workstation_present();
        --ws.frameDelayCounter;
    }
    ws.frameDelayCounter = ws.frameDelay;

    workstation_frame_start();
    shift_key_snapshot();
    snapshot_keys();
    const bool feed = !workstation_host_keys();
    terminals_selected_during_frame(ws.ie15Selected); // F9 in this frame
    workstation_keyboard_frame(feed);
    workstation_update_title();
    workstation_run_processors();
    workstation_frame_end();
    // Stopped in the monitor, the picture is presented at each stop instead. A run to
    // the next RTS presents too, so that window events (and the Apps key) still arrive.
    if (ws.monitorCommand == 'r' || ws.monitorCommand == 'e')
        workstation_present();
    workstation_monitor_frame_end();
}

extern const MachineUi uknc_machine_ui; // at the end of this file

void uknc_main()
{
    machine_ui_register(&uknc_machine_ui);
    workstation_startup();
    for (;;)
        workstation_main_frame();
}

// ---- What the on-screen interface offers: the two disk images and the hot keys ----------
namespace {

const MachineDrive uknc_drives[] = {{"Drive 0", ".dsk;.img"}, {"Drives 1-3", ".dsk;.img"}};

bool uknc_ui_open(int drive, const char* path) { return uknc_floppy_open(drive, path); }
bool uknc_ui_changed(int drive) { return uknc_floppy.modified[drive]; }
bool uknc_ui_save(int drive)
{
    uknc_floppy_save(drive);
    return !uknc_floppy.modified[drive];
}

using K = MachineHotKey;
const MachineHotKey uknc_hot_keys[] = {
    {{0x1D, 0x9D}, "Left Ctrl + Right Ctrl", "restart (\"System Reset...\"; memories keep their contents)",
     K::RESTART, 0, "Restart"},
    {{0xD3}, "Delete", "next X-scale: x1.0 -> x1.25 -> x1.333 -> x1.5 (start: x1.25); NEMIGA: x1.5 <-> x1.0",
     K::DISPLAY, 4, "Next X-scale"},
    {{0x1D, 0xD3}, "Left Ctrl + Delete", "next scan-line style: black -> smooth -> double lines", K::DISPLAY, 3,
     "Next scan-line style"},
    {{0x2A, 0xD3}, "Left Shift + Delete", "lines shown: 276 -> 288 -> 298 (start: 276); not in the KGD, KCGD and NEMIGA modes",
     K::DISPLAY, 3, "Next lines-fit"},
    {{0x29}, "` (grave)", "next of the five palettes of the screen shown", K::DISPLAY, 5, "Next palette"},
    {{0xC9}, "PgUp / PgDn", "frame delay up / down (each frame shown that many extra times)"},
    {{0x1D, 0x2A, 0x0B}, "Left Ctrl + Left Shift + 0 / 1", "save disk image 0 / 1 to the file it came from"},
    {{0x2A, 0xB7}, "Left Shift + Print Screen", "screenshot"},
    {{0xDB, 0x21}, "Left Windows + F", "full screen on/off"},
    {{0xDD}, "Apps (Menu)", "stop in the console monitor (closes an open trace)"},
    {{0x40}, "F6 / F7", "KCGD screen on / back to the UKNC screen (F7 also leaves the KGD screen)", K::MENU, 0,
     "KCGD screen (F6)"},
    {{0x42}, "F8 / F9", "KGD bitmap over the KSM / the 15IE terminal", K::MENU, 0, "KGD over the KSM (F8)"},
    {{0x44}, "F10", "15IE mode switch (\"15IE: Mode 1\" / \"15IE: Mode 2\")"},
    {{0x45}, "NumLock", "15IE RED switch: control characters hidden or shown"},
};

} // namespace

const MachineUi uknc_machine_ui = {"uknc", uknc_drives, 2, uknc_ui_open, uknc_ui_changed, uknc_ui_save,
                           uknc_hot_keys, sizeof uknc_hot_keys / sizeof uknc_hot_keys[0], MachineJoystick::NONE};
