// The debugger on the ZX Spectrum running its OpenSE ROM: stepping follows the program
// exactly as an undisturbed run takes it, breakpoints, run to an address and step over a
// CALL stop where they should, the history holds the last 1,000 instructions with the
// registers after each, and no view changes the machine.
#include "zx_test_support.h"

#include "support/debug_views.h"

#include "cpu/z80/z80_debug.h"
#include "host/debug.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

const char* const opense_rom = "/usr/share/spectrum-roms/opense.rom";

std::function<void()> on_stop;
void idle() { on_stop(); }

void start_opense()
{
    zx_test_fresh_machine();
    std::ifstream rom(opense_rom, std::ios::binary);
    rom.read(reinterpret_cast<char*>(zx.memory), 0x4000);
    z80_connect(&zx.cpu);
    zx_debug_register();
    debug_idle = idle;
}

// The PCs of the first n instructions of an undisturbed run (no interrupts).
std::vector<uint16_t> reference_pcs(size_t n)
{
    start_opense();
    std::vector<uint16_t> pcs;
    while (pcs.size() < n) {
        pcs.push_back(zx.cpu.pc);
        // The budget is refilled as a frame would, so the signed counter never runs out.
        if (zx.cpu.ticks < 0)
            zx.cpu.ticks += 100000 * zx_units_per_tstate;
        z80_run_instruction(&zx.cpu);
    }
    return pcs;
}

// Runs the machine under the debugger for about `tstates` without interrupts.
void run_debugged(int64_t tstates)
{
    for (int64_t done = 0; done < tstates; done += 100000) {
        zx.cpu.ticks += 100000 * zx_units_per_tstate;
        zx_run_frame(&zx.cpu);
    }
}

class ZxDebugger : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(opense_rom))
            GTEST_SKIP() << "opense-basic is not installed";
        reference = reference_pcs(60000);
        start_opense();
    }
    void TearDown() override
    {
        debug_detach();
        debug_reset();
        debug_idle = nullptr;
    }
    std::vector<uint16_t> reference;
};

TEST_F(ZxDebugger, SingleStepsFollowTheProgramAndTheHistoryKeepsRegistersAfter)
{
    std::vector<uint16_t> stops;
    std::vector<int32_t> ticks_while_stopped;
    on_stop = [&] {
        // Standing still: the idle routine may be called many times, nothing runs.
        ticks_while_stopped.push_back(zx.cpu.ticks);
        if (ticks_while_stopped.size() % 3)
            return;
        stops.push_back(zx.cpu.pc);
        if (stops.size() < 300)
            debug_step(0);
        else
            debug_detach();
    };
    debug_attach(true); // stopped before the first instruction
    run_debugged(100000);
    ASSERT_EQ(stops.size(), 300u);
    for (size_t i = 0; i < stops.size(); ++i)
        ASSERT_EQ(stops[i], reference[i]) << "stop " << i;
    for (size_t i = 0; i + 2 < ticks_while_stopped.size(); i += 3) {
        EXPECT_EQ(ticks_while_stopped[i], ticks_while_stopped[i + 1]);
        EXPECT_EQ(ticks_while_stopped[i], ticks_while_stopped[i + 2]);
    }
    ASSERT_EQ(debug_history_count(0), 300);
    for (int i = 0; i + 1 < 300; ++i) {
        const DebugHistoryEntry* e = debug_history_entry(0, i);
        ASSERT_EQ(e->address, reference[size_t(i)]);
        ASSERT_TRUE(e->complete);
        EXPECT_EQ(e->registers[7], reference[size_t(i) + 1]) << "PC after instruction " << i;
    }
}

TEST_F(ZxDebugger, BreakpointStepOverACallAndRunToAnAddress)
{
    // The first CALL the ROM makes, and where the program is when it has returned.
    size_t call = 0;
    while (call < reference.size() && zx.memory[reference[call]] != 0xCD)
        ++call;
    ASSERT_LT(call, reference.size()) << "no CALL in the ROM's first instructions";
    const uint16_t call_address = reference[call];
    size_t back = call + 1;
    while (back < reference.size() && reference[back] != uint16_t(call_address + 3))
        ++back;
    ASSERT_LT(back + 100, reference.size());
    const uint16_t later = reference[back + 100];

    std::vector<uint16_t> stops;
    std::vector<uint64_t> history;
    on_stop = [&] {
        stops.push_back(zx.cpu.pc);
        history.push_back(debug_instruction_count(0));
        switch (stops.size()) {
        case 1: debug_step_over(0); break;
        case 2: debug_run_to(0, later); break;
        default: debug_detach(); break;
        }
    };
    debug_set_breakpoint(0, call_address, true);
    EXPECT_TRUE(debug_breakpoint(0, call_address));
    debug_attach(false);
    run_debugged(8000000);
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0], call_address);
    EXPECT_EQ(history[0], call + 1);
    // Over the call: every instruction of the subroutine ran, the stop is after the CALL.
    EXPECT_EQ(stops[1], uint16_t(call_address + 3));
    EXPECT_EQ(history[1] - history[0], back - call);
    EXPECT_EQ(stops[2], later);
    char text[64];
    debug_disassemble(0, call_address, text, sizeof text);
    EXPECT_EQ(std::string(text).substr(0, 4), "CALL");
    debug_toggle_breakpoint(0, call_address);
    EXPECT_FALSE(debug_breakpoint(0, call_address));
}

TEST_F(ZxDebugger, HistoryKeepsTheLastThousandInstructionsAndIsWrittenAsText)
{
    const uint16_t target = reference[1500];
    size_t first_hit = 0;
    while (reference[first_hit] != target)
        ++first_hit;
    int stops = 0;
    on_stop = [&] {
        ++stops;
        debug_detach();
    };
    debug_attach(false);
    debug_run_to(0, target);
    run_debugged(1000000);
    ASSERT_EQ(stops, 1);
    ASSERT_EQ(debug_history_count(0), first_hit + 1 > 1000 ? 1000 : int(first_hit + 1));
    const int n = debug_history_count(0);
    EXPECT_EQ(debug_history_entry(0, n - 1)->address, target);
    EXPECT_EQ(debug_history_entry(0, n - 2)->address, reference[first_hit - 1]);

    FILE* file = std::tmpfile();
    ASSERT_TRUE(debug_write_history(0, file));
    std::rewind(file);
    char line[512];
    int lines = 0;
    std::string first;
    while (std::fgets(line, sizeof line, file)) {
        if (lines == 0)
            first = line;
        ++lines;
    }
    std::fclose(file);
    EXPECT_EQ(lines, n);
    char address[8];
    std::snprintf(address, sizeof address, "%04X", debug_history_entry(0, 0)->address);
    EXPECT_EQ(first.substr(0, 4), address);
    EXPECT_NE(first.find(" PC="), std::string::npos);
}

TEST_F(ZxDebugger, RegistersEditedWhileStoppedTakeEffectAndViewsChangeNothing)
{
    zx.memory[0x8000] = 0x3E; // LD A,$5A
    zx.memory[0x8001] = 0x5A;
    zx.memory[0x8002] = 0x18; // JR $8002
    zx.memory[0x8003] = 0xFE;
    int stops = 0;
    on_stop = [&] {
        ++stops;
        const DebugProcessor& z80 = debug_machine()->processors[0];
        if (stops == 1) {
            z80.set_register(7, 0x8000); // PC
            z80.set_register(1, 0x1234); // BC
            debug_step(0);
        } else {
            uint32_t values[debug_max_registers];
            z80.get_registers(values);
            EXPECT_EQ(values[0] >> 8, 0x5Au);
            EXPECT_EQ(values[1], 0x1234u);
            EXPECT_EQ(values[7], 0x8002u);
            debug_detach();
        }
    };
    debug_attach(true);
    run_debugged(1000);
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(debug_history_entry(0, 0)->address, 0x8000u);
    korvel_test::expect_views_leave_machine_alone({{&zx, sizeof zx}});
    const DebugSpace& memory = debug_machine()->spaces[0];
    memory.poke(0x0000, 0x00); // the ROM stays as it is
    EXPECT_EQ(memory.peek(0x0000), 0xF3);
    memory.poke(0x9000, 0xA5);
    EXPECT_EQ(zx.memory[0x9000], 0xA5);

    // Search: hexadecimal bytes or quoted text, from an address on, wrapping once.
    uint8_t pattern[16];
    size_t length = 0;
    ASSERT_TRUE(debug_parse_pattern("3e 5A,18", pattern, sizeof pattern, &length));
    ASSERT_EQ(length, 3u);
    EXPECT_EQ(debug_find(0, 0x4000, pattern, length), 0x8000);
    EXPECT_EQ(debug_find(0, 0x8001, pattern, length), 0x8000); // round the top of memory
    std::memcpy(zx.memory + 0xC000, "KORVEL", 6);
    ASSERT_TRUE(debug_parse_pattern("\"KORVEL\"", pattern, sizeof pattern, &length));
    EXPECT_EQ(debug_find(0, 0, pattern, length), 0xC000);
    EXPECT_FALSE(debug_parse_pattern("3E ZZ", pattern, sizeof pattern, &length));
    EXPECT_FALSE(debug_parse_pattern("\"open", pattern, sizeof pattern, &length));
    EXPECT_FALSE(debug_parse_pattern("", pattern, sizeof pattern, &length));
    EXPECT_FALSE(debug_parse_pattern("00 11 22", pattern, 2, &length)); // longer than the room
    const uint8_t absent[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x42};
    EXPECT_EQ(debug_find(0, 0, absent, sizeof absent), -1);
}

} // namespace
