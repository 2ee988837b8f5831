// 15IE instruction execution: the decoder, one template per opcode specialised
// from its high nibble h and low nibble n, and the two-byte instructions' operand
// steps. Every cycle costs one speed_factor; the byte of each cycle has already
// been fetched into `data` by the machine's fetch_byte slot.
//
// The page of an instruction (ld rn,xx and ld rn,a) is bits 8-11 of the address
// after its opcode: the decoder has already advanced PC there.

#include <array>
#include <cstdio>
#include <utility>

#include "cpu/ie15/ie15.h"

namespace {

using S = Ie15Cpu;

inline void charge(S* s) { s->budget -= s->speed_factor; }
inline void advance_pc(S* s) { s->pc = (s->pc + 1) & ie15_address_mask; }
inline uint32_t page(const S* s) { return s->pc & 0xF00; }
template <int N> inline uint16_t& reg(S* s) { return s->r[s->bank][N]; }
template <int N> inline uint8_t low(S* s) { return static_cast<uint8_t>(reg<N>(s)); }

// A and C are stored together from a 9-bit result.
inline void set_a_c(S* s, uint32_t result)
{
    s->a = static_cast<uint8_t>(result);
    s->c = static_cast<uint8_t>((result >> 8) & 1);
}

void unknown_instruction(S*) { std::fputs("Unknown IE15 Instruction!\n", stdout); }

// ---- Second cycles -----------------------------------------------------------

// A skipped two-byte instruction still spends its operand cycle.
void skip_operand(S* s)
{
    charge(s);
    advance_pc(s);
    s->step = ie15_decode;
}

// 1n xx: the target is n * 256 OR (xx + 1); the +1 of xx = 0xFF carries into bit 8 only.
template <int N> void jmp_operand(S* s)
{
    charge(s);
    s->pc = ((N << 8) | (s->data + 1u)) & ie15_address_mask;
    s->step = ie15_decode;
}

template <int N> void ld_reg_operand(S* s)
{
    charge(s);
    reg<N>(s) = static_cast<uint16_t>(page(s) + s->data);
    advance_pc(s);
    s->step = ie15_decode;
}

void ld_a_operand(S* s)
{
    charge(s);
    s->a = s->data;
    advance_pc(s);
    s->step = ie15_decode;
}

// ---- The opcode template ------------------------------------------------------

// Runs after the decoder charged the opcode's cycle and advanced PC.
template <int OP> void execute(S* s)
{
    constexpr int h = OP >> 4, n = OP & 15;
    if constexpr (h == 0x0) {  // 0n: add a,rn (1)
        set_a_c(s, s->a + low<n>(s));
    } else if constexpr (h == 0x1) {  // 1n xx: jmp (2)
        s->step = jmp_operand<n>;
    } else if constexpr (h == 0x2) {  // 2n xx: ld rn,xx (2)
        s->step = ld_reg_operand<n>;
    } else if constexpr (OP == 0x30) {  // 30 xx: ld a,xx (2)
        s->step = ld_a_operand;
    } else if constexpr (OP == 0x33) {  // 33: rol a (1)
        s->a = static_cast<uint8_t>((s->a << 1) | (s->a >> 7));
    } else if constexpr (OP == 0x35) {  // 35: ror a (1)
        s->a = static_cast<uint8_t>((s->a >> 1) | (s->a << 7));
    } else if constexpr (h == 0x4) {  // 4n: decsn rn (1), only the low byte counts
        const uint8_t v = static_cast<uint8_t>(low<n>(s) - 1);
        reg<n>(s) = static_cast<uint16_t>((reg<n>(s) & 0xF00) | v);
        s->skip = v == 0xFF;
    } else if constexpr (OP == 0x50) {  // 50: incsn a (1)
        s->skip = s->a == 0xFE;
        set_a_c(s, s->a + 1u);
    } else if constexpr (OP == 0x51) {  // 51: inc a (1)
        set_a_c(s, s->a + 1u);
    } else if constexpr (OP == 0x52) {  // 52: decsn a (1), C = borrow
        s->skip = s->a == 0;
        set_a_c(s, (s->a - 1u) & 0x1FF);  // a borrow leaves bit 8 set
    } else if constexpr (OP == 0x58) {  // 58: incsp a (1)
        set_a_c(s, s->a + 1u);
        s->skip = s->a != 0xFF;
    } else if constexpr (OP == 0x5A) {  // 5A: decsp a (1)
        set_a_c(s, (s->a - 1u) & 0x1FF);
        s->skip = s->a != 0xFF;
    } else if constexpr (OP == 0x5B) {  // 5B: dec a (1), C unchanged
        s->a = static_cast<uint8_t>(s->a - 1);
    } else if constexpr (OP == 0x5D) {  // 5D: cpl a (1)
        s->a = static_cast<uint8_t>(~s->a);
    } else if constexpr (OP == 0x5F) {  // 5F: clr a (1)
        s->a = 0;
    } else if constexpr (h == 0x3 || h == 0x5) {  // the rest of groups 3 and 5
        unknown_instruction(s);
    } else if constexpr (h == 0x6) {  // 6n: in a,(port n) (1)
        s->a = s->in_port[n](s, n);
    } else if constexpr (h == 0x7) {  // 7n: jmp rn (1)
        s->pc = reg<n>(s) & ie15_address_mask;
    } else if constexpr (h == 0x8) {  // 80-87 skipc, 88-8F skips (1)
        constexpr int f = n & 7;
        bool set;
        if constexpr (f == 5)
            set = (s->a & 0x80) != 0;
        else if constexpr (f == 6)
            set = s->c != 0;
        else
            set = s->flags[f] != 0;
        s->skip = (n < 8) ? !set : set;
    } else if constexpr (h == 0x9) {  // 9n: and a,rn (1)
        s->a &= low<n>(s);
    } else if constexpr (h == 0xA) {  // An: xor a,rn (1)
        s->a ^= low<n>(s);
    } else if constexpr (h == 0xB) {  // Bn: cmpsz a,rn (1)
        s->skip = s->a == low<n>(s);
    } else if constexpr (h == 0xC) {  // C0-C7 clr, C8-CF set (1)
        constexpr uint8_t v = n >> 3;
        constexpr int target = n & 7;
        if constexpr (target == 0)
            s->vdis = v;
        else if constexpr (target == 1)
            s->marken = v;
        else if constexpr (target == 3)
            s->syslin = v;
        else if constexpr (target == 4)
            s->flags[IE15_FLAG_RUSLAT] = v;
        else if constexpr (target == 5)
            s->c = v;
        else if constexpr (target == 7)
            s->koi7 = v;
        // 2 (SNDLen) and 6 change nothing.
    } else if constexpr (h == 0xD) {  // Dn: ld a,rn (1)
        s->a = low<n>(s);
    } else if constexpr (h == 0xE) {  // En: ld rn,a (1)
        reg<n>(s) = static_cast<uint16_t>(page(s) + s->a);
    } else {  // Fn: out (port n),a (1)
        s->out_port[n](s, n, s->a);
    }
}

template <size_t... I> constexpr std::array<Ie15Routine, 256> make_table(std::index_sequence<I...>)
{
    return {&execute<static_cast<int>(I)>...};
}

constexpr std::array<Ie15Routine, 256> opcode_table = make_table(std::make_index_sequence<256>{});

}  // namespace

void ie15_decode(Ie15Cpu* s)
{
    charge(s);
    advance_pc(s);
    if (s->skip) [[unlikely]] {
        // The skipped byte is not executed; the two-byte forms also pass their operand.
        s->skip = 0;
        if (s->data >= 0x10 && s->data < 0x40)
            s->step = skip_operand;
        return;
    }
    opcode_table[s->data](s);
}

void ie15_run_instruction(Ie15Cpu* s)
{
    do {
        ie15_instruction_step(s);
    } while (s->step != ie15_decode);
}

void ie15_fetch_flat(Ie15Cpu* s) { s->data = s->memory[s->pc & ie15_address_mask]; }
