// The terminals' speed: the 15IE terminal alone (processor and video generator painting
// 80 characters on every glyph line), and whole workstation frames with both terminals
// fitted and busy: the PPU paints the planes, the CPU sends console text, the KSM takes
// every byte at HALT and the 15IE echoes it into display memory; each frame ends with the
// UKNC picture and the KSM's text composed as the KGD display would.
#include <benchmark/benchmark.h>

#include "machines/terminals/terminals.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include <cstring>
#include <vector>

namespace {

// 15IE: take console bytes into display memory until a 0 arrives, then show display
// memory 0..79 on every glyph line (Adr reset in each horizontal blank).
const uint8_t ie15_program[] = {
    0xC0, 0x61, 0x85, 0x10, 0x00, 0x66, 0xB0, 0x10, 0x0A, 0x10, 0x0E, 0xF0, 0xF0, 0x10, 0x00,
    0xC8, 0x88, 0x10, 0x0F, 0x5F, 0xF2, 0xF3, 0x80, 0x10, 0x15, 0x10, 0x0F,
};

// KSM: wait in HALT; the input routine at 0x0BCC stores each byte at the next screen cell.
const uint8_t ksm_start[] = {0x31, 0x00, 0xF0, 0x21, 0x30, 0xE0, 0x22, 0x00, 0x21, 0xFB, 0x76, 0x18, 0xFD};
const uint8_t ksm_input[] = {0xDB, 0x76, 0x2A, 0x00, 0x21, 0x77, 0x23, 0x7C, 0xE6, 0x0F,
                             0xF6, 0xE0, 0x67, 0x22, 0x00, 0x21, 0xFB, 0xC9};
// (ld a,h; and 0x0F; or 0xE0; ld h,a keeps the pointer inside the screen rows.)

void fill_font(uint8_t* font)
{
    for (uint32_t n = 0; n < 2048; ++n)
        font[n] = uint8_t(n * 37 + 11);
}

void store_words(uint8_t* base, std::initializer_list<uint16_t> words)
{
    for (uint16_t w : words) {
        *base++ = uint8_t(w);
        *base++ = uint8_t(w >> 8);
    }
}

void fit_terminals()
{
    terminals_allocate();
    std::memset(ie15_terminal.block, 0, ie15_block_size);
    std::memcpy(ie15_terminal.block, ie15_program, sizeof ie15_program);
    fill_font(ie15_terminal.block + ie15_font_offset);
    std::memset(ksm_terminal.block, 0, ksm_block_size);
    std::memcpy(ksm_terminal.block, ksm_start, sizeof ksm_start);
    std::memcpy(ksm_terminal.block + ksm_input_handler, ksm_input, sizeof ksm_input);
    fill_font(ksm_terminal.block + ksm_font_offset);
}

void BM_Ie15TerminalFrame(benchmark::State& state)
{
    fit_terminals();
    ConsoleRing ring{};
    for (uint8_t byte : {uint8_t('1'), uint8_t('5'), uint8_t('I'), uint8_t('E'), uint8_t(0)})
        console_ring_append(ring, byte);
    terminals_restart(nullptr, &ring, false, true);
    int64_t cycles = 0;
    for (auto _ : state) {
        terminals_frame_start(true);
        ie15_catch_up();
        cycles += ie15_cycles_per_frame;
    }
    if (!ie15_terminal.cpu.vdis)
        state.SkipWithError("the 15IE program did not reach its display loop");
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cycles/s"] = benchmark::Counter(double(cycles), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ie15TerminalFrame)->Unit(benchmark::kMicrosecond);

void BM_WorkstationWithTerminals(benchmark::State& state)
{
    workstation_allocate();
    std::memset(workstation.mainBlock, 0, uknc_rom_offset);
    // PPU at 0160300: all three planes through the pixel register, for ever, in the upper
    // half of the video addresses (CPU memory above 0100000).
    store_words(workstation.rom + (0160300 - 0100000),
                {012737, 000007, 0177016,  // MOV #7,@#177016
                 012737, 040000, 0177010,  // MOV #40000,@#177010: above the CPU's program
                 010037, 0177024,          // loop: MOV R0,@#177024
                 005237, 0177010,          // INC @#177010
                 052737, 040000, 0177010,  // BIS #40000,@#177010
                 005200,                   // INC R0
                 000767});                 // BR loop
    fit_terminals();
    workstation.ksmPresent = workstation.ie15Present = true;
    workstation_restart();
    // CPU at 02000: a console byte, then a delay of 64 SOB turns, for ever.
    store_words(workstation.cpuMemory + 02000,
                {0110237, 0177566, 0005202, 0012701, 0000100, 0077101, 0000771});
    workstation.cpu.r[7] = 02000;
    workstation.cpu.psw = 0;
    workstation.cpu.r[2] = 1;
    workstation_start_cpu();

    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint8_t> text(terminal_text_size);
    std::vector<uint32_t> terminal_picture(terminal_width * terminal_lines);
    std::vector<uint8_t> kgd(0x4000, 0x55);
    for (auto _ : state) {
        workstation_run_frame();
        workstation_render(picture.data());
        terminals_render_text(text.data(), false);
        terminal_compose(text.data(), kgd.data(), 0x142110, 0x03FF15, terminal_picture.data(), terminal_width);
        benchmark::DoNotOptimize(terminal_picture.data());
    }
    if (ksm_terminal.block[0xE030] == 0 || workstation.ConsoleRings[RING_IE15].count < 2)
        state.SkipWithError("the terminals took no console text");
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WorkstationWithTerminals)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
