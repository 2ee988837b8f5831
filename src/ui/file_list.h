// The file browser's listing: a folder's entries in the order the browser shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FileEntry {
    std::string name;
    bool folder = false;
    bool of_kind = false; // a file the drive takes (by its name's ending)
    uint64_t size = 0;
};

// ".dsk;.img" -> {".dsk", ".img"} (lower case, each with its dot).
std::vector<std::string> file_kinds(const char* kinds);
// True when the name ends in one of the kinds, case not minded.
bool file_is_of_kind(const std::string& name, const std::vector<std::string>& kinds);
// The folder's entries: ".." (unless it is the root), then the folders, then the files of
// the kinds, then (all_files) every other file; each group by name, case not minded.
// Hidden entries (a leading '.') are left out. False with the reason when the folder
// cannot be read.
bool file_list(const std::string& folder, const std::vector<std::string>& kinds, bool all_files,
               std::vector<FileEntry>* entries, std::string* why);
// The folder a path names after moving into `name` (".." goes up), made absolute and plain.
std::string file_enter(const std::string& folder, const std::string& name);
