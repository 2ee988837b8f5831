// ZX picture: the T-state-timed border and the 256 x 192 screen area, painted into
// zx_picture (352 x 288 ZX pixels, each 3 picture pixels wide).
#include <algorithm>
#include <cstdio>

#include "host/host.h"
#include "machines/zx/zx.h"

// Index = BRIGHT * 8 + colour (bit 0 blue, bit 1 red, bit 2 green).
const uint32_t zx_palettes[3][16] = {
    {0x000000, 0x0000D5, 0xD50000, 0xD500D5, 0x00D500, 0x00D5D5, 0xD5D500, 0xD5D5D5,
     0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF},
    {0x000000, 0x242424, 0x484848, 0x6D6D6D, 0x919191, 0xB6B6B6, 0xDADADA, 0xFFFFFF,
     0x000000, 0x242424, 0x484848, 0x6D6D6D, 0x919191, 0xB6B6B6, 0xDADADA, 0xFFFFFF},
    {0xFFFFFF, 0x9B9B9B, 0xCDCDCD, 0x696969, 0xE6E6E6, 0x828282, 0xB4B4B4, 0x505050,
     0xFFFFFF, 0x878787, 0xC3C3C3, 0x484848, 0xE1E1E1, 0x696969, 0xA5A5A5, 0x2D2D2D},
};

void zx_next_palette()
{
    zx.palette_index = static_cast<uint8_t>((zx.palette_index + 1) % 3);
    zx.zx_palette = zx_palettes[zx.palette_index];
    std::printf("Palette %d\n", zx.palette_index);
}

namespace {

// Border timing: the picture's first pixel is drawn while 68150 T-states of the frame are
// left; each of the 288 picture rows takes 224 T-states, of which the first 176 draw
// 2 ZX pixels (6 picture pixels) each and the rest is retrace.
constexpr int32_t first_pixel_time = 68150;
constexpr int32_t row_tstates = 224;
constexpr int32_t painted_tstates = 176;
constexpr int32_t rows = 288;
constexpr int32_t picture_end = rows * row_tstates; // elapsed T-states where painting stops
// The screen area covers T-states 24..151 of rows 48..239; the border painting skips it
// because the screen painting overwrites it anyway.
constexpr int32_t screen_first_row = 48, screen_last_row = 239;
constexpr int32_t screen_first_t = 24, screen_end_t = 152;

inline void fill(uint32_t* p, int32_t count, uint32_t colour) { std::fill_n(p, count, colour); }

// Paints one colour from elapsed time `from` to `to` (both as T-states after the first
// pixel, clipped to the painted part of each row).
void paint_span(uint32_t* picture, int32_t from, int32_t to, uint32_t colour)
{
    int32_t row = from / row_tstates;
    int32_t t = from % row_tstates;
    while (row < rows && row * row_tstates + t < to) {
        int32_t end = to - row * row_tstates;
        if (end > painted_tstates)
            end = painted_tstates;
        if (t < end) {
            uint32_t* line = picture + static_cast<uint32_t>(row) * zx_picture_width;
            if (row >= screen_first_row && row <= screen_last_row && t < screen_end_t && end > screen_first_t) {
                if (t < screen_first_t)
                    fill(line + t * 6, (screen_first_t - t) * 6, colour);
                if (end > screen_end_t)
                    fill(line + screen_end_t * 6, (end - screen_end_t) * 6, colour);
            } else {
                fill(line + t * 6, (end - t) * 6, colour);
            }
        }
        ++row;
        t = 0;
    }
}

} // namespace

namespace {

// The border painting walks the events once; it can stop at a row boundary and resume, so
// that a frame can be painted and filtered in bands while the band is still in the cache.
struct BorderCursor {
    int next;         // next event to take
    int count;        // events including the sentinel
    int32_t position; // elapsed T-states since the first pixel, painted up to here
};

BorderCursor border_begin(int count)
{
    const ZxBorderEvent* events = zx.zx_border_events;
    int i = 0;
    // Changes made before the first pixel only decide the starting colour.
    while (i < count && events[i].time >= first_pixel_time)
        zx.border_colour = events[i++].colour;
    return {i, count, 0};
}

// Paints up to `limit` (elapsed T-states, a row start or the picture end).
void border_paint_until(uint32_t* picture, BorderCursor* c, int32_t limit)
{
    const ZxBorderEvent* events = zx.zx_border_events;
    for (; c->next < c->count; ++c->next) {
        int32_t target = first_pixel_time - events[c->next].time;
        // A change during retrace shows from the start of the next row.
        if (target % row_tstates >= painted_tstates)
            target += row_tstates - target % row_tstates;
        if (target >= picture_end)
            break; // after the painted part of the last row: the next frame's
        if (target > limit)
            break; // beyond this band
        if (target > c->position) {
            paint_span(picture, c->position, target, zx.zx_palette[zx.border_colour]);
            c->position = target;
        }
        zx.border_colour = events[c->next].colour;
    }
    if (c->position < limit) {
        paint_span(picture, c->position, limit, zx.zx_palette[zx.border_colour]);
        c->position = limit;
    }
}

// Events not drawn yet count as before the next picture's start.
int border_finish(const BorderCursor& c)
{
    ZxBorderEvent* events = zx.zx_border_events;
    int carried = 0;
    for (int i = c.next; i < c.count - 1; ++i) { // the last one is the sentinel
        events[carried].time = events[i].time + zx_frame_tstates;
        events[carried].colour = events[i].colour;
        ++carried;
    }
    return carried;
}

void screen_lines(const uint8_t* bitmap, const uint8_t* attributes, uint32_t* at, uint32_t first, uint32_t end);

} // namespace

int zx_render_border(uint32_t* picture, int count)
{
    BorderCursor cursor = border_begin(count);
    border_paint_until(picture, &cursor, picture_end);
    return border_finish(cursor);
}

void zx_render_frame_into(uint32_t* pixels, uint32_t pitch, uint32_t width, uint32_t height)
{
    zx.zx_border_events[zx.border_event_count++] = {-1000, 0};
    BorderCursor cursor = border_begin(zx.border_event_count);
    const bool fits = width >= zx_picture_width && height >= zx_picture_height * 3;
    const uint32_t left = fits ? width / 2 - zx_picture_width / 2 : 0;
    const uint32_t top = fits ? height / 2 - zx_picture_height * 3 / 2 : 0;
    uint32_t* picture = zx.zx_picture;
    uint32_t* screen_at = picture + zx_screen_row * zx_picture_width + zx_screen_column;
    // Bands of 8 rows: border, screen lines, then the x3 filter of the same rows.
    constexpr uint32_t band = 8;
    for (uint32_t row = 0; row < zx_picture_height; row += band) {
        border_paint_until(picture, &cursor, static_cast<int32_t>(row + band) * row_tstates);
        if (row + band > zx_screen_row && row < zx_screen_row + 192) {
            const uint32_t first = row > zx_screen_row ? row - zx_screen_row : 0;
            const uint32_t end = std::min<uint32_t>(row + band - zx_screen_row, 192);
            screen_lines(zx.memory + 0x4000, zx.memory + 0x5800, screen_at, first, end);
        }
        if (fits) // a surface too small for the tripled picture gets nothing
            filter_rows_x3_scanlines(picture + row * zx_picture_width,
                                     pixels + (top + 3 * row) * pitch + left, zx_picture_width, band, 0, pitch);
    }
    zx.border_event_count = border_finish(cursor);
}

void zx_render_screen(const uint8_t* bitmap, const uint8_t* attributes, uint32_t* at)
{
    screen_lines(bitmap, attributes, at, 0, 192);
}

namespace {

// Lines first..end-1 of the 256 x 192 area.
void screen_lines(const uint8_t* bitmap, const uint8_t* attributes, uint32_t* at, uint32_t first, uint32_t end)
{
    const uint32_t* palette = zx.zx_palette;
    const bool flash = zx.flash_phase != 0;
    for (uint32_t y = first; y < end; ++y) {
        const uint8_t* bits = bitmap + ((y & 0xC0) << 5) + ((y & 7) << 8) + ((y & 0x38) << 2);
        const uint8_t* attrs = attributes + (y >> 3) * 32;
        uint32_t* p = at + y * zx_picture_width;
        for (uint32_t x = 0; x < 32; ++x) {
            const uint8_t attr = attrs[x];
            const uint32_t bright = (attr >> 3) & 8;
            uint32_t ink = palette[bright | (attr & 7)];
            uint32_t paper = palette[bright | ((attr >> 3) & 7)];
            if (flash && (attr & 0x80)) {
                const uint32_t swap = ink;
                ink = paper;
                paper = swap;
            }
            const uint32_t byte = bits[x];
            const uint32_t diff = ink ^ paper;
            for (int bit = 7; bit >= 0; --bit) {
                const uint32_t c = paper ^ (diff & (0u - ((byte >> bit) & 1)));
                p[0] = c;
                p[1] = c;
                p[2] = c;
                p += 3;
            }
        }
    }
}

} // namespace
