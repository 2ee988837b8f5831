// The PK8000's save state: processor, the 64 KB of RAM, the memory map and the video and
// keyboard ports. The ROM is the file's; the page pointers are rebuilt from the map.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/session.h"
#include "machines/pk8000/pk8000.h"

namespace {

constexpr uint32_t tag_cpu = state_tag("Z80 ");
constexpr uint32_t tag_ram = state_tag("PKRM");
constexpr uint32_t tag_ports = state_tag("PKIO");

struct Ports {
    uint8_t memory_map, row_select, joystick, gfx_mode, sys_mode, palette_con, tram_adr, vram_adr;
    uint8_t gfx_pos, attr_pos, reserved[6];
    uint8_t matrix[16];
};

void save(StateWriter* w)
{
    Z80SavedState cpu;
    const char* why = nullptr;
    if (!z80_state_save(&pk8000.cpu, &cpu, &why))
        return state_fail(w, why);
    state_put(w, tag_cpu, &cpu, sizeof cpu);
    state_put(w, tag_ram, pk8000.ram, sizeof pk8000.ram);
    Ports p{};
    p.memory_map = pk8000.memory_map;
    p.row_select = pk8000.row_select;
    p.joystick = pk8000.joystick;
    p.gfx_mode = pk8000.gfx_mode;
    p.sys_mode = pk8000.sys_mode;
    p.palette_con = pk8000.palette_con;
    p.tram_adr = pk8000.tram_adr;
    p.vram_adr = pk8000.vram_adr;
    p.gfx_pos = pk8000.gfx_pos;
    p.attr_pos = pk8000.attr_pos;
    std::memcpy(p.matrix, pk8000.matrix, sizeof p.matrix);
    state_put(w, tag_ports, &p, sizeof p);
}

bool check(const StateReader* r, std::string* why)
{
    const uint8_t* cpu = state_get_exact(r, tag_cpu, sizeof(Z80SavedState));
    if (!cpu || !state_get_exact(r, tag_ram, sizeof pk8000.ram) || !state_get_exact(r, tag_ports, sizeof(Ports))) {
        *why = "a PK8000 section is missing or of the wrong size";
        return false;
    }
    Z80SavedState z;
    std::memcpy(&z, cpu, sizeof z);
    if (!z80_state_valid(z)) {
        *why = "damaged PK8000 processor section";
        return false;
    }
    return true;
}

void load(const StateReader* r)
{
    Z80SavedState z;
    std::memcpy(&z, state_get_exact(r, tag_cpu, sizeof z), sizeof z);
    std::memcpy(pk8000.ram, state_get_exact(r, tag_ram, sizeof pk8000.ram), sizeof pk8000.ram);
    Ports p;
    std::memcpy(&p, state_get_exact(r, tag_ports, sizeof p), sizeof p);
    pk8000_set_memory_map(p.memory_map);
    pk8000.row_select = p.row_select;
    pk8000.joystick = p.joystick;
    pk8000.gfx_mode = p.gfx_mode;
    pk8000.sys_mode = p.sys_mode;
    pk8000.palette_con = p.palette_con;
    pk8000.tram_adr = p.tram_adr;
    pk8000.vram_adr = p.vram_adr;
    pk8000.gfx_pos = p.gfx_pos;
    pk8000.attr_pos = p.attr_pos;
    std::memcpy(pk8000.matrix, p.matrix, sizeof p.matrix);
    z80_state_load(z, &pk8000.cpu);
}

const MachineStateOps ops = {"pk8000", save, check, load};

} // namespace

void pk8000_register_state()
{
    session_note_rom("PK8000\\foton_piton.bin", pk8000.rom, sizeof pk8000.rom);
    session_register_machine(&ops);
}
