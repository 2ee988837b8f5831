// Z80 core internals shared by the decoders: register access by opcode field,
// the ALU and flag helpers, and the small step routines that instruction
// chains are made of. Not part of the public interface.
//
// Register codes follow the opcode's 3-bit field (B C D E H L (HL) A), plus
// XH/XL for the halves of the current index register. Pair codes follow the
// 2-bit field (BC DE HL SP), plus AF, the current index register and PC.
// The decoders map H/L/HL to XH/XL/index themselves, so a step only ever sees
// the register it really touches.

#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "cpu/z80/z80.h"

// 8080 flag tables: S Z P of v; INR and DCR flags (S Z AC P) by the old value.
extern const uint8_t flags_szp_8080[256];
extern const uint8_t flags_inr_8080[256];
extern const uint8_t flags_dcr_8080[256];

// decode_main's tables of first steps: the Z80's unprefixed set and the 8080's.
extern const Z80Routine z80_opcode_steps[256];
extern const Z80Routine i8080_opcode_steps[256];

namespace z80_impl {

using S = Z80State;
constexpr int T3 = Z80State::t3, T4 = Z80State::t4, T5 = Z80State::t5, T6 = Z80State::t6,
              T7 = Z80State::t7, T8 = Z80State::t8, T10 = Z80State::t10, T11 = Z80State::t11;

enum Reg8 { RB, RC, RD, RE, RH, RL, RMEM, RA, RXH, RXL };
// PPSW is the 8080's AF as PUSH PSW stores it and POP PSW loads it.
enum Reg16 { PBC, PDE, PHL, PSP, PAF, PIX, PPC, PPSW };

constexpr uint8_t FC = Z80_FLAG_C, FN = Z80_FLAG_N, FP = Z80_FLAG_P, F3 = Z80_FLAG_3,
                  FH = Z80_FLAG_H, F5 = Z80_FLAG_5, FZ = Z80_FLAG_Z, FS = Z80_FLAG_S;

// The 8080's flag byte: S Z 0 AC 0 P 1 CY. The core keeps bit 1 clear in F and
// sets it when PSW is pushed; AC sits where the Z80 keeps H.
constexpr uint8_t F8080_ALWAYS_SET = 0x02;
constexpr uint8_t F8080_MASK = FS | FZ | FH | FP | FC;

// Register field as seen under a DD/FD prefix: H and L become the index halves.
constexpr int index_reg8(int r, bool x) { return x && r == RH ? RXH : x && r == RL ? RXL : r; }
constexpr int index_reg16(int p, bool x) { return x && p == PHL ? PIX : p; }

inline void charge(S* s, int c) { s->ticks -= s->cost[c]; }

// Ends the instruction: the next bus cycle is an opcode fetch.
inline void finish(S* s, int c) {
    s->ticks -= s->cost[c];
    s->bus = s->fetch_byte;
    s->step = decode_main;
}

inline uint16_t word_operand(const S* s) { return z80_pair(s->data, s->latch); }
inline int32_t next_addr(const S* s) { return (s->addr + 1) & 0xFFFF; }

template <int R> inline uint8_t get8(const S* s) {
    if constexpr (R == RB) return z80_hi(s->bc);
    else if constexpr (R == RC) return z80_lo(s->bc);
    else if constexpr (R == RD) return z80_hi(s->de);
    else if constexpr (R == RE) return z80_lo(s->de);
    else if constexpr (R == RH) return z80_hi(s->hl);
    else if constexpr (R == RL) return z80_lo(s->hl);
    else if constexpr (R == RA) return s->a;
    else if constexpr (R == RXH) return z80_hi(*s->index_reg);
    else if constexpr (R == RXL) return z80_lo(*s->index_reg);
    else static_assert(R == RB, "no such register");
}

template <int R> inline void set8(S* s, uint8_t v) {
    if constexpr (R == RB) z80_set_hi(s->bc, v);
    else if constexpr (R == RC) z80_set_lo(s->bc, v);
    else if constexpr (R == RD) z80_set_hi(s->de, v);
    else if constexpr (R == RE) z80_set_lo(s->de, v);
    else if constexpr (R == RH) z80_set_hi(s->hl, v);
    else if constexpr (R == RL) z80_set_lo(s->hl, v);
    else if constexpr (R == RA) s->a = v;
    else if constexpr (R == RXH) z80_set_hi(*s->index_reg, v);
    else if constexpr (R == RXL) z80_set_lo(*s->index_reg, v);
    else static_assert(R == RB, "no such register");
}

template <int P> inline uint16_t get16(const S* s) {
    if constexpr (P == PBC) return s->bc;
    else if constexpr (P == PDE) return s->de;
    else if constexpr (P == PHL) return s->hl;
    else if constexpr (P == PSP) return s->sp;
    else if constexpr (P == PAF) return z80_pair(s->a, s->f);
    else if constexpr (P == PIX) return *s->index_reg;
    else if constexpr (P == PPSW) return z80_pair(s->a, s->f | F8080_ALWAYS_SET);
    else return s->pc;
}

template <int P> inline void set16(S* s, uint16_t v) {
    if constexpr (P == PBC) s->bc = v;
    else if constexpr (P == PDE) s->de = v;
    else if constexpr (P == PHL) s->hl = v;
    else if constexpr (P == PSP) s->sp = v;
    else if constexpr (P == PAF) { s->a = z80_hi(v); s->f = z80_lo(v); }
    else if constexpr (P == PIX) *s->index_reg = v;
    else if constexpr (P == PPSW) { s->a = z80_hi(v); s->f = z80_lo(v) & F8080_MASK; }
    else s->pc = v;
}

template <int P> inline void set16_lo(S* s, uint8_t v) { set16<P>(s, z80_pair(z80_hi(get16<P>(s)), v)); }
template <int P> inline void set16_hi(S* s, uint8_t v) { set16<P>(s, z80_pair(v, z80_lo(get16<P>(s)))); }

// Conditions by the 3-bit field: NZ Z NC C PO PE P M.
template <int CC> inline bool condition(const S* s) {
    constexpr uint8_t mask[8] = {FZ, FZ, FC, FC, FP, FP, FS, FS};
    return ((s->f & mask[CC]) != 0) == ((CC & 1) != 0);
}

// ---- ALU ------------------------------------------------------------------

// The 8080's ALU, by the same field (ADD ADC SUB SBB ANA XRA ORA CMP), with
// ALU_8080 added so one template family serves both sets. The 8080 sets P from
// parity after every operation and has no N. Its auxiliary carry is the carry
// out of bit 3: subtraction runs as A + ~v + !borrow, so AC is the inverted
// borrow into bit 4; ANA sets AC from bit 3 of either operand. Logic clears CY.
enum { ALU_8080 = 8 };

template <int OP> inline void alu_8080(S* s, uint8_t v) {
    const int a = s->a;
    if constexpr (OP == 0 || OP == 1) {
        const int r = a + v + (OP == 1 ? (s->f & FC) : 0);
        s->f = static_cast<uint8_t>(flags_szp_8080[r & 0xFF] | ((a ^ v ^ r) & FH) | ((r >> 8) & FC));
        s->a = static_cast<uint8_t>(r);
    } else if constexpr (OP == 2 || OP == 3 || OP == 7) {
        const int r = a - v - (OP == 3 ? (s->f & FC) : 0);  // negative on a borrow
        s->f = static_cast<uint8_t>(flags_szp_8080[r & 0xFF] | (~(a ^ v ^ r) & FH) | ((r >> 8) & FC));
        if constexpr (OP != 7) s->a = static_cast<uint8_t>(r);
    } else if constexpr (OP == 4) {
        s->a = static_cast<uint8_t>(a & v);
        s->f = static_cast<uint8_t>(flags_szp_8080[s->a] | (((a | v) << 1) & FH));
    } else if constexpr (OP == 5) {
        s->a = static_cast<uint8_t>(a ^ v);
        s->f = flags_szp_8080[s->a];
    } else {
        s->a = static_cast<uint8_t>(a | v);
        s->f = flags_szp_8080[s->a];
    }
}

// ALU operation by the 3-bit field: ADD ADC SUB SBC AND XOR OR CP.
template <int OP> inline void alu(S* s, uint8_t v) {
    const int a = s->a;
    if constexpr (OP >= ALU_8080) {
        alu_8080<OP - ALU_8080>(s, v);
    } else if constexpr (OP == 0 || OP == 1) {
        const int r = a + v + (OP == 1 ? (s->f & FC) : 0);
        s->f = flags_sz53[r & 0xFF] | flags_add_hvc[(a ^ v ^ r) >> 4];
        s->a = static_cast<uint8_t>(r);
    } else if constexpr (OP == 2 || OP == 3 || OP == 7) {
        // Signed difference: a borrow out makes the vector negative (index 0..15).
        const int r = a - v - (OP == 3 ? (s->f & FC) : 0);
        const uint8_t hvc = flags_sub_hvc[16 + ((a ^ v ^ r) >> 4)];
        if constexpr (OP == 7) {
            // CP takes bits 5 and 3 from the operand, not from the difference.
            s->f = (flags_sz53[r & 0xFF] & (FS | FZ)) | (v & (F5 | F3)) | hvc;
        } else {
            s->f = flags_sz53[r & 0xFF] | hvc;
            s->a = static_cast<uint8_t>(r);
        }
    } else if constexpr (OP == 4) {
        s->a = static_cast<uint8_t>(a & v);
        s->f = flags_sz53p_h[s->a];
    } else if constexpr (OP == 5) {
        s->a = static_cast<uint8_t>(a ^ v);
        s->f = flags_sz53p[s->a];
    } else {
        s->a = static_cast<uint8_t>(a | v);
        s->f = flags_sz53p[s->a];
    }
}

// CB-group operation kinds, by bits 7-3 of the CB opcode: 0-7 rotations and
// shifts (RLC RRC RL RR SLA SRA SLL SRL), 8-15 BIT, 16-23 RES, 24-31 SET;
// plus INC and DEC for the read-modify-write steps of the main set.
// INR and DCR are the 8080's INC and DEC (no N, P from parity, the 8080's AC).
enum { K_INC = 32, K_DEC = 33, K_INR = 34, K_DCR = 35 };

template <int K> inline uint8_t rmw_value(S* s, uint8_t v) {
    if constexpr (K == K_INR) {
        s->f = static_cast<uint8_t>((s->f & FC) | flags_inr_8080[v]);
        return static_cast<uint8_t>(v + 1);
    } else if constexpr (K == K_DCR) {
        s->f = static_cast<uint8_t>((s->f & FC) | flags_dcr_8080[v]);
        return static_cast<uint8_t>(v - 1);
    } else if constexpr (K == K_INC) {
        s->f = static_cast<uint8_t>((s->f & FC) | flags_inc[v]);
        return static_cast<uint8_t>(v + 1);
    } else if constexpr (K == K_DEC) {
        s->f = static_cast<uint8_t>((s->f & FC) | flags_dec[v]);
        return static_cast<uint8_t>(v - 1);
    } else if constexpr (K >= 16 && K < 24) {
        return static_cast<uint8_t>(v & ~(1 << (K - 16)));
    } else if constexpr (K >= 24) {
        return static_cast<uint8_t>(v | (1 << (K - 24)));
    } else {
        uint8_t r, c;
        if constexpr (K == 0) { c = v >> 7; r = static_cast<uint8_t>((v << 1) | c); }           // RLC
        else if constexpr (K == 1) { c = v & 1; r = static_cast<uint8_t>((v >> 1) | (c << 7)); } // RRC
        else if constexpr (K == 2) { c = v >> 7; r = static_cast<uint8_t>((v << 1) | (s->f & FC)); } // RL
        else if constexpr (K == 3) { c = v & 1; r = static_cast<uint8_t>((v >> 1) | ((s->f & FC) << 7)); } // RR
        else if constexpr (K == 4) { c = v >> 7; r = static_cast<uint8_t>(v << 1); }             // SLA
        else if constexpr (K == 5) { c = v & 1; r = static_cast<uint8_t>((v >> 1) | (v & 0x80)); } // SRA
        else if constexpr (K == 6) { c = v >> 7; r = static_cast<uint8_t>((v << 1) | 1); }       // SLL
        else { c = v & 1; r = static_cast<uint8_t>(v >> 1); }                                    // SRL
        s->f = static_cast<uint8_t>(flags_sz53p[r] | c);
        return r;
    }
}

// BIT n: Z and P/V when the bit is clear, H set, C kept, S only for bit 7 set;
// bits 5 and 3 come from `undoc` (the register, or an address high byte).
template <int N> inline void bit_flags(S* s, uint8_t v, uint8_t undoc) {
    const uint8_t bit = static_cast<uint8_t>(v & (1 << N));
    s->f = static_cast<uint8_t>((s->f & FC) | FH | (undoc & (F5 | F3)) | (bit ? 0 : (FZ | FP)) |
                                (bit & FS));
}

// ---- Step families ------------------------------------------------------

// Instruction end after a memory write (or port write): charge its cycle.
inline void fin_t3(S* s) { finish(s, T3); }
inline void fin_t4(S* s) { finish(s, T4); }

// Load a register from `data`, no flags: an operand or memory read charges 3, the port
// read of IN A,(n) 4.
template <int R, int C = T3> void ld_reg_data(S* s) {
    set8<R>(s, s->data);
    finish(s, C);
}

// Indexed address: displacement read 3 + internal 5, then a memory read.
template <Z80Routine NEXT> void idx_addr(S* s) {
    s->addr = static_cast<uint16_t>(*s->index_reg + static_cast<int8_t>(s->data));
    charge(s, T8);
    s->bus = s->read_mem;
    s->step = NEXT;
}

// Operand word: low byte into `latch`, the high byte arrives in `data`.
template <Z80Routine NEXT> void word_lo(S* s) {
    s->latch = s->data;
    charge(s, T3);
    s->step = NEXT;
}

template <int OP> void alu_data(S* s) {
    alu<OP>(s, s->data);
    finish(s, T3);
}

// Read-modify-write: compute, then write back (read 3 + internal 1; the
// 8080 has no internal state there and charges C = T3).
template <int K, int C = T4> void rmw(S* s) {
    s->data = rmw_value<K>(s, s->data);
    charge(s, C);
    s->bus = s->write_mem;
    s->step = fin_t3;
}

// Pop: low byte first.
template <int P> void pop_hi(S* s) {
    set16_hi<P>(s, s->data);
    s->sp++;
    finish(s, T3);
}
template <int P> void pop_lo(S* s) {
    set16_lo<P>(s, s->data);
    s->sp++;
    s->addr = s->sp;
    charge(s, T3);
    s->step = pop_hi<P>;
}
template <int P> inline void start_pop(S* s) {
    s->addr = s->sp;
    s->bus = s->read_mem;
    s->step = pop_lo<P>;
}

// Push: high byte at SP-1 first, then low byte at SP-2.
template <int P> void push_lo(S* s) {
    s->sp--;
    s->addr = s->sp;
    s->data = z80_lo(get16<P>(s));
    charge(s, T3);
    s->step = fin_t3;
}
template <int P> inline void start_push(S* s) {
    s->sp--;
    s->addr = s->sp;
    s->data = z80_hi(get16<P>(s));
    s->bus = s->write_mem;
    s->step = push_lo<P>;
}

// CALL and RST push the return address kept in `temp`.
inline void push_temp_lo(S* s) {
    s->sp--;
    s->addr = s->sp;
    s->data = z80_lo(s->temp);
    charge(s, T3);
    s->step = fin_t3;
}
inline void start_push_pc(S* s, uint16_t target) {
    s->temp = s->pc;
    s->pc = target;
    s->sp--;
    s->addr = s->sp;
    s->data = z80_hi(s->temp);
    s->bus = s->write_mem;
    s->step = push_temp_lo;
}

// LD rr,nn: operand word straight into the pair.
template <int P> void ld16_imm_hi(S* s) {
    set16_hi<P>(s, s->data);
    finish(s, T3);
}
template <int P> void ld16_imm_lo(S* s) {
    set16_lo<P>(s, s->data);
    charge(s, T3);
    s->step = ld16_imm_hi<P>;
}

// LD (nn),rr: low byte at nn, high byte at nn+1.
template <int P> void st16_hi(S* s) {
    s->addr = next_addr(s);
    s->data = z80_hi(get16<P>(s));
    charge(s, T3);
    s->step = fin_t3;
}
template <int P> void st16_addr(S* s) {
    s->addr = word_operand(s);
    s->data = z80_lo(get16<P>(s));
    charge(s, T3);
    s->bus = s->write_mem;
    s->step = st16_hi<P>;
}

// LD rr,(nn).
template <int P> void ld16_hi(S* s) {
    set16_hi<P>(s, s->data);
    finish(s, T3);
}
template <int P> void ld16_lo(S* s) {
    set16_lo<P>(s, s->data);
    s->addr = next_addr(s);
    charge(s, T3);
    s->step = ld16_hi<P>;
}
template <int P> void ld16_addr(S* s) {
    s->addr = word_operand(s);
    charge(s, T3);
    s->bus = s->read_mem;
    s->step = ld16_lo<P>;
}

// LD (HL),n / MVI M: the immediate byte goes to (HL).
inline void st_hl_n(S* s) {
    s->addr = s->hl;
    charge(s, T3);
    s->bus = s->write_mem;
    s->step = fin_t3;
}

inline void jp_word(S* s) {
    s->pc = word_operand(s);
    finish(s, T3);
}

inline void st_a_word(S* s) {
    s->addr = word_operand(s);
    s->data = s->a;
    charge(s, T3);
    s->bus = s->write_mem;
    s->step = fin_t3;
}

inline void ld_a_word(S* s) {
    s->addr = word_operand(s);
    charge(s, T3);
    s->bus = s->read_mem;
    s->step = ld_reg_data<RA>;
}

// EX (SP),rr: read both stack bytes into `temp`, write the pair, then swap.
// The Z80 spends one internal state after the second read (HI_READ = T4); the
// 8080's XTHL does not (T3).
template <int P> void ex_sp_done(S* s) {
    set16<P>(s, s->temp);
    finish(s, T5);  // write 3 + internal 2
}
template <int P> void ex_sp_write_lo(S* s) {
    s->addr = s->sp;
    s->data = z80_lo(get16<P>(s));
    charge(s, T3);
    s->step = ex_sp_done<P>;
}
template <int P, int HI_READ> void ex_sp_read_hi(S* s) {
    z80_set_hi(s->temp, s->data);  // the write goes back to SP+1 first
    s->data = z80_hi(get16<P>(s));
    charge(s, HI_READ);
    s->bus = s->write_mem;
    s->step = ex_sp_write_lo<P>;
}
template <int P, int HI_READ = T4> void ex_sp_read_lo(S* s) {
    z80_set_lo(s->temp, s->data);
    s->addr = (s->sp + 1) & 0xFFFF;
    charge(s, T3);
    s->step = ex_sp_read_hi<P, HI_READ>;
}

// 16-bit ADC/SBC HL,rr: Z from the whole result, S 5 3 from its high byte.
inline void adc16(S* s, uint16_t v) {
    const int hl = s->hl;
    const int r = hl + v + (s->f & FC);
    s->f = static_cast<uint8_t>(flags_add_hvc[((hl ^ v ^ r) >> 12) & 31] |
                                (flags_sz53[z80_hi(static_cast<uint16_t>(r))] & ~FZ) |
                                ((r & 0xFFFF) ? 0 : FZ));
    s->hl = static_cast<uint16_t>(r);
}
inline void sbc16(S* s, uint16_t v) {
    const int hl = s->hl;
    const int r = hl - v - (s->f & FC);
    s->f = static_cast<uint8_t>(flags_sub_hvc[32 + (((hl ^ v ^ r) >> 12) & 31)] |
                                (flags_sz53[z80_hi(static_cast<uint16_t>(r))] & ~FZ) |
                                ((r & 0xFFFF) ? 0 : FZ));
    s->hl = static_cast<uint16_t>(r);
}

}  // namespace z80_impl

// Opcode switches: Z80_CASE64(n) expands to the 64 cases n..n+63, each running
// Z80_OPCODE(value), which the decoding file defines as its template for one opcode.
#define Z80_CASE(n) \
    case n: Z80_OPCODE(n); break;
#define Z80_CASE4(n) Z80_CASE(n) Z80_CASE(n + 1) Z80_CASE(n + 2) Z80_CASE(n + 3)
#define Z80_CASE16(n) Z80_CASE4(n) Z80_CASE4(n + 4) Z80_CASE4(n + 8) Z80_CASE4(n + 12)
#define Z80_CASE64(n) Z80_CASE16(n) Z80_CASE16(n + 16) Z80_CASE16(n + 32) Z80_CASE16(n + 48)
