// The Z80's save-state record: every register comes back, the pending interrupt
// acknowledge and the 8080 mode survive, a processor inside an instruction is refused, and
// a record with values no processor has is recognised.
#include <gtest/gtest.h>

#include <cstring>

#include "cpu/z80/z80_state.h"

namespace {

uint8_t memory[65536];
void fetch(Z80State* s) { s->data = memory[s->pc++]; }
void read(Z80State* s) { s->data = memory[s->addr & 0xFFFF]; }
void write(Z80State* s) { memory[s->addr & 0xFFFF] = s->data; }
void in(Z80State* s) { s->data = 0xFF; }
void out(Z80State*) {}

void wire(Z80State* s)
{
    *s = Z80State{};
    z80_set_costs(s, 256);
    s->fetch_byte = fetch;
    s->read_mem = read;
    s->write_mem = write;
    s->read_port = in;
    s->write_port = out;
    s->mem = memory;
    z80_connect(s);
}

TEST(Z80SavedState, RegistersAndPendingAcknowledgeComeBackAndMidInstructionIsRefused)
{
    std::memset(memory, 0, sizeof memory);
    // LD SP,8000; LD BC,1234; EXX; LD IX,5678; IM 2; EI; LD A,3C; LD I,A
    const uint8_t program[] = {0x31, 0x00, 0x80, 0x01, 0x34, 0x12, 0xD9, 0xDD, 0x21, 0x78, 0x56,
                               0xED, 0x5E, 0xFB, 0x3E, 0x3C, 0xED, 0x47};
    std::memcpy(memory, program, sizeof program);
    Z80State a;
    wire(&a);
    a.ticks = 1 << 20;
    for (int i = 0; i < 8; ++i)
        z80_run_instruction(&a);
    z80_accept_interrupt(&a); // the acknowledge waits for the next run

    Z80SavedState saved;
    const char* why = nullptr;
    ASSERT_TRUE(z80_state_save(&a, &saved, &why));
    EXPECT_TRUE(z80_state_valid(saved));
    Z80State b;
    wire(&b);
    z80_state_load(saved, &b);
    EXPECT_EQ(b.sp, a.sp);
    EXPECT_EQ(b.bc_alt, 0x1234);
    EXPECT_EQ(b.ix, 0x5678);
    EXPECT_EQ(b.i, 0x3C);
    EXPECT_EQ(b.im, a.im);
    EXPECT_EQ(b.ticks, a.ticks);
    EXPECT_EQ(b.step, a.step);
    EXPECT_EQ(b.bus, a.bus);
    // Both go on alike through the acknowledge into the handler.
    memory[0x3CFF] = 0x00;
    memory[0x3D00] = 0x90;
    z80_run_instruction(&a);
    z80_run_instruction(&b);
    EXPECT_EQ(a.pc, b.pc);
    EXPECT_EQ(a.sp, b.sp);
    EXPECT_EQ(a.ticks, b.ticks);

    // The 8080 mode is part of the record.
    z80_set_8080_mode(&a, true);
    ASSERT_TRUE(z80_state_save(&a, &saved, &why));
    wire(&b);
    z80_state_load(saved, &b);
    EXPECT_TRUE(z80_8080_mode(&b));

    // Inside an instruction the step is none of the boundary steps.
    a.step = decode_cb;
    EXPECT_FALSE(z80_state_save(&a, &saved, &why));
    EXPECT_NE(std::string(why).find("inside an instruction"), std::string::npos);

    Z80SavedState bad = saved;
    bad.step = 4;
    EXPECT_FALSE(z80_state_valid(bad));
    bad = saved;
    bad.bus = 5;
    EXPECT_FALSE(z80_state_valid(bad));
    bad = saved;
    bad.iff = 0x80;
    EXPECT_FALSE(z80_state_valid(bad));
    bad = saved;
    bad.im = 4;
    EXPECT_FALSE(z80_state_valid(bad));
}

} // namespace
