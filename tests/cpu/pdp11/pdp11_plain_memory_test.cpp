// A processor on plain memory (Pdp11Cpu::plainMemory) does its fetches, refetches and
// ending word stores itself: it must do exactly what the slots do. Random programs over
// a random 64 KB (every instruction form, traps, HALT mode, stores into the prefetched
// word, jumps anywhere) run on two test machines, one through the slots and one on plain
// memory, compared after every instruction.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "cpu/pdp11/pdp11.h"
#include "test_machine.h"

namespace {

void expect_same(const Pdp11Cpu& a, const Pdp11Cpu& b, int seed, int n) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << ", instruction " << n << ", PC "
                                    << std::oct << a.r[7]);
    EXPECT_EQ(a.ir, b.ir);
    EXPECT_EQ(a.prefetch, b.prefetch);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(a.r[i], b.r[i]) << "R" << i;
    EXPECT_EQ(a.psw, b.psw);
    EXPECT_EQ(a.dataIn, b.dataIn);
    EXPECT_EQ(a.dataOut, b.dataOut);
    EXPECT_EQ(a.vector, b.vector);
    EXPECT_EQ(a.busAddress, b.busAddress);
    // A stale prefetch may be marked differently; a valid one must match.
    EXPECT_EQ(a.prefetchAddress == (a.r[7] & 0xFFFF), b.prefetchAddress == (b.r[7] & 0xFFFF));
    EXPECT_EQ(a.savedPc, b.savedPc);
    EXPECT_EQ(a.savedPsw, b.savedPsw);
    EXPECT_EQ(a.indexBase, b.indexBase);
    EXPECT_EQ(a.cycleBudget, b.cycleBudget);
    EXPECT_EQ(a.busOperation, b.busOperation);
    EXPECT_EQ(a.stepHandler, b.stepHandler);
    EXPECT_EQ(a.continuation, b.continuation);
}

TEST(PlainMemory, RandomProgramsRunAsThroughTheSlots) {
    testing::internal::CaptureStdout();  // unprovided opcodes report themselves
    auto* slots = new Pdp11TestMachine;
    auto* plain = new Pdp11TestMachine;
    for (int seed = 0; seed < 40 && !HasFailure(); ++seed) {
        std::mt19937 rng(seed);
        *slots = Pdp11TestMachine();
        // Mostly the common forms (register and (Rn)/(Rn)+/-(Rn) operands, SOB, branches),
        // so that the plain paths run often; the rest of the words are anything.
        for (uint32_t a = 0; a < 0x10000; a += 2) {
            uint32_t w = rng() & 0xFFFF;
            switch (rng() % 4) {
            case 0: w = (w & 0170000) | (w & 07000) | (w & 0700) | ((rng() % 5) << 3) | (w & 7); break;
            case 1: w = 0077000 | (w & 0777); break;  // SOB
            default: break;
            }
            slots->set_word(a, w);
        }
        for (uint32_t& r : slots->cpu.r) r = rng() & 0xFFFF;
        slots->cpu.psw = rng() & 0xEF;
        *plain = *slots;
        plain->cpu.memory = plain->mem;
        plain->cpu.plainMemory = plain->mem;
        uint32_t pc = rng() & 0xFFFE;
        slots->start(pc, slots->cpu.psw);
        plain->start(pc, plain->cpu.psw);
        for (int n = 0; n < 3000 && !HasFailure(); ++n) {
            if (n % 500 == 499) {  // the machine moves PC at a boundary now and then
                slots->cpu.r[7] = plain->cpu.r[7] = rng() & 0xFFFE;
            }
            slots->step();
            plain->step();
            expect_same(slots->cpu, plain->cpu, seed, n);
        }
        EXPECT_EQ(std::memcmp(slots->mem, plain->mem, sizeof slots->mem), 0) << "seed " << seed;
    }
    testing::internal::GetCapturedStdout();
    delete slots;
    delete plain;
}

// The loop of the speed comparison, with a store into the word after it: the processor on
// plain memory sees the stored instruction, as through the slots.
TEST(PlainMemory, StoreIntoThePrefetchedWordIsExecuted) {
    int32_t slot_cycles = 0;
    for (bool use_plain : {false, true}) {
        Pdp11TestMachine m;
        if (use_plain) m.cpu.plainMemory = m.mem;
        // loop: ADD R1,R0; MOV R0,(R3); INC R4; SOB R2,loop; then MOV R5,(R3)+; HALT
        m.load(01000, {0060100, 0010013, 0005204, 0077204, 0010523, 0000000});
        m.cpu.r[1] = 3;
        m.cpu.r[2] = 10;
        m.cpu.r[3] = 04000;
        m.cpu.r[5] = 0005202;  // INC R2, stored at 01012 while it is the prefetched word
        m.start(01000);
        int32_t cycles = 0;
        for (int i = 0; i < 40; ++i) cycles += m.step();
        EXPECT_EQ(m.cpu.r[0], 30u) << use_plain;
        EXPECT_EQ(m.word(04000), 30u) << use_plain;
        EXPECT_EQ(m.cpu.r[4], 10u) << use_plain;
        m.cpu.r[3] = 01012;
        cycles += m.step();  // MOV R5,(R3)+ over the prefetched word
        cycles += m.step();  // runs INC R2, not the HALT that was there
        EXPECT_EQ(m.cpu.r[2], 1u) << use_plain;
        EXPECT_EQ(m.cpu.r[7], 01014u) << use_plain;
        if (use_plain) {
            EXPECT_EQ(cycles, slot_cycles);
        }
        slot_cycles = cycles;
    }
}

}  // namespace
