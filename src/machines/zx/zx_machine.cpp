// ZX Spectrum 48K: memory and port routines on the Z80 bus, the frame's CPU run, FLASH
// and the frame interrupt.
#include <cstdio>
#include <cstring>

#include "cpu/z80/z80_run.h"
#include "host/debug.h"
#include "host/machine_ui.h"
#include "host/host.h"
#include "machines/zx/zx.h"

ZxMachine zx;

void zx_init_state()
{
    std::memset(&zx, 0, sizeof zx);
    zx.zx_palette = zx_palettes[0];
    zx.flash_countdown = zx_flash_frames;
    zx.beeper_level = 32512;
    std::memset(zx.zx_port_table, 0xFF, sizeof zx.zx_port_table);
    Z80State* cpu = &zx.cpu;
    z80_set_costs(cpu, zx_units_per_tstate);
    cpu->fetch_byte = zx_fetch_byte;
    cpu->read_mem = zx_read_mem;
    cpu->write_mem = zx_write_mem;
    cpu->read_port = zx_read_port;
    cpu->write_port = zx_write_port;
    cpu->mem = zx.memory;
    z80_connect(cpu);
    cpu->ticks = 0;
}

void zx_fetch_byte(Z80State* s)
{
    s->data = zx.memory[s->pc];
    s->pc = static_cast<uint16_t>(s->pc + 1);
}

void zx_read_mem(Z80State* s) { s->data = zx.memory[s->addr & 0xFFFF]; }

void zx_write_mem(Z80State* s)
{
    const uint32_t a = static_cast<uint32_t>(s->addr) & 0xFFFF;
    if (a >= 0x4000) // the ROM ignores writes
        zx.memory[a] = s->data;
}

// The ULA answers every even port, but programs use 0xFE; the low byte is decoded
// exactly. The high byte selects the keyboard half-rows.
void zx_read_port(Z80State* s)
{
    const uint32_t port = static_cast<uint32_t>(s->addr) & 0xFFFF;
    s->data = (port & 0xFF) == 0xFE ? zx.zx_port_table[port >> 8]
            : (port & 0xFF) == 0x1F ? host_kempston // a Kempston joystick; 0 when nobody moves it
                                    : 0x00;
}

void zx_write_port(Z80State* s)
{
    if ((s->addr & 0xFF) != 0xFE)
        return;
    const uint8_t value = s->data;
    const uint8_t changed = value ^ zx.last_fe;
    const int32_t now = s->ticks >> 12; // T-states left in the frame
    // One slot of the border list stays free for the sentinel that closes it.
    if ((changed & 0x18) && zx.beeper_edge_count < zx_event_capacity)
        zx.zx_beeper_edges[zx.beeper_edge_count++] = now;
    if ((changed & 0x07) && zx.border_event_count < zx_event_capacity - 1)
        zx.zx_border_events[zx.border_event_count++] = {now, static_cast<uint8_t>(value & 7)};
    zx.last_fe = value;
}

void zx_run_frame(Z80State* state)
{
    if (debug_active) {
        zx_run_frame_debugged(state);
        return;
    }
    // The memory routines below are called directly (inlined) while they are in the slots.
    z80_run_slice<zx_fetch_byte, zx_read_mem, zx_write_mem>(state);
}

void zx_frame_begin()
{
    if (--zx.flash_countdown == 0) {
        zx.flash_phase = static_cast<uint8_t>(~zx.flash_phase);
        zx.flash_countdown = zx_flash_frames;
    }
}

void zx_frame_sound()
{
    zx.beeper_edge_count = zx_beeper_to_samples(zx.zx_beeper_edges, zx.beeper_edge_count, zx_frame_tstates);
}

void zx_emulate_frame()
{
    zx_frame_begin();
    // INT is raised once, at the frame start; with IFF1 clear at that moment it is lost.
    if (z80_iff1(&zx.cpu))
        z80_accept_interrupt(&zx.cpu);
    zx.cpu.ticks += zx_frame_tstates * zx_units_per_tstate;
    zx_run_frame(&zx.cpu);
    zx_frame_sound();
}

bool zx_snapshot_name_from(const char* argument_text, char* name, size_t capacity)
{
    // Only an empty command line means the default file; a text that yields no name (one
    // ending in a backslash) names nothing, and opening it fails like any missing file.
    if (!argument_text || *argument_text == '\0') {
        std::snprintf(name, capacity, "%s", "snapshot.SNA");
        return true;
    }
    const char* start = argument_text;
    if (const char* slash = std::strrchr(start, '\\'))
        start = slash + 1;
    // Words with blanks arrive wrapped in double quotes; an opening quote is not part of it.
    if (*start == '"')
        ++start;
    size_t length = 0;
    while (start[length] != '\0' && start[length] != '"')
        ++length;
    const bool fits = length < capacity;
    if (!fits)
        length = capacity - 1;
    std::memcpy(name, start, length);
    name[length] = '\0';
    return fits;
}
