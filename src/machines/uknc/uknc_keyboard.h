// UKNC keyboard as the peripheral processor sees it: a ring of key codes read through
// 0177702, the status register 0177700 (bit 7 ready, bit 6 interrupt enable) and the
// feed that turns host key changes into UKNC press and release codes.
//
// A press sends the key's 7-bit code, a release (code & 0x0F) | 0x80. Several host keys
// can share a UKNC code (both Shifts send 0x45), so every code has a hold count: it is
// sent when the first holder goes down and released when the last one goes up.
// Some shifted PC characters sit on other UKNC keys; while Shift is held, those keys send
// a fixed sequence instead (the Shift combinations).
//
// How it is wired:
//   uknc_keyboard_reset(kb)              at start and restart
//   uknc_keyboard_feed(kb, now, prev)    once a frame, from the host key snapshots
//   uknc_keyboard_frame_update(kb)       once a frame; true: raise the PPU keyboard request
//   uknc_keyboard_read_data(kb)          a PPU read of 0177702
#pragma once

#include <cstdint>

struct UkncKeyboard {
    uint8_t ring[128];
    uint32_t producer, consumer; // 0..127; equal when empty, so the ring holds 127 codes
    uint16_t status;             // 0177700
    uint8_t last_byte;           // returned again when the ring is empty
    uint8_t hold[128];           // holders of each UKNC code
    // Shift combination in progress (offset of its record in the combination list, or -1),
    // and a combination key that stays ignored until it is released.
    int combination;
    uint8_t blocked_key;
};

// Byte-coded key maps: records [length, host key code, UKNC code...], length counting the
// two header bytes; a length of 0 ends the list.
extern const uint8_t uknc_key_map[];
extern const uint8_t uknc_shift_combinations[];

inline constexpr uint8_t uknc_host_left_shift = 0x2A, uknc_host_right_shift = 0x36;

void uknc_keyboard_reset(UkncKeyboard* kb);
// Host key snapshots of this frame and the previous one, indexed by host key code (PC
// set-1 scan code, E0 keys at + 0x80); bit 7 set = down.
void uknc_keyboard_feed(UkncKeyboard* kb, const uint8_t* key_snapshot, const uint8_t* key_snapshot_prev);
uint16_t uknc_keyboard_read_data(UkncKeyboard* kb);
bool uknc_keyboard_frame_update(UkncKeyboard* kb);
