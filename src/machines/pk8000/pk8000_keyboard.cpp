// PK8000 keyboard matrix (10 rows of 8 keys, read inverted at port 0x81) and the
// joystick byte at port 0x8C, both rebuilt from the key snapshot once per frame. The
// Specialist builds its own matrix and joystick byte from the same tables.
#include <cstring>

#include "host/host.h"
#include "machines/pk8000/pk8000.h"

namespace {

struct KeyBinding {
    uint8_t length; // 4 for a record, 0 ends the table
    uint8_t code;   // host key code (set-1 scan code, E0 keys + 0x80)
    uint8_t row;
    uint8_t mask;
};

constexpr KeyBinding key_table[] = {
    {4, 0x0B, 0, 0x01}, {4, 0x02, 0, 0x02}, {4, 0x03, 0, 0x04}, {4, 0x04, 0, 0x08}, // 0 1 2 3
    {4, 0x05, 0, 0x10}, {4, 0x06, 0, 0x20}, {4, 0x07, 0, 0x40}, {4, 0x08, 0, 0x80}, // 4 5 6 7
    {4, 0x09, 1, 0x01}, {4, 0x0A, 1, 0x02}, {4, 0x33, 1, 0x04}, {4, 0x0C, 1, 0x08}, // 8 9 , -
    {4, 0x34, 1, 0x10}, {4, 0x27, 1, 0x40},                                         // . ;
    {4, 0x1A, 2, 0x01}, {4, 0x1B, 2, 0x04}, {4, 0x1E, 2, 0x40}, {4, 0x30, 2, 0x80}, // [ ] A B
    {4, 0x2E, 3, 0x01}, {4, 0x20, 3, 0x02}, {4, 0x12, 3, 0x04}, {4, 0x21, 3, 0x08}, // C D E F
    {4, 0x22, 3, 0x10}, {4, 0x23, 3, 0x20}, {4, 0x17, 3, 0x40}, {4, 0x24, 3, 0x80}, // G H I J
    {4, 0x25, 4, 0x01}, {4, 0x26, 4, 0x02}, {4, 0x32, 4, 0x04}, {4, 0x31, 4, 0x08}, // K L M N
    {4, 0x18, 4, 0x10}, {4, 0x19, 4, 0x20}, {4, 0x10, 4, 0x40}, {4, 0x13, 4, 0x80}, // O P Q R
    {4, 0x1F, 5, 0x01}, {4, 0x14, 5, 0x02}, {4, 0x16, 5, 0x04}, {4, 0x2F, 5, 0x08}, // S T U V
    {4, 0x11, 5, 0x10}, {4, 0x2D, 5, 0x20}, {4, 0x15, 5, 0x40}, {4, 0x2C, 5, 0x80}, // W X Y Z
    {4, 0x2A, 6, 0x01}, {4, 0x36, 6, 0x01}, {4, 0x1D, 6, 0x02}, {4, 0xB8, 6, 0x04}, // Shifts, LCtrl, RAlt
    {4, 0x3A, 6, 0x08}, {4, 0x38, 6, 0x10}, {4, 0x3B, 6, 0x20}, {4, 0x3C, 6, 0x40}, // Caps, LAlt, F1 F2
    {4, 0x3D, 6, 0x80},                                                             // F3
    {4, 0x3E, 7, 0x01}, {4, 0x3F, 7, 0x02}, {4, 0x01, 7, 0x04}, {4, 0x0F, 7, 0x08}, // F4 F5 Esc Tab
    {4, 0x0E, 7, 0x20}, {4, 0x9D, 7, 0x40}, {4, 0x1C, 7, 0x80},                     // Bksp RCtrl Enter
    {4, 0x39, 8, 0x01},                                                             // Space
    {4, 0xCB, 8, 0x10}, {4, 0x4B, 8, 0x10}, {4, 0xC8, 8, 0x20}, {4, 0x48, 8, 0x20}, // Left, Up
    {4, 0xD0, 8, 0x40}, {4, 0x50, 8, 0x40}, {4, 0xCD, 8, 0x80}, {4, 0x4D, 8, 0x80}, // Down, Right
    // Keys of the real keyboard that have a PC key of the same legend or place: ": *",
    // "/ ?", "Э \", "Ъ _" (right of "= -", where the PC has "="), "Ю `", Insert (ВЗ),
    // Delete (ИЗ), and the keypad of row 9 (7 home, 9, 5, 1, 3, "." end of line, 0).
    {4, 0x28, 1, 0x20}, {4, 0x35, 1, 0x80}, {4, 0x2B, 2, 0x02}, {4, 0x0D, 2, 0x10}, // ' / \ =
    {4, 0x29, 2, 0x20}, {4, 0xD2, 8, 0x04}, {4, 0xD3, 8, 0x08},                     // ` Ins Del
    {4, 0x47, 9, 0x01}, {4, 0xC7, 9, 0x01}, {4, 0x49, 9, 0x02}, {4, 0x4C, 9, 0x04}, // kp7 Home kp9 kp5
    {4, 0x4F, 9, 0x08}, {4, 0x51, 9, 0x10}, {4, 0x53, 9, 0x20}, {4, 0xCF, 9, 0x20}, // kp1 kp3 kp. End
    {4, 0x52, 9, 0x40},                                                             // kp0
    {0, 0, 0, 0},
};

// Keys that switch to an alternative table while held. Right Shift is listed with an
// empty table: it stays an ordinary Shift.
struct KeyModifier {
    uint8_t code;
    const KeyBinding* table;
};
constexpr KeyBinding no_bindings[] = {{0, 0, 0, 0}};
constexpr KeyModifier modifiers[] = {{0x36, no_bindings}};

struct JoystickBit {
    uint8_t code;
    uint8_t mask;
};
constexpr JoystickBit joystick_bits[] = {
    {0xC8, 0x01}, {0xD0, 0x02}, {0xCB, 0x04}, {0xCD, 0x08}, {0x39, 0x10}, {0x1C, 0x20},
};

void apply(const KeyBinding* table, uint8_t* matrix)
{
    for (const KeyBinding* k = table; k->length != 0; ++k)
        if (key_down(k->code)) matrix[k->row] |= k->mask;
}

} // namespace

void pk8000_build_key_inputs(uint8_t matrix[16], uint8_t* joystick)
{
    uint8_t bits = 0;
    for (const JoystickBit& j : joystick_bits)
        if (key_down(j.code)) bits |= j.mask;
    *joystick = bits;

    std::memset(matrix, 0, 16);
    for (const KeyModifier& m : modifiers)
        if (key_down(m.code)) apply(m.table, matrix);
    apply(key_table, matrix);
}

void pk8000_scan_keys() { pk8000_build_key_inputs(pk8000.matrix, &pk8000.joystick); }
