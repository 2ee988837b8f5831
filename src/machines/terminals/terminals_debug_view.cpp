// The terminals as the debugger sees them: the KSM's Z80 (the TPU) over its 64 KB, and the
// 15IE's processor with its program ROM and display memory; their ports and input latches
// read from the terminals' state, so a view takes no console byte.
#include "machines/terminals/terminals.h"
#include "machines/terminals/terminals_debug_view.h"

#include "cpu/ie15/ie15_disasm.h"
#include "cpu/z80/z80_debug.h"

#include <cstdio>

namespace {

KsmTerminal& k = ksm_terminal;
Ie15Terminal& t = ie15_terminal;

uint32_t waiting(const ConsoleRing* ring) { return ring ? ring->waiting & 0xFFFF : 0; }

// ---- KSM ------------------------------------------------------------------------------

const DebugRegisterList<z80_debug_register_count> tpu_registers(z80_debug_register_names, z80_debug_register_bits);

int peek_ksm(uint32_t a) { return k.block[a & 0xFFFF]; }
void poke_ksm(uint32_t a, uint8_t v)
{
    if ((a & 0xFFFF) >= ksm_rom_size) // the ROM is write-protected
        k.block[a & 0xFFFF] = v;
}

const DebugProcessor tpu_processor = {
    "KSM Z80", tpu_registers.info, z80_debug_register_count, [](uint32_t* v) { z80_debug_get_registers(k.tpu, v); },
    [](int i, uint32_t v) { z80_debug_set_register(k.tpu, i, v); }, z80_debug_flags_register,
    z80_debug_flag_letters, [] { return uint32_t(k.tpu.pc); }, [] { return int64_t(k.tpu.ticks / 256); },
    [](uint32_t a, const uint8_t* code, char* text, size_t size) {
        return z80_debug_disassemble(uint16_t(a), code, text, size);
    },
    z80_debug_call_length, 0,
};

const DebugSpace ksm_space = {"KSM memory", 0x10000, peek_ksm, poke_ksm};

const DebugDevice ksm_devices[] = {
    {"KSM", "port 76 input latch", 8, [] { return uint32_t(k.inputLatch); }},
    {"KSM", "port 78 row latch", 8, [] { return uint32_t(k.rowLatch); }},
    {"KSM", "console bytes waiting", 16, [] { return waiting(k.ring); }},
    {"KSM", "blink counter", 8, [] { return uint32_t(k.blinkCounter); }},
};

// ---- 15IE -----------------------------------------------------------------------------

// PC, A, the flags (K: the next instruction is skipped, C: carry), the bank the register
// instructions address, Adr, then R0-R15 and R0'-R15'.
constexpr int ie15_register_count = 5 + 32;
DebugRegisterInfo ie15_registers[ie15_register_count];
char ie15_register_names[32][6];

void ie15_get(uint32_t* v)
{
    const Ie15Cpu& c = t.cpu;
    v[0] = c.pc & ie15_address_mask;
    v[1] = c.a;
    v[2] = uint32_t(c.skip & 1) << 1 | (c.c & 1);
    v[3] = c.bank;
    v[4] = c.adr & ie15_address_mask;
    for (int i = 0; i < 32; ++i)
        v[5 + i] = c.r[i / 16][i % 16] & 0xFFF;
}

void ie15_set(int index, uint32_t v)
{
    Ie15Cpu& c = t.cpu;
    switch (index) {
    case 0: c.pc = v & ie15_address_mask; break;
    case 1: c.a = uint8_t(v); break;
    case 2:
        c.skip = uint8_t(v >> 1 & 1);
        c.c = uint8_t(v & 1);
        break;
    case 3: c.bank = uint8_t(v & 1); break;
    case 4: c.adr = v & ie15_address_mask; break;
    default:
        if (index >= 5 && index < ie15_register_count)
            c.r[(index - 5) / 16][(index - 5) % 16] = uint16_t(v & 0xFFF);
        break;
    }
}

int ie15_disassemble_line(uint32_t, const uint8_t* code, char* text, size_t size)
{
    Ie15DisasmRequest request{};
    request.code[0] = code[0];
    request.code[1] = code[1];
    const uint32_t length = ie15_disassemble(request);
    std::snprintf(text, size, "%-6s%s", request.mnemonic, request.operands);
    return int(length);
}

int peek_ie15_rom(uint32_t a) { return t.block[a & ie15_address_mask]; }
int peek_ie15_display(uint32_t a) { return t.block[ie15_display_offset + (a & ie15_address_mask)]; }
void poke_ie15_display(uint32_t a, uint8_t v) { t.block[ie15_display_offset + (a & ie15_address_mask)] = v; }

const DebugProcessor ie15_processor = {
    "15IE", ie15_registers, ie15_register_count, ie15_get, ie15_set, 2, "KC",
    [] { return t.cpu.pc & ie15_address_mask; },
    [] { return int64_t(t.cpu.budget / (t.cpu.speed_factor ? t.cpu.speed_factor : 256)); },
    ie15_disassemble_line, nullptr, 0, // no calls: step over is a step
};

const DebugSpace ie15_spaces[] = {
    {"15IE program ROM", ie15_rom_size, peek_ie15_rom, nullptr},
    {"15IE display memory", 0x1000, peek_ie15_display, poke_ie15_display},
};

const DebugDevice ie15_devices[] = {
    {"15IE", "in 1 RRDY (latch free)", 8, [] { return uint32_t(t.cpu.in_ports[IE15_IN_RRDY]); }},
    {"15IE", "in 6 received byte", 8, [] { return uint32_t(t.cpu.in_ports[IE15_IN_RECEIVED]); }},
    {"15IE", "in 10 KRED", 8, [] { return uint32_t(t.cpu.in_ports[IE15_IN_KRED]); }},
    {"15IE", "console bytes waiting", 16, [] { return waiting(t.ring); }},
    {"15IE", "data cycle armed", 1, [] { return uint32_t(t.cpu.data_cycle & 1); }},
    {"15IE video", "XPos", 8, [] { return t.cpu.xpos & 0xFF; }},
    {"15IE video", "line", 8, [] { return t.cpu.line & 0xFF; }},
    {"15IE video", "VRow", 8, [] { return t.cpu.vrow & 0xFF; }},
    {"15IE video", "HBlank", 1, [] { return uint32_t(t.cpu.flags[IE15_FLAG_HBLANK] & 1); }},
    {"15IE video", "Marker", 1, [] { return uint32_t(t.cpu.flags[IE15_FLAG_MARKER] & 1); }},
    {"15IE video", "VBlank", 1, [] { return uint32_t(t.cpu.flags[IE15_FLAG_VBLANK] & 1); }},
    {"15IE video", "VDIS", 1, [] { return uint32_t(t.cpu.vdis & 1); }},
    {"15IE video", "MARKEN", 1, [] { return uint32_t(t.cpu.marken & 1); }},
    {"15IE video", "SYSLIN", 1, [] { return uint32_t(t.cpu.syslin & 1); }},
    {"15IE video", "blink counter", 8, [] { return uint32_t(t.blinkCounter); }},
};

} // namespace

void terminals_debug_lists(DebugLists* lists)
{
    if (k.present) {
        lists->tpu = debug_lists_add_processor(lists, tpu_processor, {ksm_space}, ksm_devices);
    }
    if (t.present) {
        static const char* const fixed[5] = {"PC", "A", "F", "BANK", "ADR"};
        static const uint8_t fixed_bits[5] = {12, 8, 8, 8, 12};
        for (int i = 0; i < 5; ++i)
            ie15_registers[i] = {fixed[i], fixed_bits[i]};
        for (int i = 0; i < 32; ++i) {
            std::snprintf(ie15_register_names[i], sizeof ie15_register_names[i], "R%d%s", i % 16, i < 16 ? "" : "'");
            ie15_registers[5 + i] = {ie15_register_names[i], 12};
        }
        lists->ie15 = debug_lists_add_processor(lists, ie15_processor, ie15_spaces, ie15_devices);
    }
}
