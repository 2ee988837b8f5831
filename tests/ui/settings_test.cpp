// The settings file: round trip, typed access, and every way a file can be unusable.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "ui/settings.h"

namespace {

struct Folder {
    std::filesystem::path path;
    Folder()
    {
        char name[] = "/tmp/korvel-ui-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return (path / name).string(); }
};

void write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(Settings, WrittenSettingsReadBackWithSectionsRepeatsAndTypedValues)
{
    Folder f;
    Settings s;
    settings_set_int(&s, "", "volume", 40);
    settings_set(&s, "zx", "keyboard", "typing");
    settings_set_list(&s, "uknc", "recent", {"0 /a/b.dsk", "1 /c d/e.img"});
    settings_set(&s, "uknc", "gamepad", "arrows a=fire");
    settings_set_int(&s, "", "mute", 1);
    std::string path = f.file("sub/dir/korvel.conf"); // folders are made
    std::string why;
    ASSERT_TRUE(settings_save(s, path, &why)) << why;
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    Settings r;
    ASSERT_EQ(settings_load(&r, path, &why), SettingsStatus::OK) << why;
    EXPECT_EQ(settings_get_int(r, "", "volume", 0, 100, 100), 40);
    EXPECT_EQ(settings_get_int(r, "", "mute", 0, 1, 0), 1);
    EXPECT_EQ(settings_get(r, "zx", "keyboard"), "typing");
    EXPECT_EQ(settings_get(r, "uknc", "keyboard", "positional"), "positional"); // sections apart
    EXPECT_EQ(settings_get_list(r, "uknc", "recent"), (std::vector<std::string>{"0 /a/b.dsk", "1 /c d/e.img"}));
    EXPECT_EQ(settings_get(r, "uknc", "gamepad"), "arrows a=fire");
    // The program's own keys come before any heading, whatever order they were set in.
    EXPECT_EQ(settings_format(r), settings_format(s));
    EXPECT_LT(settings_format(s).find("mute"), settings_format(s).find("[zx]"));

    // Replacing a list keeps its place and drops the old values.
    settings_set_list(&r, "uknc", "recent", {"0 /x.dsk"});
    EXPECT_EQ(settings_get_list(r, "uknc", "recent"), std::vector<std::string>{"0 /x.dsk"});
    // Values out of range, not numbers or missing give the fallback.
    settings_set(&r, "", "volume", "140");
    EXPECT_EQ(settings_get_int(r, "", "volume", 0, 100, 100), 100);
    settings_set(&r, "", "volume", "12abc");
    EXPECT_EQ(settings_get_int(r, "", "volume", 0, 100, 77), 77);
    EXPECT_EQ(settings_get_int(r, "", "nothing", 0, 100, 5), 5);
    // A value cannot break the file's lines.
    settings_set(&r, "zx", "folder", "a\nb = c");
    Settings again;
    ASSERT_TRUE(settings_parse(settings_format(r), &again, &why)) << why;
    EXPECT_EQ(settings_get(again, "zx", "folder"), "a b = c");
}

TEST(Settings, UnusableFilesAreReportedAndGiveTheDefaults)
{
    Folder f;
    std::string why;
    Settings s;
    settings_set(&s, "", "volume", "3"); // stale content must go
    EXPECT_EQ(settings_load(&s, f.file("none.conf"), &why), SettingsStatus::MISSING);
    EXPECT_NE(why.find("none.conf"), std::string::npos);
    EXPECT_TRUE(s.entries.empty());

    write(f.file("empty.conf"), "  \n\n");
    EXPECT_EQ(settings_load(&s, f.file("empty.conf"), &why), SettingsStatus::EMPTY);

    std::filesystem::create_directory(f.file("folder.conf"));
    EXPECT_EQ(settings_load(&s, f.file("folder.conf"), &why), SettingsStatus::UNREADABLE);

    if (geteuid() != 0) { // root reads anything
        write(f.file("locked.conf"), "volume = 5\n");
        chmod(f.file("locked.conf").c_str(), 0);
        EXPECT_EQ(settings_load(&s, f.file("locked.conf"), &why), SettingsStatus::UNREADABLE);
    }

    const struct {
        std::string text;
        const char* reason;
    } damaged[] = {
        {"volume = 5\nthis line has no equals sign\n", "line 2: no '='"},
        {"[zx\nkeyboard = typing\n", "line 1: a bad section heading"},
        {"[z x]\n", "line 1: a bad section heading"},
        {"= 5\n", "line 1: a bad key"},
        {"vol ume = 5\n", "line 1: a bad key"},
        {std::string("volume = 5\n\x00\x01\x02 = 3\n", 19), "line 2"},
    };
    for (const auto& d : damaged) {
        write(f.file("bad.conf"), d.text);
        settings_set(&s, "", "volume", "3");
        EXPECT_EQ(settings_load(&s, f.file("bad.conf"), &why), SettingsStatus::DAMAGED) << d.text;
        EXPECT_NE(why.find(d.reason), std::string::npos) << why;
        EXPECT_TRUE(s.entries.empty()) << d.text; // nothing of a damaged file is used
    }
    // Binary garbage with a NUL byte inside is damaged, not empty.
    write(f.file("nul.conf"), std::string("\0\0\0", 3));
    EXPECT_EQ(settings_load(&s, f.file("nul.conf"), &why), SettingsStatus::DAMAGED);

    // Comments, blanks and Windows line ends are fine.
    write(f.file("ok.conf"), "# note\r\n\r\nvolume = 9\r\n[uknc]\r\nrecent = 0 /a\r\n");
    ASSERT_EQ(settings_load(&s, f.file("ok.conf"), &why), SettingsStatus::OK) << why;
    EXPECT_EQ(settings_get_int(s, "", "volume", 0, 100, 0), 9);
    EXPECT_EQ(settings_get(s, "uknc", "recent"), "0 /a");

    // A folder that cannot be made: the save says why and nothing is left behind.
    write(f.file("plain"), "x");
    EXPECT_FALSE(settings_save(s, f.file("plain/korvel.conf"), &why));
    EXPECT_FALSE(why.empty());
}

TEST(Settings, PathFollowsXdgConfigHomeThenHome)
{
    std::string old_config = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(settings_default_path(), "/cfg/korvel/korvel.conf");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored, as the standard says
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(settings_default_path(), "/home/u/.config/korvel/korvel.conf");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(settings_default_path(), "");
    if (!old_config.empty())
        setenv("XDG_CONFIG_HOME", old_config.c_str(), 1);
    if (!old_home.empty())
        setenv("HOME", old_home.c_str(), 1);
}

TEST(Settings, RecentFilesKeepTheTenLatestWithoutRepeats)
{
    std::vector<std::string> list;
    for (int i = 0; i < 12; ++i)
        recent_files_add(&list, "f" + std::to_string(i));
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list.front(), "f11");
    EXPECT_EQ(list.back(), "f2");
    recent_files_add(&list, "f5"); // again: to the front, once
    EXPECT_EQ(list.front(), "f5");
    EXPECT_EQ(std::count(list.begin(), list.end(), "f5"), 1);
    EXPECT_EQ(list.size(), 10u);
}

} // namespace
