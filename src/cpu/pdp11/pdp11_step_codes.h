// The PDP-11 core's step routines and a processor's bus operations as small numbers, so
// that a processor stopped in the middle of an instruction can be written to a file and
// continued later (saved states). Pointers are never stored.
//
// The steps are template instances without a list of their own: the table is built once,
// on first use, by running every instruction the core provides (and the interrupt, HALT
// and bus-error sequences) on a scratch processor over a scratch memory and numbering each
// step in the order it is met. The same core always numbers its steps the same way;
// pdp11_step_fingerprint() changes whenever the core's chains change, so a state written
// by another core can be refused instead of being continued with the wrong steps.
//
//   uint16_t code;
//   if (!pdp11_step_code(cpu.stepHandler, &code)) ...   // not a core step (a machine's own)
//   cpu.stepHandler = pdp11_step_from_code(code);        // code < pdp11_step_count()
// Code 0 is "no step" (nullptr), the continuation before the first addressing sequence.
#pragma once

#include <cstdint>

#include "cpu/pdp11/pdp11.h"

uint32_t pdp11_step_count();
uint32_t pdp11_step_fingerprint();
bool pdp11_step_code(Pdp11Step step, uint16_t* code);
Pdp11Step pdp11_step_from_code(uint16_t code);

// busOperation as a number: 0-13 the slot of that number (opFetch ... opWriteUser, in the
// record's order), 14 and 15 the machine's word and byte write-backs (selected by
// opReadModify / opReadModifyByte), -1 anything else (a machine's own operation). The
// write-backs are found by letting a copy of the processor run its read-modify slots at
// address 0, which must be plain memory on the machine (it is on every PDP-11 here).
enum : int { PDP11_BUS_WORD_WRITE_BACK = 14, PDP11_BUS_BYTE_WRITE_BACK = 15, pdp11_bus_op_count = 16 };
int pdp11_bus_op_code(const Pdp11Cpu* cpu, Pdp11BusOp op);
Pdp11BusOp pdp11_bus_op_from_code(const Pdp11Cpu* cpu, int code); // nullptr: no such code
