// The debugger on the whole complex: the processors, memories and devices it lists follow
// the boards and terminals fitted, and no view of them changes anything (a waiting CPU
// byte, a KCGD key code, a terminal's console byte stay where they are); a breakpoint in
// the GPU's program stops the complex with the CPU and the PPU at instruction boundaries,
// and single steps of the GPU go on from there.
#include "machines/dvk/dvk_test_support.h"

#include "support/debug_views.h"

#include "host/debug.h"
#include "machines/terminals/terminals.h"
#include "machines/workstation/workstation_debug.h"

#include <functional>
#include <string>

namespace {

std::function<void()> on_stop;
void idle() { on_stop(); }

class ComplexDebugger : public testing::Test {
protected:
    void TearDown() override
    {
        debug_detach();
        debug_reset();
        debug_idle = nullptr;
    }
};

int space_named(const DebugMachine* m, const char* name)
{
    for (int s = 0; s < m->space_count; ++s)
        if (std::string(m->spaces[s].name) == name)
            return s;
    return -1;
}

TEST_F(ComplexDebugger, ListsFollowTheFittedPartsAndNoViewChangesAnything)
{
    struct Fit {
        bool kcgd, boards, ksm, ie15;
        const char* processors; // names joined by spaces
        int devices_beyond_uknc_at_least;
    };
    const Fit fits[] = {
        {false, false, false, false, "CPU PPU", 0},
        {true, false, false, false, "CPU PPU GPU", 30},
        {false, true, false, false, "CPU PPU", 15},
        {false, false, true, false, "CPU PPU KSM Z80", 4},
        {false, false, false, true, "CPU PPU 15IE", 10},
        {true, true, true, true, "CPU PPU GPU KSM Z80 15IE", 60},
    };
    Workstation& ws = workstation;
    int uknc_devices = -1;
    for (const Fit& fit : fits) {
        SCOPED_TRACE(fit.processors);
        dvk_test_complex();
        terminals_allocate();
        std::memset(ksm_terminal.block, 0, 0x10000);   // NOPs, then a HALT loop at 0x10
        ksm_terminal.block[0x10] = 0x76;
        ksm_terminal.block[0x11] = 0x18;
        ksm_terminal.block[0x12] = 0xFD;
        std::memset(ie15_terminal.block, 0, ie15_rom_size); // nop throughout
        ws.kcgdPresent = fit.kcgd;
        ws.kgdPresent = ws.nemigaPresent = ws.e85Present = fit.boards;
        ws.ksmPresent = fit.ksm;
        ws.ie15Present = fit.ie15;
        workstation_restart();
        workstation_debug_register();
        dvk_test_frames(2);

        const DebugMachine* m = debug_machine();
        ASSERT_NE(m, nullptr);
        std::string names;
        for (int p = 0; p < m->processor_count; ++p)
            names += std::string(p ? " " : "") + m->processors[p].name;
        EXPECT_EQ(names, fit.processors);
        if (uknc_devices < 0)
            uknc_devices = m->device_count;
        EXPECT_GE(m->device_count - uknc_devices, fit.devices_beyond_uknc_at_least);
        for (int p = 0; p < m->processor_count; ++p) {
            const DebugProcessor& d = m->processors[p];
            ASSERT_GE(d.space, 0);
            ASSERT_LT(d.space, m->space_count);
            EXPECT_LE(d.register_count, debug_max_registers);
        }

        // Something waiting everywhere a read would take it.
        console_ring_append(ws.ConsoleRings[RING_KCGD], 0x41);
        KcgdBoard& kcgd = dvk.kcgd;
        kcgd.keyRing[kcgd.keyHead] = 0x5A;
        kcgd.keyHead = uint8_t((kcgd.keyHead + 1) & 127);
        kcgd.keyStatus |= 0x80;
        kcgd.keyArmed = true;
        kcgd.lastKey = 0x33;
        console_ring_append(ws.ConsoleRings[RING_KSM], 0x42);
        console_ring_append(ws.ConsoleRings[RING_IE15], 0x43);
        korvel_test::expect_views_leave_machine_alone({
            {&workstation, sizeof workstation},
            {workstation.mainBlock, uknc_main_block_size},
            {&dvk, sizeof dvk},
            {dvk.kcgd.block, kcgd_block_size},
            {dvk.kgd.memory, kgd_memory_size},
            {dvk.nemiga.memory, nemiga_memory_size},
            {dvk.e85.memory, e85_memory_size},
            {&ksm_terminal, sizeof ksm_terminal},
            {ksm_terminal.block, ksm_block_size},
            {&ie15_terminal, sizeof ie15_terminal},
            {ie15_terminal.block, ie15_block_size},
        });

        const int gpu_view = space_named(m, "GPU view");
        EXPECT_EQ(gpu_view >= 0, fit.kcgd);
        if (gpu_view >= 0) {
            const DebugSpace& g = m->spaces[gpu_view];
            EXPECT_EQ(g.peek(0111516), 0306); // MOV #1000,SP = 012706, low byte first
            EXPECT_EQ(g.peek(0111517), 025);
            EXPECT_EQ(g.peek(0120000), -1);   // nothing there: a read would bus-error
            EXPECT_EQ(g.peek(0176562), -1);   // the CPU's byte would be taken
            EXPECT_EQ(g.peek(0176560), 0x80); // one is waiting
            EXPECT_EQ(g.peek(0177560), 0x80);
            EXPECT_EQ(g.peek(0177562), 0x33); // the code last taken, the new one stays queued
            g.poke(0100, 0x12);
            EXPECT_EQ(dvk.kcgd.block[0100], 0x12);
            g.poke(0111516, 0); // the ROM keeps its contents
            EXPECT_EQ(g.peek(0111516), 0306);
            EXPECT_EQ(m->processors[workstation_debug.gpu].space, gpu_view);
        }
        const int ksm = space_named(m, "KSM memory");
        EXPECT_EQ(ksm >= 0, fit.ksm);
        if (ksm >= 0) {
            m->spaces[ksm].poke(0x10, 0);      // the ROM is write-protected
            EXPECT_EQ(ksm_terminal.block[0x10], 0x76);
            m->spaces[ksm].poke(0x2345, 0x99);
            EXPECT_EQ(ksm_terminal.block[0x2345], 0x99);
            EXPECT_EQ(m->processors[workstation_debug.tpu].space, ksm);
        }
        if (fit.ie15) {
            const DebugProcessor& d = m->processors[workstation_debug.ie15];
            uint32_t before[debug_max_registers], after[debug_max_registers];
            d.get_registers(before);
            d.set_register(5 + 16 + 3, 0xABC); // R3'
            d.set_register(2, 3);              // K and C
            d.get_registers(after);
            EXPECT_EQ(ie15_terminal.cpu.r[1][3], 0xABC);
            EXPECT_EQ(ie15_terminal.cpu.skip, 1);
            EXPECT_EQ(ie15_terminal.cpu.c, 1);
            EXPECT_EQ(after[5 + 16 + 3], 0xABCu);
            EXPECT_EQ(std::string(d.registers[5 + 16 + 3].name), "R3'");
            char text[64];
            const uint8_t jmp[] = {0x10, 0x0A, 0, 0, 0, 0};
            EXPECT_EQ(d.disassemble(0, jmp, text, sizeof text), 2);
            EXPECT_EQ(std::string(text).substr(0, 3), "jmp");
        }
    }
}

TEST_F(ComplexDebugger, BreakpointInGpuCodeStopsTheComplexWithCpuAndPpuAtBoundaries)
{
    // GPU: MOV #1000,SP; 0111522: INC R0; 0111524: ADD R0,R1; BR 0111522.
    dvk_test_complex({012706, 001000, 005200, 060001, 000775});
    // The CPU copies words memory to memory, so it is mostly inside an instruction.
    Pdp11Program cpu(01000);
    cpu.label("loop").w({013737, 02000, 02002, 013737, 02004, 02006}).branch(000400, "loop");
    cpu.resolve();
    dvk_test_start_cpu(cpu);
    workstation_debug_register();
    debug_idle = idle;
    const int gpu = workstation_debug.gpu;
    ASSERT_EQ(gpu, 2);

    struct Stop {
        int by;
        uint32_t pc, r0, r1;
        bool cpu_at_boundary, ppu_at_boundary;
    };
    std::vector<Stop> stops;
    on_stop = [&] {
        const Pdp11Cpu& g = dvk.kcgd.gpu;
        stops.push_back({debug_stopped_processor(), g.r[7] & 0xFFFF, g.r[0], g.r[1],
                         workstation.cpuHeld || workstation_at_boundary(&workstation.cpu),
                         workstation_at_boundary(&workstation.ppu)});
        EXPECT_TRUE(workstation_at_boundary(&g));
        if (stops.size() == 1)
            debug_step(gpu);
        else if (stops.size() == 2)
            debug_step_over(gpu); // ADD: no call, one instruction
        else if (stops.size() < 6)
            debug_run();          // on to the breakpoint again
        else
            debug_detach();
    };
    debug_set_breakpoint(gpu, 0111522, true);
    debug_attach(false);
    dvk_test_frames(2);

    ASSERT_EQ(stops.size(), 6u);
    for (size_t i = 0; i < stops.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stops[i].by, gpu);
        EXPECT_TRUE(stops[i].cpu_at_boundary);
        EXPECT_TRUE(stops[i].ppu_at_boundary);
    }
    // The breakpoint, a step, a step over, then the breakpoint once round the loop each.
    const uint32_t expected_pc[] = {0111522, 0111524, 0111526, 0111522, 0111522, 0111522};
    for (size_t i = 0; i < stops.size(); ++i)
        EXPECT_EQ(stops[i].pc, expected_pc[i]) << "stop " << i;
    EXPECT_EQ(stops[0].r0, 0u);
    EXPECT_EQ(stops[1].r0, 1u);
    EXPECT_EQ(stops[2].r1, 1u);
    EXPECT_EQ(stops[5].r0, 3u);
    EXPECT_EQ(debug_history_entry(gpu, debug_history_count(gpu) - 1)->address, 0111522u);
    // The CPU and the PPU were watched all along, and ran between the GPU's stops.
    EXPECT_GE(debug_instruction_count(UKNC_CPU), 3u);
    EXPECT_GE(debug_instruction_count(UKNC_PPU), 3u);
}

TEST_F(ComplexDebugger, TerminalProcessorsStopAtBreakpointsAndStepWithEveryProcessorAtABoundary)
{
    dvk_test_complex();
    terminals_allocate();
    std::memset(ksm_terminal.block, 0, 0x10000); // NOPs to 0x10: INC A; JR 0x10
    ksm_terminal.block[0x10] = 0x3C;
    ksm_terminal.block[0x11] = 0x18;
    ksm_terminal.block[0x12] = 0xFD;
    // 15IE: nop; nop; nop; jmp 001.
    const uint8_t ie15_program[] = {0x00, 0x00, 0x00, 0x10, 0x00};
    std::memset(ie15_terminal.block, 0, ie15_rom_size);
    std::memcpy(ie15_terminal.block, ie15_program, sizeof ie15_program);
    workstation.ksmPresent = workstation.ie15Present = true;
    workstation_restart();
    workstation_debug_register();
    debug_idle = idle;
    const int tpu = workstation_debug.tpu, ie15 = workstation_debug.ie15;
    ASSERT_EQ(tpu, 3);
    ASSERT_EQ(ie15, 4);

    std::vector<std::pair<int, uint32_t>> stops;
    bool all_at_boundaries = true;
    on_stop = [&] {
        const int by = debug_stopped_processor();
        stops.push_back({by, debug_machine()->processors[by].pc()});
        all_at_boundaries = all_at_boundaries && workstation_at_boundary(&workstation.ppu) &&
                            (workstation.cpuHeld || workstation_at_boundary(&workstation.cpu)) &&
                            workstation_at_boundary(&dvk.kcgd.gpu) && ksm_terminal.tpu.step == decode_main &&
                            ie15_at_boundary(&ie15_terminal.cpu);
        switch (stops.size()) {
        case 1: debug_step(ie15); break;
        case 2: debug_step(ie15); break;
        case 3:
            debug_set_breakpoint(ie15, 2, false);
            debug_set_breakpoint(tpu, 0x11, true);
            debug_run();
            break;
        case 4: debug_step_over(tpu); break; // JR: no call, one instruction
        default: debug_detach(); break;
        }
    };
    debug_set_breakpoint(ie15, 2, true);
    debug_attach(false);
    dvk_test_frames(2);

    const std::vector<std::pair<int, uint32_t>> expected = {
        {ie15, 2}, {ie15, 3}, {ie15, 1}, {tpu, 0x11}, {tpu, 0x10}};
    EXPECT_EQ(stops, expected);
    EXPECT_TRUE(all_at_boundaries);
    char text[64];
    EXPECT_EQ(debug_disassemble(ie15, 3, text, sizeof text), 2);
    EXPECT_GT(debug_disassemble(tpu, 0x11, text, sizeof text), 0);
    EXPECT_EQ(std::string(text).substr(0, 2), "JR");
}

} // namespace
