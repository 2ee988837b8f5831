// 15IE core speed: a terminal-like loop (poll the receive latch, take a byte,
// write it to display memory through the two-access Data port, arithmetic, a
// counted loop with decsn/jmp) on a flat block; reports instructions per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "cpu/ie15/ie15.h"

namespace {

const uint8_t program[] = {
    0x30, 0x00,  // 000: ld a,$00
    0xF2,        // 002: out (AdrH),a
    0xF3,        // 003: out (AdrL),a
    0x20, 0x50,  // 004: ld r0,$50
    0x61,        // 006: in a,(RRDY)
    0x8D,        // 007: skips S      RRDY 0x80: nothing received
    0x66,        // 008: in a,(6 *)   takes the byte and frees the latch
    0xF0,        // 009: out (Data),a  arms
    0xF0,        // 00A: out (Data),a  writes
    0x03,        // 00B: add a,r3
    0x93,        // 00C: and a,r3
    0xFE,        // 00D: out (Page1),a
    0xE4,        // 00E: ld r4,a
    0xFF,        // 00F: out (Page0),a
    0x40,        // 010: decsn r0
    0x10, 0x05,  // 011: jmp $006
    0x71,        // 013: jmp r1 (R1 = 0)
};

void BM_Ie15Terminal(benchmark::State& state)
{
    std::vector<uint8_t> block(0x10000, 0);
    for (size_t k = 0; k < sizeof program; ++k) block[k] = program[k];
    Ie15Cpu cpu{};
    cpu.memory = block.data();
    cpu.fetch_byte = ie15_fetch_flat;
    ie15_connect(&cpu);
    ie15_reset(&cpu);
    cpu.r[0][3] = 0x7F;

    constexpr int32_t frame = 256 * 61600;  // one 15IE frame of cycles
    int64_t instructions = 0;
    for (auto _ : state) {
        cpu.budget += frame;
        while (cpu.budget >= 0) {
            cpu.in_ports[IE15_IN_RRDY] = 0;  // a byte waits every time
            ie15_run_instruction(&cpu);
            ++instructions;
        }
    }
    benchmark::DoNotOptimize(cpu.a);
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ie15Terminal)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
