// The desktop side of the program: names on the command line found where the user is,
// the machine a file opened from the desktop calls for, the window's scaling, and the
// Debian package with its launcher, icon, file types and metadata.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host_internal.h"
#include "host/options.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(Desktop, RelativeNamesAreFoundWhereTheUserIsThenInTheDataDirectory)
{
    host_test::TempDir dir;
    const std::string here = dir.path.string();
    fs::create_directories(dir.path / "sub");
    fs::create_directories(dir.path / "folder.sna");
    for (const char* f : {"a.sna", "my game.sna", "sub/b.tap"})
        host_test::write_file(dir.file(f), "x");
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"a.sna", here + "/a.sna"},
        {"missing.sna", "missing.sna"},               // left for the data directory
        {"a.sna  missing.tap", here + "/a.sna missing.tap"},
        {"\"my game.sna\"", "\"" + here + "/my game.sna\""},
        {"sub\\b.tap", here + "/sub/b.tap"},          // a DOS name of a file here
        {"/no/such/a.sna", "/no/such/a.sna"},         // absolute: as given
        {"C:\\a.sna", "C:\\a.sna"},                   // a drive names the data directory
        {"folder.sna", "folder.sna"},                 // a folder is not a file
        {"  ", "  "},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host_resolve_argument_files(c.text, here), c.expected) << c.text;
    EXPECT_EQ(host_resolve_argument_files("a.sna", ""), "a.sna"); // start folder unknown

    struct ByFile {
        const char* text;
        const char* machine;
    } by_file[] = {
        {"System.dsk", "uknc"},   {"/x/Disk.IMG Work.dsk", "uknc"}, {"\"my tape.RKS\"", "specialist"},
        {"game.z80", nullptr},    {"game.tzx", nullptr},            {"dsk", nullptr},
        {"dir.dsk/game.sna", nullptr}, {"", nullptr},
    };
    for (const ByFile& b : by_file) {
        const char* m = host_machine_for_file(b.text);
        EXPECT_STREQ(m ? m : "", b.machine ? b.machine : "") << b.text;
    }
}

TEST(Desktop, WindowScalesThePictureToFitWithItsAspectKept)
{
    struct Case {
        int window_w, window_h, picture_w, picture_h;
        PresentRect src, dst;
        bool smooth;
        PresentScaler scaler = PresentScaler::SMOOTH;
    } cases[] = {
        // The requested size: the picture 1:1, as the machine drew it.
        {768, 577, 768, 577, {216, 192, 768, 577}, {0, 0, 768, 577}, false},
        // Twice as large both ways: pixel for pixel doubled.
        {1536, 1154, 768, 577, {216, 192, 768, 577}, {0, 0, 1536, 1154}, false},
        // Wider only: the height limits the scale; the border beside the picture shows.
        {1000, 577, 768, 577, {100, 192, 1000, 577}, {0, 0, 1000, 577}, false},
        // Full screen on 1920 x 1080: scaled by 1080/577, smoothed; the border left and
        // right of the picture fills the screen's width.
        {1920, 1080, 768, 577, {87, 192, 1026, 577}, {0, 0, 1920, 1080}, true},
        // Smaller than the picture: shrunk by half, the rows above and below it shown.
        {384, 400, 768, 577, {216, 80, 768, 800}, {0, 0, 384, 400}, true},
        // A window larger than the BackBuffer at 1:1: the buffer centred on black.
        {1300, 1000, 1300, 1000, {0, 0, 1200, 960}, {50, 20, 1200, 960}, false},
        // No picture size yet: 1:1 around the centre.
        {640, 480, 0, 0, {280, 240, 640, 480}, {0, 0, 640, 480}, false},
        // Sharp: no filtering. Whole multiples: 2.08 fits: 2; 1.87 fits: 1:1; 0.5 stays.
        {1920, 1080, 768, 577, {87, 192, 1026, 577}, {0, 0, 1920, 1080}, false, PresentScaler::SHARP},
        {1600, 1200, 768, 577, {200, 180, 800, 600}, {0, 0, 1600, 1200}, false, PresentScaler::WHOLE},
        {1920, 1080, 768, 577, {0, 0, 1200, 960}, {360, 60, 1200, 960}, false, PresentScaler::WHOLE},
        {384, 400, 768, 577, {216, 80, 768, 800}, {0, 0, 384, 400}, true, PresentScaler::WHOLE},
    };
    for (const Case& c : cases) {
        const PresentLayout l = host_present_layout(c.window_w, c.window_h, c.picture_w, c.picture_h, 1200, 960, c.scaler);
        const std::string what = std::to_string(c.window_w) + "x" + std::to_string(c.window_h);
        EXPECT_EQ(l.src.x, c.src.x) << what;
        EXPECT_EQ(l.src.y, c.src.y) << what;
        EXPECT_EQ(l.src.w, c.src.w) << what;
        EXPECT_EQ(l.src.h, c.src.h) << what;
        EXPECT_NEAR(l.dst.x, c.dst.x, 1) << what;
        EXPECT_NEAR(l.dst.y, c.dst.y, 1) << what;
        EXPECT_NEAR(l.dst.w, c.dst.w, 1) << what;
        EXPECT_NEAR(l.dst.h, c.dst.h, 1) << what;
        EXPECT_EQ(l.smooth, c.smooth) << what;
        // The aspect is kept: the scale is the same across and down.
        if (l.src.w > 0 && l.src.h > 0) {
            EXPECT_NEAR(double(l.dst.w) / l.src.w, double(l.dst.h) / l.src.h, 0.01) << what;
        }
    }
    const PresentLayout none = host_present_layout(0, 0, 768, 577, 1200, 960);
    EXPECT_EQ(none.src.w, 0);
}

TEST(Desktop, TitleNamesTheMachineAndTheFileItRuns)
{
    host_set_title_machine("ZX Spectrum 48K");
    set_window_file("/home/u/games/Manic Miner.z80");
    EXPECT_STREQ(window_title_text(), "Korvel v0.12g - ZX Spectrum 48K - Manic Miner.z80");
    set_window_file("C:\\Disk_Games2.dsk");
    host_set_title_machine("UKNC");
    set_window_title_suffix(" (КЦГД)"); // the machine's own suffix stays last
    EXPECT_STREQ(window_title_text(), "Korvel v0.12g - UKNC - Disk_Games2.dsk (КЦГД)");
    set_window_file(nullptr);
    set_window_title_suffix("");
    EXPECT_STREQ(window_title_text(), "Korvel v0.12g - UKNC");
    host_set_title_machine("");
    EXPECT_STREQ(window_title_text(), "Korvel v0.12g");
}

std::string run_command(const std::string& command, int* status)
{
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    size_t n;
    while (p && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    const int s = p ? pclose(p) : -1;
    *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return out;
}

TEST(Desktop, DebianPackageHoldsProgramLauncherIconFileTypesAndMetadata)
{
    if (!host_test::have_tool("cpack") || !host_test::have_tool("dpkg-deb") || !host_test::have_tool("dpkg-shlibdeps"))
        GTEST_SKIP() << "cpack, dpkg-deb or dpkg-shlibdeps (dpkg-dev) not installed";
    host_test::TempDir dir;
    int status = 0;
    const std::string log = run_command("cd " + host_test::quote(dir.path.string()) + " && cpack -G DEB --config " +
                                            host_test::quote(KORVEL_BUILD_DIR "/CPackConfig.cmake"),
                                        &status);
    ASSERT_EQ(status, 0) << log;
    const std::string deb = dir.file("korvel_0.12g_amd64.deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << log;

    const std::string depends = run_command("dpkg-deb -f " + deb + " Depends", &status);
    EXPECT_NE(depends.find("libsdl2-2.0-0"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libpng16-16"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
    EXPECT_EQ(run_command("dpkg-deb -f " + deb + " Recommends", &status), "opense-basic\n");
    EXPECT_EQ(run_command("dpkg-deb -f " + deb + " Section", &status), "games\n");

    const std::string contents = run_command("dpkg-deb -c " + deb, &status);
    for (const char* path : {"./usr/bin/korvel", "./usr/share/man/man6/korvel.6", "./usr/share/doc/korvel/README.md",
                             "./usr/share/doc/korvel/LICENSE", "./usr/share/applications/org.korvel.Korvel.desktop",
                             "./usr/share/icons/hicolor/scalable/apps/org.korvel.Korvel.svg",
                             "./usr/share/metainfo/org.korvel.Korvel.metainfo.xml",
                             "./usr/share/mime/packages/korvel.xml"})
        EXPECT_NE(contents.find(std::string(path) + "\n"), std::string::npos) << path << "\n" << contents;
    if (host_test::have_tool("rsvg-convert")) {
        for (const char* size : {"32x32", "48x48", "64x64", "128x128", "256x256"})
            EXPECT_NE(contents.find(std::string("./usr/share/icons/hicolor/") + size + "/apps/org.korvel.Korvel.png"),
                      std::string::npos)
                << size;
    }

    // The files as installed pass the desktop's own checks.
    const std::string root = dir.file("root");
    ASSERT_EQ(std::system(("dpkg-deb -x " + deb + " " + root).c_str()), 0);
    const std::string desktop = root + "/usr/share/applications/org.korvel.Korvel.desktop";
    if (host_test::have_tool("desktop-file-validate")) {
        const std::string out = run_command("desktop-file-validate " + desktop, &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out, "") << out;
    }
    if (host_test::have_tool("appstreamcli")) {
        const std::string out =
            run_command("appstreamcli validate --no-net " + root + "/usr/share/metainfo/org.korvel.Korvel.metainfo.xml",
                        &status);
        EXPECT_EQ(status, 0) << out;
    }
    // Every file kind Korvel opens has a type the launcher lists: ours, or the system's
    // raw disk image type for .img.
    const std::string entry = host_test::read_file(desktop);
    EXPECT_NE(entry.find("Categories=Game;Emulator;"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nExec=korvel --error-box %f\n"), std::string::npos) << entry; // errors in a box
    EXPECT_NE(entry.find("\nTerminal=false\n"), std::string::npos) << entry;
    const std::string types = host_test::read_file(root + "/usr/share/mime/packages/korvel.xml");
    for (const char* ext : {"sna", "z80", "tap", "tzx", "dsk", "rks"}) {
        const size_t glob = types.find(std::string("<glob pattern=\"*.") + ext + "\"/>");
        ASSERT_NE(glob, std::string::npos) << ext;
        const size_t type_at = types.rfind("<mime-type type=\"", glob);
        const size_t name_at = type_at + 17;
        const std::string type = types.substr(name_at, types.find('"', name_at) - name_at);
        EXPECT_NE(entry.find(type + ";"), std::string::npos) << ext << " " << type;
    }
    EXPECT_NE(entry.find("application/x-raw-disk-image;"), std::string::npos);
    if (host_test::have_tool("update-mime-database")) {
        fs::create_directories(dir.path / "mime" / "packages");
        fs::copy_file(root + "/usr/share/mime/packages/korvel.xml", dir.path / "mime" / "packages" / "korvel.xml");
        const std::string out = run_command("update-mime-database " + dir.file("mime"), &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(host_test::read_file(dir.file("mime/globs2")).find("application/x-zx-tzx:*.tzx"),
                  std::string::npos);
    }
}

} // namespace
