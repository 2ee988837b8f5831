// The settings file, $XDG_CONFIG_HOME/korvel/korvel.conf (~/.config/korvel/korvel.conf):
// lines "key = value" under "[section]" headings ("[zx]", "[uknc]"; keys before the first
// heading are the program's own), '#' starts a comment line. Keys may repeat (the recent
// files). Written whole, into korvel.conf.part renamed over the old one: a crash mid-write
// leaves the old file whole.
#pragma once

#include <string>
#include <vector>

struct SettingsEntry {
    std::string section; // "" for the program's own keys
    std::string key;
    std::string value;
};

struct Settings {
    std::vector<SettingsEntry> entries;
};

enum class SettingsStatus {
    OK,
    MISSING,    // no file yet
    EMPTY,      // a file with nothing in it
    UNREADABLE, // cannot be read (permissions, a folder)
    DAMAGED,    // not in the format: nothing of it is used
};

// Where the settings live: $XDG_CONFIG_HOME/korvel/korvel.conf, else
// $HOME/.config/korvel/korvel.conf; "" when neither variable is set.
std::string settings_default_path();
// Reads the file. Anything but OK leaves settings empty (the defaults) and says why in
// one line.
SettingsStatus settings_load(Settings* settings, const std::string& path, std::string* why);
// Parses the text of a settings file; false (why: line number and what is wrong) when it
// is damaged.
bool settings_parse(const std::string& text, Settings* settings, std::string* why);
std::string settings_format(const Settings& settings);
// Writes the file (creating its folder); false with the reason.
bool settings_save(const Settings& settings, const std::string& path, std::string* why);

// The value of a key (the last one when it repeats), or fallback.
std::string settings_get(const Settings& settings, const std::string& section, const std::string& key,
                         const std::string& fallback = "");
// A whole number in [low, high], else fallback (missing, not a number, out of range).
int settings_get_int(const Settings& settings, const std::string& section, const std::string& key, int low,
                     int high, int fallback);
// Replaces every value of the key by one value.
void settings_set(Settings* settings, const std::string& section, const std::string& key,
                  const std::string& value);
void settings_set_int(Settings* settings, const std::string& section, const std::string& key, int value);
// Every value of a repeated key, in file order; replacing the list.
std::vector<std::string> settings_get_list(const Settings& settings, const std::string& section,
                                           const std::string& key);
void settings_set_list(Settings* settings, const std::string& section, const std::string& key,
                       const std::vector<std::string>& values);

// Recent files: path moved (or added) to the front, at most `limit` kept.
void recent_files_add(std::vector<std::string>* list, const std::string& path, size_t limit = 10);
