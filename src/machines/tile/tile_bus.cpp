// Tile machine bus: flat memory writable from 0xC000, the tile-memory window at
// 0xB000-0xB7FF, sprite/palette/scroll output ports and three input ports.
#include <cstdio>

#include "machines/tile/tile.h"

TileMachine tile;

void tile_fetch_byte(Z80State* s)
{
    s->data = tile.memory[s->pc];
    s->pc = static_cast<uint16_t>(s->pc + 1);
}

void tile_read_mem(Z80State* s) { s->data = tile.memory[static_cast<uint16_t>(s->addr)]; }

void tile_write_mem(Z80State* s)
{
    const uint16_t address = static_cast<uint16_t>(s->addr);
    if (address >= tile_writable_start) {
        tile.memory[address] = s->data;
        return;
    }
    if ((address & 0xF800) != tile_window_start) return;
    // The window writes one byte into every tile-memory target whose control bit is
    // clear: bit 0 the map, bits 1-4 the planes 0-3.
    const uint16_t offset = address & 0x7FF;
    const uint8_t control = tile.control;
    if (!(control & 0x01)) tile.tile_map[offset] = s->data;
    if (!(control & 0x02)) tile.tile_planes[0][offset] = s->data;
    if (!(control & 0x04)) tile.tile_planes[1][offset] = s->data;
    if (!(control & 0x08)) tile.tile_planes[2][offset] = s->data;
    if (!(control & 0x10)) tile.tile_planes[3][offset] = s->data;
}

void tile_read_port(Z80State* s)
{
    const uint8_t port = static_cast<uint8_t>(s->addr);
    s->data = (port >= 0xD0 && port <= 0xD2) ? tile.input[port - 0xD0] : 0;
}

void tile_write_port(Z80State* s)
{
    const uint8_t port = static_cast<uint8_t>(s->addr);
    const uint8_t value = s->data;
    switch (port >> 4) {
    case 0x4: tile.sprites[port & 0x0F][1] = value; return; // Y
    case 0x5: tile.sprites[port & 0x0F][0] = value; return; // X
    case 0x6: tile.sprites[port & 0x0F][2] = value; return; // pattern
    case 0x7: tile.sprites[port & 0x0F][3] = value; return; // flags
    case 0xA: tile.palette[port & 0x0F] = tile_colour_table[value]; return;
    default: break;
    }
    switch (port) {
    case 0xBC:
        if (tile.y_scroll != value) std::printf("Y-Scroll = %d\n", value);
        tile.y_scroll = value;
        return;
    case 0xBD:
        if (tile.x_scroll != value) std::printf("X-Scroll = %d\n", value);
        tile.x_scroll = value;
        return;
    case 0xBE: tile.control = value; return;
    default: return;
    }
}
