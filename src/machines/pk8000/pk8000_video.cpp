// PK8000 video: a 32 x 24 character graphics mode (name, pattern and colour tables, the
// screen split into three bands of eight character rows) and a 40 x 24 text mode with
// six-pixel-wide glyphs. Both read one 16 KB bank of RAM chosen by Gfx Mode bits 7-6.
// Each emulated line is drawn on every second BackBuffer row, each pixel two wide.
#include "host/host.h"
#include "machines/pk8000/pk8000.h"

// Index bits R B G I (bit 3 down to bit 0): 0xD5 per colour gun, 0xFF with I set.
// Indices 0 and 1 are both black.
const uint32_t pk8000_palette[16] = {
    0x000000, 0x000000, 0x00D500, 0x00FF00, 0x0000D5, 0x0000FF, 0x00D5D5, 0x00FFFF,
    0xD50000, 0xFF0000, 0xD5D500, 0xFFFF00, 0xD500D5, 0xFF00FF, 0xD5D5D5, 0xFFFFFF,
};

namespace {

constexpr uint32_t text_background = 0x0000FF;

// Video addresses wrap within the 64 KB: the text name table of bank 3 at its highest
// offset runs past 0xFFFF and continues at 0x0000.
inline uint8_t video_byte(uint32_t address) { return pk8000.ram[address & 0xFFFF]; }

void draw_graphics(uint32_t* top_left, uint32_t pitch, uint32_t base)
{
    uint32_t names = base + (pk8000.vram_adr & 0x0E) * 1024u;
    for (uint32_t band = 0; band < 3; ++band) {
        uint32_t patterns = base + (pk8000.attr_pos & 0x08) * 1024u + band * 2048;
        uint32_t colours = base + (pk8000.gfx_pos & 0x08) * 1024u + band * 2048;
        for (uint32_t row = 0; row < 8; ++row) {
            for (uint32_t column = 0; column < 32; ++column) {
                uint32_t code = video_byte(names + band * 256 + row * 32 + column);
                for (uint32_t i = 0; i < 8; ++i) {
                    uint32_t y = (band * 8 + row) * 8 + i;
                    uint32_t* out = top_left + 2 * y * pitch + column * 16;
                    uint8_t pattern = video_byte(patterns + code * 8 + i);
                    uint8_t colour = video_byte(colours + code * 8 + i);
                    uint32_t ink = pk8000_palette[colour & 0x0F];
                    uint32_t paper = pk8000_palette[colour >> 4];
                    for (int bit = 7; bit >= 0; --bit) {
                        uint32_t c = (pattern >> bit) & 1 ? ink : paper;
                        out[0] = c;
                        out[1] = c;
                        out += 2;
                    }
                }
            }
        }
    }
}

void draw_text(uint32_t* top_left, uint32_t pitch, uint32_t base)
{
    uint32_t names = base + (pk8000.tram_adr & 0x0F) * 1024u;
    uint32_t font = base + (pk8000.vram_adr & 0x0E) * 1024u;
    uint32_t ink = pk8000_palette[pk8000.palette_con & 0x0F];
    for (uint32_t row = 0; row < 24; ++row) {
        for (uint32_t column = 0; column < 40; ++column) {
            uint32_t code = video_byte(names + row * 64 + column);
            for (uint32_t i = 0; i < 8; ++i) {
                uint32_t y = row * 8 + i;
                uint32_t* out = top_left + 2 * y * pitch + column * 12;
                uint8_t glyph = video_byte(font + code * 8 + i);
                for (int bit = 7; bit >= 2; --bit) { // the glyph's two low bits are not shown
                    uint32_t c = (glyph >> bit) & 1 ? ink : text_background;
                    out[0] = c;
                    out[1] = c;
                    out += 2;
                }
            }
        }
    }
}

} // namespace

void pk8000_draw(uint32_t* top_left, uint32_t pitch)
{
    uint32_t base = (pk8000.gfx_mode >> 6) * 0x4000u;
    if (pk8000.gfx_mode & 0x10)
        draw_graphics(top_left, pitch, base);
    else
        draw_text(top_left, pitch, base);
}

void pk8000_draw_and_present()
{
    draw_back_buffer([](const BackBufferView& view, uint32_t width, uint32_t height) {
        const uint32_t left = width / 2 - pk8000_picture_width / 2, top = height / 2 - pk8000_picture_height / 2;
        pk8000_draw(view.pixels + top * view.pitch + left, view.pitch);
    });
    pace_and_present();
}
