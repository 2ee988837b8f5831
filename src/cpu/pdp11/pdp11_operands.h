// PDP-11 execution, part 2: the operand addressing sub-sequences and the two-operand and
// single-operand instruction forms built on them (register forms finish in the decode
// step; memory forms set up their bus operations and the steps that follow).
//
// Included only by pdp11_execute.cpp (see pdp11_operations.h).
#pragma once

#include "cpu/pdp11/pdp11_bus.h"
#include "cpu/pdp11/pdp11_operations.h"

namespace {

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

// A word store that ends the instruction (MOV, CLR, SXT) to (Rn), (Rn)+ or -(Rn), done in
// the decode step on plain memory (Pdp11Cpu::plainMemory): the same address, register
// update, prefetch rule, cost and latched fields as the opWrite cycle and the end step
// that the slots run. Other modes are left to the slots.
enum class PlainStore { NotDone, AtBoundary, Refetch };

[[gnu::always_inline]] inline PlainStore plain_store(Pdp11Cpu* c, uint32_t field) {
    uint32_t& reg = c->r[field & 7];
    uint32_t address;
    switch ((field >> 3) & 7) {
    case 1:
        address = reg & 0xFFFF;
        break;
    case 2:
        address = reg & 0xFFFF;
        reg = (reg + 2) & 0xFFFF;
        break;
    case 4:
        reg = (reg - 2) & 0xFFFF;
        address = reg;
        break;
    default:
        return PlainStore::NotDone;
    }
    c->busAddress = address;
    c->continuation = end_after_write_step;
    if (address == c->prefetchAddress) c->prefetchAddress = address - 1;
    c->cycleBudget -= c->costStep;
    bool boundary = (c->r[PC] & 0xFFFF) == c->prefetchAddress;
    // Stored last: the processor's fields need not be read again after it.
    pdp11_store_word(c->plainMemory + (address & 0xFFFE), static_cast<uint16_t>(c->dataOut));
    if (boundary) [[likely]] return PlainStore::AtBoundary;
    pdp11_refetch(c);  // the store hit the prefetched word, or PC was the operand
    return PlainStore::Refetch;
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
template <TwoOp Op, bool Byte, Kind K, bool FromDecode = false, bool Plain = false>
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
        if constexpr (Plain && FromDecode && !Byte) {
            PlainStore done = plain_store(c, dd);
            if (done != PlainStore::NotDone) return done == PlainStore::AtBoundary;
        }
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
template <TwoOp Op, bool Byte, Kind K, bool Plain = false> bool two_operand_register(Pdp11Cpu* c) {
    return start_destination<Op, Byte, K, true, Plain>(c, c->r[(c->ir >> 6) & 7] & value_mask<Byte>);
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
template <OneOp Op, bool Byte, Kind K, bool SignExtend = false, bool Plain = false>
bool single_operand(Pdp11Cpu* c) {
    uint32_t dd = c->ir & 077;
    if ((dd & 070) == 0) [[likely]] {
        uint32_t& reg = c->r[dd];
        uint32_t r = Op(c, reg & value_mask<Byte>);
        if constexpr (K != Kind::Read) write_register<Byte, SignExtend>(reg, r);
        return K == Kind::Read || dd != PC;
    }
    if constexpr (K == Kind::Write) {
        c->dataOut = Op(c, 0);
        if constexpr (Plain && !Byte) {
            PlainStore done = plain_store(c, dd);
            if (done != PlainStore::NotDone) return done == PlainStore::AtBoundary;
        }
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

}  // namespace
