// Steps and helpers shared by the trap sequences (pdp11.cpp) and the instruction
// execution (pdp11_execute.cpp). Not part of the public interface.

#pragma once

#include "cpu/pdp11/pdp11.h"

// Trap sequence after the PSW push has been set up: push PC, read the vector.
int32_t pdp11_trap_push_pc_step(Pdp11Cpu* cpu);
// Trap sequence from the new-PC read on (HALT-mode entry joins here).
int32_t pdp11_trap_new_pc_step(Pdp11Cpu* cpu);

// Sets up the PSW push of a trap through `vector`; the trap steps follow.
inline void pdp11_start_trap(Pdp11Cpu* cpu, uint32_t vector) {
    cpu->vector = vector;
    cpu->r[6] = (cpu->r[6] - 2) & 0xFFFF;
    cpu->busAddress = cpu->r[6];
    cpu->dataOut = cpu->psw & 0xFFFF;
    cpu->busOperation = cpu->opWrite;
    cpu->stepHandler = pdp11_trap_push_pc_step;
}

// Ends an instruction: the next bus operation is the fetch, then the decode step.
inline void pdp11_finish(Pdp11Cpu* cpu) {
    cpu->busOperation = cpu->opFetch;
    cpu->stepHandler = pdp11_decode_step;
}

// Ends an instruction that changed the flow: refetch at the new PC, then the
// fetch-complete step.
inline void pdp11_refetch(Pdp11Cpu* cpu) {
    cpu->busOperation = cpu->opRefetch;
    cpu->stepHandler = pdp11_fetch_complete_step;
}
