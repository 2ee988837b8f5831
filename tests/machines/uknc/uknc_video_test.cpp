// UKNC screen: palettes, the line-table walk (parameter records, scales, cursors, the
// undrawn records, address wrap) and the presentation sizes per X-scale and scanline mode.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "host/host.h"
#include "machines/uknc/uknc_video.h"

namespace {

constexpr int record_count = 317;

// PPU and CPU memory with a line table built from a list of records: record 0 at 0270,
// record i at 0x200 + 8 i, each pointer carrying the record's flag bits (bit 0 cursor
// toggle, bit 1 parameters first, bit 2 colour parameters).
struct Screen {
    std::vector<uint8_t> ppu = std::vector<uint8_t>(0x10000);
    std::vector<uint16_t> cpu = std::vector<uint16_t>(0x10000);
    std::vector<uint32_t> picture = std::vector<uint32_t>(uknc_picture_width * uknc_picture_lines, 0xDEADBEEF);
    UkncVideoState state{};

    struct Record {
        uint8_t flags = 0;
        uint16_t first = 0, second = 0; // parameter words
        uint16_t video = 0x8000;        // blank memory by default
    };
    std::array<Record, record_count + 1> records{}; // the extra one must never be read

    Screen() { uknc_video_reset(&state); }

    void put_word(uint16_t address, uint16_t value)
    {
        ppu[address] = value & 0xFF;
        ppu[uint16_t(address + 1)] = value >> 8;
    }
    // Plane bytes of video address v.
    void put_planes(uint16_t v, uint8_t p0, uint8_t p1, uint8_t p2)
    {
        ppu[v] = p0;
        cpu[v] = uint16_t(p1 | p2 << 8);
    }
    static uint16_t address_of(int i) { return i == 0 ? 0270 : uint16_t(0x200 + 8 * i); }
    uint16_t pointer_to(int i) const { return uint16_t(address_of(i) | records[i].flags); }

    void build()
    {
        for (int i = 0; i <= record_count; ++i) {
            const Record& r = records[i];
            uint16_t at = pointer_to(i) & 0xFFFE;
            if (r.flags & 2) {
                at = address_of(i);
                put_word(at, r.first);
                put_word(at + 2, r.second);
                at += 4;
            }
            put_word(at, r.video);
            put_word(at + 2, i < record_count ? pointer_to(i + 1) : 0270);
        }
    }
    void render(const uint32_t* palette) { uknc_render_picture(&state, ppu.data(), cpu.data(), palette, picture.data()); }
    uint32_t at(int row, int x) const { return picture[row * uknc_picture_width + x]; }
};

// A palette whose every entry names its own index.
std::array<uint32_t, 128> index_palette()
{
    std::array<uint32_t, 128> p{};
    for (int i = 0; i < 128; ++i) p[i] = 0xA00000u + i;
    return p;
}
uint32_t colour(int bank, int nibble) { return 0xA00000u + 16 * bank + nibble; }

uint16_t cursor_word(int position, bool graphic, int nibble)
{
    return uint16_t(position << 5 | (graphic ? 0x10 : 0) | nibble);
}
uint16_t scale_word(int scale, int bank) { return uint16_t(scale << 4 | bank); }

TEST(UkncPalettes, LevelsPerPaletteBankAndNibble)
{
    struct Case {
        int palette, bank, nibble;
        uint32_t rgb;
    };
    // Nibble bits: 1 blue, 2 red, 4 green, 8 bright (palette 3 swaps red and green).
    const Case cases[] = {
        {0, 0, 0, 0x000000}, {0, 0, 1, 0x000080}, {0, 0, 9, 0x0000D4}, {0, 1, 1, 0x0000AA},
        {0, 1, 9, 0x0000FF}, {0, 1, 2, 0x800000}, {0, 2, 2, 0xAA0000}, {0, 2, 10, 0xFF0000},
        {0, 4, 4, 0x00AA00}, {0, 3, 4, 0x008000}, {0, 0, 7, 0x808080}, {0, 7, 7, 0xAAAAAA},
        {0, 7, 15, 0xFFFFFF}, {0, 5, 15, 0xD4FFFF}, {0, 0, 8, 0x000000}, {1, 0, 2, 0xD40000},
        {1, 6, 14, 0xFFFF00}, {1, 3, 5, 0x00D4D4}, {2, 0, 2, 0x00D400}, {2, 0, 4, 0xD40000},
        {2, 5, 12, 0xFF0000}, {3, 0, 5, 0xB6B6B6}, {3, 2, 13, 0xB6B6B6}, {3, 0, 7, 0xFFFFFF},
        {3, 0, 0, 0x000000}, {4, 0, 0, 0x404040}, {4, 7, 3, 0x929292}, {4, 0, 14, 0xE4E4E4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(uknc_palettes[c.palette][16 * c.bank + c.nibble], c.rgb)
            << "palette " << c.palette << " bank " << c.bank << " nibble " << c.nibble;
    // Only the first palette differs between banks.
    for (int p = 1; p < uknc_palette_count; ++p)
        for (int i = 16; i < 128; ++i) ASSERT_EQ(uknc_palettes[p][i], uknc_palettes[p][i & 15]) << p << " " << i;
}

TEST(UkncRender, TheFirstFrameIsBlackUntilAParameterRecord)
{
    Screen s;
    for (int i = 0; i < 256; ++i) s.put_planes(uint16_t(0x4000 + i), 0xFF, 0x55, 0x0F);
    for (auto& r : s.records) r.video = 0x4000;
    s.build();
    s.render(uknc_palettes[4]); // grey palette: colour 0 is not black
    for (uint32_t p : s.picture) ASSERT_EQ(p, 0u);
}

// One field with every kind of record, checked as spans of equal pixels per line.
TEST(UkncRender, LineTableRecordsScalesAndCursors)
{
    Screen s;
    const auto pal = index_palette();
    s.put_planes(0x4000, 0xAA, 0xCC, 0xF0); // byte 0: pixel k has code k
    s.put_planes(0x4100, 0xAA, 0xCC, 0xF0); // the same, and byte 40 past the line at scale 1
    s.put_planes(0x4128, 0xFF, 0xFF, 0xFF);
    s.put_planes(0xFFFF, 0xAA, 0xCC, 0xF0); // wrap: byte 0 at 0xFFFF, byte 1 at 0x0000
    s.put_planes(0x0000, 0xFF, 0x00, 0x00);
    s.put_planes(0x5000, 0xFF, 0xFF, 0xFF); // shown only if an undrawn record were drawn
    auto& r = s.records;
    r[3] = {6, 0xBA98, 0xFEDC, 0x5000};   // colours in an undrawn record: code c -> nibble 8 + c
    r[18].video = 0x5000;
    r[19].video = 0x4000;                  // row 0
    r[20] = {6, 0x0123, 0x4567, 0x4000};   // row 1: new colours before the line's own words
    r[21] = {3, cursor_word(17, false, 12), scale_word(1, 2), 0x4100}; // row 2: cursor on, scale 1
    r[22].video = 0x4001;                  // row 3: the cursor stays on
    r[23] = {1, 0, 0, 0x4000};             // row 4: cursor off
    r[24] = {3, cursor_word(5, true, 1), scale_word(2, 0), 0x4000};   // row 5: graphic cursor, scale 2
    r[25] = {2, cursor_word(79, true, 15), scale_word(3, 0), 0x4000}; // row 6: last pixel at scale 3
    r[26] = {2, cursor_word(80, true, 15), scale_word(3, 0), 0x4000}; // row 7: one past the line
    r[27] = {2, cursor_word(639, false, 14), scale_word(0, 0), 0x4000}; // row 8: last byte
    r[28] = {2, cursor_word(0x3FF, false, 14), scale_word(0, 0), 0x4000}; // row 9: past the line
    r[29] = {1, 0, 0, 0xFFFF};             // row 10: cursor off, video address wraps
    r[30] = {4, 0, 0, 0x4000};             // row 11: bit 2 alone: a plain record at +4
    r[316].video = 0x4000;                 // row 297, the last
    r[317] = {6, 0x1111, 0x1111, 0x4000};  // record 318 is never read
    s.build();
    s.render(pal.data());

    struct Span {
        int row, from, to; // inclusive
        uint32_t rgb;
    };
    const Span spans[] = {
        {0, 0, 0, colour(0, 8)}, {0, 1, 1, colour(0, 9)}, {0, 7, 7, colour(0, 15)}, {0, 8, 639, colour(0, 8)},
        {1, 0, 0, colour(0, 3)}, {1, 3, 3, colour(0, 0)}, {1, 4, 4, colour(0, 7)}, {1, 7, 7, colour(0, 4)},
        {1, 8, 639, colour(0, 3)},
        {2, 0, 1, colour(2, 3)}, {2, 2, 3, colour(2, 2)}, {2, 14, 15, colour(2, 4)}, {2, 16, 31, colour(2, 3)},
        {2, 32, 47, colour(2, 12)}, {2, 48, 639, colour(2, 3)},
        {3, 0, 31, colour(2, 3)}, {3, 32, 47, colour(2, 12)}, {3, 48, 639, colour(2, 3)},
        {4, 0, 1, colour(2, 3)}, {4, 16, 639, colour(2, 3)},
        {5, 0, 3, colour(0, 3)}, {5, 16, 19, colour(0, 7)}, {5, 20, 23, colour(0, 1)},
        {5, 24, 27, colour(0, 5)}, {5, 28, 31, colour(0, 4)}, {5, 32, 639, colour(0, 3)},
        {6, 0, 7, colour(0, 3)}, {6, 56, 63, colour(0, 4)}, {6, 64, 631, colour(0, 3)}, {6, 632, 639, colour(0, 15)},
        {7, 0, 7, colour(0, 3)}, {7, 64, 639, colour(0, 3)},
        {8, 0, 0, colour(0, 3)}, {8, 8, 631, colour(0, 3)}, {8, 632, 639, colour(0, 14)},
        {9, 8, 639, colour(0, 3)},
        {10, 0, 0, colour(0, 3)}, {10, 7, 7, colour(0, 4)}, {10, 8, 15, colour(0, 2)}, {10, 16, 639, colour(0, 3)},
        {11, 4, 4, colour(0, 7)}, {11, 8, 639, colour(0, 3)},
        {297, 1, 1, colour(0, 2)}, {297, 8, 639, colour(0, 3)},
    };
    for (const Span& span : spans)
        for (int x = span.from; x <= span.to; ++x)
            ASSERT_EQ(s.at(span.row, x), span.rgb) << "row " << span.row << " x " << x;
    // Where the record's state ends up: the last cursor word, scale and bank; the colours
    // of record 20, not of the record after the 317th.
    EXPECT_EQ(s.state.cursor_word, cursor_word(0x3FF, false, 14));
    EXPECT_EQ(s.state.scale, 0);
    EXPECT_EQ(s.state.colour_words[0], 0x0123);
    EXPECT_EQ(s.state.colour_words[1], 0x4567);

    // The next field starts with the carried-over state and the toggle off again.
    const std::vector<uint32_t> first = s.picture;
    s.render(pal.data());
    EXPECT_EQ(s.picture, first);
}

// Every pixel of random line tables against a pixel-by-pixel model of the controller,
// over three fields so that state carries across them.
TEST(UkncRender, MatchesAPixelByPixelModelOnRandomTables)
{
    std::mt19937 random(1234);
    Screen s;
    const auto pal = index_palette();
    UkncVideoState model{};
    std::vector<uint32_t> expected(uknc_picture_width * uknc_picture_lines);
    for (int field = 0; field < 3; ++field) {
        for (auto& b : s.ppu) b = uint8_t(random());
        for (auto& w : s.cpu) w = uint16_t(random());
        for (auto& r : s.records) {
            r.flags = uint8_t(random() % 8);
            r.first = uint16_t(random());
            r.second = uint16_t(random());
            r.video = uint16_t(random());
        }
        s.records[0].flags = 0;
        s.build();
        s.render(pal.data());

        uint16_t p = 0270;
        bool t = false;
        for (int record = 0; record < record_count; ++record) {
            t ^= p & 1;
            auto word = [&](uint16_t a) { return uint16_t(s.ppu[a] | s.ppu[uint16_t(a + 1)] << 8); };
            uint16_t a = p & ~1;
            if (p & 2) {
                a = p & ~7;
                if (p & 4) {
                    model.colour_words[0] = word(a);
                    model.colour_words[1] = word(a + 2);
                } else {
                    model.cursor_word = word(a);
                    model.scale = (word(a + 2) >> 4) & 3;
                    model.bank = word(a + 2) & 7;
                }
                for (int c = 0; c < 8; ++c)
                    model.line_colours[c] = pal[model.bank * 16 + ((model.colour_words[c / 4] >> (4 * (c % 4))) & 15)];
                a += 4;
            }
            const uint16_t v = word(a);
            p = word(uint16_t(a + 2));
            if (record < 19) continue;
            uint32_t* line = &expected[(record - 19) * uknc_picture_width];
            for (int x = 0; x < 640; ++x) {
                const int source = x >> model.scale, bit = source & 7;
                const uint16_t va = uint16_t(v + source / 8);
                const int code = (s.ppu[va] >> bit & 1) | (s.cpu[va] >> bit & 1) << 1 | (s.cpu[va] >> (8 + bit) & 1) << 2;
                line[x] = model.line_colours[code];
            }
            if (t) {
                const int pos = (model.cursor_word >> 5) & 0x3FF;
                const bool graphic = model.cursor_word & 0x10;
                const int start = (graphic ? pos : pos & ~7) << model.scale;
                const int width = (graphic ? 1 : 8) << model.scale;
                for (int x = start; x < start + width && start < 640; ++x)
                    line[x] = pal[model.bank * 16 + (model.cursor_word & 15)];
            }
        }
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(s.picture[i], expected[i]) << "field " << field << " row " << i / 640 << " x " << i % 640;
    }
}

} // namespace

namespace {

TEST(UkncPresent, ClientSizesAndMessages)
{
    struct Case {
        int code, lines_fit;
        uint32_t width, height;
        const char* message;
    };
    const Case cases[] = {
        {0, 276, 640, 552, "UKNC screen X-scale = 1.0\n"},   {12, 288, 800, 576, "UKNC screen X-scale = 1.25\n"},
        {13, 298, 852, 596, "UKNC screen X-scale = 1.333\n"}, {15, 276, 960, 552, "UKNC screen X-scale = 1.5\n"},
    };
    for (const Case& c : cases) {
        uint32_t w = 0, h = 0;
        uknc_client_size(UkncDisplaySettings{c.code, 0, c.lines_fit}, &w, &h);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(uknc_scaled_width(c.code), c.width);
        EXPECT_STREQ(uknc_x_scale_message(c.code), c.message);
    }
}

// Every X-scale, scanline mode and lines-fit into a 1200 x 960 surface: where the picture
// lands, which rows each mode writes and what stays untouched around it.
TEST(UkncPresent, PlacementAndRowsPerScaleAndScanlineMode)
{
    constexpr uint32_t W = 1200, H = 960, pitch = 1216, sentinel = 0xFF123456;
    std::mt19937 random(7);
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    for (auto& p : picture) p = random() & 0xFFFFFF;
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> surface(size_t(pitch) * H);
    struct Scale {
        int code;
        uint32_t written;
        void (*filter)(const uint32_t*, uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t);
    };
    const Scale scales[] = {{0, 640, nullptr}, {12, 800, filter_cols_5_4}, {13, 853, filter_cols_4_3}, {15, 960, filter_cols_3_2}};
    for (const Scale& scale : scales) {
        // The expected rows: the picture's lines through the scale's filter, black after.
        std::vector<uint32_t> wide(size_t(scale.written) * (uknc_picture_lines + 1), 0);
        for (int y = 0; y < uknc_picture_lines; ++y) {
            if (scale.filter)
                scale.filter(&picture[y * 640], &wide[y * scale.written], 640, 1, 0, 0);
            else
                std::memcpy(&wide[y * 640], &picture[y * 640], 640 * 4);
        }
        const uint32_t shown = uknc_scaled_width(scale.code);
        for (int mode = 0; mode < 3; ++mode)
            for (int lines_fit : {276, 288, 298}) {
                std::fill(surface.begin(), surface.end(), sentinel);
                uknc_present_into(picture.data(), UkncDisplaySettings{scale.code, mode, lines_fit},
                                  picture_buffer.data(), surface.data(), pitch, W, H);
                const uint32_t left = W / 2 - shown / 2, top = H / 2 - lines_fit + 1;
                // Modes 1 and 2 copy the shown width in groups of four; mode 0 writes the rows
                // as the filter makes them.
                const uint32_t written = mode == 0 ? scale.written : shown;
                const std::string where = "scale " + std::to_string(scale.code) + " mode " + std::to_string(mode) +
                                          " fit " + std::to_string(lines_fit);
                for (uint32_t row = top - 1; row <= top + 2 * uknc_picture_lines; ++row) {
                    const uint32_t* s = &surface[size_t(row) * pitch];
                    ASSERT_EQ(s[left - 1], sentinel) << where << " row " << row;
                    ASSERT_EQ(s[left + written], sentinel) << where << " row " << row;
                    if (row < top || row == top + 2 * uknc_picture_lines) {
                        ASSERT_EQ(s[left], sentinel) << where << " row " << row;
                        continue;
                    }
                    const uint32_t y = (row - top) / 2;
                    const bool second = (row - top) & 1;
                    for (uint32_t x = 0; x < written; ++x) {
                        const uint32_t here = wide[y * scale.written + x];
                        uint32_t expected = here;
                        if (second && mode == 0)
                            expected = sentinel;
                        if (second && mode == 1)
                            expected = ((here & 0xFCFCFC) + (wide[(y + 1) * scale.written + x] & 0xFCFCFC)) >> 2;
                        ASSERT_EQ(s[left + x], expected) << where << " row " << row << " x " << x;
                    }
                }
            }
    }
}

TEST(UkncPresent, DrawsIntoTheHostBackBuffer)
{
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines, 0x336699);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    clear_back_buffer();
    uknc_present_picture(picture.data(), UkncDisplaySettings{12, 2, 276}, picture_buffer.data());
    BackBufferView view;
    ASSERT_TRUE(lock_back_buffer(&view));
    const uint32_t left = back_buffer_width / 2 - 400, top = back_buffer_height / 2 - 275;
    EXPECT_EQ(view.pixels[top * view.pitch + left], 0x336699u);
    EXPECT_EQ(view.pixels[(top + 1) * view.pitch + left + 799], 0x336699u);
    EXPECT_EQ(view.pixels[(top - 1) * view.pitch + left], 0u);
    EXPECT_EQ(view.pixels[top * view.pitch + left - 1], 0u);
    unlock_back_buffer();
}

} // namespace
