// File names on the command line: a relative name means a file where the user is when
// that file is there, else a file of the data directory.
#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <string>

#include "host/options.h"

namespace {

bool is_file(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// A name the machines take as a file of the data directory: not absolute, no drive.
bool is_relative(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return false;
    return !(name.size() >= 2 && name[1] == ':');
}

} // namespace

std::string host_resolve_argument_files(const std::string& text, const std::string& start_dir)
{
    if (start_dir.empty())
        return text;
    std::string out;
    bool changed = false;
    const char* cursor = text.c_str();
    bool in_quote = false;
    static char buffer[1025];
    while (const char* token = host_next_token(&cursor, buffer, &in_quote)) {
        std::string word = token;
        if (is_relative(word)) {
            std::string host_form = word;
            for (char& c : host_form)
                if (c == '\\')
                    c = '/';
            const std::string here = start_dir + (start_dir.back() == '/' ? "" : "/") + host_form;
            if (is_file(here)) {
                word = here;
                changed = true;
            }
        }
        if (!out.empty())
            out += ' ';
        out += std::strpbrk(word.c_str(), " \t") || word.empty() ? '"' + word + '"' : word;
    }
    // Untouched text stays exactly as given (the ZX reads it whole).
    return changed ? out : text;
}

const char* host_machine_for_file(const std::string& argument_text)
{
    const char* cursor = argument_text.c_str();
    bool in_quote = false;
    char first[1025];
    const char* word = host_next_token(&cursor, first, &in_quote);
    if (!word)
        return nullptr;
    std::string extension = word;
    const size_t dot = extension.find_last_of("./\\");
    if (dot == std::string::npos || extension[dot] != '.')
        return nullptr;
    extension.erase(0, dot);
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".dsk" || extension == ".img")
        return "uknc";
    if (extension == ".rks")
        return "specialist";
    return nullptr;
}
