// The Z80 core's step routines and the bus cycle slots as small numbers, so that a Z80
// stopped in the middle of an instruction can be written to a file and continued later
// (saved states). Pointers are never stored.
//
// The steps are template instances without a list of their own: the table is built once,
// on first use, by running every instruction (all prefixes, both instruction sets) and the
// interrupt acknowledges on a scratch processor and numbering each step in the order it is
// met. z80_step_fingerprint() changes whenever the core's chains change, so a state
// written by another core can be refused instead of being continued with the wrong steps.
//
//   uint16_t code;
//   if (!z80_step_code(cpu.step, &code)) ...   // not a core step
//   cpu.step = z80_step_from_code(code);        // code < z80_step_count()
#pragma once

#include <cstdint>

#include "cpu/z80/z80.h"

uint32_t z80_step_count();
uint32_t z80_step_fingerprint();
bool z80_step_code(Z80Routine step, uint16_t* code);
Z80Routine z80_step_from_code(uint16_t code);

// `bus` as a number: 0 fetch_byte, 1 read_mem, 2 write_mem, 3 read_port, 4 write_port;
// -1 anything else.
enum : int { z80_bus_slot_count = 5 };
int z80_bus_code(const Z80State* s, Z80Routine bus);
Z80Routine z80_bus_from_code(const Z80State* s, int code); // nullptr: no such code
