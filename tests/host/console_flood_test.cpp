// The console's flood guard: per frame, the first 100 copies of a line pass and the rest
// are counted; the frame's end reports them in one line each and counting starts afresh.
#include <gtest/gtest.h>

#include <string>

#include "host/console_flood.h"

namespace {

bool pass(const std::string& line) { return console_flood_pass(line.data(), line.size()); }

TEST(ConsoleFlood, AHundredCopiesAFrameThenOneLineSayingHowManyWereLeftOut)
{
    testing::internal::CaptureStdout();
    console_flood_frame_end(); // a fresh frame
    testing::internal::GetCapturedStdout();
    const std::string flood = "Unknown IE15 Instruction!\n";
    const std::string other = "Read word from non-existent CPU register 0x1 from location PC = 0x2\n";
    const std::string long_line = std::string(300, 'L') + "\n";
    size_t passed = 0, others = 0, longs = 0;
    for (int i = 0; i < 1000; ++i) {
        passed += pass(flood);
        if (i % 3 == 0)
            others += pass(other); // interleaved: counted on its own
        if (i % 2 == 0)
            longs += pass(long_line);
        // Lines that differ (another address each time) are no copies.
        ASSERT_TRUE(pass("Unrealized instruction 0x0000 on PC = 0x" + std::to_string(i) + "\n"));
    }
    EXPECT_EQ(passed, 100u);
    EXPECT_EQ(others, 100u);
    EXPECT_EQ(longs, 100u);
    EXPECT_FALSE(pass(flood));
    testing::internal::CaptureStdout();
    console_flood_frame_end();
    std::string report = testing::internal::GetCapturedStdout();
    EXPECT_NE(report.find("... 901 more copies of this line left out in this frame: Unknown IE15 Instruction!\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("... 234 more copies of this line left out in this frame: Read word from non-existent"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("... 400 more copies of this line left out in this frame: " + std::string(160, 'L') +
                          "...\n"),
              std::string::npos)
        << report;

    // The next frame starts afresh; a frame without floods reports nothing.
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(pass(flood));
    testing::internal::CaptureStdout();
    console_flood_frame_end();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

} // namespace
