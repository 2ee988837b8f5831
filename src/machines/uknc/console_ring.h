// Console output kept for a device attached to the CPU's console channel (channel 0):
// every byte the CPU sends is appended to the ring of each present device, which takes
// the bytes in order at its own pace.
#pragma once

#include <cstdint>

struct ConsoleRing {
    uint8_t data[4096];
    uint32_t count;   // bytes ever written; index = count & 0xFFF
    uint32_t waiting; // bytes not yet taken by the device
};

inline void console_ring_append(ConsoleRing& ring, uint8_t byte)
{
    ring.data[ring.count & 0xFFF] = byte;
    ++ring.count;
    ++ring.waiting;
}

// The oldest byte not yet taken that the ring still holds: a device more than a ring
// behind has lost its oldest bytes to newer ones and reads on from the oldest kept one.
// Call only while `waiting` is non-zero.
inline uint8_t console_ring_take(ConsoleRing& ring)
{
    if (ring.waiting > sizeof ring.data)
        ring.waiting = sizeof ring.data;
    const uint8_t byte = ring.data[(ring.count - ring.waiting) & 0xFFF];
    --ring.waiting;
    return byte;
}
