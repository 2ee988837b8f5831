// The PDP-11 registers as a list for the debugger, and the instructions step over runs
// through.
#include "cpu/pdp11/pdp11_debug.h"

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_disasm.h"

#include <cstdio>

const char* const pdp11_debug_register_names[pdp11_debug_register_count] = {
    "R0", "R1", "R2", "R3", "R4", "R5", "SP", "PC", "PSW", "PC'", "PSW'",
};

uint32_t pdp11_debug_get_register(const Pdp11Cpu& cpu, int index)
{
    if (index >= 0 && index < 8)
        return cpu.r[index] & 0xFFFF;
    switch (index) {
    case 8: return cpu.psw & 0x1FF;
    case 9: return cpu.savedPc & 0xFFFF;
    case 10: return cpu.savedPsw & 0x1FF;
    default: return 0;
    }
}

void pdp11_debug_get_registers(const Pdp11Cpu& cpu, uint32_t* values)
{
    for (int i = 0; i < 8; ++i)
        values[i] = cpu.r[i] & 0xFFFF;
    values[8] = cpu.psw & 0x1FF;
    values[9] = cpu.savedPc & 0xFFFF;
    values[10] = cpu.savedPsw & 0x1FF;
}

void pdp11_debug_set_register(Pdp11Cpu& cpu, int index, uint32_t value, uint16_t (*word_at)(uint32_t address))
{
    if (index >= 0 && index < 7) {
        cpu.r[index] = value & 0xFFFF;
    } else if (index == 7) {
        // The prefetched word belongs to the old PC: the one at the new PC takes its place.
        cpu.r[7] = value & 0xFFFE;
        cpu.prefetch = word_at(cpu.r[7]);
        cpu.prefetchAddress = cpu.r[7];
        cpu.busOperation = cpu.opFetch;
        cpu.stepHandler = pdp11_decode_step;
    } else if (index == 8) {
        cpu.psw = value & 0x1FF;
    } else if (index == 9) {
        cpu.savedPc = value & 0xFFFF;
    } else if (index == 10) {
        cpu.savedPsw = value & 0x1FF;
    }
}

namespace {

// An operand with an index word or an immediate/absolute word after the instruction.
bool has_extra_word(uint32_t operand)
{
    const uint32_t mode = operand >> 3 & 7;
    const uint32_t reg = operand & 7;
    return mode == 6 || mode == 7 || (reg == 7 && (mode == 2 || mode == 3));
}

} // namespace

int pdp11_debug_call_length(const uint8_t* code)
{
    const uint32_t word = uint32_t(code[0] | code[1] << 8);
    if ((word & 0177000) == 0004000) // JSR R,dst
        return has_extra_word(word & 077) ? 4 : 2;
    if ((word & 0177000) == 0104000) // EMT, TRAP
        return 2;
    if (word == 3 || word == 4) // BPT, IOT
        return 2;
    return 0;
}

int pdp11_debug_disassemble(uint16_t address, const uint8_t* code, char* text, size_t size)
{
    DisasmRequest request{};
    for (int i = 0; i < 6; i += 2) {
        request.code[i] = code[i + 1];
        request.code[i + 1] = code[i];
    }
    request.address = address;
    const uint32_t length = disassemble(request);
    std::snprintf(text, size, "%-6s%s", request.mnemonic, request.operands);
    return int(length);
}
