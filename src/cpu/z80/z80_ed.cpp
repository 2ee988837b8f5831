// Z80 ED-prefixed instructions: 16-bit ADC/SBC and loads, port I/O on (C),
// NEG, RETN/RETI, IM, the I/R transfers, RRD/RLD and the block instructions.
// Every ED opcode without an instruction is an 8 T-state no-op.

#include "cpu/z80/z80_steps.h"

using namespace z80_impl;

namespace {

// IN r,(C) and IN (C): S Z 5 3 P from the byte, H and N clear, C kept.
template <int R> void in_reg_c(S* s) {
    if constexpr (R != RMEM) set8<R>(s, s->data);
    s->f = static_cast<uint8_t>((s->f & FC) | flags_sz53p[s->data]);
    finish(s, T4);
}

void rrd_step(S* s) {
    const uint8_t m = s->data;
    s->data = static_cast<uint8_t>((s->a << 4) | (m >> 4));
    s->a = static_cast<uint8_t>((s->a & 0xF0) | (m & 0x0F));
    s->f = static_cast<uint8_t>((s->f & FC) | flags_sz53p[s->a]);
    charge(s, T7);  // read 3 + internal 4
    s->bus = s->write_mem;
    s->step = fin_t3;
}

void rld_step(S* s) {
    const uint8_t m = s->data;
    s->data = static_cast<uint8_t>((m << 4) | (s->a & 0x0F));
    s->a = static_cast<uint8_t>((s->a & 0xF0) | (m >> 4));
    s->f = static_cast<uint8_t>((s->f & FC) | flags_sz53p[s->a]);
    charge(s, T7);
    s->bus = s->write_mem;
    s->step = fin_t3;
}

// ---- Block instructions: D = +1 (increment) or -1, REP = repeating form ----
// A repeating form steps PC back over its two opcode bytes while it goes on,
// so every round is a separate instruction for the machine's loop.

// LDI/LDD/LDIR/LDDR: bits 5 and 3 from A + the byte copied (bit 1 and bit 3).
template <int D, bool REP> void ld_block_write(S* s) {
    const uint8_t n = static_cast<uint8_t>(s->a + s->data);
    s->hl = static_cast<uint16_t>(s->hl + D);
    s->de = static_cast<uint16_t>(s->de + D);
    s->bc--;
    s->f = static_cast<uint8_t>((s->f & (FS | FZ | FC)) | (s->bc ? FP : 0) | (n & F3) | ((n & 0x02) << 4));
    if (REP && s->bc) {
        s->pc = static_cast<uint16_t>(s->pc - 2);
        finish(s, T10);  // write 3 + internal 2 + repeat 5
    } else {
        finish(s, T5);  // write 3 + internal 2
    }
}
template <int D, bool REP> void ld_block_read(S* s) {
    s->addr = s->de;
    charge(s, T3);
    s->bus = s->write_mem;
    s->step = ld_block_write<D, REP>;
}

// CPI/CPD/CPIR/CPDR: S Z H from A - (HL); bits 5 and 3 from A - (HL) - H.
template <int D, bool REP> void cp_block(S* s) {
    const int r = s->a - s->data;
    const uint8_t h = static_cast<uint8_t>((s->a ^ s->data ^ r) & FH);
    const uint8_t n = static_cast<uint8_t>(r - (h ? 1 : 0));
    s->hl = static_cast<uint16_t>(s->hl + D);
    s->bc--;
    s->f = static_cast<uint8_t>((s->f & FC) | FN | (flags_sz53[r & 0xFF] & (FS | FZ)) | h | (s->bc ? FP : 0) |
                                (n & F3) | ((n & 0x02) << 4));
    charge(s, T8);  // read 3 + internal 5
    if (REP && s->bc && r != 0) {
        s->pc = static_cast<uint16_t>(s->pc - 2);
        charge(s, T5);
    }
    s->bus = s->fetch_byte;
    s->step = decode_main;
}

// Flags of the block I/O instructions: S Z 5 3 from the new B, N from bit 7 of
// the byte moved, H and C from the carry of byte + k (k = C +/- 1 for input,
// the new L for output), P from the parity of ((byte + k) & 7) XOR B.
inline void block_io_flags(S* s, uint8_t k) {
    const int sum = s->data + k;
    const uint8_t b = z80_hi(s->bc);
    s->f = static_cast<uint8_t>(flags_sz53[b] | ((s->data & 0x80) ? FN : 0) | (sum > 0xFF ? (FH | FC) : 0) |
                                (flags_sz53p[((sum & 7) ^ b)] & FP));
}

// INI/IND/INIR/INDR: port (BC) -> (HL), then B - 1.
template <int D, bool REP> void in_block_write(S* s) {
    z80_set_hi(s->bc, static_cast<uint8_t>(z80_hi(s->bc) - 1));
    s->hl = static_cast<uint16_t>(s->hl + D);
    block_io_flags(s, static_cast<uint8_t>(z80_lo(s->bc) + D));
    if (REP && z80_hi(s->bc)) {
        s->pc = static_cast<uint16_t>(s->pc - 2);
        charge(s, T5);
    }
    finish(s, T3);
}
template <int D, bool REP> void in_block_read(S* s) {
    s->addr = s->hl;
    charge(s, T4);
    s->bus = s->write_mem;
    s->step = in_block_write<D, REP>;
}

// OUTI/OUTD/OTIR/OTDR: B - 1 first, then (HL) -> port (BC).
template <int D, bool REP> void out_block_write(S* s) {
    s->hl = static_cast<uint16_t>(s->hl + D);
    block_io_flags(s, z80_lo(s->hl));
    if (REP && z80_hi(s->bc)) {
        s->pc = static_cast<uint16_t>(s->pc - 2);
        charge(s, T5);
    }
    finish(s, T4);
}
template <int D, bool REP> void out_block_read(S* s) {
    z80_set_hi(s->bc, static_cast<uint8_t>(z80_hi(s->bc) - 1));
    s->addr = s->bc;
    charge(s, T3);
    s->bus = s->write_port;
    s->step = out_block_write<D, REP>;
}

template <int OP> [[gnu::always_inline]] inline void ed_op(S* s) {
    constexpr int x = OP >> 6, y = (OP >> 3) & 7, z = OP & 7, p = y >> 1, q = y & 1;
    if constexpr (x == 1) {
        if constexpr (z == 0) {  // 40 48 50 58 60 68 78: IN r,(C), 70: IN (C) (12)
            s->addr = s->bc;
            charge(s, T4);
            s->bus = s->read_port;
            s->step = in_reg_c<y>;
        } else if constexpr (z == 1) {  // 41 49 51 59 61 69 79: OUT (C),r, 71: OUT (C),0 (12)
            s->addr = s->bc;
            if constexpr (y == 6) s->data = 0;
            else s->data = get8<y>(s);
            charge(s, T4);
            s->bus = s->write_port;
            s->step = fin_t4;
        } else if constexpr (z == 2) {  // 42 52 62 72: SBC HL,rr, 4A 5A 6A 7A: ADC HL,rr (15)
            if constexpr (q) adc16(s, get16<p>(s));
            else sbc16(s, get16<p>(s));
            charge(s, T11);
        } else if constexpr (z == 3) {  // 43 53 63 73: LD (nn),rr, 4B 5B 6B 7B: LD rr,(nn) (20)
            charge(s, T4);
            if constexpr (q) s->step = word_lo<ld16_addr<p>>;
            else s->step = word_lo<st16_addr<p>>;
        } else if constexpr (z == 4) {  // 44 and mirrors 4C 54 5C 64 6C 74 7C: NEG (8)
            const uint8_t v = s->a;
            s->a = 0;
            alu<2>(s, v);
            charge(s, T4);
        } else if constexpr (z == 5) {  // 4D: RETI (14); 45 55 5D 65 6D 75 7D: RETN (14)
            if constexpr (y != 1) s->iff = (s->iff & Z80_IFF2) ? (Z80_IFF1 | Z80_IFF2) : 0;
            charge(s, T4);
            start_pop<PPC>(s);
        } else if constexpr (z == 6) {  // 46 66: IM 0, 4E 6E: IM 0/1, 56 76: IM 1, 5E 7E: IM 2 (8)
            s->im = y & 3;
            charge(s, T4);
        } else if constexpr (OP == 0x47) {  // 47: LD I,A (9)
            s->i = s->a;
            charge(s, T5);
        } else if constexpr (OP == 0x4F) {  // 4F: LD R,A (9); bit 7 of R survives only as loaded
            s->r = s->a;
            s->r7 = s->a;
            charge(s, T5);
        } else if constexpr (OP == 0x57 || OP == 0x5F) {  // 57: LD A,I, 5F: LD A,R (9); P/V = IFF2
            s->a = OP == 0x57 ? s->i : z80_visible_r(s);
            s->f = static_cast<uint8_t>((s->f & FC) | flags_sz53[s->a] | (s->iff & Z80_IFF2));
            charge(s, T5);
        } else if constexpr (OP == 0x67 || OP == 0x6F) {  // 67: RRD, 6F: RLD (18)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = OP == 0x67 ? rrd_step : rld_step;
        } else {  // 77 7F: no-op (8)
            charge(s, T4);
        }
    } else if constexpr (x == 2 && y >= 4 && z <= 3) {
        constexpr int d = (y & 1) ? -1 : 1;
        constexpr bool rep = y >= 6;
        if constexpr (z == 0) {  // A0 LDI, A8 LDD (16); B0 LDIR, B8 LDDR (21 / 16)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = ld_block_read<d, rep>;
        } else if constexpr (z == 1) {  // A1 CPI, A9 CPD (16); B1 CPIR, B9 CPDR (21 / 16)
            s->addr = s->hl;
            charge(s, T4);
            s->bus = s->read_mem;
            s->step = cp_block<d, rep>;
        } else if constexpr (z == 2) {  // A2 INI, AA IND (16); B2 INIR, BA INDR (21 / 16)
            s->addr = s->bc;
            charge(s, T5);
            s->bus = s->read_port;
            s->step = in_block_read<d, rep>;
        } else {  // A3 OUTI, AB OUTD (16); B3 OTIR, BB OTDR (21 / 16)
            s->addr = s->hl;
            charge(s, T5);
            s->bus = s->read_mem;
            s->step = out_block_read<d, rep>;
        }
    } else {  // 00-3F, 80-9F, A4-A7 ... C0-FF: no-op (8)
        charge(s, T4);
    }
}

}  // namespace

#define Z80_OPCODE(n) ed_op<n>(s)

void decode_ed(Z80State* s) {
    s->r++;
    s->step = decode_main;
    switch (s->data) {
        Z80_CASE64(64)
        Z80_CASE64(128)
        default: charge(s, T4); break;  // no-op (8)
    }
}
