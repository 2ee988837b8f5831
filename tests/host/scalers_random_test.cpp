// The vector scalers against the pixel-by-pixel reference on random pixels: many widths
// (whole vector blocks, single groups and leftover pixels), row counts, source skips and
// destination pitches. Source buffers end exactly at the last pixel a scaler may read, so
// the sanitizer build catches any read past a row; destinations carry random pixels
// around and between the rows, which must come out as they went in.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/host.h"
#include "host/scalers_reference.h"

namespace {

using Scaler = void (*)(const uint32_t*, uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t);

std::mt19937 random_source(0x5CA1E5);

std::vector<uint32_t> random_pixels(size_t count)
{
    // Full 32-bit values: the unused top byte must be treated as in the reference too.
    std::vector<uint32_t> pixels(count);
    for (uint32_t& p : pixels) p = static_cast<uint32_t>(random_source());
    return pixels;
}

uint32_t below(uint32_t limit) { return static_cast<uint32_t>(random_source() % limit); }

// Widths around every block boundary up to 3 blocks of the widest group, then the row
// lengths the machines use and a few long random ones.
std::vector<uint32_t> test_widths()
{
    std::vector<uint32_t> widths;
    for (uint32_t w = 0; w <= 80; ++w) widths.push_back(w);
    for (uint32_t w : {255u, 256u, 257u, 320u, 352u, 512u, 513u, 640u, 768u, 769u, 960u}) widths.push_back(w);
    for (int k = 0; k < 8; ++k) widths.push_back(81 + below(900));
    return widths;
}

// Vertical scalers: `out_rows` destination rows per source row; `extra_row` when the
// scaler reads the row below the last one.
void compare_vertical(const char* name, Scaler vector, Scaler reference, uint32_t out_rows, bool extra_row)
{
    for (uint32_t width : test_widths()) {
        const uint32_t rows = 1 + below(4), skip = below(6);
        const uint32_t groups_width = width / 4 * 4;
        const uint32_t pitch = groups_width + below(7);
        const size_t src_size = size_t(rows - (extra_row ? 0 : 1)) * (width + skip) + width;
        const std::vector<uint32_t> src = random_pixels(src_size);
        const size_t dst_size = size_t(rows * out_rows) * pitch + 8;
        std::vector<uint32_t> expected = random_pixels(dst_size);
        std::vector<uint32_t> got = expected;
        reference(src.data(), expected.data(), width, rows, skip, pitch);
        vector(src.data(), got.data(), width, rows, skip, pitch);
        ASSERT_EQ(got, expected) << name << " width " << width << " rows " << rows << " skip " << skip << " pitch "
                                 << pitch;
    }
}

// Horizontal scalers: source pixels a row of `width` occupies, destination pixels it writes.
void compare_horizontal(const char* name, Scaler vector, Scaler reference, uint32_t (*in_width)(uint32_t),
                        uint32_t (*out_width)(uint32_t))
{
    for (uint32_t width : test_widths()) {
        const uint32_t rows = 1 + below(4), skip = below(6), dst_skip = below(6);
        const size_t src_size = size_t(rows - 1) * (in_width(width) + skip) + in_width(width);
        const std::vector<uint32_t> src = random_pixels(src_size);
        const size_t dst_size = size_t(rows) * (out_width(width) + dst_skip) + 8;
        std::vector<uint32_t> expected = random_pixels(dst_size);
        std::vector<uint32_t> got = expected;
        reference(src.data(), expected.data(), width, rows, skip, dst_skip);
        vector(src.data(), got.data(), width, rows, skip, dst_skip);
        ASSERT_EQ(got, expected) << name << " width " << width << " rows " << rows << " skip " << skip
                                 << " dst skip " << dst_skip;
    }
}

uint32_t same_width(uint32_t width) { return width; }
// A 4/3 row of whole groups is followed by the pixel copied after them.
uint32_t in_4_3(uint32_t width) { return width && width % 9 == 0 ? width + 1 : width; }
uint32_t out_5_4(uint32_t width) { return width / 4 * 5; }
uint32_t out_4_3(uint32_t width) { return width ? width / 9 * 12 + 1 : 0; }
uint32_t out_3_2(uint32_t width) { return width / 8 * 12; }

TEST(ScalersRandom, VerticalScalersMatchTheReference)
{
    for (int round = 0; round < 4; ++round) {
        compare_vertical("x3 scanlines", filter_rows_x3_scanlines, reference_filter_rows_x3_scanlines, 3, false);
        compare_vertical("x2 blend", filter_rows_x2_blend, reference_filter_rows_x2_blend, 2, true);
        compare_vertical("x2", filter_rows_x2, reference_filter_rows_x2, 2, false);
    }
}

TEST(ScalersRandom, HorizontalScalersMatchTheReference)
{
    for (int round = 0; round < 4; ++round) {
        compare_horizontal("5/4", filter_cols_5_4, reference_filter_cols_5_4, same_width, out_5_4);
        compare_horizontal("4/3", filter_cols_4_3, reference_filter_cols_4_3, in_4_3, out_4_3);
        compare_horizontal("3/2", filter_cols_3_2, reference_filter_cols_3_2, same_width, out_3_2);
    }
}

TEST(ScalersRandom, ExtremeChannelValuesMatchTheReference)
{
    // Channels of 0x00, 0x01, 0x02, 0x03, 0xFC..0xFF in every combination stress the masks
    // and the truncated products.
    const uint8_t levels[] = {0x00, 0x01, 0x02, 0x03, 0x80, 0xFC, 0xFD, 0xFE, 0xFF};
    std::vector<uint32_t> src;
    for (uint8_t top : {0x00, 0xFF})
        for (uint8_t r : levels)
            for (uint8_t g : levels)
                for (uint8_t b : levels) src.push_back(uint32_t(top) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b);
    const uint32_t width = uint32_t(src.size()) / 2 - 1; // two rows plus the blend's extra row
    const Scaler vertical[][2] = {{filter_rows_x3_scanlines, reference_filter_rows_x3_scanlines},
                                  {filter_rows_x2_blend, reference_filter_rows_x2_blend},
                                  {filter_rows_x2, reference_filter_rows_x2}};
    for (const auto& pair : vertical) {
        std::vector<uint32_t> expected(6 * width, 0x123456), got = expected;
        pair[1](src.data(), expected.data(), width, 1, 1, width);
        pair[0](src.data(), got.data(), width, 1, 1, width);
        EXPECT_EQ(got, expected);
    }
    const Scaler horizontal[][2] = {{filter_cols_5_4, reference_filter_cols_5_4},
                                    {filter_cols_4_3, reference_filter_cols_4_3},
                                    {filter_cols_3_2, reference_filter_cols_3_2}};
    for (const auto& pair : horizontal) {
        std::vector<uint32_t> expected(2 * src.size(), 0x123456), got = expected;
        pair[1](src.data(), expected.data(), uint32_t(src.size()) - 1, 1, 0, 0);
        pair[0](src.data(), got.data(), uint32_t(src.size()) - 1, 1, 0, 0);
        EXPECT_EQ(got, expected);
    }
}

TEST(ScalersRandom, RowsWidenedInPlaceMatchTheReference)
{
    // The machines render a line at the end of a buffer and widen it towards the start:
    // the output of each group lands before the input of every later group.
    struct Case {
        Scaler vector, reference;
        uint32_t group, extra;
        uint32_t (*out_width)(uint32_t);
    };
    const Case cases[] = {{filter_cols_5_4, reference_filter_cols_5_4, 4, 0, out_5_4},
                          {filter_cols_4_3, reference_filter_cols_4_3, 9, 1, out_4_3},
                          {filter_cols_3_2, reference_filter_cols_3_2, 8, 0, out_3_2}};
    for (const Case& c : cases) {
        for (uint32_t groups = 0; groups <= 130; ++groups) {
            const uint32_t width = groups * c.group + c.extra, out = c.out_width(width);
            std::vector<uint32_t> expected = random_pixels(out + 4), got = expected;
            c.reference(expected.data() + out - width, expected.data(), width, 1, 0, 0);
            c.vector(got.data() + out - width, got.data(), width, 1, 0, 0);
            ASSERT_EQ(got, expected) << "group " << c.group << " groups " << groups;
        }
    }
    // The tile machine's chain: 512 pixels at 448 -> 768 at 192 -> 960 at 0.
    std::vector<uint32_t> expected = random_pixels(960), got = expected;
    reference_filter_cols_3_2(expected.data() + 448, expected.data() + 192, 512, 1, 0, 0);
    reference_filter_cols_5_4(expected.data() + 192, expected.data(), 768, 1, 0, 0);
    filter_cols_3_2(got.data() + 448, got.data() + 192, 512, 1, 0, 0);
    filter_cols_5_4(got.data() + 192, got.data(), 768, 1, 0, 0);
    EXPECT_EQ(got, expected);
}

} // namespace
