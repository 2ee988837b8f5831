// Tile machine whole headless frame: keys, the frame interrupt (a handler that moves all
// 16 sprites), 35000 T-states of a loop writing the tile window, sprites over tiles, the
// scalers of the chosen scale and the host's frame service.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>

#include "host/host_internal.h"
#include "machines/tile/tile.h"

namespace {

void boot(uint8_t scale, uint8_t scanlines)
{
    static bool started = false;
    if (!started) {
        started = true;
        HostOptions options;
        options.machine = "tile";
        options.headless = true;
        options.data_dir = std::filesystem::temp_directory_path().string();
        host_startup(options, "Tile-Mode");
    }
    const uint8_t program[] = {
        0xF3, 0x31, 0x00, 0xF0, 0xED, 0x56, 0xFB, // 0000 DI; LD SP,F000; IM 1; EI
        0xAF, 0xD3, 0xBE,                         // 0007 XOR A; OUT (BE),A  every target
        0x21, 0x00, 0xB0,                         // 000A LD HL,B000
        0x75, 0x23, 0x7C, 0xFE, 0xB8, 0x20, 0xF9, // 000D LD (HL),L; INC HL; LD A,H; CP B8; JR NZ,000D
        0x18, 0xF4,                               // 0014 JR 000A
    };
    const uint8_t handler[] = {
        0xF5, 0xC5,             // 0038 PUSH AF; PUSH BC
        0x3A, 0x00, 0xC0, 0x3C, // 003A LD A,(C000); INC A
        0x32, 0x00, 0xC0,       // 003E LD (C000),A
        0x0E, 0x50, 0x06, 0x10, // 0041 LD C,50; LD B,10
        0xED, 0x79, 0x0C,       // 0045 OUT (C),A; INC C      sprite X
        0xC6, 0x0B, 0x10, 0xF9, // 0048 ADD A,0B; DJNZ 0045
        0xC1, 0xF1, 0xFB, 0xC9, // 004C POP BC; POP AF; EI; RET
    };
    std::memset(tile.memory, 0, sizeof tile.memory);
    std::memcpy(tile.memory, program, sizeof program);
    std::memcpy(tile.memory + 0x38, handler, sizeof handler);
    uint32_t seed = 12345;
    for (uint8_t& b : tile.graphics) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    tile_build_colour_table();
    for (uint32_t k = 0; k < 16; ++k) tile.palette[k] = tile_colour_table[k * 17];
    for (uint32_t n = 0; n < 16; ++n) {
        tile.sprites[n][1] = static_cast<uint8_t>(40 + 12 * n);
        tile.sprites[n][2] = static_cast<uint8_t>(7 * n);
        tile.sprites[n][3] = static_cast<uint8_t>(n & 0x0A);
    }
    tile.scale = scale;
    tile.scanlines = scanlines;
    tile_power_on();
}

void run_frames(benchmark::State& state)
{
    for (auto _ : state) {
        tile_run_frame();
        if (z80_monitor_frame_done(&tile.monitor)) tile_draw_and_present();
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TileFrameScale3(benchmark::State& state)
{
    boot(tile_scale_3, tile_lines_black);
    run_frames(state);
}
BENCHMARK(BM_TileFrameScale3)->Unit(benchmark::kMicrosecond);

void BM_TileFrameScale1_25Smooth(benchmark::State& state)
{
    boot(tile_scale_1_25, tile_lines_smooth);
    run_frames(state);
}
BENCHMARK(BM_TileFrameScale1_25Smooth)->Unit(benchmark::kMicrosecond);

void BM_TileFrameScale1(benchmark::State& state)
{
    boot(tile_scale_1, tile_lines_black);
    run_frames(state);
}
BENCHMARK(BM_TileFrameScale1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
