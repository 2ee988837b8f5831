// PDP-11 decode step and instruction execution.
//
// The decode step dispatches on the opcode and either completes the
// instruction (register forms, untaken branches, EIS with a register source)
// or sets up the first bus operation and the step that follows it. Operand
// addressing is one template over the slot that finally reads or writes the
// operand; the per-instruction work is small flag/result functions.
//
// The instruction families live in pdp11_operations.h (results and shared helpers),
// pdp11_operands.h (addressing, two- and single-operand forms), pdp11_eis.h and
// pdp11_flow.h (jumps, branches, special instructions, traps); this file holds the decode
// table and the driver that runs an instruction's steps.

#include <utility>

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_bus.h"
#include "cpu/pdp11/pdp11_eis.h"
#include "cpu/pdp11/pdp11_flow.h"
#include "cpu/pdp11/pdp11_internal.h"
#include "cpu/pdp11/pdp11_operands.h"
#include "cpu/pdp11/pdp11_operations.h"

namespace {

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

// Plain: the form for a processor on plain memory (Pdp11Cpu::plainMemory), which ends some
// memory forms in the decode step itself; the steps are the same.
template <bool Plain, OneOp Op, bool Byte, Kind K, bool SignExtend = false> constexpr Entry single() {
    return {single_operand<Op, Byte, K, SignExtend, Plain>, single_last_step<Op, Byte, K>()};
}

template <bool Plain, TwoOp Op, bool Byte, Kind K, Slot Source>
constexpr Entry two_operand(uint32_t sub) {
    if ((sub & 070) == 0) return {two_operand_register<Op, Byte, K, Plain>, dest_last_step<Op, Byte, K>()};
    return {two_operand_memory<Op, Byte, K, Source>, source_step<Op, Byte, K>};
}

template <bool Plain> constexpr Handler branch_for(uint32_t code) {
    constexpr Handler table[16] = {
        checked<unrealized>,      branch<001, Plain>, branch<002, Plain>, branch<003, Plain>,
        branch<004, Plain>,       branch<005, Plain>, branch<006, Plain>, branch<007, Plain>,
        branch<010, Plain>,       branch<011, Plain>, branch<012, Plain>, branch<013, Plain>,
        branch<014, Plain>,       branch<015, Plain>, branch<016, Plain>, branch<017, Plain>,
    };
    return table[code & 017];
}

// Handler for ir >> 6: `top` is (ir >> 12) & 017, `sub` is (ir >> 6) & 077.
template <bool Plain = false> constexpr Entry handler_for(uint32_t index) {
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
        case 003: return single<Plain, op_swab, false, Kind::Modify>();  // 0003DD SWAB
        case 050: return single<Plain, op_clr<false>, false, Kind::Write>();   // 0050DD CLR
        case 051: return single<Plain, op_com<false>, false, Kind::Modify>();  // 0051DD COM
        case 052: return single<Plain, op_inc<false>, false, Kind::Modify>();  // 0052DD INC
        case 053: return single<Plain, op_dec<false>, false, Kind::Modify>();  // 0053DD DEC
        case 054: return single<Plain, op_neg<false>, false, Kind::Modify>();  // 0054DD NEG
        case 055: return single<Plain, op_adc<false>, false, Kind::Modify>();  // 0055DD ADC
        case 056: return single<Plain, op_sbc<false>, false, Kind::Modify>();  // 0056DD SBC
        case 057: return single<Plain, op_tst<false>, false, Kind::Read>();    // 0057DD TST
        case 060: return single<Plain, op_ror<false>, false, Kind::Modify>();  // 0060DD ROR
        case 061: return single<Plain, op_rol<false>, false, Kind::Modify>();  // 0061DD ROL
        case 062: return single<Plain, op_asr<false>, false, Kind::Modify>();  // 0062DD ASR
        case 063: return single<Plain, op_asl<false>, false, Kind::Modify>();  // 0063DD ASL
        case 064: return checked<mark>;                                                // 0064NN MARK
        case 067: return single<Plain, op_sxt, false, Kind::Write>();          // 0067DD SXT
        default:
            if (sub >= 004 && sub <= 037) return branch_for<Plain>(sub >> 2);  // 0004xx-0037xx BR..BLE
            if (sub >= 040 && sub <= 047) return checked<jump<true>>;            // 004RDD JSR
            return checked<unrealized>;  // 0065DD MFPI, 0066DD MTPI, 0070xx-0077xx
        }
    case 001: return two_operand<Plain, op_mov<false>, false, Kind::Write, &Pdp11Cpu::opReadMoveSource>(sub);  // 01SSDD MOV
    case 002: return two_operand<Plain, op_cmp<false>, false, Kind::Read, word_source>(sub);     // 02SSDD CMP
    case 003: return two_operand<Plain, op_bit<false>, false, Kind::Read, word_source>(sub);     // 03SSDD BIT
    case 004: return two_operand<Plain, op_bic<false>, false, Kind::Modify, word_source>(sub);   // 04SSDD BIC
    case 005: return two_operand<Plain, op_bis<false>, false, Kind::Modify, word_source>(sub);   // 05SSDD BIS
    case 006: return two_operand<Plain, op_add, false, Kind::Modify, word_source>(sub);          // 06SSDD ADD
    case 007:
        switch (sub >> 3) {
        case 0: return checked<eis<eis_mul>>;                    // 070RSS MUL
        case 1: return checked<eis<eis_div>>;                    // 071RSS DIV
        case 2: return checked<eis<eis_ash>>;                    // 072RSS ASH
        case 3: return checked<eis<eis_ashc>>;                   // 073RSS ASHC
        case 4: return checked<xor_instruction>;                 // 074RDD XOR
        case 5: case 6: return checked<halt_reserved>;           // 075000-076777
        default: return sob<Plain>;                          // 077RNN SOB
        }
    case 010:
        switch (sub) {
        case 040: case 041: case 042: case 043: return checked<trap<030>>;           // 104000-104377 EMT
        case 044: case 045: case 046: case 047: return checked<trap<034>>;           // 104400-104777 TRAP
        case 050: return single<Plain, op_clr<true>, true, Kind::Modify>();  // 1050DD CLRB
        case 051: return single<Plain, op_com<true>, true, Kind::Modify>();  // 1051DD COMB
        case 052: return single<Plain, op_inc<true>, true, Kind::Modify>();  // 1052DD INCB
        case 053: return single<Plain, op_dec<true>, true, Kind::Modify>();  // 1053DD DECB
        case 054: return single<Plain, op_neg<true>, true, Kind::Modify>();  // 1054DD NEGB
        case 055: return single<Plain, op_adc<true>, true, Kind::Modify>();  // 1055DD ADCB
        case 056: return single<Plain, op_sbc<true>, true, Kind::Modify>();  // 1056DD SBCB
        case 057: return single<Plain, op_tst<true>, true, Kind::Read>();    // 1057DD TSTB
        case 060: return single<Plain, op_ror<true>, true, Kind::Modify>();  // 1060DD RORB
        case 061: return single<Plain, op_rol<true>, true, Kind::Modify>();  // 1061DD ROLB
        case 062: return single<Plain, op_asr<true>, true, Kind::Modify>();  // 1062DD ASRB
        case 063: return single<Plain, op_asl<true>, true, Kind::Modify>();  // 1063DD ASLB
        case 064: return single<Plain, op_mtps, true, Kind::Read>();         // 1064SS MTPS
        case 067: return single<Plain, op_mfps, true, Kind::Modify, true>(); // 1067DD MFPS
        default:
            if (sub < 040) return branch_for<Plain>((sub >> 2) | 010);  // 1000xx-1037xx BPL..BCS
            return checked<unrealized>;  // 1065DD MFPD, 1066DD MTPD, 1070xx-1077xx
        }
    case 011: return two_operand<Plain, op_mov<true>, true, Kind::Modify, byte_source>(sub);   // 11SSDD MOVB
    case 012: return two_operand<Plain, op_cmp<true>, true, Kind::Read, byte_source>(sub);     // 12SSDD CMPB
    case 013: return two_operand<Plain, op_bit<true>, true, Kind::Read, byte_source>(sub);     // 13SSDD BITB
    case 014: return two_operand<Plain, op_bic<true>, true, Kind::Modify, byte_source>(sub);   // 14SSDD BICB
    case 015: return two_operand<Plain, op_bis<true>, true, Kind::Modify, byte_source>(sub);   // 15SSDD BISB
    case 016: return two_operand<Plain, op_sub, false, Kind::Modify, word_source>(sub);        // 16SSDD SUB
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

// The handlers as steps, for the decode step of machines that run bus operation and step
// pairs themselves: the handler inline, so that the decode step reaches it by a tail call.
template <Handler H> int32_t handler_step(Pdp11Cpu* c) {
    (void)H(c);  // the driver checks the state anyway
    return c->cycleBudget;
}

struct DecodeStepTable {
    Pdp11Step step[1024];
};

template <size_t... I> constexpr DecodeStepTable build_decode_step_table(std::index_sequence<I...>) {
    return {{handler_step<handler_for(I).handler>...}};
}

constexpr DecodeStepTable decode_step_table = build_decode_step_table(std::make_index_sequence<1024>{});

}  // namespace

int32_t pdp11_decode_step(Pdp11Cpu* c) {
    c->cycleBudget -= c->costFetch;
    return decode_step_table.step[(c->ir >> 6) & 01777](c);
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

// The handlers whose unfinished end is nearly always the refetch after a change of flow
// (their plain forms end at the boundary themselves).
constexpr bool ends_in_refetch(Handler h) {
    constexpr Handler flow[] = {sob<>,       branch<001>, branch<002>, branch<003>, branch<004>,
                                branch<005>, branch<006>, branch<007>, branch<010>, branch<011>,
                                branch<012>, branch<013>, branch<014>, branch<015>, branch<016>,
                                branch<017>};
    for (Handler f : flow)
        if (f == h) return true;
    return false;
}

// The slots on plain memory (Pdp11Cpu::plainMemory), by the rules of pdp11.h: a word
// lives at its even address, nothing fails, nothing else happens.
[[gnu::always_inline]] inline void plain_fetch(Pdp11Cpu* cpu, const uint8_t* m) {
    uint32_t pc = (cpu->r[7] + 2) & 0xFFFF;
    cpu->r[7] = pc;
    cpu->ir = cpu->prefetch;
    cpu->prefetchAddress = pc;
    cpu->prefetch = pdp11_load_word(m + (pc & 0xFFFE));
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

template <Handler H, Pdp11Step First, bool Plain> [[gnu::flatten]] void decode_and_continue(Pdp11Cpu* cpu) {
    if (H(cpu)) [[likely]] return;
    if constexpr (ends_in_refetch(H)) {
        if (cpu->stepHandler == pdp11_fetch_complete_step && cpu->busOperation == cpu->opRefetch) {
            refetch_and_continue(cpu);
            return;
        }
    } else if constexpr (First == end_after_write_step) {
        // (On plain memory the decode step has made these stores itself.)
        if (!Plain && cpu->stepHandler == end_after_write_step && cpu->busOperation == cpu->opWrite) {
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

template <bool Plain, size_t... I> constexpr ContinueTable build_continue_table(std::index_sequence<I...>) {
    return {{decode_and_continue<handler_for<Plain>(I).handler, handler_for<Plain>(I).first, Plain>...}};
}

// decode_table with the rest of the instruction attached, indexed the same way: through
// the slots, and for a processor on plain memory.
constexpr ContinueTable continue_table = build_continue_table<false>(std::make_index_sequence<1024>{});
constexpr ContinueTable plain_continue_table = build_continue_table<true>(std::make_index_sequence<1024>{});

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
    if (const uint8_t* m = cpu->plainMemory) {
        // The fetch cannot fail on plain memory.
        plain_fetch(cpu, m);
        cpu->cycleBudget -= cpu->costFetch;
        plain_continue_table.handler[(cpu->ir >> 6) & 01777](cpu);
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
