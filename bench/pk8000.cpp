// PK8000 whole headless frame: keys, interrupt, 35000 T-states of a program that keeps
// rewriting video memory, drawing into the BackBuffer and the host's frame service.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "host/host_internal.h"
#include "machines/pk8000/pk8000.h"

namespace {

void start_host()
{
    static bool started = false;
    if (started) return;
    started = true;
    HostOptions options;
    options.machine = "pk8000";
    options.headless = true;
    options.data_dir = std::filesystem::temp_directory_path().string();
    host_startup(options, "PK8000-Mode");
}

void boot(uint8_t gfx_mode)
{
    start_host();
    // 0000 DI; LD SP,C000; LD A,mode; OUT (84),A
    // 0008 LD HL,4000
    // 000B INC (HL); INC HL; BIT 6,H; JR NZ,000B; JR 0008
    const uint8_t program[] = {0xF3, 0x31, 0x00, 0xC0, 0x3E, gfx_mode, 0xD3, 0x84,
                               0x21, 0x00, 0x40, 0x34, 0x23, 0xCB, 0x74, 0x20, 0xFA, 0x18, 0xF5};
    std::memset(pk8000.rom, 0xFF, sizeof pk8000.rom);
    std::memcpy(pk8000.rom, program, sizeof program);
    pk8000_power_on();
}

void run_frames(benchmark::State& state)
{
    for (auto _ : state) {
        pk8000_begin_frame();
        pk8000_run_frame();
        pk8000_finish_frame();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}

void BM_Pk8000FrameGraphics(benchmark::State& state)
{
    boot(0x50);
    run_frames(state);
}
BENCHMARK(BM_Pk8000FrameGraphics)->Unit(benchmark::kMicrosecond);

void BM_Pk8000FrameText(benchmark::State& state)
{
    boot(0x40);
    run_frames(state);
}
BENCHMARK(BM_Pk8000FrameText)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
