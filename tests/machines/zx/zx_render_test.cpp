// Border timing to the T-state and the screen area with attributes, BRIGHT and FLASH.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "zx_test_support.h"

namespace {

constexpr uint32_t W = zx_picture_width;

uint32_t pixel(uint32_t row, uint32_t column) { return zx.zx_picture[row * W + column]; }
uint32_t colour(int c) { return zx_palettes[0][c]; }
// Picture pixel of border T-state `t` (0..175) of picture row `row`.
uint32_t border_at(uint32_t row, uint32_t t) { return pixel(row, t * 6); }
// T-states left in the frame at T-state `t` of picture row `row`.
int32_t time_of(int32_t row, int32_t t) { return 68150 - (row * 224 + t); }

void add_event(int32_t time, uint8_t c) { zx.zx_border_events[zx.border_event_count++] = {time, c}; }

int render()
{
    add_event(-1000, 0);
    zx.border_event_count = zx_render_border(zx.zx_picture, zx.border_event_count);
    return zx.border_event_count;
}

bool border_is(uint32_t c)
{
    for (uint32_t row = 0; row < 288; ++row)
        for (uint32_t x = 0; x < W; ++x) {
            const bool screen = row >= 48 && row < 240 && x >= 144 && x < 144 + 768;
            if (!screen && pixel(row, x) != c)
                return false;
        }
    return true;
}

TEST(ZxBorder, WithoutWritesTheWholeBorderHasTheColourInForce)
{
    zx_test_fresh_machine();
    zx.border_colour = 2;
    EXPECT_EQ(render(), 0);
    EXPECT_TRUE(border_is(colour(2)));
}

TEST(ZxBorder, WritesBeforeTheFirstPixelOnlyChooseTheStartingColour)
{
    zx_test_fresh_machine();
    add_event(71000, 3);
    add_event(68150, 4); // exactly at the first pixel
    EXPECT_EQ(render(), 0);
    EXPECT_TRUE(border_is(colour(4)));
    EXPECT_EQ(zx.border_colour, 4);
}

TEST(ZxBorder, AWriteStartsAtItsTStateAndRunsOnUntilTheNext)
{
    zx_test_fresh_machine();
    zx.border_colour = 1;
    add_event(time_of(5, 100), 6);
    render();
    EXPECT_EQ(border_at(5, 99), colour(1));
    EXPECT_EQ(pixel(5, 99 * 6 + 5), colour(1));
    EXPECT_EQ(border_at(5, 100), colour(6));
    EXPECT_EQ(border_at(5, 175), colour(6));
    EXPECT_EQ(pixel(287, W - 1), colour(6));
    EXPECT_EQ(zx.border_colour, 6);
}

TEST(ZxBorder, AWriteDuringRetraceShowsFromTheNextRow)
{
    zx_test_fresh_machine();
    zx.border_colour = 0;
    add_event(time_of(10, 180), 2);
    add_event(time_of(20, 176), 3); // first retrace T-state
    add_event(time_of(30, 200), 4); // two writes in one retrace: the later wins
    add_event(time_of(30, 210), 5);
    render();
    EXPECT_EQ(border_at(10, 175), colour(0));
    EXPECT_EQ(border_at(11, 0), colour(2));
    EXPECT_EQ(border_at(20, 175), colour(2));
    EXPECT_EQ(border_at(21, 0), colour(3));
    EXPECT_EQ(border_at(30, 175), colour(3));
    EXPECT_EQ(border_at(31, 0), colour(5));
}

TEST(ZxBorder, WritesAfterTheLastPaintedPixelColourTheNextFrame)
{
    zx_test_fresh_machine();
    zx.border_colour = 1;
    add_event(3687, 2); // last painted T-state of row 287
    add_event(3686, 3); // its retrace: next frame
    add_event(-5, 4);   // after the frame end (overshoot)
    ASSERT_EQ(render(), 2);
    EXPECT_EQ(pixel(287, 174 * 6), colour(1));
    EXPECT_EQ(pixel(287, 175 * 6), colour(2));
    EXPECT_EQ(zx.zx_border_events[0].time, 3686 + 71680);
    EXPECT_EQ(zx.zx_border_events[1].time, -5 + 71680);
    EXPECT_EQ(zx.border_colour, 2);
    // Next frame without writes: the carried ones decide the colour from the top.
    EXPECT_EQ(render(), 0);
    EXPECT_TRUE(border_is(colour(4)));
}

TEST(ZxBorder, StripesOneRowTallCoverTheLeftAndRightBorderBesideTheScreen)
{
    zx_test_fresh_machine();
    for (int row = 0; row < 288; ++row)
        add_event(time_of(row, 0), static_cast<uint8_t>(row & 7));
    render();
    for (uint32_t row = 0; row < 288; ++row) {
        ASSERT_EQ(pixel(row, 0), colour(row & 7)) << row;
        ASSERT_EQ(pixel(row, W - 1), colour(row & 7)) << row;
    }
}

TEST(ZxScreen, ThirdsCharacterRowsAndAttributes)
{
    zx_test_fresh_machine();
    // Line 65 (second third, line 1 of its first character row), byte column 3.
    zx.memory[0x4000 + 0x0800 + 0x0100 + 3] = 0x81;
    zx.memory[0x5800 + 8 * 32 + 3] = 0x4A; // BRIGHT, PAPER 1, INK 2
    zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800, zx.zx_picture + 48 * W + 144);
    const uint32_t row = 48 + 65, x0 = 144 + 24 * 3;
    EXPECT_EQ(pixel(row, x0), colour(10));
    EXPECT_EQ(pixel(row, x0 + 2), colour(10));
    EXPECT_EQ(pixel(row, x0 + 3), colour(9));
    EXPECT_EQ(pixel(row, x0 + 20), colour(9));
    EXPECT_EQ(pixel(row, x0 + 21), colour(10));
    EXPECT_EQ(pixel(row, x0 + 23), colour(10));
    EXPECT_EQ(pixel(row - 1, x0), colour(9)); // line 64 of the same cell is empty: paper
    EXPECT_EQ(pixel(48, 144), colour(0));     // attribute 0: black paper
}

TEST(ZxScreen, FlashSwapsInkAndPaperOnlyInItsSecondPhase)
{
    zx_test_fresh_machine();
    zx.memory[0x4000] = 0xF0;
    zx.memory[0x5800] = 0xB8; // FLASH, PAPER 7, INK 0
    zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800, zx.zx_picture + 48 * W + 144);
    EXPECT_EQ(pixel(48, 144), 0x000000u);
    EXPECT_EQ(pixel(48, 144 + 12), 0xD5D5D5u);
    zx.flash_phase = 0xFF;
    zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800, zx.zx_picture + 48 * W + 144);
    EXPECT_EQ(pixel(48, 144), 0xD5D5D5u);
    EXPECT_EQ(pixel(48, 144 + 12), 0x000000u);
}

} // namespace

namespace {

TEST(ZxPicture, BandedFramePaintingEqualsBorderThenScreenThenFilter)
{
    zx_test_fresh_machine();
    for (uint32_t a = 0x4000; a < 0x5B00; ++a)
        zx.memory[a] = static_cast<uint8_t>(a * 13 + (a >> 7));
    zx.flash_phase = 0xFF;
    zx.border_colour = 3;
    const int32_t times[] = {70000, 68150, 68149, 60000, 59990, 65730, 50000, 40100, 40000, 30000, 12345,
                             3687, 3686, 100, -4};
    // Keep times descending while mixing in retrace and band-edge positions.
    std::vector<int32_t> sorted(std::begin(times), std::end(times));
    std::sort(sorted.rbegin(), sorted.rend());
    for (int32_t row = 0; row < 288; row += 8) // band edges: the first T-state of a band's row
        sorted.push_back(68150 - row * 224);
    std::sort(sorted.rbegin(), sorted.rend());
    for (size_t k = 0; k < sorted.size(); ++k)
        add_event(sorted[k], static_cast<uint8_t>(k % 8));
    const int count = zx.border_event_count;
    ZxBorderEvent saved[64];
    std::memcpy(saved, zx.zx_border_events, sizeof saved);

    constexpr uint32_t SW = 1200, SH = 960;
    std::vector<uint32_t> banded(SW * SH, 0x777777), whole(SW * SH, 0x777777);
    zx_render_frame_into(banded.data(), SW, SW, SH);
    const int carried = zx.border_event_count;
    const uint8_t colour_after = zx.border_colour;

    zx.border_colour = 3;
    std::memcpy(zx.zx_border_events, saved, sizeof saved);
    zx.border_event_count = count;
    EXPECT_EQ(render(), carried);
    EXPECT_EQ(zx.border_colour, colour_after);
    zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800, zx.zx_picture + 48 * W + 144);
    filter_rows_x3_scanlines(zx.zx_picture, whole.data() + (SH / 2 - 432) * SW + SW / 2 - 528, W, 288, 0, SW);
    EXPECT_TRUE(banded == whole);
}

} // namespace
