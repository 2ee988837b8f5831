// --record-keys: a window session under a virtual X server, typed on with xdotool, is
// recorded and replayed headless; both runs must reach the same picture. Skipped when
// Xvfb or xdotool is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/key_recorder.h"
#include "host/keys_input.h"
#include "host_test_support.h"

namespace {

// Runs korvel <args> --record-keys <dir>/rec.txt in a window on a fresh Xvfb display and,
// once the window is there and focused, the xdotool commands of `actions` (bash). The
// program's console goes to window.log, its exit status to status.txt.
void run_window_session(const host_test::TempDir& dir, const std::string& args, const std::string& actions)
{
    std::string script = std::string(host_test::xvfb_script_start) + R"SH(ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" SDL_AUDIODRIVER=dummy "$2" )SH" +
                         args + R"SH( --record-keys "$1/rec.txt" >window.log 2>&1 &
kpid=$!
for i in $(seq 150); do xdotool search --name "Korvel v0.12g" >/dev/null 2>&1 && break; sleep 0.1; done
xdotool windowfocus --sync "$(xdotool search --name 'Korvel v0.12g' | head -n1)" >/dev/null 2>&1
# Presses and releases each key in turn, from one xdotool process, so that a loaded
# machine adds no start-up time per key.
press() { args=(); for k in "$@"; do args+=(keydown "$k" sleep 0.1 keyup "$k" sleep 0.1); done; xdotool "${args[@]}"; }
)SH" + actions + R"SH(
wait $kpid
echo $? >status.txt
)SH" + host_test::xvfb_script_end;
    ASSERT_EQ(host_test::run_window_script(dir, script), 0);
}

// The two screenshots hold the same picture.
void expect_same_picture(const std::string& window_png, const std::string& replay_png, const std::string& context)
{
    host_test::Image window, replay;
    ASSERT_TRUE(host_test::read_png(window_png, &window)) << context;
    ASSERT_TRUE(host_test::read_png(replay_png, &replay)) << context;
    ASSERT_EQ(window.width, replay.width);
    ASSERT_EQ(window.height, replay.height);
    size_t differing = 0;
    for (uint32_t y = 0; y < window.height; ++y)
        for (uint32_t x = 0; x < window.width; ++x)
            differing += window.at(x, y) != replay.at(x, y);
    EXPECT_EQ(differing, 0u) << context;
}

// The test pattern presents each picture twice after PgUp, like the MS-0515's frame delay,
// and shows the number of the emulated frame in which Space went down: a replay that
// counted frames differently would show another number.
TEST(RecordKeys, WindowSessionWithFrameDelayReplaysHeadlessToTheSamePicture)
{
    if (!host_test::have_window_backend())
        GTEST_SKIP() << host_test::no_window_backend;
    if (!host_test::have_tool("Xvfb") || !host_test::have_tool("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    host_test::TempDir dir;
    std::filesystem::create_directories(dir.path / "window");
    std::filesystem::create_directories(dir.path / "replay");
    const std::string frames = " --frames 300 --screenshot-at 300";
    run_window_session(dir, "--machine host-test-pattern --fps 60 --data-dir \"$1/window\"" + frames,
                       "sleep 1.5; press Prior; sleep 0.3; press space; sleep 0.3; press space");
    std::string log = host_test::read_file(dir.file("window.log"));
    ASSERT_EQ(host_test::read_file(dir.file("status.txt")), "0\n") << log;
    std::string recorded = host_test::read_file(dir.file("rec.txt"));
    ASSERT_NE(recorded.find(" PGUP down\n"), std::string::npos) << recorded;
    ASSERT_NE(recorded.find(" SPACE up\n"), std::string::npos) << recorded;

    auto replay = host_test::run_korvel({"--headless", "--machine", "host-test-pattern", "--keys", dir.file("rec.txt"),
                                         "--data-dir", dir.file("replay"), "--frames", "300", "--screenshot-at", "300"});
    ASSERT_EQ(replay.status, 0) << replay.output;
    expect_same_picture(dir.file("window/ScreenShot_000.png"), dir.file("replay/ScreenShot_000.png"), recorded);

    // Space was seen after some frames: its frame number is not 0 (some cell is black).
    host_test::Image shot;
    ASSERT_TRUE(host_test::read_png(dir.file("replay/ScreenShot_000.png"), &shot));
    bool some_bit = false;
    for (uint32_t bit = 0; bit < 16; ++bit)
        some_bit |= shot.at(170 + bit * 8, 152) == 0x000000u;
    EXPECT_TRUE(some_bit) << recorded;
}

// A real machine: OpenSE BASIC on the ZX Spectrum, typed on in the window.
TEST(RecordKeys, ZxWindowSessionReplaysHeadlessToTheSameScreen)
{
    const char* rom = "/usr/share/spectrum-roms/opense.rom";
    if (!host_test::have_window_backend())
        GTEST_SKIP() << host_test::no_window_backend;
    if (!host_test::have_tool("Xvfb") || !host_test::have_tool("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool not installed";
    if (!std::filesystem::exists(rom))
        GTEST_SKIP() << "opense-basic is not installed";
    host_test::TempDir dir;
    // A 48K snapshot whose stacked PC is 0: the ROM starts from its reset address.
    std::string sna(27 + 49152, '\0');
    sna[24] = char(0x80);
    sna[25] = 1;
    for (const char* sub : {"window", "replay"}) {
        std::filesystem::create_directories(dir.path / sub);
        std::filesystem::copy_file(rom, dir.path / sub / "48.rom");
        host_test::write_file((dir.path / sub / "boot.sna").string(), sna);
    }
    // Ten seconds: room for typing on a loaded machine (a key that comes too late is
    // reported by the ENTER check below, not as a different picture).
    const std::string frames = " --frames 600 --screenshot-at 600";
    run_window_session(dir, "--fps 60 --data-dir \"$1/window\"" + frames + " boot.sna",
                       "sleep 2; press 1 0 space p r i n t space 4 2 Return");
    std::string log = host_test::read_file(dir.file("window.log"));
    ASSERT_EQ(host_test::read_file(dir.file("status.txt")), "0\n") << log;
    std::string recorded = host_test::read_file(dir.file("rec.txt"));
    ASSERT_NE(recorded.find(" ENTER up\n"), std::string::npos) << "typing did not finish in time\n" << recorded;

    auto replay = host_test::run_korvel({"--headless", "--keys", dir.file("rec.txt"), "--data-dir", dir.file("replay"),
                                         "--frames", "600", "--screenshot-at", "600", "boot.sna"});
    ASSERT_EQ(replay.status, 0) << replay.output;
    expect_same_picture(dir.file("window/ScreenShot_000.png"), dir.file("replay/ScreenShot_000.png"), recorded);
}

// Every key code is written under a name (or number) that the keys file reads back as the
// same code, and a recorded change list parses to the same events.
TEST(RecordKeys, RecordedLinesParseBackToTheSameKeys)
{
    uint8_t before[256] = {}, now[256] = {};
    for (int code = 0; code < 256; ++code) {
        uint8_t parsed = 0;
        std::string name = key_name_from_code(uint8_t(code));
        ASSERT_TRUE(key_code_from_name(name.c_str(), &parsed)) << name;
        EXPECT_EQ(parsed, code) << name;
        now[code] = code % 3 == 0 ? 0x80 : 0;
        before[code] = code % 5 == 0 ? 0x80 : 0;
    }
    EXPECT_EQ(key_name_from_code(0x1E), "A");
    EXPECT_EQ(key_name_from_code(0x0B), "0");
    EXPECT_EQ(key_name_from_code(0xC9), "PGUP");
    EXPECT_EQ(key_name_from_code(0x5F), "0x5F");

    std::string lines = key_change_lines(77, before, now);
    std::vector<KeyEvent> events;
    std::string error;
    ASSERT_TRUE(parse_key_script(lines, &events, &error)) << error;
    size_t expected = 0;
    for (int code = 0; code < 256; ++code)
        expected += (code % 3 == 0) != (code % 5 == 0);
    ASSERT_EQ(events.size(), expected);
    for (const KeyEvent& e : events) {
        EXPECT_EQ(e.frame, 77u);
        EXPECT_EQ(e.down, e.code % 3 == 0);
        EXPECT_NE(e.code % 3 == 0, e.code % 5 == 0);
    }
    EXPECT_EQ(key_change_lines(5, now, now), "");
}

// Headless, the recorder writes what --keys fed the machine: the same events, in the
// same frames, under a heading of comments; a file that cannot be created is a bad value.
TEST(RecordKeys, HeadlessRecordingOfAKeysScriptGivesTheScriptBack)
{
    host_test::TempDir dir;
    host_test::write_file(dir.file("keys.txt"), "3 pgup down\n4 0xC9 up\n20 SPACE down\n20 LSHIFT down\n"
                                                "22 space up\n30 LSHIFT up\n");
    auto r = host_test::run_korvel({"--headless", "--machine", "host-test-pattern", "--data-dir", dir.path.string(),
                                    "--keys", dir.file("keys.txt"), "--record-keys", dir.file("rec.txt"), "--frames",
                                    "40"});
    ASSERT_EQ(r.status, 0) << r.output;
    std::string recorded = host_test::read_file(dir.file("rec.txt"));
    EXPECT_EQ(recorded.substr(0, 2), "# ");
    EXPECT_NE(recorded.find("--machine host-test-pattern"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.substr(recorded.find("\n3 ") + 1),
              "3 PGUP down\n4 PGUP up\n20 LSHIFT down\n20 SPACE down\n22 SPACE up\n30 LSHIFT up\n");

    r = host_test::run_korvel({"--headless", "--machine", "host-test-pattern", "--data-dir", dir.path.string(),
                               "--record-keys", dir.file("no-such-folder/rec.txt"), "--frames", "1"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("can't write keys file " + dir.file("no-such-folder/rec.txt")), std::string::npos)
        << r.output;
}

} // namespace
