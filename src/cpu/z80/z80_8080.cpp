// The Intel 8080 instruction set on the Z80 core's steps (8080 mode).
//
// The 8080 has only the unprefixed opcodes. Its instructions are built from the
// same step families as the Z80's, with the 8080's flags (ALU_8080, K_INR,
// K_DCR) and the 8080's state counts: one T-state of the cost table is one
// 8080 state. The opcodes that the Z80 gave new meanings are what the 8080
// makes of them: 08 10 18 20 28 30 38 are NOPs, CB is JMP, D9 is RET, and
// DD ED FD are CALL. State counts are in the comments (taken / not taken).

#include "cpu/z80/z80_steps.h"

using namespace z80_impl;

namespace {

// CALL: the 8080 fetches the opcode in 5 states and reads the address without
// an internal state, then pushes the return address (17; not taken 11).
void call_word_8080(S* s) {
    charge(s, T3);
    start_push_pc(s, word_operand(s));
}

// IN and OUT put the port number on both halves of the address bus.
void in_a_n_8080(S* s) {
    s->addr = s->data * 0x101;
    charge(s, T3);
    s->bus = s->read_port;
    s->step = ld_reg_data<RA>;
}

void out_n_a_8080(S* s) {
    s->addr = s->data * 0x101;
    s->data = s->a;
    charge(s, T3);
    s->bus = s->write_port;
    s->step = fin_t3;
}

template <int OP> void op_8080(S* s) {
    constexpr int x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    constexpr int rp2 = p == 3 ? PPSW : p;  // B D H PSW (PUSH/POP)

    if constexpr (x == 0) {
        if constexpr (z == 0) {  // 00, and 08 10 18 20 28 30 38: NOP (4)
            charge(s, T4);
        } else if constexpr (z == 1 && q == 0) {  // 01 11 21 31: LXI (10)
            charge(s, T4);
            s->step = ld16_imm_lo<p>;
        } else if constexpr (z == 1) {  // 09 19 29 39: DAD, only CY changes (10)
            const int r = s->hl + get16<p>(s);
            s->f = static_cast<uint8_t>((s->f & ~FC) | (r >> 16));
            s->hl = static_cast<uint16_t>(r);
            charge(s, T10);
        } else if constexpr (OP == 0x02 || OP == 0x12) {  // STAX B / STAX D (7)
            s->addr = get16<p>(s);
            s->data = s->a;
            charge(s, T4);
            s->bus = s->write_mem;
            s->step = fin_t3;
        } else if constexpr (OP == 0x0A || OP == 0x1A) {  // LDAX B / LDAX D (7)
            s->addr = get16<p>(s);
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ld_reg_data<RA>;
        } else if constexpr (OP == 0x22) {  // SHLD (16)
            charge(s, T4);
            s->step = word_lo<st16_addr<PHL>>;
        } else if constexpr (OP == 0x2A) {  // LHLD (16)
            charge(s, T4);
            s->step = word_lo<ld16_addr<PHL>>;
        } else if constexpr (OP == 0x32) {  // STA (13)
            charge(s, T4);
            s->step = word_lo<st_a_word>;
        } else if constexpr (OP == 0x3A) {  // LDA (13)
            charge(s, T4);
            s->step = word_lo<ld_a_word>;
        } else if constexpr (z == 3) {  // INX / DCX, no flags (5)
            set16<p>(s, static_cast<uint16_t>(get16<p>(s) + (q ? -1 : 1)));
            charge(s, T5);
        } else if constexpr ((z == 4 || z == 5) && y == 6) {  // INR M / DCR M (10)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = rmw<z == 4 ? K_INR : K_DCR, T3>;
        } else if constexpr (z == 4 || z == 5) {  // INR r / DCR r, CY kept (5)
            set8<y>(s, rmw_value<z == 4 ? K_INR : K_DCR>(s, get8<y>(s)));
            charge(s, T5);
        } else if constexpr (OP == 0x36) {  // MVI M (10)
            charge(s, T4);
            s->step = st_hl_n;
        } else if constexpr (z == 6) {  // MVI r (7)
            charge(s, T4);
            s->step = ld_reg_data<y>;
        } else if constexpr (OP == 0x07) {  // RLC: only CY changes (4)
            const uint8_t c = s->a >> 7;
            s->a = static_cast<uint8_t>((s->a << 1) | c);
            s->f = static_cast<uint8_t>((s->f & ~FC) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x0F) {  // RRC (4)
            const uint8_t c = s->a & 1;
            s->a = static_cast<uint8_t>((s->a >> 1) | (c << 7));
            s->f = static_cast<uint8_t>((s->f & ~FC) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x17) {  // RAL (4)
            const uint8_t c = s->a >> 7;
            s->a = static_cast<uint8_t>((s->a << 1) | (s->f & FC));
            s->f = static_cast<uint8_t>((s->f & ~FC) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x1F) {  // RAR (4)
            const uint8_t c = s->a & 1;
            s->a = static_cast<uint8_t>((s->a >> 1) | ((s->f & FC) << 7));
            s->f = static_cast<uint8_t>((s->f & ~FC) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x27) {  // DAA (4)
            // Add 6 when the low digit is over 9 or AC is set, 0x60 when A is
            // over 0x99 or CY is set (the high digit after the first step is
            // then over 9). AC is the carry out of bit 3 of that addition; CY
            // is set by the high correction and otherwise kept.
            const int a = s->a;
            int correction = (s->f & FH) || (a & 0x0F) > 9 ? 0x06 : 0;
            uint8_t c = s->f & FC;
            if (c || a > 0x99) {
                correction |= 0x60;
                c = FC;
            }
            const int r = a + correction;
            s->f = static_cast<uint8_t>(flags_szp_8080[r & 0xFF] | ((a ^ correction ^ r) & FH) | c);
            s->a = static_cast<uint8_t>(r);
            charge(s, T4);
        } else if constexpr (OP == 0x2F) {  // CMA, no flags (4)
            s->a = static_cast<uint8_t>(~s->a);
            charge(s, T4);
        } else if constexpr (OP == 0x37) {  // STC (4)
            s->f |= FC;
            charge(s, T4);
        } else {  // 3F: CMC (4)
            s->f ^= FC;
            charge(s, T4);
        }
    } else if constexpr (x == 1) {
        if constexpr (OP == 0x76) {  // HLT (7); re-fetched until an interrupt
            s->pc--;
            charge(s, T7);
        } else if constexpr (z == 6) {  // MOV r,M (7)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ld_reg_data<y>;
        } else if constexpr (y == 6) {  // MOV M,r (7)
            s->addr = s->hl;
            s->data = get8<z>(s);
            charge(s, T4);
            s->bus = s->write_mem;
            s->step = fin_t3;
        } else {  // MOV r,r (5)
            set8<y>(s, get8<z>(s));
            charge(s, T5);
        }
    } else if constexpr (x == 2) {
        if constexpr (z == 6) {  // ADD ADC SUB SBB ANA XRA ORA CMP M (7)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = alu_data<ALU_8080 + y>;
        } else {  // ... r (4)
            alu<ALU_8080 + y>(s, get8<z>(s));
            charge(s, T4);
        }
    } else {
        if constexpr (z == 0) {  // Rcc (11 / 5)
            charge(s, T5);
            if (condition<y>(s)) start_pop<PPC>(s);
        } else if constexpr (z == 1 && q == 0) {  // POP B D H PSW (10)
            charge(s, T4);
            start_pop<rp2>(s);
        } else if constexpr (OP == 0xC9 || OP == 0xD9) {  // RET (10)
            charge(s, T4);
            start_pop<PPC>(s);
        } else if constexpr (OP == 0xE9) {  // PCHL (5)
            s->pc = s->hl;
            charge(s, T5);
        } else if constexpr (OP == 0xF9) {  // SPHL (5)
            s->sp = s->hl;
            charge(s, T5);
        } else if constexpr (z == 2) {  // Jcc (10 either way)
            charge(s, T4);
            s->step = condition<y>(s) ? word_lo<jp_word> : word_lo<fin_t3>;
        } else if constexpr (OP == 0xC3 || OP == 0xCB) {  // JMP (10)
            charge(s, T4);
            s->step = word_lo<jp_word>;
        } else if constexpr (OP == 0xD3) {  // OUT (10)
            charge(s, T4);
            s->step = out_n_a_8080;
        } else if constexpr (OP == 0xDB) {  // IN (10)
            charge(s, T4);
            s->step = in_a_n_8080;
        } else if constexpr (OP == 0xE3) {  // XTHL (18)
            s->addr = s->sp;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ex_sp_read_lo<PHL, T3>;
        } else if constexpr (OP == 0xEB) {  // XCHG (4)
            const uint16_t de = s->de;
            s->de = s->hl;
            s->hl = de;
            charge(s, T4);
        } else if constexpr (OP == 0xF3) {  // DI (4)
            s->iff = 0;
            charge(s, T4);
        } else if constexpr (OP == 0xFB) {  // EI (4)
            s->iff = Z80_IFF1 | Z80_IFF2;
            charge(s, T4);
        } else if constexpr (z == 4) {  // Ccc (17 / 11)
            charge(s, T5);
            s->step = condition<y>(s) ? word_lo<call_word_8080> : word_lo<fin_t3>;
        } else if constexpr (z == 5 && q == 0) {  // PUSH B D H PSW (11)
            charge(s, T5);
            start_push<rp2>(s);
        } else if constexpr (z == 5) {  // CD, and DD ED FD: CALL (17)
            charge(s, T5);
            s->step = word_lo<call_word_8080>;
        } else if constexpr (z == 6) {  // ADI ACI SUI SBI ANI XRI ORI CPI (7)
            charge(s, T4);
            s->step = alu_data<ALU_8080 + y>;
        } else {  // RST n (11)
            charge(s, T5);
            start_push_pc(s, y * 8);
        }
    }
}

}  // namespace

#define STEP4(n) op_8080<n>, op_8080<n + 1>, op_8080<n + 2>, op_8080<n + 3>
#define STEP16(n) STEP4(n), STEP4(n + 4), STEP4(n + 8), STEP4(n + 12)
#define STEP64(n) STEP16(n), STEP16(n + 16), STEP16(n + 32), STEP16(n + 48)
const Z80Routine i8080_opcode_steps[256] = {STEP64(0), STEP64(64), STEP64(128), STEP64(192)};
