// Specialist whole headless frame: keys, 35000 T-states of a program that keeps
// rewriting the whole bitmap, drawing into the BackBuffer and the host's pacing service.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "host/host_internal.h"
#include "machines/specialist/specialist.h"

namespace {

void boot()
{
    static bool started = false;
    if (!started) {
        started = true;
        HostOptions options;
        options.machine = "specialist";
        options.headless = true;
        options.data_dir = std::filesystem::temp_directory_path().string();
        host_startup(options, "Specialist-Mode");
    }
    // 0000 LD SP,8F00; 0003 LD HL,9000; 0006 INC (HL); INC HL; LD A,H; CP C0;
    // JR NZ,0006; JR 0003
    const uint8_t program[] = {0x31, 0x00, 0x8F, 0x21, 0x00, 0x90, 0x34, 0x23,
                               0x7C, 0xFE, 0xC0, 0x20, 0xF9, 0x18, 0xF4};
    std::memset(specialist.memory, 0, sizeof specialist.memory);
    std::memcpy(specialist.memory, program, sizeof program);
    specialist_power_on();
    specialist.cpu.pc = 0;
}

void BM_SpecialistFrame(benchmark::State& state)
{
    boot();
    for (auto _ : state) {
        specialist_run_frame();
        if (z80_monitor_frame_done(&specialist.monitor)) specialist_draw_and_present();
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpecialistFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
