// The complex's host keys: screenshot, full screen, restart, frame delay, palettes, the
// screen's X-scale, scanline mode and lines-fit, and the DVK display modes and terminal
// toggles (F6-F10, NumLock) of the boards that are fitted.
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include "machines/uknc/uknc_floppy.h"

#include "host/host.h"
#include "host/key_codes.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;

constexpr int palette_list_length = 5; // the palette lists of the UKNC, KGD and NEMIGA

void clear_picture_buffer() { std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4); }

// The entry at the step index is shown and the index moves on; past the last entry the
// first is shown and the index starts again.
void step_palette(int* index, int* step)
{
    if (*step >= palette_list_length) {
        *index = 0;
        *step = 0;
    } else {
        *index = (*step)++;
    }
}

void next_palette()
{
    if (ws.nemigaMode) {
        step_palette(&ws.nemigaPaletteIndex, &ws.nemigaPaletteStep);
        std::printf("NEMIGA Palette %d\n", ws.nemigaPaletteIndex);
    } else if (ws.kgdMode) {
        step_palette(&ws.kgdPaletteIndex, &ws.kgdPaletteStep);
        std::printf("KGD Palette %d\n", ws.kgdPaletteIndex);
    } else {
        step_palette(&ws.paletteIndex, &ws.paletteStep);
        std::printf("UKNC Palette %d\n", ws.paletteIndex);
    }
}

void next_scanline_mode()
{
    static const char* const messages[] = {"Smooth scanlines\n", "Double lines\n", "Black scanlines\n"};
    std::printf("%s", messages[ws.display.scanline_mode]);
    ws.display.scanline_mode = (ws.display.scanline_mode + 1) % 3;
    if (ws.display.scanline_mode != uknc_scanlines_black)
        clear_picture_buffer();
}

void next_x_scale()
{
    if (ws.display.scanline_mode != uknc_scanlines_black)
        clear_picture_buffer();
    if (ws.nemigaMode) {
        bool wide = ws.nemigaXScaleCode != 15;
        ws.nemigaXScaleCode = wide ? 15 : 0;
        std::printf(wide ? "NEMIGA screen X-scale = 1.5\n" : "NEMIGA screen X-scale = 1.0\n");
        set_client_size(wide ? 768 : 512, 512);
        return;
    }
    if (ws.kgdMode || ws.kcgdMode)
        return; // their pictures have one width
    int& code = ws.display.x_scale_code;
    code = code == 0 ? 12 : code == 12 ? 13 : code == 13 ? 15 : 0;
    std::printf("%s", uknc_x_scale_message(code));
    if (!ws.e85Mode) // the E-85's 1024 x 768 keeps its window; the UKNC's waits for it
        workstation_apply_client_size();
}

void next_lines_fit()
{
    int& lines = ws.display.lines_fit;
    lines = lines == 276 ? 288 : lines == 288 ? 298 : 276;
    if (!ws.e85Mode)
        set_client_size(0, uint32_t(2 * lines));
    std::printf("Lines fit to window: %d\n", lines);
}

// F6-F9 choose a DVK display mode of a fitted board; F10 and NumLock work the 15IE.
void dvk_keys()
{
    if (!ws.ie15ModeRegister)
        ws.ie15ModeRegister = &ws.ie15ModeStandIn;
    if (!ws.ie15RedPort) {
        ws.ie15RedStandIn = 0x80; // the terminal's start value
        ws.ie15RedPort = &ws.ie15RedStandIn;
    }
    if (key_down(key_f6) && ws.kcgdPresent && !ws.kcgdMode) {
        workstation_switch_mode(WS_MODE_KGD, false, true);
        workstation_switch_mode(WS_MODE_KCGD, true, true);
    }
    if (key_down(key_f8) && ws.ksmPresent) {
        ws.ie15Selected = false;
        workstation_switch_mode(WS_MODE_KGD, true, true);
        ws.keepKgd = true;
    }
    if (key_down(key_f9) && ws.ie15Present) {
        ws.ie15Selected = true;
        workstation_switch_mode(WS_MODE_KGD, true, true);
        ws.keepKgd = true;
    }
    // F7 hands the screen back to the UKNC: the KCGD and the KGD may both be on (ESC X
    // or F8/F9 while the other is shown), and one press switches off both.
    if (key_down(key_f7)) {
        workstation_switch_mode(WS_MODE_KCGD, false, true);
        if (ws.kgdMode) {
            workstation_switch_mode(WS_MODE_KGD, false, true);
            ws.keepKgd = false;
        }
    }
    if (key_pressed(key_f10)) {
        uint16_t& r11 = *ws.ie15ModeRegister;
        std::printf((r11 & 2) ? "15IE: Mode 1\n" : "15IE: Mode 2\n");
        r11 ^= 2;
    }
    if (key_pressed(key_num_lock)) {
        uint8_t& red = *ws.ie15RedPort;
        std::printf(red == 0x80 ? "15IE: RED Off\n" : "15IE: RED On\n");
        red = red == 0x80 ? 0 : 0x80;
    }
}

} // namespace

bool workstation_host_keys()
{
    bool took_frame = false;
    if (key_down(key_left_ctrl) && key_down(key_left_shift)) {
        if (key_pressed(key_0)) {
            uknc_floppy_save(0);
            took_frame = true;
        }
        if (key_pressed(key_1)) {
            uknc_floppy_save(1);
            took_frame = true;
        }
    }
    if ((key_down(key_left_shift) && key_pressed(key_print_screen)) || (key_down(key_left_windows) && key_pressed(0x2E))) {
        save_screenshot();
        took_frame = true;
    }
    if (key_down(key_left_windows) && key_pressed(key_f)) {
        fullscreen ^= 1;
        set_client_size(0, 0);
        took_frame = true;
    }
    if (key_down(key_left_ctrl) && key_down(key_right_ctrl) &&
        (key_pressed(key_left_ctrl) || key_pressed(key_right_ctrl))) {
        std::printf("System Reset...\n");
        workstation_restart_host();
    }
    if (key_down(key_apps))
        workstation_monitor_enter();
    dvk_keys();
    if (key_pressed(key_page_up)) {
        ++ws.frameDelay;
        std::printf("Frame Delay = %d\n", ws.frameDelay);
    }
    if (key_pressed(key_page_down)) {
        if (ws.frameDelay > 0)
            --ws.frameDelay;
        std::printf("Frame Delay = %d\n", ws.frameDelay);
    }
    if (key_pressed(key_grave))
        next_palette();
    if (key_pressed(key_delete)) {
        clear_back_buffer();
        if (key_down(key_left_ctrl))
            next_scanline_mode();
        else if (!key_down(key_left_shift))
            next_x_scale();
        else if (!ws.kgdMode && !ws.kcgdMode && !ws.nemigaMode)
            next_lines_fit();
    }
    return took_frame;
}
