// Beeper edges into box-filtered samples, with the sample cut by the frame end carried.
#include <gtest/gtest.h>

#include <random>

#include "zx_test_support.h"

namespace {

constexpr int32_t level = 32512;

void frame_geometry(uint32_t phase, uint32_t per_frame_x256)
{
    sample_phase = phase;
    samples_per_frame_x256 = per_frame_x256;
}

TEST(ZxBeeper, SilentFrameGivesEqualSamplesOfTheCurrentLevel)
{
    zx_test_fresh_machine();
    frame_geometry(0, 960 * 256);
    int32_t edges[4];
    EXPECT_EQ(zx_beeper_to_samples(edges, 0, 71680), 0);
    for (int i = 0; i < 960; ++i) {
        ASSERT_EQ(SampleBuffer[i].left, level) << i;
        ASSERT_EQ(SampleBuffer[i].right, level) << i;
    }
    zx.beeper_level = -level;
    zx_beeper_to_samples(edges, 0, 71680);
    EXPECT_EQ(SampleBuffer[0].left, -level);
    EXPECT_EQ(SampleBuffer[959].right, -level);
}

TEST(ZxBeeper, EdgesAreBoxFilteredAtTheirPositionInTheFrame)
{
    zx_test_fresh_machine();
    frame_geometry(0, 960 * 256); // 74 2/3 T-states per sample
    // Elapsed 224 T-states is exactly the start of sample 3, 448 of sample 6; elapsed 259
    // lies 120/256 into sample 3 (position 888).
    int32_t edges[] = {71680 - 224, 71680 - 448};
    EXPECT_EQ(zx_beeper_to_samples(edges, 2, 71680), 0);
    EXPECT_EQ(SampleBuffer[2].left, level);
    EXPECT_EQ(SampleBuffer[3].left, -level);
    EXPECT_EQ(SampleBuffer[5].left, -level);
    EXPECT_EQ(SampleBuffer[6].left, level);

    int32_t mid[] = {71680 - 259};
    zx_beeper_to_samples(mid, 1, 71680);
    EXPECT_EQ(SampleBuffer[3].left, (120 * level - 136 * level) >> 8);
    EXPECT_EQ(SampleBuffer[4].left, -level);
    EXPECT_EQ(zx.beeper_level, -level);
}

TEST(ZxBeeper, TheSampleCutByTheFrameEndIsFinishedInTheNextFrame)
{
    zx_test_fresh_machine();
    frame_geometry(0, 960 * 256 + 128); // half a sample left over at the end
    int32_t edges[] = {30};             // inside the leftover half sample
    EXPECT_EQ(zx_beeper_to_samples(edges, 1, 71680), 0);
    EXPECT_EQ(SampleBuffer[959].left, level);
    // Position of the edge: 71650 * 245888 / 71680 = 245785, i.e. 25 units into the cut sample.
    EXPECT_EQ(zx.beeper_partial_sum, int64_t(25 - 103) * level);
    frame_geometry(128, 960 * 256);
    zx_beeper_to_samples(edges, 0, 71680);
    EXPECT_EQ(SampleBuffer[0].left, ((25 - 103) * level - 128 * level) >> 8);
    EXPECT_EQ(SampleBuffer[1].left, -level);
}

TEST(ZxBeeper, EdgesAfterTheFrameEndWaitForTheNextFrame)
{
    zx_test_fresh_machine();
    frame_geometry(0, 960 * 256);
    int32_t edges[] = {100, 0, -7};
    ASSERT_EQ(zx_beeper_to_samples(edges, 3, 71680), 2);
    EXPECT_EQ(edges[0], 71680);
    EXPECT_EQ(edges[1], 71673);
    EXPECT_EQ(SampleBuffer[959].left, -level); // only the edge at 100 was used
    // Next frame: the two toggles land at positions 0 and 7 * 245760 / 71680 = 24.
    EXPECT_EQ(zx_beeper_to_samples(edges, 2, 71680), 0);
    EXPECT_EQ(SampleBuffer[0].left, (24 * level - 232 * level) >> 8);
    EXPECT_EQ(SampleBuffer[1].left, -level);
}

TEST(ZxBeeper, SamplesStayWithinTheLevelsWhateverTheEdges)
{
    zx_test_fresh_machine();
    std::mt19937 random(7);
    for (int frame = 0; frame < 20; ++frame) {
        frame_geometry(random() & 0xFF, 800 * 256 + (random() & 0xFF));
        int32_t edges[3000];
        int count = 0;
        int32_t t = 71680 + 40;
        while (count < 3000 && (t -= 1 + random() % 90) > -20)
            edges[count++] = t;
        zx_beeper_to_samples(edges, count, 71680);
        const uint32_t n = (sample_phase + samples_per_frame_x256) >> 8;
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_LE(SampleBuffer[i].left, level);
            ASSERT_GE(SampleBuffer[i].left, -level);
            ASSERT_EQ(SampleBuffer[i].left, SampleBuffer[i].right);
        }
    }
}

} // namespace
