// Translation of host keys to set-1 key codes, key names and the keys script.
#include "host/keys_input.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

struct ScancodeCode {
    uint16_t scancode; // USB HID usage, which is what SDL calls a scancode
    uint8_t code;
};

// Letters follow the PC's QWERTY rows, not the alphabet.
constexpr uint8_t letter_codes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                      0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                      0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

constexpr ScancodeCode other_keys[] = {
    {40, 0x1C},  // Return
    {41, 0x01},  // Escape
    {42, 0x0E},  // Backspace
    {43, 0x0F},  // Tab
    {44, 0x39},  // Space
    {45, 0x0C},  // -
    {46, 0x0D},  // =
    {47, 0x1A},  // [
    {48, 0x1B},  // ]
    {49, 0x2B},  // backslash
    {50, 0x2B},  // the ISO key beside Return sits where backslash is on ANSI boards
    {51, 0x27},  // ;
    {52, 0x28},  // '
    {53, 0x29},  // `
    {54, 0x33},  // ,
    {55, 0x34},  // .
    {56, 0x35},  // /
    {57, 0x3A},  // Caps Lock
    {68, 0x57},  // F11
    {69, 0x58},  // F12
    {70, 0xB7},  // Print Screen
    {71, 0x46},  // Scroll Lock
    {72, 0xC5},  // Pause
    {73, 0xD2},  // Insert
    {74, 0xC7},  // Home
    {75, 0xC9},  // Page Up
    {76, 0xD3},  // Delete
    {77, 0xCF},  // End
    {78, 0xD1},  // Page Down
    {79, 0xCD},  // Right
    {80, 0xCB},  // Left
    {81, 0xD0},  // Down
    {82, 0xC8},  // Up
    {83, 0x45},  // Num Lock
    {84, 0xB5},  // keypad /
    {85, 0x37},  // keypad *
    {86, 0x4A},  // keypad -
    {87, 0x4E},  // keypad +
    {88, 0x9C},  // keypad Enter
    {89, 0x4F},  // keypad 1
    {90, 0x50},  // keypad 2
    {91, 0x51},  // keypad 3
    {92, 0x4B},  // keypad 4
    {93, 0x4C},  // keypad 5
    {94, 0x4D},  // keypad 6
    {95, 0x47},  // keypad 7
    {96, 0x48},  // keypad 8
    {97, 0x49},  // keypad 9
    {98, 0x52},  // keypad 0
    {99, 0x53},  // keypad .
    {101, 0xDD}, // Menu
    {224, 0x1D}, // left Ctrl
    {225, 0x2A}, // left Shift
    {226, 0x38}, // left Alt
    {227, 0xDB}, // left Windows
    {228, 0x9D}, // right Ctrl
    {229, 0x36}, // right Shift
    {230, 0xB8}, // right Alt
    {231, 0xDC}, // right Windows
};

struct NamedKey {
    const char* name;
    uint8_t code;
};

constexpr NamedKey named_keys[] = {
    {"ESC", 0x01},        {"ESCAPE", 0x01},     {"BACKSPACE", 0x0E},  {"TAB", 0x0F},
    {"ENTER", 0x1C},      {"RETURN", 0x1C},     {"SPACE", 0x39},      {"MINUS", 0x0C},
    {"EQUALS", 0x0D},     {"LBRACKET", 0x1A},   {"RBRACKET", 0x1B},   {"BACKSLASH", 0x2B},
    {"SEMICOLON", 0x27},  {"APOSTROPHE", 0x28}, {"GRAVE", 0x29},      {"COMMA", 0x33},
    {"PERIOD", 0x34},     {"SLASH", 0x35},      {"CAPSLOCK", 0x3A},   {"NUMLOCK", 0x45},
    {"SCROLLLOCK", 0x46}, {"LSHIFT", 0x2A},     {"RSHIFT", 0x36},     {"LCTRL", 0x1D},
    {"RCTRL", 0x9D},      {"LALT", 0x38},       {"RALT", 0xB8},       {"LWIN", 0xDB},
    {"RWIN", 0xDC},       {"MENU", 0xDD},       {"F11", 0x57},        {"F12", 0x58},
    {"PRINTSCREEN", 0xB7}, {"PAUSE", 0xC5},     {"INSERT", 0xD2},     {"DELETE", 0xD3},
    {"HOME", 0xC7},       {"END", 0xCF},        {"PGUP", 0xC9},       {"PAGEUP", 0xC9},
    {"PGDN", 0xD1},       {"PAGEDOWN", 0xD1},   {"UP", 0xC8},         {"DOWN", 0xD0},
    {"LEFT", 0xCB},       {"RIGHT", 0xCD},      {"KPENTER", 0x9C},    {"KPPLUS", 0x4E},
    {"KPMINUS", 0x4A},    {"KPMULTIPLY", 0x37}, {"KPDIVIDE", 0xB5},   {"KPPERIOD", 0x53},
    {"KP0", 0x52},        {"KP1", 0x4F},        {"KP2", 0x50},        {"KP3", 0x51},
    {"KP4", 0x4B},        {"KP5", 0x4C},        {"KP6", 0x4D},        {"KP7", 0x47},
    {"KP8", 0x48},        {"KP9", 0x49},
};

} // namespace

uint8_t key_code_from_scancode(uint32_t scancode)
{
    if (scancode >= 4 && scancode <= 29) // A..Z
        return letter_codes[scancode - 4];
    if (scancode >= 30 && scancode <= 39) // 1..9, 0
        return uint8_t(scancode - 30 + 0x02);
    if (scancode >= 58 && scancode <= 67) // F1..F10
        return uint8_t(scancode - 58 + 0x3B);
    for (const ScancodeCode& k : other_keys)
        if (k.scancode == scancode)
            return k.code;
    return 0;
}

bool key_code_from_name(const char* name, uint8_t* code)
{
    if (!name || !*name)
        return false;
    std::string upper;
    for (const char* p = name; *p; ++p)
        upper += char(std::toupper(static_cast<unsigned char>(*p)));

    // A number: "0x1E" or decimal; a single digit is the digit key, not a code.
    if (upper.size() > 1 && std::isdigit(static_cast<unsigned char>(upper[0]))) {
        errno = 0;
        char* end = nullptr;
        unsigned long v = std::strtoul(upper.c_str(), &end, 0);
        if (errno || *end || v > 0xFF)
            return false;
        *code = uint8_t(v);
        return true;
    }
    if (upper.size() == 1) {
        char c = upper[0];
        if (c >= 'A' && c <= 'Z') {
            *code = letter_codes[c - 'A'];
            return true;
        }
        if (c >= '1' && c <= '9') {
            *code = uint8_t(c - '1' + 0x02);
            return true;
        }
        if (c == '0') {
            *code = 0x0B;
            return true;
        }
    }
    if (upper.size() >= 2 && upper[0] == 'F' && upper.size() <= 3) {
        int n = std::atoi(upper.c_str() + 1);
        if (n >= 1 && n <= 10 && upper.find_first_not_of("0123456789", 1) == std::string::npos) {
            *code = uint8_t(0x3B + n - 1);
            return true;
        }
    }
    for (const NamedKey& k : named_keys) {
        if (upper == k.name) {
            *code = k.code;
            return true;
        }
    }
    return false;
}

// A word of the script as it may be shown in an error line: control and non-ASCII bytes
// of a garbage file become '?', and a very long word is cut.
static std::string printable(const std::string& word)
{
    std::string out;
    for (char c : word.substr(0, 40))
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return word.size() > 40 ? out + "..." : out;
}

bool parse_key_script(const std::string& text, std::vector<KeyEvent>* events, std::string* error)
{
    std::istringstream in(text);
    std::string line;
    unsigned line_number = 0;
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') // written on DOS or Windows
            line.pop_back();
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::string frame_word, key_word, action_word, extra;
        if (!(words >> frame_word))
            continue; // blank or comment
        auto fail = [&](const std::string& why) {
            *error = "line " + std::to_string(line_number) + ": " + why;
            return false;
        };
        if (!(words >> key_word >> action_word))
            return fail("expected \"FRAME KEY down|up\"");
        if (words >> extra)
            return fail("unexpected text '" + printable(extra) + "'");
        if (frame_word.find_first_not_of("0123456789") != std::string::npos || frame_word.size() > 9)
            return fail("bad frame number '" + printable(frame_word) + "'");
        KeyEvent e;
        e.frame = uint32_t(std::stoul(frame_word));
        // A NUL byte would end the name early ("A<NUL>XYZ" read as A): such a word is no key.
        if (key_word.find('\0') != std::string::npos || !key_code_from_name(key_word.c_str(), &e.code))
            return fail("unknown key '" + printable(key_word) + "'");
        std::string action;
        for (char c : action_word)
            action += char(std::tolower(static_cast<unsigned char>(c)));
        if (action == "down")
            e.down = true;
        else if (action == "up")
            e.down = false;
        else
            return fail("expected down or up, not '" + printable(action_word) + "'");
        events->push_back(e);
    }
    // Events of one frame keep their file order.
    std::stable_sort(events->begin(), events->end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.frame < b.frame; });
    return true;
}
