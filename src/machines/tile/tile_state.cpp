// The tile machine's save state: processor, memory and sprite patterns as the program file
// and the program left them, tile map and planes, sprites, palette, scroll and control
// ports, and the picture settings (X-scale, scan lines). Render buffers are rebuilt by the
// next frame.
#include <cstring>

#include "host/session_table.h"
#include "machines/z80_machine/z80_state_section.h"
#include "machines/tile/tile.h"

namespace {

constexpr uint32_t tag_ports = state_tag("TLIO");

struct Ports {
    uint8_t control, x_scroll, y_scroll, scale, scanlines, input[3];
    uint8_t sprites[16][4];
    uint32_t palette[16];
};

const StateField port_fields[] = {
    STATE_FIELDS(Ports, tile, control, x_scroll, y_scroll, scale, scanlines, input, sprites, palette),
};

const StateTableEntry sections[] = {
    z80_state_section(tile.cpu),
    {state_tag("TLMM"), tile.memory, sizeof tile.memory},
    {state_tag("TLGR"), tile.graphics, sizeof tile.graphics},
    {state_tag("TLMP"), tile.tile_map, sizeof tile.tile_map},
    {state_tag("TLPL"), tile.tile_planes, sizeof tile.tile_planes},
    {tag_ports, nullptr, sizeof(Ports), port_fields, std::size(port_fields)},
};
bool values_valid(const StateReader* r)
{
    Ports p;
    std::memcpy(&p, state_get_exact(r, tag_ports, sizeof p), sizeof p);
    const bool scale_ok = p.scale == tile_scale_1 || p.scale == tile_scale_3 || p.scale == tile_scale_1_25;
    return scale_ok && p.scanlines <= tile_lines_double;
}

// Render buffers are rebuilt by the next frame.
void clear_work() { std::memset(tile.work, 0, sizeof tile.work); }

const MachineStateTable table = {"tile", sections, "a tile machine section is missing or of the wrong size",
                                 "damaged tile machine section", values_valid, clear_work};

} // namespace

void tile_register_state()
{
    // The program file plays the ROM's part: a state belongs to the program it was made with.
    static uint8_t program[tile_program_size];
    if (FILE* file = open_data_file(tile_program_file, "rb")) {
        std::fseek(file, long(tile_graphics_size), SEEK_SET);
        const size_t got = std::fread(program, 1, sizeof program, file);
        std::fclose(file);
        std::memset(program + got, 0xFF, sizeof program - got);
    }
    session_note_rom("konek.tia", program, sizeof program);
    session_register_table(&table);
}
