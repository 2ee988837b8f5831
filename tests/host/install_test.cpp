// The installed program: `cmake --install` into a temporary prefix gives the program, its
// manual page and the README; the installed program finds the machine's files beside
// itself or in the user's data folder; --help, the manual page and the README list the
// same options and machines.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "host/data_dir.h"
#include "host_test_support.h"

namespace {

namespace fs = std::filesystem;

// "--name" words of a text (a lone "--" is not one).
std::set<std::string> option_names(const std::string& text)
{
    std::set<std::string> names;
    auto word_char = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; };
    for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
        if (at + 2 >= text.size() || text[at + 2] < 'a' || text[at + 2] > 'z')
            continue;
        size_t end = at + 2;
        while (end < text.size() && word_char(text[end]))
            ++end;
        names.insert(text.substr(at, end - at));
        at = end - 2;
    }
    return names;
}

// The text between the first `from` and the next `to` after it ("" when absent).
std::string section(const std::string& text, const std::string& from, const std::string& to)
{
    size_t begin = text.find(from);
    if (begin == std::string::npos)
        return "";
    size_t end = text.find(to, begin + from.size());
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

std::string join(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& n : names)
        text += n + " ";
    return text;
}

TEST(DataDir, ProgramFolderServesOnlyWhenItHoldsTheMachinesFirstFile)
{
    EXPECT_EQ(host_user_data_dir("/x/data", "/home/u"), "/x/data/korvel");
    EXPECT_EQ(host_user_data_dir(nullptr, "/home/u"), "/home/u/.local/share/korvel");
    EXPECT_EQ(host_user_data_dir("", "/home/u"), "/home/u/.local/share/korvel");
    EXPECT_EQ(host_user_data_dir("relative/data", "/home/u"), "/home/u/.local/share/korvel"); // invalid: ignored
    EXPECT_EQ(host_user_data_dir(nullptr, nullptr), "");

    host_test::TempDir program;
    fs::create_directories(program.path / "bin" / "PK8000");
    const std::string bin = (program.path / "bin").string();
    host_test::write_file(bin + "/48.rom", std::string(16384, '\0'));
    host_test::write_file(bin + "/PK8000/foton_piton.bin", "x");
    fs::create_directories(bin + "/MS-0515.rom"); // a folder of that name is not the ROM
    host_test::write_file(program.file("konek.tia"), "x");
    const std::string user = "/home/u/.local/share/korvel";
    struct Case {
        const char* machine;
        std::string expected;
    } cases[] = {
        {"zx", bin},         {"pk8000", bin},     {"ms0515", user}, {"specialist", user},
        {"tile", bin},       {"uknc", user},      {"no-such-machine", user},
        {"host-test-pattern", bin}, // reads no files: stays in the program's folder
    };
    for (const Case& c : cases)
        EXPECT_EQ(host_default_data_dir(c.machine, bin, user), c.expected) << c.machine;
    // Without a user folder (no HOME) the program's folder is all there is.
    EXPECT_EQ(host_default_data_dir("ms0515", bin, ""), bin);
}

TEST(Install, InstalledProgramRunsTheZxFromTheUsersDataFolderOrFromBesideItself)
{
    host_test::TempDir dir;
    const std::string prefix = dir.file("prefix");
    std::string command = host_test::quote(KORVEL_CMAKE_COMMAND) + " --install " + host_test::quote(KORVEL_BUILD_DIR) +
                          " --prefix " + host_test::quote(prefix) + " >" + dir.file("install.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << host_test::read_file(dir.file("install.log"));
    const std::string korvel = prefix + "/bin/korvel";
    ASSERT_TRUE(fs::is_regular_file(korvel));
    EXPECT_EQ(host_test::read_file(prefix + "/share/man/man6/korvel.6"),
              host_test::read_file(KORVEL_SOURCE_DIR "/doc/korvel.6"));
    EXPECT_EQ(host_test::read_file(prefix + "/share/doc/korvel/README.md"),
              host_test::read_file(KORVEL_SOURCE_DIR "/README.md"));
    EXPECT_NE(host_test::read_file(prefix + "/share/doc/korvel/LICENSE").find("GNU GENERAL PUBLIC LICENSE"),
              std::string::npos);

    // Runs the installed program headless for 3 frames, from the temporary folder, with
    // the given environment and arguments; returns its status and output.
    auto run = [&](const std::string& environment, const std::string& arguments = "") {
        host_test::RunResult r;
        std::string line = "cd " + host_test::quote(dir.path.string()) + " && env -u XDG_DATA_HOME " + environment +
                           " " + host_test::quote(korvel) + " --headless --frames 3 --screenshot-at 3 " +
                           arguments + " </dev/null 2>&1";
        FILE* p = popen(line.c_str(), "r");
        char buffer[4096];
        size_t n;
        while (p && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
            r.output.append(buffer, n);
        int status = p ? pclose(p) : -1;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    };
    auto has = [](const host_test::RunResult& r, const std::string& text) {
        return r.output.find(text) != std::string::npos;
    };
    const std::string xdg = dir.file("xdg"), home = dir.file("home");
    const std::string with_xdg = "XDG_DATA_HOME=" + host_test::quote(xdg) + " HOME=" + host_test::quote(home);
    const std::string readme = fs::weakly_canonical(prefix + "/share/doc/korvel/README.md").string();

    // First start with nothing: the user's folder is created. The ZX runs Debian's OpenSE
    // BASIC from its reset when that is installed; without it, and for a machine whose ROM
    // is missing, the message says which file to put where and where the README is.
    const std::string opense = "/usr/share/spectrum-roms/opense.rom";
    auto first = run(with_xdg);
    EXPECT_TRUE(fs::is_directory(xdg + "/korvel"));
    if (fs::exists(opense)) {
        EXPECT_EQ(first.status, 0) << first.output;
        EXPECT_TRUE(has(first, "using " + opense)) << first.output;
        EXPECT_TRUE(has(first, "No snapshot: starting from the ROM")) << first.output;
        EXPECT_TRUE(fs::exists(xdg + "/korvel/ScreenShot_000.png")) << first.output;
    } else {
        EXPECT_EQ(first.status, 1) << first.output;
        EXPECT_TRUE(has(first, "The ZX Spectrum 48K needs 48.rom: put it into " + xdg + "/korvel/")) << first.output;
    }
    auto uknc = run(with_xdg, "--machine uknc");
    EXPECT_EQ(uknc.status, 1) << uknc.output;
    EXPECT_TRUE(has(uknc, "File UKNC.rom not found!")) << uknc.output;
    EXPECT_TRUE(has(uknc, "Data directory searched: " + xdg + "/korvel\n")) << uknc.output;
    EXPECT_TRUE(has(uknc, "The UKNC needs UKNC.rom: put it into " + xdg + "/korvel/")) << uknc.output;
    EXPECT_TRUE(has(uknc, "The README (" + readme + "), section \"UKNC\"")) << uknc.output;
    // The tile machine's program lies beside the data directory.
    auto tile = run(with_xdg, "--machine tile");
    EXPECT_EQ(tile.status, 1) << tile.output;
    EXPECT_TRUE(has(tile, "needs konek.tia: put it into " + xdg + "/")) << tile.output;
    // A snapshot that was named must be there.
    auto named = run(with_xdg, "nothere.sna");
    EXPECT_EQ(named.status, 1) << named.output;
    EXPECT_TRUE(has(named, "Can't open file!")) << named.output;
    // XDG_DATA_HOME unset, or relative (invalid): ~/.local/share/korvel.
    for (const std::string& environment : {"HOME=" + host_test::quote(home), "XDG_DATA_HOME=rel HOME=" + home}) {
        auto r = run(environment, "--machine ms0515");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_TRUE(has(r, "Data directory searched: " + home + "/.local/share/korvel\n")) << environment << r.output;
        EXPECT_TRUE(has(r, "put it into " + home + "/.local/share/korvel/")) << environment << r.output;
    }

    // The machine's files in the user's folder: the ZX runs there, its snapshot.SNA
    // included.
    std::string reset_snapshot(27 + 49152, '\0');
    reset_snapshot[24] = char(0x80);
    reset_snapshot[25] = 1;
    host_test::write_file(xdg + "/korvel/48.rom", std::string(16384, '\0'));
    host_test::write_file(xdg + "/korvel/snapshot.SNA", reset_snapshot);
    auto in_user_folder = run(with_xdg);
    EXPECT_EQ(in_user_folder.status, 0) << in_user_folder.output;
    EXPECT_TRUE(has(in_user_folder, "Snapshot snapshot.SNA loaded")) << in_user_folder.output;
    EXPECT_FALSE(has(in_user_folder, "using " + opense)) << in_user_folder.output;

    // Relative names: where korvel is started first, then the data directory.
    host_test::write_file(dir.file("here.sna"), reset_snapshot);
    host_test::write_file(dir.file("both.sna"), reset_snapshot);
    host_test::write_file(xdg + "/korvel/both.sna", reset_snapshot);
    host_test::write_file(xdg + "/korvel/data.sna", reset_snapshot);
    const std::string here = fs::canonical(dir.path).string();
    struct Lookup {
        const char* argument;
        std::string loaded;
    } lookups[] = {
        {"here.sna", here + "/here.sna"},
        {"both.sna", here + "/both.sna"},
        {"data.sna", "data.sna"},
    };
    for (const Lookup& l : lookups) {
        auto r = run(with_xdg, l.argument);
        EXPECT_EQ(r.status, 0) << l.argument << r.output;
        EXPECT_TRUE(has(r, "Snapshot " + l.loaded + " loaded\n")) << l.argument << r.output;
    }

    // The ROM beside the program: the program's folder wins.
    host_test::write_file(prefix + "/bin/48.rom", std::string(16384, '\0'));
    auto beside = run(with_xdg);
    EXPECT_EQ(beside.status, 0) << beside.output; // no snapshot there: the ROM's reset
    EXPECT_TRUE(has(beside, "No snapshot: starting from the ROM")) << beside.output;
    EXPECT_TRUE(fs::exists(prefix + "/bin/ScreenShot_000.png")) << beside.output;
    host_test::write_file(prefix + "/bin/snapshot.SNA", reset_snapshot);
    beside = run(with_xdg);
    EXPECT_EQ(beside.status, 0) << beside.output;
    EXPECT_TRUE(has(beside, "Snapshot snapshot.SNA loaded")) << beside.output;
    EXPECT_TRUE(fs::exists(prefix + "/bin/ScreenShot_001.png")) << beside.output;
}

TEST(Install, HelpManualPageAndReadmeAgreeOnOptionsAndMachines)
{
    auto help = host_test::run_korvel({"--help"});
    ASSERT_EQ(help.status, 0);
    const std::string manual = host_test::read_file(KORVEL_SOURCE_DIR "/doc/korvel.6");
    const std::string readme = host_test::read_file(KORVEL_SOURCE_DIR "/README.md");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(readme.empty());

    // roff writes a hyphen as "\-".
    std::string manual_text = manual;
    for (size_t at = manual_text.find("\\-"); at != std::string::npos; at = manual_text.find("\\-", at))
        manual_text.erase(at, 1);
    const std::string manual_options = section(manual_text, ".SH OPTIONS", ".SH ");
    const std::string readme_usage = section(section(readme, "## Running Korvel", "\n## "), "```", "\n```");
    ASSERT_FALSE(manual_options.empty());
    ASSERT_FALSE(readme_usage.empty());

    const std::set<std::string> from_help = option_names(help.output);
    EXPECT_GE(from_help.size(), 10u) << help.output;
    EXPECT_EQ(join(option_names(manual_options)), join(from_help)) << "manual page OPTIONS vs --help";
    EXPECT_EQ(join(option_names(readme_usage)), join(from_help)) << "README usage vs --help";

    // Every machine built into the program is in the manual's machine list and the README.
    const std::string built_label = "Machines built into this program: ";
    const size_t built_at = help.output.find(built_label);
    ASSERT_NE(built_at, std::string::npos) << help.output;
    std::string list = help.output.substr(built_at + built_label.size());
    list = list.substr(0, list.find('\n')) + ",";
    const std::string machines_section = section(manual_text, ".SH MACHINES AND FILES", ".SH ");
    for (size_t begin = 0, comma; (comma = list.find(',', begin)) != std::string::npos; begin = comma + 1) {
        std::string machine = list.substr(begin, comma - begin);
        machine.erase(0, machine.find_first_not_of(' '));
        if (machine.empty())
            continue;
        EXPECT_NE(machines_section.find(".B " + machine + "\n"), std::string::npos) << machine;
        EXPECT_NE(readme_usage.find(machine), std::string::npos) << machine;
    }
}

} // namespace
