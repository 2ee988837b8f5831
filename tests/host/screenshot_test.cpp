// Screenshot naming, the rectangle taken, PNG content read back, and the load meter.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_internal.h"
#include "host/load_meter.h"
#include "host/screenshot.h"
#include "host_test_support.h"

namespace {

using host_test::ChangeDir;
using host_test::TempDir;

TEST(Screenshot, FirstFreeNumberAndTheCounterKeepsIt)
{
    TempDir dir;
    ChangeDir cd(dir.path);
    host_test::write_file("ScreenShot_000.png", "x");
    host_test::write_file("ScreenShot_001.png", "x");
    host_test::write_file("ScreenShot_003.png", "x");
    uint32_t counter = 0;
    char name[64];
    screenshot_choose_name(name, sizeof name, &counter);
    EXPECT_STREQ(name, "ScreenShot_002.png");
    EXPECT_EQ(counter, 2u);
    host_test::write_file(name, "x");
    screenshot_choose_name(name, sizeof name, &counter);
    EXPECT_STREQ(name, "ScreenShot_004.png");
    counter = 1000;
    screenshot_choose_name(name, sizeof name, &counter);
    EXPECT_STREQ(name, "ScreenShot_1000.png");
}

TEST(Screenshot, RectangleStartsOneRowBelowTheCentredTopAndIsClipped)
{
    uint32_t l, t, w, h;
    ASSERT_TRUE(screenshot_rectangle(1200, 960, 352, 288, &l, &t, &w, &h));
    EXPECT_EQ(l, 600u - 176);
    EXPECT_EQ(t, 480u - 144 + 1);
    EXPECT_EQ(w, 352u);
    EXPECT_EQ(h, 288u);
    // A full-height request would run one row past the buffer: it is cut there.
    ASSERT_TRUE(screenshot_rectangle(1200, 960, 1200, 960, &l, &t, &w, &h));
    EXPECT_EQ(t, 1u);
    EXPECT_EQ(h, 959u);
    ASSERT_TRUE(screenshot_rectangle(1200, 960, 5000, 5000, &l, &t, &w, &h));
    EXPECT_EQ(l, 0u);
    EXPECT_EQ(w, 1200u);
    EXPECT_FALSE(screenshot_rectangle(1200, 960, 0, 0, &l, &t, &w, &h));
}

TEST(Screenshot, SaveWritesTheRequestedRectangleAsPng)
{
    TempDir dir;
    ChangeDir cd(dir.path);
    // A BackBuffer of our own; the picture is 8 x 6, every pixel distinct.
    std::vector<uint32_t> buffer(1200 * 960, 0);
    host.back_buffer = buffer.data();
    back_buffer_width = 1200;
    back_buffer_height = 960;
    uint32_t left = 600 - 4, top = 480 - 3;
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            buffer[(top + y) * 1200 + left + x] = (x * 30) << 16 | (y * 40) << 8 | 0x0F;
    host_test::write_file("ScreenShot_000.png", "taken");
    uint32_t cw, ch;
    host_client_size_request(8, 6, &cw, &ch);
    host.screenshot_counter = 0;
    testing::internal::CaptureStdout();
    save_screenshot();
    std::string log = testing::internal::GetCapturedStdout();
    host.back_buffer = nullptr;
    EXPECT_EQ(log, "Saving ScreenShot_001.png\n");
    host_test::Image image;
    ASSERT_TRUE(host_test::read_png("ScreenShot_001.png", &image));
    ASSERT_EQ(image.width, 8u);
    ASSERT_EQ(image.height, 6u);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_EQ(image.at(x, y), ((x * 30) << 16 | ((y + 1) * 40) << 8 | 0x0F)) << x << "," << y;
}

TEST(LoadMeter, BarsAndTheFadingRedBorder)
{
    std::vector<uint32_t> px(load_meter_width * load_meter_height, 0);
    uint32_t border = 0;
    bool lost = true;
    // Half the frame emulating, a quarter presenting.
    load_meter_draw(px.data(), load_meter_height, 500, 250, 1000, &border, &lost);
    EXPECT_FALSE(lost);
    EXPECT_EQ(border, 0xFF0000u);
    EXPECT_EQ(px[0], 0xFF0000u);
    EXPECT_EQ(px[load_meter_width + 1], 0x0080FFu);
    const uint32_t* row = px.data() + 5 * load_meter_width;
    EXPECT_EQ(row[0], 0xFF0000u);
    EXPECT_EQ(row[1], 0x0080FFu);
    EXPECT_EQ(row[2], 0xFFFF00u);      // E = 38 pixels
    EXPECT_EQ(row[2 + 37], 0xFFFF00u);
    EXPECT_EQ(row[2 + 38], 0xF9C09Bu); // P = 19 pixels
    EXPECT_EQ(row[2 + 56], 0xF9C09Bu);
    EXPECT_EQ(row[2 + 57], 0x0080FFu);
    EXPECT_EQ(row[78], 0x0080FFu);
    EXPECT_EQ(row[79], 0xFF0000u);
    load_meter_draw(px.data(), load_meter_height, 0, 0, 1000, &border, &lost);
    EXPECT_EQ(border, 0xFF0404u);
    load_meter_draw(px.data(), load_meter_height, 0, 0, 1000, &border, &lost);
    EXPECT_EQ(border, 0xFF0808u);
    // An overloaded frame: E is capped, P takes what is left.
    load_meter_draw(px.data(), load_meter_height, 900, 900, 1000, &border, &lost);
    EXPECT_EQ(row[2 + 67], 0xFFFF00u);
    EXPECT_EQ(row[2 + 68], 0xF9C09Bu);
    EXPECT_EQ(row[77], 0xF9C09Bu);
    for (int i = 0; i < 100; ++i)
        load_meter_draw(px.data(), load_meter_height, 0, 0, 1000, &border, &lost);
    EXPECT_EQ(border, 0xFFF8F8u); // fades to near white and stays
}

} // namespace

namespace {

TEST(BackBuffer, MachinesDrawingWithoutHostStartUpGetTheMinimumBuffer)
{
    ASSERT_EQ(host.backend, nullptr);
    host.back_buffer = nullptr;
    back_buffer_width = back_buffer_height = 0;
    BackBufferView view{};
    ASSERT_TRUE(lock_back_buffer(&view));
    EXPECT_EQ(back_buffer_width, 1200u);
    EXPECT_EQ(back_buffer_height, 960u);
    EXPECT_EQ(view.pitch, 1200u);
    view.pixels[1200 * 960 - 1] = 0xFFFFFF; // the whole buffer is there
    unlock_back_buffer();
    clear_back_buffer();
    EXPECT_EQ(view.pixels[1200 * 960 - 1], 0u);
}

} // namespace
