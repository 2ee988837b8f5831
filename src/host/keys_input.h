// Key codes from the host keyboard and from scripted key events.
//
// SDL reports physical keys as USB HID usage numbers (its scancodes); machines read PC
// set-1 scan codes with E0-prefixed keys at code + 0x80. The translation is a table over
// the usage numbers so that it needs no SDL header and tests can call it directly.
// The keys script drives KeyState from a file: one event per line "FRAME KEY down|up".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Set-1 key code of an SDL scancode (USB HID usage); 0 for keys without a code.
uint8_t key_code_from_scancode(uint32_t scancode);
// Key code of a name ("A", "SPACE", "LSHIFT", "F1", "UP", "KP5" ...) or of a number
// ("0x1E", "30"); false when neither.
bool key_code_from_name(const char* name, uint8_t* code);

struct KeyEvent {
    uint32_t frame; // applied before the machine's frame of this index (0 = the first)
    uint8_t code;
    bool down;
};
// Parses a keys script; '#' starts a comment. On error returns false with "line N: ...".
bool parse_key_script(const std::string& text, std::vector<KeyEvent>* events,
                      std::string* error);
