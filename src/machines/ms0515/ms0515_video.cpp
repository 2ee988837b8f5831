// MS-0515 display: 200 lines from video RAM, 640 pixels wide in both modes, each line on
// every second host row (the rows between keep whatever the back buffer held: black).
#include "machines/ms0515/ms0515.h"

static void render_mono_line(const uint8_t* line, uint32_t* out, uint32_t background, uint32_t foreground)
{
    for (int i = 0; i < 80; ++i) {
        uint8_t bits = line[i];
        for (int b = 7; b >= 0; --b)
            *out++ = (bits >> b) & 1 ? foreground : background;
    }
}

static void render_colour_line(const uint8_t* line, uint32_t* out, bool blink_on)
{
    for (int cell = 0; cell < 40; ++cell) {
        uint8_t pattern = line[2 * cell];
        uint8_t attribute = line[2 * cell + 1];
        uint32_t fg = ms0515_palette[(attribute & 7) | ((attribute & 0x40) ? 8 : 0)];
        uint32_t bg = ms0515_palette[(attribute >> 3) & 0x0F];
        if ((attribute & 0x80) && blink_on) {
            uint32_t t = fg;
            fg = bg;
            bg = t;
        }
        for (int b = 7; b >= 0; --b) {
            uint32_t colour = (pattern >> b) & 1 ? fg : bg;
            out[0] = out[1] = colour;
            out += 2;
        }
    }
}

void ms0515_render(uint32_t* pixels, uint32_t pitch, uint32_t width, uint32_t height)
{
    if (width < 640 || height < 400)
        return;
    const uint8_t* video = ms0515.memory + ms0515_video;
    uint32_t* origin = pixels + static_cast<size_t>(height / 2 - 199) * pitch + (width / 2 - 320);
    bool mono = (ms0515.videoMode & 8) != 0;
    uint32_t background = ms0515_palette[ms0515.videoMode & 7];
    uint32_t foreground = ms0515_palette[7 - (ms0515.videoMode & 7)];
    for (int y = 0; y < 200; ++y) {
        uint32_t* out = origin + static_cast<size_t>(2 * y) * pitch;
        if (mono)
            render_mono_line(video + 80 * y, out, background, foreground);
        else
            render_colour_line(video + 80 * y, out, ms0515.blinkPhase != 0);
    }
    for (int drive = 0; drive < 4; ++drive)
        ms0515_draw_drive_indicator(ms0515.floppy, pixels, pitch, width, height, drive);
}
