// MS-0515 keyboard: the keyboard speaks a byte protocol (key codes, 0xAE Shift down,
// 0xAF Ctrl down, 0xB3 all keys up) into a 128-byte receive queue that the processor reads
// at 0177440, with a status byte at 0177442 and a command byte at 0177460.
//
// Wiring: once per frame, after snapshot_keys(), call ms0515_keyboard_translate(); when the
// queue is not empty the frame raises the keyboard interrupt. The register handlers call
// ms0515_keyboard_read_data() and ms0515_keyboard_command().
#pragma once

#include <cstdint>

struct Ms0515Keyboard {
    uint8_t queue[128];
    uint8_t readIndex;
    uint8_t writeIndex;
    uint8_t latch;          // last byte delivered, returned again when the queue is empty
    uint8_t status;         // bit 1 = data ready
    uint8_t shiftDown;      // filter flags: the keyboard only reports changes
    uint8_t ctrlDown;
    uint32_t KeyRepeatCounter; // shared by all keys
    uint8_t shiftActive;    // a key of the shifted table is being held
    uint8_t activeModifier;
    uint8_t activeKey;
};

void ms0515_keyboard_reset(Ms0515Keyboard& kbd);
// Reads KeySnapshot / KeySnapshotPrev (and may rewrite a modifier's entries, see .cpp).
void ms0515_keyboard_translate(Ms0515Keyboard& kbd);
bool ms0515_keyboard_queue_empty(const Ms0515Keyboard& kbd);
uint8_t ms0515_keyboard_read_data(Ms0515Keyboard& kbd);
void ms0515_keyboard_command(Ms0515Keyboard& kbd, uint8_t command);
// Passes one byte through the Shift/Ctrl filter into the queue; false when the queue is full.
bool ms0515_keyboard_send(Ms0515Keyboard& kbd, uint8_t byte);
