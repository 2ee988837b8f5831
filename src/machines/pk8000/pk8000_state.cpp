// The PK8000's save state: processor, the 64 KB of RAM, the memory map and the video and
// keyboard ports. The ROM is the file's; the page pointers are rebuilt from the map.
#include <cstring>

#include "host/session_table.h"
#include "machines/pk8000/pk8000.h"
#include "machines/z80_machine/z80_state_section.h"

namespace {

struct Ports {
    uint8_t memory_map, row_select, joystick, gfx_mode, sys_mode, palette_con, tram_adr, vram_adr;
    uint8_t gfx_pos, attr_pos, reserved[6];
    uint8_t matrix[16];
};

const StateField port_fields[] = {
    STATE_FIELDS(Ports, pk8000, memory_map, row_select, joystick, gfx_mode, sys_mode, palette_con, tram_adr,
                 vram_adr, gfx_pos, attr_pos, matrix),
};

const StateTableEntry sections[] = {
    z80_state_section(pk8000.cpu),
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
