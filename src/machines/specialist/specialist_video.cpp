// Specialist picture: 48 byte columns of 256 lines at 0x9000 (column c, line y at
// 0x9000 + 256c + y), bit 7 leftmost, white ink on blue paper. Each pixel is two
// BackBuffer pixels wide and each line lands on every second row, which leaves the
// rows in between as scan lines.
#include <cstring>

#include "machines/specialist/specialist.h"

namespace {

// The 16 BackBuffer pixels of every possible byte.
struct ByteSpans {
    uint32_t pixels[256][16];
    constexpr ByteSpans() : pixels{}
    {
        for (int v = 0; v < 256; ++v)
            for (int bit = 0; bit < 8; ++bit) {
                const uint32_t colour = (v & (0x80 >> bit)) ? specialist_ink : specialist_paper;
                pixels[v][2 * bit] = colour;
                pixels[v][2 * bit + 1] = colour;
            }
    }
};
constexpr ByteSpans spans;

} // namespace

void specialist_draw(const BackBufferView& view, uint32_t width, uint32_t height)
{
    uint32_t* const top_left = view.pixels + (height / 2 - specialist_picture_height / 2) * view.pitch
                               + (width / 2 - specialist_picture_width / 2);
    const uint8_t* const screen = specialist.memory + specialist_screen_start;
    for (uint32_t y = 0; y < 256; ++y) {
        uint32_t* row = top_left + 2 * y * view.pitch;
        for (uint32_t column = 0; column < 48; ++column, row += 16)
            std::memcpy(row, spans.pixels[screen[256 * column + y]], sizeof spans.pixels[0]);
    }
}

void specialist_draw_and_present()
{
    draw_back_buffer(specialist_draw);
    pace_and_present();
}
