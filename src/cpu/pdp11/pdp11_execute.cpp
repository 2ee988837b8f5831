// PDP-11 decode step and instruction execution.
//
// The decode step dispatches on the opcode and either completes the
// instruction (register forms, untaken branches, EIS with a register source)
// or sets up the first bus operation and the step that follows it. Operand
// addressing is one template over the slot that finally reads or writes the
// operand; the per-instruction work is small flag/result functions.

#include <cstdio>
#include <utility>

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

// ---------------------------------------------------------------------------
// Addressing sub-sequences.

template <Slot S> int32_t pointer_step(Pdp11Cpu* c) {
    c->busAddress = c->dataIn & 0xFFFF;
    c->busOperation = c->*S;
    c->stepHandler = c->continuation;
    return charge(c, c->costStep);
}

template <Slot S> int32_t index_step(Pdp11Cpu* c) {
    c->busAddress = (c->indexBase + c->dataIn) & 0xFFFF;
    c->busOperation = c->*S;
    c->stepHandler = c->continuation;
    return charge(c, c->costStep);
}

template <Slot S> int32_t index_pointer_step(Pdp11Cpu* c) {
    c->busAddress = (c->indexBase + c->dataIn) & 0xFFFF;  // opRead stays: read the pointer
    c->stepHandler = pointer_step<S>;
    return charge(c, c->costStep);
}

// Starts the memory sequence of operand field `field` (mode 1..7) ending in
// slot S and then step `next`. Byte autoincrement/decrement steps by 1 except
// for SP and PC, which always stay even.
template <Slot S, bool Byte>
[[gnu::always_inline]] inline void begin_operand(Pdp11Cpu* c, uint32_t field, Pdp11Step next) {
    uint32_t n = field & 7;
    uint32_t& reg = c->r[n];
    uint32_t step = (Byte && n < SP) ? 1 : 2;
    c->continuation = next;
    switch ((field >> 3) & 7) {
    default:  // 1: (Rn)
        c->busAddress = reg & 0xFFFF;
        c->busOperation = c->*S;
        c->stepHandler = next;
        return;
    case 2:  // (Rn)+
        c->busAddress = reg & 0xFFFF;
        reg = (reg + step) & 0xFFFF;
        c->busOperation = c->*S;
        c->stepHandler = next;
        return;
    case 3:  // @(Rn)+
        c->busAddress = reg & 0xFFFF;
        reg = (reg + 2) & 0xFFFF;
        c->busOperation = c->opRead;
        c->stepHandler = pointer_step<S>;
        return;
    case 4:  // -(Rn)
        reg = (reg - step) & 0xFFFF;
        c->busAddress = reg;
        c->busOperation = c->*S;
        c->stepHandler = next;
        return;
    case 5:  // @-(Rn)
        reg = (reg - 2) & 0xFFFF;
        c->busAddress = reg;
        c->busOperation = c->opRead;
        c->stepHandler = pointer_step<S>;
        return;
    case 6:  // X(Rn): the base is taken after PC has passed the index word
        c->busAddress = c->r[PC] & 0xFFFF;
        c->r[PC] = (c->r[PC] + 2) & 0xFFFF;
        c->indexBase = reg & 0xFFFF;
        c->busOperation = c->opRead;
        c->stepHandler = index_step<S>;
        return;
    case 7:  // @X(Rn)
        c->busAddress = c->r[PC] & 0xFFFF;
        c->r[PC] = (c->r[PC] + 2) & 0xFFFF;
        c->indexBase = reg & 0xFFFF;
        c->busOperation = c->opRead;
        c->stepHandler = index_pointer_step<S>;
        return;
    }
}

int32_t end_after_write_step(Pdp11Cpu* c) {
    pdp11_finish(c);
    return charge(c, c->costStep);
}

int32_t end_after_modify_step(Pdp11Cpu* c) {
    pdp11_finish(c);
    return charge(c, c->costVectorStep);
}

// ---------------------------------------------------------------------------
// Two-operand instructions. Kind: Write (MOV), Read (CMP, BIT), Modify (the rest,
// MOVB included: byte destinations are read before they are written).

enum class Kind { Write, Read, Modify };

template <TwoOp Op, bool Byte> int32_t dest_read_step(Pdp11Cpu* c) {
    Op(c, c->dataIn & value_mask<Byte>, c->vector);
    pdp11_finish(c);
    return charge(c, c->costStep);
}

template <TwoOp Op, bool Byte> int32_t dest_modify_step(Pdp11Cpu* c) {
    c->dataIn = Op(c, c->dataIn & value_mask<Byte>, c->vector);
    c->stepHandler = end_after_modify_step;  // the write-back stays selected
    return charge(c, c->costStep);
}

// Runs the destination part with source value `src`. From the decode step (FromDecode)
// the fetch and decode step are still selected, and the result tells whether the
// instruction ended there with the prefetch still valid (a register destination other
// than PC); the memory forms keep the source in `vector` for their last step.
template <TwoOp Op, bool Byte, Kind K, bool FromDecode = false>
[[gnu::always_inline]] inline bool start_destination(Pdp11Cpu* c, uint32_t src) {
    uint32_t dd = c->ir & 077;
    if ((dd & 070) == 0) [[likely]] {  // register forms fall through, the fewest taken jumps
        uint32_t& reg = c->r[dd & 7];
        uint32_t r = Op(c, reg & value_mask<Byte>, src);
        // MOVB to a register sign-extends (the only byte Modify op whose result is the source).
        constexpr bool sign_extend = Byte && Op == op_mov<true>;
        if constexpr (K != Kind::Read) write_register<Byte, sign_extend>(reg, r);
        if constexpr (!FromDecode) pdp11_finish(c);
        return K == Kind::Read || dd != PC;
    }
    c->vector = src;
    if constexpr (K == Kind::Write) {
        c->dataOut = Op(c, 0, src);
        begin_operand<&Pdp11Cpu::opWrite, Byte>(c, dd, end_after_write_step);
    } else if constexpr (K == Kind::Read) {
        constexpr Slot slot = Byte ? &Pdp11Cpu::opReadByte : &Pdp11Cpu::opRead;
        begin_operand<slot, Byte>(c, dd, dest_read_step<Op, Byte>);
    } else {
        constexpr Slot slot = Byte ? &Pdp11Cpu::opReadModifyByte : &Pdp11Cpu::opReadModify;
        begin_operand<slot, Byte>(c, dd, dest_modify_step<Op, Byte>);
    }
    return false;
}

template <TwoOp Op, bool Byte, Kind K> int32_t source_step(Pdp11Cpu* c) {
    // MOV to memory takes a long step here.
    bool long_step = K == Kind::Write && (c->ir & 070) != 0;
    start_destination<Op, Byte, K>(c, c->dataIn & value_mask<Byte>);
    return charge(c, long_step ? c->costLongStep : c->costStep);
}

// The decode table picks the register-source or memory-source form.
template <TwoOp Op, bool Byte, Kind K> bool two_operand_register(Pdp11Cpu* c) {
    return start_destination<Op, Byte, K, true>(c, c->r[(c->ir >> 6) & 7] & value_mask<Byte>);
}

template <TwoOp Op, bool Byte, Kind K, Slot Source> bool two_operand_memory(Pdp11Cpu* c) {
    begin_operand<Source, Byte>(c, (c->ir >> 6) & 077, source_step<Op, Byte, K>);
    return false;
}

// ---------------------------------------------------------------------------
// Single-operand instructions (also MTPS, MFPS, SXT).

template <OneOp Op, bool Byte> int32_t single_read_step(Pdp11Cpu* c) {
    Op(c, c->dataIn & value_mask<Byte>);
    pdp11_finish(c);
    return charge(c, c->costStep);
}

template <OneOp Op, bool Byte> int32_t single_modify_step(Pdp11Cpu* c) {
    c->dataIn = Op(c, c->dataIn & value_mask<Byte>);
    c->stepHandler = end_after_modify_step;
    return charge(c, c->costStep);
}

// True when the instruction ended in a register other than PC (the prefetch still valid).
template <OneOp Op, bool Byte, Kind K, bool SignExtend = false> bool single_operand(Pdp11Cpu* c) {
    uint32_t dd = c->ir & 077;
    if ((dd & 070) == 0) [[likely]] {
        uint32_t& reg = c->r[dd];
        uint32_t r = Op(c, reg & value_mask<Byte>);
        if constexpr (K != Kind::Read) write_register<Byte, SignExtend>(reg, r);
        return K == Kind::Read || dd != PC;
    }
    if constexpr (K == Kind::Write) {
        c->dataOut = Op(c, 0);
        begin_operand<&Pdp11Cpu::opWrite, Byte>(c, dd, end_after_write_step);
    } else if constexpr (K == Kind::Read) {
        constexpr Slot slot = Byte ? &Pdp11Cpu::opReadByte : &Pdp11Cpu::opRead;
        begin_operand<slot, Byte>(c, dd, single_read_step<Op, Byte>);
    } else {
        constexpr Slot slot = Byte ? &Pdp11Cpu::opReadModifyByte : &Pdp11Cpu::opReadModify;
        begin_operand<slot, Byte>(c, dd, single_modify_step<Op, Byte>);
    }
    return false;
}

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

// True when not taken: the instruction ends with the prefetch still valid.
template <uint32_t Code> bool branch(Pdp11Cpu* c) {
    if (!branch_taken<Code>(c->psw)) return true;
    uint32_t offset = c->ir & 0xFF;
    uint32_t delta = (offset & 0x80) ? (offset | 0xFF00) : offset;
    c->r[PC] = (c->r[PC] + 2 * delta) & 0xFFFF;
    pdp11_refetch(c);
    return false;
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
bool sob(Pdp11Cpu* c) {
    uint32_t n = (c->ir >> 6) & 7;
    uint32_t& reg = c->r[n];
    reg = (reg - 1) & 0xFFFF;
    if (reg != 0) [[likely]] {
        c->r[PC] = (c->r[PC] - 2 * (c->ir & 077)) & 0xFFFF;
        pdp11_refetch(c);
        return false;
    }
    return n != PC;
}

void halt_reserved(Pdp11Cpu* c) { enter_halt_mode(c, PDP11_HALT_OFFSET_RESERVED); }
template <uint32_t Vector> void trap(Pdp11Cpu* c) { pdp11_start_trap(c, Vector); }

// A decode handler returns true when the instruction ended in the decode step with the
// prefetch still valid (register forms, untaken branches); false leaves the checks to
// the driver.
using Handler = bool (*)(Pdp11Cpu*);

template <void (*F)(Pdp11Cpu*)> bool checked(Pdp11Cpu* c) {
    F(c);
    return false;
}

// A decode handler and the step its memory forms (modes 1, 2, 4) select after their first
// bus operation, when that is always the same one (none otherwise).
struct Entry {
    Handler handler;
    Pdp11Step first = nullptr;
    constexpr Entry(Handler h, Pdp11Step f = nullptr) : handler(h), first(f) {}
};

// The last step of a single-operand instruction, and of a two-operand one after its source.
template <OneOp Op, bool Byte, Kind K> constexpr Pdp11Step single_last_step() {
    if constexpr (K == Kind::Write) return end_after_write_step;
    else if constexpr (K == Kind::Read) return single_read_step<Op, Byte>;
    else return single_modify_step<Op, Byte>;
}

template <TwoOp Op, bool Byte, Kind K> constexpr Pdp11Step dest_last_step() {
    if constexpr (K == Kind::Write) return end_after_write_step;
    else if constexpr (K == Kind::Read) return dest_read_step<Op, Byte>;
    else return dest_modify_step<Op, Byte>;
}

template <OneOp Op, bool Byte, Kind K, bool SignExtend = false> constexpr Entry single() {
    return {single_operand<Op, Byte, K, SignExtend>, single_last_step<Op, Byte, K>()};
}

template <TwoOp Op, bool Byte, Kind K, Slot Source>
constexpr Entry two_operand(uint32_t sub) {
    if ((sub & 070) == 0) return {two_operand_register<Op, Byte, K>, dest_last_step<Op, Byte, K>()};
    return {two_operand_memory<Op, Byte, K, Source>, source_step<Op, Byte, K>};
}

constexpr Handler branch_for(uint32_t code) {
    constexpr Handler table[16] = {
        checked<unrealized>, branch<001>, branch<002>, branch<003>, branch<004>, branch<005>,
        branch<006>,      branch<007>, branch<010>, branch<011>, branch<012>, branch<013>,
        branch<014>,      branch<015>, branch<016>, branch<017>,
    };
    return table[code & 017];
}

// Handler for ir >> 6: `top` is (ir >> 12) & 017, `sub` is (ir >> 6) & 077.
constexpr Entry handler_for(uint32_t index) {
    uint32_t top = index >> 6;
    uint32_t sub = index & 077;
    constexpr Slot word_source = &Pdp11Cpu::opReadSource;
    constexpr Slot byte_source = &Pdp11Cpu::opReadByteSource;
    switch (top) {
    case 000:
        switch (sub) {
        case 000: return checked<special>;                                       // 0000xx
        case 001: return checked<jump<false>>;                                   // 0001DD JMP
        case 002: return checked<rts_or_condition_codes>;                        // 00020R RTS, 00024x-00027x
        case 003: return single<op_swab, false, Kind::Modify>();  // 0003DD SWAB
        case 050: return single<op_clr<false>, false, Kind::Write>();   // 0050DD CLR
        case 051: return single<op_com<false>, false, Kind::Modify>();  // 0051DD COM
        case 052: return single<op_inc<false>, false, Kind::Modify>();  // 0052DD INC
        case 053: return single<op_dec<false>, false, Kind::Modify>();  // 0053DD DEC
        case 054: return single<op_neg<false>, false, Kind::Modify>();  // 0054DD NEG
        case 055: return single<op_adc<false>, false, Kind::Modify>();  // 0055DD ADC
        case 056: return single<op_sbc<false>, false, Kind::Modify>();  // 0056DD SBC
        case 057: return single<op_tst<false>, false, Kind::Read>();    // 0057DD TST
        case 060: return single<op_ror<false>, false, Kind::Modify>();  // 0060DD ROR
        case 061: return single<op_rol<false>, false, Kind::Modify>();  // 0061DD ROL
        case 062: return single<op_asr<false>, false, Kind::Modify>();  // 0062DD ASR
        case 063: return single<op_asl<false>, false, Kind::Modify>();  // 0063DD ASL
        case 064: return checked<mark>;                                                // 0064NN MARK
        case 067: return single<op_sxt, false, Kind::Write>();          // 0067DD SXT
        default:
            if (sub >= 004 && sub <= 037) return branch_for(sub >> 2);  // 0004xx-0037xx BR..BLE
            if (sub >= 040 && sub <= 047) return checked<jump<true>>;            // 004RDD JSR
            return checked<unrealized>;  // 0065DD MFPI, 0066DD MTPI, 0070xx-0077xx
        }
    case 001: return two_operand<op_mov<false>, false, Kind::Write, &Pdp11Cpu::opReadMoveSource>(sub);  // 01SSDD MOV
    case 002: return two_operand<op_cmp<false>, false, Kind::Read, word_source>(sub);     // 02SSDD CMP
    case 003: return two_operand<op_bit<false>, false, Kind::Read, word_source>(sub);     // 03SSDD BIT
    case 004: return two_operand<op_bic<false>, false, Kind::Modify, word_source>(sub);   // 04SSDD BIC
    case 005: return two_operand<op_bis<false>, false, Kind::Modify, word_source>(sub);   // 05SSDD BIS
    case 006: return two_operand<op_add, false, Kind::Modify, word_source>(sub);          // 06SSDD ADD
    case 007:
        switch (sub >> 3) {
        case 0: return checked<eis<eis_mul>>;                    // 070RSS MUL
        case 1: return checked<eis<eis_div>>;                    // 071RSS DIV
        case 2: return checked<eis<eis_ash>>;                    // 072RSS ASH
        case 3: return checked<eis<eis_ashc>>;                   // 073RSS ASHC
        case 4: return checked<xor_instruction>;                 // 074RDD XOR
        case 5: case 6: return checked<halt_reserved>;           // 075000-076777
        default: return sob;                            // 077RNN SOB
        }
    case 010:
        switch (sub) {
        case 040: case 041: case 042: case 043: return checked<trap<030>>;           // 104000-104377 EMT
        case 044: case 045: case 046: case 047: return checked<trap<034>>;           // 104400-104777 TRAP
        case 050: return single<op_clr<true>, true, Kind::Modify>();  // 1050DD CLRB
        case 051: return single<op_com<true>, true, Kind::Modify>();  // 1051DD COMB
        case 052: return single<op_inc<true>, true, Kind::Modify>();  // 1052DD INCB
        case 053: return single<op_dec<true>, true, Kind::Modify>();  // 1053DD DECB
        case 054: return single<op_neg<true>, true, Kind::Modify>();  // 1054DD NEGB
        case 055: return single<op_adc<true>, true, Kind::Modify>();  // 1055DD ADCB
        case 056: return single<op_sbc<true>, true, Kind::Modify>();  // 1056DD SBCB
        case 057: return single<op_tst<true>, true, Kind::Read>();    // 1057DD TSTB
        case 060: return single<op_ror<true>, true, Kind::Modify>();  // 1060DD RORB
        case 061: return single<op_rol<true>, true, Kind::Modify>();  // 1061DD ROLB
        case 062: return single<op_asr<true>, true, Kind::Modify>();  // 1062DD ASRB
        case 063: return single<op_asl<true>, true, Kind::Modify>();  // 1063DD ASLB
        case 064: return single<op_mtps, true, Kind::Read>();         // 1064SS MTPS
        case 067: return single<op_mfps, true, Kind::Modify, true>(); // 1067DD MFPS
        default:
            if (sub < 040) return branch_for((sub >> 2) | 010);  // 1000xx-1037xx BPL..BCS
            return checked<unrealized>;  // 1065DD MFPD, 1066DD MTPD, 1070xx-1077xx
        }
    case 011: return two_operand<op_mov<true>, true, Kind::Modify, byte_source>(sub);   // 11SSDD MOVB
    case 012: return two_operand<op_cmp<true>, true, Kind::Read, byte_source>(sub);     // 12SSDD CMPB
    case 013: return two_operand<op_bit<true>, true, Kind::Read, byte_source>(sub);     // 13SSDD BITB
    case 014: return two_operand<op_bic<true>, true, Kind::Modify, byte_source>(sub);   // 14SSDD BICB
    case 015: return two_operand<op_bis<true>, true, Kind::Modify, byte_source>(sub);   // 15SSDD BISB
    case 016: return two_operand<op_sub, false, Kind::Modify, word_source>(sub);        // 16SSDD SUB
    default: return checked<trap<010>>;                                                          // 17xxxx FPU range
    }
}

struct DecodeTable {
    Handler handler[1024];
};

constexpr DecodeTable build_decode_table() {
    DecodeTable t{};
    for (uint32_t i = 0; i < 1024; ++i) t.handler[i] = handler_for(i).handler;
    return t;
}

// Indexed by ir >> 6: the opcode class and, for two-operand instructions,
// whether the source is a register.
constexpr DecodeTable decode_table = build_decode_table();

}  // namespace

int32_t pdp11_decode_step(Pdp11Cpu* c) {
    c->cycleBudget -= c->costFetch;
    (void)decode_table.handler[(c->ir >> 6) & 01777](c);  // the driver checks the state anyway
    return c->cycleBudget;
}

namespace {

// After a step: true at the next instruction boundary. A stale prefetch (PC changed,
// or the prefetched word written) is refetched first.
[[gnu::always_inline]] inline bool at_boundary(Pdp11Cpu* cpu) {
    if (cpu->busOperation == cpu->opFetch) {
        if ((cpu->r[7] & 0xFFFF) == cpu->prefetchAddress) return true;
        pdp11_refetch(cpu);
    }
    return false;
}

// One bus operation and the step after it; true when that reached the next
// instruction boundary. The three most frequent steps run inline instead of
// through the pointer: decode, the fetch after a change of flow (every taken
// branch and SOB) and the end after a memory write (MOV/CLR to memory).
[[gnu::always_inline]] inline bool run_step(Pdp11Cpu* cpu) {
    cpu->busOperation(cpu);
    Pdp11Step step = cpu->stepHandler;
    if (step == pdp11_decode_step) {
        cpu->cycleBudget -= cpu->costFetch;
        if (decode_table.handler[(cpu->ir >> 6) & 01777](cpu)) return true;
    } else if (step == pdp11_fetch_complete_step) {
        pdp11_finish(cpu);
        cpu->cycleBudget -= cpu->costFetch;
    } else if (step == end_after_write_step) {
        pdp11_finish(cpu);
        cpu->cycleBudget -= cpu->costStep;
    } else {
        step(cpu);
    }
    return at_boundary(cpu);
}

// The rest of a long chain, out of line so that the common short instructions
// run without its register saves.
[[gnu::noinline]] void run_remaining_steps(Pdp11Cpu* cpu, int steps) {
    // No instruction needs more than a dozen steps. A chain that goes on is a
    // bus-error loop (vector 4 or the stack in a hole): give control back to
    // the machine anyway; the next call continues the chain.
    for (; steps < 64; ++steps)
        if (run_step(cpu)) return;
}

// The machine may have moved PC at the boundary (debugger, restart): the
// prefetched word no longer belongs to PC. Refetch first, then the
// instruction at PC runs as usual.
[[gnu::noinline, gnu::cold]] void refetch_moved_pc(Pdp11Cpu* cpu) {
    pdp11_refetch(cpu);
    cpu->busOperation(cpu);
    cpu->stepHandler(cpu);
}

// The decode step of run_instruction's boundary path: the handler, inlined, and when it
// leaves the instruction unfinished the rest of the chain. Reached by a tail call, so
// that a register instruction returns from here straight to the machine.
[[gnu::noinline]] void continue_after_decode(Pdp11Cpu* cpu) {
    if (cpu->stepHandler == pdp11_fetch_complete_step) {
        // A change of flow (taken branch, SOB, RTS...): the refetch at the new PC, then
        // the fetch-complete step, tested first here.
        cpu->busOperation(cpu);
        if (cpu->stepHandler == pdp11_fetch_complete_step) {
            pdp11_finish(cpu);
            cpu->cycleBudget -= cpu->costFetch;
        } else {
            cpu->stepHandler(cpu);  // the refetch found nothing: bus error
        }
        if (at_boundary(cpu)) return;
    } else if (at_boundary(cpu) || run_step(cpu)) {
        return;
    }
    run_remaining_steps(cpu, 2);
}

// The handlers whose unfinished end is nearly always the refetch after a change of flow.
constexpr bool ends_in_refetch(Handler h) {
    constexpr Handler flow[] = {sob,         branch<001>, branch<002>, branch<003>, branch<004>,
                                branch<005>, branch<006>, branch<007>, branch<010>, branch<011>,
                                branch<012>, branch<013>, branch<014>, branch<015>, branch<016>,
                                branch<017>};
    for (Handler f : flow)
        if (f == h) return true;
    return false;
}

// The refetch at the new PC and the fetch-complete step, inline in the handlers that
// change the flow.
[[gnu::always_inline]] inline void refetch_and_continue(Pdp11Cpu* cpu) {
    cpu->opRefetch(cpu);
    if (cpu->stepHandler == pdp11_fetch_complete_step) [[likely]] {
        pdp11_finish(cpu);
        cpu->cycleBudget -= cpu->costFetch;
        if ((cpu->r[7] & 0xFFFF) == cpu->prefetchAddress) [[likely]] return;
        pdp11_refetch(cpu);
    } else {
        cpu->stepHandler(cpu);  // the refetch found nothing: bus error
        if (at_boundary(cpu)) return;
    }
    run_remaining_steps(cpu, 2);
}

// A memory write that ends the instruction (MOV, CLR... to (Rn), (Rn)+, -(Rn)): the write
// and the end step inline.
[[gnu::always_inline]] inline void write_and_continue(Pdp11Cpu* cpu) {
    cpu->busOperation(cpu);
    if (cpu->stepHandler == end_after_write_step) [[likely]] {
        pdp11_finish(cpu);
        cpu->cycleBudget -= cpu->costStep;
        if ((cpu->r[7] & 0xFFFF) == cpu->prefetchAddress) [[likely]] return;
        pdp11_refetch(cpu);
    } else {
        cpu->stepHandler(cpu);  // the write found nothing: bus error
        if (at_boundary(cpu)) return;
    }
    run_remaining_steps(cpu, 2);
}

// A memory operand's bus operation and the step `First` that the handler selected after it,
// inline; the write-back of a read-modify-write and its end step follow inline too. Out of
// line (one per step, reached by a tail call), so that the register forms of the same
// handler keep no register saves.
template <Pdp11Step First> [[gnu::noinline]] void operand_and_continue(Pdp11Cpu* cpu) {
    cpu->busOperation(cpu);
    if (cpu->stepHandler != First) [[unlikely]] {
        cpu->stepHandler(cpu);  // the operand was not there: bus error
        if (at_boundary(cpu)) return;
        run_remaining_steps(cpu, 2);
        return;
    }
    First(cpu);
    if (at_boundary(cpu)) return;
    if (cpu->stepHandler == end_after_modify_step) {
        cpu->busOperation(cpu);
        if (cpu->stepHandler == end_after_modify_step) [[likely]] {
            pdp11_finish(cpu);
            cpu->cycleBudget -= cpu->costVectorStep;
        } else {
            cpu->stepHandler(cpu);
        }
        if (at_boundary(cpu)) return;
        run_remaining_steps(cpu, 3);
        return;
    }
    run_remaining_steps(cpu, 2);
}

template <Handler H, Pdp11Step First> [[gnu::flatten]] void decode_and_continue(Pdp11Cpu* cpu) {
    if (H(cpu)) [[likely]] return;
    if constexpr (ends_in_refetch(H)) {
        if (cpu->stepHandler == pdp11_fetch_complete_step && cpu->busOperation == cpu->opRefetch) {
            refetch_and_continue(cpu);
            return;
        }
    } else if constexpr (First == end_after_write_step) {
        if (cpu->stepHandler == end_after_write_step && cpu->busOperation == cpu->opWrite) {
            write_and_continue(cpu);
            return;
        }
    } else if constexpr (First != nullptr) {
        if (cpu->stepHandler == First) {
            operand_and_continue<First>(cpu);
            return;
        }
    }
    continue_after_decode(cpu);
}

struct ContinueTable {
    Pdp11BusOp handler[1024];
};

template <size_t... I> constexpr ContinueTable build_continue_table(std::index_sequence<I...>) {
    return {{decode_and_continue<handler_for(I).handler, handler_for(I).first>...}};
}

// decode_table with the rest of the instruction attached, indexed the same way.
constexpr ContinueTable continue_table = build_continue_table(std::make_index_sequence<1024>{});

// Every call that does not start at a clean boundary: mid-chain (an interrupt or
// HALT-mode entry was started, a bus-error loop goes on) or PC moved by the machine.
[[gnu::noinline]] void run_from_anywhere(Pdp11Cpu* cpu) {
    if (cpu->busOperation == cpu->opFetch && (cpu->r[7] & 0xFFFF) != cpu->prefetchAddress)
        refetch_moved_pc(cpu);
    if (run_step(cpu)) return;
    if (run_step(cpu)) return;
    run_remaining_steps(cpu, 2);
}

// The fetch found nothing at PC: the bus-error step it selected, then the chain.
[[gnu::noinline, gnu::cold]] void run_after_failed_fetch(Pdp11Cpu* cpu) {
    cpu->stepHandler(cpu);
    continue_after_decode(cpu);
}

}  // namespace

// Lives here so that the decode step, the most frequent step, is inlined.
// At a clean boundary: the fetch, the decode handler reached by a tail call, and
// for most instructions nothing more (a register instruction returns from its
// handler straight to the machine); the rest of a chain runs without a loop when
// it is short.
void run_instruction(Pdp11Cpu* cpu) {
    if (cpu->busOperation != cpu->opFetch || (cpu->r[7] & 0xFFFF) != cpu->prefetchAddress) [[unlikely]] {
        run_from_anywhere(cpu);
        return;
    }
    cpu->opFetch(cpu);
    if (cpu->stepHandler != pdp11_decode_step) [[unlikely]] {
        run_after_failed_fetch(cpu);
        return;
    }
    cpu->cycleBudget -= cpu->costFetch;
    continue_table.handler[(cpu->ir >> 6) & 01777](cpu);
}
