// ZX Spectrum 48K: whole headless frames of a busy program (CPU with the frame interrupt,
// timed border, screen, the x3 filter into a BackBuffer-sized surface, beeper samples),
// and the CPU and picture parts on their own to show where the time goes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "host/host.h"
#include "machines/zx/zx.h"

namespace {

constexpr uint32_t surface_width = 1200, surface_height = 960;
std::vector<uint32_t> surface(surface_width * surface_height);

// The program rewrites the screen byte by byte and sends every new byte to port 0xFE,
// so the border and the beeper change about every 60 T-states (some 1200 border events a
// frame), with IM 1 interrupts served by EI; RET at 0x0038.
void busy_machine()
{
    zx_init_state();
    sample_phase = 0;
    samples_per_frame_x256 = 960 * 256;
    const uint8_t program[] = {
        0x21, 0x00, 0x40, // start: LD HL,0x4000
        0x7E,             // inner: LD A,(HL)
        0x85,             //        ADD A,L
        0xAC,             //        XOR H
        0x77,             //        LD (HL),A
        0x23,             //        INC HL
        0xD3, 0xFE,       //        OUT (0xFE),A
        0x7C,             //        LD A,H
        0xFE, 0x5B,       //        CP 0x5B
        0x20, 0xF4,       //        JR NZ,inner
        0x18, 0xEF,       //        JR start
    };
    std::memcpy(zx.memory + 0x8000, program, sizeof program);
    zx.memory[0x38] = 0xFB; // EI
    zx.memory[0x39] = 0xC9; // RET
    zx.cpu.pc = 0x8000;
    zx.cpu.sp = 0xFF00;
    zx.cpu.im = 2;
    zx.cpu.iff = 6;
}

void BM_ZxWholeFrame(benchmark::State& state)
{
    busy_machine();
    for (auto _ : state) {
        zx_emulate_frame();
        zx_render_frame_into(surface.data(), surface_width, surface_width, surface_height);
    }
    benchmark::DoNotOptimize(surface.data());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ZxWholeFrame)->Unit(benchmark::kMicrosecond);

// Whole frames of the OpenSE BASIC prompt doing nothing (the ROM from Debian's
// opense-basic): the CPU waits in the keyboard loop, the screen and border stay put, and
// only the cursor's FLASH changes now and then.
constexpr const char* opense_rom = "/usr/share/spectrum-roms/opense.rom";

bool idle_prompt_machine()
{
    zx_init_state();
    sample_phase = 0;
    samples_per_frame_x256 = 960 * 256;
    FILE* file = std::fopen(opense_rom, "rb");
    if (!file)
        return false;
    const size_t got = std::fread(zx.memory, 1, 0x4000, file);
    std::fclose(file);
    if (got != 0x4000)
        return false;
    z80_reset(&zx.cpu);
    for (int frame = 0; frame < 300; ++frame) // past the start-up and its RAM test
        zx_emulate_frame();
    zx.border_event_count = 0;
    return true;
}

void BM_ZxIdlePromptFrame(benchmark::State& state)
{
    if (!idle_prompt_machine()) {
        state.SkipWithError("no OpenSE ROM (Debian package opense-basic)");
        return;
    }
    for (auto _ : state) {
        zx_emulate_frame();
        zx_render_frame_into(surface.data(), surface_width, surface_width, surface_height);
    }
    benchmark::DoNotOptimize(surface.data());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ZxIdlePromptFrame)->Unit(benchmark::kMicrosecond);

void BM_ZxCpuAndSound(benchmark::State& state)
{
    busy_machine();
    for (auto _ : state) {
        zx_emulate_frame();
        zx.border_event_count = 0;
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ZxCpuAndSound)->Unit(benchmark::kMicrosecond);

void BM_ZxPicture(benchmark::State& state)
{
    busy_machine();
    zx_emulate_frame();
    std::vector<ZxBorderEvent> events(zx.zx_border_events, zx.zx_border_events + zx.border_event_count);
    for (auto _ : state) {
        std::memcpy(zx.zx_border_events, events.data(), events.size() * sizeof events[0]);
        zx.border_event_count = int(events.size());
        zx_invalidate_picture(); // the whole picture, as the first frame paints it
        zx_render_frame_into(surface.data(), surface_width, surface_width, surface_height);
    }
    benchmark::DoNotOptimize(surface.data());
    state.counters["border events"] = double(events.size());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ZxPicture)->Unit(benchmark::kMicrosecond);

// The two halves of the picture: the machine's own painting, and the host's x3 filter.
void BM_ZxBorderAndScreen(benchmark::State& state)
{
    busy_machine();
    zx_emulate_frame();
    std::vector<ZxBorderEvent> events(zx.zx_border_events, zx.zx_border_events + zx.border_event_count);
    events.push_back({-1000, 0});
    for (auto _ : state) {
        std::memcpy(zx.zx_border_events, events.data(), events.size() * sizeof events[0]);
        zx_render_border(zx.zx_picture, int(events.size()));
        zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800,
                         zx.zx_picture + zx_screen_row * zx_picture_width + zx_screen_column);
    }
    benchmark::DoNotOptimize(zx.zx_picture);
}
BENCHMARK(BM_ZxBorderAndScreen)->Unit(benchmark::kMicrosecond);

void BM_ZxFilterX3(benchmark::State& state)
{
    for (auto _ : state)
        filter_rows_x3_scanlines(zx.zx_picture, surface.data() + 48 * surface_width + 72, zx_picture_width,
                                 zx_picture_height, 0, surface_width);
    benchmark::DoNotOptimize(surface.data());
}
BENCHMARK(BM_ZxFilterX3)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
