// The Z80 register file as a list for the debugger, and the instructions step over
// runs through.
#include "cpu/z80/z80_debug.h"

#include "cpu/z80/z80.h"
#include "cpu/z80/z80_disasm.h"

#include <cstdio>

const char* const z80_debug_register_names[z80_debug_register_count] = {
    "AF", "BC", "DE", "HL", "IX", "IY", "SP", "PC", "AF'", "BC'", "DE'", "HL'", "I", "R", "IM", "IFF",
};
const uint8_t z80_debug_register_bits[z80_debug_register_count] = {
    16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 8, 8, 4, 4,
};

uint32_t z80_debug_get_register(const Z80State& cpu, int index)
{
    switch (index) {
    case 0: return uint32_t(cpu.a) << 8 | cpu.f;
    case 1: return cpu.bc;
    case 2: return cpu.de;
    case 3: return cpu.hl;
    case 4: return cpu.ix;
    case 5: return cpu.iy;
    case 6: return cpu.sp;
    case 7: return cpu.pc;
    // A' lives in the low byte of af_alt, F' in the high byte.
    case 8: return uint32_t(cpu.af_alt & 0xFF) << 8 | cpu.af_alt >> 8;
    case 9: return cpu.bc_alt;
    case 10: return cpu.de_alt;
    case 11: return cpu.hl_alt;
    case 12: return cpu.i;
    case 13: return z80_visible_r(&cpu);
    case 14: return cpu.im == 3 ? 2 : cpu.im == 2 ? 1 : 0; // stored: 0, 0/1, 1, 2
    case 15: return uint32_t(cpu.iff >> 1) & 3;
    default: return 0;
    }
}

// Every instruction under the debugger: the plain copies, no dispatch.
void z80_debug_get_registers(const Z80State& cpu, uint32_t* values)
{
    values[0] = uint32_t(cpu.a) << 8 | cpu.f;
    values[1] = cpu.bc;
    values[2] = cpu.de;
    values[3] = cpu.hl;
    values[4] = cpu.ix;
    values[5] = cpu.iy;
    values[6] = cpu.sp;
    values[7] = cpu.pc;
    values[8] = uint32_t(cpu.af_alt & 0xFF) << 8 | cpu.af_alt >> 8;
    values[9] = cpu.bc_alt;
    values[10] = cpu.de_alt;
    values[11] = cpu.hl_alt;
    values[12] = cpu.i;
    values[13] = z80_visible_r(&cpu);
    values[14] = cpu.im == 3 ? 2 : cpu.im == 2 ? 1 : 0;
    values[15] = uint32_t(cpu.iff >> 1) & 3;
}

void z80_debug_set_register(Z80State& cpu, int index, uint32_t value)
{
    const uint16_t w = uint16_t(value);
    switch (index) {
    case 0: cpu.a = uint8_t(w >> 8); cpu.f = uint8_t(w); break;
    case 1: cpu.bc = w; break;
    case 2: cpu.de = w; break;
    case 3: cpu.hl = w; break;
    case 4: cpu.ix = w; break;
    case 5: cpu.iy = w; break;
    case 6: cpu.sp = w; break;
    case 7: cpu.pc = w; break;
    case 8: cpu.af_alt = uint16_t((w >> 8) | (w & 0xFF) << 8); break;
    case 9: cpu.bc_alt = w; break;
    case 10: cpu.de_alt = w; break;
    case 11: cpu.hl_alt = w; break;
    case 12: cpu.i = uint8_t(w); break;
    case 13: cpu.r = uint8_t(w); cpu.r7 = uint8_t(w & 0x80); break;
    case 14: cpu.im = uint8_t(value == 2 ? 3 : value == 1 ? 2 : 0); break;
    case 15: cpu.iff = uint8_t((value & 3) << 1); break;
    default: break;
    }
}

int z80_debug_call_length(const uint8_t* code)
{
    const uint8_t op = code[0];
    if (op == 0xCD || (op & 0xC7) == 0xC4) // CALL nn, CALL cc,nn
        return 3;
    if ((op & 0xC7) == 0xC7) // RST n
        return 1;
    if (op == 0x10) // DJNZ: the whole loop
        return 2;
    if (op == 0x76) // HALT: until an interrupt has been served
        return 1;
    if (op == 0xED && (code[1] & 0xF4) == 0xB0) // LDIR, CPIR, INIR, OTIR and the D forms
        return 2;
    return 0;
}

int z80_debug_disassemble(uint16_t address, const uint8_t* code, char* text, size_t size)
{
    Z80DisasmRequest request{};
    for (int i = 0; i < 4; ++i)
        request.code[i] = code[i];
    request.address = address;
    const uint32_t length = z80_disassemble(request);
    std::snprintf(text, size, "%-5s %s", request.mnemonic, request.operands);
    return int(length);
}
