// Gamepads and the keyboard's typing mode as machine input: what a pad's stick, d-pad and
// buttons press, and the key chords that type a PC character on the ZX.
#pragma once

#include <cstdint>
#include <string>

#include "host/machine_ui.h"

enum class PadTarget : uint8_t {
    JOYSTICK, // the machine's joystick (the ZX's Kempston, the PK8000's port 0x8C)
    ARROWS,   // the arrow keys
};
enum class PadAction : uint8_t { NONE, FIRE, SPACE, ENTER, CTRL };
inline constexpr int pad_buttons = 4; // A, B, X, Y

struct PadMapping {
    PadTarget target = PadTarget::JOYSTICK;
    PadAction buttons[pad_buttons] = {PadAction::FIRE, PadAction::SPACE, PadAction::ENTER, PadAction::NONE};
};

struct PadInput {
    bool up = false, down = false, left = false, right = false;
    bool buttons[pad_buttons] = {};
};

struct PadOutput {
    uint8_t kempston = 0;  // the Kempston byte (a machine with a Kempston interface)
    uint8_t keys[8] = {};  // key codes held
    int key_count = 0;
};

// What the pad does on this machine. Fire is the Kempston fire bit on the ZX and Space
// elsewhere (the PK8000 reads Space as its joystick's button).
PadOutput pad_map(const PadMapping& mapping, MachineJoystick machine, const PadInput& input);
// Settings text: "joystick a=fire b=space x=enter y=none"; parsing keeps the defaults for
// anything it does not understand and says whether all was understood.
std::string pad_mapping_format(const PadMapping& mapping);
bool pad_mapping_parse(const std::string& text, PadMapping* mapping);
const char* pad_action_name(PadAction action);

// The ZX keyboard's typing mode: the key chord (PC key codes the ZX keyboard map reads:
// Left Shift = CAPS SHIFT, Left Ctrl = SYMBOL SHIFT) that types the character; count 0 when
// the ZX cannot type it.
struct KeyChord {
    uint8_t codes[2] = {};
    int count = 0;
};
KeyChord zx_typing_chord(char32_t character);
