// The KCGD's keyboard: host keys translated into the codes of the KCGD's own keyboard,
// queued in a 128-byte ring that the GPU reads through 0177560/0177562. A held key
// repeats after 31 frames every fourth frame; Shift and Ctrl are sent as state changes
// only (0xAE shift on, 0xB3 shift off, 0xAF control on, code 1 control off).
#include "machines/dvk/dvk_boards.h"

#include "host/keyboard_map.h"

namespace {

KcgdBoard& kcgd = dvk.kcgd;

const KeyboardMapRecord* shift_record(uint8_t key)
{
    for (const KeyboardMapRecord& r : keyboard_shift_map)
        if (r.key == key)
            return &r;
    return nullptr;
}

void queue(uint8_t code)
{
    uint8_t next = static_cast<uint8_t>((kcgd.keyHead + 1) & 127);
    if (next == kcgd.keyTail)
        return; // full: the code is lost
    kcgd.keyRing[kcgd.keyHead] = code;
    kcgd.keyHead = next;
}

void send(uint8_t code)
{
    if (keyboard_state_filter(&code, &kcgd.shiftState, &kcgd.controlState))
        queue(code);
}

void send_press(const KeyboardMapRecord& r)
{
    for (int i = 0; i < r.count; ++i)
        send(r.press[i]);
}

inline bool is_modifier(uint8_t key) { return key == 0x2A || key == 0x36 || key == 0x1D; }

} // namespace

void kcgd_keyboard_feed(const uint8_t* now, const uint8_t* before)
{
    const bool shift = (now[0x2A] & 0x80) || (now[0x36] & 0x80);
    bool counting = false;
    for (const KeyboardMapRecord& main : keyboard_main_map) {
        const uint8_t key = main.key;
        const KeyboardMapRecord* record = &main;
        if (shift) {
            if (const KeyboardMapRecord* combination = shift_record(key))
                record = combination;
        }
        const bool down = now[key] & 0x80, was = before[key] & 0x80;
        if (down) {
            if (!was)
                send_press(*record);
            else if (!is_modifier(key) && kcgd.repeatCounter >= 31 && ((kcgd.repeatCounter - 31) & 3) == 0)
                send_press(*record);
            uint8_t last = record->press[record->count - 1];
            if (last != 0xAE && last != 0xAF)
                counting = true;
        } else if (was) {
            if (record->release)
                send(record->release);
            kcgd.repeatCounter = 0;
        }
    }
    if (counting)
        ++kcgd.repeatCounter;
}

void kcgd_keyboard_ready_check()
{
    if (kcgd.keyHead != kcgd.keyTail) {
        kcgd.keyStatus |= 0x80;
        workstation.PendingInterrupts[UKNC_GPU] |= GPU_IRQ_KEYBOARD;
    }
}
