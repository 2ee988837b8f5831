// The turns of a bare UKNC run in a tight loop per processor; the general loop (the one
// the monitor watches) must give exactly the same machine: same registers, budgets,
// pending requests, timer and memories after frames of the synthetic programs, which use
// the channels, interrupts, the timer and the planes from both processors.
#include "workstation_programs.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

Workstation& ws = workstation;

struct Outcome {
    std::vector<uint32_t> words; // both processors' state, requests and timer
    std::string cpu_memory, ppu_memory;
};

void note(std::vector<uint32_t>& w, const Pdp11Cpu& c)
{
    w.insert(w.end(), std::begin(c.r), std::end(c.r));
    w.insert(w.end(), {c.psw, c.ir, c.prefetch, c.prefetchAddress, c.dataIn, c.dataOut, c.busAddress,
                       uint32_t(c.cycleBudget)});
}

Outcome run_frames(bool watched, int frames)
{
    workstation_test_complex();
    std::vector<uint8_t> rom = synthetic_rom();
    std::memcpy(ws.rom, rom.data(), rom.size());
    workstation_restart();
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < frames; ++frame) {
        ws.monitorWatch = watched; // watched: the general loop, looking at every turn
        workstation_run_frame();
    }
    testing::internal::GetCapturedStdout();
    ws.monitorWatch = false;
    Outcome o;
    note(o.words, ws.cpu);
    note(o.words, ws.ppu);
    o.words.insert(o.words.end(), {ws.PendingInterrupts[UKNC_CPU], ws.PendingInterrupts[UKNC_PPU],
                                   ws.timerControl, uint32_t(ws.timerCompare), uint32_t(ws.timerCompare >> 32),
                                   ws.cpuHeld});
    o.cpu_memory.assign(reinterpret_cast<const char*>(ws.cpuMemory), 0x20000);
    o.ppu_memory.assign(reinterpret_cast<const char*>(ws.ppuMemory), 0x10000);
    return o;
}

TEST(WorkstationTurns, TheBareLoopRunsTheSameTurnsAsTheWatchedLoop)
{
    for (int frames : {1, 2, 7}) {
        Outcome bare = run_frames(false, frames);
        Outcome watched = run_frames(true, frames);
        EXPECT_EQ(bare.words, watched.words) << frames << " frames";
        EXPECT_TRUE(bare.cpu_memory == watched.cpu_memory) << frames << " frames";
        EXPECT_TRUE(bare.ppu_memory == watched.ppu_memory) << frames << " frames";
    }
    // The programs ran: the CPU was started and the PPU counted its timer interrupts.
    EXPECT_FALSE(ws.cpuHeld);
    EXPECT_GT(peek_word(ws.ppuMemory, timer_count), 0);
}

} // namespace
