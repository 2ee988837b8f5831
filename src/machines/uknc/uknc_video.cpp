// UKNC screen: palettes, the line-table walk and the picture's presentation.
#include "machines/uknc/uknc_video.h"

#include <algorithm>
#include <cstring>

#include "host/byte_table.h"
#include "host/host.h"

namespace {

// ---- Palettes --------------------------------------------------------------------------

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

// Colour nibble: bit 0 blue, bit 1 red, bit 2 green, bit 3 bright (swapped: bit 1 green,
// bit 2 red). The bank's bits 0-2 (blue, red, green) lift the levels of their channel
// when the banks are meant to differ.
constexpr uint32_t colour_of(int bank, int nibble, bool banks_differ, bool swapped)
{
    const bool bright = nibble & 8;
    const bool blue = nibble & 1;
    const bool red = swapped ? (nibble & 4) : (nibble & 2);
    const bool green = swapped ? (nibble & 2) : (nibble & 4);
    auto level = [&](bool on, int bank_bit) -> uint32_t {
        if (!on)
            return 0;
        if (!banks_differ)
            return bright ? 0xFF : 0xD4;
        if (bank & bank_bit)
            return bright ? 0xFF : 0xAA;
        return bright ? 0xD4 : 0x80;
    };
    return rgb(level(red, 2), level(green, 4), level(blue, 1));
}

struct PaletteTable {
    uint32_t v[uknc_palette_count][128];
    constexpr PaletteTable() : v{}
    {
        constexpr uint8_t grey_a[8] = {0x00, 0x24, 0x48, 0x6D, 0x91, 0xB6, 0xDA, 0xFF};
        constexpr uint8_t grey_b[8] = {0x40, 0x5B, 0x77, 0x92, 0xAD, 0xC8, 0xE4, 0xFF};
        for (int i = 0; i < 128; ++i) {
            const int bank = i >> 4, nibble = i & 15;
            v[0][i] = colour_of(bank, nibble, true, false);
            v[1][i] = colour_of(bank, nibble, false, false);
            v[2][i] = colour_of(bank, nibble, false, true);
            v[3][i] = 0x010101u * grey_a[nibble & 7];
            v[4][i] = 0x010101u * grey_b[nibble & 7];
        }
    }
};
constexpr PaletteTable palette_table;

// ---- Pixel expansion ---------------------------------------------------------------------

// Byte lane k of a 64-bit word holds bit k of the plane byte (bit 0 is the leftmost
// pixel). Three planes shifted by 0, 1 and 2 and ORed give each pixel's 3-bit code in its
// own lane.
constexpr auto bit_spread = byte_table<uint64_t>([](int b) {
    uint64_t lanes = 0;
    for (int k = 0; k < 8; ++k)
        lanes |= static_cast<uint64_t>((b >> k) & 1) << (8 * k);
    return lanes;
});

// Byte lane j of a 32-bit word holds bits 2j and 2j + 1 of the plane byte at lane bits 0
// and 3. Three planes shifted by 0, 1 and 2 give in lane j the two codes of pixels 2j and
// 2j + 1 as a 6-bit index into a table of pixel pairs.
constexpr auto pair_spread = byte_table<uint32_t>([](int b) {
    uint32_t lanes = 0;
    for (int j = 0; j < 4; ++j)
        lanes |= static_cast<uint32_t>(((b >> (2 * j)) & 1) | ((b >> (2 * j + 1)) & 1) << 3) << (8 * j);
    return lanes;
});

inline void store_pair(uint32_t* out, uint64_t pair) { std::memcpy(out, &pair, sizeof pair); }

// The line colours as pixel pairs (scale 0, index = left code | right code << 3) and as
// doubled pixels (scales 1-3); rebuilt only when a parameter record changed the colours.
struct LineExpansion {
    uint64_t pairs[64];
    uint64_t doubled[8];
    void build(const uint32_t* colours)
    {
        for (int i = 0; i < 64; ++i)
            pairs[i] = colours[i & 7] | static_cast<uint64_t>(colours[i >> 3]) << 32;
        for (int c = 0; c < 8; ++c)
            doubled[c] = colours[c] | static_cast<uint64_t>(colours[c]) << 32;
    }
};

// 80 bytes at scale 0: four pixel pairs per byte position.
void draw_line_scale0(const LineExpansion& x, const uint8_t* plane0, const uint16_t* planes12, uint16_t v,
                      uint32_t* out)
{
    for (int i = 0; i < 80; ++i, ++v, out += 8) {
        const uint16_t w = planes12[v];
        const uint32_t lanes = pair_spread[plane0[v]] | pair_spread[w & 0xFF] << 1 | pair_spread[w >> 8] << 2;
        store_pair(out, x.pairs[lanes & 0xFF]);
        store_pair(out + 2, x.pairs[(lanes >> 8) & 0xFF]);
        store_pair(out + 4, x.pairs[(lanes >> 16) & 0xFF]);
        store_pair(out + 6, x.pairs[lanes >> 24]);
    }
}

// 80 >> S bytes at scales 1-3: each pixel is 2^S output pixels, 2^(S-1) doubled stores.
template <int S>
void draw_line_wide(const LineExpansion& x, const uint8_t* plane0, const uint16_t* planes12, uint16_t v,
                    uint32_t* out)
{
    constexpr int stores = 1 << (S - 1);
    for (int i = 0; i < (80 >> S); ++i, ++v) {
        const uint16_t w = planes12[v];
        const uint64_t lanes = bit_spread[plane0[v]] | bit_spread[w & 0xFF] << 1 | bit_spread[w >> 8] << 2;
        for (int k = 0; k < 8; ++k) {
            const uint64_t pixel = x.doubled[(lanes >> (8 * k)) & 7];
            for (int s = 0; s < stores; ++s, out += 2)
                store_pair(out, pixel);
        }
    }
}

inline uint16_t read_word(const uint8_t* memory, uint16_t address)
{
    return static_cast<uint16_t>(memory[address] | memory[static_cast<uint16_t>(address + 1)] << 8);
}

void recompute_line_colours(UkncVideoState* state, const uint32_t* palette)
{
    const uint32_t* bank = palette + 16 * (state->bank & 7);
    for (int code = 0; code < 8; ++code)
        state->line_colours[code] = bank[(state->colour_words[code >> 2] >> (4 * (code & 3))) & 0x0F];
}

// The cursor over a drawn line: a character cursor covers the whole byte, a graphic one
// (bit 4) a single source pixel; a position past the line's end is not shown.
void draw_cursor(const UkncVideoState& state, const uint32_t* palette, uint32_t* line)
{
    const uint32_t k0 = state.cursor_word;
    const uint32_t position = (k0 >> 5) & 0x3FF;
    const uint32_t colour = palette[16 * (state.bank & 7) + (k0 & 0x0F)];
    const bool graphic = k0 & 0x10;
    const uint32_t start = (graphic ? position : position & ~7u) << state.scale;
    const uint32_t width = (graphic ? 1u : 8u) << state.scale;
    if (start >= uknc_picture_width)
        return;
    for (uint32_t i = 0; i < width; ++i)
        line[start + i] = colour;
}

// The cache's look at one line: false when the line was drawn into this picture from the
// same sources; else the entry takes the line's sources and the line is to be drawn.
bool line_changed(UkncCachedLine& line, bool all, const UkncVideoState& state, bool cursor_on,
                  uint32_t cursor_colour, uint16_t v, const uint8_t* plane0, const uint16_t* planes12)
{
    const uint32_t bytes = 80u >> state.scale;
    const uint32_t cursor_word = cursor_on ? state.cursor_word : 0;
    if (!cursor_on)
        cursor_colour = 0;
    const bool contiguous = v + bytes <= 0x10000;
    bool same = !all && line.video_address == v && line.scale == state.scale && line.cursor == cursor_on &&
                line.cursor_word == cursor_word && line.cursor_colour == cursor_colour &&
                std::memcmp(line.colours, state.line_colours, sizeof line.colours) == 0;
    if (contiguous) {
        same = same && std::memcmp(line.plane0, plane0 + v, bytes) == 0 &&
               std::memcmp(line.planes12, planes12 + v, 2 * bytes) == 0;
        if (same)
            return false;
        std::memcpy(line.plane0, plane0 + v, bytes);
        std::memcpy(line.planes12, planes12 + v, 2 * bytes);
    } else {
        // The line runs past the top of the video address space and wraps to 0.
        for (uint32_t i = 0; i < bytes && same; ++i)
            same = line.plane0[i] == plane0[uint16_t(v + i)] && line.planes12[i] == planes12[uint16_t(v + i)];
        if (same)
            return false;
        for (uint32_t i = 0; i < bytes; ++i) {
            line.plane0[i] = plane0[uint16_t(v + i)];
            line.planes12[i] = planes12[uint16_t(v + i)];
        }
    }
    line.video_address = v;
    line.scale = uint8_t(state.scale);
    line.cursor = cursor_on;
    line.cursor_word = cursor_word;
    line.cursor_colour = cursor_colour;
    std::memcpy(line.colours, state.line_colours, sizeof line.colours);
    return true;
}

constexpr uint16_t line_table_start = 0270;
constexpr int records_per_field = 317;
constexpr int undrawn_records = 19;

} // namespace

// The exported table is a plain array initialised from the generated one entry by entry.
#define UKNC_PALETTE_8(p, b)                                                                                           \
    palette_table.v[p][b], palette_table.v[p][b + 1], palette_table.v[p][b + 2], palette_table.v[p][b + 3],            \
        palette_table.v[p][b + 4], palette_table.v[p][b + 5], palette_table.v[p][b + 6], palette_table.v[p][b + 7]
#define UKNC_PALETTE(p)                                                                                                \
    {                                                                                                                  \
        UKNC_PALETTE_8(p, 0), UKNC_PALETTE_8(p, 8), UKNC_PALETTE_8(p, 16), UKNC_PALETTE_8(p, 24),                     \
            UKNC_PALETTE_8(p, 32), UKNC_PALETTE_8(p, 40), UKNC_PALETTE_8(p, 48), UKNC_PALETTE_8(p, 56),               \
            UKNC_PALETTE_8(p, 64), UKNC_PALETTE_8(p, 72), UKNC_PALETTE_8(p, 80), UKNC_PALETTE_8(p, 88),               \
            UKNC_PALETTE_8(p, 96), UKNC_PALETTE_8(p, 104), UKNC_PALETTE_8(p, 112), UKNC_PALETTE_8(p, 120)             \
    }
const uint32_t uknc_palettes[uknc_palette_count][128] = {UKNC_PALETTE(0), UKNC_PALETTE(1), UKNC_PALETTE(2),
                                                         UKNC_PALETTE(3), UKNC_PALETTE(4)};
#undef UKNC_PALETTE
#undef UKNC_PALETTE_8

void uknc_video_reset(UkncVideoState* state) { *state = UkncVideoState{}; }

void uknc_render_picture(UkncVideoState* state, const uint8_t* ppu_memory, const uint16_t* cpu_memory,
                         const uint32_t* palette, uint32_t* picture, UkncLineCache* cache)
{
    const bool all = cache && cache->picture != picture;
    if (cache) {
        cache->picture = picture;
        cache->changed_count = 0;
    }
    LineExpansion expansion;
    expansion.build(state->line_colours);
    bool colours_changed = false;
    uint16_t pointer = line_table_start;
    bool cursor_on = false;
    for (int record = 0; record < records_per_field; ++record) {
        cursor_on ^= pointer & 1;
        uint16_t at = pointer & 0xFFFE;
        if (pointer & 2) {
            // Parameter records sit on an 8-byte boundary: bit 2 is the record's type, not
            // part of its address. The line's own two words follow them.
            at = pointer & 0xFFF8;
            const uint16_t first = read_word(ppu_memory, at), second = read_word(ppu_memory, at + 2);
            if (pointer & 4) {
                state->colour_words[0] = first;
                state->colour_words[1] = second;
            } else {
                state->cursor_word = first;
                state->scale = (second >> 4) & 3;
                state->bank = second & 7;
            }
            recompute_line_colours(state, palette);
            colours_changed = true;
            at += 4;
        }
        const uint16_t video_address = read_word(ppu_memory, at);
        pointer = read_word(ppu_memory, static_cast<uint16_t>(at + 2));
        if (record < undrawn_records)
            continue;
        const int row = record - undrawn_records;
        if (cache) {
            const uint32_t cursor_colour = palette[16 * (state->bank & 7) + (state->cursor_word & 0x0F)];
            const bool draw = line_changed(cache->lines[row], all, *state, cursor_on, cursor_colour, video_address,
                                           ppu_memory, cpu_memory);
            cache->changed[row] = draw;
            cache->changed_count += draw;
            if (!draw)
                continue;
        }
        if (colours_changed) {
            expansion.build(state->line_colours);
            colours_changed = false;
        }
        uint32_t* const line = picture + row * uknc_picture_width;
        switch (state->scale) {
        case 0: draw_line_scale0(expansion, ppu_memory, cpu_memory, video_address, line); break;
        case 1: draw_line_wide<1>(expansion, ppu_memory, cpu_memory, video_address, line); break;
        case 2: draw_line_wide<2>(expansion, ppu_memory, cpu_memory, video_address, line); break;
        default: draw_line_wide<3>(expansion, ppu_memory, cpu_memory, video_address, line); break;
        }
        if (cursor_on)
            draw_cursor(*state, palette, line);
    }
}

// ---- Presentation ----------------------------------------------------------------------

namespace {

using ColumnFilter = void (*)(const uint32_t*, uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t);

struct XScale {
    int code;
    uint32_t width;   // shown width
    uint32_t written; // pixels the filter writes per row (4/3 copies one more at the end)
    ColumnFilter filter;
    const char* message;
};

constexpr XScale x_scales[] = {
    {0, 640, 640, nullptr, "UKNC screen X-scale = 1.0\n"},
    {12, 800, 800, filter_cols_5_4, "UKNC screen X-scale = 1.25\n"},
    {13, 852, 853, filter_cols_4_3, "UKNC screen X-scale = 1.333\n"},
    {15, 960, 960, filter_cols_3_2, "UKNC screen X-scale = 1.5\n"},
};

static_assert(960 * (uknc_picture_lines + 1) <= uknc_picture_buffer_pixels, "the PictureBuffer holds the widest picture");

const XScale& x_scale_of(int code)
{
    for (const XScale& x : x_scales)
        if (x.code == code)
            return x;
    return x_scales[0];
}

} // namespace

uint32_t uknc_scaled_width(int x_scale_code) { return x_scale_of(x_scale_code).width; }

void uknc_client_size(const UkncDisplaySettings& settings, uint32_t* width, uint32_t* height)
{
    *width = uknc_scaled_width(settings.x_scale_code);
    *height = 2 * static_cast<uint32_t>(settings.lines_fit);
}

const char* uknc_x_scale_message(int x_scale_code) { return x_scale_of(x_scale_code).message; }

namespace {

// Presents picture lines [first, end) (all of them: first 0, end 298) as the settings say;
// dst is the surface at the picture's first row.
void present_lines(const uint32_t* picture, const XScale& x, int scanline_mode, uint32_t* picture_buffer,
                   uint32_t* dst, uint32_t pitch, uint32_t first, uint32_t end)
{
    constexpr uint32_t lines = uknc_picture_lines, source_width = uknc_picture_width;
    const uint32_t count = end - first;
    const uint32_t* const source = picture + first * source_width;
    dst += 2 * first * pitch;

    if (scanline_mode == uknc_scanlines_black) {
        // Every second row; the rows between keep the black of the last clear.
        if (x.filter == nullptr) {
            for (uint32_t line = 0; line < count; ++line)
                std::memcpy(dst + 2 * line * pitch, source + line * source_width, source_width * sizeof *dst);
        } else {
            x.filter(source, dst, source_width, count, 0, 2 * pitch - x.written);
        }
        return;
    }

    // Smooth scanlines blend each line with the one below it, so the source needs one
    // more line: black under the last.
    const bool smooth = scanline_mode == uknc_scanlines_smooth;
    const auto double_rows = smooth ? filter_rows_x2_blend : filter_rows_x2;
    const bool last = end == lines;
    if (x.filter == nullptr) {
        if (!smooth) {
            filter_rows_x2(source, dst, source_width, count, 0, pitch);
            return;
        }
        const uint32_t direct = last ? count - 1 : count;
        filter_rows_x2_blend(source, dst, source_width, direct, 0, pitch);
        if (last) {
            std::memcpy(picture_buffer, picture + (lines - 1) * source_width, source_width * sizeof *dst);
            std::memset(picture_buffer + source_width, 0, source_width * sizeof *dst);
            filter_rows_x2_blend(picture_buffer, dst + 2 * direct * pitch, source_width, 1, 0, pitch);
        }
        return;
    }
    // The scaled lines, and the one below them when it is blended in.
    const uint32_t scaled = smooth && !last ? count + 1 : count;
    x.filter(source, picture_buffer, source_width, scaled, 0, 0);
    if (last)
        std::memset(picture_buffer + count * x.written, 0, x.written * sizeof *dst);
    double_rows(picture_buffer, dst, x.width, count, x.written - x.width, pitch);
}

} // namespace

void uknc_present_into(const uint32_t* picture, const UkncDisplaySettings& settings, uint32_t* picture_buffer,
                       uint32_t* surface, uint32_t pitch, uint32_t width, uint32_t height, const uint8_t* changed,
                       uint32_t* first_row, uint32_t* end_row)
{
    constexpr uint32_t lines = uknc_picture_lines;
    const XScale& x = x_scale_of(settings.x_scale_code);
    if (first_row && end_row)
        *first_row = *end_row = 0;
    // The window shows 2 x lines-fit rows (plus the host's extra row on top) centred in
    // the surface; the picture starts just under that extra row, so with fewer lines fit
    // its bottom lines fall below the window.
    const int64_t top = static_cast<int64_t>(height / 2) - settings.lines_fit + 1;
    const int64_t left = static_cast<int64_t>(width / 2) - x.width / 2;
    if (top < 0 || left < 0 || top + 2 * lines > height || left + x.written > width || pitch < width)
        return;
    uint32_t* const dst = surface + top * pitch + left;
    // A line's rows change with the line and, blended with the line below, with that one.
    const bool blended = settings.scanline_mode == uknc_scanlines_smooth;
    auto needed = [&](uint32_t line) {
        return !changed || changed[line] || (blended && line + 1 < lines && changed[line + 1]);
    };
    uint32_t written_first = lines, written_end = 0;
    for (uint32_t line = 0; line < lines;) {
        if (!needed(line)) {
            ++line;
            continue;
        }
        uint32_t end = line + 1;
        while (end < lines && needed(end))
            ++end;
        present_lines(picture, x, settings.scanline_mode, picture_buffer, dst, pitch, line, end);
        written_first = std::min(written_first, line);
        written_end = end;
        line = end;
    }
    if (first_row && end_row && written_end > written_first) {
        *first_row = uint32_t(top) + 2 * written_first;
        *end_row = uint32_t(top) + 2 * written_end;
    }
}

void uknc_present_picture(const uint32_t* picture, const UkncDisplaySettings& settings, uint32_t* picture_buffer)
{
    BackBufferView view;
    if (!lock_back_buffer(&view))
        return;
    uknc_present_into(picture, settings, picture_buffer, view.pixels, view.pitch, back_buffer_width,
                      back_buffer_height);
    unlock_back_buffer();
}
