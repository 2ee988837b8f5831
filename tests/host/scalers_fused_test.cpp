// The one-pass 15/8 widening against the 3/2 and 5/4 reference scalers run one after
// the other: random pixels (full 32-bit values, extreme channels included), widths around
// every group and block boundary, several rows with source and destination skips, and the
// in-place layout of a machine's line buffer. Pixels around the output must stay as they were.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/host.h"
#include "host/scalers_reference.h"

namespace {

std::mt19937 fused_random(0x15080CA1);

std::vector<uint32_t> random_pixels(size_t count, bool extremes)
{
    std::vector<uint32_t> pixels(count);
    for (uint32_t& p : pixels) {
        p = static_cast<uint32_t>(fused_random());
        // Channels of 0x00 and 0xFF are where a missing mask would carry or borrow.
        if (extremes) p = (p & 0xAAAAAAAA) ? 0xFFFFFFFFu : 0u;
    }
    return pixels;
}

uint32_t below(uint32_t limit) { return static_cast<uint32_t>(fused_random() % limit); }

// The two steps through a separate middle buffer, row by row as the definition.
void chained(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows, uint32_t skip, uint32_t dst_skip)
{
    const uint32_t middle_width = width / 8 * 12;
    std::vector<uint32_t> middle(size_t(rows) * middle_width + 1);
    reference_filter_cols_3_2(src, middle.data(), width, rows, skip, 0);
    reference_filter_cols_5_4(middle.data(), dst, middle_width, rows, 0, dst_skip);
}

TEST(ScalersFused, FifteenEighthsEqualsThreeHalvesThenFiveQuarters)
{
    std::vector<uint32_t> widths;
    for (uint32_t w = 0; w <= 100; ++w) widths.push_back(w);
    for (uint32_t w : {255u, 256u, 257u, 511u, 512u, 513u, 520u, 1024u}) widths.push_back(w);
    for (bool extremes : {false, true}) {
        for (uint32_t width : widths) {
            const uint32_t rows = 1 + below(4), skip = below(9), dst_skip = below(9);
            // The source ends at the last pixel a row may read, so the sanitizer build
            // catches a read past it.
            const std::vector<uint32_t> src = random_pixels(size_t(rows - 1) * (width + skip) + width, extremes);
            const size_t dst_size = size_t(rows) * (width / 8 * 15 + dst_skip) + 8;
            std::vector<uint32_t> expected = random_pixels(dst_size, false);
            std::vector<uint32_t> got = expected, got_reference = expected;
            chained(src.data(), expected.data(), width, rows, skip, dst_skip);
            filter_cols_15_8(src.data(), got.data(), width, rows, skip, dst_skip);
            reference_filter_cols_15_8(src.data(), got_reference.data(), width, rows, skip, dst_skip);
            ASSERT_EQ(got, expected) << "width " << width << " rows " << rows << " skip " << skip << " dst skip "
                                     << dst_skip << " extremes " << extremes;
            ASSERT_EQ(got_reference, expected) << "reference, width " << width << " rows " << rows;
        }
    }
}

TEST(ScalersFused, WideningInPlaceMatchesTheChainedSteps)
{
    // The line buffer layout of the x3 mode: 512 pixels at the end of a 960-pixel row
    // become the whole row; also a width with a tail of groups after the vector blocks.
    for (uint32_t width : {512u, 520u, 488u}) {
        const uint32_t out = width / 8 * 15, at = out - width;
        std::vector<uint32_t> buffer = random_pixels(out + 16, false);
        std::vector<uint32_t> expected = buffer;
        chained(buffer.data() + at, expected.data(), width, 1, 0, 0);
        filter_cols_15_8(buffer.data() + at, buffer.data(), width, 1, 0, 0);
        ASSERT_EQ(buffer, expected) << "width " << width;
    }
}

} // namespace
