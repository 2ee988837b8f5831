// The interface in a real window under a virtual X server, worked with the mouse as a user
// would: the right button opens the menus, items are chosen, File > Quit ends the run;
// settings survive a restart and a damaged settings file is reported and ignored.
// Skipped when Xvfb, xdotool or ImageMagick are not installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/host_test_support.h"
#include "support/test_data.h"

namespace {

// Places in the 320 x 201 window of the host's test picture (ImGui's built-in font).
constexpr const char* open_menus = "click_at 100 100 3";
constexpr const char* file_quit = "click_at 25 8 1; click_at 40 51 1";
constexpr const char* sound_mute = "click_at 180 8 1; click_at 70 57 1";
constexpr const char* machine_pause_with_menus = "click_at 75 8 1; click_at 60 105 1";

bool tools_present()
{
    return host_test::have_tool("Xvfb") && host_test::have_tool("xdotool") && host_test::have_tool("import");
}

// Runs the test picture in a window with XDG_CONFIG_HOME=<dir>/config, does the actions
// (shell lines using click_at X Y BUTTON and shot NAME), waits up to 20 s for the program to
// end by itself, and returns its exit status ("timeout" when it had to be stopped).
std::string run_window(const host_test::TempDir& dir, const std::string& actions,
                       const std::string& machine_arguments = "--machine host-test-pattern --data-dir \"$1\"")
{
    std::string script = std::string(host_test::xvfb_script_start) + R"SH(
export XDG_CONFIG_HOME="$1/config"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$2" --fps 60 )SH" + machine_arguments + R"SH( >>korvel.log 2>&1 &
kpid=$!
wid=""
for i in $(seq 100); do wid=$(xdotool search --name "^Korvel" 2>/dev/null | tail -n1); [ -n "$wid" ] && break; sleep 0.1; done
sleep 1
xdotool getwindowname "$wid" >title.txt 2>&1
click_at() { xdotool mousemove --window "$wid" "$1" "$2" click "$3"; sleep 0.4; }
shot() { import -window root -depth 8 "png24:$1" >/dev/null 2>&1; }
shot before.png
)SH" + actions + R"SH(
status=timeout
for i in $(seq 200); do kill -0 $kpid 2>/dev/null || break; sleep 0.1; done
if kill -0 $kpid 2>/dev/null; then kill $kpid; wait $kpid; else wait $kpid; status=$?; fi
echo "$status" >status.txt
kill $xpid 2>/dev/null
wait $xpid 2>/dev/null
exit 0
)SH";
    host_test::write_file(dir.file("run.sh"), script);
    std::string command = "bash " + host_test::quote(dir.file("run.sh")) + " " +
                          host_test::quote(dir.path.string()) + " " + host_test::quote(KORVEL_BINARY);
    if (std::system(command.c_str()) != 0)
        return "script failed";
    std::string status = host_test::read_file(dir.file("status.txt"));
    return status.empty() ? "no status" : status.substr(0, status.find('\n'));
}

TEST(UiWindow, RightClickOpensTheMenusAndQuitEndsTheRunWithADamagedSettingsFileIgnored)
{
    if (!tools_present())
        GTEST_SKIP() << "Xvfb, xdotool or import (imagemagick) not installed";
    host_test::TempDir dir;
    std::filesystem::create_directories(dir.path / "config/korvel");
    const std::string damaged = "volume = 50\nthis is not a setting\n";
    host_test::write_file(dir.file("config/korvel/korvel.conf"), damaged);

    std::string status = run_window(dir, std::string(open_menus) + "\nshot open.png\n" + file_quit + "\n");
    std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(status, "0") << log; // Quit ends the run normally
    EXPECT_NE(log.find("Settings: settings file " + dir.file("config/korvel/korvel.conf") +
                       " is damaged (line 2: no '=' between key and value); using the defaults"),
              std::string::npos)
        << log;
    // Nothing changed, so the damaged file is left as it was.
    EXPECT_EQ(host_test::read_file(dir.file("config/korvel/korvel.conf")), damaged);
    EXPECT_NE(host_test::read_file(dir.file("title.txt")).find("Pause or right click: menu"), std::string::npos);

    // The menu bar covers the picture's top rows; the picture below it is unchanged.
    host_test::Image before, open;
    ASSERT_TRUE(host_test::read_png(dir.file("before.png"), &before));
    ASSERT_TRUE(host_test::read_png(dir.file("open.png"), &open));
    ASSERT_EQ(before.width, open.width);
    int differing_top = 0, differing_below = 0;
    for (uint32_t y = 0; y < before.height; ++y)
        for (uint32_t x = 0; x < before.width; ++x)
            if (before.at(x, y) != open.at(x, y))
                ++(y < before.height / 2 ? differing_top : differing_below);
    EXPECT_GT(differing_top, 2000); // the bar: 320 x 19 pixels
    EXPECT_LT(differing_below, 50); // the notification corner at most
}

TEST(UiWindow, SettingsChosenInTheMenusSurviveARestart)
{
    if (!tools_present())
        GTEST_SKIP() << "Xvfb, xdotool or import (imagemagick) not installed";
    host_test::TempDir dir;
    std::string conf = dir.file("config/korvel/korvel.conf");

    // First run: Sound > Mute, then quit. The file is made with it.
    EXPECT_EQ(run_window(dir, std::string(open_menus) + "\n" + sound_mute + "\n" + open_menus + "\n" + file_quit),
              "0")
        << host_test::read_file(dir.file("korvel.log"));
    std::string first = host_test::read_file(conf);
    EXPECT_NE(first.find("mute = 1"), std::string::npos) << first;
    EXPECT_NE(first.find("pause_when_open = 0"), std::string::npos) << first;

    // Second run: another setting; the first one was read at start and is still there.
    EXPECT_EQ(run_window(dir, std::string(open_menus) + "\n" + machine_pause_with_menus + "\n" + open_menus + "\n" +
                                  file_quit),
              "0")
        << host_test::read_file(dir.file("korvel.log"));
    std::string second = host_test::read_file(conf);
    EXPECT_NE(second.find("mute = 1"), std::string::npos) << second;
    EXPECT_NE(second.find("pause_when_open = 1"), std::string::npos) << second;
    EXPECT_EQ(host_test::read_file(dir.file("korvel.log")).find("damaged"), std::string::npos);
}

TEST(UiWindow, ADiskChosenInTheFileBrowserGoesIntoTheUkncDrive)
{
    KORVEL_NEED_ROM("uknc/UKNC.rom");
    if (!tools_present())
        GTEST_SKIP() << "Xvfb, xdotool or import (imagemagick) not installed";
    host_test::TempDir dir;
    // The browser starts in the folder the settings remember for the machine.
    std::filesystem::create_directories(dir.path / "config/korvel");
    std::filesystem::create_directories(dir.path / "disks");
    host_test::write_file(dir.file("disks/boot.dsk"), std::string(819200, '\0'));
    host_test::write_file(dir.file("disks/notes.txt"), "not a disk");
    host_test::write_file(dir.file("config/korvel/korvel.conf"), "[uknc]\nfolder = " + dir.file("disks") + "\n");
    // The UKNC's 800 x 553 window: File > Open into Drive 0..., then a double click on the
    // browser's second row (the first is "..", and the text file is not listed).
    std::string status = run_window(dir, "click_at 300 300 3\nclick_at 25 8 1\nclick_at 60 34 1\n"
                                         "xdotool mousemove --window \"$wid\" 122 168 click --repeat 2 --delay 80 1\n"
                                         "sleep 1\n",
                                    "--machine uknc --frames 900 --data-dir " +
                                        host_test::quote(korvel_test::rom_path("uknc")));
    std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(status, "0") << log;
    EXPECT_NE(log.find("Open Disk Image-0: " + dir.file("disks/boot.dsk")), std::string::npos) << log;
    std::string conf = host_test::read_file(dir.file("config/korvel/korvel.conf"));
    EXPECT_NE(conf.find("recent = 0 " + dir.file("disks/boot.dsk")), std::string::npos) << conf;
}

} // namespace
