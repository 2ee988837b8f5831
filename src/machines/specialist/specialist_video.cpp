// Specialist picture: 48 byte columns of 256 lines at 0x9000 (column c, line y at
// 0x9000 + 256c + y), bit 7 leftmost, white ink on blue paper. Each pixel is two
// BackBuffer pixels wide and each line lands on every second row, which leaves the
// rows in between as scan lines.
#include <cstring>

#include "host/byte_table.h"
#include "machines/specialist/specialist.h"

namespace {

// The 16 BackBuffer pixels of every possible byte.
using Span = std::array<uint32_t, 16>;
constexpr auto spans = byte_table<Span>([](int v) {
    Span pixels{};
    for (int bit = 0; bit < 8; ++bit)
        pixels[2 * bit] = pixels[2 * bit + 1] = (v & (0x80 >> bit)) ? specialist_ink : specialist_paper;
    return pixels;
});

} // namespace

void specialist_draw(const BackBufferView& view, uint32_t width, uint32_t height)
{
    uint32_t* const top_left = view.pixels + (height / 2 - specialist_picture_height / 2) * view.pitch
                               + (width / 2 - specialist_picture_width / 2);
    const uint8_t* const screen = specialist.memory + specialist_screen_start;
    for (uint32_t y = 0; y < 256; ++y) {
        uint32_t* row = top_left + 2 * y * view.pitch;
        for (uint32_t column = 0; column < 48; ++column, row += 16)
            std::memcpy(row, spans[screen[256 * column + y]].data(), sizeof(Span));
    }
}

void specialist_draw_and_present()
{
    draw_back_buffer(specialist_draw);
    pace_and_present();
}
