// A processor on plain memory (Pdp11Cpu::plainMemory) does its commonest bus cycles itself:
// it must do exactly what the slots do. Random programs over a random 64 KB (every form,
// traps, HALT mode, stores into the prefetched word, jumps anywhere) run on two test
// machines, through the slots and on plain memory, compared after every instruction.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cpu/pdp11/pdp11.h"
#include "test_machine.h"

namespace {

// Everything a later instruction or a saved state sees (a stale prefetch only as stale).
std::vector<uintptr_t> visible(const Pdp11Cpu& c) {
    std::vector<uintptr_t> v(c.r, c.r + 8);
    v.insert(v.end(), {c.ir, c.prefetch, c.psw, c.dataIn, c.dataOut, c.vector, c.busAddress,
                       c.prefetchAddress == (c.r[7] & 0xFFFF), c.savedPc, c.savedPsw, c.indexBase,
                       uintptr_t(uint32_t(c.cycleBudget)), uintptr_t(c.busOperation),
                       uintptr_t(c.stepHandler), uintptr_t(c.continuation)});
    return v;
}

// The first difference met in program `seed`, or "".
std::string run_both(Pdp11TestMachine* slots, Pdp11TestMachine* plain, int seed) {
    std::mt19937 rng(seed);
    *slots = Pdp11TestMachine();
    // A quarter of the words register or (Rn)/(Rn)+/-(Rn)/@(Rn)+ forms, a quarter SOB.
    for (uint32_t a = 0; a < 0x10000; a += 2) {
        uint32_t w = rng() & 0xFFFF, kind = rng() % 4;
        if (kind == 0) w = (w & 0177707) | ((rng() % 5) << 3);
        if (kind == 1) w = 0077000 | (w & 0777);
        slots->set_word(a, w);
    }
    for (uint32_t& r : slots->cpu.r) r = rng() & 0xFFFF;
    *plain = *slots;
    plain->cpu.memory = plain->cpu.plainMemory = plain->mem;
    uint32_t pc = rng() & 0xFFFE, psw = rng() & 0xEF;
    slots->start(pc, psw);
    plain->start(pc, psw);
    for (int n = 0; n < 3000; ++n) {
        if (n % 500 == 499) slots->cpu.r[7] = plain->cpu.r[7] = rng() & 0xFFFE;  // PC moved
        slots->step();
        plain->step();
        if (visible(slots->cpu) != visible(plain->cpu))
            return "seed " + std::to_string(seed) + ": the processors differ after step " + std::to_string(n);
    }
    if (std::memcmp(slots->mem, plain->mem, sizeof slots->mem) != 0)
        return "seed " + std::to_string(seed) + ": the memories differ";
    return "";
}

TEST(PlainMemory, RandomProgramsRunAsThroughTheSlots) {
    auto* slots = new Pdp11TestMachine;
    auto* plain = new Pdp11TestMachine;
    std::string difference;
    testing::internal::CaptureStdout();  // unprovided opcodes report themselves
    for (int seed = 0; seed < 40 && difference.empty(); ++seed) difference = run_both(slots, plain, seed);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(difference, "");
    delete slots;
    delete plain;
}

// The loop of the speed comparison, then a store into the prefetched word: on plain memory
// the stored instruction runs, at the cost the slots charge.
TEST(PlainMemory, StoreIntoThePrefetchedWordIsExecuted) {
    int32_t cycles[2] = {};
    for (int plain = 0; plain < 2; ++plain) {
        Pdp11TestMachine m;
        if (plain) m.cpu.plainMemory = m.mem;
        // loop: ADD R1,R0; MOV R0,(R3); INC R4; SOB R2,loop; then MOV R5,(R3)+; HALT
        m.load(01000, {0060100, 0010013, 0005204, 0077204, 0010523, 0000000});
        m.cpu.r[1] = 3, m.cpu.r[2] = 10, m.cpu.r[3] = 04000;
        m.cpu.r[5] = 0005202;  // INC R2
        m.start(01000);
        for (int i = 0; i < 40; ++i) cycles[plain] += m.step();
        EXPECT_EQ(m.cpu.r[0], 30u);
        EXPECT_EQ(m.word(04000), 30u);
        EXPECT_EQ(m.cpu.r[4], 10u);
        m.cpu.r[3] = 01012;
        cycles[plain] += m.step();  // MOV R5,(R3)+ over the prefetched HALT
        cycles[plain] += m.step();  // runs the stored INC R2
        EXPECT_EQ(m.cpu.r[2], 1u);
        EXPECT_EQ(m.cpu.r[7], 01014u);
    }
    EXPECT_EQ(cycles[0], cycles[1]);
}

}  // namespace
