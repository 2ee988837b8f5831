// A Z80's registers and position as plain bytes, for save states. The machine's bus slots,
// costs and memory pointer are not part of it: they stay as the machine wired them. A
// processor is saved between instructions (or with an interrupt acknowledge about to run);
// the steps and bus slot in force are stored as small numbers, never as addresses.
#pragma once

#include <cstdint>

#include "cpu/z80/z80.h"

struct Z80SavedState {
    uint8_t a, f, r, r7, i, iff, im, mode_8080;
    uint16_t hl, de, bc, sp, pc, ix, iy, af_alt, hl_alt, de_alt, bc_alt, temp;
    uint8_t latch, data, step, bus, index_iy, reserved[3];
    int32_t addr, ticks;
};
static_assert(sizeof(Z80SavedState) == 48);

// False (with a reason) when the processor stands at a point the record cannot name.
bool z80_state_save(const Z80State* cpu, Z80SavedState* saved, const char** why);
// Whether a record (from a file) holds only values a processor can have.
bool z80_state_valid(const Z80SavedState& saved);
// Puts a valid record into a processor whose slots the machine has filled.
void z80_state_load(const Z80SavedState& saved, Z80State* cpu);
// The same as a save-state section's bytes, for a machine's state table (`cpu` is the
// machine's Z80State, `bytes` sizeof(Z80SavedState) long).
bool z80_section_save(const void* cpu, void* bytes, const char** why);
bool z80_section_valid(const void* bytes);
void z80_section_load(const void* bytes, void* cpu);
