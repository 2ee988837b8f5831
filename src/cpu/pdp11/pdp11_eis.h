// PDP-11 execution, part 3: the extended instruction set (MUL, DIV, ASH, ASHC).
//
// Included only by pdp11_execute.cpp (see pdp11_operations.h).
#pragma once

#include "cpu/pdp11/pdp11_operands.h"

namespace {

// ---------------------------------------------------------------------------
// EIS: MUL, DIV, ASH, ASHC. Each returns the extra time of its execution.

int32_t eis_mul(Pdp11Cpu* c, uint32_t src) {
    uint32_t n = (c->ir >> 6) & 7;
    int32_t product = sign_extend16(c->r[n]) * sign_extend16(src);  // |product| <= 2^30
    uint32_t bits = static_cast<uint32_t>(product);
    c->r[n] = bits >> 16;
    c->r[n | 1] = bits & 0xFFFF;  // an odd register keeps only the low word
    uint32_t flags = (product < 0 ? PDP11_N : 0) | (product == 0 ? PDP11_Z : 0) |
                     ((product < -32768 || product > 32767) ? PDP11_C : 0);
    set_flags(c, NZVC, flags);
    return 6 * c->costLongStep + c->costBusCycle;
}

int32_t eis_div(Pdp11Cpu* c, uint32_t src) {
    uint32_t n = (c->ir >> 6) & 7;
    int32_t dividend = static_cast<int32_t>(((c->r[n] & 0xFFFF) << 16) | (c->r[n | 1] & 0xFFFF));
    int32_t divisor = sign_extend16(src);
    int32_t cost = 8 * c->costLongStep;
    if (divisor == 0) {
        set_flags(c, NZVC, PDP11_V | PDP11_C);
        return cost;
    }
    if (dividend == INT32_MIN && divisor == -1) {  // would overflow the host division too
        set_flags(c, NZVC, PDP11_V);
        return cost;
    }
    int32_t quotient = dividend / divisor;
    int32_t remainder = dividend % divisor;
    if (quotient < -32768 || quotient > 32767) {
        set_flags(c, NZVC, PDP11_V);
        return cost;
    }
    // Remainder first: for an odd register the quotient is what remains.
    c->r[n | 1] = static_cast<uint32_t>(remainder) & 0xFFFF;
    c->r[n] = static_cast<uint32_t>(quotient) & 0xFFFF;
    set_flags(c, NZVC, (quotient < 0 ? PDP11_N : 0) | (quotient == 0 ? PDP11_Z : 0));
    return cost;
}

// Count field: bit 5 set = right shift by 64 - count (1..32), else left by count.
int32_t eis_ash(Pdp11Cpu* c, uint32_t src) {
    uint32_t n = (c->ir >> 6) & 7;
    uint32_t count = src & 077;
    uint32_t v = c->r[n] & 0xFFFF;
    uint32_t carry = 0, overflow = 0, shifts = 0;
    if (count & 040) {
        shifts = 64 - count;
        for (uint32_t i = 0; i < shifts; ++i) {
            carry = v & 1;
            v = (v >> 1) | (v & 0x8000);
        }
    } else if (count != 0) {
        shifts = count;
        for (uint32_t i = 0; i < shifts; ++i) {
            carry = (v >> 15) & 1;
            uint32_t shifted = (v << 1) & 0xFFFF;
            overflow |= (shifted ^ v) & 0x8000;
            v = shifted;
        }
    }
    c->r[n] = v;
    set_flags(c, NZVC, nz_of<false>(v) | (overflow ? PDP11_V : 0) | (carry ? PDP11_C : 0));
    return static_cast<int32_t>(shifts) * c->costBusCycle + c->costStep + c->costBusCycle;
}

int32_t eis_ashc(Pdp11Cpu* c, uint32_t src) {
    uint32_t n = (c->ir >> 6) & 7;
    uint32_t count = src & 077;
    uint32_t v = ((c->r[n] & 0xFFFF) << 16) | (c->r[n | 1] & 0xFFFF);
    uint32_t carry = 0, overflow = 0, shifts = 0;
    if (count & 040) {
        shifts = 64 - count;
        for (uint32_t i = 0; i < shifts; ++i) {
            carry = v & 1;
            v = (v >> 1) | (v & 0x80000000u);
        }
    } else if (count != 0) {
        shifts = count;
        for (uint32_t i = 0; i < shifts; ++i) {
            carry = v >> 31;
            uint32_t shifted = v << 1;
            overflow |= (shifted ^ v) & 0x80000000u;
            v = shifted;
        }
    }
    if (shifts != 0) {
        // For an odd register both writes hit it and the low word remains.
        c->r[n] = v >> 16;
        c->r[n | 1] = v & 0xFFFF;
    }
    uint32_t nz = ((v & 0x80000000u) ? PDP11_N : 0) | (v == 0 ? PDP11_Z : 0);
    set_flags(c, NZVC, nz | (overflow ? PDP11_V : 0) | (carry ? PDP11_C : 0));
    return static_cast<int32_t>(shifts) * c->costBusCycle + c->costStep + c->costBusCycle;
}

template <EisOp Op> int32_t eis_step(Pdp11Cpu* c) {
    int32_t cost = Op(c, c->dataIn & 0xFFFF);
    pdp11_finish(c);
    return charge(c, cost + c->costStep);
}

// Register source: the whole execution time is one subtraction here.
template <EisOp Op> void eis(Pdp11Cpu* c) {
    uint32_t ss = c->ir & 077;
    if ((ss & 070) == 0)
        charge(c, Op(c, c->r[ss] & 0xFFFF));
    else
        begin_operand<&Pdp11Cpu::opRead, false>(c, ss, eis_step<Op>);
}

}  // namespace
