// Specialist files: the BIOS image and the disk-backed tape block.
#include <cstring>

#include "machines/specialist/specialist.h"

// Reads up to length bytes; whatever a short file lacks reads as 0xFF.
static void read_padded(FILE* file, uint8_t* buffer, size_t length)
{
    const size_t got = std::fread(buffer, 1, length, file);
    if (got < length) std::memset(buffer + got, 0xFF, length - got);
}

void specialist_load_bios()
{
    FILE* file = open_data_file(specialist_bios_file, "rb");
    if (file == nullptr) fatal_error("Can't open file!");
    read_padded(file, specialist.memory + specialist_bios_start, specialist_bios_size);
    std::fclose(file);
}

// Tape block layout: start address (little-endian), a word W, then W + 1 data bytes that
// go to start, start + 1, ... (wrapping at 64 KB). W is the last offset, not an end
// address. The loader stores into memory directly, so the block may cover the
// write-protected BIOS area too, and it leaves the start address at 0x8FE3/0x8FE4 where
// the BIOS keeps it.
void specialist_load_tape()
{
    FILE* file = open_data_file(specialist_tape_file, "rb");
    if (file == nullptr) fatal_error("Can't open file!");
    uint8_t header[4];
    read_padded(file, header, sizeof header);
    specialist.memory[specialist_tape_start_cell] = header[0];
    specialist.memory[specialist_tape_start_cell + 1] = header[1];
    const uint32_t start = header[0] | (header[1] << 8);
    const uint32_t count = (header[2] | (header[3] << 8)) + 1u;
    // At most 65536 bytes: read them in one go, then place them with wrap-around.
    static uint8_t block[0x10000];
    read_padded(file, block, count);
    std::fclose(file);
    for (uint32_t i = 0; i < count; ++i) specialist.memory[(start + i) & 0xFFFF] = block[i];
}
