// PDP-11 trap and HALT-mode sequences, the fetch-complete step, flag tables
// and set-up helpers. The driver lives with the decode step in pdp11_execute.cpp.

#include "cpu/pdp11/pdp11.h"

#include "cpu/pdp11/pdp11_internal.h"

#define PDP11_X8(v) v, v, v, v, v, v, v, v
#define PDP11_X32(v) PDP11_X8(v), PDP11_X8(v), PDP11_X8(v), PDP11_X8(v)

const uint8_t pdp11_byte_nz_flags[256] = {
    PDP11_Z, PDP11_X8(0) /* 0x01..0x08 */, 0, 0, 0, 0, 0, 0, 0 /* ..0x0F */,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 /* 0x10..0x1F */,
    PDP11_X32(0) /* 0x20..0x3F */, PDP11_X32(0), PDP11_X32(0) /* ..0x7F */,
    PDP11_X32(PDP11_N), PDP11_X32(PDP11_N), PDP11_X32(PDP11_N), PDP11_X32(PDP11_N),
};

// Index bit 0: the operand's top bit changed; bit 1: the bit above it changed.
const uint8_t pdp11_vc_flags[4] = {0, PDP11_V, PDP11_V | PDP11_C, PDP11_C};

#undef PDP11_X8
#undef PDP11_X32

int32_t pdp11_fetch_complete_step(Pdp11Cpu* cpu) {
    pdp11_finish(cpu);
    return cpu->cycleBudget -= cpu->costFetch;
}

static int32_t trap_new_psw_step(Pdp11Cpu* cpu) {
    // The whole word: a vector PSW with bit 8 set enters HALT mode.
    cpu->psw = cpu->dataIn & 0xFFFF;
    pdp11_refetch(cpu);
    return cpu->cycleBudget -= cpu->costLongStep;
}

int32_t pdp11_trap_new_pc_step(Pdp11Cpu* cpu) {
    cpu->r[7] = cpu->dataIn & 0xFFFF;
    cpu->busAddress = (cpu->vector + 2) & 0xFFFF;
    cpu->stepHandler = trap_new_psw_step;
    return cpu->cycleBudget -= cpu->costLongStep;
}

static int32_t trap_vector_pc_step(Pdp11Cpu* cpu) {
    cpu->busAddress = cpu->vector & 0xFFFF;
    cpu->busOperation = cpu->opRead;
    cpu->stepHandler = pdp11_trap_new_pc_step;
    return cpu->cycleBudget -= cpu->costStep + cpu->costVectorStep;
}

int32_t pdp11_trap_push_pc_step(Pdp11Cpu* cpu) {
    cpu->r[6] = (cpu->r[6] - 2) & 0xFFFF;
    cpu->dataOut = cpu->r[7] & 0xFFFF;
    cpu->busAddress = cpu->r[6];
    cpu->stepHandler = trap_vector_pc_step;
    return cpu->cycleBudget -= cpu->costStep + cpu->costVectorStep;
}

void request_interrupt(Pdp11Cpu* cpu, uint32_t vector) {
    pdp11_start_trap(cpu, vector & 0xFFFF);
}

void enter_halt_mode(Pdp11Cpu* cpu, uint32_t offset) {
    cpu->vector = (cpu->haltBase | offset) & 0xFFFF;
    cpu->busAddress = cpu->vector;
    cpu->savedPc = cpu->r[7] & 0xFFFF;
    cpu->savedPsw = cpu->psw;
    // Set before the vector read so that mode-decoding machines already see HALT mode.
    cpu->psw |= PDP11_HALT_MODE;
    cpu->busOperation = cpu->opRead;
    cpu->stepHandler = pdp11_trap_new_pc_step;
}

int32_t bus_error_trap(Pdp11Cpu* cpu) {
    pdp11_start_trap(cpu, 4);
    return cpu->cycleBudget -= 8 * cpu->costLongStep + cpu->costStep + cpu->costBusCycle;
}

void pdp11_set_delivered_costs(Pdp11Cpu* cpu) {
    cpu->costPrefetchHit = PDP11_COST_PREFETCH_HIT;
    cpu->speedFactor = PDP11_SPEED_NOMINAL;
    cpu->costBusCycle = PDP11_COST_BUS_CYCLE;
    cpu->costVectorStep = PDP11_COST_VECTOR_STEP;
    cpu->costFetch = PDP11_COST_FETCH;
    cpu->costStep = PDP11_COST_STEP;
    cpu->costLongStep = PDP11_COST_LONG_STEP;
    cpu->haltBase = PDP11_HALT_BASE;
}

void pdp11_reset(Pdp11Cpu* cpu, uint32_t pc, uint32_t psw) {
    cpu->r[7] = pc & 0xFFFF;
    cpu->psw = psw & 0xFFFF;
    cpu->cycleBudget = 0;
    // Nothing has been prefetched yet: make sure the first call reads PC's word.
    cpu->prefetchAddress = (pc - 1) & 0xFFFF;
    pdp11_refetch(cpu);
}
