// PK8000 bus: paged memory (reads through the memory map, writes always to RAM) and the
// I/O ports, decoded on the port address's low byte.
#include <cstdio>

#include "machines/pk8000/pk8000.h"

Pk8000 pk8000;

void pk8000_set_memory_map(uint8_t value)
{
    pk8000.memory_map = value;
    for (int page = 0; page < 4; ++page) {
        // Field value 3 selects RAM; 0, 1 and 2 all show the one ROM, so it repeats in
        // every page that selects it.
        bool ram = ((value >> (2 * page)) & 3) == 3;
        pk8000.read_page[page] = ram ? pk8000.ram + 0x4000 * page : pk8000.rom;
    }
}

uint8_t pk8000_read(uint16_t address) { return pk8000.read_page[address >> 14][address & 0x3FFF]; }

void pk8000_fetch_byte(Z80State* s)
{
    s->data = pk8000_read(s->pc);
    s->pc = static_cast<uint16_t>(s->pc + 1);
}

void pk8000_read_mem(Z80State* s) { s->data = pk8000_read(static_cast<uint16_t>(s->addr)); }

// The ROM only answers reads: a write lands in the RAM under it.
void pk8000_write_mem(Z80State* s) { pk8000.ram[s->addr & 0xFFFF] = s->data; }

void pk8000_read_port(Z80State* s)
{
    switch (s->addr & 0xFF) {
    case 0x80: s->data = pk8000.memory_map; break;
    case 0x81: s->data = static_cast<uint8_t>(~pk8000.matrix[pk8000.row_select & 0x0F]); break;
    case 0x82: s->data = pk8000.row_select; break;
    case 0x8C: s->data = pk8000.joystick; break;
    default: s->data = 0; break;
    }
}

// Video and system registers are logged on every write, changed or not: a program's
// mode switches show on the console.
static void store_logged(uint8_t* reg, uint8_t value, const char* format)
{
    *reg = value;
    std::printf(format, value);
}

void pk8000_write_port(Z80State* s)
{
    uint8_t v = s->data;
    switch (s->addr & 0xFF) {
    case 0x80: pk8000_set_memory_map(v); break;
    case 0x82: pk8000.row_select = v; break;
    case 0x84: store_logged(&pk8000.gfx_mode, v, "Gfx Mode (0x84) = %.2X\n"); break;
    case 0x86: store_logged(&pk8000.sys_mode, v, "Sys Mode (0x86) = %.2X\n"); break;
    case 0x88: store_logged(&pk8000.palette_con, v, "Pallette Con (0x88) = %.2X\n"); break;
    case 0x90: store_logged(&pk8000.tram_adr, v, "TRAM Adr (0x90) = %.2X\n"); break;
    case 0x91: store_logged(&pk8000.vram_adr, v, "VRAM Adr (0x91) = %.2X\n"); break;
    case 0x92: store_logged(&pk8000.gfx_pos, v, "Gfx Pos (0x92) = %.2X\n"); break;
    case 0x93: store_logged(&pk8000.attr_pos, v, "Attr Pos (0x93) = %.2X\n"); break;
    default: break;
    }
}
