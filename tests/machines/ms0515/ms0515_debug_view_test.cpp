// The debugger on the MS-0515 with its real ROM: a breakpoint and step over a JSR agree
// with single steps; the views of the keyboard and floppy registers take no byte and move
// no status bit; the console debugger's state is not touched by the windows' debugger.
#include "ms0515_test_support.h"

#include "support/debug_views.h"
#include "support/test_data.h"

#include "cpu/pdp11/pdp11_debug.h"
#include "host/debug.h"

#include <fstream>
#include <functional>
#include <algorithm>
#include <iterator>
#include <vector>

namespace {

std::function<void()> on_stop;
void idle() { on_stop(); }

void start_machine(const std::string& rom)
{
    ms0515_test_machine();
    if (!rom.empty()) {
        std::ifstream file(rom, std::ios::binary);
        file.read(reinterpret_cast<char*>(ms0515.memory + ms0515_rom), 0x4000);
        ms0515_power_on();
    }
    ms0515_debug_register();
    debug_idle = idle;
}

void run_cycles(int32_t cycles)
{
    ms0515.cpu.cycleBudget = cycles * ms0515.cpu.speedFactor;
    while (ms0515.cpu.cycleBudget >= 0)
        ms0515_execute_boundary();
}

class Ms0515DebugView : public testing::Test {
protected:
    void TearDown() override
    {
        debug_detach();
        debug_reset();
        debug_idle = nullptr;
    }
};

TEST_F(Ms0515DebugView, SingleStepsOfTheRomMatchAnUndisturbedRun)
{
    KORVEL_NEED_ROM("ms0515/MS-0515.rom");
    const std::string rom = korvel_test::rom_path("ms0515/MS-0515.rom");
    // The ROM's first instructions as the machine runs them alone.
    start_machine(rom);
    std::vector<uint32_t> reference;
    for (int i = 0; i < 3000; ++i) {
        reference.push_back(ms0515.cpu.r[7] & 0xFFFF);
        ms0515.cpu.cycleBudget = 1000;
        ms0515_execute_boundary();
    }
    debug_reset();
    start_machine(rom);
    std::vector<uint32_t> steps;
    on_stop = [&] {
        steps.push_back(ms0515.cpu.r[7] & 0xFFFF);
        if (steps.size() < 3000)
            debug_step(0);
        else
            debug_detach();
    };
    debug_attach(true);
    run_cycles(200000);
    EXPECT_EQ(steps, reference);
    // A breakpoint at the address first reached last stops there, after as many instructions.
    size_t k = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        if (std::find(reference.begin(), reference.begin() + long(i), reference[i]) == reference.begin() + long(i))
            k = i;
    ASSERT_GT(k, 20u);
    debug_reset();
    start_machine(rom);
    std::vector<uint64_t> counts;
    uint32_t stopped_at = 0;
    on_stop = [&] {
        counts.push_back(debug_instruction_count(0));
        stopped_at = ms0515.cpu.r[7] & 0xFFFF;
        debug_detach();
    };
    debug_set_breakpoint(0, reference[k], true);
    debug_attach(false);
    run_cycles(200000);
    ASSERT_EQ(counts.size(), 1u);
    EXPECT_EQ(counts[0], k + 1);
    EXPECT_EQ(stopped_at, reference[k]);
    // The console debugger kept running free all along.
    EXPECT_EQ(ms0515.command, 'r');
}

TEST_F(Ms0515DebugView, StepOverAJsrRunsTheSubroutine)
{
    start_machine("");
    const DebugSpace& view = debug_machine()->spaces[0];
    const uint16_t program[] = {
        012700, 5,        // 01000 MOV #5,R0
        004737, 002000,   // 01004 JSR PC,@#2000
        005201,           // 01010 INC R1
        000777,           // 01012 BR .
    };
    const uint16_t subroutine[] = {005300, 001376, 000207}; // DEC R0; BNE .-2; RTS PC
    for (size_t i = 0; i < std::size(program); ++i) {
        view.poke(01000 + 2 * uint32_t(i), uint8_t(program[i]));
        view.poke(01001 + 2 * uint32_t(i), uint8_t(program[i] >> 8));
    }
    for (size_t i = 0; i < std::size(subroutine); ++i) {
        view.poke(02000 + 2 * uint32_t(i), uint8_t(subroutine[i]));
        view.poke(02001 + 2 * uint32_t(i), uint8_t(subroutine[i] >> 8));
    }
    std::vector<uint32_t> pcs;
    std::vector<uint64_t> counts;
    on_stop = [&] {
        const DebugProcessor& cpu = debug_machine()->processors[0];
        pcs.push_back(cpu.pc());
        counts.push_back(debug_instruction_count(0));
        switch (pcs.size()) {
        case 1:
            cpu.set_register(1, 0);
            debug_run_to(0, 01004);
            break;
        case 2: debug_step_over(0); break;
        case 3: debug_step_over(0); break; // INC: no call, one step
        default: debug_detach(); break;
        }
    };
    debug_machine()->processors[0].set_register(7, 01000);
    debug_attach(true);
    run_cycles(20000);
    ASSERT_EQ(pcs.size(), 4u);
    EXPECT_EQ(pcs[0], 01000u);
    EXPECT_EQ(pcs[1], 01004u);
    EXPECT_EQ(pcs[2], 01010u);
    EXPECT_EQ(counts[2] - counts[1], 12u); // JSR, five DEC-BNE rounds, RTS
    EXPECT_EQ(pcs[3], 01012u);
    EXPECT_EQ(ms0515.cpu.r[0], 0u);
    EXPECT_EQ(ms0515.cpu.r[1], 1u);
    char text[64];
    debug_disassemble(0, 01004, text, sizeof text);
    EXPECT_EQ(std::string(text).substr(0, 3), "JSR");
}

TEST_F(Ms0515DebugView, ViewsOfKeyboardAndFloppyTakeNothing)
{
    start_machine("");
    ASSERT_TRUE(ms0515_keyboard_send(ms0515.keyboard, 0x31));
    ASSERT_TRUE(ms0515_keyboard_send(ms0515.keyboard, 0x32));
    ms0515.keyboard.status |= 2;
    ms0515.floppy.status = 0x02;
    korvel_test::expect_views_leave_machine_alone({
        {&ms0515, sizeof ms0515},
        {ms0515.memory, ms0515_block_size},
    });
    const DebugSpace& view = debug_machine()->spaces[0];
    EXPECT_EQ(view.peek(0177442), ms0515.keyboard.status);
    EXPECT_EQ(view.peek(0177440), 0x31); // the byte a read would take, still queued
    EXPECT_EQ(view.peek(0177640), 2);
    EXPECT_EQ(view.peek(0177524), -1); // reading an unrealized register prints: not shown
    // Through the CPU view ROM pages take no edits; the ROM space has none at all.
    const uint8_t rom_byte = ms0515.memory[ms0515_rom + 0x3400];
    view.poke(0172000 - 0, uint8_t(~rom_byte));
    EXPECT_EQ(ms0515.memory[ms0515_rom + 0x3400], rom_byte);
    EXPECT_EQ(debug_machine()->spaces[3].poke, nullptr);
}

} // namespace
