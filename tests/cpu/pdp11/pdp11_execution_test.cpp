// Instruction results: prefetch behaviour, addressing, HALT mode, traps,
// EIS edge cases and the flag rules this processor chooses.

#include <gtest/gtest.h>

#include <string>

#include "cpu/pdp11/pdp11.h"
#include "test_machine.h"

namespace {

constexpr uint32_t ORG = 01000;
constexpr uint32_t NZVC = PDP11_N | PDP11_Z | PDP11_V | PDP11_C;

struct Execution : ::testing::Test {
    Pdp11TestMachine m;
    Pdp11Cpu& c = m.cpu;

    // Loads `code` at ORG, starts there and runs `count` instructions.
    void run(std::initializer_list<uint32_t> code, int count = 1, uint32_t psw = 0) {
        m.load(ORG, code);
        m.start(ORG, psw);
        for (int i = 0; i < count; ++i) m.step();
    }
    uint32_t flags() const { return c.psw & NZVC; }
};

TEST_F(Execution, ImmediateComesFromThePrefetchWhichIsRefilled) {
    run({012700, 0x1234, 005201}, 1);                   // MOV #0x1234,R0; INC R1
    EXPECT_EQ(c.r[0], 0x1234u);
    EXPECT_EQ(c.prefetchAddress, ORG + 4);
    EXPECT_EQ(c.prefetch, 005201u);
    m.step();
    EXPECT_EQ(c.r[1], 1u);                               // the next instruction, not the immediate
    EXPECT_EQ(c.r[7], ORG + 6);
}

TEST_F(Execution, WordWriteIntoPrefetchedWordIsExecuted) {
    c.r[0] = 005202;                                     // INC R2
    c.r[1] = ORG + 2;
    run({010011, 005203}, 2);                            // MOV R0,(R1); INC R3 (overwritten)
    EXPECT_EQ(c.r[2], 1u);
    EXPECT_EQ(c.r[3], 0u);
}

TEST_F(Execution, ReadModifyWriteIntoPrefetchedWordIsExecuted) {
    c.r[1] = ORG + 2;
    run({005211, 005202}, 2);                            // INC (R1): INC R2 becomes INC R3
    EXPECT_EQ(c.r[3], 1u);
    EXPECT_EQ(c.r[2], 0u);
}

TEST_F(Execution, ByteWriteIntoPrefetchedWordRunsTheOldWord) {
    c.r[0] = 0x82;                                       // low byte of INC R2
    c.r[1] = ORG + 2;
    run({0110011, 005203}, 2);                            // MOVB R0,(R1); INC R3
    EXPECT_EQ(m.word(ORG + 2), 005202u);                 // memory changed...
    EXPECT_EQ(c.r[3], 1u);                               // ...but the prefetched word ran
    EXPECT_EQ(c.r[2], 0u);
}

TEST_F(Execution, MachineMovingPcAtBoundaryRefetches) {
    m.load(02000, {005204});
    run({005201, 005202}, 1);
    c.r[7] = 02000;
    m.step();
    EXPECT_EQ(c.r[4], 1u);
    EXPECT_EQ(c.r[2], 0u);
}

TEST_F(Execution, ByteAutoincrementStepsSpAndPcByTwo) {
    c.r[0] = 03000;
    c.r[6] = 03100;
    run({0105720, 0105726, 0105727, 0x0105}, 3);          // TSTB (R0)+; TSTB (SP)+; TSTB #5
    EXPECT_EQ(c.r[0], 03001u);
    EXPECT_EQ(c.r[6], 03102u);
    EXPECT_EQ(c.r[7], ORG + 8);
    c.r[0] = 03001;
    c.r[6] = 03100;
    run({0105740, 0105746}, 2);                           // TSTB -(R0); TSTB -(SP)
    EXPECT_EQ(c.r[0], 03000u);
    EXPECT_EQ(c.r[6], 03076u);
    run({0105747}, 1);                                    // TSTB -(PC): back onto itself
    EXPECT_EQ(c.r[7], ORG);
}

TEST_F(Execution, IndexedPcIsRelativeToTheWordAfterTheIndex) {
    m.set_word(ORG + 8, 0x5555);
    run({016700, 4}, 1);                                  // MOV 4(PC),R0
    EXPECT_EQ(c.r[0], 0x5555u);
    m.set_word(ORG + 10, 0x6666);
    run({010167, 4}, 1);                                  // MOV R1,4(PC) writes ORG+8
    EXPECT_EQ(m.word(ORG + 8), 0u);
}

TEST_F(Execution, AddressesWrapModulo64K) {
    m.set_word(0, 0x1111);
    c.r[1] = 0177777;
    run({016100, 2}, 1);                                  // MOV 2(R1),R0 -> address 1 -> word 0
    EXPECT_EQ(c.r[0], 0x1111u);
    c.r[1] = 0177776;
    m.set_word(0177776, 0x2222);
    run({012100}, 1);                                     // MOV (R1)+,R0
    EXPECT_EQ(c.r[0], 0x2222u);
    EXPECT_EQ(c.r[1], 0u);
}

TEST_F(Execution, BudgetOvershootFinishesTheInstruction) {
    c.r[1] = 02000;
    c.r[2] = 02100;
    m.set_word(02000, 0x7777);
    m.load(ORG, {011112, 000240});                        // MOV (R1),(R2); NOP
    m.start(ORG);
    c.cycleBudget = 10;
    run_instruction(&c);
    EXPECT_EQ(m.word(02100), 0x7777u);
    EXPECT_EQ(c.cycleBudget, 10 - 34 * 256);
    EXPECT_EQ(c.r[7], ORG + 2);
    EXPECT_EQ(c.busOperation, c.opFetch);
    EXPECT_EQ(c.stepHandler, pdp11_decode_step);
}

TEST_F(Execution, StartResumesSavedContextFromUserMode) {
    c.savedPc = 04000;
    c.savedPsw = 0x1F4;                                   // bit 8 and some flags
    run({000010}, 1, 0);
    EXPECT_EQ(c.r[7], 04000u);
    EXPECT_EQ(c.psw, 0x1F4u);
}

TEST_F(Execution, HaltReadsVectorFromHaltAreaAndSavesContext) {
    m.set_word(0160170, 0160200);
    m.set_word(0160172, 0340);
    run({000000}, 1, 0x0F);
    EXPECT_EQ(c.savedPc, ORG + 2);
    EXPECT_EQ(c.savedPsw, 0x0Fu);
    EXPECT_EQ(c.r[7], 0160200u);
    EXPECT_EQ(c.psw, 0340u);                              // the whole vector word
    EXPECT_EQ(c.r[6], 01000u);                            // nothing pushed
    m.set_word(0160010, 0160300);
    m.set_word(0160012, 0400);
    run({076123}, 1);                                     // 075000-076777
    EXPECT_EQ(c.r[7], 0160300u);
    EXPECT_EQ(c.psw, 0400u);
}

TEST_F(Execution, HaltModeRegistersMoveThroughR0) {
    c.r[0] = 02222;
    run({000032, 000034, 000010}, 3);                     // WCPC; WCPS; START
    EXPECT_EQ(c.r[7], 02222u);
    EXPECT_EQ(c.psw, 02222u & 0xFFFF);
    c.savedPc = 0123;
    c.savedPsw = 0456;
    run({000022, 010001, 000024}, 3);                     // RCPC; MOV R0,R1; RCPS
    EXPECT_EQ(c.r[1], 0123u);
    EXPECT_EQ(c.r[0], 0456u);
}

TEST_F(Execution, UserSpaceMovesUseTheUserSlots) {
    c.r[5] = 03000;
    m.set_word(03000, 0x8001);
    run({000021}, 1, PDP11_C | PDP11_V);                  // MFUS
    EXPECT_EQ(c.r[0], 0x8001u);
    EXPECT_EQ(c.r[5], 03002u);
    EXPECT_EQ(flags(), PDP11_N | PDP11_C);
    EXPECT_EQ(m.log[1].slot, Pdp11Slot::ReadUser);
    c.r[0] = 0;
    run({000031}, 1);                                     // MTUS
    EXPECT_EQ(c.r[5], 03000u);
    EXPECT_EQ(m.word(03000), 0u);
    EXPECT_EQ(flags(), PDP11_Z);
    EXPECT_EQ(m.log[1].slot, Pdp11Slot::WriteUser);
}

TEST_F(Execution, RtiKeepsHighPswBitsBelowHaltAreaAndLoadsThemAbove) {
    for (uint32_t start_psw : {0u, 0400u}) {
        c.r[6] = 0700;
        m.set_word(0700, 02000);
        m.set_word(0702, 0400 | 0x0B);
        run({000002}, 1, start_psw);
        EXPECT_EQ(c.r[7], 02000u);
        EXPECT_EQ(c.psw, start_psw | 0x0B);
        EXPECT_EQ(c.r[6], 0704u);
    }
    c.r[6] = 0700;
    m.set_word(0700, 0160000);
    m.set_word(0702, 0177400 | 0x03);
    run({000006}, 1, 0);                                  // RTT, same as RTI
    EXPECT_EQ(c.psw, 0403u);                              // bits 0-8 of the popped word
    c.r[6] = 0700;
    m.set_word(0702, 0);
    run({000002}, 1, 0400);                               // leaves HALT mode
    EXPECT_EQ(c.psw, 0u);
}

TEST_F(Execution, MtpsKeepsTraceBitAndHaltBit) {
    run({0106427, 020}, 1, 0);                            // MTPS #020
    EXPECT_EQ(c.psw, 0u);
    run({0106427, 0357}, 1, 0420);                        // MTPS #357 with T and bit 8 set
    EXPECT_EQ(c.psw, 0420u | (0357u & ~020u));
    c.r[0] = 0177400 | 0x09;
    run({0106400}, 1, 0400);                              // MTPS R0
    EXPECT_EQ(c.psw, 0400u | 0x09);
}

TEST_F(Execution, MfpsSignExtendsIntoRegisterAndWritesOneByte) {
    run({0106700}, 1, 0200 | PDP11_C);                    // MFPS R0
    EXPECT_EQ(c.r[0], 0177600u | PDP11_C);
    EXPECT_EQ(flags(), PDP11_N | PDP11_C);
    c.r[1] = 03001;
    m.set_word(03000, 0x5555);
    run({0106711}, 1, 0x0E);                              // MFPS (R1), odd address
    EXPECT_EQ(m.word(03000), 0x0E55u);
    EXPECT_EQ(flags(), 0u);
}

TEST_F(Execution, DivideByZeroAndOverflowLeaveRegisters) {
    c.r[2] = 1; c.r[3] = 2; c.r[1] = 0;
    run({071201}, 1, PDP11_N | PDP11_Z);                  // DIV R1,R2 by 0
    EXPECT_EQ(flags(), PDP11_V | PDP11_C);
    EXPECT_EQ(c.r[2], 1u);
    EXPECT_EQ(c.r[3], 2u);
    c.r[2] = 0x8000; c.r[3] = 0; c.r[1] = 0xFFFF;
    run({071201}, 1);                                     // -2^31 / -1
    EXPECT_EQ(flags(), PDP11_V);
    EXPECT_EQ(c.r[2], 0x8000u);
    c.r[2] = 1; c.r[3] = 0; c.r[1] = 1;
    run({071201}, 1);                                     // 65536 / 1 does not fit
    EXPECT_EQ(flags(), PDP11_V);
    EXPECT_EQ(c.r[2], 1u);
    EXPECT_EQ(c.r[3], 0u);
}

TEST_F(Execution, DivideTruncatesAndRemainderFollowsDividend) {
    c.r[2] = 0xFFFF; c.r[3] = static_cast<uint32_t>(-7) & 0xFFFF; c.r[1] = 2;
    run({071201}, 1);                                     // -7 / 2
    EXPECT_EQ(c.r[2], static_cast<uint32_t>(-3) & 0xFFFF);
    EXPECT_EQ(c.r[3], static_cast<uint32_t>(-1) & 0xFFFF);
    EXPECT_EQ(flags(), PDP11_N);
    c.r[3] = 0xFFFF; c.r[1] = 1;
    run({071301}, 1);                                     // DIV R1,R3: R3:R3 = -1; R3 gets the quotient
    EXPECT_EQ(c.r[3], 0xFFFFu);
    c.r[2] = 0; c.r[3] = 1; c.r[1] = 2;
    run({071201}, 1);
    EXPECT_EQ(c.r[2], 0u);
    EXPECT_EQ(flags(), PDP11_Z);
}

TEST_F(Execution, MultiplySignsCarryAndOddRegister) {
    c.r[2] = 0xFFFF; c.r[1] = 3;
    run({070201}, 1);                                     // -1 * 3
    EXPECT_EQ(c.r[2], 0xFFFFu);
    EXPECT_EQ(c.r[3], 0xFFFDu);
    EXPECT_EQ(flags(), PDP11_N);
    c.r[2] = 0x8000; c.r[1] = 0x8000;
    run({070201}, 1);                                     // (-32768)^2 = 2^30
    EXPECT_EQ(c.r[2], 0x4000u);
    EXPECT_EQ(c.r[3], 0u);
    EXPECT_EQ(flags(), PDP11_C);
    c.r[3] = 300; c.r[1] = 300;
    run({070301}, 1);                                     // MUL R1,R3: low word only
    EXPECT_EQ(c.r[3], (300u * 300u) & 0xFFFF);
    EXPECT_EQ(flags(), PDP11_C);
}

TEST_F(Execution, ArithmeticShiftEdgeCounts) {
    c.r[2] = 0x8001; c.r[1] = 040;
    run({072201}, 1);                                     // ASH by 040: right by 32
    EXPECT_EQ(c.r[2], 0xFFFFu);
    EXPECT_EQ(flags(), PDP11_N | PDP11_C);
    c.r[2] = 0x4001; c.r[1] = 040;
    run({072201}, 1);
    EXPECT_EQ(c.r[2], 0u);
    EXPECT_EQ(flags(), PDP11_Z);
    c.r[2] = 0x4000; c.r[1] = 2;
    run({072201}, 1);                                     // left through the sign: V, C
    EXPECT_EQ(c.r[2], 0u);
    EXPECT_EQ(flags(), PDP11_Z | PDP11_V | PDP11_C);
    c.r[2] = 0x1234; c.r[3] = 0x5678; c.r[1] = 0;
    run({073201}, 1, PDP11_V | PDP11_C);                  // ASHC by 0
    EXPECT_EQ(c.r[2], 0x1234u);
    EXPECT_EQ(c.r[3], 0x5678u);
    EXPECT_EQ(flags() & (PDP11_V | PDP11_C), 0u);
    c.r[2] = 0x0001; c.r[3] = 0x8000; c.r[1] = 077;
    run({073201}, 1);                                     // ASHC right by 1 across the words
    EXPECT_EQ(c.r[2], 0u);
    EXPECT_EQ(c.r[3], 0xC000u);
    c.r[3] = 0x8001; c.r[1] = 1;
    run({073301}, 1);                                     // odd register: R3:R3 << 1, low word stays
    EXPECT_EQ(c.r[3], 0x0002u);
}

TEST_F(Execution, MovbSignExtendsAndReadsHighByteOfDeviceRegister) {
    m.device(0177562, 0xA55A);
    run({0113700, 0177563}, 1);                           // MOVB @#177563,R0
    EXPECT_EQ(c.r[0], 0xFFA5u);
    EXPECT_EQ(flags(), PDP11_N);
    run({0113700, 0177562}, 1);
    EXPECT_EQ(c.r[0], 0x005Au);
    c.r[1] = 0x1234;
    c.r[2] = 03000;
    m.set_word(03000, 0xFFFF);
    run({0110112}, 1);                                    // MOVB R1,(R2) keeps the high byte
    EXPECT_EQ(m.word(03000), 0xFF34u);
}

TEST_F(Execution, UnrealizedInstructionIsReportedAndChangesNothing) {
    c.r[0] = 7;
    ::testing::internal::CaptureStdout();
    run({000233}, 1, 0x0F);                               // SPL 3
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Unrealized instruction 0x009B on PC = 0x0200\n");
    EXPECT_EQ(c.psw, 0x0Fu);
    EXPECT_EQ(c.r[0], 7u);
    EXPECT_EQ(c.vector, 000233u);
    EXPECT_EQ(c.r[7], ORG + 2);
    ::testing::internal::CaptureStdout();
    run({000001, 000005, 0106500}, 3);                    // WAIT, RESET silent; MFPD reported
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Unrealized instruction 0x8D40 on PC = 0x0204\n");
}

TEST_F(Execution, TrapsPushPswAndPcAndLoadVector) {
    m.set_word(030, 03000);
    m.set_word(032, 0400 | 0x01);                         // vector PSW enters HALT mode
    c.r[6] = 0700;
    run({0104377}, 1, 0x0E);                              // EMT 377
    EXPECT_EQ(c.r[7], 03000u);
    EXPECT_EQ(c.psw, 0401u);
    EXPECT_EQ(c.r[6], 0674u);
    EXPECT_EQ(m.word(0676), 0x0Eu);
    EXPECT_EQ(m.word(0674), ORG + 2);
    struct { uint32_t op, vector; } traps[] = {
        {0104400, 034}, {000003, 014}, {000004, 020}, {000007, 010},
        {0170000, 010}, {0177777, 010}, {000100, 4}, {004700, 4},  // JMP R0, JSR PC,R0
    };
    for (auto t : traps) {
        m.set_word(t.vector, 04000 + t.vector);
        m.set_word(t.vector + 2, 0);
        c.r[6] = 0700;
        run({t.op}, 1);
        EXPECT_EQ(c.r[7], 04000 + t.vector) << std::oct << t.op;
    }
}

TEST_F(Execution, InterruptPushesNextInstructionAddress) {
    m.set_word(0100, 03000);
    m.set_word(0102, 0340);
    c.r[6] = 0700;
    run({005200, 005200}, 1, PDP11_T);
    request_interrupt(&c, 0100);
    m.step();
    EXPECT_EQ(m.word(0674), ORG + 2);
    EXPECT_EQ(m.word(0676), PDP11_T);
    EXPECT_EQ(c.r[7], 03000u);
    EXPECT_EQ(c.psw, 0340u);
}

TEST_F(Execution, SubroutineCallReturnAndMark) {
    c.r[6] = 0700;
    m.load(02000, {005201, 000207});                      // INC R1; RTS PC
    run({004767, 02000 - (ORG + 4), 005202}, 4);          // JSR PC,sub; INC R2
    EXPECT_EQ(c.r[1], 1u);
    EXPECT_EQ(c.r[2], 1u);
    EXPECT_EQ(c.r[6], 0700u);
    c.r[5] = 0;
    m.load(02000, {000205});                              // RTS R5
    run({004537, 02000, 0x1111, 005203}, 2);              // JSR R5,@#2000 with inline word
    EXPECT_EQ(c.r[7], ORG + 4);                           // R5 pointed at the inline word
    EXPECT_EQ(c.r[5], 0u);
    // MARK 1 at 03002 with one argument word: SP = PC + 2, PC = R5, R5 = pop.
    m.load(03000, {0x1234, 006401, 0x7777, 0x5555});
    c.r[5] = 02000;
    m.load(02000, {005204});
    m.load(ORG, {000167, 03002 - (ORG + 4)});             // JMP 3002
    m.start(ORG);
    m.step();
    m.step();
    EXPECT_EQ(c.r[7], 02000u);
    EXPECT_EQ(c.r[5], 0x5555u);
    EXPECT_EQ(c.r[6], 03010u);
}

TEST_F(Execution, JumpModesComputeTargets) {
    c.r[1] = 02000;
    run({000121}, 1);                                     // JMP (R1)+
    EXPECT_EQ(c.r[7], 02000u);
    EXPECT_EQ(c.r[1], 02002u);
    run({000141}, 1);                                     // JMP -(R1)
    EXPECT_EQ(c.r[7], 02000u);
    EXPECT_EQ(c.r[1], 02000u);
    m.set_word(02004, 03000);
    run({000171, 4}, 1);                                  // JMP @4(R1)
    EXPECT_EQ(c.r[7], 03000u);
    run({000161, 6}, 1);                                  // JMP 6(R1)
    EXPECT_EQ(c.r[7], 02006u);
}

TEST_F(Execution, BranchesAndSob) {
    struct { uint32_t op, psw; bool taken; } cases[] = {
        {0001001, 0, true}, {0001001, PDP11_Z, false},                   // BNE
        {0002001, PDP11_N | PDP11_V, true}, {0002401, PDP11_N, true},    // BGE, BLT
        {0003001, PDP11_Z, false}, {0003401, PDP11_V, true},             // BGT, BLE
        {0101001, 0, true}, {0101001, PDP11_C, false},                   // BHI
        {0101401, PDP11_Z, true}, {0103001, PDP11_C, false},             // BLOS, BCC
        {0103401, PDP11_C, true}, {0100401, PDP11_N, true},              // BCS, BMI
    };
    for (auto b : cases) {
        run({b.op}, 1, b.psw);
        EXPECT_EQ(c.r[7], ORG + (b.taken ? 4u : 2u)) << std::oct << b.op;
    }
    run({000777}, 1);                                     // BR .
    EXPECT_EQ(c.r[7], ORG);
    c.r[0] = 3;
    m.load(ORG, {005201, 077002});                        // INC R1; SOB R0,.-2
    m.start(ORG);
    for (int i = 0; i < 6; ++i) m.step();
    EXPECT_EQ(c.r[1], 3u);
    EXPECT_EQ(c.r[0], 0u);
    EXPECT_EQ(c.r[7], ORG + 4);
}

TEST_F(Execution, AddSubtractCompareFlags) {
    struct { uint32_t op, a, b, result, flags; } cases[] = {
        // ADD R0,R1: R1 = b + a
        {060001, 0x7FFF, 0x0001, 0x8000, PDP11_N | PDP11_V},
        {060001, 0xFFFF, 0x0001, 0x0000, PDP11_Z | PDP11_C},
        {060001, 0x8000, 0x8000, 0x0000, PDP11_Z | PDP11_V | PDP11_C},
        // SUB R0,R1: R1 = b - a
        {0160001, 0x0001, 0x0000, 0xFFFF, PDP11_N | PDP11_C},
        {0160001, 0x0001, 0x8000, 0x7FFF, PDP11_V},
        // CMP R0,R1: a - b, R1 unchanged
        {020001, 0x0000, 0x0001, 0x0001, PDP11_N | PDP11_C},
        {020001, 0x8000, 0x0001, 0x0001, PDP11_V},
        // CMPB R0,R1 on the low bytes
        {0120001, 0x0080, 0x0001, 0x0001, PDP11_V},
        // BIC, BIS, XOR keep C
        {040001, 0x00FF, 0x0F0F, 0x0F00, PDP11_C},
        {050001, 0x8000, 0x0001, 0x8001, PDP11_N | PDP11_C},
        {074001, 0xFFFF, 0xFFFF, 0x0000, PDP11_Z | PDP11_C},
    };
    for (auto t : cases) {
        c.r[0] = t.a;
        c.r[1] = t.b;
        run({t.op}, 1, (t.op & 070000) >= 040000 ? PDP11_V | PDP11_C : 0);
        EXPECT_EQ(c.r[1], t.result) << std::oct << t.op << " " << t.a << " " << t.b;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.a << " " << t.b;
    }
}

TEST_F(Execution, SingleOperandFlags) {
    struct { uint32_t op, value, psw_in, result, flags; } cases[] = {
        {005000, 0x1234, NZVC, 0, PDP11_Z},                               // CLR
        {005100, 0x00FF, 0, 0xFF00, PDP11_N | PDP11_C},                   // COM
        {005200, 0x7FFF, PDP11_C, 0x8000, PDP11_N | PDP11_V | PDP11_C},   // INC keeps C
        {005300, 0x8000, 0, 0x7FFF, PDP11_V},                             // DEC
        {005400, 0x8000, 0, 0x8000, PDP11_N | PDP11_V | PDP11_C},         // NEG
        {005400, 0x0000, PDP11_C, 0x0000, PDP11_Z},                       // NEG 0 clears C
        {005500, 0x7FFF, PDP11_C, 0x8000, PDP11_N | PDP11_V},             // ADC
        {005500, 0xFFFF, PDP11_C, 0x0000, PDP11_Z | PDP11_C},
        {005600, 0x0000, PDP11_C, 0xFFFF, PDP11_N | PDP11_C},             // SBC
        {005600, 0x8000, PDP11_C, 0x7FFF, PDP11_V},
        {005700, 0x8000, NZVC, 0x8000, PDP11_N},                          // TST
        {006000, 0x0001, 0, 0x0000, PDP11_Z | PDP11_V | PDP11_C},         // ROR
        {006000, 0x0000, PDP11_C, 0x8000, PDP11_N | PDP11_V},
        {006100, 0x8000, 0, 0x0000, PDP11_Z | PDP11_V | PDP11_C},         // ROL
        {006200, 0x8001, 0, 0xC000, PDP11_N | PDP11_C},                   // ASR
        {006300, 0x4000, 0, 0x8000, PDP11_N | PDP11_V},                   // ASL
        {000300, 0x80FF, NZVC, 0xFF80, PDP11_N},                          // SWAB: low byte 0x80
        {006700, 0x1234, PDP11_N | PDP11_V | PDP11_C, 0xFFFF, PDP11_N | PDP11_C},  // SXT
        {006700, 0x1234, PDP11_V, 0x0000, PDP11_Z},
        {0105200, 0x127F, 0, 0x1280, PDP11_N | PDP11_V},                  // INCB
        {0105400, 0x5580, 0, 0x5580, PDP11_N | PDP11_V | PDP11_C},        // NEGB
        {0106200, 0x1281, 0, 0x12C0, PDP11_N | PDP11_C},                  // ASRB
        {0105500, 0x12FF, PDP11_C, 0x1200, PDP11_Z | PDP11_C},            // ADCB
    };
    for (auto t : cases) {
        c.r[0] = t.value;
        run({t.op}, 1, t.psw_in);
        EXPECT_EQ(c.r[0], t.result) << std::oct << t.op << " " << t.value;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.value;
    }
}

TEST_F(Execution, ConditionCodeOperators) {
    run({000277}, 1, 0);                                  // SCC
    EXPECT_EQ(c.psw, NZVC);
    run({000241}, 1, NZVC);                               // CLC
    EXPECT_EQ(c.psw, PDP11_N | PDP11_Z | PDP11_V);
    run({000257}, 1, 0x1F);                               // CCC keeps T
    EXPECT_EQ(c.psw, PDP11_T);
}

TEST_F(Execution, MemoryDestinationsThroughEveryMode) {
    c.r[1] = 03000;
    m.set_word(03000, 03100);
    m.set_word(03100, 5);
    m.set_word(03002, 03200);
    m.set_word(03200, 6);
    run({005231, 005271, 0}, 2);                          // INC @(R1)+; INC @0(R1)
    EXPECT_EQ(m.word(03100), 6u);
    EXPECT_EQ(m.word(03200), 7u);
    c.r[1] = 03004;
    run({005251}, 1);                                     // INC @-(R1)
    EXPECT_EQ(m.word(03200), 8u);
    run({062767, 2, 2}, 1);                               // ADD #2,2(PC): to ORG+8
    EXPECT_EQ(m.word(ORG + 8), 2u);
}

TEST_F(Execution, SmallProgramCopiesStringAndComputesFactorial) {
    const char text[] = "HELLO";
    for (unsigned i = 0; i < sizeof text; ++i) m.mem[02000 + i] = static_cast<uint8_t>(text[i]);
    m.set_word(0160170, 04000);
    m.set_word(0160172, 0400);
    m.load(04000, {000777});                              // BR .
    run({012700, 02000,                                   // MOV #2000,R0
         012701, 03000,                                   // MOV #3000,R1
         0112021,                                         // 1010: MOVB (R0)+,(R1)+
         001376,                                          //       BNE 1010
         012703, 1,                                       // MOV #1,R3
         012702, 7,                                       // MOV #7,R2
         070302,                                          // 1024: MUL R2,R3
         077202,                                          //       SOB R2,1024
         000000},                                         // HALT
        0);
    for (int i = 0; i < 200 && c.r[7] != 04000; ++i) m.step();
    EXPECT_EQ(c.r[7], 04000u);
    EXPECT_EQ(c.r[3], 5040u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&m.mem[03000]), "HELLO");
    EXPECT_EQ(c.savedPc, ORG + 032);
    EXPECT_EQ(c.psw, 0400u);
}

}  // namespace
