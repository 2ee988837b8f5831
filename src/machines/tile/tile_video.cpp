// Tile machine picture: sprites are painted into a layer of colour indices first, then
// the tile map is drawn and every pixel the layer covers takes the sprite's colour.
// The picture is 256 x 256; each pixel becomes two output pixels side by side, and the
// scalers of the host enlarge it to 1, 1.25 or 3 times that.
#include <cstring>

#include "host/byte_table.h"
#include "machines/tile/tile.h"

namespace {

// The colour index of pixel `bit` (0 = bit 0) from four plane bytes.
inline uint8_t plane_index(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3, int bit)
{
    return static_cast<uint8_t>(((p0 >> bit) & 1) | (((p1 >> bit) & 1) << 1) | (((p2 >> bit) & 1) << 2)
                                | (((p3 >> bit) & 1) << 3));
}

// Byte lane b (0 = leftmost pixel) holds bit 7 - b of a plane byte.
constexpr auto spread = byte_table<uint64_t>([](int v) {
    uint64_t lanes = 0;
    for (int b = 0; b < 8; ++b) lanes |= static_cast<uint64_t>((v >> (7 - b)) & 1) << (8 * b);
    return lanes;
});

void paint_sprites()
{
    std::memset(tile.sprite_layer, tile_transparent, sizeof tile.sprite_layer);
    const uint8_t* const g = tile.graphics;
    for (const uint8_t* sprite : tile.sprites) {
        const uint8_t x = sprite[0], y = sprite[1], pattern = sprite[2], flags = sprite[3];
        if (flags & tile_sprite_hidden) continue;
        const uint32_t source = (255u - pattern) * 16u;
        // The scroll register moves the sprites; a column of 248 or more is a sprite
        // partly off the left edge. Columns run -8..262 and rows 2..272, so with the
        // layer 272 wide and 274 tall every index below stays inside it; a negative
        // column spills into the unseen right margin of the row above.
        int column = (tile.x_scroll - x - 4) & 0xFF;
        if (column >= 248) column -= 256;
        const int top = 257 - y;
        for (int j = 0; j < 16; ++j) {
            const int row = (flags & tile_sprite_downwards) ? top + j : top + 15 - j;
            uint8_t* out = tile.sprite_layer + row * static_cast<int>(tile_layer_width) + column;
            const uint32_t left = source + j, right = left + 0x1000;
            const uint8_t l0 = g[left], l1 = g[left + 0x2000], l2 = g[left + 0x4000], l3 = g[left + 0x6000];
            const uint8_t r0 = g[right], r1 = g[right + 0x2000], r2 = g[right + 0x4000], r3 = g[right + 0x6000];
            uint8_t pixels[16];
            if (flags & tile_sprite_unmirrored) {
                for (int b = 0; b < 8; ++b) {
                    pixels[b] = plane_index(l0, l1, l2, l3, 7 - b);
                    pixels[8 + b] = plane_index(r0, r1, r2, r3, 7 - b);
                }
            } else {
                for (int b = 0; b < 8; ++b) {
                    pixels[b] = plane_index(r0, r1, r2, r3, b);
                    pixels[8 + b] = plane_index(l0, l1, l2, l3, b);
                }
            }
            for (int p = 0; p < 16; ++p)
                if (pixels[p] != tile_transparent) out[p] = pixels[p];
        }
    }
}

// Pixel B of a group of eight: the tile's colour index from byte lane B of `tiles`,
// unless the sprite layer holds an opaque index there; written twice side by side.
template <int B>
inline void put_pixel(uint32_t* out, const uint32_t* palette, uint64_t tiles, const uint8_t* layer = nullptr)
{
    uint32_t index = static_cast<uint32_t>(tiles >> (8 * B)) & 0x0F;
    if (layer != nullptr && layer[B] != tile_transparent) index = layer[B];
    const uint32_t colour = palette[index];
    out[2 * B] = colour;
    out[2 * B + 1] = colour;
}

// One emulated line as 512 pixels (each pixel twice) at out.
void render_line(uint32_t line, uint32_t* out)
{
    // Bit 7 of the control register selects the second of the two 1024-byte screens
    // that the 2048-byte map holds.
    const uint8_t* const codes = tile.tile_map + ((tile.control & 0x80) ? 1024 : 0) + 32 * (line >> 3);
    const uint8_t* layer = tile.sprite_layer + line * tile_layer_width;
    // A local copy: stores into the picture cannot change it, so the compiler keeps
    // it in place instead of reloading it after every pixel.
    uint32_t palette[16];
    std::memcpy(palette, tile.palette, sizeof palette);
    const uint32_t i = line & 7;
    constexpr uint64_t all_transparent = 0x0F0F0F0F0F0F0F0Full;
    for (uint32_t c = 0; c < 32; ++c, out += 16, layer += 8) {
        const uint32_t at = codes[c] * 8u + i;
        // Eight 4-bit colour indices, pixel b in byte lane b.
        const uint64_t tiles = spread[tile.tile_planes[0][at]] | spread[tile.tile_planes[1][at]] << 1
                               | spread[tile.tile_planes[2][at]] << 2 | spread[tile.tile_planes[3][at]] << 3;
        uint64_t sprites;
        std::memcpy(&sprites, layer, sizeof sprites);
        // Written out pixel by pixel (constant shifts) rather than as a loop.
        if (sprites == all_transparent) {
            put_pixel<0>(out, palette, tiles);
            put_pixel<1>(out, palette, tiles);
            put_pixel<2>(out, palette, tiles);
            put_pixel<3>(out, palette, tiles);
            put_pixel<4>(out, palette, tiles);
            put_pixel<5>(out, palette, tiles);
            put_pixel<6>(out, palette, tiles);
            put_pixel<7>(out, palette, tiles);
        } else {
            put_pixel<0>(out, palette, tiles, layer);
            put_pixel<1>(out, palette, tiles, layer);
            put_pixel<2>(out, palette, tiles, layer);
            put_pixel<3>(out, palette, tiles, layer);
            put_pixel<4>(out, palette, tiles, layer);
            put_pixel<5>(out, palette, tiles, layer);
            put_pixel<6>(out, palette, tiles, layer);
            put_pixel<7>(out, palette, tiles, layer);
        }
    }
}

// Line y at 1.25 times its width: 640 pixels from pixel 0 of a 640-pixel row, rendered
// at pixel 128 and widened in place.
void widen_line_5_4(uint32_t line, uint32_t* row)
{
    render_line(line, row + 128);
    filter_cols_5_4(row + 128, row, 512, 1, 0, 0);
}

} // namespace

void tile_render(uint32_t* dst, uint32_t row_step)
{
    paint_sprites();
    for (uint32_t line = 0; line < 256; ++line) render_line(line, dst + line * row_step);
}

// The scaled modes run the host's scalers one emulated line at a time through a small
// line buffer, so the intermediate pixels stay in the cache; the result is the same as
// scaling the whole picture in one buffer.
void tile_draw(const BackBufferView& view, uint32_t width, uint32_t height)
{
    uint32_t* const work = tile.work;
    const uint32_t pitch = view.pitch;
    if (tile.scale == tile_scale_1) {
        tile_render(view.pixels + (height / 2 - 256) * pitch + (width / 2 - 256), 2 * pitch);
        return;
    }
    paint_sprites();
    if (tile.scale == tile_scale_1_25) {
        uint32_t* const dst = view.pixels + (height / 2 - 256) * pitch + (width / 2 - 320);
        if (tile.scanlines == tile_lines_black) {
            for (uint32_t line = 0; line < 256; ++line) {
                render_line(line, work);
                filter_cols_5_4(work, dst + 2 * line * pitch, 512, 1, 0, 0);
            }
            return;
        }
        if (tile.scanlines == tile_lines_double) {
            for (uint32_t line = 0; line < 256; ++line) {
                widen_line_5_4(line, work);
                filter_rows_x2(work, dst + 2 * line * pitch, 640, 1, 0, pitch);
            }
            return;
        }
        // The blend mixes each line with the next one (black after the last): keep the
        // next line in the row after the current one.
        uint32_t* const next = work + 640;
        widen_line_5_4(0, work);
        for (uint32_t line = 0; line < 256; ++line) {
            if (line < 255)
                widen_line_5_4(line + 1, next);
            else
                std::memset(next, 0, 640 * sizeof *next);
            filter_rows_x2_blend(work, dst + 2 * line * pitch, 640, 1, 0, pitch);
            std::memcpy(work, next, 640 * sizeof *work);
        }
        return;
    }
    uint32_t* const dst = view.pixels + (height / 2 - 384) * pitch + (width / 2 - 480);
    // 512 pixels rendered at the end of a 960-pixel row are widened 3/2 and 5/4 in one
    // pass (15 of every 8) in place.
    for (uint32_t line = 0; line < 256; ++line) {
        render_line(line, work + 448);
        filter_cols_15_8(work + 448, work, 512, 1, 0, 0);
        filter_rows_x3_scanlines(work, dst + 3 * line * pitch, 960, 1, 0, pitch);
    }
}

void tile_draw_and_present()
{
    draw_back_buffer(tile_draw);
    end_frame();
}
