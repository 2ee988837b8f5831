// The scalers against worked pixel values, row geometry and partial groups.
#include <gtest/gtest.h>

#include <vector>

#include "host/host.h"

namespace {

constexpr uint32_t untouched = 0xDEADBE;

TEST(Scalers, RowsX3ScanlinesShadesThreeRowsAndLeavesPartialGroup)
{
    // Width 6: one whole group of 4; pixels 4 and 5 of every row stay untouched.
    std::vector<uint32_t> src = {0xFFFFFF, 0x808080, 0x010203, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x123456,
                                 /* skip */ 0x111111,
                                 0x204060, 0, 0, 0, 0, 0, 0, 0x111111};
    std::vector<uint32_t> dst(10 * 6, untouched);
    filter_rows_x3_scanlines(src.data(), dst.data(), 6, 2, 2, 10);
    EXPECT_EQ(dst[0], 0x7F7F7Fu);
    EXPECT_EQ(dst[10], 0xFFFFFFu);
    EXPECT_EQ(dst[20], 0xBEBEBEu);
    EXPECT_EQ(dst[1], 0x404040u);
    EXPECT_EQ(dst[21], 0x606060u);
    EXPECT_EQ(dst[2], 0x000101u);  // each channel halved on its own, no carries
    EXPECT_EQ(dst[22], 0x000101u + 0x000000u);
    for (uint32_t row = 0; row < 6; ++row)
        for (uint32_t x = 4; x < 10; ++x)
            EXPECT_EQ(dst[row * 10 + x], untouched) << "row " << row << " x " << x;
    // Second source row starts after width + skip pixels.
    EXPECT_EQ(dst[40], 0x204060u);
    EXPECT_EQ(dst[30], 0x102030u);
}

TEST(Scalers, RowsX2CopiesAndBlendReadsTheRowBelow)
{
    std::vector<uint32_t> src = {0xFCFCFC, 0x040404, 0, 0x808080,
                                 0xFCFCFC, 0x000000, 0, 0x808080,
                                 0x000000, 0x000000, 0, 0x000000}; // the extra row
    std::vector<uint32_t> plain(4 * 4, untouched), blend(4 * 4, untouched);
    filter_rows_x2(src.data(), plain.data(), 4, 2, 0, 4);
    filter_rows_x2_blend(src.data(), blend.data(), 4, 2, 0, 4);
    for (uint32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(plain[x], src[x]);
        EXPECT_EQ(plain[4 + x], src[x]);
        EXPECT_EQ(plain[12 + x], src[4 + x]);
        EXPECT_EQ(blend[x], src[x]);
    }
    EXPECT_EQ(blend[4], 0x7E7E7Eu);  // (0xFC + 0xFC) / 4
    EXPECT_EQ(blend[5], 0x010101u);  // (4 + 0) / 4
    EXPECT_EQ(blend[7], 0x404040u);
    EXPECT_EQ(blend[12], 0x3F3F3Fu); // last row blends with the extra row
}

TEST(Scalers, Cols54WorkedExampleAndSkips)
{
    std::vector<uint32_t> src = {0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x777777,
                                 0x400000, 0x000040, 0x004000, 0x808080, 0x777777};
    std::vector<uint32_t> dst(14, untouched);
    filter_cols_5_4(src.data(), dst.data(), 4, 2, 1, 2);
    EXPECT_EQ(dst[0], 0x000000u);
    EXPECT_EQ(dst[1], 0xC0C0C0u); // 0 + 0xFF - 0x3F per channel
    EXPECT_EQ(dst[2], 0xFEFEFEu);
    EXPECT_EQ(dst[3], 0xC0C0C0u);
    EXPECT_EQ(dst[10], 0x205020u);
    EXPECT_EQ(dst[4], 0x000000u);
    EXPECT_EQ(dst[5], untouched);
    EXPECT_EQ(dst[6], untouched);
    // Second row: source after 4 + 1, destination after 5 + 2.
    EXPECT_EQ(dst[7], 0x400000u);
    EXPECT_EQ(dst[8], 0x100030u);
    EXPECT_EQ(dst[9], 0x002020u);
    EXPECT_EQ(dst[11], 0x808080u);
}

TEST(Scalers, Cols43TriplesThenOneCopiedPixel)
{
    std::vector<uint32_t> src(10);
    for (uint32_t i = 0; i < 9; ++i)
        src[i] = (i % 3 == 0) ? 0xFFFFFF : 0x000000;
    src[9] = 0x123456;
    std::vector<uint32_t> dst(14, untouched);
    filter_cols_4_3(src.data(), dst.data(), 10, 1, 0, 0);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(dst[4 * t], 0xFFFFFFu);
        EXPECT_EQ(dst[4 * t + 1], 0x545454u); // 255 * 85 / 256, truncated per channel
        EXPECT_EQ(dst[4 * t + 2], 0x000000u);
        EXPECT_EQ(dst[4 * t + 3], 0x000000u);
    }
    EXPECT_EQ(dst[12], 0x123456u);
    EXPECT_EQ(dst[13], untouched);
}

TEST(Scalers, Cols43CopiesThePixelAfterTheGroups)
{
    // A row of 9 pixels is one whole group; the copied pixel is the one after the row, and
    // the next row starts after it. A row of 10 pixels copies its own last pixel: the same
    // pixels land in the same places. The source ends at the last pixel the scaler may
    // read, so the sanitizer build catches a read beyond it.
    for (uint32_t width : {9u, 10u}) {
        std::vector<uint32_t> src(20);
        for (uint32_t i = 0; i < src.size(); ++i) src[i] = 0x010101 * i;
        std::vector<uint32_t> dst(2 * 15, untouched);
        filter_cols_4_3(src.data(), dst.data(), width, 2, 0, 2);
        for (uint32_t row = 0; row < 2; ++row) {
            const uint32_t* s = src.data() + row * 10;
            const uint32_t* d = dst.data() + row * 15;
            EXPECT_EQ(d[0], s[0]) << "width " << width;
            EXPECT_EQ(d[3], s[2]) << "width " << width;
            EXPECT_EQ(d[11], s[8]) << "width " << width;
            EXPECT_EQ(d[12], s[9]) << "width " << width;
            EXPECT_EQ(d[13], untouched) << "width " << width;
            EXPECT_EQ(d[14], untouched) << "width " << width;
        }
    }
}

TEST(Scalers, Cols32PairsAndPartialGroup)
{
    std::vector<uint32_t> src = {0xFF0000, 0x00FF00, 0x000000, 0xFFFFFF, 0x000000, 0x000000,
                                 0x000000, 0x000000, 0xABCDEF, 0xABCDEF};
    std::vector<uint32_t> dst(14, untouched);
    filter_cols_3_2(src.data(), dst.data(), 10, 1, 0, 0);
    EXPECT_EQ(dst[0], 0xFF0000u);
    EXPECT_EQ(dst[1], 0x7F7F00u);
    EXPECT_EQ(dst[2], 0x00FF00u);
    EXPECT_EQ(dst[4], 0x7F7F7Fu);
    EXPECT_EQ(dst[12], untouched); // the two leftover pixels make no group
}

TEST(Scalers, Cols43ScalesEveryWholeGroupOfTheRow)
{
    // 18 pixels are two whole groups of 9: both become 12 pixels, whatever happens to the
    // copied pixel after them. (The vector holds one more pixel so that reading it is safe.)
    std::vector<uint32_t> src(19, 0x000000);
    for (uint32_t i = 0; i < 18; i += 3)
        src[i] = 0xFFFFFF;
    std::vector<uint32_t> dst(32, untouched);
    filter_cols_4_3(src.data(), dst.data(), 18, 1, 0, 0);
    for (int t = 0; t < 6; ++t) {
        EXPECT_EQ(dst[4 * t], 0xFFFFFFu) << "triple " << t;
        EXPECT_EQ(dst[4 * t + 1], 0x545454u) << "triple " << t;
        EXPECT_EQ(dst[4 * t + 2], 0x000000u) << "triple " << t;
        EXPECT_EQ(dst[4 * t + 3], 0x000000u) << "triple " << t;
    }
}

} // namespace
