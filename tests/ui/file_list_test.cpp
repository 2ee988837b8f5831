// The file browser's listing: order, filters, hidden entries, folders that cannot be read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ui/file_list.h"

namespace {

std::vector<std::string> names(const std::vector<FileEntry>& entries)
{
    std::vector<std::string> n;
    for (const FileEntry& e : entries)
        n.push_back(e.folder ? e.name + "/" : e.name);
    return n;
}

TEST(FileList, FoldersThenTheDrivesKindsThenOtherFilesOnRequest)
{
    char name[] = "/tmp/korvel-browse-XXXXXX";
    std::filesystem::path dir = mkdtemp(name);
    for (const char* f : {"b.img", "A.DSK", "notes.txt", "c.dsk.bak", ".hidden.dsk", "Zeta.Dsk"})
        std::ofstream(dir / f) << "12345";
    std::filesystem::create_directory(dir / "games");
    std::filesystem::create_directory(dir / "Apps");
    std::filesystem::create_directory(dir / ".cache");
    std::filesystem::create_symlink(dir / "games", dir / "link-to-games");

    std::vector<std::string> kinds = file_kinds(".dsk;IMG;;");
    ASSERT_EQ(kinds, (std::vector<std::string>{".dsk", ".img"}));

    std::vector<FileEntry> entries;
    std::string why;
    ASSERT_TRUE(file_list(dir.string(), kinds, false, &entries, &why)) << why;
    EXPECT_EQ(names(entries), (std::vector<std::string>{"../", "Apps/", "games/", "link-to-games/", "A.DSK",
                                                        "b.img", "Zeta.Dsk"}));
    EXPECT_TRUE(entries[4].of_kind);
    EXPECT_EQ(entries[4].size, 5u);

    ASSERT_TRUE(file_list(dir.string(), kinds, true, &entries, &why)) << why;
    EXPECT_EQ(names(entries), (std::vector<std::string>{"../", "Apps/", "games/", "link-to-games/", "A.DSK",
                                                        "b.img", "Zeta.Dsk", "c.dsk.bak", "notes.txt"}));
    EXPECT_FALSE(entries.back().of_kind);

    // No kinds at all (a machine without drives): every file is "other".
    ASSERT_TRUE(file_list(dir.string(), file_kinds(nullptr), false, &entries, &why));
    EXPECT_EQ(names(entries).size(), 4u);

    // Moving about: into a folder, up again; the root has no "..".
    EXPECT_EQ(file_enter(dir.string(), "games"), (dir / "games").string());
    EXPECT_EQ(file_enter((dir / "games").string(), ".."), dir.string());
    ASSERT_TRUE(file_list("/", kinds, false, &entries, &why));
    EXPECT_TRUE(entries.empty() || entries[0].name != "..");

    // A folder that is gone or cannot be read: the reason, no entries, no crash.
    EXPECT_FALSE(file_list((dir / "missing").string(), kinds, true, &entries, &why));
    EXPECT_NE(why.find("missing"), std::string::npos);
    EXPECT_TRUE(entries.empty());
    if (geteuid() != 0) {
        chmod((dir / "Apps").c_str(), 0);
        EXPECT_FALSE(file_list((dir / "Apps").string(), kinds, true, &entries, &why));
        chmod((dir / "Apps").c_str(), 0755);
    }
    EXPECT_FALSE(file_list((dir / "notes.txt").string(), kinds, true, &entries, &why)); // a file

    EXPECT_TRUE(file_is_of_kind("X.TZX", file_kinds(".tap;.tzx")));
    EXPECT_FALSE(file_is_of_kind(".tzx", file_kinds(".tzx"))); // a name needs more than its ending
    EXPECT_FALSE(file_is_of_kind("tzx", file_kinds(".tzx")));
    std::filesystem::remove_all(dir);
}

} // namespace
