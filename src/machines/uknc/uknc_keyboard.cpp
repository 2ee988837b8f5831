// UKNC keyboard: key maps, the code ring with hold counts, the Shift combinations.
#include "machines/uknc/uknc_keyboard.h"

#include <cstring>

// Host key code -> UKNC codes, in the order the codes are sent.
const uint8_t uknc_key_map[] = {
    3, 0x01, 0x06, 3, 0x3B, 0x08, 3, 0x3C, 0x09, 3, 0x3D, 0x0A, 3, 0x3E, 0x0C, 3, 0x3F, 0x0D,
    3, 0xB7, 0x7A, 3, 0x46, 0x6A, 3, 0xC5, 0x69, 3, 0x57, 0x79, 3, 0x58, 0x04, 3, 0x02, 0x18,
    3, 0x03, 0x19, 3, 0x04, 0x1A, 3, 0x05, 0x0B, 3, 0x06, 0x1C, 3, 0x07, 0x1D, 3, 0x08, 0x0E,
    3, 0x09, 0x0F, 3, 0x0A, 0x7F, 3, 0x0B, 0x7E, 3, 0x0C, 0x7D, 4, 0x0D, 0x45, 0x7D, 3, 0x2B, 0x5E,
    3, 0x0E, 0x5A, 3, 0x0F, 0x16, 3, 0x10, 0x37, 3, 0x11, 0x39, 3, 0x12, 0x1B, 3, 0x13, 0x3C,
    3, 0x14, 0x4C, 3, 0x15, 0x38, 3, 0x16, 0x29, 3, 0x17, 0x3B, 3, 0x18, 0x3D, 3, 0x19, 0x2B,
    3, 0x1A, 0x1E, 3, 0x1B, 0x1F, 3, 0x1C, 0x6B, 3, 0x3A, 0x46, 3, 0x1E, 0x3A, 3, 0x1F, 0x49,
    3, 0x20, 0x2F, 3, 0x21, 0x27, 3, 0x22, 0x2D, 3, 0x23, 0x6E, 3, 0x24, 0x17, 3, 0x25, 0x2A,
    3, 0x26, 0x2E, 3, 0x27, 0x07, 4, 0x28, 0x45, 0x0E, 3, 0x2A, 0x45, 3, 0x2C, 0x6F, 3, 0x2D, 0x4D,
    3, 0x2E, 0x28, 3, 0x2F, 0x5F, 3, 0x30, 0x3E, 3, 0x31, 0x2C, 3, 0x32, 0x4A, 3, 0x33, 0x4F,
    3, 0x34, 0x5D, 3, 0x35, 0x7B, 3, 0x36, 0x45, 3, 0x1D, 0x26, 3, 0x38, 0x47, 3, 0x39, 0x4B,
    3, 0x9D, 0x36, 3, 0xC8, 0x6C, 3, 0xD0, 0x5C, 3, 0xCB, 0x4E, 3, 0xCD, 0x5B, 3, 0xB5, 0x7B,
    3, 0x37, 0x05, 3, 0x4A, 0x15, 3, 0x4E, 0x59, 3, 0x9C, 0x76, 3, 0x47, 0x55, 3, 0x48, 0x65,
    3, 0x49, 0x75, 3, 0x4B, 0x58, 3, 0x4C, 0x68, 3, 0x4D, 0x78, 3, 0x4F, 0x57, 3, 0x50, 0x67,
    3, 0x51, 0x77, 3, 0x52, 0x56, 3, 0x53, 0x66, 3, 0xD2, 0x48, 3, 0xC7, 0x3F, 3, 0xCF, 0x6D,
    0,
};

// Shifted PC characters whose UKNC key differs: the host key's sequence while Shift is held.
const uint8_t uknc_shift_combinations[] = {
    3, 0x03, 0x3F, 3, 0x07, 0x48, 4, 0x08, 0x45, 0x1D, 4, 0x09, 0x45, 0x7C, 4, 0x0A, 0x45, 0x0F,
    4, 0x0B, 0x45, 0x7F, 3, 0x0C, 0x6D, 4, 0x0D, 0x45, 0x07, 3, 0x27, 0x7C, 4, 0x28, 0x45, 0x19,
    0,
};

namespace {

inline bool is_down(const uint8_t* snapshot, uint8_t key) { return (snapshot[key] & 0x80) != 0; }
inline bool is_shift(uint8_t key) { return key == uknc_host_left_shift || key == uknc_host_right_shift; }

inline bool ring_full(const UkncKeyboard* kb) { return ((kb->producer + 1) & 127) == kb->consumer; }
inline bool ring_empty(const UkncKeyboard* kb) { return kb->producer == kb->consumer; }

// False when the ring is full: the code is dropped.
bool append(UkncKeyboard* kb, uint8_t code)
{
    if (ring_full(kb))
        return false;
    kb->ring[kb->producer] = code;
    kb->producer = (kb->producer + 1) & 127;
    return true;
}

inline uint8_t release_code(uint8_t code) { return static_cast<uint8_t>((code & 0x0F) | 0x80); }

// A key event's codes in order; a full ring drops this code and the rest of the event.
void press_codes(UkncKeyboard* kb, const uint8_t* codes, int count)
{
    for (int i = 0; i < count; ++i) {
        if (ring_full(kb))
            return;
        const uint8_t code = codes[i] & 127;
        if (kb->hold[code] == 0)
            append(kb, code);
        if (kb->hold[code] < 255)
            ++kb->hold[code];
    }
}

// In reverse order; a code is released when its last holder lets go. The hold counts go
// down even when the ring is full, so that no code stays held for ever.
void release_codes(UkncKeyboard* kb, const uint8_t* codes, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        const uint8_t code = codes[i] & 127;
        if (kb->hold[code] == 0)
            continue;
        if (--kb->hold[code] == 0)
            append(kb, release_code(code));
    }
}

void release_everything(UkncKeyboard* kb)
{
    for (int code = 0; code < 128; ++code)
        if (kb->hold[code] != 0) {
            kb->hold[code] = 0;
            append(kb, release_code(static_cast<uint8_t>(code)));
        }
}

// Ends or starts a Shift combination. Returns true when one ended while a Shift is still
// held: that Shift is then sent again, since the combination released it.
bool update_combination(UkncKeyboard* kb, const uint8_t* now)
{
    const bool shift = is_down(now, uknc_host_left_shift) || is_down(now, uknc_host_right_shift);
    if (kb->combination >= 0) {
        const uint8_t* record = uknc_shift_combinations + kb->combination;
        if (shift && is_down(now, record[1]))
            return false;
        release_codes(kb, record + 2, record[0] - 2);
        // The key's own press and release never reach the main map: if it is still held
        // it counts as up until it goes down again.
        kb->blocked_key = record[1];
        kb->combination = -1;
        return shift;
    }
    if (!shift)
        return false;
    for (const uint8_t* record = uknc_shift_combinations; record[0] != 0; record += record[0]) {
        if (!is_down(now, record[1]))
            continue;
        release_everything(kb);
        press_codes(kb, record + 2, record[0] - 2);
        kb->combination = static_cast<int>(record - uknc_shift_combinations);
        return false;
    }
    return false;
}

} // namespace

void uknc_keyboard_reset(UkncKeyboard* kb)
{
    std::memset(kb, 0, sizeof *kb);
    kb->combination = -1;
}

void uknc_keyboard_feed(UkncKeyboard* kb, const uint8_t* key_snapshot, const uint8_t* key_snapshot_prev)
{
    const bool shift_again = update_combination(kb, key_snapshot);
    const uint8_t combination_key = kb->combination >= 0 ? uknc_shift_combinations[kb->combination + 1] : 0;
    for (const uint8_t* record = uknc_key_map; record[0] != 0; record += record[0]) {
        const uint8_t key = record[1];
        const bool down = is_down(key_snapshot, key);
        bool was_down = is_down(key_snapshot_prev, key);
        if (kb->combination >= 0 && (key == combination_key || is_shift(key)))
            continue; // the combination speaks for these keys while it lasts
        if (kb->blocked_key != 0 && key == kb->blocked_key) {
            if (!down)
                kb->blocked_key = 0;
            continue;
        }
        if (shift_again && is_shift(key) && down)
            was_down = false;
        if (down == was_down)
            continue;
        if (down)
            press_codes(kb, record + 2, record[0] - 2);
        else
            release_codes(kb, record + 2, record[0] - 2);
    }
}

uint16_t uknc_keyboard_read_data(UkncKeyboard* kb)
{
    if (ring_empty(kb)) {
        kb->status &= ~0x80;
        return kb->last_byte;
    }
    kb->last_byte = kb->ring[kb->consumer];
    kb->consumer = (kb->consumer + 1) & 127;
    if (ring_empty(kb))
        kb->status &= ~0x80;
    return kb->last_byte;
}

bool uknc_keyboard_frame_update(UkncKeyboard* kb)
{
    if (ring_empty(kb))
        return false;
    kb->status |= 0x80;
    return (kb->status & 0x40) != 0;
}
