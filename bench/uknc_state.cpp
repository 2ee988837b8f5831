// Saving and loading the whole UKNC complex with every board and both terminals fitted:
// the state's sections copied into one buffer as the session layer does, then checked
// and loaded back. Targets: saving under 5 ms, loading (check and load) under 10 ms.
#include <benchmark/benchmark.h>

#include "machines/terminals/terminals.h"
#include "machines/workstation/dvk_boards.h"
#include "machines/workstation/uknc_floppy.h"
#include "machines/workstation/workstation.h"
#include "machines/workstation/workstation_state.h"

#include <cstring>
#include <string>
#include <vector>

// The section calls over one growing buffer: tag, length, bytes.
struct StateWriter {
    std::vector<uint8_t> bytes;
};
struct StateReader {
    const std::vector<uint8_t>* bytes;
};

void state_put(StateWriter* w, uint32_t tag, const void* data, size_t size)
{
    const size_t at = w->bytes.size();
    w->bytes.resize(at + 12 + size);
    const uint64_t length = size;
    std::memcpy(w->bytes.data() + at, &tag, 4);
    std::memcpy(w->bytes.data() + at + 4, &length, 8);
    std::memcpy(w->bytes.data() + at + 12, data, size);
}

const uint8_t* state_get(const StateReader* r, uint32_t tag, size_t* size)
{
    const std::vector<uint8_t>& b = *r->bytes;
    for (size_t at = 0; at + 12 <= b.size();) {
        uint32_t t;
        uint64_t length;
        std::memcpy(&t, b.data() + at, 4);
        std::memcpy(&length, b.data() + at + 4, 8);
        if (t == tag) {
            *size = length;
            return b.data() + at + 12;
        }
        at += 12 + length;
    }
    *size = 0;
    return nullptr;
}

const uint8_t* state_get_exact(const StateReader* r, uint32_t tag, size_t size)
{
    size_t got = 0;
    const uint8_t* data = state_get(r, tag, &got);
    return data && got == size ? data : nullptr;
}

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
    writer.bytes.reserve(4 << 20);
    for (auto _ : state) {
        writer.bytes.clear();
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
    workstation_state_save(&writer);
    StateReader reader{&writer.bytes};
    std::string why;
    for (auto _ : state) {
        if (!workstation_state_check(&reader, &why))
            state.SkipWithError(why.c_str());
        workstation_state_load(&reader);
    }
}
BENCHMARK(BM_LoadUkncState)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
