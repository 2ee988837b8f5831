// The korvel program run headless end to end with the built-in host test pattern, and
// its command-line errors.
#include <gtest/gtest.h>

#include <algorithm>

#include "host_test_support.h"

namespace {

using host_test::run_korvel;
using host_test::TempDir;

constexpr uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;

TEST(HeadlessRun, ScreenshotsWavAndKeysFromOneRun)
{
    TempDir dir;
    host_test::write_file(dir.file("keys.txt"), "# hold Space during frames 3 and 4\n3 SPACE down\n5 0x39 up\n");
    auto r = run_korvel({"--headless", "--machine", "host-test-pattern", "--frames", "6", "--data-dir",
                         dir.path.string(), "--keys", "keys.txt", "--wav", "out.wav", "--screenshot-at", "3",
                         "--screenshot-at", "4", "--screenshot-at", "6"},
                        dir.path.string());
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Korvel 0.12g (Host-Test-Mode)\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Saving ScreenShot_000.png\n"), std::string::npos);
    EXPECT_NE(r.output.find("Saving ScreenShot_002.png\n"), std::string::npos);

    // The screenshot after frame 3 shows frame index 2 (Space not yet down), the one after
    // frame 4 shows Space held, the one after frame 6 shows it released again.
    const uint32_t expected_top_left[3] = {red, green, red};
    for (int i = 0; i < 3; ++i) {
        host_test::Image image;
        std::string name = dir.file("ScreenShot_00" + std::to_string(i) + ".png");
        ASSERT_TRUE(host_test::read_png(name, &image)) << name;
        ASSERT_EQ(image.width, 320u);
        ASSERT_EQ(image.height, 200u);
        EXPECT_EQ(image.at(10, 10), expected_top_left[i]) << name;
        EXPECT_EQ(image.at(300, 10), blue);
        EXPECT_EQ(image.at(0, 50), 0xFFFFFFu);      // the frame's left edge
        EXPECT_EQ(image.at(100, 198), 0xFFFFFFu);   // its bottom row (the top row is skipped)
        EXPECT_EQ(image.at(100, 199), 0x000000u);   // below the picture
    }

    // 6 frames of 800 samples at the default 60 Hz, the square wave as the machine wrote it.
    std::string wav = host_test::read_file(dir.file("out.wav"));
    ASSERT_EQ(wav.size(), 44u + 6 * 800 * 4);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(host_test::le32(wav, 4), 36u + 6 * 800 * 4);
    EXPECT_EQ(host_test::le32(wav, 24), 48000u);
    EXPECT_EQ(host_test::le32(wav, 40), 6u * 800 * 4);
    for (uint32_t i = 0; i < 6 * 800; ++i) {
        int16_t expected = (i % 48) < 24 ? 8000 : -8000;
        ASSERT_EQ(host_test::le16s(wav, 44 + 4 * i), expected) << i;
        ASSERT_EQ(host_test::le16s(wav, 46 + 4 * i), expected) << i;
    }
}

TEST(HeadlessRun, SameRunGivesTheSameFiles)
{
    TempDir a, b;
    for (TempDir* d : {&a, &b}) {
        auto r = run_korvel({"--headless", "--machine=host-test-pattern", "--frames=3", "--fps", "50",
                             "--data-dir", d->path.string(), "--wav", d->file("s.wav"),
                             "--screenshot-at", "2"});
        ASSERT_EQ(r.status, 0) << r.output;
    }
    EXPECT_EQ(host_test::read_file(a.file("s.wav")), host_test::read_file(b.file("s.wav")));
    EXPECT_EQ(host_test::read_file(a.file("s.wav")).size(), 44u + 3 * 960 * 4); // 50 Hz frames
    EXPECT_EQ(host_test::read_file(a.file("ScreenShot_000.png")),
              host_test::read_file(b.file("ScreenShot_000.png")));
}

TEST(HeadlessRun, HelpAndVersion)
{
    auto r = run_korvel({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("usage: korvel [options] [argument text]"), std::string::npos);
    r = run_korvel({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "Korvel 0.12g\n");
}

TEST(HeadlessRun, UsageErrorsExitWithStatusTwo)
{
    TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"--nonsense"},
        {"--headless", "--frames", "zero"},
        {"--headless", "--machine", "amiga"},
        {"--headless", "--machine", "zx", "--cpu", "8080"}, // the ZX Spectrum has a Z80 only
        {"--headless", "--machine", "pk8000", "--cpu", "6502"},
        {"--headless", "--machine", "host-test-pattern", "--keys", dir.file("missing.txt")},
        {"--headless", "--machine", "host-test-pattern", "--data-dir", dir.file("no-such-dir")},
    };
    for (const auto& args : cases) {
        auto r = run_korvel(args);
        EXPECT_EQ(r.status, 2) << args.back() << ": " << r.output;
        EXPECT_NE(r.output.find("korvel: "), std::string::npos) << r.output;
    }
    host_test::write_file(dir.file("bad-keys.txt"), "1 A down\n2 A sideways\n");
    auto r = run_korvel({"--headless", "--machine", "host-test-pattern", "--keys", dir.file("bad-keys.txt")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("line 2"), std::string::npos) << r.output;
}

TEST(HeadlessRun, UnusableAutomationFilesAreRefusedAtStart)
{
    TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"--keys", dir.path.string()},   // a directory is no script, not an empty one
        {"--keys", "/dev/zero"},         // endless input
        {"--wav", "/dev/full"},          // nowhere to write the sound
        {"--wav", dir.file("no/such/dir/out.wav")},
    };
    for (const auto& extra : cases) {
        std::vector<std::string> args = {"--headless", "--machine", "host-test-pattern", "--frames", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        auto r = run_korvel(args, dir.path.string());
        EXPECT_EQ(r.status, 2) << extra[1] << ": " << r.output;
        EXPECT_NE(r.output.find("korvel: can't "), std::string::npos) << r.output;
    }
}

TEST(HeadlessRun, AScreenshotThatCannotBeWrittenFailsTheRun)
{
    TempDir dir;
    // The first free name leads nowhere: a link into a directory that does not exist.
    std::filesystem::create_symlink(dir.file("missing/dir/shot.png"), dir.file("ScreenShot_000.png"));
    auto r = run_korvel({"--headless", "--machine", "host-test-pattern", "--frames", "2", "--data-dir",
                         dir.path.string(), "--screenshot-at", "1", "--screenshot-at", "2"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("korvel: can't write screenshot ScreenShot_000.png after frame 1"),
              std::string::npos)
        << r.output;
    // The run goes on to its end, and "Saving" is still printed as for the screenshot key.
    EXPECT_NE(r.output.find("Saving ScreenShot_000.png\n"), std::string::npos) << r.output;
}

// Every known machine is built now: the UKNC starts, and without its ROM ends as a fatal error.
TEST(HeadlessRun, UkncWithoutItsRomExitsWithStatusOne)
{
    auto r = run_korvel({"--headless", "--machine", "uknc"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("Korvel 0.12g (UKNC-Mode)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("File UKNC.rom not found!"), std::string::npos) << r.output;
}

TEST(HeadlessRun, WithoutHeadlessAndWithoutDisplaySaysSo)
{
    TempDir dir;
    // Without any driver forced: the window library would fall back to an invisible
    // off-screen display, which is no display for a person.
    // A named X display that is not there is no display either.
    for (const char* environment : {"-u DISPLAY", "DISPLAY=:9876"}) {
        std::string command = std::string("env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ") + environment + " " +
                              host_test::quote(KORVEL_BINARY) +
                              " --machine host-test-pattern --frames 1 >" + dir.file("out.txt") + " 2>&1";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1) << environment;
        std::string out = host_test::read_file(dir.file("out.txt"));
        EXPECT_NE(out.find("--headless"), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out; // one line, nothing else
    }
}

} // namespace
