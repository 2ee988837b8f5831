// Helpers shared by the ZX tests: a fresh machine, host key state, and a byte-level
// Z80 program builder for the hand-assembled test programs.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/host.h"
#include "machines/zx/zx.h"

inline void zx_test_fresh_machine()
{
    zx_init_state();
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
}

inline void zx_test_keys(std::initializer_list<uint8_t> codes)
{
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    for (uint8_t c : codes)
        KeySnapshot[c] = 0x80;
}

// Little program builder: bytes plus labels resolved by hand.
struct Asm {
    std::vector<uint8_t> bytes;
    uint16_t origin = 0;
    uint16_t here() const { return static_cast<uint16_t>(origin + bytes.size()); }
    Asm& db(std::initializer_list<int> v)
    {
        for (int b : v)
            bytes.push_back(static_cast<uint8_t>(b));
        return *this;
    }
    Asm& dw(uint16_t w) { return db({w & 0xFF, w >> 8}); }
    // Relative jump displacement from the byte after a 2-byte JR/DJNZ to `target`.
    int rel(uint16_t target) const { return (target - (here() + 2)) & 0xFF; }
};

std::string zx_test_temp_dir(const char* name);
void zx_test_write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> zx_test_read_file(const std::string& path);
