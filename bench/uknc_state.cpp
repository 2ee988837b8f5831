// Saving and loading the whole UKNC complex with every board and both terminals fitted:
// the sections written as the session layer writes them for a file (with checksums), then
// parsed, checked and loaded back. Targets: saving under 5 ms, loading (check and load) under 10 ms.
#include <benchmark/benchmark.h>

#include "machines/terminals/terminals.h"
#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_run.h"
#include "machines/workstation/workstation_state.h"

#include "host/session_internal.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

void complex_with_every_board()
{
    static bool built = false;
    if (built)
        return;
    built = true;
    workstation_allocate();
    std::memset(workstation.rom, 0xFF, uknc_rom_size);
    dvk_allocate();
    terminals_allocate();
    workstation.kgdPresent = workstation.kcgdPresent = workstation.nemigaPresent = true;
    workstation.e85Present = workstation.ksmPresent = workstation.ie15Present = true;
    workstation.display = UkncDisplaySettings{12, 0, 276};
    uknc_floppy.inserted[0] = uknc_floppy.inserted[1] = true;
    workstation_restart();
    for (int i = 0; i < 5; ++i)
        workstation_run_frame();
}

void BM_SaveUkncState(benchmark::State& state)
{
    complex_with_every_board();
    StateWriter writer;
    for (auto _ : state) {
        state_writer_reset(&writer, true);
        workstation_state_save(&writer);
        benchmark::DoNotOptimize(writer.bytes.data());
    }
    state.counters["bytes"] = double(writer.bytes.size());
}
BENCHMARK(BM_SaveUkncState)->Unit(benchmark::kMillisecond);

void BM_LoadUkncState(benchmark::State& state)
{
    complex_with_every_board();
    StateWriter writer;
    state_writer_reset(&writer, true);
    workstation_state_save(&writer);
    std::string why;
    for (auto _ : state) {
        StateReader reader;
        if (!state_parse_sections(writer.bytes.data(), writer.bytes.size(), true, &reader, &why) ||
            !workstation_state_check(&reader, &why))
            state.SkipWithError(why.c_str());
        workstation_state_load(&reader);
    }
}
BENCHMARK(BM_LoadUkncState)->Unit(benchmark::kMillisecond);

// Processor time of this thread in nanoseconds: the machine this runs on is shared.
int64_t thread_ns()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void BM_UkncRewindOverhead(benchmark::State& state)
{
    complex_with_every_board();
    session_register_machine(&workstation_state_ops);
    RewindRing ring;
    StateWriter writer;
    std::string why;
    int64_t frames = 0, states = 0;
    for (auto _ : state) {
        const int64_t a = thread_ns();
        for (int i = 0; i < 25; ++i)
            workstation_run_frame();
        const int64_t b = thread_ns();
        if (!session_capture(&writer, false, &why))
            return state.SkipWithError(why.c_str());
        rewind_push_taking(&ring, &writer.bytes, writer.bytes.size(), 0);
        states += thread_ns() - b;
        frames += b - a;
    }
    state.counters["rewind_%"] = 100.0 * double(states) / double(frames);
    state.counters["state_us"] = double(states) / 1000.0 / double(state.iterations());
    state.counters["ring_MB"] = double(rewind_memory(ring)) / (1 << 20);
}
BENCHMARK(BM_UkncRewindOverhead)->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace

BENCHMARK_MAIN();
