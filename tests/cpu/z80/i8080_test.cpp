// The core in 8080 mode, instruction by instruction: flags of each family (8080
// parity, auxiliary carry including the AND and subtraction rules, DAA, PSW),
// state counts, the opcodes that the Z80 redefined, the interrupt acknowledge,
// and that switching back gives the Z80.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "z80_harness.h"

namespace {

// 8080 flag bits as they sit in F and in the pushed PSW.
constexpr uint8_t S = 0x80, Z = 0x40, AC = 0x10, P = 0x04, CY = 0x01;

std::unique_ptr<Z80Bench> bench_8080() {
    auto b = std::make_unique<Z80Bench>();
    z80_set_8080_mode(&b->cpu, true);
    b->cpu.pc = 0x0100;
    b->cpu.sp = 0xF000;
    b->cpu.hl = 0x8000;
    return b;
}

// One instruction at 0x100 with A, F, B and the byte at HL (0x8000) given;
// A, F, that byte and the state count after it.
struct FlagCase {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t a, f, b, m;
    uint8_t a_out, f_out, m_out;
    int states;
};

const FlagCase flag_cases[] = {
    // ADD/ADC: AC is the carry out of bit 3, P the parity of the result.
    {"ADD B half carry", {0x80}, 0x0F, 0, 0x01, 0, 0x10, AC, 0, 4},
    {"ADD B to zero", {0x80}, 0xFF, 0, 0x01, 0, 0x00, Z | AC | P | CY, 0, 4},
    {"ADD B overflow is no parity", {0x80}, 0x7F, 0, 0x01, 0, 0x80, S | AC, 0, 4},
    {"ADC B with carry", {0x88}, 0x10, CY, 0x0F, 0, 0x20, AC, 0, 4},
    {"ADD M", {0x86}, 0x01, 0, 0, 0x02, 0x03, P, 0x02, 7},
    {"ADI", {0xC6, 0x0E}, 0x01, 0, 0, 0, 0x0F, P, 0, 7},
    // SUB/SBB/CMP: A + ~v + !borrow, so AC is set when no borrow crosses bit 4.
    {"SUB B no half borrow", {0x90}, 0x05, 0, 0x03, 0, 0x02, AC, 0, 4},
    {"SUB B half borrow", {0x90}, 0x10, 0, 0x01, 0, 0x0F, P, 0, 4},
    {"SUB B borrow", {0x90}, 0x00, 0, 0x01, 0, 0xFF, S | P | CY, 0, 4},
    {"SUB A", {0x97}, 0x3C, CY, 0, 0, 0x00, Z | AC | P, 0, 4},
    {"SBB B with carry", {0x98}, 0x05, CY, 0x03, 0, 0x01, AC, 0, 4},
    {"SBB A with carry", {0x9F}, 0x00, CY, 0, 0, 0xFF, S | P | CY, 0, 4},
    {"CMP B equal", {0xB8}, 0x05, 0, 0x05, 0, 0x05, Z | AC | P, 0, 4},
    {"CMP B below", {0xB8}, 0x02, 0, 0x05, 0, 0x02, S | CY, 0, 4},
    {"CPI", {0xFE, 0x40}, 0x41, 0, 0, 0, 0x41, AC, 0, 7},
    {"SUI", {0xD6, 0x01}, 0x00, 0, 0, 0, 0xFF, S | P | CY, 0, 7},
    // ANA/ANI: AC is bit 3 of either operand ORed; CY cleared.
    {"ANA B bit 3 of A", {0xA0}, 0x08, CY, 0x00, 0, 0x00, Z | AC | P, 0, 4},
    {"ANA B bit 3 of B", {0xA0}, 0x00, CY, 0x08, 0, 0x00, Z | AC | P, 0, 4},
    {"ANA B no bit 3", {0xA0}, 0x01, CY, 0x03, 0, 0x01, 0, 0, 4},
    {"ANI bit 3 of operand", {0xE6, 0x88}, 0x80, 0, 0, 0, 0x80, S | AC, 0, 7},
    // XRA/ORA: AC and CY cleared.
    {"XRA A", {0xAF}, 0x5A, AC | CY, 0, 0, 0x00, Z | P, 0, 4},
    {"ORA B", {0xB0}, 0x80, AC | CY, 0x01, 0, 0x81, S | P, 0, 4},
    {"XRI", {0xEE, 0x0F}, 0xF0, CY, 0, 0, 0xFF, S | P, 0, 7},
    // INR/DCR: CY kept; AC from the low nibble of the result.
    {"INR A half carry", {0x3C}, 0x0F, CY, 0, 0, 0x10, AC | CY, 0, 5},
    {"INR A to zero", {0x3C}, 0xFF, 0, 0, 0, 0x00, Z | AC | P, 0, 5},
    {"INR A parity", {0x3C}, 0x02, 0, 0, 0, 0x03, P, 0, 5},
    {"DCR A nibble borrow", {0x3D}, 0x10, 0, 0, 0, 0x0F, P, 0, 5},
    {"DCR A to zero", {0x3D}, 0x01, CY, 0, 0, 0x00, Z | AC | P | CY, 0, 5},
    {"DCR A wraps", {0x3D}, 0x00, 0, 0, 0, 0xFF, S | P, 0, 5},
    {"INR M", {0x34}, 0, CY, 0, 0x7F, 0, S | AC | CY, 0x80, 10},
    {"DCR M", {0x35}, 0, 0, 0, 0x80, 0, 0, 0x7F, 10},
    // DAA: +6 for a low digit over 9 or AC, +0x60 for A over 0x99 or CY.
    {"DAA both digits", {0x27}, 0x9B, 0, 0, 0, 0x01, AC | CY, 0, 4},
    {"DAA low digit", {0x27}, 0x3C, 0, 0, 0, 0x42, AC | P, 0, 4},
    {"DAA from flags", {0x27}, 0x00, AC | CY, 0, 0, 0x66, P | CY, 0, 4},
    {"DAA nothing to do", {0x27}, 0x42, 0, 0, 0, 0x42, P, 0, 4},
    {"DAA high digit only", {0x27}, 0xA0, 0, 0, 0, 0x00, Z | P | CY, 0, 4},
    // Rotates change CY only; CMA nothing; STC and CMC CY only.
    {"RLC", {0x07}, 0x80, S | Z | AC | P, 0, 0, 0x01, S | Z | AC | P | CY, 0, 4},
    {"RRC", {0x0F}, 0x01, 0, 0, 0, 0x80, CY, 0, 4},
    {"RAL", {0x17}, 0x80, 0, 0, 0, 0x00, CY, 0, 4},
    {"RAR", {0x1F}, 0x01, 0, 0, 0, 0x00, CY, 0, 4},
    {"RAR with carry", {0x1F}, 0x00, CY | Z, 0, 0, 0x80, Z, 0, 4},
    {"CMA", {0x2F}, 0x0F, Z | CY, 0, 0, 0xF0, Z | CY, 0, 4},
    {"STC", {0x37}, 0x00, Z, 0, 0, 0x00, Z | CY, 0, 4},
    {"CMC", {0x3F}, 0x00, AC | CY, 0, 0, 0x00, AC, 0, 4},
};

TEST(I8080Flags, EveryFamily) {
    for (const FlagCase& c : flag_cases) {
        SCOPED_TRACE(c.name);
        auto b = bench_8080();
        b->cpu.a = c.a;
        b->cpu.f = c.f;
        z80_set_hi(b->cpu.bc, c.b);
        b->memory[0x8000] = c.m;
        for (size_t k = 0; k < c.code.size(); ++k) b->memory[0x100 + k] = c.code[k];
        EXPECT_EQ(b->run_one(), c.states);
        EXPECT_EQ(b->cpu.a, c.a_out);
        EXPECT_EQ(b->cpu.f, c.f_out);
        EXPECT_EQ(b->memory[0x8000], c.m_out);
        EXPECT_EQ(b->cpu.pc, 0x100 + c.code.size());
    }
}

TEST(I8080Flags, DadChangesOnlyCarry) {
    auto b = bench_8080();
    b->cpu.hl = 0xFFFF;
    b->cpu.bc = 0x0001;
    b->cpu.f = Z | P;
    b->load(0x100, {0x09, 0x29});  // DAD B; DAD H
    EXPECT_EQ(b->run_one(), 10);
    EXPECT_EQ(b->cpu.hl, 0x0000);
    EXPECT_EQ(b->cpu.f, Z | P | CY);
    EXPECT_EQ(b->run_one(), 10);
    EXPECT_EQ(b->cpu.f, Z | P);
}

// PUSH PSW shows bit 1 set and bits 5 and 3 clear whatever was popped.
TEST(I8080Flags, PswKeepsTheFixedBits) {
    auto b = bench_8080();
    b->load(0xE000, {0xFF, 0x12});
    b->cpu.sp = 0xE000;
    b->load(0x100, {0xF1, 0xF5});  // POP PSW; PUSH PSW
    EXPECT_EQ(b->run_one(), 10);
    EXPECT_EQ(b->cpu.a, 0x12);
    EXPECT_EQ(b->cpu.f, S | Z | AC | P | CY);
    b->memory[0xE000] = 0;
    EXPECT_EQ(b->run_one(), 11);
    EXPECT_EQ(b->memory[0xE000], 0xD7);
    EXPECT_EQ(b->memory[0xE001], 0x12);
    // Switching a Z80 with every flag set into 8080 mode clears bits 5, 3 and 1.
    Z80Bench z80;
    z80.cpu.f = 0xFF;
    z80_set_8080_mode(&z80.cpu, true);
    EXPECT_EQ(z80.cpu.f, 0xD5);
}

// Control transfers and state counts, code at 0x100, SP = 0xF000, the word
// 0x0200 on the stack, F given; PC, SP and states after one instruction.
struct FlowCase {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t f;
    uint16_t pc_out, sp_out;
    int states;
};

const FlowCase flow_cases[] = {
    // The opcodes the Z80 redefined: NOPs, JMP, RET and CALL on the 8080.
    {"08 NOP", {0x08}, 0, 0x101, 0xF000, 4},
    {"10 NOP", {0x10, 0xFE}, 0, 0x101, 0xF000, 4},
    {"18 NOP", {0x18, 0xFE}, 0, 0x101, 0xF000, 4},
    {"20 NOP", {0x20, 0xFE}, 0, 0x101, 0xF000, 4},
    {"28 NOP", {0x28, 0xFE}, Z, 0x101, 0xF000, 4},
    {"30 NOP", {0x30, 0xFE}, 0, 0x101, 0xF000, 4},
    {"38 NOP", {0x38, 0xFE}, CY, 0x101, 0xF000, 4},
    {"CB JMP", {0xCB, 0x34, 0x12}, 0, 0x1234, 0xF000, 10},
    {"D9 RET", {0xD9}, 0, 0x0200, 0xF002, 10},
    {"DD CALL", {0xDD, 0x34, 0x12}, 0, 0x1234, 0xEFFE, 17},
    {"ED CALL", {0xED, 0x34, 0x12}, 0, 0x1234, 0xEFFE, 17},
    {"FD CALL", {0xFD, 0x34, 0x12}, 0, 0x1234, 0xEFFE, 17},
    // Conditional calls and returns, taken and not.
    {"CNZ taken", {0xC4, 0x34, 0x12}, 0, 0x1234, 0xEFFE, 17},
    {"CNZ not taken", {0xC4, 0x34, 0x12}, Z, 0x103, 0xF000, 11},
    {"CPE taken", {0xEC, 0x34, 0x12}, P, 0x1234, 0xEFFE, 17},
    {"CPO not taken", {0xE4, 0x34, 0x12}, P, 0x103, 0xF000, 11},
    {"RC taken", {0xD8}, CY, 0x0200, 0xF002, 11},
    {"RC not taken", {0xD8}, 0, 0x101, 0xF000, 5},
    {"RM taken", {0xF8}, S, 0x0200, 0xF002, 11},
    {"JPO taken", {0xE2, 0x34, 0x12}, 0, 0x1234, 0xF000, 10},
    {"JPO not taken", {0xE2, 0x34, 0x12}, P, 0x103, 0xF000, 10},
    {"CALL", {0xCD, 0x34, 0x12}, 0, 0x1234, 0xEFFE, 17},
    {"RET", {0xC9}, 0, 0x0200, 0xF002, 10},
    {"RST 7", {0xFF}, 0, 0x0038, 0xEFFE, 11},
    {"PCHL", {0xE9}, 0, 0x8000, 0xF000, 5},
    {"SPHL", {0xF9}, 0, 0x101, 0x8000, 5},
    {"XTHL", {0xE3}, 0, 0x101, 0xF000, 18},
    {"PUSH B", {0xC5}, 0, 0x101, 0xEFFE, 11},
    {"POP B", {0xC1}, 0, 0x101, 0xF002, 10},
    {"INX SP", {0x33}, 0, 0x101, 0xF001, 5},
    {"DCX SP", {0x3B}, 0, 0x101, 0xEFFF, 5},
    {"LXI SP", {0x31, 0x00, 0x90}, 0, 0x103, 0x9000, 10},
    {"MOV B,C", {0x41}, 0, 0x101, 0xF000, 5},
    {"MOV B,M", {0x46}, 0, 0x101, 0xF000, 7},
    {"MOV M,B", {0x70}, 0, 0x101, 0xF000, 7},
    {"MVI M", {0x36, 0x00}, 0, 0x102, 0xF000, 10},
    {"MVI B", {0x06, 0x00}, 0, 0x102, 0xF000, 7},
    {"LDA", {0x3A, 0x00, 0x80}, 0, 0x103, 0xF000, 13},
    {"STA", {0x32, 0x00, 0x80}, 0, 0x103, 0xF000, 13},
    {"LHLD", {0x2A, 0x00, 0x80}, 0, 0x103, 0xF000, 16},
    {"SHLD", {0x22, 0x00, 0x80}, 0, 0x103, 0xF000, 16},
    {"LDAX B", {0x0A}, 0, 0x101, 0xF000, 7},
    {"STAX D", {0x12}, 0, 0x101, 0xF000, 7},
    {"XCHG", {0xEB}, 0, 0x101, 0xF000, 4},
    {"IN", {0xDB, 0x10}, 0, 0x102, 0xF000, 10},
    {"OUT", {0xD3, 0x10}, 0, 0x102, 0xF000, 10},
    {"EI", {0xFB}, 0, 0x101, 0xF000, 4},
    {"DI", {0xF3}, 0, 0x101, 0xF000, 4},
    {"HLT", {0x76}, 0, 0x100, 0xF000, 7},
};

TEST(I8080Flow, RedefinedOpcodesAndStateCounts) {
    for (const FlowCase& c : flow_cases) {
        SCOPED_TRACE(c.name);
        auto b = bench_8080();
        b->cpu.f = c.f;
        b->load(0xF000, {0x00, 0x02});
        for (size_t k = 0; k < c.code.size(); ++k) b->memory[0x100 + k] = c.code[k];
        EXPECT_EQ(b->run_one(), c.states);
        EXPECT_EQ(b->cpu.pc, c.pc_out);
        EXPECT_EQ(b->cpu.sp, c.sp_out);
        if (c.sp_out == 0xEFFE && c.pc_out != 0x101) {  // a call pushed the address after it
            EXPECT_EQ(b->memory[0xEFFE] | (b->memory[0xEFFF] << 8), c.code[0] == 0xFF ? 0x101 : 0x103);
        }
        EXPECT_EQ(b->cpu.step, decode_main) << "the whole instruction ran";
    }
}

// XTHL swaps; IN and OUT put the port number on both address bus halves.
TEST(I8080Flow, ExchangeAndPorts) {
    auto b = bench_8080();
    b->cpu.hl = 0x1234;
    b->cpu.a = 0x99;
    b->load(0xF000, {0x78, 0x56});
    b->load(0x100, {0xE3, 0xD3, 0x42, 0xDB, 0x37});  // XTHL; OUT 42; IN 37
    b->run_one();
    EXPECT_EQ(b->cpu.hl, 0x5678);
    EXPECT_EQ(b->memory[0xF000], 0x34);
    EXPECT_EQ(b->memory[0xF001], 0x12);
    b->run_one();
    ASSERT_EQ(b->port_writes.size(), 1u);
    EXPECT_EQ(b->port_writes[0], 0x424299u);
    b->run_one();
    EXPECT_EQ(b->cpu.a, 0x37);  // the bench answers a port read with the address's high byte
}

// An interrupt executes RST 38h from the bus in 11 states, IM 2 or not, and
// leaves a HLT for the instruction after it.
TEST(I8080Flow, InterruptAcknowledgeIsRst7) {
    auto b = bench_8080();
    b->cpu.im = 3;
    b->cpu.i = 0x80;
    b->load(0x100, {0xFB, 0x76});  // EI; HLT
    b->run_one();
    b->run_one();
    EXPECT_TRUE(b->halted());
    ASSERT_TRUE(z80_iff1(&b->cpu));
    const int32_t before = b->cpu.ticks;
    z80_accept_interrupt(&b->cpu);
    b->run_one();  // the acknowledge, up to the handler's first fetch
    EXPECT_EQ(before - b->cpu.ticks, 11);
    EXPECT_EQ(b->cpu.pc, 0x0038);
    EXPECT_EQ(b->cpu.sp, 0xEFFE);
    EXPECT_EQ(b->memory[0xEFFE] | (b->memory[0xEFFF] << 8), 0x102);
    EXPECT_EQ(b->cpu.iff, 0);
}

// The 8080 mode is per record and can be left again: then 08 is EX AF,AF' and
// CB a prefix once more.
TEST(I8080Flow, SwitchingBackGivesTheZ80) {
    auto b = bench_8080();
    EXPECT_TRUE(z80_8080_mode(&b->cpu));
    Z80Bench other;
    EXPECT_FALSE(z80_8080_mode(&other.cpu));
    z80_set_8080_mode(&b->cpu, false);
    EXPECT_FALSE(z80_8080_mode(&b->cpu));
    b->cpu.a = 0x11;
    b->cpu.af_alt = 0x0022;
    b->load(0x100, {0x08, 0xCB, 0x07});  // EX AF,AF'; RLC A
    EXPECT_EQ(b->run_one(), 4);
    EXPECT_EQ(b->cpu.a, 0x22);
    EXPECT_EQ(b->run_one(), 8);
    EXPECT_EQ(b->cpu.a, 0x44);
    EXPECT_EQ(b->cpu.pc, 0x103);
}

}  // namespace
