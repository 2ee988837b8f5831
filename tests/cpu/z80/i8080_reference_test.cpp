// The core in 8080 mode against a small, separate model of the Intel 8080 as its
// data sheet describes it: every unprefixed opcode over many random register,
// flag and memory states, the ALU over every operand pair with both carries, the
// single-register operations over every A and flag combination. Compared after
// each instruction: all registers, the flag byte as PUSH PSW shows it, every
// memory write and port access in bus order, PC, SP, the interrupt enable and
// the state count. This is what the long 8080 exercisers check by CRC, here
// checked directly so a difference names the instruction and the operands.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cpu/z80/z80.h"

namespace {

constexpr uint8_t S = 0x80, Z = 0x40, AC = 0x10, P = 0x04, ONE = 0x02, CY = 0x01;
enum { B, C, D, E, H, L, M, A };  // the 8080's register field codes

using Writes = std::vector<std::pair<uint16_t, uint8_t>>;

// Bus activity of one instruction: memory writes, port reads and writes (address, data).
struct Activity {
    Writes writes, outs, ins;
    void clear() { writes.clear(), outs.clear(), ins.clear(); }
};

uint8_t port_answer(uint16_t address) { return static_cast<uint8_t>(address * 37 + 11); }

// ---- The reference model -------------------------------------------------

struct I8080 {
    uint8_t r[8];  // B C D E H L (unused) A
    uint8_t psw;   // S Z 0 AC 0 P 1 CY
    uint16_t sp, pc;
    bool ie;
};

uint8_t szp(uint8_t v) {
    uint8_t ones = v;
    ones ^= ones >> 4, ones ^= ones >> 2, ones ^= ones >> 1;
    return static_cast<uint8_t>((v & S) | (v == 0 ? Z : 0) | ((ones & 1) ? 0 : P) | ONE);
}

uint16_t pair(const I8080& m, int rp) {
    return rp == 3 ? m.sp : static_cast<uint16_t>(m.r[rp * 2] << 8 | m.r[rp * 2 + 1]);
}
void set_pair(I8080& m, int rp, uint16_t v) {
    if (rp == 3) m.sp = v;
    else m.r[rp * 2] = static_cast<uint8_t>(v >> 8), m.r[rp * 2 + 1] = static_cast<uint8_t>(v);
}

bool condition(const I8080& m, int cc) {
    static constexpr uint8_t flag[4] = {Z, CY, P, S};
    return ((m.psw & flag[cc >> 1]) != 0) == ((cc & 1) != 0);
}

// ADD ADC SUB SBB ANA XRA ORA CMP. Subtraction runs as the 8080 does it: A plus
// the one's complement plus the inverted borrow; CY is the inverted carry, AC
// the plain carry out of bit 3 of that sum.
void alu(I8080& m, int op, uint8_t v) {
    const uint8_t a = m.r[A];
    const int cy = m.psw & CY;
    int sum = 0, ac = 0, carry = 0;
    if (op <= 3 || op == 7) {
        const bool subtract = op >= 2;
        const uint8_t operand = subtract ? static_cast<uint8_t>(~v) : v;
        const int carry_in = op == 1 ? cy : op == 3 ? !cy : subtract ? 1 : 0;
        sum = a + operand + carry_in;
        ac = (a & 15) + (operand & 15) + carry_in > 15;
        carry = (sum > 255) != subtract;
    } else if (op == 4) {
        sum = a & v, ac = ((a | v) & 8) != 0;
    } else {
        sum = op == 5 ? a ^ v : a | v;
    }
    const uint8_t result = static_cast<uint8_t>(sum);
    m.psw = static_cast<uint8_t>(szp(result) | (ac ? AC : 0) | carry);
    if (op != 7) m.r[A] = result;
}

// Runs one instruction; returns its state count. Reads come from `mem` as it was
// before the instruction (no 8080 instruction reads what it has just written).
// HLT leaves PC on itself, as the core does while halted.
int model_step(I8080& m, const uint8_t* mem, Activity& bus) {
    auto fetch = [&] { return mem[m.pc++]; };
    auto fetch16 = [&] { const uint8_t lo = fetch(); return static_cast<uint16_t>(fetch() << 8 | lo); };
    auto read16 = [&](uint16_t a) { return static_cast<uint16_t>(mem[uint16_t(a + 1)] << 8 | mem[a]); };
    auto write = [&](uint16_t a, uint8_t v) { bus.writes.push_back({a, v}); };
    auto push = [&](uint16_t v) { write(--m.sp, uint8_t(v >> 8)), write(--m.sp, uint8_t(v)); };
    auto pop = [&] { const uint16_t v = read16(m.sp); m.sp += 2; return v; };
    auto get = [&](int r) { return r == M ? mem[pair(m, 2)] : m.r[r]; };
    auto put = [&](int r, uint8_t v) { if (r == M) write(pair(m, 2), v); else m.r[r] = v; };
    const uint8_t op = fetch();
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, rp = y >> 1;
    if (op == 0x76) return m.pc--, 7;
    if (x == 1) return put(y, get(z)), (y == M || z == M) ? 7 : 5;
    if (x == 2) return alu(m, y, get(z)), z == M ? 7 : 4;
    if (x == 0) {
        switch (z) {
        case 0: return 4;  // NOP and its seven undocumented twins
        case 1:
            if (y & 1) {
                const int sum = pair(m, 2) + pair(m, rp);
                set_pair(m, 2, uint16_t(sum));
                m.psw = uint8_t((m.psw & ~CY) | (sum >> 16));
            } else {
                set_pair(m, rp, fetch16());
            }
            return 10;
        case 2:
            switch (y) {
            case 0: case 2: return write(pair(m, rp), m.r[A]), 7;     // STAX
            case 1: case 3: return m.r[A] = mem[pair(m, rp)], 7;     // LDAX
            case 4: { const uint16_t a = fetch16(); write(a, m.r[L]), write(uint16_t(a + 1), m.r[H]); return 16; }
            case 5: return set_pair(m, 2, read16(fetch16())), 16;    // LHLD
            case 6: return write(fetch16(), m.r[A]), 13;             // STA
            default: return m.r[A] = mem[fetch16()], 13;             // LDA
            }
        case 3: return set_pair(m, rp, uint16_t(pair(m, rp) + ((y & 1) ? -1 : 1))), 5;
        case 4: case 5: {
            const uint8_t v = uint8_t(get(y) + (z == 4 ? 1 : -1));
            const bool ac = z == 4 ? (v & 15) == 0 : (v & 15) != 15;
            m.psw = uint8_t(szp(v) | (ac ? AC : 0) | (m.psw & CY));
            put(y, v);
            return y == M ? 10 : 5;
        }
        case 6: return put(y, fetch()), y == M ? 10 : 7;
        default: {
            const uint8_t a = m.r[A];
            const int cy = m.psw & CY;
            switch (y) {
            case 0: m.r[A] = uint8_t(a << 1 | a >> 7), m.psw = uint8_t((m.psw & ~CY) | a >> 7); break;
            case 1: m.r[A] = uint8_t(a >> 1 | a << 7), m.psw = uint8_t((m.psw & ~CY) | (a & 1)); break;
            case 2: m.r[A] = uint8_t(a << 1 | cy), m.psw = uint8_t((m.psw & ~CY) | a >> 7); break;
            case 3: m.r[A] = uint8_t(a >> 1 | cy << 7), m.psw = uint8_t((m.psw & ~CY) | (a & 1)); break;
            case 4: {  // DAA: +6 for a low digit over 9 or AC, then +0x60 for a high digit now over 9 or CY
                int add = 0, carry = cy;
                if ((a & 15) > 9 || (m.psw & AC)) add = 6;
                if ((a >> 4) > 9 || cy || ((a >> 4) == 9 && (a & 15) > 9)) add |= 0x60, carry = 1;
                m.r[A] = uint8_t(a + add);
                m.psw = uint8_t(szp(m.r[A]) | ((a & 15) + (add & 15) > 15 ? AC : 0) | carry);
                break;
            }
            case 5: m.r[A] = uint8_t(~a); break;
            case 6: m.psw |= CY; break;
            default: m.psw ^= CY; break;
            }
            return 4;
        }
        }
    }
    switch (z) {
    case 0: if (!condition(m, y)) return 5; m.pc = pop(); return 11;
    case 1:
        if (!(y & 1)) {
            const uint16_t v = pop();
            if (rp == 3) m.r[A] = uint8_t(v >> 8), m.psw = uint8_t((v & 0xD5) | ONE);
            else set_pair(m, rp, v);
            return 10;
        }
        if (y == 5) return m.pc = pair(m, 2), 5;   // PCHL
        if (y == 7) return m.sp = pair(m, 2), 5;   // SPHL
        return m.pc = pop(), 10;                   // RET and D9
    case 2: { const uint16_t t = fetch16(); if (condition(m, y)) m.pc = t; return 10; }
    case 3:
        switch (y) {
        case 0: case 1: return m.pc = fetch16(), 10;  // JMP and CB
        case 2: { const uint8_t n = fetch(); bus.outs.push_back({uint16_t(n << 8 | n), m.r[A]}); return 10; }
        case 3: {
            const uint8_t n = fetch();
            const uint16_t port = uint16_t(n << 8 | n);
            m.r[A] = port_answer(port);
            bus.ins.push_back({port, m.r[A]});
            return 10;
        }
        case 4: {  // XTHL: reads (SP), (SP+1), then writes H, L
            const uint16_t v = read16(m.sp);
            write(uint16_t(m.sp + 1), m.r[H]), write(m.sp, m.r[L]);
            set_pair(m, 2, v);
            return 18;
        }
        case 5: std::swap(m.r[D], m.r[H]), std::swap(m.r[E], m.r[L]); return 4;
        case 6: return m.ie = false, 4;
        default: return m.ie = true, 4;
        }
    case 4: { const uint16_t t = fetch16(); if (!condition(m, y)) return 11; push(m.pc), m.pc = t; return 17; }
    case 5:
        if (y & 1) { const uint16_t t = fetch16(); push(m.pc), m.pc = t; return 17; }  // CALL, DD, ED, FD
        push(rp == 3 ? uint16_t(m.r[A] << 8 | m.psw) : pair(m, rp));
        return 11;
    case 6: return alu(m, y, fetch()), 7;
    default: return push(m.pc), m.pc = uint16_t(y * 8), 11;
    }
}

// ---- The core on a logging bus --------------------------------------------

struct Bench {
    Z80State cpu{};
    uint8_t memory[0x10000]{};
    Activity bus;
};
Bench* bench_of(Z80State* s) { return reinterpret_cast<Bench*>(s->mem); }

std::unique_ptr<Bench> make_bench(uint32_t seed) {
    auto b = std::make_unique<Bench>();
    z80_set_costs(&b->cpu, 1);
    b->cpu.fetch_byte = [](Z80State* s) { s->data = bench_of(s)->memory[s->pc++]; };
    b->cpu.read_mem = [](Z80State* s) { s->data = bench_of(s)->memory[s->addr & 0xFFFF]; };
    b->cpu.write_mem = [](Z80State* s) {
        bench_of(s)->memory[s->addr & 0xFFFF] = s->data;
        bench_of(s)->bus.writes.push_back({uint16_t(s->addr), s->data});
    };
    b->cpu.read_port = [](Z80State* s) {
        s->data = port_answer(uint16_t(s->addr));
        bench_of(s)->bus.ins.push_back({uint16_t(s->addr), s->data});
    };
    b->cpu.write_port = [](Z80State* s) { bench_of(s)->bus.outs.push_back({uint16_t(s->addr), s->data}); };
    b->cpu.mem = reinterpret_cast<uint8_t*>(b.get());
    z80_connect(&b->cpu);
    z80_set_8080_mode(&b->cpu, true);
    std::mt19937 rng(seed);
    for (uint8_t& byte : b->memory) byte = uint8_t(rng());
    return b;
}

std::string hex(int v) { char t[8]; snprintf(t, sizeof t, "%02X", v); return t; }

// Loads `m` into the core, runs one instruction on both and compares everything.
// Returns false (after one failure report) on a difference.
bool run_and_compare(Bench& b, I8080 m, const char* what) {
    Z80State& cpu = b.cpu;
    cpu.a = m.r[A], cpu.f = uint8_t(m.psw & 0xD5);
    cpu.bc = pair(m, 0), cpu.de = pair(m, 1), cpu.hl = pair(m, 2), cpu.sp = m.sp, cpu.pc = m.pc;
    cpu.iff = m.ie ? (Z80_IFF1 | Z80_IFF2) : 0;
    cpu.ix = 0x1234, cpu.iy = 0x5678, cpu.af_alt = 0x9ABC;
    const I8080 before = m;
    Activity expected;
    const int states = model_step(m, b.memory, expected);
    b.bus.clear();
    const int32_t ticks = cpu.ticks;
    z80_run_instruction(&cpu);
    const I8080 got{{z80_hi(cpu.bc), z80_lo(cpu.bc), z80_hi(cpu.de), z80_lo(cpu.de), z80_hi(cpu.hl),
                     z80_lo(cpu.hl), 0, cpu.a},
                    uint8_t(cpu.f | ONE), cpu.sp, cpu.pc, z80_iff1(&cpu)};
    const bool same = std::memcmp(got.r, m.r, sizeof m.r) == 0 && got.psw == m.psw && (cpu.f & 0x2A) == 0 &&
                      got.sp == m.sp && got.pc == m.pc && got.ie == m.ie && ticks - cpu.ticks == states &&
                      b.bus.writes == expected.writes && b.bus.outs == expected.outs && b.bus.ins == expected.ins &&
                      cpu.ix == 0x1234 && cpu.iy == 0x5678 && cpu.af_alt == 0x9ABC;
    if (!same) {
        ADD_FAILURE() << what << " opcode " << hex(b.memory[before.pc]) << " " << hex(b.memory[uint16_t(before.pc + 1)])
                      << " A=" << hex(before.r[A]) << " PSW=" << hex(before.psw) << " B=" << hex(before.r[B])
                      << " (HL)=" << hex(b.memory[pair(before, 2)]) << ": A " << hex(got.r[A]) << "/" << hex(m.r[A])
                      << " PSW " << hex(got.psw) << "/" << hex(m.psw) << " F " << hex(cpu.f) << " PC " << got.pc << "/"
                      << m.pc << " SP " << got.sp << "/" << m.sp << " states " << ticks - cpu.ticks << "/" << states
                      << " writes " << b.bus.writes.size() << "/" << expected.writes.size() << " (core/model)";
    }
    return same;
}

I8080 random_state(std::mt19937& rng) {
    I8080 m{};
    for (uint8_t& reg : m.r) reg = uint8_t(rng());
    m.r[M] = 0;
    m.psw = uint8_t((rng() & 0xD5) | ONE);
    m.sp = uint16_t(rng()), m.pc = uint16_t(rng());
    m.ie = rng() & 1;
    return m;
}

// Every opcode from many random states, memory and operands (PC, SP and HL
// anywhere, wrapping included; both outcomes of every condition).
TEST(I8080Reference, EveryOpcodeFromRandomStates) {
    auto b = make_bench(1);
    std::mt19937 rng(80);
    for (int op = 0; op < 256; ++op) {
        for (int n = 0; n < 3000; ++n) {
            I8080 m = random_state(rng);
            b->memory[m.pc] = uint8_t(op);
            if (!run_and_compare(*b, m, "random")) break;
        }
    }
}

// Random code run as a program: each instruction starts from what the previous
// one left (stack, memory written, flags), so nothing may leak between them.
TEST(I8080Reference, RandomProgram) {
    auto b = make_bench(5);
    std::mt19937 rng(8);
    I8080 m = random_state(rng);
    for (int n = 0; n < 200000; ++n) {
        I8080 expected = m;
        Activity ignored;
        model_step(expected, b->memory, ignored);
        if (!run_and_compare(*b, m, "program")) break;
        m = expected;
        if (b->memory[m.pc] == 0x76) m.pc = uint16_t(rng());  // leave a HLT
    }
}

// ALU instructions over every operand pair and both carry-ins, from a register,
// from memory and as immediates; the other flags start random.
TEST(I8080Reference, AluEveryOperandPair) {
    auto b = make_bench(2);
    std::mt19937 rng(8080);
    for (int alu_op = 0; alu_op < 8; ++alu_op) {
        for (int form = 0; form < 3; ++form) {
            const uint8_t op = uint8_t(form == 2 ? 0xC6 | alu_op << 3 : 0x80 | alu_op << 3 | (form ? M : B));
            bool ok = true;
            for (int v = 0; v < 65536 * 2 && ok; ++v) {
                I8080 m = random_state(rng);
                m.pc = 0x0100, m.r[A] = uint8_t(v), m.psw = uint8_t((m.psw & ~CY) | (v >> 16));
                m.r[B] = uint8_t(v >> 8), b->memory[0x101] = uint8_t(v >> 8), b->memory[pair(m, 2)] = uint8_t(v >> 8);
                b->memory[0x100] = op;
                ok = run_and_compare(*b, m, "ALU pair");
            }
        }
    }
}

// The operations on A alone, and INR/DCR, over every A and every flag combination.
TEST(I8080Reference, AccumulatorOperationsEveryValueAndFlags) {
    auto b = make_bench(3);
    std::mt19937 rng(8085);
    const uint8_t ops[] = {0x07, 0x0F, 0x17, 0x1F, 0x27, 0x2F, 0x37, 0x3F, 0x3C, 0x3D,
                           0x87, 0x8F, 0x97, 0x9F, 0xA7, 0xAF, 0xB7, 0xBF, 0x34, 0x35};
    for (uint8_t op : ops) {
        bool ok = true;
        for (int v = 0; v < 256 * 32 && ok; ++v) {
            I8080 m = random_state(rng);
            const int f = v >> 8;  // S Z AC P CY
            m.pc = 0x0100, m.r[A] = uint8_t(v), b->memory[0x100] = op, b->memory[pair(m, 2)] = uint8_t(v);
            m.psw = uint8_t((f & 16 ? S : 0) | (f & 8 ? Z : 0) | (f & 4 ? AC : 0) | (f & 2 ? P : 0) | (f & 1) | ONE);
            ok = run_and_compare(*b, m, "accumulator");
        }
    }
}

// The interrupt acknowledge: RST 38h from the bus in 11 states, PC pushed high
// byte first, whatever interrupt mode the record holds; from a HLT the pushed PC
// is the address after the HLT.
TEST(I8080Reference, InterruptAcknowledge) {
    auto b = make_bench(4);
    std::mt19937 rng(7);
    for (int n = 0; n < 200; ++n) {
        const I8080 m = random_state(rng);
        const bool from_halt = n & 1;
        Z80State& cpu = b->cpu;
        cpu.pc = m.pc, cpu.sp = m.sp, cpu.iff = Z80_IFF1 | Z80_IFF2, cpu.im = uint8_t(n & 3);
        b->memory[m.pc] = from_halt ? 0x76 : 0x00;
        if (from_halt) {
            z80_run_instruction(&cpu);
            ASSERT_EQ(cpu.pc, m.pc);
        }
        b->bus.clear();
        const int32_t ticks = cpu.ticks;
        z80_accept_interrupt(&cpu);
        z80_run_instruction(&cpu);
        const uint16_t ret = uint16_t(m.pc + from_halt);
        const Writes pushed{{uint16_t(m.sp - 1), uint8_t(ret >> 8)}, {uint16_t(m.sp - 2), uint8_t(ret)}};
        ASSERT_EQ(ticks - cpu.ticks, 11);
        ASSERT_EQ(cpu.pc, 0x38);
        ASSERT_EQ(cpu.sp, uint16_t(m.sp - 2));
        ASSERT_EQ(b->bus.writes, pushed);
        ASSERT_FALSE(z80_iff1(&cpu));
    }
}

}  // namespace
