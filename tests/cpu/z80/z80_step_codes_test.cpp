// Step codes for saved states: random programs on both instruction sets, with interrupts
// in every mode, stop after any bus cycle and must find the pending step in the table.
#include "cpu/z80/z80_step_codes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

uint8_t memory[0x10000];

void fetch(Z80State* s) { s->data = memory[s->pc++]; }
void read(Z80State* s) { s->data = memory[s->addr & 0xFFFF]; }
void write(Z80State* s) { memory[s->addr & 0xFFFF] = s->data; }
void in(Z80State* s) { s->data = uint8_t(s->addr); }
void out(Z80State*) {}

} // namespace

TEST(Z80StepCodes, EveryPendingStepOfRandomProgramsHasACodeThatLeadsBack)
{
    EXPECT_GT(z80_step_count(), 200u);
    std::mt19937 random(80);
    for (int round = 0; round < 24; ++round) {
        for (uint8_t& b : memory)
            b = uint8_t(random());
        Z80State s{};
        z80_set_costs(&s, 256);
        s.fetch_byte = fetch, s.read_mem = read, s.write_mem = write, s.read_port = in, s.write_port = out;
        z80_connect(&s);
        z80_set_8080_mode(&s, round % 3 == 2);
        s.im = uint8_t(round % 4);
        for (int pair = 0; pair < 50000; ++pair) {
            if (pair % 501 == 0 && s.step == decode_main) {
                s.iff = Z80_IFF1 | Z80_IFF2;
                z80_accept_interrupt(&s);
            }
            s.bus(&s);
            s.step(&s);
            uint16_t code = 0;
            ASSERT_TRUE(z80_step_code(s.step, &code)) << "round " << round << " pair " << pair;
            ASSERT_EQ(z80_step_from_code(code), s.step);
            const int bus = z80_bus_code(&s, s.bus);
            ASSERT_GE(bus, 0);
            ASSERT_EQ(z80_bus_from_code(&s, bus), s.bus);
        }
    }
    EXPECT_EQ(z80_step_from_code(uint16_t(z80_step_count())), nullptr);
}
