// PDP-11 (K1801VM2) disassembler, disassembly lines, register dump, dump and
// trace file lines.
//
// disassemble() decodes one instruction from up to three words held high byte
// first (code[0] = high byte of the first word, code[1] its low byte, ...; a
// memory block of little-endian words is read at address XOR 1 for this order,
// or use disasm_set_words). The line and dump helpers read memory through a
// Pdp11WordReader the machine supplies, so each machine shows its own mapping:
//     static uint16_t peek(const void* ctx, uint16_t a) { ... word at a (even) ... }
//     pdp11_print_register_dump(stdout, cpu, "CPU (Main)   ", peek, nullptr);
//     uint16_t next = pdp11_write_disasm_dump(file, start, end, peek, nullptr);
//     pdp11_write_trace_line(trace_file, static_cast<uint16_t>(cpu.r[7]), peek, nullptr);  // per instruction
// A reader must not have side effects (no I/O register reads that change state).
// Nothing here changes the processor.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cpu/common/hex_format.h"

struct Pdp11Cpu;

inline constexpr size_t disasm_mnemonic_chars = 8;  // "FLOAT", "ASHC", "ORB" + NUL
inline constexpr size_t disasm_operand_chars = 48;  // "@-$7FFF(R5),@-$7FFF(R5)" + NUL with room

struct DisasmRequest {
    uint8_t code[6];       // up to three words, each high byte first
    uint16_t address;      // address of the first word
    uint32_t options;      // option bits of hex_format.h; 0 = upper case, full-width hex
    char mnemonic[disasm_mnemonic_chars];
    char operands[disasm_operand_chars];
};

// Fills both texts and returns the instruction's length in bytes: 2, 4 or 6.
uint32_t disassemble(DisasmRequest& request);

// Puts three words into request.code in the order disassemble() reads them.
void disasm_set_words(DisasmRequest& request, uint16_t word0, uint16_t word1, uint16_t word2);

// Reads the word at an even address (the machine's read mapping, no side effects).
using Pdp11WordReader = uint16_t (*)(const void* context, uint16_t address);
// A ready-made reader for a flat block of 65536 bytes, little-endian words (context = block).
uint16_t pdp11_read_flat_word(const void* memory, uint16_t address);

// Disassembly line of the instruction at address (address, words, mnemonic,
// operands), without a line break. The file form pads the operand text to 32
// columns. *next receives address plus the instruction's length (may be null).
std::string pdp11_disasm_line_text(uint16_t address, Pdp11WordReader read, const void* context,
                                   bool file_form, uint16_t* next = nullptr);

// Console form: the line and "\n". Returns the next instruction's address.
uint16_t pdp11_print_disasm_line(FILE* out, uint16_t address, Pdp11WordReader read, const void* context);
// File form without a line break. Returns the next instruction's address.
uint16_t pdp11_write_file_disasm_line(FILE* out, uint16_t address, Pdp11WordReader read,
                                      const void* context);

// Disassembly dump: file-form lines, each followed by "\n", from start while the
// next address does not pass end (the first line is always written; the dump
// stops at the top of memory instead of wrapping to 0). Returns the address
// after the last line written.
uint16_t pdp11_write_disasm_dump(FILE* out, uint16_t start, uint16_t end, Pdp11WordReader read,
                                 const void* context);

// Trace line before an instruction starts: "\n" and the file form at pc.
void pdp11_write_trace_line(FILE* out, uint16_t pc, Pdp11WordReader read, const void* context);

// The nine-letter flag string of a PSW ("HP65TNZVC": U/H by bit 8, "-" for a clear bit).
std::string pdp11_flag_string(uint32_t psw);

// Register dump with the caption (for example "CPU (Main)   "): four register
// lines and the flag line, each followed by the console disassembly line of the
// next instruction from PC, then "\n\n".
std::string pdp11_register_dump_text(const Pdp11Cpu& cpu, const char* caption, Pdp11WordReader read,
                                     const void* context);
void pdp11_print_register_dump(FILE* out, const Pdp11Cpu& cpu, const char* caption, Pdp11WordReader read,
                               const void* context);
