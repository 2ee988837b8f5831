// MS-0515 keyboard byte protocol: host keys to keyboard bytes, repeat, Shift/Ctrl filter.
#include "machines/ms0515/ms0515_keyboard.h"

#include "host/host.h"

// Main table: length L, host key code, L - 3 press bytes, release byte (0 = none).
static const uint8_t main_table[] = {
    4, 0x01, 0x06, 0, 4, 0x3B, 0xA1, 0, 4, 0x3C, 0xA2, 0, 4, 0x3D, 0xA3, 0,
    4, 0x3E, 0xA4, 0, 4, 0x3F, 0x0D, 0, 4, 0xB7, 0x7A, 0, 4, 0x46, 0x6A, 0,
    4, 0xC5, 0x69, 0, 4, 0x57, 0x79, 0, 4, 0x58, 0x04, 0, 4, 0x02, 0xC0, 0,
    4, 0x03, 0xC5, 0, 4, 0x04, 0xCB, 0, 4, 0x05, 0xD0, 0, 4, 0x06, 0xD6, 0,
    4, 0x07, 0xDB, 0, 4, 0x08, 0xE0, 0, 4, 0x09, 0xE5, 0, 4, 0x0A, 0xEA, 0,
    4, 0x0B, 0xEF, 0, 4, 0x0C, 0xF9, 0, 5, 0x0D, 0xAE, 0xF9, 0xB3, 4, 0x2B, 0xFB, 0,
    4, 0x0E, 0xBC, 0, 4, 0x0F, 0xBE, 0, 4, 0x10, 0xC3, 0, 4, 0x11, 0xCD, 0,
    4, 0x12, 0xD7, 0, 4, 0x13, 0xDD, 0, 4, 0x14, 0xDE, 0, 4, 0x15, 0xC7, 0,
    4, 0x16, 0xCC, 0, 4, 0x17, 0xD9, 0, 4, 0x18, 0xE2, 0, 4, 0x19, 0xD8, 0,
    4, 0x1A, 0xE6, 0, 4, 0x1B, 0xEB, 0, 4, 0x1C, 0xBD, 0, 4, 0x3A, 0xB2, 0,
    4, 0x1E, 0xD2, 0, 4, 0x1F, 0xCE, 0, 4, 0x20, 0xEC, 0, 4, 0x21, 0xC2, 0,
    4, 0x22, 0xE1, 0, 4, 0x23, 0xF6, 0, 4, 0x24, 0xC1, 0, 4, 0x25, 0xD1, 0,
    4, 0x26, 0xE7, 0, 4, 0x27, 0xBF, 0, 5, 0x28, 0xAE, 0xE0, 0xB3, 4, 0x2A, 0xAE, 0xB3,
    4, 0x2C, 0xF0, 0, 4, 0x2D, 0xE3, 0, 4, 0x2E, 0xC6, 0, 4, 0x2F, 0xF2, 0,
    4, 0x30, 0xE8, 0, 4, 0x31, 0xDC, 0, 4, 0x32, 0xD3, 0, 4, 0x33, 0xF3, 0,
    4, 0x34, 0xF7, 0, 4, 0x35, 0xCA, 0, 4, 0x36, 0xAE, 0xB3, 4, 0x1D, 0xAF, 0x01,
    4, 0x38, 0x47, 0, 4, 0x39, 0xD4, 0, 4, 0x9D, 0x36, 0, 4, 0xC8, 0xAA, 0,
    4, 0xD0, 0xA9, 0, 4, 0xCB, 0xA7, 0, 4, 0xCD, 0xA8, 0, 4, 0xB5, 0x9C, 0,
    4, 0x37, 0xFA, 0, 4, 0x4A, 0x15, 0, 4, 0x4E, 0x59, 0, 4, 0x9C, 0x95, 0,
    4, 0x47, 0x9D, 0, 4, 0x48, 0x9E, 0, 4, 0x49, 0x9F, 0, 4, 0x4B, 0x99, 0,
    4, 0x4C, 0x9A, 0, 4, 0x4D, 0x9B, 0, 4, 0x4F, 0x96, 0, 4, 0x50, 0x97, 0,
    4, 0x51, 0x98, 0, 4, 0x52, 0x92, 0, 4, 0x53, 0x94, 0, 4, 0xD2, 0xC8, 0,
    4, 0xD3, 0xBC, 0, 4, 0xC7, 0xED, 0, 4, 0xCF, 0xF1, 0,
    0,
};

// Shifted table: length L, host key code, L - 2 bytes sent together. The keyboard has
// these characters on other keys than the PC, so Shift is released around them.
static const uint8_t shift_table[] = {
    5, 0x03, 0xB3, 0xED, 0xAE, 5, 0x07, 0xB3, 0xC8, 0xAE, 4, 0x08, 0xAE, 0xDB,
    4, 0x09, 0xAE, 0xFA, 4, 0x0A, 0xAE, 0xE5, 4, 0x0B, 0xAE, 0xEA,
    5, 0x0C, 0xB3, 0xF1, 0xAE, 4, 0x0D, 0xAE, 0xBF, 5, 0x27, 0xB3, 0xFA, 0xAE,
    4, 0x28, 0xAE, 0xC5,
    0,
};

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
    // The keyboard reports modifier changes only, so duplicates are dropped here.
    switch (byte) {
    case 0xAE:
        if (!kbd.shiftDown) {
            kbd.shiftDown = 1;
            enqueue(kbd, byte);
        }
        break;
    case 0xAF:
        if (!kbd.ctrlDown) {
            kbd.ctrlDown = 1;
            enqueue(kbd, byte);
        }
        break;
    case 0xB3:
        if (kbd.shiftDown) {
            kbd.shiftDown = 0;
            enqueue(kbd, byte);
        }
        break;
    case 0x01: // Ctrl released: the keyboard says "all keys up"
        if (kbd.ctrlDown) {
            kbd.ctrlDown = 0;
            enqueue(kbd, 0xB3);
        }
        break;
    default:
        enqueue(kbd, byte);
    }
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
        for (const uint8_t* e = shift_table; e[0] != 0; e += e[0]) {
            if (!key_down(e[1]))
                continue;
            kbd.shiftActive = 1;
            kbd.activeModifier = modifier;
            kbd.activeKey = e[1];
            if (repeat_allows(kbd))
                for (int i = 2; i < e[0]; ++i)
                    if (!ms0515_keyboard_send(kbd, e[i]))
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
    for (const uint8_t* e = main_table; e[0] != 0; e += e[0]) {
        uint8_t code = e[1];
        int presses = e[0] - 3;
        uint8_t release = e[e[0] - 1];
        if (key_down(code)) {
            if (was_down(code) && (code == 0x2A || code == 0x36 || code == 0x1D))
                continue; // held modifiers do not repeat
            if (repeat_allows(kbd))
                for (int i = 0; i < presses; ++i)
                    if (!ms0515_keyboard_send(kbd, e[2 + i]))
                        return;
            uint8_t last = e[2 + presses - 1];
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
