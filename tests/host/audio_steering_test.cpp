// Audio steering over a simulated sound-card clock.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/audio_steering.h"

namespace {

size_t korvel_count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

constexpr uint32_t ring = 0x8000;
constexpr uint32_t rate_60hz = 60 * 256;

TEST(AudioSteering, SixtyHertzConstants)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    EXPECT_EQ(s.samples_per_frame, 800u);
    EXPECT_EQ(s.band_low, 792u);
    EXPECT_EQ(s.band_high, 808u);
    EXPECT_EQ(s.target_latency, 2800u);
    EXPECT_EQ(s.samples_per_frame_x256, 800u << 8);
    EXPECT_EQ(s.samples_this_frame, 800u);
    EXPECT_TRUE(s.resync_pending);
}

TEST(AudioSteering, ResynchronisingFrameMeasuresExactlyOneFrame)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    const uint32_t p = 0x1234 & ~3u;
    audio_steering_resync(&s, p, 5000);
    EXPECT_EQ(s.lock_offset, (2800 - 800 + p / 4) & (ring / 4 - 1));
    testing::internal::CaptureStdout();
    audio_steering_frame(&s, p, 5000);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, ""); // next equals target: no correction, no loss, nothing to say
    EXPECT_EQ(s.frame_count, 1u);
    EXPECT_FALSE(s.frames_lost);
    EXPECT_EQ(s.samples_per_frame_x256, 800u * 256);
    EXPECT_EQ(s.sample_phase, 0u);
    EXPECT_EQ(s.samples_this_frame, 800u);
    EXPECT_EQ(s.total_played, p / 4);
    EXPECT_EQ(s.lock_offset, (2800 + p / 4) & (ring / 4 - 1));
}

TEST(AudioSteering, TwoFramesPlayedLogsOneLostFrameAndJumpsBackToTarget)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    audio_steering_resync(&s, 0, 1000);
    testing::internal::CaptureStdout();
    audio_steering_frame(&s, 0, 1000);
    audio_steering_frame(&s, 1600 * 4, 1033);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Loosed 1 frames!\n"), std::string::npos) << log;
    EXPECT_TRUE(s.frames_lost);
    EXPECT_EQ(s.total_played, 1600u);
    EXPECT_EQ(s.write_position, uint64_t(2800 + 1600) << 8);
    EXPECT_EQ(s.lock_offset, 4400u);
    // 1600 lies outside the band, so the frame is not recorded in the history.
    EXPECT_EQ(s.failure_count, 1u);
}

TEST(AudioSteering, RingWrappedSeveralTimesIsRecoveredFromTheTick)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    audio_steering_resync(&s, 0, 0);
    testing::internal::CaptureStdout();
    audio_steering_frame(&s, 0, 0);
    // The card played two whole turns of the ring plus one frame while the machine
    // stalled; the position alone shows only the one frame.
    const uint32_t turn = ring / 4;
    const uint32_t played = 2 * turn + 800;
    const uint32_t ms = played * 1000 / 48000;
    audio_steering_frame(&s, (800 * 4) & (ring - 1), ms);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(s.total_played, uint64_t(played));
    EXPECT_NE(log.find("Loosed 20 frames!\n"), std::string::npos) << log;
}

// A card whose clock runs fast by 0.2 %: the steering must follow it, keep the write
// position near the target and never report losses once settled.
TEST(AudioSteering, FollowsADriftingCardClock)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    const double card_rate = 48000 * 1.002;
    double t = 1.0; // seconds
    auto position = [&] { return uint32_t(uint64_t(std::floor(t * card_rate)) * 4) & (ring - 1); };
    auto tick = [&] { return uint32_t(t * 1000); };
    audio_steering_resync(&s, position(), tick());
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 2000; ++frame) {
        audio_steering_frame(&s, position(), tick());
        t += 1.0 / 60;
    }
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log.find("Loosed"), std::string::npos);
    EXPECT_EQ(log.find("Warning!"), std::string::npos);
    // The last frames ask for the card's rate: 801.6 samples per frame.
    EXPECT_NEAR(s.samples_per_frame_x256 / 256.0, 801.6, 1.0);
    int64_t ahead = int64_t(s.write_position >> 8) - int64_t(s.total_played);
    EXPECT_NEAR(double(ahead), 2800.0, 200.0);
}

TEST(AudioSteering, DriftAndPersistentFailureAreLoggedAsWritten)
{
    AudioSteering s;
    audio_steering_init(&s, rate_60hz, ring);
    audio_steering_resync(&s, 0, 1000);
    testing::internal::CaptureStdout();
    audio_steering_frame(&s, 0, 1000); // the resynchronising frame itself
    testing::internal::GetCapturedStdout();
    // The card played 300 samples fewer than a frame: still one frame, but the write
    // position is now 300 samples further ahead than the target, more than V / 4.
    testing::internal::CaptureStdout();
    audio_steering_frame(&s, 500 * 4, 1010);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "Warning! Sound and video can't be synchronised - 300!\n> 300");
    EXPECT_EQ(s.failure_count, 1u);
    EXPECT_EQ(s.samples_per_frame_x256, 800u * 256 - 1); // steered back by 1/256 sample

    // 32 frames in a row outside the band: the error line once, when the 32nd fails.
    uint32_t position = 500 * 4, tick = 1010;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 40; ++i) {
        position = (position + 700 * 4) & (ring - 1);
        tick += 15;
        audio_steering_frame(&s, position, tick);
    }
    log = testing::internal::GetCapturedStdout();
    const std::string error = "ERROR: Can't synchronize sound and videocard!\n";
    EXPECT_EQ(korvel_count(log, error), 1u) << log;
    EXPECT_EQ(s.failure_count, 41u);
    EXPECT_EQ(log.find("Loosed"), std::string::npos);
    EXPECT_LE(korvel_count(log, "Warning!"), 1u) << log;
    EXPECT_TRUE(s.keeps_time); // not yet a whole second (60 frames)
}

// A device that does not play in real time (SDL's dummy driver): its play position stands
// still, races or jumps while the frames go on. Each message comes once, when its
// condition starts; after a second of failed synchronisation the steering stops and
// writes exactly one frame of samples after the other, ahead of the reader.
TEST(AudioSteering, DeviceThatDoesNotKeepTimeIsReportedOnceAndLeftToTheClock)
{
    uint32_t (*const devices[])(int) = {
        [](int) { return 0x400u; },
        [](int frame) { return uint32_t(frame * 4000 * 4) & (ring - 1); },
        [](int frame) { return uint32_t((frame * 7919 % 5000) * 4) & (ring - 1); },
    };
    for (auto position : devices) {
        AudioSteering s;
        audio_steering_init(&s, rate_60hz, ring);
        testing::internal::CaptureStdout();
        audio_steering_resync(&s, position(0), 0);
        for (int frame = 1; frame <= 300; ++frame)
            audio_steering_frame(&s, position(frame), uint32_t(frame * 1000 / 60));
        audio_steering_stop_keeping_time(&s); // said once only
        std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(korvel_count(log, "Sound device does not keep time: pacing by the clock\n"), 1u) << log;
        EXPECT_LE(korvel_count(log, "ERROR: Can't synchronize sound and videocard!\n"), 1u) << log;
        EXPECT_EQ(log.find("Loosed -"), std::string::npos) << log;
        EXPECT_LT(log.size(), 400u) << log; // no line per frame
        EXPECT_EQ(s.samples_this_frame, 800u);
        EXPECT_EQ(s.sample_phase, 0u);
        const uint32_t ahead = (s.lock_offset - position(300) / 4) & (ring / 4 - 1);
        EXPECT_GE(ahead, 800u);
        EXPECT_LE(ahead, ring / 8);
    }
}

} // namespace
