// PDP-11 execution, part 4: flow of control (JMP, JSR, RTS, RTI/RTT, MARK, SOB, the
// branches), the condition-code and special instructions, HALT and the traps.
//
// Included only by pdp11_execute.cpp (see pdp11_operations.h).
#pragma once

#include <cstdio>

#include "cpu/pdp11/pdp11_bus.h"
#include "cpu/pdp11/pdp11_operands.h"

namespace {

// ---------------------------------------------------------------------------
// Flow of control.

int32_t jump_target_step(Pdp11Cpu* c) {
    c->r[PC] = c->dataIn & 0xFFFF;
    pdp11_refetch(c);
    return charge(c, c->costStep);
}

int32_t jump_index_target_step(Pdp11Cpu* c) {
    c->r[PC] = (c->indexBase + c->dataIn) & 0xFFFF;
    pdp11_refetch(c);
    return charge(c, c->costStep);
}

int32_t jsr_refetch_step(Pdp11Cpu* c) {
    pdp11_refetch(c);
    return charge(c, c->costStep);
}

// JSR R: push R, R = PC, PC = target; the push is the next bus operation.
void jsr_enter(Pdp11Cpu* c, uint32_t target) {
    uint32_t n = (c->ir >> 6) & 7;
    c->r[SP] = (c->r[SP] - 2) & 0xFFFF;
    c->busAddress = c->r[SP];
    c->dataOut = c->r[n] & 0xFFFF;
    c->r[n] = c->r[PC] & 0xFFFF;
    c->r[PC] = target & 0xFFFF;
    c->busOperation = c->opWrite;
    c->stepHandler = jsr_refetch_step;
}

int32_t jsr_target_step(Pdp11Cpu* c) {
    jsr_enter(c, c->dataIn);
    return charge(c, c->costStep);
}

int32_t jsr_index_target_step(Pdp11Cpu* c) {
    jsr_enter(c, c->indexBase + c->dataIn);
    return charge(c, c->costStep);
}

// @X(Rn) for JMP/JSR: read the pointer, then the target step in `continuation`.
int32_t index_then_pointer_jump_step(Pdp11Cpu* c) {
    c->busAddress = (c->indexBase + c->dataIn) & 0xFFFF;
    c->stepHandler = c->continuation;
    return charge(c, c->costStep);
}

template <bool Jsr> void jump(Pdp11Cpu* c) {
    uint32_t dd = c->ir & 077;
    uint32_t& reg = c->r[dd & 7];
    uint32_t target = 0;
    Pdp11Step target_step = Jsr ? jsr_target_step : jump_target_step;
    switch (dd >> 3) {
    case 0:  // a register has no address
        pdp11_start_trap(c, 4);
        return;
    case 1:
        target = reg;
        break;
    case 2:
        target = reg;
        reg = (reg + 2) & 0xFFFF;
        break;
    case 4:
        reg = (reg - 2) & 0xFFFF;
        target = reg;
        break;
    case 3:
        c->busAddress = reg & 0xFFFF;
        reg = (reg + 2) & 0xFFFF;
        c->busOperation = c->opRead;
        c->stepHandler = target_step;
        return;
    case 5:
        reg = (reg - 2) & 0xFFFF;
        c->busAddress = reg;
        c->busOperation = c->opRead;
        c->stepHandler = target_step;
        return;
    case 6:
    default:  // 7
        c->busAddress = c->r[PC] & 0xFFFF;
        c->r[PC] = (c->r[PC] + 2) & 0xFFFF;
        c->indexBase = reg & 0xFFFF;
        c->busOperation = c->opRead;
        if ((dd >> 3) == 6) {
            c->stepHandler = Jsr ? jsr_index_target_step : jump_index_target_step;
        } else {
            c->continuation = target_step;
            c->stepHandler = index_then_pointer_jump_step;
        }
        return;
    }
    if constexpr (Jsr) {
        jsr_enter(c, target);
    } else {
        c->r[PC] = target & 0xFFFF;
        pdp11_refetch(c);
    }
}

// Pops into register `n` after PC has been set: RTS and MARK.
int32_t pop_register_step(Pdp11Cpu* c) {
    uint32_t n = ((c->ir & 0177770) == 0000200) ? (c->ir & 7) : 5;
    c->r[n] = c->dataIn & 0xFFFF;
    pdp11_refetch(c);
    return charge(c, c->costStep);
}

void pop_to_register(Pdp11Cpu* c) {
    c->busAddress = c->r[SP] & 0xFFFF;
    c->r[SP] = (c->r[SP] + 2) & 0xFFFF;
    c->busOperation = c->opRead;
    c->stepHandler = pop_register_step;
}

// RTI/RTT: below 0160000 only the PSW's low byte is restored; code in the
// HALT area may set or clear bit 8. The boundary is fixed by the chip.
int32_t rti_psw_step(Pdp11Cpu* c) {
    if (c->r[PC] < 0160000)
        c->psw = (c->psw & ~0xFFu) | (c->dataIn & 0xFF);
    else
        c->psw = c->dataIn & 0777;
    pdp11_refetch(c);
    return charge(c, c->costLongStep);
}

int32_t rti_pc_step(Pdp11Cpu* c) {
    c->r[PC] = c->dataIn & 0xFFFF;
    c->busAddress = c->r[SP] & 0xFFFF;
    c->r[SP] = (c->r[SP] + 2) & 0xFFFF;
    c->stepHandler = rti_psw_step;
    return charge(c, c->costLongStep);
}

void return_from_interrupt(Pdp11Cpu* c) {
    c->busAddress = c->r[SP] & 0xFFFF;
    c->r[SP] = (c->r[SP] + 2) & 0xFFFF;
    c->busOperation = c->opRead;
    c->stepHandler = rti_pc_step;
}

// Branch condition by code: bits 8-10 of the opcode, plus 010 for the 1xxxxx group.
template <uint32_t Code> inline bool branch_taken(uint32_t psw) {
    bool n = psw & PDP11_N, z = psw & PDP11_Z, v = psw & PDP11_V, cf = psw & PDP11_C;
    switch (Code) {
    case 001: return true;               // BR
    case 002: return !z;                 // BNE
    case 003: return z;                  // BEQ
    case 004: return n == v;             // BGE
    case 005: return n != v;             // BLT
    case 006: return !z && n == v;       // BGT
    case 007: return z || n != v;        // BLE
    case 010: return !n;                 // BPL
    case 011: return n;                  // BMI
    case 012: return !cf && !z;          // BHI
    case 013: return cf || z;            // BLOS
    case 014: return !v;                 // BVC
    case 015: return v;                  // BVS
    case 016: return !cf;                // BCC
    case 017: return cf;                 // BCS
    default: return false;
    }
}

// A taken branch or looping SOB moves PC. Through the slots the refetch at the new PC is
// the next bus operation (false: the instruction goes on). On plain memory the refetch and
// the fetch-complete step happen here, and the instruction ends at the boundary (true).
template <bool Plain> [[gnu::always_inline]] inline bool branch_to(Pdp11Cpu* c, uint32_t target) {
    c->r[PC] = target;
    if constexpr (Plain) {
        c->prefetchAddress = target;
        c->prefetch = pdp11_load_word(c->plainMemory + (target & 0xFFFE));
        return (c->cycleBudget -= c->costFetch, true);
    } else {
        pdp11_refetch(c);
        return false;
    }
}

// True when not taken: the instruction ends with the prefetch still valid.
template <uint32_t Code, bool Plain = false> bool branch(Pdp11Cpu* c) {
    if (!branch_taken<Code>(c->psw)) return true;
    uint32_t offset = c->ir & 0xFF;
    uint32_t delta = (offset & 0x80) ? (offset | 0xFF00) : offset;
    return branch_to<Plain>(c, (c->r[PC] + 2 * delta) & 0xFFFF);
}

int32_t mfus_step(Pdp11Cpu* c) {
    c->r[0] = c->dataIn & 0xFFFF;
    set_logic_flags<false>(c, c->r[0]);
    pdp11_finish(c);
    return charge(c, c->costStep);
}

void unrealized(Pdp11Cpu* c) {
    c->vector = c->ir & 0xFFFF;
    std::printf("Unrealized instruction 0x%.4X on PC = 0x%.4X\n", c->ir & 0xFFFF,
                (c->r[PC] - 2) & 0xFFFF);
}

// 000000-000077: HALT, WAIT, RTI, traps and the HALT-mode instructions.
void special(Pdp11Cpu* c) {
    switch (c->ir & 077) {
    case 000: enter_halt_mode(c, PDP11_HALT_OFFSET_HALT); return;   // 000000 HALT
    case 001: return;                                               // 000001 WAIT
    case 002: case 006: return_from_interrupt(c); return;           // 000002 RTI, 000006 RTT
    case 003: pdp11_start_trap(c, 014); return;                     // 000003 BPT
    case 004: pdp11_start_trap(c, 020); return;                     // 000004 IOT
    case 005: return;                                               // 000005 RESET
    case 007: pdp11_start_trap(c, 010); return;                     // 000007 MFPT
    case 010: case 011: case 012: case 013:                         // 00001x START
        c->r[PC] = c->savedPc & 0xFFFF;
        c->psw = c->savedPsw & 0xFFFF;
        return;
    case 021:                                                       // 000021 MFUS
        c->busAddress = c->r[5] & 0xFFFF;
        c->r[5] = (c->r[5] + 2) & 0xFFFF;
        c->busOperation = c->opReadUser;
        c->stepHandler = mfus_step;
        return;
    case 022: case 023:                                             // 00002[23] RCPC
        c->r[0] = c->savedPc & 0xFFFF;
        return;
    case 024: case 025: case 026: case 027:                         // 00002[4-7] RCPS
        c->r[0] = c->savedPsw & 0xFFFF;
        return;
    case 031:                                                       // 000031 MTUS
        c->r[5] = (c->r[5] - 2) & 0xFFFF;
        c->busAddress = c->r[5];
        c->dataOut = c->r[0] & 0xFFFF;
        set_logic_flags<false>(c, c->r[0]);
        c->busOperation = c->opWriteUser;
        c->stepHandler = end_after_write_step;
        return;
    case 032: case 033:                                             // 00003[23] WCPC
        c->savedPc = c->r[0] & 0xFFFF;
        return;
    case 034: case 035: case 036: case 037:                         // 00003[4-7] WCPS
        c->savedPsw = c->r[0] & 0xFFFF;
        return;
    default:                                                        // STEP and the rest
        unrealized(c);
        return;
    }
}

// 000200-000277: RTS, the unprovided SPL range, condition-code operators.
void rts_or_condition_codes(Pdp11Cpu* c) {
    if ((c->ir & 070) == 0) {                                        // 00020R RTS
        c->r[PC] = c->r[c->ir & 7] & 0xFFFF;
        pop_to_register(c);
    } else if ((c->ir & 040) == 0) {                                 // 000210-000237 (SPL)
        unrealized(c);
    } else if (c->ir & 020) {                                        // 00026x-00027x SEx/SCC
        c->psw |= c->ir & 017;
    } else {                                                         // 00024x-00025x CLx/CCC
        c->psw &= ~(c->ir & 017);
    }
}

void mark(Pdp11Cpu* c) {
    c->r[SP] = (c->r[PC] + 2 * (c->ir & 077)) & 0xFFFF;
    c->r[PC] = c->r[5] & 0xFFFF;
    pop_to_register(c);
}

void xor_instruction(Pdp11Cpu* c) {
    start_destination<op_xor, false, Kind::Modify, true>(c, c->r[(c->ir >> 6) & 7] & 0xFFFF);
}

// True when the loop ends (the prefetch still valid, unless the counter is PC itself).
template <bool Plain = false> bool sob(Pdp11Cpu* c) {
    uint32_t n = (c->ir >> 6) & 7;
    uint32_t& reg = c->r[n];
    reg = (reg - 1) & 0xFFFF;
    if (reg != 0) [[likely]] return branch_to<Plain>(c, (c->r[PC] - 2 * (c->ir & 077)) & 0xFFFF);
    return n != PC;
}

void halt_reserved(Pdp11Cpu* c) { enter_halt_mode(c, PDP11_HALT_OFFSET_RESERVED); }
template <uint32_t Vector> void trap(Pdp11Cpu* c) { pdp11_start_trap(c, Vector); }

}  // namespace
