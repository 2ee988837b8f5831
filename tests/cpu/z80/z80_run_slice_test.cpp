// z80_run_slice against the plain loop it replaces (do { z80_run_instruction } while
// ticks >= 0): two processors over the same random memory, one run each way, compared
// after every slice: registers, the step and bus in force, the time left, memory, and
// every port access in order. Random bytes reach every prefix, HALT, block instruction
// and interrupt mode; interrupts are accepted between slices, and slots are swapped
// between slices, as a tape or a recording does, so both the inlined routines and the
// ones called through a slot are covered; the 8080 set runs too.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "cpu/z80/z80.h"
#include "cpu/z80/z80_run.h"

namespace {

struct Machine {
    Z80State cpu{};
    uint8_t memory[0x10000]{};
    std::vector<uint32_t> ports; // (direction << 24) | (port << 8) | data
    int hooked_reads = 0;
};

Machine* of(Z80State* s) { return reinterpret_cast<Machine*>(s->mem); }

void fetch(Z80State* s)
{
    s->data = of(s)->memory[s->pc];
    s->pc = static_cast<uint16_t>(s->pc + 1);
}
void read_mem(Z80State* s) { s->data = of(s)->memory[s->addr & 0xFFFF]; }
void write_mem(Z80State* s)
{
    if ((s->addr & 0xFFFF) >= 0x1000) // a small ROM ignores writes
        of(s)->memory[s->addr & 0xFFFF] = s->data;
}
void read_port(Z80State* s)
{
    s->data = static_cast<uint8_t>((s->addr >> 8) * 7 + 3);
    of(s)->ports.push_back((1u << 24) | ((s->addr & 0xFFFF) << 8) | s->data);
}
void write_port(Z80State* s) { of(s)->ports.push_back(((s->addr & 0xFFFF) << 8) | s->data); }
// A replacement read routine, as a hook installs it: same data, counted.
void hooked_read(Z80State* s)
{
    ++of(s)->hooked_reads;
    read_mem(s);
}

void run_plain(Z80State* s)
{
    do
        z80_run_instruction(s);
    while (s->ticks >= 0);
}
void run_sliced(Z80State* s) { z80_run_slice<fetch, read_mem, write_mem>(s); }

std::unique_ptr<Machine> make_machine(uint32_t seed, bool i8080)
{
    auto m = std::make_unique<Machine>();
    std::mt19937 rng(seed);
    for (uint8_t& b : m->memory)
        b = static_cast<uint8_t>(rng());
    Z80State& c = m->cpu;
    z80_set_costs(&c, 16);
    c.fetch_byte = fetch;
    c.read_mem = read_mem;
    c.write_mem = write_mem;
    c.read_port = read_port;
    c.write_port = write_port;
    c.mem = reinterpret_cast<uint8_t*>(m.get());
    z80_connect(&c);
    z80_set_8080_mode(&c, i8080);
    c.a = static_cast<uint8_t>(rng()), c.f = static_cast<uint8_t>(rng());
    c.hl = static_cast<uint16_t>(rng()), c.de = static_cast<uint16_t>(rng()), c.bc = static_cast<uint16_t>(rng());
    c.ix = static_cast<uint16_t>(rng()), c.iy = static_cast<uint16_t>(rng());
    c.sp = static_cast<uint16_t>(rng()), c.pc = static_cast<uint16_t>(rng());
    c.i = static_cast<uint8_t>(rng()), c.im = static_cast<uint8_t>(rng() & 3);
    return m;
}

void expect_same(const Machine& a, const Machine& b, int slice)
{
    const Z80State &x = a.cpu, &y = b.cpu;
    const auto regs = [](const Z80State& s) {
        return std::vector<int>{s.a, s.f, s.hl, s.de, s.bc, s.sp, s.pc, s.ix, s.iy, s.r, s.r7, s.i, s.iff, s.im,
                                s.addr, s.temp, s.latch, s.data, s.af_alt, s.hl_alt, s.de_alt, s.bc_alt,
                                s.ticks, s.index_reg == &s.iy};
    };
    ASSERT_EQ(regs(x), regs(y)) << "slice " << slice;
    ASSERT_EQ(x.step, y.step) << "slice " << slice;
    ASSERT_EQ(x.bus, y.bus) << "slice " << slice;
    ASSERT_EQ(0, std::memcmp(a.memory, b.memory, sizeof a.memory)) << "slice " << slice;
    ASSERT_EQ(a.ports, b.ports) << "slice " << slice;
    ASSERT_EQ(a.hooked_reads, b.hooked_reads) << "slice " << slice;
}

TEST(Z80RunSlice, SameAsThePlainInstructionLoop)
{
    for (const bool i8080 : {false, true}) {
        for (uint32_t seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE(testing::Message() << (i8080 ? "8080" : "Z80") << " seed " << seed);
            auto plain = make_machine(seed, i8080), sliced = make_machine(seed, i8080);
            std::mt19937 rng(seed * 977);
            for (int slice = 0; slice < 400; ++slice) {
                // Slices from one T-state (a single instruction) to a few frames' worth.
                const int32_t budget = static_cast<int32_t>(1 + rng() % (slice % 3 ? 3000 : 30)) * 16;
                const bool interrupt = rng() % 4 == 0, hook = rng() % 5 == 0, unhook = rng() % 5 == 0;
                for (Machine* m : {plain.get(), sliced.get()}) {
                    if (hook)
                        m->cpu.read_mem = hooked_read; // between instructions only, as machines do
                    if (unhook)
                        m->cpu.read_mem = read_mem;
                    if (interrupt && z80_iff1(&m->cpu))
                        z80_accept_interrupt(&m->cpu);
                    m->cpu.ticks += budget;
                }
                run_plain(&plain->cpu);
                run_sliced(&sliced->cpu);
                expect_same(*plain, *sliced, slice);
                if (HasFatalFailure())
                    return;
                // Random code runs into HALT with interrupts off now and then: move on.
                if (plain->memory[plain->cpu.pc] == 0x76 && rng() % 2) {
                    const uint16_t pc = static_cast<uint16_t>(rng());
                    plain->cpu.pc = sliced->cpu.pc = pc;
                }
            }
        }
    }
}

} // namespace
