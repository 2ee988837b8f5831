// MS-0515 display: 200 lines from video RAM, 640 pixels wide in both modes, each line on
// every second host row (the rows between keep whatever the back buffer held: black).
#include "machines/ms0515/ms0515.h"

#ifdef __SSE2__
#include <emmintrin.h>

// Pixels of a byte, most significant bit first, `Width` host pixels each: lane k of the
// 8 * Width pixels shows bit 7 - k / Width.
template <int Width>
static inline void expand_byte(uint32_t* out, uint32_t bits, uint32_t set_colour, uint32_t clear_colour)
{
    alignas(16) static constexpr int32_t lane_bits[2][16] = {
        {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
        {0x80, 0x80, 0x40, 0x40, 0x20, 0x20, 0x10, 0x10, 0x08, 0x08, 0x04, 0x04, 0x02, 0x02, 0x01, 0x01},
    };
    const __m128i b = _mm_set1_epi32(static_cast<int>(bits));
    const __m128i diff = _mm_set1_epi32(static_cast<int>(set_colour ^ clear_colour));
    const __m128i base = _mm_set1_epi32(static_cast<int>(clear_colour));
    for (int k = 0; k < 2 * Width; ++k) {
        const __m128i bit = _mm_load_si128(reinterpret_cast<const __m128i*>(lane_bits[Width - 1] + 4 * k));
        const __m128i set = _mm_cmpeq_epi32(_mm_and_si128(b, bit), bit);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), _mm_xor_si128(base, _mm_and_si128(diff, set)));
    }
}
#else
template <int Width>
static inline void expand_byte(uint32_t* out, uint32_t bits, uint32_t set_colour, uint32_t clear_colour)
{
    for (int b = 7; b >= 0; --b)
        for (int i = 0; i < Width; ++i)
            *out++ = (bits >> b) & 1 ? set_colour : clear_colour;
}
#endif

static void render_mono_line(const uint8_t* line, uint32_t* out, uint32_t background, uint32_t foreground)
{
    for (int i = 0; i < 80; ++i, out += 8)
        expand_byte<1>(out, line[i], foreground, background);
}

static void render_colour_line(const uint8_t* line, uint32_t* out, bool blink_on)
{
    for (int cell = 0; cell < 40; ++cell, out += 16) {
        uint8_t pattern = line[2 * cell];
        uint8_t attribute = line[2 * cell + 1];
        uint32_t fg = ms0515_palette[(attribute & 7) | ((attribute & 0x40) ? 8 : 0)];
        uint32_t bg = ms0515_palette[(attribute >> 3) & 0x0F];
        if ((attribute & 0x80) && blink_on) {
            uint32_t t = fg;
            fg = bg;
            bg = t;
        }
        expand_byte<2>(out, pattern, fg, bg);
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
