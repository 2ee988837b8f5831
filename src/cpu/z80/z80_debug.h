// What a debugger needs of a Z80 beyond the disassembler: the register file as a list
// (names, read, write by index), the instructions step over runs through, and one
// instruction as a line of text.
#pragma once

#include <cstddef>
#include <cstdint>

struct Z80State;

// AF BC DE HL IX IY SP PC AF' BC' DE' HL' I R IM IFF
inline constexpr int z80_debug_register_count = 16;
extern const char* const z80_debug_register_names[z80_debug_register_count];
extern const uint8_t z80_debug_register_bits[z80_debug_register_count];
inline constexpr int z80_debug_flags_register = 0; // F is the low byte of AF
inline constexpr const char* z80_debug_flag_letters = "SZ5H3PNC";

// R as the program sees it; IM as the mode number (0, 1, 2); IFF bit 0 = IFF1, bit 1 = IFF2.
uint32_t z80_debug_get_register(const Z80State& cpu, int index);
void z80_debug_set_register(Z80State& cpu, int index, uint32_t value);
void z80_debug_get_registers(const Z80State& cpu, uint32_t* values);

// Length of CALL, CALL cc, RST, DJNZ, HALT and the repeating block instructions (the
// instructions a step over runs through to the next one), else 0.
int z80_debug_call_length(const uint8_t* code);

// "LD    A,(IX+$05)" into text; returns the instruction's length.
int z80_debug_disassemble(uint16_t address, const uint8_t* code, char* text, size_t size);
