// The SDL window under a virtual X server: title, client size and a frame on screen.
// Skipped when Xvfb or the X tools are not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "host/load_meter.h"
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

// Paced by the timer with nothing over it, the picture goes straight into the window's own
// surface; with the load meter shown the renderer draws it. Both must show the same
// pixels for every scaler and size (1:1, whole multiples, filtered scales): each case runs
// twice, with and without --meter, and the two windows are compared outside the meter.
TEST(SdlWindow, ThePictureLooksTheSameDrawnDirectlyAndByTheRenderer)
{
    if (!host_test::have_window_backend())
        GTEST_SKIP() << host_test::no_window_backend;
    if (!host_test::have_tool("Xvfb") || !host_test::have_tool("xdotool") || !host_test::have_tool("import"))
        GTEST_SKIP() << "Xvfb, xdotool or import (imagemagick) not installed";
    struct Case {
        const char* name;
        const char* settings;
        uint32_t width, height;
    };
    const Case cases[] = {
        {"one", "", 320, 201},
        {"twice", "window = 640x402\nscaler = smooth\n", 640, 402},
        {"whole", "window = 650x455\nscaler = whole\n", 650, 455},
        {"sharp", "window = 500x300\nscaler = sharp\n", 500, 300},
        {"smooth", "window = 500x300\nscaler = smooth\n", 500, 300},
    };
    host_test::TempDir dir;
    std::string script = std::string(host_test::xvfb_script_start);
    for (const Case& c : cases)
        for (const char* meter : {"", "--meter"}) {
            const std::string shot = std::string(c.name) + (*meter ? "_meter" : "") + ".png";
            script += "mkdir -p config/korvel\nprintf '[host-test-pattern]\\n" + std::string(c.settings) + "' >config/korvel/korvel.conf\n";
            script += "ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" SDL_AUDIODRIVER=dummy \"$2\" --machine "
                      "host-test-pattern --frames 150 --fps 60 --data-dir \"$1\" " +
                      std::string(meter) + " >>korvel.log 2>&1 &\nkpid=$!\n";
            script += "wid=$(timeout 10 xdotool search --sync --name '^Korvel' 2>/dev/null | tail -n1)\nsleep 1\n";
            script += "[ -n \"$wid\" ] && timeout 10 import -window \"$wid\" -depth 8 png24:" + shot +
                      " >/dev/null 2>&1\nwait $kpid || echo \"" + shot + " exit $?\" >>ends.txt\n";
        }
    script += host_test::xvfb_script_end;
    ASSERT_EQ(host_test::run_window_script(dir, script), 0);
    const std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(host_test::read_file(dir.file("ends.txt")), "") << log; // every run ended by itself

    for (const Case& c : cases) {
        host_test::Image direct, rendered;
        ASSERT_TRUE(host_test::read_png(dir.file(std::string(c.name) + ".png"), &direct)) << c.name << log;
        ASSERT_TRUE(host_test::read_png(dir.file(std::string(c.name) + "_meter.png"), &rendered)) << c.name << log;
        ASSERT_EQ(direct.width * 10000 + direct.height, c.width * 10000 + c.height) << c.name;
        ASSERT_EQ(rendered.width * 10000 + rendered.height, c.width * 10000 + c.height) << c.name;
        uint32_t differing = 0, first_x = 0, first_y = 0, white = 0, red = 0;
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) {
                const bool under_meter = c.width > 300 && y < 4 + load_meter_height + 1 &&
                                         x + load_meter_width + 4 + 1 >= c.width;
                white += direct.at(x, y) == 0xFFFFFFu;
                red += direct.at(x, y) == 0xFF0000u;
                if (!under_meter && direct.at(x, y) != rendered.at(x, y) && differing++ == 0) {
                    first_x = x;
                    first_y = y;
                }
            }
        EXPECT_TRUE(white > 0 && red > 0) << c.name << ": no picture";
        EXPECT_EQ(differing, 0u) << c.name << ": first at (" << first_x << ", " << first_y << ")";
    }
}
