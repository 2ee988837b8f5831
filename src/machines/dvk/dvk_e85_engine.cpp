// The E-85's drawing engine, started by a write of the length register. Its planes are
// 64 words (1024 pixels, most significant bit leftmost) by 256 lines; addresses wrap at
// a plane's end.
//   type 0  a run of Len pixels from (X, Y): the 16-bit pattern, rotated right one bit a
//           pixel, goes through the plane's logic operation; planes 1 and 2 repeat the
//           run when their operation (second operation word) is non-zero
//   type 2  Len words from the start word of plane 0: invert (1) or pattern fill (2)
// Types 1 and 3 are not built.
#include "machines/dvk/dvk_boards.h"

#include <cstdio>

namespace {

E85Board& e85 = dvk.e85;

constexpr uint32_t plane_words = e85_plane_size / 2;
constexpr uint32_t plane_pixels = plane_words * 16;

inline uint16_t load(const uint8_t* plane, uint32_t word) { return static_cast<uint16_t>(plane[2 * word] | plane[2 * word + 1] << 8); }

inline void store(uint8_t* plane, uint32_t word, uint16_t value)
{
    plane[2 * word] = static_cast<uint8_t>(value);
    plane[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

// One pixel under the logic operation: 0 nothing, 1 XOR with the pattern bit, 2 copy
// it, 3 copy its inverse, 4 set where it is 1, 5 clear where it is 1, 6 clear, 7 set.
inline bool apply(int operation, bool pixel, bool bit)
{
    switch (operation & 7) {
    case 1: return pixel != bit;
    case 2: return bit;
    case 3: return !bit;
    case 4: return pixel || bit;
    case 5: return pixel && !bit;
    case 6: return false;
    case 7: return true;
    default: return pixel;
    }
}

void pixel_run(uint8_t* plane, int operation, uint32_t first, uint32_t length, uint16_t pattern)
{
    if ((operation & 7) == 0)
        return;
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t position = (first + i) % plane_pixels;
        uint32_t word = position >> 4;
        uint16_t mask = static_cast<uint16_t>(0x8000 >> (position & 15));
        uint16_t value = load(plane, word);
        bool pixel = value & mask;
        bool result = apply(operation, pixel, pattern & 1);
        if (result != pixel)
            store(plane, word, static_cast<uint16_t>(value ^ mask));
        pattern = static_cast<uint16_t>(pattern >> 1 | pattern << 15);
    }
}

void word_fill(uint8_t* plane, int operation, uint32_t first_word, uint32_t length, uint16_t pattern)
{
    if (operation != 1 && operation != 2) {
        std::printf("Unsupported logic operation: %d\n", operation);
        return;
    }
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t word = (first_word + i) % plane_words;
        store(plane, word, operation == 1 ? static_cast<uint16_t>(~load(plane, word)) : pattern);
    }
}

} // namespace

void e85_draw()
{
    const int type = (e85.status >> 8) & 3;
    const uint32_t start_word = (e85.y * 64u + e85.x / 16u) % plane_words;
    uint8_t* planes[3] = {e85.memory, e85.memory + e85_plane_size, e85.memory + 2 * e85_plane_size};
    switch (type) {
    case 0: {
        const uint32_t first = (e85.y * 1024u + e85.x) % plane_pixels;
        pixel_run(planes[0], e85.mode & 7, first, e85.length, e85.pattern);
        pixel_run(planes[1], e85.operations & 7, first, e85.length, e85.pattern);
        pixel_run(planes[2], (e85.operations >> 8) & 7, first, e85.length, e85.pattern);
        break;
    }
    case 2:
        word_fill(planes[0], e85.mode & 7, start_word, e85.length, e85.pattern);
        break;
    default:
        std::printf("\nUnsupported opeation: Len = 0x%X, D1 = 0x%X, D2 = 0x%X, x = %d, y = %d, w = 0x%X, type = 0x%X\n",
                    e85.length, e85.mode, e85.operations, e85.x, e85.y, e85.pattern, type);
        break;
    }
}
