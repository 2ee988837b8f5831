// The settings file: parsing, formatting, typed access and the recent-files list.
#include "ui/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool valid_name(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

} // namespace

std::string settings_default_path()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return std::string(config) + "/korvel/korvel.conf";
    const char* home = std::getenv("HOME");
    if (home && *home)
        return std::string(home) + "/.config/korvel/korvel.conf";
    return "";
}

bool settings_parse(const std::string& text, Settings* settings, std::string* why)
{
    settings->entries.clear();
    std::string section;
    size_t line_number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        ++line_number;
        auto damaged = [&](const char* what) {
            *why = "line " + std::to_string(line_number) + ": " + what;
            settings->entries.clear();
            return false;
        };
        if (line.find('\0') != std::string::npos)
            return damaged("not text");
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || !valid_name(line.substr(1, line.size() - 2)))
                return damaged("a bad section heading");
            section = line.substr(1, line.size() - 2);
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return damaged("no '=' between key and value");
        std::string key = trim(line.substr(0, eq));
        if (!valid_name(key))
            return damaged("a bad key");
        settings->entries.push_back({section, key, trim(line.substr(eq + 1))});
    }
    return true;
}

SettingsStatus settings_load(Settings* settings, const std::string& path, std::string* why)
{
    settings->entries.clear();
    std::error_code error;
    if (path.empty()) {
        *why = "no settings file (neither XDG_CONFIG_HOME nor HOME is set)";
        return SettingsStatus::MISSING;
    }
    if (!std::filesystem::exists(path, error)) {
        *why = "no settings file " + path + " yet";
        return SettingsStatus::MISSING;
    }
    if (std::filesystem::is_directory(path, error)) {
        *why = "can't read settings file " + path + ": it is a folder";
        return SettingsStatus::UNREADABLE;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *why = "can't read settings file " + path + ": " + std::strerror(errno);
        return SettingsStatus::UNREADABLE;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        *why = "can't read settings file " + path;
        return SettingsStatus::UNREADABLE;
    }
    std::string content = text.str();
    if (content.find_first_not_of(" \t\r\n") == std::string::npos) {
        *why = "settings file " + path + " is empty";
        return SettingsStatus::EMPTY;
    }
    std::string where;
    if (!settings_parse(content, settings, &where)) {
        *why = "settings file " + path + " is damaged (" + where + ")";
        return SettingsStatus::DAMAGED;
    }
    return SettingsStatus::OK;
}

std::string settings_format(const Settings& settings)
{
    std::string out = "# Korvel settings: written by the program whenever they change.\n";
    // The program's own keys first (they come before any heading), then each section once.
    std::vector<std::string> sections{""};
    for (const SettingsEntry& e : settings.entries)
        if (std::find(sections.begin(), sections.end(), e.section) == sections.end())
            sections.push_back(e.section);
    for (const std::string& section : sections) {
        if (!section.empty())
            out += "\n[" + section + "]\n";
        for (const SettingsEntry& e : settings.entries)
            if (e.section == section)
                out += e.key + " = " + e.value + "\n";
    }
    return out;
}

bool settings_save(const Settings& settings, const std::string& path, std::string* why)
{
    if (path.empty()) {
        *why = "no place for the settings file (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << settings_format(settings);
        out.flush();
        if (!out) {
            *why = "can't write settings file " + temporary + ": " + std::strerror(errno);
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *why = "can't write settings file " + path + ": " + std::strerror(errno);
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

std::string settings_get(const Settings& settings, const std::string& section, const std::string& key,
                         const std::string& fallback)
{
    for (auto it = settings.entries.rbegin(); it != settings.entries.rend(); ++it)
        if (it->section == section && it->key == key)
            return it->value;
    return fallback;
}

int settings_get_int(const Settings& settings, const std::string& section, const std::string& key, int low,
                     int high, int fallback)
{
    std::string value = settings_get(settings, section, key);
    if (value.empty())
        return fallback;
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(value.c_str(), &end, 10);
    if (errno || *end || n < low || n > high)
        return fallback;
    return int(n);
}

void settings_set_list(Settings* settings, const std::string& section, const std::string& key,
                       const std::vector<std::string>& values)
{
    auto& entries = settings->entries;
    auto first = std::find_if(entries.begin(), entries.end(),
                              [&](const SettingsEntry& e) { return e.section == section && e.key == key; });
    size_t at = first == entries.end() ? entries.size() : size_t(first - entries.begin());
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const SettingsEntry& e) { return e.section == section && e.key == key; }),
                  entries.end());
    at = std::min(at, entries.size());
    for (const std::string& v : values) {
        // Values are single lines.
        std::string clean = v;
        std::replace(clean.begin(), clean.end(), '\n', ' ');
        entries.insert(entries.begin() + long(at++), {section, key, trim(clean)});
    }
}

void settings_set(Settings* settings, const std::string& section, const std::string& key,
                  const std::string& value)
{
    settings_set_list(settings, section, key, {value});
}

void settings_set_int(Settings* settings, const std::string& section, const std::string& key, int value)
{
    settings_set(settings, section, key, std::to_string(value));
}

std::vector<std::string> settings_get_list(const Settings& settings, const std::string& section,
                                           const std::string& key)
{
    std::vector<std::string> values;
    for (const SettingsEntry& e : settings.entries)
        if (e.section == section && e.key == key)
            values.push_back(e.value);
    return values;
}

void recent_files_add(std::vector<std::string>* list, const std::string& path, size_t limit)
{
    list->erase(std::remove(list->begin(), list->end(), path), list->end());
    list->insert(list->begin(), path);
    if (list->size() > limit)
        list->resize(limit);
}
