// Z80 core behaviour the instruction vectors do not reach: interrupts and
// HALT, R counting, prefix chains, the DD CB no-op forms, long block runs,
// the time budget, and the choices this core makes where Z80s differ.

#include <gtest/gtest.h>

#include <memory>

#include "z80_harness.h"

namespace {

std::unique_ptr<Z80Bench> make_bench() { return std::make_unique<Z80Bench>(); }

// The machine's rule: a request is accepted only while IFF1 is set; otherwise dropped.
bool raise_interrupt(Z80Bench& b) {
    if (!z80_iff1(&b.cpu)) return false;
    z80_accept_interrupt(&b.cpu);
    return true;
}

// Accepts an interrupt and runs its acknowledge; returns the T-states of both.
int acknowledge(Z80Bench& b) {
    const int32_t before = b.cpu.ticks;
    if (!raise_interrupt(b)) return 0;
    z80_run_instruction(&b.cpu);
    return before - b.cpu.ticks;
}

TEST(Z80Interrupts, RequestWhileDisabledIsLostAndEiDoesNotReviveIt) {
    auto b = make_bench();
    b->load(0x0000, {0xF3, 0x00, 0xFB, 0x00, 0x00});  // DI; NOP; EI; NOP; NOP
    b->cpu.sp = 0x8000;
    b->run_one();
    EXPECT_FALSE(raise_interrupt(*b));
    b->run_one();
    b->run_one();  // EI: enabled at once
    EXPECT_EQ(b->cpu.iff, Z80_IFF1 | Z80_IFF2);
    b->run_one();
    b->run_one();
    EXPECT_EQ(b->cpu.pc, 0x0005);
    EXPECT_EQ(b->cpu.sp, 0x8000);
}

TEST(Z80Interrupts, Im1PushesPcJumpsTo38AndTakes13) {
    auto b = make_bench();
    b->load(0x1234, {0x00});
    b->cpu.pc = 0x1234;
    b->cpu.sp = 0x8000;
    b->cpu.iff = Z80_IFF1 | Z80_IFF2;
    b->cpu.im = 2;
    const int32_t before = b->cpu.ticks;
    ASSERT_TRUE(raise_interrupt(*b));
    b->run_one();
    EXPECT_EQ(before - b->cpu.ticks, 13);
    EXPECT_EQ(b->cpu.pc, 0x0038);
    EXPECT_EQ(b->cpu.sp, 0x7FFE);
    EXPECT_EQ(b->memory[0x7FFF], 0x12);
    EXPECT_EQ(b->memory[0x7FFE], 0x34);
    EXPECT_EQ(b->cpu.iff, 0);
    EXPECT_EQ(b->cpu.step, decode_main);
    EXPECT_EQ(b->cpu.bus, b->cpu.fetch_byte);
}

TEST(Z80Interrupts, Im0AndTheIm01CodeOfEd4EBehaveAsRst38) {
    for (uint8_t mode_opcode : {0x46, 0x4E, 0x6E}) {
        auto b = make_bench();
        b->load(0x0000, {0xED, mode_opcode, 0x00});
        b->cpu.sp = 0x8000;
        b->cpu.iff = Z80_IFF1 | Z80_IFF2;
        b->run_one();
        EXPECT_EQ(acknowledge(*b), 13);
        EXPECT_EQ(b->cpu.pc, 0x0038) << std::hex << int(mode_opcode);
    }
}

TEST(Z80Interrupts, HaltRefetchesUntilAnInterruptThenResumesAfterIt) {
    auto b = make_bench();
    b->load(0x0100, {0x76, 0x00});
    b->cpu.pc = 0x0100;
    b->cpu.sp = 0x8000;
    b->cpu.im = 2;
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(b->run_one(), 4);
        EXPECT_EQ(b->cpu.pc, 0x0100);
    }
    EXPECT_EQ(b->cpu.r, 5);  // R keeps counting while halted
    EXPECT_TRUE(b->halted());
    b->cpu.iff = Z80_IFF1 | Z80_IFF2;
    ASSERT_TRUE(raise_interrupt(*b));
    b->run_one();
    EXPECT_EQ(b->memory[0x7FFE] | (b->memory[0x7FFF] << 8), 0x0101);
}

TEST(Z80Interrupts, Im2ReadsVectorAtIxFFAndWrapsAtIFF) {
    struct Case { uint8_t i; uint16_t lo_at, hi_at; };
    for (const Case c : {Case{0x3B, 0x3BFF, 0x3C00}, Case{0xFF, 0xFFFF, 0x0000}}) {
        auto b = make_bench();
        b->memory[c.lo_at] = 0x78;
        b->memory[c.hi_at] = 0x56;
        b->cpu.pc = 0x4000;
        b->cpu.sp = 0x8000;
        b->cpu.i = c.i;
        b->cpu.im = 3;
        b->cpu.iff = Z80_IFF1 | Z80_IFF2;
        EXPECT_EQ(acknowledge(*b), 19);
        EXPECT_EQ(b->cpu.pc, 0x5678) << "I = " << int(c.i);
        EXPECT_EQ(b->memory[0x7FFF], 0x40);
        EXPECT_EQ(b->memory[0x7FFE], 0x00);
    }
}

// A machine with its own acknowledge (fixed address) builds it from z80_ack_finish.
void ack_to_1000(Z80State* s) {
    s->data = s->latch;
    s->addr = s->sp;
    s->pc = 0x1000;
    s->ticks -= s->cost[Z80State::t3];
    s->step = z80_ack_finish;
}

TEST(Z80Interrupts, MachineAcknowledgeStepReplacesTheModeStep) {
    auto b = make_bench();
    b->cpu.pc = 0x2345;
    b->cpu.sp = 0x8000;
    b->cpu.iff = Z80_IFF1 | Z80_IFF2;
    z80_accept_interrupt(&b->cpu);
    b->cpu.step = ack_to_1000;
    EXPECT_EQ(b->run_one(), 6);  // 7 were charged on acceptance
    EXPECT_EQ(b->cpu.pc, 0x1000);
    EXPECT_EQ(b->memory[0x7FFF] << 8 | b->memory[0x7FFE], 0x2345);
}

TEST(Z80Interrupts, RetnRestoresIff1FromIff2AndRetiLeavesIt) {
    for (uint8_t op : {0x45, 0x55, 0x5D, 0x65, 0x6D, 0x75, 0x7D, 0x4D}) {
        auto b = make_bench();
        b->load(0x0000, {0xED, op});
        b->load(0x8000, {0x34, 0x12});
        b->cpu.sp = 0x8000;
        b->cpu.iff = Z80_IFF2;
        EXPECT_EQ(b->run_one(), 14);
        EXPECT_EQ(b->cpu.pc, 0x1234);
        EXPECT_EQ(b->cpu.iff, op == 0x4D ? Z80_IFF2 : Z80_IFF1 | Z80_IFF2) << std::hex << int(op);
    }
}

TEST(Z80Interrupts, ResetClearsPcAndIffOnly) {
    auto b = make_bench();
    b->cpu.pc = 0x1234;
    b->cpu.iff = 6;
    b->cpu.im = 3;
    b->cpu.i = 0x3F;
    b->cpu.r = 0x55;
    b->cpu.a = 0x99;
    z80_reset(&b->cpu);
    EXPECT_EQ(b->cpu.pc, 0);
    EXPECT_EQ(b->cpu.iff, 0);
    EXPECT_EQ(b->cpu.im, 3);
    EXPECT_EQ(b->cpu.i, 0x3F);
    EXPECT_EQ(b->cpu.r, 0x55);
    EXPECT_EQ(b->cpu.a, 0x99);
}

TEST(Z80Registers, LdARAfterLdRAReadsBit7AsLoaded) {
    auto b = make_bench();
    b->load(0x0000, {0xED, 0x4F, 0xED, 0x5F});  // LD R,A; LD A,R
    b->cpu.a = 0x80;
    b->cpu.iff = Z80_IFF2;
    EXPECT_EQ(b->run_one(), 9);
    EXPECT_EQ(b->run_one(), 9);
    EXPECT_EQ(b->cpu.a, 0x82);
    EXPECT_TRUE(b->cpu.f & Z80_FLAG_P);  // P/V = IFF2
    EXPECT_TRUE(b->cpu.f & Z80_FLAG_S);
}

TEST(Z80Registers, RCountsAllEightBitsButShowsBit7AsLoaded) {
    auto b = make_bench();
    b->cpu.r = 0x7F;
    b->cpu.r7 = 0;
    b->run_one();  // NOP
    EXPECT_EQ(b->cpu.r, 0x80);
    EXPECT_EQ(z80_visible_r(&b->cpu), 0x00);
}

TEST(Z80Prefixes, LastIndexPrefixWinsAndEachCostsFour) {
    auto b = make_bench();
    b->load(0x0000, {0xFD, 0xDD, 0x21, 0x34, 0x12, 0xDD, 0x21, 0x78, 0x56});
    EXPECT_EQ(b->run_one(), 18);
    EXPECT_EQ(b->cpu.ix, 0x1234);
    EXPECT_EQ(b->cpu.iy, 0x0000);
    EXPECT_EQ(b->cpu.r, 3);
    EXPECT_EQ(b->run_one(), 14);
    EXPECT_EQ(b->cpu.ix, 0x5678);
}

TEST(Z80Prefixes, IndexedFormsUseRealHAndLNextToDisplacement) {
    auto b = make_bench();
    // LD H,(IX+2); LD IXH,IXL; DD 64 (LD IXH,IXH)
    b->load(0x0000, {0xDD, 0x66, 0x02, 0xDD, 0x65, 0xDD, 0x64});
    b->memory[0x1002] = 0xAB;
    b->cpu.ix = 0x1000;
    b->cpu.hl = 0x0000;
    EXPECT_EQ(b->run_one(), 19);
    EXPECT_EQ(b->cpu.hl, 0xAB00);
    EXPECT_EQ(b->cpu.ix, 0x1000);
    EXPECT_EQ(b->run_one(), 8);
    EXPECT_EQ(b->cpu.ix, 0x0000);
    b->cpu.ix = 0x1234;
    EXPECT_EQ(b->run_one(), 8);
    EXPECT_EQ(b->cpu.ix, 0x1234);
    EXPECT_EQ(b->cpu.hl, 0xAB00);
}

TEST(Z80Prefixes, IndexPrefixBeforeEdIsIgnored) {
    auto b = make_bench();
    b->load(0x0000, {0xDD, 0xED, 0x6B, 0x00, 0x90});  // LD HL,(0x9000) despite DD
    b->load(0x9000, {0xCD, 0xAB});
    EXPECT_EQ(b->run_one(), 24);
    EXPECT_EQ(b->cpu.hl, 0xABCD);
    EXPECT_EQ(b->cpu.ix, 0);
}

TEST(Z80Prefixes, IndexCbRegisterFormsAreNoOpsCountingRThree) {
    for (uint8_t op : {0x00, 0x87, 0xC0, 0x41}) {
        auto b = make_bench();
        b->load(0x0000, {0xDD, 0xCB, 0x05, op});
        b->memory[0x1005] = 0x81;
        b->cpu.ix = 0x1000;
        b->cpu.bc = 0x5555;
        b->cpu.f = 0xA5;
        EXPECT_EQ(b->run_one(), 15);
        EXPECT_EQ(b->memory[0x1005], 0x81);
        EXPECT_EQ(b->cpu.bc, 0x5555);
        EXPECT_EQ(b->cpu.f, 0xA5);
        EXPECT_EQ(b->cpu.r, 3);
        EXPECT_EQ(b->cpu.pc, 4);
    }
}

TEST(Z80Prefixes, IndexCbMemoryFormsTiming) {
    auto b = make_bench();
    b->load(0x0000, {0xFD, 0xCB, 0xFE, 0xC6, 0xFD, 0xCB, 0xFE, 0x46});  // SET 0,(IY-2); BIT 0,(IY-2)
    b->cpu.iy = 0x2802;
    EXPECT_EQ(b->run_one(), 23);
    EXPECT_EQ(b->memory[0x2800], 0x01);
    EXPECT_EQ(b->run_one(), 20);
    EXPECT_FALSE(b->cpu.f & Z80_FLAG_Z);
    EXPECT_EQ(b->cpu.f & (Z80_FLAG_5 | Z80_FLAG_3), 0x28);  // from the high byte of IY-2
    EXPECT_EQ(b->cpu.r, 6);
}

TEST(Z80Flags, BitOfHLTakesBits5And3FromPcHighByte) {
    auto b = make_bench();
    b->load(0x2000, {0xCB, 0x46});  // BIT 0,(HL); PC after it is 0x2002
    b->cpu.pc = 0x2000;
    b->cpu.hl = 0x4000;
    b->memory[0x4000] = 0xFE;
    EXPECT_EQ(b->run_one(), 12);
    EXPECT_EQ(b->cpu.f & (Z80_FLAG_5 | Z80_FLAG_3), Z80_FLAG_5);
    EXPECT_TRUE(b->cpu.f & Z80_FLAG_Z);
}

TEST(Z80Flags, InFromCSetsFlagsFromTheValueAndKeepsCarry) {
    auto b = make_bench();
    b->load(0x0000, {0xED, 0x78, 0xED, 0x70});  // IN A,(C); IN (C)
    b->cpu.bc = 0x0010;  // port high byte 0x00 reads as 0x00
    b->cpu.f = Z80_FLAG_C | Z80_FLAG_H | Z80_FLAG_N;
    EXPECT_EQ(b->run_one(), 12);
    EXPECT_EQ(b->cpu.a, 0x00);
    EXPECT_EQ(b->cpu.f, Z80_FLAG_Z | Z80_FLAG_P | Z80_FLAG_C);
    b->cpu.bc = 0x8010;
    b->cpu.a = 0x11;
    EXPECT_EQ(b->run_one(), 12);
    EXPECT_EQ(b->cpu.a, 0x11);
    EXPECT_EQ(b->cpu.f, Z80_FLAG_S | Z80_FLAG_C);
}

TEST(Z80Ports, PortAddressesCarryTheFullSixteenBits) {
    auto b = make_bench();
    // OUT (0xFE),A; IN A,(0x34); OUT (C),B; OUT (C),0
    b->load(0x0000, {0xD3, 0xFE, 0xDB, 0x34, 0xED, 0x41, 0xED, 0x71});
    b->cpu.a = 0x12;
    b->cpu.bc = 0xABCD;
    EXPECT_EQ(b->run_one(), 11);
    EXPECT_EQ(b->run_one(), 11);
    EXPECT_EQ(b->cpu.a, 0x12);  // the bench answers the port's high byte (A)
    EXPECT_EQ(b->run_one(), 12);
    EXPECT_EQ(b->run_one(), 12);
    ASSERT_EQ(b->port_writes.size(), 3u);
    EXPECT_EQ(b->port_writes[0], 0x12FEu << 8 | 0x12);
    EXPECT_EQ(b->port_writes[1], 0xABCDu << 8 | 0xAB);
    EXPECT_EQ(b->port_writes[2], 0xABCDu << 8 | 0x00);
}

TEST(Z80Blocks, LdirWithBcZeroCopies65536Bytes) {
    auto b = make_bench();
    b->load(0x0000, {0xED, 0xB0});
    b->cpu.hl = 0x8000;
    b->cpu.de = 0x8000;  // copies every byte onto itself, program included
    b->cpu.bc = 0x0000;
    int rounds = 0;
    int64_t tstates = 0;
    do {
        tstates += b->run_one();
        ++rounds;
    } while (b->cpu.pc == 0x0000 && rounds < 70000);
    EXPECT_EQ(rounds, 65536);
    EXPECT_EQ(tstates, 65535 * 21 + 16);
    EXPECT_EQ(b->cpu.bc, 0);
    EXPECT_EQ(b->cpu.hl, 0x8000);
    EXPECT_EQ(b->cpu.de, 0x8000);
    EXPECT_FALSE(b->cpu.f & Z80_FLAG_P);
}

TEST(Z80Blocks, CpirStopsOnMatchAndOtirCountsDownB) {
    auto b = make_bench();
    b->load(0x0000, {0xED, 0xB1, 0xED, 0xB3});  // CPIR; OTIR
    b->load(0x4000, {0x10, 0x20, 0x30, 0x40});
    b->cpu.hl = 0x4000;
    b->cpu.bc = 0x0010;
    b->cpu.a = 0x30;
    EXPECT_EQ(b->run_one(), 21);
    EXPECT_EQ(b->run_one(), 21);
    EXPECT_EQ(b->run_one(), 16);  // match: stops
    EXPECT_EQ(b->cpu.pc, 2);
    EXPECT_EQ(b->cpu.hl, 0x4003);
    EXPECT_EQ(b->cpu.bc, 0x000D);
    EXPECT_TRUE(b->cpu.f & Z80_FLAG_Z);
    b->cpu.hl = 0x4000;
    b->cpu.bc = 0x0307;
    EXPECT_EQ(b->run_for(21 + 21 + 16), 58);
    EXPECT_EQ(b->cpu.pc, 4);
    ASSERT_EQ(b->port_writes.size(), 3u);
    EXPECT_EQ(b->port_writes[0], 0x0207u << 8 | 0x10);  // B is decremented before the output
    EXPECT_EQ(b->port_writes[2], 0x0007u << 8 | 0x30);
    EXPECT_TRUE(b->cpu.f & Z80_FLAG_Z);
}

TEST(Z80Time, OvershootOfASliceIsTakenFromTheNext) {
    auto b = make_bench();
    for (int a = 0; a < 0x8000; a += 2) b->load(static_cast<uint16_t>(a), {0x06, 0x00});  // LD B,0 (7)
    int instructions = 0;
    for (int slice = 0; slice < 100; ++slice) {
        b->cpu.ticks += 10;
        while (b->cpu.ticks >= 0) {
            z80_run_instruction(&b->cpu);
            ++instructions;
        }
        EXPECT_GE(b->cpu.ticks, -7);
    }
    // 1000 T-states of budget ran 143 instructions of 7: the overshoot carried over.
    EXPECT_EQ(instructions, 143);
    EXPECT_EQ(b->cpu.ticks, 1000 - 143 * 7);
}

TEST(Z80Time, StepsChargeTheMachineCostTable) {
    // Same instruction mix at 1 and 4096 units per T-state.
    const std::initializer_list<uint8_t> code = {0xDD, 0x34, 0x01, 0xCD, 0x00, 0x10, 0xED, 0xB0,
                                                 0xE3, 0x10, 0xFE, 0xED, 0x67, 0x09};
    int64_t total[2] = {};
    for (int k = 0; k < 2; ++k) {
        auto b = make_bench();
        z80_set_costs(&b->cpu, k ? 4096 : 1);
        b->load(0x0000, code);
        b->load(0x1000, {0xC9});  // RET
        b->cpu.sp = 0x8000;
        b->cpu.bc = 0x0102;
        b->cpu.ticks = 0;
        for (int n = 0; n < 12; ++n) z80_run_instruction(&b->cpu);
        total[k] = -static_cast<int64_t>(b->cpu.ticks);
    }
    EXPECT_EQ(total[1], total[0] * 4096);
    EXPECT_GT(total[0], 100);
}

TEST(Z80Tables, FlagTablesFollowTheirRules) {
    EXPECT_EQ(flags_sz53[0x00], Z80_FLAG_Z);
    EXPECT_EQ(flags_sz53p[0x00], Z80_FLAG_Z | Z80_FLAG_P);
    EXPECT_EQ(flags_sz53p[0xA8], Z80_FLAG_S | Z80_FLAG_5 | Z80_FLAG_3);  // three bits: odd
    EXPECT_EQ(flags_sz53p_h[0x03], Z80_FLAG_P | Z80_FLAG_H);
    EXPECT_EQ(flags_inc[0x7F], Z80_FLAG_S | Z80_FLAG_H | Z80_FLAG_P);
    EXPECT_EQ(flags_dec[0x80], Z80_FLAG_5 | Z80_FLAG_3 | Z80_FLAG_H | Z80_FLAG_P | Z80_FLAG_N);
    EXPECT_EQ(flags_add_hvc[0x08], Z80_FLAG_P);  // carry into bit 7 only: overflow
    EXPECT_EQ(flags_add_hvc[0x11], Z80_FLAG_H | Z80_FLAG_C | Z80_FLAG_P);
    EXPECT_EQ(flags_sub_hvc[16 - 16], Z80_FLAG_N | Z80_FLAG_C | Z80_FLAG_P);  // vector -16: borrow out only
    EXPECT_EQ(flags_sub_hvc[32 + 0x10], Z80_FLAG_N | Z80_FLAG_C | Z80_FLAG_P);
    // DAA after 0x15 + 0x27 = 0x3C gives 0x42; after 0x42 - 0x27 = 0x1B (H) gives 0x15.
    EXPECT_EQ(daa_table[0x3C][0], 0x42);
    EXPECT_EQ(daa_table[0x200 | 0x100 | 0x1B][0], 0x15);
    EXPECT_EQ(daa_table[0x9A][1] & Z80_FLAG_C, Z80_FLAG_C);
}

}  // namespace
