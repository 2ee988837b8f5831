// 15IE processor: every opcode's effect, skip, cost and disassembly from one
// table, then the skip mechanism, the display-memory ports, banks, start values
// and the register dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cpu/ie15/ie15.h"
#include "cpu/ie15/ie15_disasm.h"

namespace {

constexpr uint32_t origin = 0x234;  // page 2

struct Machine {
    std::vector<uint8_t> block = std::vector<uint8_t>(0x10000, 0);
    Ie15Cpu cpu{};

    Machine()
    {
        cpu.memory = block.data();
        cpu.fetch_byte = ie15_fetch_flat;
        ie15_connect(&cpu);
        ie15_reset(&cpu);
    }
    void load(uint32_t address, std::initializer_list<uint8_t> code)
    {
        for (uint8_t b : code) block[address++ & 0xFFF] = b;
    }
    // Runs one instruction; returns its cycles.
    int run()
    {
        const int32_t before = cpu.budget;
        ie15_run_instruction(&cpu);
        return (before - cpu.budget) / cpu.speed_factor;
    }
    uint8_t display(uint32_t adr) const { return block[0x1000 + adr]; }
};

std::string dis(std::initializer_list<uint8_t> code, uint32_t options = 0)
{
    Ie15DisasmRequest request{};
    size_t k = 0;
    for (uint8_t b : code) request.code[k++] = b;
    request.options = options;
    ie15_disassemble(request);
    std::string text = request.mnemonic;
    if (request.operands[0]) text += std::string(" ") + request.operands;
    return text;
}

// The state every row starts from: A = 0x5A, C = 0, R3 = 2.C3, R10 = 5.A7.
void base(Ie15Cpu& c)
{
    c.a = 0x5A;
    c.c = 0;
    c.r[0][3] = 0x2C3;
    c.r[0][10] = 0x5A7;
}

using Setup = void (*)(Ie15Cpu&);
using Check = bool (*)(const Ie15Cpu&);

struct Row {
    std::vector<uint8_t> code;  // placed at `start`
    Setup setup;                // after base(); may be null
    const char* text;           // disassembly
    int a, c, skip;             // expected; -1 = not checked
    uint32_t pc;                // expected PC afterwards
    int cycles;
    Check check = nullptr;      // further effects
    uint32_t start = origin;
};

const uint32_t next1 = origin + 1, next2 = origin + 2;

const Row rows[] = {
    // 0n add: 0x5A + 0xC3 carries out.
    {{0x03}, nullptr, "add a,r3", 0x1D, 1, 0, next1, 1},
    {{0x0A}, [](Ie15Cpu& c) { c.c = 1; }, "add a,r10", 0x01, 1, 0, next1, 1},  // no carry in
    {{0x05}, nullptr, "add a,r5", 0x5A, 0, 0, next1, 1},
    // 1n xx jmp: n * 256 OR (xx + 1).
    {{0x1A, 0x40}, nullptr, "jmp $0A41", 0x5A, 0, 0, 0xA41, 2},
    {{0x1A, 0xFF}, nullptr, "jmp $0B00", 0x5A, 0, 0, 0xB00, 2},
    {{0x1B, 0xFF}, nullptr, "jmp $0C00", 0x5A, 0, 0, 0xB00, 2},  // bit 8 already set: stays on page B
    // 2n xx: the page is that of the operand byte.
    {{0x25, 0x77}, nullptr, "ld r5,$77", 0x5A, 0, 0, next2, 2, [](const Ie15Cpu& c) { return c.r[0][5] == 0x277; }},
    {{0x25, 0x10}, nullptr, "ld r5,$10", 0x5A, 0, 0, 0x301, 2, [](const Ie15Cpu& c) { return c.r[0][5] == 0x310; },
     0x2FF},
    {{0x30, 0x99}, nullptr, "ld a,$99", 0x99, 0, 0, next2, 2},
    // Rotates leave C alone.
    {{0x33}, [](Ie15Cpu& c) { c.a = 0x81; c.c = 1; }, "rol a", 0x03, 1, 0, next1, 1},
    {{0x35}, [](Ie15Cpu& c) { c.a = 0x81; }, "ror a", 0xC0, 0, 0, next1, 1},
    // 4n decsn rn: low byte only, skip on 0xFF.
    {{0x43}, nullptr, "decsn r3", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.r[0][3] == 0x2C2; }},
    {{0x43}, [](Ie15Cpu& c) { c.r[0][3] = 0x200; }, "decsn r3", 0x5A, 0, 1, next1, 1,
     [](const Ie15Cpu& c) { return c.r[0][3] == 0x2FF; }},
    // Group 5 on A.
    {{0x50}, [](Ie15Cpu& c) { c.a = 0xFE; }, "incsn a", 0xFF, 0, 1, next1, 1},
    {{0x50}, [](Ie15Cpu& c) { c.a = 0xFF; }, "incsn a", 0x00, 1, 0, next1, 1},
    {{0x51}, [](Ie15Cpu& c) { c.a = 0xFF; }, "inc a", 0x00, 1, 0, next1, 1},
    {{0x51}, [](Ie15Cpu& c) { c.c = 1; }, "inc a", 0x5B, 0, 0, next1, 1},
    {{0x52}, [](Ie15Cpu& c) { c.a = 0; }, "decsn a", 0xFF, 1, 1, next1, 1},
    {{0x52}, [](Ie15Cpu& c) { c.a = 5; c.c = 1; }, "decsn a", 0x04, 0, 0, next1, 1},
    {{0x58}, [](Ie15Cpu& c) { c.a = 0x10; }, "incsp a", 0x11, 0, 1, next1, 1},
    {{0x58}, [](Ie15Cpu& c) { c.a = 0xFE; }, "incsp a", 0xFF, 0, 0, next1, 1},
    {{0x5A}, [](Ie15Cpu& c) { c.a = 0; }, "decsp a", 0xFF, 1, 0, next1, 1},
    {{0x5A}, [](Ie15Cpu& c) { c.a = 5; }, "decsp a", 0x04, 0, 1, next1, 1},
    {{0x5B}, [](Ie15Cpu& c) { c.a = 0; c.c = 1; }, "dec a", 0xFF, 1, 0, next1, 1},
    {{0x5B}, [](Ie15Cpu& c) { c.a = 0; }, "dec a", 0xFF, 0, 0, next1, 1},
    {{0x5D}, nullptr, "cpl a", 0xA5, 0, 0, next1, 1},
    {{0x5F}, [](Ie15Cpu& c) { c.c = 1; }, "clr a", 0x00, 1, 0, next1, 1},
    // Unknown opcodes of groups 3 and 5: one byte, nothing changes.
    {{0x31, 0x00}, nullptr, "nop *", 0x5A, 0, 0, next1, 1},
    {{0x54}, nullptr, "nop *", 0x5A, 0, 0, next1, 1},
    // 6n in.
    {{0x69}, [](Ie15Cpu& c) { c.in_ports[9] = 0x42; }, "in a,(KDAT)", 0x42, 0, 0, next1, 1},
    {{0x66}, [](Ie15Cpu& c) { c.in_ports[6] = 0x33; c.in_ports[1] = 0; }, "in a,(6 *)", 0x33, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.in_ports[1] == 0x80; }},
    {{0x60}, nullptr, "in a,(Data)", 0xFF, 0, 0, next1, 1},
    {{0x67}, nullptr, "in a,(cFF)", 0xFF, 0, 0, next1, 1},
    // 7n jmp rn.
    {{0x7A}, nullptr, "jmp r10", 0x5A, 0, 0, 0x5A7, 1},
    // Skips: 80-87 skip on a clear condition, 88-8F on a set one.
    {{0x80}, nullptr, "skipc HBlank", 0x5A, 0, 1, next1, 1},
    {{0x80}, [](Ie15Cpu& c) { c.flags[0] = 1; }, "skipc HBlank", 0x5A, 0, 0, next1, 1},
    {{0x81}, nullptr, "skipc Marker", 0x5A, 0, 1, next1, 1},
    {{0x82}, [](Ie15Cpu& c) { c.flags[2] = 1; }, "skipc VBlank", 0x5A, 0, 0, next1, 1},
    {{0x83}, nullptr, "skipc KOI7", 0x5A, 0, 1, next1, 1},
    {{0x84}, nullptr, "skipc RusLat", 0x5A, 0, 0, next1, 1},  // RusLat is 1 from reset
    {{0x85}, nullptr, "skipc S", 0x5A, 0, 1, next1, 1},
    {{0x85}, [](Ie15Cpu& c) { c.a = 0x80; }, "skipc S", 0x80, 0, 0, next1, 1},
    {{0x86}, nullptr, "skipc C", 0x5A, 0, 1, next1, 1},
    {{0x87}, nullptr, "skip", 0x5A, 0, 1, next1, 1},
    {{0x88}, [](Ie15Cpu& c) { c.flags[0] = 1; }, "skips HBlank", 0x5A, 0, 1, next1, 1},
    {{0x8C}, nullptr, "skips RusLat", 0x5A, 0, 1, next1, 1},
    {{0x8D}, [](Ie15Cpu& c) { c.a = 0x80; }, "skips S", 0x80, 0, 1, next1, 1},
    {{0x8E}, [](Ie15Cpu& c) { c.c = 1; }, "skips C", 0x5A, 1, 1, next1, 1},
    {{0x8F}, nullptr, "skips c0", 0x5A, 0, 0, next1, 1},
    // Logic on the low byte.
    {{0x93}, nullptr, "and a,r3", 0x42, 0, 0, next1, 1},
    {{0xA3}, nullptr, "xor a,r3", 0x99, 0, 0, next1, 1},
    {{0xB3}, [](Ie15Cpu& c) { c.a = 0xC3; }, "cmpsz a,r3", 0xC3, 0, 1, next1, 1},
    {{0xB3}, nullptr, "cmpsz a,r3", 0x5A, 0, 0, next1, 1},
    // Control bits.
    {{0xC8}, nullptr, "set VDisab", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.vdis == 1; }},
    {{0xC0}, [](Ie15Cpu& c) { c.vdis = 1; }, "clr VDisab", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.vdis == 0; }},
    {{0xC9}, nullptr, "set Marker", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.marken == 1; }},
    {{0xCB}, nullptr, "set SysLin", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.syslin == 1; }},
    {{0xC4}, nullptr, "clr RusLat", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.flags[4] == 0; }},
    {{0xCD}, nullptr, "set CLRC", 0x5A, 1, 0, next1, 1},
    {{0xC5}, [](Ie15Cpu& c) { c.c = 1; }, "clr CLRC", 0x5A, 0, 0, next1, 1},
    {{0xCF}, nullptr, "set KOI7", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.koi7 == 1 && c.flags[3] == 0; }},
    {{0xCA}, nullptr, "set SNDLen", 0x5A, 0, 0, next1, 1},
    {{0xC6}, nullptr, "clr 6 *", 0x5A, 0, 0, next1, 1},
    // Loads between A and registers; ld rn,a takes the page of the next address.
    {{0xD3}, nullptr, "ld a,r3", 0xC3, 0, 0, next1, 1},
    {{0xE7}, nullptr, "ld r7,a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.r[0][7] == 0x25A; }},
    {{0xE7}, nullptr, "ld r7,a", 0x5A, 0, 0, 0x300, 1, [](const Ie15Cpu& c) { return c.r[0][7] == 0x35A; }, 0x2FF},
    // Output ports.
    {{0xF2}, [](Ie15Cpu& c) { c.adr = 0x00C; }, "out (AdrH),a", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.adr == 0x5AC; }},
    {{0xF3}, [](Ie15Cpu& c) { c.adr = 0xF00; }, "out (AdrL),a", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.adr == 0xF05; }},
    {{0xF4}, [](Ie15Cpu& c) { c.adr = 0xFFF; }, "out (AInc),a", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.adr == 0; }},
    {{0xF5}, nullptr, "out (ADec),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.adr == 0xFFF; }},
    {{0xF0}, nullptr, "out (Data),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.data_cycle == 1; }},
    {{0xF9}, nullptr, "out ($9 *),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.out_ports[9] == 0x5A; }},
    {{0xF7}, nullptr, "out (TDAT),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.out_ports[7] == 0x5A; }},
    {{0xF8}, nullptr, "out (SND),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.out_ports[8] == 0; }},
    {{0xFE}, nullptr, "out (Page1),a", 0x5A, 0, 0, next1, 1, [](const Ie15Cpu& c) { return c.bank == 1; }},
    {{0xFF}, [](Ie15Cpu& c) { c.bank = 1; }, "out (Page0),a", 0x5A, 0, 0, next1, 1,
     [](const Ie15Cpu& c) { return c.bank == 0; }},
};

}  // namespace

TEST(Ie15Instructions, EveryRowOfTheTable)
{
    testing::internal::CaptureStdout();
    for (const Row& row : rows) {
        Machine m;
        uint32_t address = row.start;
        for (uint8_t b : row.code) m.block[address++ & 0xFFF] = b;
        base(m.cpu);
        if (row.setup) row.setup(m.cpu);
        m.cpu.pc = row.start;
        const std::string label = std::string(row.text) + " at " + std::to_string(row.start);
        const int cycles = m.run();
        EXPECT_EQ(cycles, row.cycles) << label;
        EXPECT_EQ(m.cpu.pc, row.pc) << label;
        EXPECT_EQ(m.cpu.a, row.a) << label;
        EXPECT_EQ(m.cpu.c, row.c) << label;
        EXPECT_EQ(m.cpu.skip, row.skip) << label;
        if (row.check) {
            EXPECT_TRUE(row.check(m.cpu)) << label;
        }

        Ie15DisasmRequest request{};
        request.code[0] = row.code[0];
        request.code[1] = row.code.size() > 1 ? row.code[1] : 0;
        const uint32_t length = ie15_disassemble(request);
        std::string text = request.mnemonic;
        if (request.operands[0]) text += std::string(" ") + request.operands;
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(static_cast<int>(length), row.cycles) << label;
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Unknown IE15 Instruction!\nUnknown IE15 Instruction!\n");
}

// Over all 256 opcodes: the disassembler's length is the cycle count, every opcode
// has a text, and only the undefined bytes of groups 3 and 5 report themselves.
TEST(Ie15Instructions, LengthsMatchCyclesForEveryOpcode)
{
    int unknown = 0;
    for (int op = 0; op < 256; ++op) {
        Machine m;
        m.load(origin, {static_cast<uint8_t>(op), 0x12});
        m.cpu.pc = origin;
        testing::internal::CaptureStdout();
        const int cycles = m.run();
        const bool reported = !testing::internal::GetCapturedStdout().empty();
        unknown += reported;
        Ie15DisasmRequest request{};
        request.code[0] = static_cast<uint8_t>(op);
        request.code[1] = 0x12;
        EXPECT_EQ(static_cast<int>(ie15_disassemble(request)), cycles) << op;
        EXPECT_NE(request.mnemonic[0], '\0') << op;
        EXPECT_EQ(reported, std::string(request.operands) == "*") << op;
    }
    EXPECT_EQ(unknown, 13 + 8);  // 3x without 30, 33, 35; 5x without the eight defined
}

TEST(Ie15Skip, SkippedInstructionsCostTheirBytes)
{
    Machine m;
    // decsn a from 0 skips "ld r2,$44" whole, then "ld r1,$11" runs;
    // incsp a skips the one-byte "add a,r0".
    m.load(0, {0x52, 0x22, 0x44, 0x21, 0x11, 0x58, 0x00, 0x51});
    m.cpu.a = 0;
    EXPECT_EQ(m.run(), 1);
    EXPECT_EQ(m.cpu.a, 0xFF);
    EXPECT_EQ(m.cpu.c, 1);
    EXPECT_EQ(m.cpu.skip, 1);
    EXPECT_EQ(m.run(), 2);  // the skipped two-byte instruction
    EXPECT_EQ(m.cpu.pc, 3u);
    EXPECT_EQ(m.cpu.skip, 0);
    EXPECT_EQ(m.cpu.r[0][2], 0);
    EXPECT_EQ(m.run(), 2);
    EXPECT_EQ(m.cpu.r[0][1], 0x011);
    EXPECT_EQ(m.run(), 1);  // incsp a: 0xFF -> 0x00, C = 1, skips
    EXPECT_EQ(m.cpu.skip, 1);
    m.cpu.r[0][0] = 0x10;
    EXPECT_EQ(m.run(), 1);  // add a,r0 skipped
    EXPECT_EQ(m.cpu.a, 0);
    EXPECT_EQ(m.cpu.pc, 7u);
    EXPECT_EQ(m.run(), 1);
    EXPECT_EQ(m.cpu.a, 1);
    EXPECT_EQ(m.cpu.budget, -8 * 256);
    // Single cycles: the skip of a two-byte instruction is two instruction steps.
    m.load(8, {0x87, 0x10, 0x00});
    ie15_instruction_step(&m.cpu);
    ie15_instruction_step(&m.cpu);
    EXPECT_FALSE(ie15_at_boundary(&m.cpu));
    ie15_instruction_step(&m.cpu);
    EXPECT_TRUE(ie15_at_boundary(&m.cpu));
    EXPECT_EQ(m.cpu.pc, 11u);
}

TEST(Ie15Ports, DisplayMemoryTakesTwoAccessesAndBanksSwitch)
{
    Machine m;
    // Adr = 0xFFE; out Data arms, out Data writes 0x41 at 0xFFE, then 0x42 at 0xFFF
    // and Adr wraps to 0; reading back needs an arming output too.
    m.load(0, {0x30, 0xFF, 0xF2, 0x30, 0xE0, 0xF3,  // Adr = 0xFFE
               0x30, 0x41, 0xF0, 0xF0,              // arm, write
               0x30, 0x42, 0xF0, 0xF0,              // arm, write
               0xF5, 0xF5,                          // Adr back to 0xFFE
               0x60,                                // not armed: 0xFF
               0xF0, 0x60,                          // arm, read 0x41
               0xFE, 0x23, 0x77, 0xFF, 0x23, 0x66}); // bank 1 r3, bank 0 r3
    for (int k = 0; k < 4; ++k) m.run();
    EXPECT_EQ(m.cpu.adr, 0xFFEu);
    m.run();
    m.run();
    EXPECT_EQ(m.cpu.data_cycle, 1);
    EXPECT_EQ(m.display(0xFFE), 0);
    m.run();
    EXPECT_EQ(m.display(0xFFE), 0x41);
    EXPECT_EQ(m.cpu.data_cycle, 0);
    for (int k = 0; k < 3; ++k) m.run();
    EXPECT_EQ(m.display(0xFFF), 0x42);
    EXPECT_EQ(m.cpu.adr, 0u);
    m.run();
    m.run();
    m.run();
    EXPECT_EQ(m.cpu.a, 0xFF);
    EXPECT_EQ(m.cpu.adr, 0xFFEu);
    m.run();
    m.run();
    EXPECT_EQ(m.cpu.a, 0x41);
    EXPECT_EQ(m.cpu.adr, 0xFFFu);
    for (int k = 0; k < 4; ++k) m.run();
    EXPECT_EQ(m.cpu.r[1][3], 0x077);
    EXPECT_EQ(m.cpu.r[0][3], 0x066);
    EXPECT_EQ(m.cpu.bank, 0);
    EXPECT_EQ(m.block[0xFFE], 0);  // display writes never reach the program ROM
    EXPECT_EQ(m.block[0xFFF], 0);
}

TEST(Ie15Ports, MachineSlotsReplaceSinglePorts)
{
    static int sounded = 0;
    Machine m;
    m.cpu.out_port[IE15_OUT_SND] = [](Ie15Cpu*, uint32_t port, uint8_t value) { sounded = int(port) * 256 + value; };
    m.cpu.in_port[3] = [](Ie15Cpu*, uint32_t port) { return static_cast<uint8_t>(0x30 + port); };
    m.load(0, {0x30, 0x07, 0xF8, 0x63});
    m.run();
    m.run();
    m.run();
    EXPECT_EQ(sounded, 8 * 256 + 7);
    EXPECT_EQ(m.cpu.a, 0x33);
}

TEST(Ie15Reset, StartValues)
{
    Machine m;
    m.cpu.pc = 0x123;
    m.cpu.bank = 1;
    m.cpu.budget = -77;
    m.cpu.r[1][4] = 0x321;
    ie15_reset(&m.cpu);
    EXPECT_EQ(m.cpu.pc, 0u);
    EXPECT_EQ(m.cpu.bank, 0);
    EXPECT_EQ(m.cpu.budget, 0);
    EXPECT_EQ(m.cpu.speed_factor, 256);
    EXPECT_EQ(m.cpu.r[1][4], 0);
    EXPECT_EQ(m.cpu.flags[IE15_FLAG_RUSLAT], 1);
    const uint8_t latches[16] = {0, 0x80, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0x80, 0x80, 0, 0, 0, 0x80};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(m.cpu.in_ports[k], latches[k]) << k;
    EXPECT_EQ(m.cpu.memory, m.block.data());
    EXPECT_TRUE(ie15_at_boundary(&m.cpu));
}

TEST(Ie15Disasm, NumbersInsteadOfNamesAndLines)
{
    EXPECT_EQ(dis({0x69}, ie15_disasm_numbers), "in a,(9)");
    EXPECT_EQ(dis({0xFD}, ie15_disasm_numbers), "out (13),a");
    EXPECT_EQ(dis({0x84}, ie15_disasm_numbers), "skipc f4");
    EXPECT_EQ(dis({0x8C}, ie15_disasm_numbers), "skips f4");
    EXPECT_EQ(dis({0xCA}, ie15_disasm_numbers), "set f2");
    EXPECT_EQ(dis({0x1F, 0xFF}), "jmp $1000");
    EXPECT_EQ(dis({0x2F, 0x05}, disasm_no_leading_zeros), "ld r15,$5");

    std::vector<uint8_t> rom(0x1000, 0);
    rom[0xFFF] = 0x2C;
    rom[0x000] = 0xAB;
    rom[0x001] = 0xE5;
    uint32_t next = 0;
    EXPECT_EQ(ie15_disasm_line_text(rom.data(), 0xFFF, &next), "FFF  2C AB ld    r12,$AB\n");
    EXPECT_EQ(next, 1u);
    EXPECT_EQ(ie15_disasm_line_text(rom.data(), 1, &next), "001  E5    ld    r5,a\n");
    EXPECT_EQ(next, 2u);
}

TEST(Ie15Disasm, RegisterDump)
{
    Machine m;
    for (int n = 0; n < 16; ++n) {
        m.cpu.r[0][n] = static_cast<uint16_t>(n * 0x101);
        m.cpu.r[1][n] = static_cast<uint16_t>(0xF00 + n);
    }
    m.cpu.a = 0x3C;
    m.cpu.pc = 0x010;
    m.cpu.c = 1;
    m.cpu.skip = 1;
    m.cpu.budget = -5 * 256;
    m.cpu.adr = 0xABC;
    m.cpu.xpos = 37;
    m.cpu.line = 6;
    m.cpu.vrow = 7;
    m.cpu.flags[IE15_FLAG_VBLANK] = 1;
    m.cpu.marken = 1;
    m.cpu.koi7 = 1;
    m.load(0x10, {0xD3});  // the rest of the ROM is "add a,r0"
    const std::string dump = ie15_register_dump_text(m.cpu, m.block.data());
    const std::string expected =
        " R0=0.00  R4=4.04  R8=8.08  R12=C.0C       010  D3    ld    a,r3\n"
        " R1=1.01  R5=5.05  R9=9.09  R13=D.0D       011  00    add   a,r0\n"
        " R2=2.02  R6=6.06 R10=A.0A  R14=E.0E       012  00    add   a,r0\n"
        " R3=3.03  R7=7.07 R11=B.0B  R15=F.0F       013  00    add   a,r0\n"
        " R0'=F.00  R4'=F.04  R8'=F.08  R12'=F.0C   014  00    add   a,r0\n"
        " R1'=F.01  R5'=F.05  R9'=F.09  R13'=F.0D   015  00    add   a,r0\n"
        " R2'=F.02  R6'=F.06 R10'=F.0A  R14'=F.0E   016  00    add   a,r0\n"
        " R3'=F.03  R7'=F.07 R11'=F.0B  R15'=F.0F   017  00    add   a,r0\n"
        " A=3C  PC=010  CPU Flags = KC  Ctr=-0005   018  00    add   a,r0\n"
        " Adr=ABC XPos=18 Line=6 VBL=1 HBL=0 MRK=0  019  00    add   a,r0\n"
        " VRow=07 VDIS=0 MARKEN=1 SYSLIN=0 KOI7=1   01A  00    add   a,r0\n"
        "\n";
    EXPECT_EQ(dump, expected);
}
