// Tile machine program file and colour table.
#include <cstring>

#include "machines/tile/tile.h"

uint32_t tile_colour_table[256];

// Colour byte: bits 7-6 blue, bits 5-3 red, bits 2-0 green, each an index into the
// output levels of its channel.
void tile_build_colour_table()
{
    static constexpr uint8_t red[8] = {0, 56, 102, 150, 174, 210, 227, 255};
    static constexpr uint8_t green[8] = {0, 44, 56, 112, 150, 181, 190, 216};
    static constexpr uint8_t blue[4] = {0, 110, 174, 232};
    for (uint32_t v = 0; v < 256; ++v)
        tile_colour_table[v] = (uint32_t{red[(v >> 3) & 7]} << 16) | (uint32_t{green[v & 7]} << 8) | blue[v >> 6];
}

void tile_load_program()
{
    // A file that cannot be opened or read (a directory) is fatal, with a line naming it
    // and the reason; bytes past the end of a short file read as 0xFF.
    static constexpr const char* cant_open = "Can't open file!";
    FILE* file = open_data_file_or_fail(tile_program_file, cant_open);
    read_data_or_fail(file, tile.graphics, tile_graphics_size, tile_program_file, cant_open);
    read_data_or_fail(file, tile.memory, tile_program_size, tile_program_file, cant_open);
    std::fclose(file);
    // Patches to the program as delivered: a routine turned into RET, one byte cleared
    // to NOP, and one operand changed.
    tile.memory[0x0E0E] = 0xC9;
    tile.memory[0x2434] = 0x00;
    tile.memory[0x1AAE] = 0x63;
}
