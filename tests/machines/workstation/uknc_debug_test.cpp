// The debugger on the UKNC with its real ROM: single steps of the PPU, a free run to an
// address and a breakpoint in the PPU ROM all see the same program; a stop leaves the CPU
// and the PPU both at an instruction boundary; step over runs through a JSR. Views of the
// channel, keyboard and timer registers take no byte and clear no ready bit. The ROM tests
// are skipped when the dump is not at hand.
#include "workstation_test_support.h"

#include "support/debug_views.h"
#include "support/test_data.h"

#include "cpu/pdp11/pdp11_debug.h"
#include "host/debug.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/workstation/workstation_run.h"

#include <fstream>
#include <functional>
#include <map>

namespace {

std::function<void()> on_stop;
void idle() { on_stop(); }

enum { CPU = 0, PPU = 1 };

void start_complex(const std::string& rom)
{
    workstation_test_complex();
    if (!rom.empty()) {
        std::ifstream file(rom, std::ios::binary);
        file.read(reinterpret_cast<char*>(workstation.rom), uknc_rom_size);
        workstation_restart();
    }
    uknc_debug_register();
    debug_idle = idle;
}

void run_frames(int frames)
{
    for (int i = 0; i < frames; ++i)
        workstation_run_frame();
}

bool both_at_boundary()
{
    return workstation_at_boundary(&workstation.ppu) &&
           (workstation.cpuHeld || workstation_at_boundary(&workstation.cpu));
}

class UkncDebugger : public testing::Test {
protected:
    void TearDown() override
    {
        debug_detach();
        debug_reset();
        debug_idle = nullptr;
    }
};

class UkncDebuggerRom : public UkncDebugger {
protected:
    void SetUp() override
    {
        KORVEL_NEED_ROM("uknc/UKNC.rom");
        rom = korvel_test::rom_path("uknc/UKNC.rom");
        // The PPU's first instructions, one step at a time.
        start_complex(rom);
        on_stop = [&] {
            if (debug_stopped_processor() == PPU)
                steps.push_back(workstation.ppu.r[7] & 0xFFFF);
            if (steps.size() < 20000)
                debug_step(PPU);
            else
                debug_detach();
        };
        debug_attach(true);
        run_frames(20);
        ASSERT_EQ(steps.size(), 20000u);
        for (size_t i = 0; i < steps.size(); ++i)
            first_index.emplace(steps[i], i);
        debug_reset();
        start_complex(rom);
    }
    // Index of the first instruction at address in the stepped run.
    size_t first(uint32_t address) const { return first_index.at(address); }
    std::string rom;
    std::vector<uint32_t> steps;
    std::map<uint32_t, size_t> first_index;
};

TEST_F(UkncDebuggerRom, BreakpointInThePpuRomStopsBothProcessorsWhereSteppingWent)
{
    // An instruction of the ROM first reached well into the run.
    size_t k = 5000;
    while (k < steps.size() && (steps[k] < 0100000 || first(steps[k]) != k))
        ++k;
    ASSERT_LT(k + 20, steps.size());
    const uint32_t address = steps[k];

    std::vector<uint32_t> stops;
    bool at_boundaries = true;
    int stopped_by = -1;
    on_stop = [&] {
        if (stops.empty())
            stopped_by = debug_stopped_processor();
        at_boundaries = at_boundaries && both_at_boundary();
        stops.push_back(workstation.ppu.r[7] & 0xFFFF);
        if (stops.size() <= 20)
            debug_step(PPU);
        else
            debug_detach();
    };
    debug_set_breakpoint(PPU, address, true);
    debug_attach(false);
    run_frames(20);
    ASSERT_EQ(stops.size(), 21u);
    EXPECT_EQ(stopped_by, PPU);
    EXPECT_TRUE(at_boundaries);
    EXPECT_EQ(debug_history_entry(PPU, debug_history_count(PPU) - 21)->address, address);
    for (size_t i = 0; i < stops.size(); ++i)
        EXPECT_EQ(stops[i], steps[k + i]) << "stop " << i;
    char text[64];
    EXPECT_GT(debug_disassemble(PPU, address, text, sizeof text), 0);
}

TEST_F(UkncDebugger, ViewsOfChannelKeyboardAndTimerTakeNothingAndClearNoReadyBit)
{
    start_complex("");
    Workstation& ws = workstation;
    // A byte waiting on each side of channel 0, two key codes, a latched timer.
    ws.cpuRxCsr[0] = 0xC0;
    ws.cpuRxData[0] = 0x41;
    ws.ppuRxData[0] = 0x42;
    ws.ppuRxStatus |= 0x08;
    ws.ppuDataPresent |= 1;
    ws.keyboard.ring[ws.keyboard.producer] = 0x55;
    ws.keyboard.ring[(ws.keyboard.producer + 1) & 127] = 0x56;
    ws.keyboard.producer = (ws.keyboard.producer + 2) & 127;
    ws.keyboard.status |= 0x80;
    ws.timerControl = 0x81;
    ws.timerLatched = 0x1234;
    ws.cpu.psw = 0; // out of HALT mode: the CPU sees its I/O page
    korvel_test::expect_views_leave_machine_alone({
        {&workstation, sizeof workstation},
        {workstation.mainBlock, uknc_main_block_size},
        {&uknc_floppy, sizeof uknc_floppy},
    });
    const DebugMachine* m = debug_machine();
    const DebugSpace& cpu_view = m->spaces[0];
    const DebugSpace& ppu_view = m->spaces[1];
    EXPECT_EQ(cpu_view.peek(0177560), 0xC0);
    EXPECT_EQ(cpu_view.peek(0177562), 0x41);
    EXPECT_EQ(ppu_view.peek(0177060), 0x42);
    EXPECT_EQ(ppu_view.peek(0177702), 0x55);
    EXPECT_EQ(ppu_view.peek(0177700), 0x80);
    EXPECT_EQ(ppu_view.peek(0177714), 0x34);
    EXPECT_EQ(ppu_view.peek(0177715), 0x12);
    EXPECT_EQ(ppu_view.peek(0177130), -1); // the floppy status moves on when read: not shown
    EXPECT_EQ(cpu_view.peek(0177100), -1);
    // Memory through the views, and edits through them.
    ppu_view.poke(01000, 0x5A);
    EXPECT_EQ(m->spaces[2].peek(01000), 0x5A); // plane 0 is PPU memory
    cpu_view.poke(02001, 0xA5);
    EXPECT_EQ(m->spaces[4].peek(01000), 0xA5); // plane 2: high bytes of CPU memory
    EXPECT_EQ(m->spaces[5].poke, nullptr);     // the ROM cannot be edited
    ws.rom[0x60C0] = 0x12;                     // PPU 0160300 is in the ROM
    EXPECT_EQ(ppu_view.peek(0160300), 0x12);
    EXPECT_EQ(m->spaces[5].peek(0x60C0), 0x12);
    ppu_view.poke(07000, 0x66);                // PPU memory at its own address
    EXPECT_EQ(ws.ppuMemory[07000], 0x66);
}

TEST_F(UkncDebugger, EditedPcStepAndStepOverAJsrOnThePpu)
{
    start_complex("");
    // PPU: MOV #1234,R0; JSR PC,2000; BR . -- and at 2000: DEC R0; BNE .-2; RTS PC.
    poke_word(workstation.ppuMemory, 01000, 012700);
    poke_word(workstation.ppuMemory, 01002, 3);
    poke_word(workstation.ppuMemory, 01004, 004737);
    poke_word(workstation.ppuMemory, 01006, 002000);
    poke_word(workstation.ppuMemory, 01010, 0777);
    poke_word(workstation.ppuMemory, 02000, 005300);
    poke_word(workstation.ppuMemory, 02002, 001376);
    poke_word(workstation.ppuMemory, 02004, 000207);
    uint64_t before_call = 0;
    int stops = 0;
    on_stop = [&] {
        ++stops;
        const DebugProcessor& ppu = debug_machine()->processors[PPU];
        if (stops == 1) {
            ppu.set_register(7, 01000);
            EXPECT_TRUE(workstation_at_boundary(&workstation.ppu));
            debug_step(PPU);
        } else if (stops == 2) {
            EXPECT_EQ(workstation.ppu.r[0], 3u);
            EXPECT_EQ(workstation.ppu.r[7], 01004u);
            EXPECT_TRUE(both_at_boundary());
            before_call = debug_instruction_count(PPU);
            debug_step_over(PPU);
        } else if (stops == 3) {
            EXPECT_EQ(workstation.ppu.r[7], 01010u);
            EXPECT_EQ(workstation.ppu.r[0], 0u);
            EXPECT_EQ(debug_instruction_count(PPU) - before_call, 8u); // JSR, 3 x (DEC, BNE), RTS
            debug_step_over(PPU); // BR: no call, a plain step
        } else {
            EXPECT_EQ(workstation.ppu.r[7], 01010u);
            debug_detach();
        }
    };
    debug_attach(true);
    run_frames(1);
    EXPECT_EQ(stops, 4);
}

} // namespace
