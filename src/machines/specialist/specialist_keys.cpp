// Specialist keys. The machine's own 12 x 6 matrix (rows from the top of its keyboard,
// columns from the left) is rebuilt from the key snapshot every frame and read through the
// parallel interface. PC keys map by position: the digit row to row 1, Q..] to row 2,
// A..\ to row 3, Z../ to row 4, the function keys to row 0 and the editing keys as named.
// The PK8000-style matrix and joystick byte are rebuilt too, for the console monitor.
#include "machines/pk8000/pk8000.h"
#include "machines/specialist/specialist.h"

namespace {

struct SpecialistKey {
    uint8_t code;   // host key code (set-1 scan code, E0 keys + 0x80)
    uint8_t row;    // 0..5
    uint8_t column; // 0..11
};

constexpr SpecialistKey key_map[] = {
    // Row 0: the monitor's command keys on F1-F12.
    {0x3B, 0, 0}, {0x3C, 0, 1}, {0x3D, 0, 2}, {0x3E, 0, 3}, {0x3F, 0, 4}, {0x40, 0, 5},
    {0x41, 0, 6}, {0x42, 0, 7}, {0x43, 0, 8}, {0x44, 0, 9}, {0x57, 0, 10}, {0x58, 0, 11},
    // Row 1: ; + | 1 ! ... 9 ) | 0 | - =
    {0x29, 1, 0}, {0x02, 1, 1}, {0x03, 1, 2}, {0x04, 1, 3}, {0x05, 1, 4}, {0x06, 1, 5},
    {0x07, 1, 6}, {0x08, 1, 7}, {0x09, 1, 8}, {0x0A, 1, 9}, {0x0B, 1, 10}, {0x0C, 1, 11},
    // Row 2: Й J, Ц C, У U, К K, Е E, Н N, Г G, Ш [, Щ ], З Z, Х H, : *
    {0x10, 2, 0}, {0x11, 2, 1}, {0x12, 2, 2}, {0x13, 2, 3}, {0x14, 2, 4}, {0x15, 2, 5},
    {0x16, 2, 6}, {0x17, 2, 7}, {0x18, 2, 8}, {0x19, 2, 9}, {0x1A, 2, 10}, {0x1B, 2, 11},
    // Row 3: Ф F, Ы Y, В W, А A, П P, Р R, О O, Л L, Д D, Ж V, Э \, . >
    {0x1E, 3, 0}, {0x1F, 3, 1}, {0x20, 3, 2}, {0x21, 3, 3}, {0x22, 3, 4}, {0x23, 3, 5},
    {0x24, 3, 6}, {0x25, 3, 7}, {0x26, 3, 8}, {0x27, 3, 9}, {0x28, 3, 10}, {0x2B, 3, 11},
    // Row 4: Я Q, Ч ^, С S, М M, И I, Т T, Ь X, Б B, Ю @, , <, / ?, back space
    {0x2C, 4, 0}, {0x2D, 4, 1}, {0x2E, 4, 2}, {0x2F, 4, 3}, {0x30, 4, 4}, {0x31, 4, 5},
    {0x32, 4, 6}, {0x33, 4, 7}, {0x34, 4, 8}, {0x35, 4, 9}, {0xB5, 4, 10}, {0x0E, 4, 11},
    // Row 5: rus/lat, Home, up, down, (two unused), space, left, ПВ, right, line feed, enter
    {0x1D, 5, 0}, {0xC7, 5, 1}, {0xC8, 5, 2}, {0xD0, 5, 3}, {0x39, 5, 6}, {0xCB, 5, 7},
    {0xB8, 5, 8}, {0xCD, 5, 9}, {0x9C, 5, 10}, {0x1C, 5, 11},
    // The keypad's arrows and Home as well.
    {0x47, 5, 1}, {0x48, 5, 2}, {0x50, 5, 3}, {0x4B, 5, 7}, {0x4D, 5, 9},
};

} // namespace

void specialist_build_inputs()
{
    pk8000_build_key_inputs(specialist.keyboard_matrix, &specialist.joystick);
    for (uint16_t& row : specialist.key_rows) row = 0;
    for (const SpecialistKey& k : key_map)
        if (key_down(k.code)) specialist.key_rows[k.row] |= uint16_t(1u << k.column);
    specialist.shift_down = key_down(0x2A) || key_down(0x36);
}
