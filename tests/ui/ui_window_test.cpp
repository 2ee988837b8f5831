// The interface in a real window under a virtual X server, worked with the mouse as a user
// would: the right button opens the menus, items are chosen, File > Quit ends the run;
// settings survive a restart, a damaged settings file is reported and ignored, a disk
// chosen in the browser boots, a state slot is saved and loaded, start-up errors show in a box.
// Skipped when Xvfb, xdotool, ImageMagick or the window backend are not there.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/host_test_support.h"
#include "support/test_data.h"

namespace {

// Places in the 320 x 201 window of the host's test picture (ImGui's built-in font).
constexpr const char* open_menus = "click_at 100 100 3";
constexpr const char* file_quit = "click_at 25 8 1; click_at 40 51 1";
// On a machine with two drives (the ZX's snapshot and tape, the MS-0515's two) Quit is
// two rows lower.
constexpr const char* file_quit_two_drives = "click_at 25 8 1; click_at 40 105 1";
constexpr const char* sound_mute = "click_at 180 8 1; click_at 70 57 1";
constexpr const char* machine_pause_with_menus = "click_at 75 8 1; click_at 60 105 1";
constexpr const char* view_scaler_whole = "click_at 120 8 1; click_at 150 37 1; click_at 300 71 1";

bool tools_present()
{
    return host_test::have_window_backend() && host_test::have_tool("Xvfb") && host_test::have_tool("xdotool") &&
           host_test::have_tool("import");
}
constexpr const char* no_tools = "Xvfb, xdotool, import (imagemagick) or the window backend not there";

// Runs the test picture in a window with XDG_CONFIG_HOME=<dir>/config, does the actions
// (shell lines using click_at X Y BUTTON, shot NAME for the screen, shot_window NAME for
// the window's client area), waits up to 20 s for the program to end by itself, and
// returns its exit status ("timeout" when it had to be stopped).
std::string run_window(const host_test::TempDir& dir, const std::string& actions,
                       const std::string& machine_arguments = "--machine host-test-pattern --data-dir \"$1\"")
{
    std::string script = std::string(host_test::xvfb_script_start) + R"SH(
export XDG_CONFIG_HOME="$1/config"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$2" --fps 60 )SH" + machine_arguments + R"SH( >>korvel.log 2>&1 &
kpid=$!
wid=$(timeout 10 xdotool search --sync --name "^Korvel" 2>/dev/null | tail -n1)
sleep 1
xdotool getwindowname "$wid" >title.txt 2>&1
click_at() { xdotool mousemove --window "$wid" "$1" "$2" click "$3"; sleep 0.4; }
shot() { import -window root -depth 8 "png24:$1" >/dev/null 2>&1; }
shot_window() { import -window "$wid" -depth 8 "png24:$1" >/dev/null 2>&1; }
shot before.png
)SH" + actions + R"SH(
status=timeout
for i in $(seq 200); do kill -0 $kpid 2>/dev/null || break; sleep 0.1; done
if kill -0 $kpid 2>/dev/null; then kill $kpid; wait $kpid; else wait $kpid; status=$?; fi
echo "$status" >status.txt
)SH" + host_test::xvfb_script_end;
    if (host_test::run_window_script(dir, script) != 0)
        return "script failed";
    std::string status = host_test::read_file(dir.file("status.txt"));
    return status.empty() ? "no status" : status.substr(0, status.find('\n'));
}

TEST(UiWindow, RightClickOpensTheMenusAndQuitEndsTheRunWithADamagedSettingsFileIgnored)
{
    if (!tools_present())
        GTEST_SKIP() << no_tools;
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
        GTEST_SKIP() << no_tools;
    host_test::TempDir dir;
    std::string conf = dir.file("config/korvel/korvel.conf");

    // First run: Sound > Mute, the window dragged to 700 x 500, View > Scaler > Whole
    // multiples, then quit. The file is made with them.
    EXPECT_EQ(run_window(dir, std::string(open_menus) + "\n" + sound_mute + "\nxdotool windowsize \"$wid\" 700 500\n" +
                                  "sleep 1.5\n" + open_menus + "\n" + view_scaler_whole + "\n" + open_menus + "\n" +
                                  file_quit),
              "0")
        << host_test::read_file(dir.file("korvel.log"));
    std::string first = host_test::read_file(conf);
    for (const char* line : {"mute = 1", "pause_when_open = 0", "window = 700x500", "scaler = whole"})
        EXPECT_NE(first.find(line), std::string::npos) << line << "\n" << first;

    // Second run: another setting; the first ones were read at start and are still there.
    // The window is back at 700 x 500 with the picture at twice its size (the largest
    // whole multiple) centred, pixel for pixel: from (30, 50) the white frame, then red.
    EXPECT_EQ(run_window(dir, "shot_window restored.png\n" + std::string(open_menus) + "\n" +
                                  machine_pause_with_menus + "\n" + open_menus + "\n" + file_quit),
              "0")
        << host_test::read_file(dir.file("korvel.log"));
    host_test::Image shot;
    ASSERT_TRUE(host_test::read_png(dir.file("restored.png"), &shot));
    EXPECT_EQ(shot.width * 1000 + shot.height, 700500u);
    EXPECT_EQ(shot.at(31, 51) + shot.at(32, 52) + shot.at(30 + 2 * 160, 52), 0xFFFFFFu + 0xFF0000u + 0xFFu);
    std::string second = host_test::read_file(conf);
    for (const char* line : {"mute = 1", "pause_when_open = 1", "window = 700x500"})
        EXPECT_NE(second.find(line), std::string::npos) << line << "\n" << second;
    EXPECT_EQ(host_test::read_file(dir.file("korvel.log")).find("damaged"), std::string::npos);
}

TEST(UiWindow, ADiskChosenInTheFileBrowserGoesIntoTheUkncDrive)
{
    KORVEL_NEED_ROM("uknc/UKNC.rom");
    if (!tools_present())
        GTEST_SKIP() << no_tools;
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

TEST(UiWindow, TheOsaDiskChosenInTheBrowserBootsTheMs0515)
{
    KORVEL_NEED_ROM("ms0515/MS-0515.rom");
    KORVEL_NEED_ROM("ms0515/osa.dsk");
    if (!tools_present())
        GTEST_SKIP() << no_tools;
    host_test::TempDir dir;
    // The ROM without a system disk; the disk is in the folder the browser starts in.
    for (const char* folder : {"data", "disks", "config/korvel"})
        std::filesystem::create_directories(dir.path / folder);
    std::filesystem::create_symlink(korvel_test::rom_path("ms0515/MS-0515.rom"), dir.path / "data/MS-0515.rom");
    std::filesystem::copy_file(korvel_test::rom_path("ms0515/osa.dsk"), dir.path / "disks/osa.dsk");
    host_test::write_file(dir.file("config/korvel/korvel.conf"), "[ms0515]\nfolder = " + dir.file("disks") + "\n");
    // Open into Drive 0, a double click on the disk; a shot each second until the system's
    // first line is there and the waiting ROM's stripes are gone (at most 15 s); quit.
    std::string status = run_window(
        dir,
        "click_at 300 300 3\nclick_at 25 8 1\nclick_at 60 34 1\n"
        "xdotool mousemove --window \"$wid\" 100 149 click --repeat 2 --delay 80 1\n"
        "for i in $(seq 15); do sleep 1; shot_window booted.png\n"
        "  [ \"$(convert booted.png -crop 400x60+140+180 -format '%[fx:mean<0.02]' info:)\" = 1 ] &&\n"
        "  [ \"$(convert booted.png -crop 200x14+0+34 -format '%[fx:maxima>0.5]' info:)\" = 1 ] &&\n"
        "  echo booted >booted.txt && break\n"
        "done\n" + std::string(open_menus) + "\n" + file_quit_two_drives + "\n",
        "--machine ms0515 --data-dir \"$1/data\"");
    std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(status, "0") << log;
    EXPECT_NE(log.find("Open Disk Image: " + dir.file("disks/osa.dsk")), std::string::npos) << log;
    EXPECT_EQ(host_test::read_file(dir.file("booted.txt")), "booted\n") << log;
}

TEST(UiWindow, AStateSlotIsSavedAndLoadedFromTheMachineMenu)
{
    if (!std::filesystem::exists("/usr/share/spectrum-roms/opense.rom"))
        GTEST_SKIP() << "no ZX system ROM (/usr/share/spectrum-roms/opense.rom, package opense-basic)";
    if (!tools_present())
        GTEST_SKIP() << no_tools;
    host_test::TempDir dir;
    // Machine > Save state > Slot 1, then Machine > Load state > Slot 1, then quit.
    std::string status = run_window(dir,
                                    "click_at 100 100 3\nclick_at 75 8 1\nclick_at 90 211 1\nclick_at 510 211 1\n"
                                    "sleep 0.5\nclick_at 100 300 3\nclick_at 75 8 1\nclick_at 90 228 1\n"
                                    "click_at 510 228 1\nsleep 0.5\n" +
                                        std::string(open_menus) + "\n" + file_quit_two_drives + "\n",
                                    "--machine zx --data-dir \"$1\"");
    std::string log = host_test::read_file(dir.file("korvel.log"));
    EXPECT_EQ(status, "0") << log;
    size_t saved = log.find("Saved slot 1 (zx_slot1.kst)"), loaded = log.find("Loaded slot 1 (zx_slot1.kst)");
    EXPECT_LT(saved, loaded) << log;
    EXPECT_NE(loaded, std::string::npos) << log;
}

// Runs the program under a virtual display (stopped after 25 s); a "System Error!" box is
// sent Return until it goes (the first may come before it is ready). Returns "<exit
// status> <1: there was a box>".
std::string run_error_box(const host_test::TempDir& dir, const std::string& arguments)
{
    const std::string script = std::string(host_test::xvfb_script_start) +
                               "rm -f status.txt; ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=dummy \"$2\" " +
                               arguments + R"SH( >korvel.log 2>&1 &
kpid=$! box=0; (sleep 25; kill $kpid) 2>/dev/null & wpid=$!
for i in $(seq 120); do  # SDL names its box so that xwininfo reads it, not xdotool
  kill -0 $kpid 2>/dev/null || break
  bid=$(xwininfo -root -tree 2>/dev/null | grep '"System Error!"' | awk '{print $1}')
  [ -n "$bid" ] && box=1 && xdotool key --window "$bid" Return; sleep 0.2; done
wait $kpid; echo "$? $box" >status.txt; kill $wpid 2>/dev/null)SH" + host_test::xvfb_script_end;
    if (host_test::run_window_script(dir, script, " >/dev/null 2>&1") != 0)
        return "script failed";
    return host_test::read_file(dir.file("status.txt")).substr(0, 3);
}

TEST(UiWindow, StartUpErrorsShowInAMessageBoxWhenTheLauncherAsks)
{
    if (!tools_present() || !host_test::have_tool("xwininfo"))
        GTEST_SKIP() << no_tools << " (or xwininfo)";
    if (!std::filesystem::exists("/usr/share/fonts/X11/misc/fonts.dir"))
        GTEST_SKIP() << "no X core fonts (xfonts-base): SDL cannot draw its message box";
    host_test::TempDir dir;
    std::filesystem::create_directories(dir.path / "empty");
    // No ROM: the machine's fatal error (status 1). A data folder that is not there:
    // refused before there is a window (status 2). Headless: the console only.
    EXPECT_EQ(run_error_box(dir, "--error-box --machine ms0515 --data-dir \"$1/empty\""), "1 1");
    EXPECT_EQ(run_error_box(dir, "--error-box --data-dir \"$1/missing\""), "2 1");
    EXPECT_EQ(run_error_box(dir, "--headless --error-box --machine ms0515 --data-dir \"$1/empty\""), "1 0");
}

} // namespace
