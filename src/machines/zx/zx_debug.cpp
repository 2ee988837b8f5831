// The ZX Spectrum as the debugger sees it: the Z80, the 64 KB address space, and the
// ULA's port, keyboard half-rows and the tape player as device registers.
#include "host/debug.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

#include "cpu/z80/z80_debug.h"

namespace {

const DebugRegisterList<z80_debug_register_count> registers(z80_debug_register_names, z80_debug_register_bits);

void get_registers(uint32_t* values) { z80_debug_get_registers(zx.cpu, values); }
void set_register(int index, uint32_t value) { z80_debug_set_register(zx.cpu, index, value); }
uint32_t pc() { return zx.cpu.pc; }
int64_t tstates() { return zx.cpu.ticks >> 12; }
int disassemble(uint32_t address, const uint8_t* code, char* text, size_t size)
{
    return z80_debug_disassemble(uint16_t(address), code, text, size);
}

const DebugProcessor processors[] = {
    {"Z80", registers.info, z80_debug_register_count, get_registers, set_register, z80_debug_flags_register,
     z80_debug_flag_letters, pc, tstates, disassemble, z80_debug_call_length, 0},
};

int peek(uint32_t a) { return zx.memory[a & 0xFFFF]; }
void poke(uint32_t a, uint8_t v)
{
    if ((a & 0xFFFF) >= 0x4000) // the ROM stays as it is
        zx.memory[a & 0xFFFF] = v;
}

const DebugSpace spaces[] = {
    {"Memory", 0x10000, peek, poke},
};

template <int Row> uint32_t half_row() { return zx.zx_port_table[0xFF ^ (1 << Row)]; }

const DebugDevice devices[] = {
    {"ULA", "border", 8, [] { return uint32_t(zx.last_fe & 7); }},
    {"ULA", "port FE written", 8, [] { return uint32_t(zx.last_fe); }},
    {"ULA", "MIC", 1, [] { return uint32_t(zx.last_fe >> 3 & 1); }},
    {"ULA", "beeper", 1, [] { return uint32_t(zx.last_fe >> 4 & 1); }},
    {"ULA", "FLASH phase", 1, [] { return uint32_t(zx.flash_phase & 1); }},
    {"ULA", "T-states left", 32, [] { return uint32_t(zx.cpu.ticks >> 12); }},
    {"Keyboard", "port FEFE (Shift-V)", 8, half_row<0>},
    {"Keyboard", "port FDFE (A-G)", 8, half_row<1>},
    {"Keyboard", "port FBFE (Q-T)", 8, half_row<2>},
    {"Keyboard", "port F7FE (1-5)", 8, half_row<3>},
    {"Keyboard", "port EFFE (0-6)", 8, half_row<4>},
    {"Keyboard", "port DFFE (P-Y)", 8, half_row<5>},
    {"Keyboard", "port BFFE (Enter-H)", 8, half_row<6>},
    {"Keyboard", "port 7FFE (Space-B)", 8, half_row<7>},
    {"Tape", "inserted", 1, [] { return uint32_t(zx_tape.inserted); }},
    {"Tape", "playing", 1, [] { return uint32_t(zx_tape.playing); }},
    {"Tape", "block", 16, [] { return uint32_t(zx_tape.block); }},
    {"Tape", "blocks", 16, [] { return uint32_t(zx_tape.blocks.size()); }},
    {"Tape", "stage", 8, [] { return uint32_t(zx_tape.stage); }},
    {"Tape", "edge", 32, [] { return zx_tape.edge; }},
    {"Tape", "EAR level", 1, [] { return uint32_t(zx_tape.level); }},
};

const DebugMachine machine = debug_machine_of("zx", processors, spaces, devices);

} // namespace

void zx_debug_register()
{
    debug_register_machine(&machine);
}

void zx_run_frame_debugged(Z80State* state)
{
    do {
        // Between instructions only: an accepted interrupt's acknowledge is no instruction.
        if (debug_active && state->step == decode_main && debug_boundary(0))
            debug_wait();
        z80_run_instruction(state);
    } while (state->ticks >= 0);
}
