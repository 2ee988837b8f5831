// Shared set-up for the MS-0515 unit tests: a machine without files (zeroed ROM and disks).
#pragma once

#include "host/host.h"
#include "machines/ms0515/ms0515.h"

#include <cstdlib>
#include <cstring>
#include <string>

inline void ms0515_test_machine()
{
    static uint8_t* block = static_cast<uint8_t*>(std::calloc(ms0515_block_size, 1));
    static uint8_t* system_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    static uint8_t* work_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    std::memset(block, 0, ms0515_block_size);
    ms0515.memory = block;
    ms0515.systemImage = system_image;
    ms0515.workImage = work_image;
    ms0515_memory_reset();
    ms0515_power_on();
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
}

// Places words (little-endian) at a physical block offset.
inline void ms0515_poke_words(uint32_t offset, std::initializer_list<uint16_t> words)
{
    for (uint16_t w : words) {
        ms0515.memory[offset++] = static_cast<uint8_t>(w);
        ms0515.memory[offset++] = static_cast<uint8_t>(w >> 8);
    }
}
