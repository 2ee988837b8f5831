// Recording the keyboard of a session as a keys file.
#include "host/key_recorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/keys_input.h"

namespace {

FILE* file = nullptr;
bool write_failed = false;
uint8_t last[256];

} // namespace

std::string key_name_from_code(uint8_t code)
{
    // The names the parser knows, tried in a fixed order so that a code always gets the
    // same (first) name; a code without one is written as a number.
    static const char* const names[] = {
        "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S",
        "T", "U", "V", "W", "X", "Y", "Z", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "F1", "F2",
        "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12", "ESC", "BACKSPACE", "TAB",
        "ENTER", "SPACE", "MINUS", "EQUALS", "LBRACKET", "RBRACKET", "BACKSLASH", "SEMICOLON",
        "APOSTROPHE", "GRAVE", "COMMA", "PERIOD", "SLASH", "CAPSLOCK", "NUMLOCK", "SCROLLLOCK",
        "LSHIFT", "RSHIFT", "LCTRL", "RCTRL", "LALT", "RALT", "LWIN", "RWIN", "MENU", "PRINTSCREEN",
        "PAUSE", "INSERT", "DELETE", "HOME", "END", "PGUP", "PGDN", "UP", "DOWN", "LEFT", "RIGHT",
        "KPENTER", "KPPLUS", "KPMINUS", "KPMULTIPLY", "KPDIVIDE", "KPPERIOD", "KP0", "KP1", "KP2",
        "KP3", "KP4", "KP5", "KP6", "KP7", "KP8", "KP9",
    };
    for (const char* name : names) {
        uint8_t c = 0;
        if (key_code_from_name(name, &c) && c == code)
            return name;
    }
    char number[8];
    std::snprintf(number, sizeof number, "0x%02X", code);
    return number;
}

std::string key_change_lines(uint32_t frame, const uint8_t (&before)[256], const uint8_t (&now)[256])
{
    std::string lines;
    for (int code = 0; code < 256; ++code) {
        bool was = before[code] & 0x80, is = now[code] & 0x80;
        if (was != is)
            lines += std::to_string(frame) + " " + key_name_from_code(uint8_t(code)) + (is ? " down\n" : " up\n");
    }
    return lines;
}

bool key_recorder_open(const std::string& path, const std::string& machine, std::string* why)
{
    file = std::fopen(path.c_str(), "w");
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    std::memset(last, 0, sizeof last);
    write_failed = false;
    std::fprintf(file,
                 "# Keys of a korvel session (--machine %s), recorded with --record-keys.\n"
                 "# Replay: korvel --headless --machine %s --keys FILE (same data directory and arguments)\n"
                 "# FRAME = frames presented before the event; KEY down|up\n",
                 machine.c_str(), machine.c_str());
    return true;
}

bool key_recorder_active() { return file != nullptr; }

void key_recorder_frame(uint32_t frame, const uint8_t (&visible)[256])
{
    if (!file)
        return;
    std::string lines = key_change_lines(frame, last, visible);
    if (lines.empty())
        return;
    std::memcpy(last, visible, sizeof last);
    // Flushed at once: a session that ends abruptly keeps what it recorded.
    if (std::fputs(lines.c_str(), file) < 0 || std::fflush(file) != 0)
        write_failed = true;
}

bool key_recorder_close()
{
    if (!file)
        return true;
    bool ok = !write_failed && !std::ferror(file);
    ok = std::fclose(file) == 0 && ok;
    file = nullptr;
    return ok;
}
