// Instruction results checked row by row against the documented PDP-11
// semantics: every instruction family with its N Z V C rules, byte forms on
// odd addresses, PC-relative operands and the K1801VM2 choices (EIS edges,
// trap vectors, condition-code operators).

#include <gtest/gtest.h>

#include "cpu/pdp11/pdp11.h"
#include "test_machine.h"

namespace {

constexpr uint32_t ORG = 01000;
constexpr uint32_t N = PDP11_N, Z = PDP11_Z, V = PDP11_V, C = PDP11_C;
constexpr uint32_t NZVC = N | Z | V | C;

struct InstructionTable : ::testing::Test {
    Pdp11TestMachine m;
    Pdp11Cpu& c = m.cpu;

    void run(std::initializer_list<uint32_t> code, uint32_t psw = 0, int count = 1) {
        m.load(ORG, code);
        m.start(ORG, psw);
        for (int i = 0; i < count; ++i) m.step();
    }
    uint32_t flags() const { return c.psw & NZVC; }
};

// Two-operand word and byte instructions, register operands: R0 = source, R1 = destination.
TEST_F(InstructionTable, TwoOperandResultsAndFlags) {
    struct { uint32_t op, src, dst, psw_in, result, flags; } rows[] = {
        {010001, 0x8000, 0x1111, V | C, 0x8000, N | C},       // MOV: V cleared, C kept
        {010001, 0x0000, 0x1111, N, 0x0000, Z},
        {020001, 0x0001, 0x0002, 0, 0x0002, N | C},           // CMP 1-2: borrow
        {020001, 0x0002, 0x0001, NZVC, 0x0001, 0},
        {020001, 0x7FFF, 0xFFFF, 0, 0xFFFF, N | V | C},       // 32767 - (-1) overflows
        {020001, 0x8000, 0x0001, 0, 0x0001, V},               // -32768 - 1
        {020001, 0x1234, 0x1234, NZVC, 0x1234, Z},
        {030001, 0x8001, 0x8000, V | C, 0x8000, N | C},       // BIT keeps C
        {030001, 0x00FF, 0xFF00, 0, 0xFF00, Z},
        {040001, 0x8001, 0xFFFF, V, 0x7FFE, 0},               // BIC
        {040001, 0xFFFF, 0x1234, C, 0x0000, Z | C},
        {050001, 0x8000, 0x0001, V, 0x8001, N},               // BIS
        {060001, 0x7FFF, 0x7FFF, 0, 0xFFFE, N | V},           // ADD
        {060001, 0xFFFF, 0xFFFF, 0, 0xFFFE, N | C},
        {060001, 0x0001, 0xFFFF, 0, 0x0000, Z | C},
        {0160001, 0x0001, 0x0000, 0, 0xFFFF, N | C},          // SUB: dst - src
        {0160001, 0xFFFF, 0x7FFF, 0, 0x8000, N | V | C},
        {0160001, 0x0001, 0x8000, 0, 0x7FFF, V},
        {0160001, 0x0005, 0x0005, NZVC, 0x0000, Z},
        {074001, 0x8001, 0x0001, V | C, 0x8000, N | C},       // XOR R0,R1 keeps C
        {0110001, 0x1280, 0x3333, V | C, 0xFF80, N | C},      // MOVB sign-extends
        {0110001, 0xFF7F, 0x3333, 0, 0x007F, 0},
        {0120001, 0x3301, 0x4402, 0, 0x4402, N | C},          // CMPB on low bytes
        {0120001, 0x0080, 0x0001, 0, 0x0001, V},
        {0130001, 0xFF00, 0x00FF, 0, 0x00FF, Z},              // BITB
        {0140001, 0x000F, 0xABFF, 0, 0xABF0, N},              // BICB keeps the high byte
        {0150001, 0x0080, 0x1200, C, 0x1280, N | C},          // BISB
    };
    for (auto t : rows) {
        c.r[0] = t.src;
        c.r[1] = t.dst;
        run({t.op}, t.psw_in);
        EXPECT_EQ(c.r[1], t.result) << std::oct << t.op << " " << t.src << " " << t.dst;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.src << " " << t.dst;
        EXPECT_EQ(c.r[0], t.src) << std::oct << t.op;
    }
}

// Byte single-operand instructions on an odd memory address: only that byte changes.
TEST_F(InstructionTable, ByteSingleOperandOnOddAddress) {
    struct { uint32_t op, value, psw_in, result, flags; } rows[] = {
        {0105010, 0x80, NZVC, 0x00, Z},                      // CLRB
        {0105110, 0x0F, V, 0xF0, N | C},                     // COMB
        {0105210, 0x7F, C, 0x80, N | V | C},                 // INCB keeps C
        {0105310, 0x80, 0, 0x7F, V},                         // DECB
        {0105310, 0x00, C, 0xFF, N | C},
        {0105410, 0x01, 0, 0xFF, N | C},                     // NEGB
        {0105410, 0x00, C, 0x00, Z},
        {0105410, 0x80, 0, 0x80, N | V | C},
        {0105510, 0x7F, C, 0x80, N | V},                     // ADCB
        {0105510, 0xFF, C, 0x00, Z | C},
        {0105610, 0x00, C, 0xFF, N | C},                     // SBCB
        {0105610, 0x80, C, 0x7F, V},
        {0105610, 0x00, 0, 0x00, Z},
        {0105710, 0x80, V | C, 0x80, N},                     // TSTB clears C
        {0106010, 0x01, 0, 0x00, Z | V | C},                 // RORB: V = N xor C
        {0106010, 0x02, C, 0x81, N | V},
        {0106110, 0x80, 0, 0x00, Z | V | C},                 // ROLB
        {0106110, 0x40, C, 0x81, N | V},
        {0106210, 0x81, 0, 0xC0, N | C},                     // ASRB
        {0106210, 0x01, 0, 0x00, Z | V | C},
        {0106310, 0xC0, 0, 0x80, N | C},                     // ASLB
        {0106310, 0x40, 0, 0x80, N | V},
    };
    for (auto t : rows) {
        c.r[0] = 03001;
        m.set_word(03000, 0x55 | (t.value << 8));
        run({t.op}, t.psw_in);
        EXPECT_EQ(m.word(03000), 0x55 | (t.result << 8)) << std::oct << t.op << " " << t.value;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.value;
        EXPECT_EQ(c.r[0], 03001u);
    }
    c.r[0] = 03001;
    m.set_word(03000, 0x80FF);
    run({0105040});                                       // CLRB -(R0) steps by one
    EXPECT_EQ(c.r[0], 03000u);
    EXPECT_EQ(m.word(03000), 0x8000u);
}

// Word single-operand memory forms not reached through registers elsewhere.
TEST_F(InstructionTable, WordMemoryForms) {
    struct { uint32_t op, value, psw_in, result, flags; } rows[] = {
        {000310, 0x8012, NZVC, 0x1280, N},                   // SWAB: flags of the new low byte
        {000310, 0x00FF, 0, 0xFF00, Z},
        {006710, 0x1234, N | C, 0xFFFF, N | C},              // SXT
        {006710, 0x1234, Z | V, 0x0000, Z},
        {005010, 0x1234, NZVC, 0x0000, Z},                   // CLR
        {005110, 0x0000, 0, 0xFFFF, N | C},                  // COM
        {005410, 0x8000, 0, 0x8000, N | V | C},              // NEG
        {006010, 0x8001, C, 0xC000, N | C},                  // ROR: V = N xor C = 0
        {006110, 0x4000, 0, 0x8000, N | V},                  // ROL
        {006210, 0x0001, 0, 0x0000, Z | V | C},              // ASR
        {006310, 0x8000, 0, 0x0000, Z | V | C},              // ASL
        {074110, 0xFFFF, C, 0x0FF0, C},                      // XOR R1,(R0) with R1 = F00F
    };
    for (auto t : rows) {
        c.r[0] = 03000;
        c.r[1] = 0xF00F;
        m.set_word(03000, t.value);
        run({t.op}, t.psw_in);
        EXPECT_EQ(m.word(03000), t.result) << std::oct << t.op << " " << t.value;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.value;
    }
}

// Byte moves and compares through memory at odd and even addresses.
TEST_F(InstructionTable, ByteTwoOperandMemory) {
    c.r[0] = 03001;
    c.r[1] = 0x1234;
    m.set_word(03000, 0xAB55);
    run({0110110}, V | C);                                // MOVB R1,(R0)
    EXPECT_EQ(m.word(03000), 0x3455u);
    EXPECT_EQ(flags(), C);
    m.set_word(03000, 0x9A55);
    run({0111001});                                       // MOVB (R0),R1
    EXPECT_EQ(c.r[1], 0xFF9Au);
    EXPECT_EQ(flags(), N);
    c.r[1] = 0x009A;
    run({0120110});                                       // CMPB R1,(R0): equal bytes
    EXPECT_EQ(flags(), Z);
    c.r[1] = 0x00F0;
    run({0140110});                                       // BICB R1,(R0)
    EXPECT_EQ(m.word(03000), 0x0A55u);
    c.r[1] = 0x0081;
    run({0150110});                                       // BISB R1,(R0)
    EXPECT_EQ(m.word(03000), 0x8B55u);
    EXPECT_EQ(flags(), N);
    run({0130110});                                       // BITB R1,(R0)
    EXPECT_EQ(flags(), N);
    m.set_word(03002, 0x00C3);
    c.r[0] = 03002;
    c.r[2] = 03005;
    m.set_word(03004, 0x1111);
    run({0112022});                                       // MOVB (R0)+,(R2)+
    EXPECT_EQ(m.word(03004), 0xC311u);
    EXPECT_EQ(c.r[0], 03003u);
    EXPECT_EQ(c.r[2], 03006u);
}

TEST_F(InstructionTable, MultiplyRows) {
    struct { uint32_t op, reg, src, high, low, flags; } rows[] = {
        {070204, 3, 4, 0, 12, 0},                            // MUL R4,R2
        {070204, 0xFFFF, 1, 0xFFFF, 0xFFFF, N},
        {070204, 0x0100, 0x0100, 1, 0, C},                   // 65536 does not fit 16 bits
        {070204, 0xFF38, 200, 0xFFFF, 0x63C0, N | C},        // -200 * 200 = -40000
        {070204, 0x7FFF, 0xFFFF, 0xFFFF, 0x8001, N},         // -32767 fits
        {070204, 0x4000, 0xFFFE, 0xFFFF, 0x8000, N},         // -32768 fits
        {070204, 0x0000, 0x1234, 0, 0, Z},
    };
    for (auto t : rows) {
        c.r[2] = t.reg;
        c.r[4] = t.src;
        run({t.op}, V);
        EXPECT_EQ(c.r[2], t.high) << std::hex << t.reg << "*" << t.src;
        EXPECT_EQ(c.r[3], t.low) << std::hex << t.reg << "*" << t.src;
        EXPECT_EQ(flags(), t.flags) << std::hex << t.reg << "*" << t.src;
    }
}

TEST_F(InstructionTable, DivideRows) {
    struct { uint32_t high, low, divisor, quotient, remainder, flags; } rows[] = {
        {0, 100, 7, 14, 2, 0},
        {0xFFFF, 0xFF9C, 7, 0xFFF2, 0xFFFE, N},              // -100 / 7 = -14 rem -2
        {0, 100, 0xFFF9, 0xFFF2, 2, N},                      // 100 / -7 = -14 rem 2
        {0, 0, 5, 0, 0, Z},
        {0xFFFF, 0x0000, 2, 0x8000, 0, N},                   // -32768 fits
        {0x0001, 0x0000, 2, 0x0001, 0x0000, V},              // 32768: overflow, unchanged
        {0x1234, 0x5678, 0, 0x1234, 0x5678, V | C},          // by zero, unchanged
        {0x8000, 0x0000, 0xFFFF, 0x8000, 0x0000, V},
    };
    for (auto t : rows) {
        c.r[2] = t.high;
        c.r[3] = t.low;
        c.r[4] = t.divisor;
        run({071204}, N | Z);                            // DIV R4,R2
        EXPECT_EQ(c.r[2], t.quotient) << std::hex << t.high << ":" << t.low << "/" << t.divisor;
        EXPECT_EQ(c.r[3], t.remainder) << std::hex << t.high << ":" << t.low << "/" << t.divisor;
        EXPECT_EQ(flags(), t.flags) << std::hex << t.high << ":" << t.low << "/" << t.divisor;
    }
}

TEST_F(InstructionTable, ArithmeticShiftRows) {
    struct { uint32_t op, high, low, count, new_high, new_low, flags; } rows[] = {
        {072204, 0x0001, 0, 3, 0x0008, 0, 0},               // ASH R4,R2
        {072204, 0x4000, 0, 1, 0x8000, 0, N | V},
        {072204, 0x8001, 0, 1, 0x0002, 0, V | C},
        {072204, 0x2000, 0, 3, 0x0000, 0, Z | V | C},        // V from a middle step
        {072204, 0x0001, 0, 037, 0x0000, 0, Z | V},          // left 31
        {072204, 0x0011, 0, 077, 0x0008, 0, C},              // right 1
        {072204, 0x8000, 0, 040, 0xFFFF, 0, N | C},          // right 32
        {072204, 0x7FFF, 0, 040, 0x0000, 0, Z},
        {072204, 0x8000, 0, 0, 0x8000, 0, N},                // count 0
        {072204, 0x0001, 0, 0101, 0x0002, 0, 0},             // only the low 6 bits count
        {073204, 0x0000, 0x8000, 1, 0x0001, 0x0000, 0},      // ASHC R4,R2
        {073204, 0x4000, 0x0000, 1, 0x8000, 0x0000, N | V},
        {073204, 0x8000, 0x0001, 077, 0xC000, 0x0000, N | C},
        {073204, 0x8000, 0x0000, 040, 0xFFFF, 0xFFFF, N | C},
        {073204, 0x0000, 0x0001, 037, 0x8000, 0x0000, N | V},
        {073204, 0x1234, 0x5678, 0, 0x1234, 0x5678, 0},
    };
    for (auto t : rows) {
        c.r[2] = t.high;
        c.r[3] = t.low;
        c.r[4] = t.count;
        run({t.op}, V | C);
        EXPECT_EQ(c.r[2], t.new_high) << std::oct << t.op << " " << t.high << " " << t.count;
        EXPECT_EQ(c.r[3], t.new_low) << std::oct << t.op << " " << t.high << " " << t.count;
        EXPECT_EQ(flags(), t.flags) << std::oct << t.op << " " << t.high << " " << t.count;
    }
    c.r[3] = 0x1234;
    c.r[4] = 4;
    run({073304});                                        // ASHC R4,R3: R3:R3, low word stays
    EXPECT_EQ(c.r[3], 0x2340u);
    EXPECT_EQ(flags(), V | C);                            // the sign changed on the third step
}

TEST_F(InstructionTable, ConditionCodeOperators) {
    struct { uint32_t op, psw_in, psw_out; } rows[] = {
        {000241, 0x1F, 0x1E}, {000242, 0x1F, 0x1D}, {000244, 0x1F, 0x1B}, {000250, 0x1F, 0x17},
        {000243, 0x0F, 0x0C}, {000257, 0x1F, 0x10}, {000240, 0x0A, 0x0A}, {000261, 0, 0x01},
        {000262, 0, 0x02},    {000264, 0, 0x04},    {000270, 0, 0x08},    {000277, 0x10, 0x1F},
        {000260, 0x05, 0x05}, {000266, 0x01, 0x07},
    };
    for (auto t : rows) {
        run({t.op}, t.psw_in);
        EXPECT_EQ(c.psw, t.psw_out) << std::oct << t.op;
    }
}

TEST_F(InstructionTable, PcRelativeAndAbsoluteOperands) {
    m.set_word(03000, 0x1357);
    m.set_word(03002, 0xA0B0);
    run({016700, 03000 - (ORG + 4)});                     // MOV 3000(PC),R0: relative
    EXPECT_EQ(c.r[0], 0x1357u);
    run({017700, 2, 0, 03002});                           // MOV @2(PC),R0: pointer at ORG+6
    EXPECT_EQ(c.r[0], 0xA0B0u);
    run({0116700, 03003 - (ORG + 4)});                    // MOVB 3003(PC),R0: odd, high byte
    EXPECT_EQ(c.r[0], 0xFFA0u);
    run({013700, 03000});                                 // MOV @#3000,R0
    EXPECT_EQ(c.r[0], 0x1357u);
    c.r[1] = 0x4444;
    run({010167, 03004 - (ORG + 4)});                     // MOV R1,3004(PC)
    EXPECT_EQ(m.word(03004), 0x4444u);
    run({022737, 0x4444, 03004}, 0);                      // CMP #4444,@#3004
    EXPECT_EQ(flags(), Z);
    run({062767, 1, 03004 - (ORG + 6)});                  // ADD #1,3004(PC): index after the immediate
    EXPECT_EQ(m.word(03004), 0x4445u);
    run({010700});                                        // MOV PC,R0: the word after the instruction
    EXPECT_EQ(c.r[0], ORG + 2);
    c.r[1] = 02000;
    m.set_word(02006, 0x7654);
    run({016102, 6, 000240});                             // MOV 6(R1),R2 and the next instruction
    EXPECT_EQ(c.r[2], 0x7654u);
    EXPECT_EQ(c.r[7], ORG + 4);
}

TEST_F(InstructionTable, TrapVectorsPushPcAfterTheInstruction) {
    struct { uint32_t op, vector; } rows[] = {
        {0104005, 030}, {0104405, 034},  // EMT, TRAP
        {000003, 014},  {000004, 020},   // BPT, IOT
        {000007, 010},  {0172345, 010},  // MFPT, FPU range
        {000101, 4},    {004501, 4},     // JMP R1, JSR R5,R1: a register has no address
    };
    for (auto t : rows) {
        m.set_word(t.vector, 04000);
        m.set_word(t.vector + 2, 0340 | C);
        c.r[6] = 0700;
        c.r[5] = 0x5555;
        run({t.op}, N | PDP11_T);
        EXPECT_EQ(c.r[7], 04000u) << std::oct << t.op;
        EXPECT_EQ(c.psw, 0340u | C) << std::oct << t.op;
        EXPECT_EQ(c.r[6], 0674u);
        EXPECT_EQ(m.word(0674), ORG + 2) << std::oct << t.op;
        EXPECT_EQ(m.word(0676), N | PDP11_T);
        EXPECT_EQ(c.r[5], 0x5555u);
    }
    // A bus error mid-instruction: the pushed PC is past the words taken so far.
    m.device(0177560, 0);
    m.set_word(4, 04000);
    m.set_word(6, 0);
    c.r[6] = 0700;
    run({013700, 0177000});                               // MOV @#177000,R0: nothing answers
    EXPECT_EQ(c.r[7], 04000u);
    EXPECT_EQ(m.word(0674), ORG + 4);
}

TEST_F(InstructionTable, ReturnFromInterruptRestoresTraceBitAndFlags) {
    c.r[6] = 0700;
    m.set_word(0700, 02000);
    m.set_word(0702, 0xFF);
    run({000002}, 0);
    EXPECT_EQ(c.psw, 0xFFu);                              // priority, T and all flags
    EXPECT_EQ(c.r[7], 02000u);
    // JSR R5 with the old R5 on the stack; RTS R5 pops it back.
    c.r[5] = 0x7777;
    c.r[6] = 0700;
    m.load(02000, {012500, 000205});                      // MOV (R5)+,R0; RTS R5
    run({004567, 02000 - (ORG + 4), 0x2468, 000240}, 0, 3);
    EXPECT_EQ(c.r[0], 0x2468u);
    EXPECT_EQ(c.r[5], 0x7777u);
    EXPECT_EQ(c.r[7], ORG + 6);
    EXPECT_EQ(c.r[6], 0700u);
}

}  // namespace
