// What a debugger needs of a PDP-11 beyond the disassembler: the registers as a list
// (names, read, write by index), the instructions step over runs through, and one
// instruction as a line of text.
#pragma once

#include <cstddef>
#include <cstdint>

struct Pdp11Cpu;

// R0 R1 R2 R3 R4 R5 SP PC PSW PC' PSW'
inline constexpr int pdp11_debug_register_count = 11;
extern const char* const pdp11_debug_register_names[pdp11_debug_register_count];
inline constexpr int pdp11_debug_flags_register = 8;
inline constexpr const char* pdp11_debug_flag_letters = "HP65TNZVC";

uint32_t pdp11_debug_get_register(const Pdp11Cpu& cpu, int index);
void pdp11_debug_get_registers(const Pdp11Cpu& cpu, uint32_t* values);
// Call at an instruction boundary. A new PC takes its prefetch word from `word_at` (the
// machine's side-effect-free view), so the processor stands at the boundary of the
// instruction there.
void pdp11_debug_set_register(Pdp11Cpu& cpu, int index, uint32_t value, uint16_t (*word_at)(uint32_t address));

// Length of JSR, EMT, TRAP, IOT and BPT (code in memory order, low byte first), else 0.
int pdp11_debug_call_length(const uint8_t* code);

// "MOV   #$1000,R0" into text; code in memory order; returns the length in bytes.
int pdp11_debug_disassemble(uint16_t address, const uint8_t* code, char* text, size_t size);
