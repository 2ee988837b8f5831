// 15IE disassembly lines and the monitor's register dump.

#include <cstdarg>

#include "cpu/ie15/ie15.h"
#include "cpu/ie15/ie15_disasm.h"

namespace {

void append(std::string& text, const char* format, ...)
{
    char buffer[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    text += buffer;
}

void pad(std::string& text, size_t from, size_t columns)
{
    while (text.size() < from + columns) text += ' ';
}

}  // namespace

std::string ie15_disasm_line_text(const uint8_t* program, uint32_t address, uint32_t* next)
{
    address &= ie15_address_mask;
    Ie15DisasmRequest request{};
    request.code[0] = program[address];
    request.code[1] = program[(address + 1) & ie15_address_mask];
    const uint32_t length = ie15_disassemble(request);

    std::string text;
    append(text, "%.3X  ", address);
    size_t column = text.size();
    for (uint32_t k = 0; k < length; ++k) append(text, "%.2X ", request.code[k]);
    pad(text, column, 6);
    column = text.size();
    text += request.mnemonic;
    pad(text, column, 6);
    text += request.operands;
    text += '\n';
    if (next) *next = (address + length) & ie15_address_mask;
    return text;
}

uint32_t ie15_print_disasm_line(FILE* out, const uint8_t* program, uint32_t address)
{
    uint32_t next = 0;
    std::fputs(ie15_disasm_line_text(program, address, &next).c_str(), out);
    return next;
}

std::string ie15_flag_string(const Ie15Cpu& cpu)
{
    return {cpu.skip ? 'K' : '-', cpu.c ? 'C' : '-'};
}

std::string ie15_register_dump_text(const Ie15Cpu& cpu, const uint8_t* program)
{
    std::string text;
    uint32_t address = cpu.pc & ie15_address_mask;
    auto next_line = [&] { text += ie15_disasm_line_text(program, address, &address); };

    // Registers as page.low byte, four per line: R0 R4 R8 R12, R1 R5 R9 R13, ...
    for (int bank = 0; bank < 2; ++bank) {
        const char* prime = bank ? "'" : "";
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                const int n = row + 4 * column;
                const uint16_t v = cpu.r[bank][n];
                // Two-digit names take one of the two separating blanks; R12-R15 keep both.
                const char* gap = (n >= 10 && column == 2) ? " " : "  ";
                append(text, "%sR%d%s=%X.%.2X", column == 0 ? " " : gap, n, prime, v >> 8, v & 0xFF);
            }
            text += bank ? "   " : "       ";
            next_line();
        }
    }
    append(text, " A=%.2X  PC=%.3X  CPU Flags = %s  Ctr=%05d   ", cpu.a, cpu.pc & ie15_address_mask,
           ie15_flag_string(cpu).c_str(), cpu.speed_factor ? cpu.budget / cpu.speed_factor : 0);
    next_line();
    append(text, " Adr=%.3X XPos=%02d Line=%d VBL=%d HBL=%d MRK=%d  ", cpu.adr, static_cast<int>(cpu.xpos / 2), static_cast<int>(cpu.line),
           cpu.flags[IE15_FLAG_VBLANK], cpu.flags[IE15_FLAG_HBLANK], cpu.flags[IE15_FLAG_MARKER]);
    next_line();
    append(text, " VRow=%02d VDIS=%d MARKEN=%d SYSLIN=%d KOI7=%d   ", static_cast<int>(cpu.vrow), cpu.vdis, cpu.marken, cpu.syslin,
           cpu.koi7);
    next_line();
    text += '\n';
    return text;
}

void ie15_print_register_dump(FILE* out, const Ie15Cpu& cpu, const uint8_t* program)
{
    std::fputs(ie15_register_dump_text(cpu, program).c_str(), out);
}
