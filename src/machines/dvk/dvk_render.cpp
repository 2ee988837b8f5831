// The DVK displays' pictures and their presentation. Each picture is built line by line
// into a 32-bit buffer, then shown centred in the BackBuffer in the complex's scanline
// mode: black scanlines put each line on every second row, smooth scanlines and double
// lines go through the row filters. The E-85's 256 lines fill its 768-row window three
// rows a line (two of them and a black one in the black-scanline mode).
#include "machines/dvk/dvk_boards.h"

#include "host/byte_table.h"
#include "host/host.h"

#include <cstring>
#include <vector>

namespace {

Workstation& ws = workstation;

// Each bit of a byte doubled into two bits, the KGD's 400 pixels widened to 800.
constexpr auto doubling = byte_table<uint16_t>([](int b) {
    uint16_t d = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (b & (1 << bit))
            d = static_cast<uint16_t>(d | 3 << (2 * bit));
    return d;
});

inline uint16_t word_at(const uint8_t* block, uint32_t offset)
{
    return static_cast<uint16_t>(block[offset] | block[offset + 1] << 8);
}

std::vector<uint32_t>& picture_storage()
{
    static std::vector<uint32_t> picture(size_t(e85_width) * kgd_lines);
    return picture;
}

std::vector<uint8_t>& text_storage()
{
    static std::vector<uint8_t> text(size_t(kgd_text_bytes_per_line) * kgd_lines);
    return text;
}

} // namespace

void kgd_compose(const uint8_t* text_bits, uint32_t* picture)
{
    const KgdBoard& kgd = dvk.kgd;
    const uint32_t background = kgd_palettes[ws.kgdPaletteIndex][0];
    const uint32_t foreground = kgd_palettes[ws.kgdPaletteIndex][1];
    const bool graphics = kgd.control & 0x8000;
    const bool text = text_bits && !(kgd.control & 0x4000);
    for (int line = 0; line < kgd_lines; ++line) {
        uint32_t* out = picture + line * kgd_width;
        for (int j = 0; j < kgd_text_bytes_per_line; ++j) {
            uint8_t bits = text ? text_bits[line * kgd_text_bytes_per_line + (j ^ 1)] : 0;
            if (graphics) {
                uint16_t doubled = doubling[kgd.memory[line * 50 + j / 2]];
                bits |= static_cast<uint8_t>((j & 1) ? doubled : doubled >> 8);
            }
            for (int bit = 0; bit < 8; ++bit)
                *out++ = (bits & (0x80 >> bit)) ? foreground : background;
        }
    }
}

void kgd_render(uint32_t* picture)
{
    uint8_t* text = nullptr;
    if (kgd_text_source) {
        std::vector<uint8_t>& storage = text_storage();
        std::memset(storage.data(), 0, storage.size());
        kgd_text_source(storage.data(), ws.ie15Selected);
        text = storage.data();
    }
    kgd_compose(text, picture);
}

// 240 lines of 100 video words from a line table near the top of video memory; a word
// with its attribute set is four 16-colour pixels, otherwise eight 4-colour ones.
void kcgd_render(uint32_t* picture)
{
    KcgdBoard& kcgd = dvk.kcgd;
    uint32_t colours[16];
    for (int i = 0; i < 16; ++i)
        colours[i] = kcgd_colour(kcgd.palette[i]);
    const uint32_t four[4] = {colours[0], colours[5], colours[10], colours[15]};
    if (!(kcgd.modeWord & 2))
        kcgd.scrollFlag = false;
    const uint32_t table = (0x1F3Cu ^ ((kcgd.modeWord & 1) ? 0x1000u : 0u)) - (kcgd.scrollFlag ? 2u : 0u);
    const uint8_t* block = kcgd.block;
    for (int k = 0; k < kcgd_lines; ++k) {
        uint16_t index = word_at(block, (table - 2 - 4u * k) & 0x1FFFE);
        uint32_t* out = picture + k * kcgd_width;
        for (int c = 0; c < 100; ++c, ++index) {
            uint16_t word = word_at(block, 2u * index);
            if (block[kcgd_attribute_offset + index]) {
                for (int shift = 12; shift >= 0; shift -= 4) {
                    uint32_t colour = colours[(word >> shift) & 15];
                    *out++ = colour;
                    *out++ = colour;
                }
            } else {
                for (int shift = 14; shift >= 0; shift -= 2)
                    *out++ = four[(word >> shift) & 3];
            }
        }
    }
    kcgd.scrollFlag = true;
}

void nemiga_render(uint32_t* picture)
{
    const NemigaBoard& nemiga = dvk.nemiga;
    const uint32_t* palette = nemiga_palettes[ws.nemigaPaletteIndex];
    const bool wide = ws.nemigaXScaleCode == 15;
    static uint32_t line_pixels[nemiga_width];
    const uint8_t* source = nemiga.memory + 0x8000;
    for (int line = 0; line < nemiga_lines; ++line) {
        uint32_t* out = wide ? line_pixels : picture + line * nemiga_width;
        for (int pair = 0; pair < 64; ++pair, source += 2) {
            uint8_t high = source[0], low = source[1];
            for (int bit = 7; bit >= 0; --bit)
                *out++ = palette[((high >> bit) & 1) << 1 | ((low >> bit) & 1)];
        }
        if (wide)
            filter_cols_3_2(line_pixels, picture + line * nemiga_wide_width, nemiga_width, 1, 0, 0);
    }
}

// Eight colours from three planes; a picture with planes 1 and 2 blank is the
// monochrome E-85 screen, green on black.
void e85_render(uint32_t* picture)
{
    const uint8_t* planes = dvk.e85.memory;
    bool colour = false;
    for (uint32_t i = e85_plane_size; i < 3 * e85_plane_size && !colour; ++i)
        colour = planes[i] != 0;
    const uint32_t mono[2] = {0x000000, 0x00FF00};
    for (int line = 0; line < e85_lines; ++line) {
        uint32_t* out = picture + line * e85_width;
        for (int w = 0; w < 64; ++w) {
            uint32_t offset = 2u * (line * 64u + w);
            uint16_t p0 = word_at(planes, offset);
            if (!colour) {
                for (int bit = 15; bit >= 0; --bit)
                    *out++ = mono[(p0 >> bit) & 1];
                continue;
            }
            uint16_t p1 = word_at(planes, e85_plane_size + offset);
            uint16_t p2 = word_at(planes, 2 * e85_plane_size + offset);
            for (int bit = 15; bit >= 0; --bit)
                *out++ = e85_colours[((p0 >> bit) & 1) | ((p1 >> bit) & 1) << 1 | ((p2 >> bit) & 1) << 2];
        }
    }
}

void dvk_present_into(const uint32_t* picture, int width, int lines, int rows_per_line, int scanline_mode,
                      uint32_t* picture_buffer, uint32_t* surface, uint32_t pitch, uint32_t surface_width,
                      uint32_t surface_height)
{
    const int64_t rows = int64_t(lines) * rows_per_line;
    const int64_t top = int64_t(surface_height / 2) - rows / 2 + 1;
    const int64_t left = int64_t(surface_width / 2) - width / 2;
    if (top < 0 || left < 0 || top + rows > surface_height || left + width > surface_width || pitch < surface_width)
        return;
    uint32_t* const dst = surface + top * pitch + left;
    if (rows_per_line == 3) {
        // Two rows a line and a black third in the black-scanline mode, else three.
        const int shown = scanline_mode == uknc_scanlines_black ? 2 : 3;
        for (int line = 0; line < lines; ++line)
            for (int row = 0; row < shown; ++row)
                std::memcpy(dst + (3 * line + row) * size_t(pitch), picture + size_t(line) * width,
                            size_t(width) * sizeof *dst);
        return;
    }
    if (scanline_mode == uknc_scanlines_black) {
        for (int line = 0; line < lines; ++line)
            std::memcpy(dst + 2 * line * pitch, picture + size_t(line) * width, size_t(width) * sizeof *dst);
        return;
    }
    if (scanline_mode == uknc_scanlines_double) {
        filter_rows_x2(picture, dst, uint32_t(width), uint32_t(lines), 0, pitch);
        return;
    }
    // Smooth scanlines blend each line with the next: the last one with black.
    std::memcpy(picture_buffer, picture, size_t(width) * lines * sizeof *dst);
    std::memset(picture_buffer + size_t(width) * lines, 0, size_t(width) * sizeof *dst);
    filter_rows_x2_blend(picture_buffer, dst, uint32_t(width), uint32_t(lines), 0, pitch);
}

bool dvk_present()
{
    int width = 0, lines = 0, rows_per_line = 2;
    uint32_t* picture = picture_storage().data();
    switch (workstation_display_mode()) {
    case WS_DISPLAY_KSM_KGD:
    case WS_DISPLAY_IE15_KGD:
        kgd_render(picture);
        width = kgd_width, lines = kgd_lines;
        break;
    case WS_DISPLAY_KCGD:
        kcgd_render(picture);
        width = kcgd_width, lines = kcgd_lines;
        break;
    case WS_DISPLAY_NEMIGA:
        nemiga_render(picture);
        width = ws.nemigaXScaleCode == 15 ? nemiga_wide_width : nemiga_width, lines = nemiga_lines;
        break;
    case WS_DISPLAY_E85:
        e85_render(picture);
        width = e85_width, lines = e85_lines, rows_per_line = 3;
        break;
    default:
        return false;
    }
    BackBufferView view;
    if (lock_back_buffer(&view)) {
        dvk_present_into(picture, width, lines, rows_per_line, ws.display.scanline_mode, ws.PictureBuffer, view.pixels,
                         view.pitch, back_buffer_width, back_buffer_height);
        unlock_back_buffer();
    }
    return true;
}
