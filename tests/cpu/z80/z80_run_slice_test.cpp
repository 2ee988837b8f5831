// z80_run_slice against the plain loop it replaces, over random memory (every prefix, HALT,
// block instruction and interrupt mode turns up), in both instruction sets, with interrupts
// and a swapped read slot (called through the slot) between slices.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "cpu/z80/z80_run.h"
#include "cpu/z80/z80_state.h"

namespace {

struct Machine {
    Z80State cpu{};
    uint8_t memory[0x10000]{};
    std::vector<uint32_t> ports; // (port << 8) | data, reads with bit 31 set
};
Machine* of(Z80State* s) { return reinterpret_cast<Machine*>(s->mem); }
void fetch(Z80State* s) { s->data = of(s)->memory[s->pc++]; }
void read_mem(Z80State* s) { s->data = of(s)->memory[s->addr & 0xFFFF]; }
void write_mem(Z80State* s) { if ((s->addr & 0xFFFF) >= 0x1000) of(s)->memory[s->addr & 0xFFFF] = s->data; }
void hooked_read(Z80State* s) { s->data = static_cast<uint8_t>(of(s)->memory[s->addr & 0xFFFF] ^ 0x5A); }
void read_port(Z80State* s) { of(s)->ports.push_back(0x80000000u | ((s->addr & 0xFFFF) << 8) | (s->data = 0x3C)); }
void write_port(Z80State* s) { of(s)->ports.push_back(((s->addr & 0xFFFF) << 8) | s->data); }

TEST(Z80RunSlice, SameAsThePlainInstructionLoop)
{
    for (const uint32_t seed : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}) {
        std::mt19937 rng(seed);
        auto machines = std::make_unique<Machine[]>(2); // [0] plain loop, [1] z80_run_slice
        Machine &plain = machines[0], &sliced = machines[1];
        for (uint8_t& b : plain.memory)
            b = static_cast<uint8_t>(rng());
        std::memcpy(sliced.memory, plain.memory, sizeof plain.memory);
        const uint16_t sp = uint16_t(rng()), pc = uint16_t(rng()), hl = uint16_t(rng()), ix = uint16_t(rng());
        for (Machine* m : {&plain, &sliced}) {
            Z80State& c = m->cpu;
            c.sp = sp, c.pc = pc, c.hl = hl, c.ix = ix, c.iy = static_cast<uint16_t>(~ix), c.im = seed & 3;
            c.fetch_byte = fetch, c.read_mem = read_mem, c.write_mem = write_mem;
            c.read_port = read_port, c.write_port = write_port, c.mem = reinterpret_cast<uint8_t*>(m);
            z80_set_costs(&c, 16);
            z80_connect(&c);
            z80_set_8080_mode(&c, seed > 15);
        }
        for (int slice = 0; slice < 400; ++slice) {
            const uint32_t dice = rng();
            for (Machine* m : {&plain, &sliced}) {
                if (dice % 5 == 0)
                    m->cpu.read_mem = m->cpu.read_mem == read_mem ? hooked_read : read_mem;
                if (dice % 4 == 1 && z80_iff1(&m->cpu))
                    z80_accept_interrupt(&m->cpu);
                if (dice % 7 == 2 && m->memory[m->cpu.pc] == 0x76) // leave a HALT now and then
                    m->cpu.pc = static_cast<uint16_t>(dice >> 8);
                m->cpu.ticks += static_cast<int32_t>(1 + (dice >> 8) % (slice % 3 ? 3000 : 30)) * 16;
            }
            do
                z80_run_instruction(&plain.cpu);
            while (plain.cpu.ticks >= 0);
            z80_run_slice<fetch, read_mem, write_mem>(&sliced.cpu);
            Z80SavedState a, b;
            const char* why = "";
            ASSERT_TRUE(z80_state_save(&plain.cpu, &a, &why) && z80_state_save(&sliced.cpu, &b, &why)) << why;
            ASSERT_EQ(0, std::memcmp(&a, &b, sizeof a)) << "seed " << seed << " slice " << slice;
            ASSERT_EQ(0, std::memcmp(plain.memory, sliced.memory, sizeof plain.memory)) << "slice " << slice;
            ASSERT_EQ(plain.ports, sliced.ports) << "slice " << slice;
        }
    }
}

} // namespace
