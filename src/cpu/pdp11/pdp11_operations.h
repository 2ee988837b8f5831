// PDP-11 execution, part 1: the names every instruction family shares (operation
// signatures, flag helpers, register writes) and the results of the two-operand and
// single-operand operations as small flag/result functions.
//
// Included only by pdp11_execute.cpp (with pdp11_operands.h, pdp11_eis.h and
// pdp11_flow.h): the decode tables there take these functions as template arguments and
// inline them, so they live in that one translation unit.
#pragma once

#include <cstdint>

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_internal.h"

namespace {

using Slot = Pdp11BusOp Pdp11Cpu::*;
using TwoOp = uint32_t (*)(Pdp11Cpu*, uint32_t dst, uint32_t src);
using OneOp = uint32_t (*)(Pdp11Cpu*, uint32_t dst);
using EisOp = int32_t (*)(Pdp11Cpu*, uint32_t src);  // returns its extra cost

constexpr uint32_t SP = 6;
constexpr uint32_t PC = 7;
constexpr uint32_t NZVC = PDP11_N | PDP11_Z | PDP11_V | PDP11_C;

template <bool Byte> constexpr uint32_t value_mask = Byte ? 0xFFu : 0xFFFFu;
template <bool Byte> constexpr uint32_t sign_bit = Byte ? 0x80u : 0x8000u;
template <bool Byte> constexpr int top_bit = Byte ? 7 : 15;

inline int32_t charge(Pdp11Cpu* c, int32_t cost) { return c->cycleBudget -= cost; }

inline int32_t sign_extend16(uint32_t v) {
    return static_cast<int32_t>(v & 0xFFFF) - static_cast<int32_t>((v & 0x8000) << 1);
}

template <bool Byte> inline uint32_t nz_of(uint32_t v) {
    if constexpr (Byte) return pdp11_byte_nz_flags[v & 0xFF];
    else return ((v & 0x8000) ? PDP11_N : 0) | ((v & 0xFFFF) ? 0 : PDP11_Z);
}

inline void set_flags(Pdp11Cpu* c, uint32_t affected, uint32_t values) {
    c->psw = (c->psw & ~affected) | values;
}

// N, Z from the result, V = 0, C unchanged.
template <bool Byte> inline void set_logic_flags(Pdp11Cpu* c, uint32_t v) {
    set_flags(c, PDP11_N | PDP11_Z | PDP11_V, nz_of<Byte>(v));
}

// Writes a byte or word result into a register; byte results touch only the
// low byte unless they are sign-extended (MOVB, MFPS).
template <bool Byte, bool SignExtend> inline void write_register(uint32_t& reg, uint32_t v) {
    if constexpr (!Byte) reg = v & 0xFFFF;
    else if constexpr (SignExtend) reg = (v & 0x80) ? (v | 0xFF00) & 0xFFFF : v & 0xFF;
    else reg = (reg & 0xFF00) | (v & 0xFF);
}

// ---------------------------------------------------------------------------
// Two-operand operations: dst is the destination value, src the source.

template <bool Byte> uint32_t op_mov(Pdp11Cpu* c, uint32_t, uint32_t src) {
    set_logic_flags<Byte>(c, src);
    return src;
}

// ADD, SUB and CMP: V and C from bits top and top+1 of a ^ b ^ result.
template <bool Byte> inline uint32_t arith_flags(uint32_t a, uint32_t b, uint32_t r) {
    return nz_of<Byte>(r) | pdp11_vc_flags[((a ^ b ^ r) >> top_bit<Byte>) & 3];
}

template <bool Byte> uint32_t op_cmp(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = (src - dst) & (value_mask<Byte> * 2 + 1);
    set_flags(c, NZVC, arith_flags<Byte>(src, dst, r));
    return dst;
}

template <bool Byte> uint32_t op_bit(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    set_logic_flags<Byte>(c, dst & src);
    return dst;
}

template <bool Byte> uint32_t op_bic(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = dst & ~src & value_mask<Byte>;
    set_logic_flags<Byte>(c, r);
    return r;
}

template <bool Byte> uint32_t op_bis(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = dst | src;
    set_logic_flags<Byte>(c, r);
    return r;
}

uint32_t op_add(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = (dst + src) & 0x1FFFF;
    set_flags(c, NZVC, arith_flags<false>(dst, src, r));
    return r & 0xFFFF;
}

uint32_t op_sub(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = (dst - src) & 0x1FFFF;
    set_flags(c, NZVC, arith_flags<false>(dst, src, r));
    return r & 0xFFFF;
}

uint32_t op_xor(Pdp11Cpu* c, uint32_t dst, uint32_t src) {
    uint32_t r = dst ^ src;
    set_logic_flags<false>(c, r);
    return r;
}

// ---------------------------------------------------------------------------
// Single-operand operations.

template <bool Byte> uint32_t op_clr(Pdp11Cpu* c, uint32_t) {
    set_flags(c, NZVC, PDP11_Z);
    return 0;
}

template <bool Byte> uint32_t op_com(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = ~d & value_mask<Byte>;
    set_flags(c, NZVC, nz_of<Byte>(r) | PDP11_C);
    return r;
}

template <bool Byte> uint32_t op_inc(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = (d + 1) & value_mask<Byte>;
    set_flags(c, PDP11_N | PDP11_Z | PDP11_V, nz_of<Byte>(r) | (r == sign_bit<Byte> ? PDP11_V : 0));
    return r;
}

template <bool Byte> uint32_t op_dec(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = (d - 1) & value_mask<Byte>;
    set_flags(c, PDP11_N | PDP11_Z | PDP11_V,
              nz_of<Byte>(r) | (d == sign_bit<Byte> ? PDP11_V : 0));
    return r;
}

template <bool Byte> uint32_t op_neg(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = (0u - d) & value_mask<Byte>;
    set_flags(c, NZVC, nz_of<Byte>(r) | (r ? PDP11_C : 0) | (r == sign_bit<Byte> ? PDP11_V : 0));
    return r;
}

// ADC/SBC: V and C from the change of bits top and top+1 between operand and result.
template <bool Byte> uint32_t op_adc(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = (d + (c->psw & PDP11_C)) & (value_mask<Byte> * 2 + 1);
    set_flags(c, NZVC, nz_of<Byte>(r) | pdp11_vc_flags[((d ^ r) >> top_bit<Byte>) & 3]);
    return r & value_mask<Byte>;
}

template <bool Byte> uint32_t op_sbc(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = (d - (c->psw & PDP11_C)) & (value_mask<Byte> * 2 + 1);
    set_flags(c, NZVC, nz_of<Byte>(r) | pdp11_vc_flags[((d ^ r) >> top_bit<Byte>) & 3]);
    return r & value_mask<Byte>;
}

template <bool Byte> uint32_t op_tst(Pdp11Cpu* c, uint32_t d) {
    set_flags(c, NZVC, nz_of<Byte>(d));
    return d;
}

// Shifts and rotates: C = the bit shifted out, V = N xor C.
template <bool Byte> inline uint32_t shift_flags(uint32_t r, uint32_t carry) {
    uint32_t nz = nz_of<Byte>(r);
    uint32_t n = (nz & PDP11_N) ? 1 : 0;
    return nz | (carry ? PDP11_C : 0) | ((n ^ carry) ? PDP11_V : 0);
}

template <bool Byte> uint32_t op_ror(Pdp11Cpu* c, uint32_t d) {
    uint32_t carry = d & 1;
    uint32_t r = (d >> 1) | ((c->psw & PDP11_C) ? sign_bit<Byte> : 0);
    set_flags(c, NZVC, shift_flags<Byte>(r, carry));
    return r;
}

template <bool Byte> uint32_t op_rol(Pdp11Cpu* c, uint32_t d) {
    uint32_t carry = (d & sign_bit<Byte>) ? 1 : 0;
    uint32_t r = ((d << 1) | (c->psw & PDP11_C)) & value_mask<Byte>;
    set_flags(c, NZVC, shift_flags<Byte>(r, carry));
    return r;
}

template <bool Byte> uint32_t op_asr(Pdp11Cpu* c, uint32_t d) {
    uint32_t carry = d & 1;
    uint32_t r = (d >> 1) | (d & sign_bit<Byte>);
    set_flags(c, NZVC, shift_flags<Byte>(r, carry));
    return r;
}

template <bool Byte> uint32_t op_asl(Pdp11Cpu* c, uint32_t d) {
    uint32_t carry = (d & sign_bit<Byte>) ? 1 : 0;
    uint32_t r = (d << 1) & value_mask<Byte>;
    set_flags(c, NZVC, shift_flags<Byte>(r, carry));
    return r;
}

uint32_t op_swab(Pdp11Cpu* c, uint32_t d) {
    uint32_t r = ((d >> 8) | (d << 8)) & 0xFFFF;
    set_flags(c, NZVC, pdp11_byte_nz_flags[r & 0xFF]);
    return r;
}

uint32_t op_sxt(Pdp11Cpu* c, uint32_t) {
    uint32_t r = (c->psw & PDP11_N) ? 0xFFFF : 0;
    set_flags(c, PDP11_Z | PDP11_V, r ? 0 : PDP11_Z);
    return r;
}

// MTPS: bits 0-7 except T; bit 8 and up stay.
uint32_t op_mtps(Pdp11Cpu* c, uint32_t d) {
    constexpr uint32_t replaced = 0xFF & ~PDP11_T;
    c->psw = (c->psw & ~replaced) | (d & replaced);
    return d;
}

uint32_t op_mfps(Pdp11Cpu* c, uint32_t) {
    uint32_t v = c->psw & 0xFF;
    set_logic_flags<true>(c, v);
    return v;
}

}  // namespace
