// MS-0515 keyboard byte protocol: host keys to keyboard bytes, repeat, Shift/Ctrl filter.
#include "machines/ms0515/ms0515_keyboard.h"

#include "host/host.h"
#include "host/keyboard_map.h"

// The key map is host/keyboard_map.h. Its shift combinations, sent while one of these is
// held, stand for characters the keyboard has on other keys than the PC, so Shift is
// released around them.
static const uint8_t modifiers[] = {0x36, 0x2A}; // Right Shift, Left Shift

void ms0515_keyboard_reset(Ms0515Keyboard& kbd)
{
    kbd = Ms0515Keyboard{};
    kbd.status = 0x01;
}

bool ms0515_keyboard_queue_empty(const Ms0515Keyboard& kbd)
{
    return kbd.readIndex == kbd.writeIndex;
}

static bool queue_full(const Ms0515Keyboard& kbd)
{
    return ((kbd.writeIndex + 1) & 0x7F) == kbd.readIndex;
}

static void enqueue(Ms0515Keyboard& kbd, uint8_t byte)
{
    kbd.queue[kbd.writeIndex] = byte;
    kbd.writeIndex = (kbd.writeIndex + 1) & 0x7F;
}

bool ms0515_keyboard_send(Ms0515Keyboard& kbd, uint8_t byte)
{
    if (queue_full(kbd))
        return false;
    if (keyboard_state_filter(&byte, &kbd.shiftDown, &kbd.ctrlDown))
        enqueue(kbd, byte);
    return true;
}

static bool repeat_allows(const Ms0515Keyboard& kbd)
{
    uint32_t n = kbd.KeyRepeatCounter;
    return n == 0 || (n >= 32 && n % 4 == 0);
}

static bool was_down(uint8_t code) { return (KeySnapshotPrev[code] & 0x80) != 0; }

// Returns false when the queue filled up and the frame's translation must stop.
static bool send_shifted(Ms0515Keyboard& kbd)
{
    for (uint8_t modifier : modifiers) {
        if (!key_down(modifier))
            continue;
        for (const KeyboardMapRecord& e : keyboard_shift_map) {
            if (!key_down(e.key))
                continue;
            kbd.shiftActive = 1;
            kbd.activeModifier = modifier;
            kbd.activeKey = e.key;
            if (repeat_allows(kbd))
                for (int i = 0; i < e.count; ++i)
                    if (!ms0515_keyboard_send(kbd, e.press[i]))
                        return true;
            ++kbd.KeyRepeatCounter;
            return true;
        }
    }
    return false;
}

void ms0515_keyboard_translate(Ms0515Keyboard& kbd)
{
    if (kbd.shiftActive && (!key_down(kbd.activeModifier) || !key_down(kbd.activeKey))) {
        // Make the modifier look just released so the main table sends its 0xB3.
        kbd.shiftActive = 0;
        KeySnapshot[kbd.activeModifier] = 0;
        KeySnapshotPrev[kbd.activeModifier] = 0x80;
    }
    if (send_shifted(kbd))
        return;
    for (const KeyboardMapRecord& e : keyboard_main_map) {
        uint8_t code = e.key;
        uint8_t release = e.release;
        if (key_down(code)) {
            if (was_down(code) && (code == 0x2A || code == 0x36 || code == 0x1D))
                continue; // held modifiers do not repeat
            if (repeat_allows(kbd))
                for (int i = 0; i < e.count; ++i)
                    if (!ms0515_keyboard_send(kbd, e.press[i]))
                        return;
            uint8_t last = e.press[e.count - 1];
            if (last != 0xAE && last != 0xAF)
                ++kbd.KeyRepeatCounter;
        } else if (was_down(code)) {
            kbd.KeyRepeatCounter = 0;
            if (release != 0 && !ms0515_keyboard_send(kbd, release))
                return;
        }
    }
}

uint8_t ms0515_keyboard_read_data(Ms0515Keyboard& kbd)
{
    if (ms0515_keyboard_queue_empty(kbd)) {
        kbd.status &= ~2;
        return kbd.latch;
    }
    kbd.latch = kbd.queue[kbd.readIndex];
    kbd.readIndex = (kbd.readIndex + 1) & 0x7F;
    if (ms0515_keyboard_queue_empty(kbd))
        kbd.status &= ~2;
    return kbd.latch;
}

void ms0515_keyboard_command(Ms0515Keyboard& kbd, uint8_t command)
{
    if (command != 0xAB)
        return;
    // Reset: the keyboard answers with its identification bytes 0x01, 0x00.
    kbd.queue[0] = 0x01;
    kbd.queue[1] = 0x00;
    kbd.readIndex = 0;
    kbd.writeIndex = 2;
}
