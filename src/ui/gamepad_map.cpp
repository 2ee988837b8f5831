// Gamepad mapping and the ZX typing chords.
#include "ui/gamepad_map.h"

#include <cstring>
#include <sstream>

namespace {

constexpr uint8_t key_up = 0xC8, key_down = 0xD0, key_left = 0xCB, key_right = 0xCD;
constexpr uint8_t key_space = 0x39, key_enter = 0x1C, key_left_ctrl = 0x1D, key_left_shift = 0x2A;

const char* const action_names[] = {"none", "fire", "space", "enter", "ctrl"};
const char* const button_names[pad_buttons] = {"a", "b", "x", "y"};

void hold(PadOutput* out, uint8_t code)
{
    for (int i = 0; i < out->key_count; ++i)
        if (out->keys[i] == code)
            return;
    if (out->key_count < int(sizeof out->keys))
        out->keys[out->key_count++] = code;
}

// Letter and digit keys of the PC (set-1 codes), the keys the ZX keyboard map reads.
uint8_t letter_code(char c)
{
    static const uint8_t codes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                      0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                      0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    return codes[c - 'a'];
}
uint8_t digit_code(char c) { return c == '0' ? 0x0B : uint8_t(0x02 + (c - '1')); }

} // namespace

const char* pad_action_name(PadAction action) { return action_names[int(action)]; }

PadOutput pad_map(const PadMapping& mapping, MachineJoystick machine, const PadInput& input)
{
    PadOutput out;
    const bool kempston = mapping.target == PadTarget::JOYSTICK && machine == MachineJoystick::KEMPSTON;
    if (kempston) {
        out.kempston = uint8_t((input.right ? 0x01 : 0) | (input.left ? 0x02 : 0) | (input.down ? 0x04 : 0) |
                               (input.up ? 0x08 : 0));
    } else {
        // The arrow keys: the PK8000's joystick too, and the cursor keys of the others.
        if (input.up)
            hold(&out, key_up);
        if (input.down)
            hold(&out, key_down);
        if (input.left)
            hold(&out, key_left);
        if (input.right)
            hold(&out, key_right);
    }
    for (int b = 0; b < pad_buttons; ++b) {
        if (!input.buttons[b])
            continue;
        switch (mapping.buttons[b]) {
        case PadAction::NONE:
            break;
        case PadAction::FIRE:
            if (kempston)
                out.kempston |= 0x10;
            else
                hold(&out, key_space);
            break;
        case PadAction::SPACE:
            hold(&out, key_space);
            break;
        case PadAction::ENTER:
            hold(&out, key_enter);
            break;
        case PadAction::CTRL:
            hold(&out, key_left_ctrl);
            break;
        }
    }
    return out;
}

std::string pad_mapping_format(const PadMapping& mapping)
{
    std::string s = mapping.target == PadTarget::JOYSTICK ? "joystick" : "arrows";
    for (int b = 0; b < pad_buttons; ++b)
        s += std::string(" ") + button_names[b] + "=" + action_names[int(mapping.buttons[b])];
    return s;
}

bool pad_mapping_parse(const std::string& text, PadMapping* mapping)
{
    std::istringstream in(text);
    std::string word;
    bool all = true;
    while (in >> word) {
        if (word == "joystick") {
            mapping->target = PadTarget::JOYSTICK;
            continue;
        }
        if (word == "arrows") {
            mapping->target = PadTarget::ARROWS;
            continue;
        }
        size_t eq = word.find('=');
        bool understood = false;
        if (eq != std::string::npos) {
            std::string button = word.substr(0, eq), action = word.substr(eq + 1);
            for (int b = 0; b < pad_buttons; ++b)
                for (int a = 0; a < int(std::size(action_names)); ++a)
                    if (button == button_names[b] && action == action_names[a]) {
                        mapping->buttons[b] = PadAction(a);
                        understood = true;
                    }
        }
        all = all && understood;
    }
    return all;
}

KeyChord zx_typing_chord(char32_t character)
{
    KeyChord chord;
    auto set = [&](uint8_t a, uint8_t b = 0) {
        chord.codes[0] = a;
        chord.codes[1] = b;
        chord.count = b ? 2 : 1;
        return chord;
    };
    if (character >= 'a' && character <= 'z')
        return set(letter_code(char(character)));
    if (character >= 'A' && character <= 'Z')
        return set(key_left_shift, letter_code(char(character - 'A' + 'a')));
    if (character >= '0' && character <= '9')
        return set(digit_code(char(character)));
    if (character == ' ')
        return set(key_space);
    // SYMBOL SHIFT with the key that carries the symbol in red on the ZX keyboard.
    static const struct {
        char symbol;
        char key;
    } symbols[] = {
        {'!', '1'}, {'@', '2'}, {'#', '3'}, {'$', '4'}, {'%', '5'}, {'&', '6'}, {'\'', '7'},
        {'(', '8'}, {')', '9'}, {'_', '0'}, {'<', 'r'}, {'>', 't'}, {';', 'o'}, {'"', 'p'},
        {'^', 'h'}, {'-', 'j'}, {'+', 'k'}, {'=', 'l'}, {':', 'z'}, {'?', 'c'}, {'/', 'v'},
        {'*', 'b'}, {',', 'n'}, {'.', 'm'},
    };
    for (const auto& s : symbols)
        if (char32_t(s.symbol) == character)
            return set(key_left_ctrl, s.key >= 'a' ? letter_code(s.key) : digit_code(s.key));
    if (character == U'£')
        return set(key_left_ctrl, letter_code('x'));
    return chord;
}
