// The PK8000's save state: processor, the 64 KB of RAM, the memory map and the video and
// keyboard ports. The ROM is the file's; the page pointers are rebuilt from the map.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/session_table.h"
#include "machines/pk8000/pk8000.h"

namespace {

struct Ports {
    uint8_t memory_map, row_select, joystick, gfx_mode, sys_mode, palette_con, tram_adr, vram_adr;
    uint8_t gfx_pos, attr_pos, reserved[6];
    uint8_t matrix[16];
};

const StateField port_fields[] = {
    STATE_FIELD(Ports, memory_map, pk8000.memory_map), STATE_FIELD(Ports, row_select, pk8000.row_select),
    STATE_FIELD(Ports, joystick, pk8000.joystick),     STATE_FIELD(Ports, gfx_mode, pk8000.gfx_mode),
    STATE_FIELD(Ports, sys_mode, pk8000.sys_mode),     STATE_FIELD(Ports, palette_con, pk8000.palette_con),
    STATE_FIELD(Ports, tram_adr, pk8000.tram_adr),     STATE_FIELD(Ports, vram_adr, pk8000.vram_adr),
    STATE_FIELD(Ports, gfx_pos, pk8000.gfx_pos),       STATE_FIELD(Ports, attr_pos, pk8000.attr_pos),
    STATE_FIELD(Ports, matrix, pk8000.matrix),
};

const StateCodec z80_codec = {z80_section_save, z80_section_valid, z80_section_load};
const StateTableEntry sections[] = {
    {state_tag("Z80 "), &pk8000.cpu, sizeof(Z80SavedState), nullptr, 0, &z80_codec},
    {state_tag("PKRM"), pk8000.ram, sizeof pk8000.ram},
    {state_tag("PKIO"), nullptr, sizeof(Ports), port_fields, std::size(port_fields)},
};

void rebuild_pages() { pk8000_set_memory_map(pk8000.memory_map); }

const MachineStateTable table = {"pk8000", sections, "a PK8000 section is missing or of the wrong size",
                                 "damaged PK8000 processor section", nullptr, rebuild_pages};

} // namespace

void pk8000_register_state()
{
    session_note_rom("PK8000\\foton_piton.bin", pk8000.rom, sizeof pk8000.rom);
    session_register_table(&table);
}
