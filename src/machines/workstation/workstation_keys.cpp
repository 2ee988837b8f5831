// The complex's host keys: screenshot, full screen, restart, frame delay, palettes, and
// the screen's X-scale, scanline mode and lines-fit.
#include "machines/workstation/workstation.h"

#include "machines/workstation/dvk_boards.h"
#include "machines/workstation/uknc_floppy.h"

#include "host/host.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;

enum : uint8_t {
    KEY_LEFT_CTRL = 0x1D,
    KEY_RIGHT_CTRL = 0x9D,
    KEY_LEFT_SHIFT = 0x2A,
    KEY_PRINT_SCREEN = 0xB7,
    KEY_LEFT_WIN = 0xDB,
    KEY_F = 0x21,
    KEY_PAGE_UP = 0xC9,
    KEY_PAGE_DOWN = 0xD1,
    KEY_GRAVE = 0x29,
    KEY_DELETE = 0xD3,
    KEY_APPS = 0xDD,
    KEY_0 = 0x0B,
    KEY_1 = 0x02,
};

void clear_picture_buffer() { std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4); }

// The entry at the step index is shown and the index moves on; past the last entry the
// first is shown and the index starts again.
void next_palette()
{
    if (ws.paletteStep >= uknc_palette_count) {
        ws.paletteIndex = 0;
        ws.paletteStep = 0;
    } else {
        ws.paletteIndex = ws.paletteStep++;
    }
    std::printf("UKNC Palette %d\n", ws.paletteIndex);
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
    int& code = ws.display.x_scale_code;
    code = code == 0 ? 12 : code == 12 ? 13 : code == 13 ? 15 : 0;
    std::printf("%s", uknc_x_scale_message(code));
    workstation_apply_client_size();
}

void next_lines_fit()
{
    int& lines = ws.display.lines_fit;
    lines = lines == 276 ? 288 : lines == 288 ? 298 : 276;
    set_client_size(0, uint32_t(2 * lines));
    std::printf("Lines fit to window: %d\n", lines);
}

} // namespace

bool workstation_host_keys()
{
    bool took_frame = false;
    if (key_down(KEY_LEFT_CTRL) && key_down(KEY_LEFT_SHIFT)) {
        if (key_pressed(KEY_0)) {
            uknc_floppy_save(0);
            took_frame = true;
        }
        if (key_pressed(KEY_1)) {
            uknc_floppy_save(1);
            took_frame = true;
        }
    }
    if (key_down(KEY_LEFT_SHIFT) && key_pressed(KEY_PRINT_SCREEN)) {
        save_screenshot();
        took_frame = true;
    }
    if (key_down(KEY_LEFT_WIN) && key_pressed(KEY_F)) {
        fullscreen ^= 1;
        set_client_size(0, 0);
        took_frame = true;
    }
    if (key_down(KEY_LEFT_CTRL) && key_down(KEY_RIGHT_CTRL) &&
        (key_pressed(KEY_LEFT_CTRL) || key_pressed(KEY_RIGHT_CTRL))) {
        std::printf("System Reset...\n");
        workstation_restart_host();
    }
    if (key_down(KEY_APPS))
        workstation_monitor_enter();
    if (key_pressed(KEY_PAGE_UP)) {
        ++ws.frameDelay;
        std::printf("Frame Delay = %d\n", ws.frameDelay);
    }
    if (key_pressed(KEY_PAGE_DOWN)) {
        if (ws.frameDelay > 0)
            --ws.frameDelay;
        std::printf("Frame Delay = %d\n", ws.frameDelay);
    }
    dvk_host_keys();
    if (key_pressed(KEY_GRAVE) && !dvk_next_palette())
        next_palette();
    if (key_pressed(KEY_DELETE)) {
        clear_back_buffer();
        if (key_down(KEY_LEFT_CTRL))
            next_scanline_mode();
        else if (!key_down(KEY_LEFT_SHIFT)) {
            // The NEMIGA has a scale of its own; the KGD and KCGD pictures have none.
            if (!dvk_next_x_scale() && !workstation.kgdMode && !workstation.kcgdMode)
                next_x_scale();
        } else if (!workstation.kgdMode && !workstation.kcgdMode && !workstation.nemigaMode) {
            next_lines_fit();
        }
    }
    return took_frame;
}
