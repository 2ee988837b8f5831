// The SDL window under a virtual X server: title, client size and a frame on screen.
// Skipped when Xvfb or the X tools are not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "host_test_support.h"

namespace {

int field(const std::string& info, const char* name)
{
    std::smatch m;
    std::regex re(std::string(name) + ":\\s*(-?\\d+)");
    return std::regex_search(info, m, re) ? std::atoi(m[1].str().c_str()) : -1;
}

TEST(SdlWindow, OpensWithTitleAndClientSizeAndShowsTheFrame)
{
    if (!host_test::have_window_backend())
        GTEST_SKIP() << host_test::no_window_backend;
    if (!host_test::have_tool("Xvfb") || !host_test::have_tool("xwininfo") || !host_test::have_tool("import"))
        GTEST_SKIP() << "Xvfb, xwininfo (x11-utils) or import (imagemagick) not installed";
    host_test::TempDir dir;
    std::string script = std::string(host_test::xvfb_script_start) + R"SH(
# Display and GL drivers keep allocations until exit; only our own code is checked here.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$2" --machine host-test-pattern --frames 400 --fps 60 --data-dir "$1" >korvel.log 2>&1 &
kpid=$!
# The title may name the menu key after the program's name for the first seconds.
window() { xwininfo -root -tree 2>/dev/null | grep '"Korvel v0.12g' | head -n1 | awk '{print $1}'; }
for i in $(seq 100); do [ -n "$(window)" ] && break; sleep 0.1; done
sleep 1
xwininfo -id "$(window)" >info.txt 2>&1
import -window root -depth 8 png24:root.png >/dev/null 2>&1
wait $kpid
echo $? >status.txt
)SH" + host_test::xvfb_script_end;
    ASSERT_EQ(host_test::run_window_script(dir, script), 0);

    std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(host_test::read_file(dir.file("status.txt")), "0\n") << log;
    std::string info = host_test::read_file(dir.file("info.txt"));
    ASSERT_NE(info.find("\"Korvel v0.12g"), std::string::npos) << info << log;
    EXPECT_EQ(field(info, "Width"), 320) << info;
    EXPECT_EQ(field(info, "Height"), 201) << info; // one row taller than asked for
    int x0 = field(info, "Absolute upper-left X"), y0 = field(info, "Absolute upper-left Y");

    // The picture appears 1:1: its white frame at the client's top-left corner, the red
    // quadrant 159 x 99 pixels inside it.
    host_test::Image screen;
    ASSERT_TRUE(host_test::read_png(dir.file("root.png"), &screen));
    ASSERT_GE(x0, 0);
    ASSERT_GE(y0, 0);
    ASSERT_LT(uint32_t(x0 + 320), screen.width);
    ASSERT_LT(uint32_t(y0 + 201), screen.height);
    EXPECT_EQ(screen.at(x0, y0), 0xFFFFFFu);
    EXPECT_EQ(screen.at(x0 + 1, y0 + 1), 0xFF0000u);
    EXPECT_EQ(screen.at(x0 + 159, y0 + 99), 0xFF0000u);
    EXPECT_EQ(screen.at(x0 + 160, y0 + 1), 0x0000FFu);
    EXPECT_EQ(screen.at(x0 + 1, y0 + 100), 0xFFFF00u);
    EXPECT_EQ(screen.at(x0 + 319, y0 + 199), 0xFFFFFFu);
    EXPECT_EQ(screen.at(x0 + 100, y0 + 200), 0x000000u); // the extra client row
}

} // namespace
