// The tile machine's save state: processor, memory and sprite patterns as the program file
// and the program left them, tile map and planes, sprites, palette, scroll and control
// ports, and the picture settings (X-scale, scan lines). Render buffers are rebuilt by the
// next frame.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/session.h"
#include "machines/tile/tile.h"

namespace {

constexpr uint32_t tag_cpu = state_tag("Z80 ");
constexpr uint32_t tag_memory = state_tag("TLMM");
constexpr uint32_t tag_graphics = state_tag("TLGR");
constexpr uint32_t tag_map = state_tag("TLMP");
constexpr uint32_t tag_planes = state_tag("TLPL");
constexpr uint32_t tag_ports = state_tag("TLIO");

struct Ports {
    uint8_t control, x_scroll, y_scroll, scale, scanlines, input[3];
    uint8_t sprites[16][4];
    uint32_t palette[16];
};

void save(StateWriter* w)
{
    Z80SavedState cpu;
    const char* why = nullptr;
    if (!z80_state_save(&tile.cpu, &cpu, &why))
        return state_fail(w, why);
    state_put(w, tag_cpu, &cpu, sizeof cpu);
    state_put(w, tag_memory, tile.memory, sizeof tile.memory);
    state_put(w, tag_graphics, tile.graphics, sizeof tile.graphics);
    state_put(w, tag_map, tile.tile_map, sizeof tile.tile_map);
    state_put(w, tag_planes, tile.tile_planes, sizeof tile.tile_planes);
    Ports p{};
    p.control = tile.control;
    p.x_scroll = tile.x_scroll;
    p.y_scroll = tile.y_scroll;
    p.scale = tile.scale;
    p.scanlines = tile.scanlines;
    std::memcpy(p.input, tile.input, sizeof p.input);
    std::memcpy(p.sprites, tile.sprites, sizeof p.sprites);
    std::memcpy(p.palette, tile.palette, sizeof p.palette);
    state_put(w, tag_ports, &p, sizeof p);
}

bool check(const StateReader* r, std::string* why)
{
    const uint8_t* cpu = state_get_exact(r, tag_cpu, sizeof(Z80SavedState));
    const uint8_t* ports = state_get_exact(r, tag_ports, sizeof(Ports));
    if (!cpu || !ports || !state_get_exact(r, tag_memory, sizeof tile.memory) ||
        !state_get_exact(r, tag_graphics, sizeof tile.graphics) || !state_get_exact(r, tag_map, sizeof tile.tile_map) ||
        !state_get_exact(r, tag_planes, sizeof tile.tile_planes)) {
        *why = "a tile machine section is missing or of the wrong size";
        return false;
    }
    Z80SavedState z;
    std::memcpy(&z, cpu, sizeof z);
    Ports p;
    std::memcpy(&p, ports, sizeof p);
    const bool scale_ok = p.scale == tile_scale_1 || p.scale == tile_scale_3 || p.scale == tile_scale_1_25;
    if (!z80_state_valid(z) || !scale_ok || p.scanlines > tile_lines_double) {
        *why = "damaged tile machine section";
        return false;
    }
    return true;
}

void load(const StateReader* r)
{
    Z80SavedState z;
    std::memcpy(&z, state_get_exact(r, tag_cpu, sizeof z), sizeof z);
    std::memcpy(tile.memory, state_get_exact(r, tag_memory, sizeof tile.memory), sizeof tile.memory);
    std::memcpy(tile.graphics, state_get_exact(r, tag_graphics, sizeof tile.graphics), sizeof tile.graphics);
    std::memcpy(tile.tile_map, state_get_exact(r, tag_map, sizeof tile.tile_map), sizeof tile.tile_map);
    std::memcpy(tile.tile_planes, state_get_exact(r, tag_planes, sizeof tile.tile_planes), sizeof tile.tile_planes);
    Ports p;
    std::memcpy(&p, state_get_exact(r, tag_ports, sizeof p), sizeof p);
    tile.control = p.control;
    tile.x_scroll = p.x_scroll;
    tile.y_scroll = p.y_scroll;
    tile.scale = p.scale;
    tile.scanlines = p.scanlines;
    std::memcpy(tile.input, p.input, sizeof p.input);
    std::memcpy(tile.sprites, p.sprites, sizeof p.sprites);
    std::memcpy(tile.palette, p.palette, sizeof p.palette);
    std::memset(tile.work, 0, sizeof tile.work);
    z80_state_load(z, &tile.cpu);
}

const MachineStateOps ops = {"tile", save, check, load};

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
    session_register_machine(&ops);
}
