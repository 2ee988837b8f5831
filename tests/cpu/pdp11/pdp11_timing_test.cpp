// Instruction costs with the delivered cost values, and the bus slot each
// access goes through.

#include <gtest/gtest.h>

#include <vector>

#include "cpu/pdp11/pdp11.h"
#include "test_machine.h"

namespace {

constexpr uint32_t ORG = 01000;

struct Timing : ::testing::Test {
    Pdp11TestMachine m;
    void SetUp() override {
        m.cpu.r[1] = 02000;
        m.cpu.r[2] = 02100;
        m.cpu.r[6] = 0700;
    }
    // Cost in cycles of the first instruction of `code` placed at ORG.
    int32_t cost(std::initializer_list<uint32_t> code, uint32_t psw = 0) {
        m.load(ORG, code);
        m.start(ORG, psw);
        return m.step();
    }
    std::vector<Pdp11Slot> slots() const {
        std::vector<Pdp11Slot> v;
        for (int i = 0; i < m.log_count; ++i) v.push_back(m.log[i].slot);
        return v;
    }
};

TEST_F(Timing, RegisterFormsAndUntakenBranchCostOnlyTheFetch) {
    EXPECT_EQ(cost({010102}), 8);                // MOV R1,R2
    EXPECT_EQ(cost({005201}), 8);                // INC R1
    EXPECT_EQ(cost({006301}), 8);                // ASL R1
    EXPECT_EQ(cost({001401}), 8);                // BEQ with Z clear
    EXPECT_EQ(slots(), std::vector<Pdp11Slot>{Pdp11Slot::Fetch});
}

TEST_F(Timing, TakenBranchAndLoopingSob) {
    EXPECT_EQ(cost({000401}), 16);               // BR .+4
    m.cpu.r[3] = 2;
    EXPECT_EQ(cost({077301}), 16);               // SOB R3 (R3 2 -> 1, loops)
    m.cpu.r[3] = 1;
    EXPECT_EQ(cost({077301}), 8);                // SOB falling through
}

TEST_F(Timing, MoveForms) {
    EXPECT_EQ(cost({010112}), 20);               // MOV R1,(R2)
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::Write}));
    EXPECT_EQ(cost({011102}), 20);               // MOV (R1),R2
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::ReadMoveSource}));
    EXPECT_EQ(cost({011112}), 34);               // MOV (R1),(R2)
    EXPECT_EQ(cost({012702, 1234}), 24);         // MOV #n,R2
}

TEST_F(Timing, ReadModifyAndReadOnlyDestinations) {
    EXPECT_EQ(cost({005211}), 26);               // INC (R1)
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::ReadModify,
                                               Pdp11Slot::WriteBack}));
    EXPECT_EQ(cost({061112}), 38);               // ADD (R1),(R2)
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::ReadSource,
                                               Pdp11Slot::ReadModify, Pdp11Slot::WriteBack}));
    EXPECT_EQ(cost({005711}), 20);               // TST (R1)
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::Read}));
    EXPECT_EQ(cost({0105011}), 26);               // CLRB (R1): byte destinations are read first
    EXPECT_EQ(slots(), (std::vector<Pdp11Slot>{Pdp11Slot::Fetch, Pdp11Slot::ReadModifyByte,
                                               Pdp11Slot::WriteBackByte}));
}

TEST_F(Timing, JumpsAndReturns) {
    EXPECT_EQ(cost({000111}), 16);               // JMP (R1)
    EXPECT_EQ(cost({004711}), 28);               // JSR PC,(R1)
    m.set_word(0700, 03000);
    EXPECT_EQ(cost({000207}), 28);               // RTS PC
    m.set_word(0700, 03000);
    m.set_word(0702, 0);
    EXPECT_EQ(cost({000002}), 44);               // RTI
}

TEST_F(Timing, TrapsAndHaltEntries) {
    for (uint32_t op : {0104000u, 0104400u, 0000003u, 0000004u}) {  // EMT, TRAP, BPT, IOT
        m.cpu.r[6] = 0700;
        EXPECT_EQ(cost({op}), 80) << std::oct << op;
    }
    EXPECT_EQ(cost({000000}), 44);               // HALT
    EXPECT_EQ(cost({075000}), 44);               // opcode range 075000-076777
}

TEST_F(Timing, MachineStartedInterruptAndHaltEntry) {
    m.load(ORG, {000240});
    m.start(ORG);
    request_interrupt(&m.cpu, 0100);
    EXPECT_EQ(m.step(), 72);
    m.start(ORG);
    enter_halt_mode(&m.cpu, 0170);
    EXPECT_EQ(m.step(), 36);
}

TEST_F(Timing, EisRegisterSource) {
    EXPECT_EQ(cost({070201}), 96);               // MUL R1,R2
    m.cpu.r[1] = 3;
    EXPECT_EQ(cost({071201}), 120);              // DIV R1,R2
    for (uint32_t n : {0u, 1u, 5u, 15u}) {
        m.cpu.r[1] = n;
        EXPECT_EQ(cost({072201}), 24 + 4 * static_cast<int32_t>(n)) << n;  // ASH R1,R2
    }
    m.cpu.r[1] = 076;                            // ASH right by 2
    EXPECT_EQ(cost({072201}), 32);
}

TEST_F(Timing, EisMemorySourceAndAddressingSteps) {
    m.set_word(02000, 3);
    EXPECT_EQ(cost({070211}), 8 + 6 * 14 + 12 + 4);    // MUL (R1),R2
    EXPECT_EQ(cost({071211}), 8 + 8 * 14 + 12);        // DIV (R1),R2
    EXPECT_EQ(cost({072211}), 8 + 3 * 4 + 24 + 4);     // ASH (R1),R2 by 3
    EXPECT_EQ(cost({073211}), 8 + 3 * 4 + 24 + 4);     // ASHC (R1),R2 by 3
    // Index word from the prefetch (+4), index step (+12), then as MOV (R1),R2.
    EXPECT_EQ(cost({016102, 2}), 36);                  // MOV 2(R1),R2
    m.set_word(02000, 02200);
    EXPECT_EQ(cost({013102}), 32);                     // MOV @(R1)+,R2: pointer step
}

TEST_F(Timing, BusErrorTrapCharge) {
    m.load(ORG, {005737, 0177700, 000240});            // TST @#0177700, nothing there
    m.device(0177560, 0);
    m.set_word(4, 04000);
    m.set_word(6, 0340);
    m.start(ORG);
    // decode 8, address word (prefetch) 4, pointer step 12, then the bus-error
    // trap 8*14+12+4 and the trap steps.
    EXPECT_EQ(m.step(), 8 + 4 + 12 + (8 * 14 + 12 + 4) + 18 + 18 + 14 + 14 + 8);
    EXPECT_EQ(m.cpu.r[7], 04000u);
    EXPECT_EQ(m.cpu.psw, 0340u);
    EXPECT_EQ(m.word(0674), ORG + 4);               // pushed PC: after the instruction
}

TEST_F(Timing, EachAccessGoesThroughItsSlot) {
    using S = Pdp11Slot;
    struct { uint32_t op; std::vector<S> slots; } cases[] = {
        {0111112, {S::Fetch, S::ReadByteSource, S::ReadModifyByte, S::WriteBackByte}},  // MOVB (R1),(R2)
        {0121112, {S::Fetch, S::ReadByteSource, S::ReadByte}},                          // CMPB (R1),(R2)
        {0021112, {S::Fetch, S::ReadSource, S::Read}},                                  // CMP (R1),(R2)
        {0106411, {S::Fetch, S::ReadByte}},                                             // MTPS (R1)
        {0106711, {S::Fetch, S::ReadModifyByte, S::WriteBackByte}},                     // MFPS (R1)
        {0070211, {S::Fetch, S::Read}},                                                 // MUL (R1),R2
        {0074012, {S::Fetch, S::ReadModify, S::WriteBack}},                             // XOR R0,(R2)
        {0005012, {S::Fetch, S::Write}},                                                // CLR (R2)
        {0006712, {S::Fetch, S::Write}},                                                // SXT (R2)
        {0004712, {S::Fetch, S::Write, S::Refetch}},                                    // JSR PC,(R2)
        {0104000, {S::Fetch, S::Write, S::Write, S::Read, S::Read, S::Refetch}},        // EMT
    };
    for (auto& t : cases) {
        m.cpu.r[1] = 02000;
        m.cpu.r[2] = 02100;
        m.cpu.r[6] = 0700;
        cost({t.op});
        EXPECT_EQ(slots(), t.slots) << std::oct << t.op;
    }
}

TEST_F(Timing, FlagTables) {
    EXPECT_EQ(pdp11_byte_nz_flags[0], PDP11_Z);
    for (int i = 1; i < 0x80; ++i) EXPECT_EQ(pdp11_byte_nz_flags[i], 0u) << i;
    for (int i = 0x80; i < 0x100; ++i) EXPECT_EQ(pdp11_byte_nz_flags[i], PDP11_N) << i;
    EXPECT_EQ(pdp11_vc_flags[0], 0u);
    EXPECT_EQ(pdp11_vc_flags[1], PDP11_V);
    EXPECT_EQ(pdp11_vc_flags[2], PDP11_V | PDP11_C);
    EXPECT_EQ(pdp11_vc_flags[3], PDP11_C);
}

TEST_F(Timing, BusErrorOnRefetchTrapsWithTheNewPc) {
    m.device(0177560, 0);
    m.set_word(4, 04000);
    m.set_word(6, 0);
    m.set_word(04000, 000240);
    m.load(ORG, {000137, 0177700});                    // JMP @#177700: nothing there
    m.start(ORG);
    m.step();
    EXPECT_EQ(m.cpu.r[7], 04000u);
    EXPECT_EQ(m.word(0674), 0177700u);
    m.step();                                          // the handler's NOP runs normally
    EXPECT_EQ(m.cpu.r[7], 04002u);
}

TEST_F(Timing, BusErrorLoopDoesNotHangTheCaller) {
    m.device(0177560, 0);
    m.set_word(4, 0177700);                            // vector 4 leads into the hole again
    m.load(ORG, {000137, 0177700});                    // JMP @#177700
    m.start(ORG);
    for (int i = 0; i < 4; ++i) {
        int32_t before = m.cpu.cycleBudget;
        m.run();
        EXPECT_LT(m.cpu.cycleBudget, before);          // time goes on
    }
}

}  // namespace
