// Z80 flag tables. Each entry is computed at compile time by the rule that
// defines its table, so the tables are constant data with no start-up code.

#include "cpu/z80/z80.h"
#include "cpu/z80/z80_steps.h"

namespace {

constexpr int FC = Z80_FLAG_C, FN = Z80_FLAG_N, FP = Z80_FLAG_P, F3 = Z80_FLAG_3, FH = Z80_FLAG_H,
              F5 = Z80_FLAG_5, FZ = Z80_FLAG_Z, FS = Z80_FLAG_S;

constexpr uint8_t sz53(int v) { return static_cast<uint8_t>((v & (FS | F5 | F3)) | (v == 0 ? FZ : 0)); }

constexpr int parity(int v) {
    int ones = 0;
    for (int b = 0; b < 8; ++b) ones += (v >> b) & 1;
    return (ones & 1) ? 0 : FP;
}

constexpr uint8_t sz53p(int v) { return static_cast<uint8_t>(sz53(v) | parity(v)); }
constexpr uint8_t sz53p_h(int v) { return static_cast<uint8_t>(sz53p(v) | FH); }

constexpr uint8_t inc_rule(int o) {
    return static_cast<uint8_t>(sz53((o + 1) & 0xFF) | ((o & 0x0F) == 0x0F ? FH : 0) | (o == 0x7F ? FP : 0));
}
constexpr uint8_t dec_rule(int o) {
    return static_cast<uint8_t>(sz53((o - 1) & 0xFF) | ((o & 0x0F) == 0 ? FH : 0) | (o == 0x80 ? FP : 0) | FN);
}

// Carry vector: bit 0 = carry into bit 4 (H), bit 3 = carry into bit 7,
// bit 4 = carry out (C); overflow = carry into bit 7 XOR carry out.
constexpr uint8_t hvc(int vec) {
    const int b0 = vec & 1, b3 = (vec >> 3) & 1, b4 = (vec >> 4) & 1;
    return static_cast<uint8_t>((b0 ? FH : 0) | (b4 ? FC : 0) | ((b3 ^ b4) ? FP : 0));
}
constexpr uint8_t add_rule(int i) { return hvc(i); }
// Entries 0..31 serve 8-bit vectors -16..15 (the two's complement bit 4 of a
// negative vector is the borrow out); entries 32..63 serve 16-bit vectors 0..31.
constexpr uint8_t sub_rule(int i) { return static_cast<uint8_t>(hvc(i < 32 ? i - 16 : i - 32) | FN); }

// DAA, index (C << 10) | (H << 9) | (N << 8) | A.
constexpr int daa_diff(int idx) {
    const int a = idx & 0xFF;
    return ((idx & 0x400) || a > 0x99 ? 0x60 : 0) | ((idx & 0x200) || (a & 0x0F) > 9 ? 0x06 : 0);
}
constexpr uint8_t daa_a(int idx) {
    const int a = idx & 0xFF;
    return static_cast<uint8_t>(((idx & 0x100) ? a - daa_diff(idx) : a + daa_diff(idx)) & 0xFF);
}
constexpr uint8_t daa_f(int idx) {
    const int a = idx & 0xFF;
    const bool n = idx & 0x100, h = idx & 0x200;
    const bool h_out = n ? (h && (a & 0x0F) < 6) : ((a & 0x0F) > 9);
    return static_cast<uint8_t>(sz53p(daa_a(idx)) | ((daa_diff(idx) & 0x60) ? FC : 0) | (h_out ? FH : 0) |
                                (n ? FN : 0));
}

// 8080: S Z P only (bits 5, 3 and 1 stay clear). INR's auxiliary carry is the
// carry out of the low nibble (result's low nibble 0); DCR adds 0xFF, which
// carries out of the low nibble unless the result's low nibble is 0xF.
constexpr uint8_t szp_8080(int v) { return static_cast<uint8_t>(sz53p(v) & (FS | FZ | FP)); }
constexpr uint8_t inr_rule_8080(int o) {
    const int r = (o + 1) & 0xFF;
    return static_cast<uint8_t>(szp_8080(r) | ((r & 0x0F) == 0 ? FH : 0));
}
constexpr uint8_t dcr_rule_8080(int o) {
    const int r = (o - 1) & 0xFF;
    return static_cast<uint8_t>(szp_8080(r) | ((r & 0x0F) != 0x0F ? FH : 0));
}

}  // namespace

#define E4(f, v) f(v), f(v + 1), f(v + 2), f(v + 3)
#define E16(f, v) E4(f, v), E4(f, v + 4), E4(f, v + 8), E4(f, v + 12)
#define E64(f, v) E16(f, v), E16(f, v + 16), E16(f, v + 32), E16(f, v + 48)
#define E256(f, v) E64(f, v), E64(f, v + 64), E64(f, v + 128), E64(f, v + 192)
#define DAA_PAIR(i) {daa_a(i), daa_f(i)}

const uint8_t flags_sz53[256] = {E256(sz53, 0)};
const uint8_t flags_sz53p[256] = {E256(sz53p, 0)};
const uint8_t flags_sz53p_h[256] = {E256(sz53p_h, 0)};
const uint8_t flags_inc[256] = {E256(inc_rule, 0)};
const uint8_t flags_dec[256] = {E256(dec_rule, 0)};
const uint8_t flags_add_hvc[32] = {E16(add_rule, 0), E16(add_rule, 16)};
const uint8_t flags_sub_hvc[64] = {E64(sub_rule, 0)};
const uint8_t flags_szp_8080[256] = {E256(szp_8080, 0)};
const uint8_t flags_inr_8080[256] = {E256(inr_rule_8080, 0)};
const uint8_t flags_dcr_8080[256] = {E256(dcr_rule_8080, 0)};
const uint8_t daa_table[2048][2] = {
    E256(DAA_PAIR, 0),    E256(DAA_PAIR, 256),  E256(DAA_PAIR, 512),  E256(DAA_PAIR, 768),
    E256(DAA_PAIR, 1024), E256(DAA_PAIR, 1280), E256(DAA_PAIR, 1536), E256(DAA_PAIR, 1792),
};
