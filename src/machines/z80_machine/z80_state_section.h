// The processor's section in the save-state table of a Z80 machine (PK8000, Specialist,
// tile machine, ZX Spectrum): tag "Z80 ", the core's saved record of the machine's Z80.
//
//   const StateTableEntry sections[] = {z80_state_section(pk8000.cpu), ...};
#pragma once

#include "cpu/z80/z80_state.h"
#include "host/session_table.h"

inline constexpr StateCodec z80_state_codec = {z80_section_save, z80_section_valid, z80_section_load};

constexpr StateTableEntry z80_state_section(Z80State& cpu)
{
    return {state_tag("Z80 "), &cpu, sizeof(Z80SavedState), nullptr, 0, &z80_state_codec};
}
