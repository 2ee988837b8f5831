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

} // namespace

BENCHMARK_MAIN();
