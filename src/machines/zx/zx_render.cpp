// ZX picture: the T-state-timed border and the 256 x 192 screen area, painted into
// zx_picture (352 x 288 ZX pixels, each 3 picture pixels wide).
#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

inline void fill(uint32_t* p, int32_t count, uint32_t colour)
{
#ifdef __SSE2__
    const __m128i v = _mm_set1_epi32(static_cast<int>(colour));
    for (; count >= 4; count -= 4, p += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
#endif
    std::fill_n(p, count, colour);
}

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
    zx.picture_valid = false; // zx_picture no longer shows what the last frame painted
    BorderCursor cursor = border_begin(count);
    border_paint_until(picture, &cursor, picture_end);
    return border_finish(cursor);
}

namespace {

// The frame's border as a list of colour changes, built from the events exactly as
// border_paint_until consumes them (the colour in force and the carried events end up
// the same). Returns the number of changes; the events past the picture stay for the
// next frame.
int border_changes_of_frame(ZxBorderChange* changes)
{
    const ZxBorderEvent* events = zx.zx_border_events;
    const int count = zx.border_event_count;
    int i = 0;
    while (i < count && events[i].time >= first_pixel_time)
        zx.border_colour = events[i++].colour;
    int n = 0;
    changes[n++] = {0, zx.border_colour};
    for (; i < count; ++i) {
        int32_t target = first_pixel_time - events[i].time;
        if (target % row_tstates >= painted_tstates)
            target += row_tstates - target % row_tstates;
        if (target >= picture_end)
            break;
        const uint8_t colour = events[i].colour;
        zx.border_colour = colour;
        ZxBorderChange& last = changes[n - 1];
        if (target > last.position) {
            if (colour != last.colour)
                changes[n++] = {target, colour};
        } else if (n > 1 && changes[n - 2].colour == colour) {
            --n; // a change undone at the same T-state
        } else {
            last.colour = colour;
        }
    }
    zx.border_event_count = border_finish({i, count, 0});
    return n;
}

bool same_changes(const ZxBorderChange* a, int a_count, const ZxBorderChange* b, int b_count)
{
    if (a_count != b_count)
        return false;
    for (int i = 0; i < a_count; ++i)
        if (a[i].position != b[i].position || a[i].colour != b[i].colour)
            return false;
    return true;
}

// Walks a change list row by row: `at` is the change in force at the row's start.
struct ChangeCursor {
    const ZxBorderChange* changes;
    int count;
    int at;
    void seek(int32_t position)
    {
        while (at + 1 < count && changes[at + 1].position <= position)
            ++at;
    }
};

// Same colour at the row's start and the same changes within its painted part.
bool same_border_row(ChangeCursor& a, ChangeCursor& b, int32_t start)
{
    a.seek(start);
    b.seek(start);
    if (a.changes[a.at].colour != b.changes[b.at].colour)
        return false;
    const int32_t end = start + painted_tstates;
    int i = a.at + 1, j = b.at + 1;
    for (;;) {
        const bool more_a = i < a.count && a.changes[i].position < end;
        const bool more_b = j < b.count && b.changes[j].position < end;
        if (more_a != more_b)
            return false;
        if (!more_a)
            return true;
        if (a.changes[i].position != b.changes[j].position || a.changes[i].colour != b.changes[j].colour)
            return false;
        ++i;
        ++j;
    }
}

void paint_border_row(uint32_t* picture, ChangeCursor& c, int32_t start)
{
    c.seek(start);
    const int32_t end = start + painted_tstates;
    for (int i = c.at; i < c.count; ++i) {
        const int32_t from = std::max(c.changes[i].position, start);
        if (from >= end)
            break;
        const int32_t to = i + 1 < c.count ? std::min(c.changes[i + 1].position, end) : end;
        if (to > from)
            paint_span(picture, from, to, zx.zx_palette[c.changes[i].colour]);
    }
}

// Screen lines whose bytes, attributes or FLASH look differ from the last painting.
void find_changed_screen_lines(bool all, bool* changed)
{
    if (all) {
        std::fill_n(changed, 192, true);
        return;
    }
    const uint8_t* screen = zx.memory + 0x4000;
    const uint8_t* painted = zx.painted_screen;
    const bool flash_turned = zx.flash_phase != zx.painted_flash_phase;
    // Most frames leave the screen alone: one comparison of the whole area says so.
    if (!flash_turned && std::memcmp(screen, painted, zx_screen_bytes) == 0) {
        std::fill_n(changed, 192, false);
        return;
    }
    bool attributes_changed[24];
    for (uint32_t row = 0; row < 24; ++row) {
        const uint8_t* a = screen + 0x1800 + row * 32;
        bool differs = std::memcmp(a, painted + 0x1800 + row * 32, 32) != 0;
        if (!differs && flash_turned)
            for (uint32_t x = 0; x < 32 && !differs; ++x)
                differs = (a[x] & 0x80) != 0;
        attributes_changed[row] = differs;
    }
    for (uint32_t y = 0; y < 192; ++y) {
        const uint32_t offset = ((y & 0xC0) << 5) + ((y & 7) << 8) + ((y & 0x38) << 2);
        changed[y] = attributes_changed[y >> 3] || std::memcmp(screen + offset, painted + offset, 32) != 0;
    }
}

} // namespace

bool zx_render_frame_into(uint32_t* pixels, uint32_t pitch, uint32_t width, uint32_t height)
{
    zx.zx_border_events[zx.border_event_count++] = {-1000, 0};
    const int shown = zx.painted_border, next = shown ^ 1;
    ZxBorderChange* changes = zx.border_changes[next];
    zx.border_change_count[next] = border_changes_of_frame(changes);

    const bool fits = width >= zx_picture_width && height >= zx_picture_height * 3;
    const uint32_t left = fits ? width / 2 - zx_picture_width / 2 : 0;
    const uint32_t top = fits ? height / 2 - zx_picture_height * 3 / 2 : 0;
    // Anything the last painting does not vouch for is painted afresh.
    const bool all = !zx.picture_valid || zx.painted_palette != zx.zx_palette || zx.painted_pixels != pixels ||
                     zx.painted_pitch != pitch || zx.painted_width != width || zx.painted_height != height;
    bool screen_changed[192];
    find_changed_screen_lines(all, screen_changed);
    bool wrote = false;

    uint32_t* picture = zx.zx_picture;
    uint32_t* screen_at = picture + zx_screen_row * zx_picture_width + zx_screen_column;
    ChangeCursor now{changes, zx.border_change_count[next], 0};
    ChangeCursor before{zx.border_changes[shown], zx.border_change_count[shown], 0};
    // A border drawn as in the last frame (a steady colour, or the same stripes) needs no
    // row by row comparison.
    const bool same_border = !all && same_changes(changes, zx.border_change_count[next], zx.border_changes[shown],
                                                  zx.border_change_count[shown]);
    for (uint32_t row = 0; row < zx_picture_height; ++row) {
        const int32_t start = static_cast<int32_t>(row) * row_tstates;
        const bool border = all || (!same_border && !same_border_row(now, before, start));
        const bool in_screen = row >= zx_screen_row && row < zx_screen_row + 192;
        const bool screen = in_screen && screen_changed[row - zx_screen_row];
        if (border)
            paint_border_row(picture, now, start);
        if (screen)
            screen_lines(zx.memory + 0x4000, zx.memory + 0x5800, screen_at, row - zx_screen_row,
                         row - zx_screen_row + 1);
        if (!fits || !(border || screen))
            continue; // a surface too small for the tripled picture gets nothing
        wrote = true;
        // Columns of the row to triple: all of it, or only the screen or only the border.
        const uint32_t* from = picture + row * zx_picture_width;
        uint32_t* to = pixels + (top + 3 * row) * pitch + left;
        if (!in_screen || (border && screen)) {
            filter_rows_x3_scanlines(from, to, zx_picture_width, 1, 0, pitch);
        } else if (screen) {
            filter_rows_x3_scanlines(from + zx_screen_column, to + zx_screen_column, 768, 1, 0, pitch);
        } else {
            constexpr uint32_t right = zx_screen_column + 768;
            filter_rows_x3_scanlines(from, to, zx_screen_column, 1, 0, pitch);
            filter_rows_x3_scanlines(from + right, to + right, zx_picture_width - right, 1, 0, pitch);
        }
    }

    zx.painted_border = next;
    zx.picture_valid = true;
    zx.painted_flash_phase = zx.flash_phase;
    zx.painted_palette = zx.zx_palette;
    zx.painted_pixels = pixels;
    zx.painted_pitch = pitch;
    zx.painted_width = width;
    zx.painted_height = height;
    std::memcpy(zx.painted_screen, zx.memory + 0x4000, zx_screen_bytes);
    return wrote;
}

void zx_render_screen(const uint8_t* bitmap, const uint8_t* attributes, uint32_t* at)
{
    zx.picture_valid = false;
    screen_lines(bitmap, attributes, at, 0, 192);
}

namespace {

// The ZX pixel bit each of a byte's 24 picture pixels shows.
alignas(16) constexpr int32_t lane_bits[24] = {
    0x80, 0x80, 0x80, 0x40, 0x40, 0x40, 0x20, 0x20, 0x20, 0x10, 0x10, 0x10,
    0x08, 0x08, 0x08, 0x04, 0x04, 0x04, 0x02, 0x02, 0x02, 0x01, 0x01, 0x01,
};

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
#ifdef __SSE2__
            // 8 pixels, 3 picture pixels each, six vectors of four.
            const __m128i b = _mm_set1_epi32(static_cast<int>(byte));
            const __m128i d = _mm_set1_epi32(static_cast<int>(diff));
            const __m128i base = _mm_set1_epi32(static_cast<int>(paper));
            for (int k = 0; k < 6; ++k) {
                const __m128i bit = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane_bits + 4 * k));
                const __m128i set = _mm_cmpeq_epi32(_mm_and_si128(b, bit), bit);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k),
                                 _mm_xor_si128(base, _mm_and_si128(d, set)));
            }
            p += 24;
#else
            for (int bit = 7; bit >= 0; --bit) {
                const uint32_t c = paper ^ (diff & (0u - ((byte >> bit) & 1)));
                p[0] = c;
                p[1] = c;
                p[2] = c;
                p += 3;
            }
#endif
        }
    }
}

} // namespace
