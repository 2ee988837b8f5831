// Whole MS-0515 frames (160000 cycles each) with a busy processor: a ROM loop that reads,
// adds and writes all 16 KB of video RAM, through the banked bus, followed by rendering
// the picture as a presented frame would. Target: 1000 frames per second or more.
#include <benchmark/benchmark.h>

#include "host/host.h"
#include "machines/ms0515/ms0515.h"

#include <cstdlib>
#include <vector>

namespace {

void load_busy_rom()
{
    static const uint16_t program[] = {
        012706, 001000,          // MOV #1000,SP
        012737, 004377, 0177400, // MEM_CON: bank A, video RAM at 0100000
        012737, 000000, 0177604, // colour mode
        012700, 0100000,         // L: MOV #100000,R0
        012701, 020000,          //    MOV #8192.,R1
        060210,                  // L2: ADD R2,(R0)
        012003,                  //     MOV (R0)+,R3
        005202,                  //     INC R2
        077104,                  //     SOB R1,L2
        000767,                  //    BR L
    };
    uint8_t* rom = ms0515.memory + ms0515_rom + 0x3400; // 0172000
    for (size_t i = 0; i < sizeof program / sizeof program[0]; ++i) {
        rom[2 * i] = static_cast<uint8_t>(program[i]);
        rom[2 * i + 1] = static_cast<uint8_t>(program[i] >> 8);
    }
}

void BM_Ms0515Frame(benchmark::State& state)
{
    static uint8_t* block = static_cast<uint8_t*>(std::calloc(ms0515_block_size, 1));
    static uint8_t* system_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    static uint8_t* work_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    ms0515.memory = block;
    ms0515.systemImage = system_image;
    ms0515.workImage = work_image;
    ms0515_memory_reset();
    load_busy_rom();
    ms0515_power_on();
    std::vector<uint32_t> picture(1200 * 960);
    for (auto _ : state) {
        ms0515_run_frame();
        ms0515_render(picture.data(), 1200, 1200, 960);
        benchmark::DoNotOptimize(picture.data());
    }
    if (ms0515.cpu.r[2] == 0)
        state.SkipWithError("the busy loop did not run");
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ms0515Frame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
