// Z80 disassembler (Zilog syntax, upper case), the disassembly line, the
// disassembly dump and the five-line register dump every Z80 machine prints.
//
// z80_disassemble() decodes one instruction from its first four bytes. The line,
// dump and register-dump helpers read memory through a Z80ByteReader the machine
// supplies (its own read mapping, without side effects):
//     static uint8_t peek(const void* ctx, uint16_t a) { return ram[a]; }
//     z80_print_register_dump(stdout, cpu, 8, peek, nullptr);   // 256 units per T-state
//     uint16_t next = z80_write_disasm_dump(file, start, end, peek, nullptr);
// Numbers go through format_byte_operand / format_word_operand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cpu/common/hex_format.h"

struct Z80State;

struct Z80DisasmRequest {
    uint8_t code[4];     // the bytes at the instruction's address
    uint16_t address;    // for relative jump targets
    uint32_t flags;      // number-formatter options; every machine passes 0
    char mnemonic[8];    // longest "OTDR" + NUL
    char operands[32];   // longest "RLC B,(IX+$05) *" + NUL, with room
};

// Fills both texts and returns the instruction's length in bytes (1 to 4).
uint32_t z80_disassemble(Z80DisasmRequest& request);

using Z80ByteReader = uint8_t (*)(const void* context, uint16_t address);
// A ready-made reader for a flat 64 KB block (context = block).
uint8_t z80_read_flat_byte(const void* memory, uint16_t address);

// Disassembly line: "%.4X " address, "%.2X " per byte padded to 13 columns,
// mnemonic padded to 5, operands and "\n". *next receives the next address.
std::string z80_disasm_line_text(uint16_t address, Z80ByteReader read, const void* context,
                                 uint16_t* next = nullptr);
// Prints the line; returns the next instruction's address.
uint16_t z80_print_disasm_line(FILE* out, uint16_t address, Z80ByteReader read, const void* context);

// Disassembly dump: lines from start up to and including end (nothing when
// start > end; the dump stops at the top of memory instead of wrapping to 0).
// Returns the address after the last line written (start when none).
uint16_t z80_write_disasm_dump(FILE* out, uint16_t start, uint16_t end, Z80ByteReader read,
                               const void* context);

// "SZ5H3PNC" with "-" for each clear flag bit.
std::string z80_flag_string(uint8_t f);

// The register dump block: five register lines, each followed by the disassembly
// line of the next instruction from PC, then "\n\n". ticks_shift turns `ticks`
// into T-states: 12 on the ZX (4096 units), 8 on the machines with 256 units.
std::string z80_register_dump_text(const Z80State& cpu, int ticks_shift, Z80ByteReader read,
                                   const void* context);
void z80_print_register_dump(FILE* out, const Z80State& cpu, int ticks_shift, Z80ByteReader read,
                             const void* context);
