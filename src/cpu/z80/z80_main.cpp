// Z80 unprefixed instructions and their DD/FD-prefixed forms.
//
// One template per opcode, specialised from the opcode's fields
// x = bits 7-6, y = bits 5-3, z = bits 2-0, p = bits 5-4, q = bit 3. The DD/FD
// instantiation (X = true) swaps HL, H, L for the index register, its halves
// and (IX+d); every other opcode runs as unprefixed (the prefix charged 4).
// T-states in the comments are for the unprefixed form.

#include "cpu/z80/z80_steps.h"

using namespace z80_impl;

namespace {

// ---- Steps used only by the main set --------------------------------------

// LD (HL),r / LD (IX+d),r: the byte to store is taken after the displacement.
template <int R> void idx_store(S* s) {
    s->addr = static_cast<uint16_t>(*s->index_reg + static_cast<int8_t>(s->data));
    s->data = get8<R>(s);
    charge(s, T8);
    s->bus = s->write_mem;
    s->step = fin_t3;
}

// LD (IX+d),n: displacement (3), then n (3 + internal 2), then the write.
void st_idx_n_value(S* s) {
    charge(s, T5);
    s->bus = s->write_mem;
    s->step = fin_t3;
}
void st_idx_n_disp(S* s) {
    s->addr = static_cast<uint16_t>(*s->index_reg + static_cast<int8_t>(s->data));
    charge(s, T3);
    s->step = st_idx_n_value;
}

void jr_taken(S* s) {
    s->pc = static_cast<uint16_t>(s->pc + static_cast<int8_t>(s->data));
    finish(s, T8);
}

void call_word(S* s) {
    charge(s, T4);  // high operand byte 3 + internal 1
    start_push_pc(s, word_operand(s));
}

void out_n_a(S* s) {
    s->addr = (s->a << 8) | s->data;
    s->data = s->a;
    charge(s, T3);
    s->bus = s->write_port;
    s->step = fin_t4;
}

void in_a_n(S* s) {
    s->addr = (s->a << 8) | s->data;
    charge(s, T3);
    s->bus = s->read_port;
    s->step = ld_reg_data<RA, T4>;
}

// DD CB d: the displacement gives the address, then the fourth byte is
// fetched as an opcode and decoded.
void idx_cb_disp(S* s) {
    s->addr = static_cast<uint16_t>(*s->index_reg + static_cast<int8_t>(s->data));
    charge(s, T3);
    s->step = decode_index_cb;
}

// (HL) operand read, or (IX+d) with the displacement fetched first.
template <bool X, Z80Routine NEXT> inline void mem_operand(S* s) {
    charge(s, T4);
    if constexpr (X) {
        s->step = idx_addr<NEXT>;
    } else {
        s->addr = s->hl;
        s->bus = s->read_mem;
        s->step = NEXT;
    }
}

// ---- The opcode template ----------------------------------------------------

template <int OP, bool X> [[gnu::always_inline]] inline void main_op(S* s) {
    constexpr int x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    constexpr int ry = index_reg8(y, X), rz = index_reg8(z, X);
    constexpr int rp = index_reg16(p, X);      // BC DE HL/IX SP
    constexpr int rp2 = p == 3 ? PAF : rp;     // BC DE HL/IX AF (PUSH/POP)
    constexpr int hl = X ? PIX : PHL;

    if constexpr (x == 0) {
        if constexpr (OP == 0x00) {  // 00: NOP (4)
            charge(s, T4);
        } else if constexpr (OP == 0x08) {  // 08: EX AF,AF' (4); AF' keeps A low, F high
            const uint16_t alt = s->af_alt;
            s->af_alt = z80_pair(s->f, s->a);
            s->a = z80_lo(alt);
            s->f = z80_hi(alt);
            charge(s, T4);
        } else if constexpr (OP == 0x10) {  // 10: DJNZ e (13 / 8)
            const uint8_t b = static_cast<uint8_t>(z80_hi(s->bc) - 1);
            z80_set_hi(s->bc, b);
            charge(s, T5);
            s->step = b ? jr_taken : fin_t3;
        } else if constexpr (OP == 0x18) {  // 18: JR e (12)
            charge(s, T4);
            s->step = jr_taken;
        } else if constexpr (z == 0) {  // 20 28 30 38: JR cc,e (12 / 7)
            charge(s, T4);
            s->step = condition<y - 4>(s) ? jr_taken : fin_t3;
        } else if constexpr (z == 1 && q == 0) {  // 01 11 21 31: LD rr,nn (10)
            charge(s, T4);
            s->step = ld16_imm_lo<rp>;
        } else if constexpr (z == 1) {  // 09 19 29 39: ADD HL,rr (11)
            const int a = get16<hl>(s), b = get16<rp>(s), r = a + b;
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | (z80_hi(static_cast<uint16_t>(r)) & (F5 | F3)) |
                                        (flags_add_hvc[(a ^ b ^ r) >> 12] & (FH | FC)));
            set16<hl>(s, static_cast<uint16_t>(r));
            charge(s, T11);
        } else if constexpr (OP == 0x02 || OP == 0x12) {  // 02 12: LD (BC),A / LD (DE),A (7)
            s->addr = get16<p>(s);
            s->data = s->a;
            charge(s, T4);
            s->bus = s->write_mem;
            s->step = fin_t3;
        } else if constexpr (OP == 0x0A || OP == 0x1A) {  // 0A 1A: LD A,(BC) / LD A,(DE) (7)
            s->addr = get16<p>(s);
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ld_reg_data<RA>;
        } else if constexpr (OP == 0x22) {  // 22: LD (nn),HL (16)
            charge(s, T4);
            s->step = word_lo<st16_addr<hl>>;
        } else if constexpr (OP == 0x2A) {  // 2A: LD HL,(nn) (16)
            charge(s, T4);
            s->step = word_lo<ld16_addr<hl>>;
        } else if constexpr (OP == 0x32) {  // 32: LD (nn),A (13)
            charge(s, T4);
            s->step = word_lo<st_a_word>;
        } else if constexpr (OP == 0x3A) {  // 3A: LD A,(nn) (13)
            charge(s, T4);
            s->step = word_lo<ld_a_word>;
        } else if constexpr (z == 3) {  // 03 13 23 33: INC rr, 0B 1B 2B 3B: DEC rr (6)
            set16<rp>(s, static_cast<uint16_t>(get16<rp>(s) + (q ? -1 : 1)));
            charge(s, T6);
        } else if constexpr (z == 4 && y == 6) {  // 34: INC (HL) (11)
            mem_operand<X, rmw<K_INC>>(s);
        } else if constexpr (z == 5 && y == 6) {  // 35: DEC (HL) (11)
            mem_operand<X, rmw<K_DEC>>(s);
        } else if constexpr (z == 4) {  // 04 0C 14 1C 24 2C 3C: INC r (4)
            const uint8_t v = get8<ry>(s);
            s->f = static_cast<uint8_t>((s->f & FC) | flags_inc[v]);
            set8<ry>(s, static_cast<uint8_t>(v + 1));
            charge(s, T4);
        } else if constexpr (z == 5) {  // 05 0D 15 1D 25 2D 3D: DEC r (4)
            const uint8_t v = get8<ry>(s);
            s->f = static_cast<uint8_t>((s->f & FC) | flags_dec[v]);
            set8<ry>(s, static_cast<uint8_t>(v - 1));
            charge(s, T4);
        } else if constexpr (OP == 0x36) {  // 36: LD (HL),n (10)
            charge(s, T4);
            s->step = X ? st_idx_n_disp : st_hl_n;
        } else if constexpr (z == 6) {  // 06 0E 16 1E 26 2E 3E: LD r,n (7)
            charge(s, T4);
            s->step = ld_reg_data<ry>;
        } else if constexpr (OP == 0x07) {  // 07: RLCA (4)
            s->a = static_cast<uint8_t>((s->a << 1) | (s->a >> 7));
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | (s->a & (F5 | F3 | FC)));
            charge(s, T4);
        } else if constexpr (OP == 0x0F) {  // 0F: RRCA (4)
            const uint8_t c = s->a & 1;
            s->a = static_cast<uint8_t>((s->a >> 1) | (c << 7));
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | (s->a & (F5 | F3)) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x17) {  // 17: RLA (4)
            const uint8_t c = s->a >> 7;
            s->a = static_cast<uint8_t>((s->a << 1) | (s->f & FC));
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | (s->a & (F5 | F3)) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x1F) {  // 1F: RRA (4)
            const uint8_t c = s->a & 1;
            s->a = static_cast<uint8_t>((s->a >> 1) | ((s->f & FC) << 7));
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | (s->a & (F5 | F3)) | c);
            charge(s, T4);
        } else if constexpr (OP == 0x27) {  // 27: DAA (4)
            const uint8_t* e = daa_table[((s->f & FC) << 10) | ((s->f & FH) << 5) | ((s->f & FN) << 7) | s->a];
            s->a = e[0];
            s->f = e[1];
            charge(s, T4);
        } else if constexpr (OP == 0x2F) {  // 2F: CPL (4)
            s->a = static_cast<uint8_t>(~s->a);
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP | FC)) | FH | FN | (s->a & (F5 | F3)));
            charge(s, T4);
        } else if constexpr (OP == 0x37) {  // 37: SCF (4)
            // Bits 5 and 3: the NMOS Z80 ORs A into the old flags when the
            // previous instruction left F alone (the core does not track that).
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | FC | ((s->a | s->f) & (F5 | F3)));
            charge(s, T4);
        } else {  // 3F: CCF (4)
            s->f = static_cast<uint8_t>((s->f & (FS | FZ | FP)) | ((s->f & FC) ? FH : FC) |
                                        ((s->a | s->f) & (F5 | F3)));
            charge(s, T4);
        }
    } else if constexpr (x == 1) {
        if constexpr (OP == 0x76) {  // 76: HALT (4 per re-fetch)
            s->pc--;
            charge(s, T4);
        } else if constexpr (z == 6) {  // 46 4E 56 5E 66 6E 7E: LD r,(HL) (7); with (IX+d) the real H/L
            mem_operand<X, ld_reg_data<y>>(s);
        } else if constexpr (y == 6) {  // 70-75 77: LD (HL),r (7); with (IX+d) the real H/L
            charge(s, T4);
            if constexpr (X) {
                s->step = idx_store<z>;
            } else {
                s->addr = s->hl;
                s->data = get8<z>(s);
                s->bus = s->write_mem;
                s->step = fin_t3;
            }
        } else {  // 40-7F: LD r,r' (4)
            set8<ry>(s, get8<rz>(s));
            charge(s, T4);
        }
    } else if constexpr (x == 2) {
        if constexpr (z == 6) {  // 86 8E 96 9E A6 AE B6 BE: ALU A,(HL) (7)
            mem_operand<X, alu_data<y>>(s);
        } else {  // 80-BF: ADD ADC SUB SBC AND XOR OR CP r (4)
            alu<y>(s, get8<rz>(s));
            charge(s, T4);
        }
    } else {
        if constexpr (z == 0) {  // C0 C8 D0 D8 E0 E8 F0 F8: RET cc (11 / 5)
            charge(s, T5);
            if (condition<y>(s)) start_pop<PPC>(s);
        } else if constexpr (z == 1 && q == 0) {  // C1 D1 E1 F1: POP rr (10)
            charge(s, T4);
            start_pop<rp2>(s);
        } else if constexpr (OP == 0xC9) {  // C9: RET (10)
            charge(s, T4);
            start_pop<PPC>(s);
        } else if constexpr (OP == 0xD9) {  // D9: EXX (4)
            const uint16_t bc = s->bc, de = s->de, hl2 = s->hl;
            s->bc = s->bc_alt;
            s->de = s->de_alt;
            s->hl = s->hl_alt;
            s->bc_alt = bc;
            s->de_alt = de;
            s->hl_alt = hl2;
            charge(s, T4);
        } else if constexpr (OP == 0xE9) {  // E9: JP (HL) (4)
            s->pc = get16<hl>(s);
            charge(s, T4);
        } else if constexpr (OP == 0xF9) {  // F9: LD SP,HL (6)
            s->sp = get16<hl>(s);
            charge(s, T6);
        } else if constexpr (z == 2) {  // C2 CA D2 DA E2 EA F2 FA: JP cc,nn (10 either way)
            charge(s, T4);
            s->step = condition<y>(s) ? word_lo<jp_word> : word_lo<fin_t3>;
        } else if constexpr (OP == 0xC3) {  // C3: JP nn (10)
            charge(s, T4);
            s->step = word_lo<jp_word>;
        } else if constexpr (OP == 0xCB) {  // CB: prefix; DD CB d op under DD/FD
            charge(s, T4);
            s->step = X ? idx_cb_disp : decode_cb;
        } else if constexpr (OP == 0xD3) {  // D3: OUT (n),A (11)
            charge(s, T4);
            s->step = out_n_a;
        } else if constexpr (OP == 0xDB) {  // DB: IN A,(n) (11)
            charge(s, T4);
            s->step = in_a_n;
        } else if constexpr (OP == 0xE3) {  // E3: EX (SP),HL (19)
            s->addr = s->sp;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ex_sp_read_lo<hl>;
        } else if constexpr (OP == 0xEB) {  // EB: EX DE,HL (4); the prefix does not apply
            const uint16_t de = s->de;
            s->de = s->hl;
            s->hl = de;
            charge(s, T4);
        } else if constexpr (OP == 0xF3) {  // F3: DI (4)
            s->iff = 0;
            charge(s, T4);
        } else if constexpr (OP == 0xFB) {  // FB: EI (4), effective at once
            s->iff = Z80_IFF1 | Z80_IFF2;
            charge(s, T4);
        } else if constexpr (z == 4) {  // C4 CC D4 DC E4 EC F4 FC: CALL cc,nn (17 / 10)
            charge(s, T4);
            s->step = condition<y>(s) ? word_lo<call_word> : word_lo<fin_t3>;
        } else if constexpr (z == 5 && q == 0) {  // C5 D5 E5 F5: PUSH rr (11)
            charge(s, T5);
            start_push<rp2>(s);
        } else if constexpr (OP == 0xCD) {  // CD: CALL nn (17)
            charge(s, T4);
            s->step = word_lo<call_word>;
        } else if constexpr (OP == 0xDD || OP == 0xFD) {  // DD FD: index prefix (4); the last one wins
            s->index_reg = OP == 0xDD ? &s->ix : &s->iy;
            charge(s, T4);
            s->step = decode_index;
        } else if constexpr (OP == 0xED) {  // ED: prefix; a DD/FD before it is ignored
            charge(s, T4);
            s->step = decode_ed;
        } else if constexpr (z == 6) {  // C6 CE D6 DE E6 EE F6 FE: ALU A,n (7)
            charge(s, T4);
            s->step = alu_data<y>;
        } else {  // C7 CF D7 DF E7 EF F7 FF: RST p (11)
            charge(s, T5);
            start_push_pc(s, y * 8);
        }
    }
}

}  // namespace

#define Z80_OPCODE(n) main_op<n, INDEXED>(s)
#define OP_CASE256 Z80_CASE64(0) Z80_CASE64(64) Z80_CASE64(128) Z80_CASE64(192)

// Unprefixed opcodes: one first step each, reached through `opcode_steps`
// (a DD/FD-prefixed instruction goes through decode_index's switch).
namespace {
template <int OP> void opcode_step(Z80State* s) { main_op<OP, false>(s); }
}  // namespace

#define STEP4(n) opcode_step<n>, opcode_step<n + 1>, opcode_step<n + 2>, opcode_step<n + 3>
#define STEP16(n) STEP4(n), STEP4(n + 4), STEP4(n + 8), STEP4(n + 12)
#define STEP64(n) STEP16(n), STEP16(n + 16), STEP16(n + 32), STEP16(n + 48)
const Z80Routine z80_opcode_steps[256] = {STEP64(0), STEP64(64), STEP64(128), STEP64(192)};

// The instruction set of the record (Z80 or 8080) decides the first step.
void decode_main(Z80State* s) {
    s->r++;
    s->opcode_steps[s->data](s);
}

void decode_index(Z80State* s) {
    constexpr bool INDEXED = true;
    s->r++;
    s->step = decode_main;  // one-byte forms end here; longer ones set their next step
    switch (s->data) { OP_CASE256 }
}
