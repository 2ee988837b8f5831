// The terminals' share of the complex's inner loop, their text pictures and the
// composition with the KGD bitmap.
#include "machines/terminals/terminals.h"

#include <cstring>

namespace {

// Each bit of a byte doubled: the KGD's 400-pixel lines fill the 800-pixel picture.
struct DoublingTable {
    uint16_t word[256];
    constexpr DoublingTable() : word{}
    {
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t w = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (b & (1u << bit))
                    w |= 3u << (2 * bit);
            word[b] = static_cast<uint16_t>(w);
        }
    }
};
constexpr DoublingTable doubling;

} // namespace

void terminals_turn_active()
{
    if (ie15_terminal.present && ie15_terminal.cpu.budget >= 0)
        ie15_terminal_step();
    if (ksm_terminal.present)
        ksm_step();
}

void terminals_render_text(uint8_t* text, bool text_off)
{
    if (terminals.selected == TERMINAL_IE15)
        ie15_render_text(text, text_off);
    else
        ksm_render_text(text, text_off);
}

void terminals_kgd_text(uint8_t* text, bool ie15)
{
    terminals.selected = ie15 ? TERMINAL_IE15 : TERMINAL_KSM;
    terminals_render_text(text, false);
}

void terminal_compose(uint8_t* text, const uint8_t* kgd_bitmap, uint32_t background, uint32_t foreground,
                      uint32_t* picture, uint32_t pitch)
{
    for (uint32_t line = 0; line < terminal_lines; ++line) {
        uint8_t* row = text + line * terminal_bytes_per_line;
        if (kgd_bitmap) {
            // 50 bytes a line; a doubled byte covers a swapped pair of picture bytes.
            const uint8_t* kgd = kgd_bitmap + line * 50;
            for (uint32_t j = 0; j < 50; ++j) {
                const uint16_t w = doubling.word[kgd[j]];
                row[2 * j + 1] |= static_cast<uint8_t>(w >> 8);
                row[2 * j] |= static_cast<uint8_t>(w);
            }
        }
        uint32_t* out = picture + line * pitch;
        for (uint32_t byte = 0; byte < terminal_bytes_per_line; ++byte) {
            const uint8_t bits = row[byte ^ 1];
            for (int bit = 7; bit >= 0; --bit)
                *out++ = (bits >> bit) & 1 ? foreground : background;
        }
    }
}
