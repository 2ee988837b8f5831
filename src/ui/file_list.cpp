// The file browser's listing.
#include "ui/file_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::vector<std::string> file_kinds(const char* kinds)
{
    std::vector<std::string> out;
    std::string k = kinds ? kinds : "";
    size_t start = 0;
    while (start <= k.size()) {
        size_t end = k.find(';', start);
        if (end == std::string::npos)
            end = k.size();
        std::string one = lower(k.substr(start, end - start));
        if (!one.empty())
            out.push_back(one[0] == '.' ? one : "." + one);
        start = end + 1;
    }
    return out;
}

bool file_is_of_kind(const std::string& name, const std::vector<std::string>& kinds)
{
    std::string n = lower(name);
    for (const std::string& k : kinds)
        if (n.size() > k.size() && n.compare(n.size() - k.size(), k.size(), k) == 0)
            return true;
    return false;
}

bool file_list(const std::string& folder, const std::vector<std::string>& kinds, bool all_files,
               std::vector<FileEntry>* entries, std::string* why)
{
    entries->clear();
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) {
        *why = "can't read folder " + folder + ": " + error.message();
        return false;
    }
    std::vector<FileEntry> folders, matching, others;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.')
            continue;
        FileEntry e;
        e.name = name;
        std::error_code type_error;
        e.folder = it->is_directory(type_error); // follows links
        if (e.folder) {
            folders.push_back(e);
            continue;
        }
        e.size = it->is_regular_file(type_error) ? uint64_t(it->file_size(type_error)) : 0;
        e.of_kind = file_is_of_kind(name, kinds);
        (e.of_kind ? matching : others).push_back(e);
    }
    auto by_name = [](const FileEntry& a, const FileEntry& b) {
        std::string la = lower(a.name), lb = lower(b.name);
        return la != lb ? la < lb : a.name < b.name;
    };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(matching.begin(), matching.end(), by_name);
    std::sort(others.begin(), others.end(), by_name);
    fs::path absolute = fs::absolute(folder, error).lexically_normal();
    if (absolute.has_relative_path() && absolute != absolute.root_path()) {
        FileEntry up;
        up.name = "..";
        up.folder = true;
        entries->push_back(up);
    }
    entries->insert(entries->end(), folders.begin(), folders.end());
    entries->insert(entries->end(), matching.begin(), matching.end());
    if (all_files)
        entries->insert(entries->end(), others.begin(), others.end());
    return true;
}

std::string file_enter(const std::string& folder, const std::string& name)
{
    std::error_code error;
    fs::path p = fs::absolute(fs::path(folder) / name, error).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}
