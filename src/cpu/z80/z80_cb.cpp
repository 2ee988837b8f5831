// Z80 CB-prefixed instructions (rotations, shifts, BIT, RES, SET) and their
// DD CB d op / FD CB d op forms on (IX+d) / (IY+d).

#include "cpu/z80/z80_steps.h"

using namespace z80_impl;

namespace {

// BIT n,(HL): bits 5 and 3 come from the high byte of PC (the address of the
// following instruction).
template <int N> void bit_hl(S* s) {
    bit_flags<N>(s, s->data, z80_hi(s->pc));
    finish(s, T4);
}

// BIT n,(IX+d): bits 5 and 3 come from the high byte of IX+d.
template <int N> void bit_idx(S* s) {
    bit_flags<N>(s, s->data, static_cast<uint8_t>(s->addr >> 8));
    finish(s, T4);
}

// Steps that consume the memory byte, by bits 7-3 of the CB opcode.
template <int K, bool X> constexpr Z80Routine memory_step() {
    if constexpr (K >= 8 && K < 16) return X ? bit_idx<K - 8> : bit_hl<K - 8>;
    else return rmw<K>;
}

template <bool X, std::size_t... K>
constexpr std::array<Z80Routine, 32> memory_steps(std::index_sequence<K...>) {
    return {memory_step<K, X>()...};
}

constexpr std::array<Z80Routine, 32> hl_steps = memory_steps<false>(std::make_index_sequence<32>());
constexpr std::array<Z80Routine, 32> idx_steps = memory_steps<true>(std::make_index_sequence<32>());

// Register forms: the 3-bit field z names the register, 110 is (HL).
template <int OP> [[gnu::always_inline]] inline void cb_op(S* s) {
    constexpr int k = OP >> 3, z = OP & 7;
    if constexpr (z == 6) {  // CB 06..FE: op (HL) (15), BIT n,(HL) (12)
        s->addr = s->hl;
        charge(s, T4);
        s->bus = s->read_mem;
        s->step = hl_steps[k];
    } else if constexpr (k >= 8 && k < 16) {  // CB 40-7F: BIT n,r (8)
        const uint8_t v = get8<z>(s);
        bit_flags<k - 8>(s, v, v);
        charge(s, T4);
    } else {  // CB 00-3F: RLC RRC RL RR SLA SRA SLL SRL r, CB 80-FF: RES/SET n,r (8)
        set8<z>(s, rmw_value<k>(s, get8<z>(s)));
        charge(s, T4);
    }
}

}  // namespace

#define Z80_OPCODE(n) cb_op<n>(s)

void decode_cb(Z80State* s) {
    s->r++;
    s->step = decode_main;
    switch (s->data) { Z80_CASE64(0) Z80_CASE64(64) Z80_CASE64(128) Z80_CASE64(192) }
}

// Fourth byte of DD CB d op; `addr` already holds IX+d. Only the forms on
// (IX+d) alone (low bits 110) are executed: the forms that would also copy
// the result into a register end here as 15 T-state no-ops.
void decode_index_cb(Z80State* s) {
    s->r++;
    s->step = decode_main;
    if ((s->data & 7) != 6) {  // DD CB d xx, xx & 7 != 6: no-op (15)
        charge(s, T4);
        return;
    }
    // DD CB d op: rotate/shift/RES/SET (IX+d) (23), BIT n,(IX+d) (20)
    charge(s, T5);
    s->bus = s->read_mem;
    s->step = idx_steps[s->data >> 3];
}
