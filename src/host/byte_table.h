// A lookup table with one entry for every byte value, computed at compile time: the
// pixel and bit-spreading tables of the machines' video.
//
//   // each bit of a byte doubled into two bits
//   constexpr auto doubling = byte_table<uint16_t>([](int b) { ... return d; });
//   doubling[0x81] == 0xC003
#pragma once

#include <array>

template <class T, class F> constexpr std::array<T, 256> byte_table(F entry)
{
    std::array<T, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = entry(b);
    return table;
}
