// 15IE disassembler, disassembly line and register dump.
//
// ie15_disassemble() decodes one instruction from its two bytes. The line and
// dump helpers read the 4 KB program ROM directly (addresses wrap at 0xFFF):
//     ie15_print_register_dump(stdout, cpu, cpu.memory);
//     uint32_t next = ie15_print_disasm_line(stdout, block, address);
// Numbers go through format_byte_operand / format_word_operand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cpu/common/hex_format.h"

struct Ie15Cpu;

// Option bit: ports as "(n)" and conditions/controls as "fn" instead of their names.
inline constexpr uint32_t ie15_disasm_numbers = 1u << 11;

struct Ie15DisasmRequest {
    uint8_t code[2];     // the bytes at the instruction's address
    uint32_t options;    // hex_format.h bits and ie15_disasm_numbers; machines pass 0
    char mnemonic[8];    // longest "incsn" + NUL
    char operands[24];   // longest "a,(KDUP)" / "$0F00" + NUL, with room
};

// Fills both texts and returns the instruction's length in bytes (1 or 2).
uint32_t ie15_disassemble(Ie15DisasmRequest& request);

// Disassembly line: "%.3X  " address, "%.2X " per byte padded to 6 columns,
// mnemonic padded to 6, operands and "\n". *next receives the next address.
std::string ie15_disasm_line_text(const uint8_t* program, uint32_t address, uint32_t* next = nullptr);
// Prints the line; returns the next instruction's address.
uint32_t ie15_print_disasm_line(FILE* out, const uint8_t* program, uint32_t address);

// Two letters: "K" when an instruction is to be skipped, "C" when carry is set, "-" otherwise.
std::string ie15_flag_string(const Ie15Cpu& cpu);

// Eleven lines (both register banks, A/PC/flags/budget, Adr and the video
// position, the video control bits), each followed by the disassembly line of
// the next instruction from PC, then "\n".
std::string ie15_register_dump_text(const Ie15Cpu& cpu, const uint8_t* program);
void ie15_print_register_dump(FILE* out, const Ie15Cpu& cpu, const uint8_t* program);
