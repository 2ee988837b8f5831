// Specialist files: the BIOS image and the disk-backed tape block.
#include <cstring>

#include "machines/specialist/specialist.h"

// A file that cannot be opened or read (a directory) is fatal with this text and a line
// naming the file and the reason; whatever a short file lacks reads as 0xFF.
static constexpr const char* cant_open = "Can't open file!";

void specialist_load_bios()
{
    FILE* file = open_data_file_or_fail(specialist_bios_file, cant_open);
    read_data_or_fail(file, specialist.memory + specialist_bios_start, specialist_bios_size, specialist_bios_file,
                      cant_open);
    std::fclose(file);
}

// Tape block layout: start address (little-endian), a word W, then W + 1 data bytes that
// go to start, start + 1, ... (wrapping at 64 KB). W is the last offset, not an end
// address. The loader stores into memory directly, so the block may cover the
// write-protected BIOS area too, and it leaves the start address at 0x8FE3/0x8FE4 where
// the BIOS keeps it.
// The tape file: the one the command line names, else the machine's own.
static const char* tape_file_name()
{
    static char named[1025];
    static bool taken = false;
    if (!taken) {
        taken = true;
        const char* first = next_argument();
        std::snprintf(named, sizeof named, "%s", first ? first : "");
        set_window_file(named[0] ? named : specialist_tape_file);
    }
    return named[0] ? named : specialist_tape_file;
}

void specialist_load_tape()
{
    const char* const specialist_tape_file = tape_file_name();
    FILE* file = open_data_file_or_fail(specialist_tape_file, cant_open);
    // Read the whole block before storing anything: a file that fails mid-way must not
    // leave memory half overwritten.
    uint8_t header[4];
    read_data_or_fail(file, header, sizeof header, specialist_tape_file, cant_open);
    const uint32_t start = header[0] | (header[1] << 8);
    const uint32_t count = (header[2] | (header[3] << 8)) + 1u;
    // At most 65536 bytes: read them in one go, then place them with wrap-around.
    static uint8_t block[0x10000];
    read_data_or_fail(file, block, count, specialist_tape_file, cant_open);
    std::fclose(file);
    specialist.memory[specialist_tape_start_cell] = header[0];
    specialist.memory[specialist_tape_start_cell + 1] = header[1];
    for (uint32_t i = 0; i < count; ++i) specialist.memory[(start + i) & 0xFFFF] = block[i];
}
