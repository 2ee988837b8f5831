// ZX keyboard: host keys (PC set-1 codes) onto the 8 half-rows of the 40-key matrix,
// and the 256-entry answer table of IN from port 0xFE by the port's high byte.
#include "host/host.h"
#include "machines/zx/zx.h"

namespace {

// (half-row, bit) of each ZX key.
#define CS 0, 0x01
#define K_Z 0, 0x02
#define K_X 0, 0x04
#define K_C 0, 0x08
#define K_V 0, 0x10
#define K_A 1, 0x01
#define K_S 1, 0x02
#define K_D 1, 0x04
#define K_F 1, 0x08
#define K_G 1, 0x10
#define K_Q 2, 0x01
#define K_W 2, 0x02
#define K_E 2, 0x04
#define K_R 2, 0x08
#define K_T 2, 0x10
#define K_1 3, 0x01
#define K_2 3, 0x02
#define K_3 3, 0x04
#define K_4 3, 0x08
#define K_5 3, 0x10
#define K_0 4, 0x01
#define K_9 4, 0x02
#define K_8 4, 0x04
#define K_7 4, 0x08
#define K_6 4, 0x10
#define K_P 5, 0x01
#define K_O 5, 0x02
#define K_I 5, 0x04
#define K_U 5, 0x08
#define K_Y 5, 0x10
#define ENTER 6, 0x01
#define K_L 6, 0x02
#define K_K 6, 0x04
#define K_J 6, 0x08
#define K_H 6, 0x10
#define SPACE 7, 0x01
#define SS 7, 0x02
#define K_M 7, 0x04
#define K_N 7, 0x08
#define K_B 7, 0x10
// Records: length (2 + 2 x pairs), host key code, (half-row, mask) pairs; 0 ends a list.
#define ONE(code, key) 4, code, key
#define TWO(code, key1, key2) 6, code, key1, key2

const uint8_t key_map[] = {
    TWO(0x01, CS, SPACE), // Esc: BREAK
    ONE(0x02, K_1), ONE(0x03, K_2), ONE(0x04, K_3), ONE(0x05, K_4), ONE(0x06, K_5),
    ONE(0x07, K_6), ONE(0x08, K_7), ONE(0x09, K_8), ONE(0x0A, K_9), ONE(0x0B, K_0),
    TWO(0x0C, SS, K_J), // minus
    TWO(0x0D, SS, K_L), // equals
    TWO(0x0E, CS, K_0), // Backspace: DELETE
    TWO(0x0F, CS, SS),  // Tab: extended mode
    ONE(0x10, K_Q), ONE(0x11, K_W), ONE(0x12, K_E), ONE(0x13, K_R), ONE(0x14, K_T),
    ONE(0x15, K_Y), ONE(0x16, K_U), ONE(0x17, K_I), ONE(0x18, K_O), ONE(0x19, K_P),
    TWO(0x1A, SS, K_R), // [ gives <
    TWO(0x1B, SS, K_T), // ] gives >
    ONE(0x1C, ENTER),
    ONE(0x1D, SS), // Left Ctrl
    ONE(0x1E, K_A), ONE(0x1F, K_S), ONE(0x20, K_D), ONE(0x21, K_F), ONE(0x22, K_G),
    ONE(0x23, K_H), ONE(0x24, K_J), ONE(0x25, K_K), ONE(0x26, K_L),
    TWO(0x27, SS, K_O), // semicolon
    TWO(0x28, SS, K_7), // apostrophe
    ONE(0x2A, CS),      // Left Shift
    ONE(0x2C, K_Z), ONE(0x2D, K_X), ONE(0x2E, K_C), ONE(0x2F, K_V), ONE(0x30, K_B),
    ONE(0x31, K_N), ONE(0x32, K_M),
    TWO(0x33, SS, K_N), // comma
    TWO(0x34, SS, K_M), // period
    TWO(0x35, SS, K_V), // slash
    ONE(0x36, CS),      // Right Shift
    ONE(0x39, SPACE),
    TWO(0x3A, CS, K_2), // Caps Lock
    ONE(0x9D, SS),      // Right Ctrl
    TWO(0xC7, CS, K_4), // Home: INV VIDEO
    TWO(0xC8, CS, K_7), // Up
    ONE(0xC9, K_O),     // Page Up
    TWO(0xCB, CS, K_5), // Left
    TWO(0xCD, CS, K_8), // Right
    TWO(0xCF, CS, K_9), // End: GRAPHICS
    TWO(0xD0, CS, K_6), // Down
    ONE(0xD1, K_P),     // Page Down
    TWO(0xD2, CS, K_3), // Insert: TRUE VIDEO
    TWO(0xD3, CS, K_0), // Delete
    0,
};

// With Right Shift held the PC's shifted symbols come from SYMBOL SHIFT combinations.
const uint8_t shift_map[] = {
    TWO(0x02, SS, K_1), TWO(0x03, SS, K_2), TWO(0x04, SS, K_3), TWO(0x05, SS, K_4),
    TWO(0x06, SS, K_5),
    TWO(0x07, SS, K_H), // ^
    TWO(0x08, SS, K_6), // &
    TWO(0x09, SS, K_B), // *
    TWO(0x0A, SS, K_8), // (
    TWO(0x0B, SS, K_9), // )
    TWO(0x0C, SS, K_0), // _
    TWO(0x0D, SS, K_K), // +
    TWO(0x27, SS, K_Z), // :
    TWO(0x28, SS, K_P), // "
    TWO(0x33, SS, K_R), // <
    TWO(0x34, SS, K_T), // >
    TWO(0x35, SS, K_C), // ?
    0,
};

constexpr uint8_t right_shift = 0x36;

void press(const uint8_t* record)
{
    for (int k = 2; k < record[0]; k += 2)
        zx.half_rows[record[k] & 7] |= record[k + 1];
}

} // namespace

void zx_scan_keys()
{
    for (uint8_t& row : zx.half_rows)
        row = 0;
    if (key_down(right_shift)) {
        // The first shifted key found is the only key seen in this frame.
        for (const uint8_t* e = shift_map; e[0] != 0; e += e[0]) {
            if (key_down(e[1])) {
                press(e);
                return;
            }
        }
    }
    for (const uint8_t* e = key_map; e[0] != 0; e += e[0])
        if (key_down(e[1]))
            press(e);
}

void zx_build_port_table()
{
    // Entry h: a 0 in bit r of h selects half-row r; pressed keys read 0, bits 5-7 read 1.
    // Built by doubling: the 2^r entries below the top 2^r add half-row r to them.
    uint8_t* t = zx.zx_port_table;
    const uint8_t* h = zx.half_rows;
    t[0xFF] = 0xFF;
    t[0xFE] = static_cast<uint8_t>(~h[0]);
    t[0xFD] = static_cast<uint8_t>(~h[1]);
    t[0xFC] = static_cast<uint8_t>(t[0xFE] & ~h[1]);
    for (int r = 2; r < 8; ++r) {
        const int n = 1 << r;
        const uint8_t mask = static_cast<uint8_t>(~h[r]);
        for (int k = 256 - 2 * n; k < 256 - n; ++k)
            t[k] = static_cast<uint8_t>(t[k + n] & mask);
    }
}
