// Whole UKNC frames: the CPU and the PPU both busy (the PPU paints 23840 bytes of the
// screen through the pixel register in a loop, the CPU adds into 8 KB of its memory),
// interleaved at bus-operation granularity, followed by rendering the line table and
// presenting the picture as a frame would. Target: 1500 frames per second or more.
#include <benchmark/benchmark.h>

#include "host/host.h"
#include "machines/terminals/terminals.h"
#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"
#include "uknc_boot.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Octal words at an origin with backward branch/SOB targets and label addresses.
struct Program {
    explicit Program(uint32_t origin_) : origin(origin_) {}

    uint32_t origin;
    std::vector<uint16_t> words;
    std::map<std::string, uint32_t> labels;
    std::vector<std::pair<size_t, std::string>> addresses;

    uint32_t here() const { return origin + 2 * uint32_t(words.size()); }
    Program& w(std::initializer_list<uint16_t> list)
    {
        for (uint16_t word : list)
            words.push_back(word);
        return *this;
    }
    Program& label(const char* name)
    {
        labels[name] = here();
        return *this;
    }
    Program& address_of(const char* name)
    {
        addresses.emplace_back(words.size(), name);
        words.push_back(0);
        return *this;
    }
    Program& sob(int reg, const char* name)
    {
        return w({uint16_t(077000 | reg << 6 | ((here() + 2 - labels[name]) / 2))});
    }
    Program& br(const char* name)
    {
        return w({uint16_t(000400 | (((int(labels[name]) - int(here() + 2)) / 2) & 0xFF))});
    }
    void resolve()
    {
        for (auto& [index, name] : addresses)
            words[index] = uint16_t(labels[name]);
    }
};

Program cpu_program()
{
    Program p(0160300);
    p.label("loop").w({012700, 020000, 012701, 010000}); // MOV #20000,R0; MOV #4096.,R1
    p.label("add").w({060220, 005202});                  // ADD R2,(R0)+; INC R2
    p.sob(1, "add").br("loop");
    return p;
}

// With `tone`, the PPU's timer interrupt also flips the speaker (bit 7 of 0177716) every
// 284 ticks of 4 us, a 440 Hz square wave, while the painting goes on.
Program ppu_program(const Program& cpu, bool tone = false)
{
    Program p(0160300);
    p.w({012706, 001000});
    if (tone) {
        p.w({012737}).address_of("tick").w({000304, 012737, 000200, 000306}); // timer vector
        p.w({012737, 284, 0177712, 012737, 000103, 0177710});               // 4 us, interrupt, run
    }
    // Line table: 0270 -> 320 plain records at 02000, 80 bytes of video apart from 010000.
    p.w({005037, 000270, 012737, 002000, 000272});
    p.w({012702, 002000, 012703, 010000 - 19 * 80, 012701, 000500});
    p.label("table").w({010322, 062703, 000120, 010204, 062704, 000002, 010422});
    p.sob(1, "table");
    // The CPU's program into CPU memory at 0160300, then start it.
    p.w({012701}).address_of("cpu").w({012702, uint16_t(cpu.words.size())});
    p.w({012737, 0160300 / 2, 0177010});
    p.label("copy").w({012137, 0177014, 005237, 0177010});
    p.sob(2, "copy");
    p.w({012737, 0100000, 0177716});
    // Paint forever: all three planes through the pixel register.
    p.w({012737, 000007, 0177016});
    p.label("frame").w({012737, 010000, 0177010, 012701, 056440}); // 23840 bytes
    p.label("paint").w({010037, 0177024, 005237, 0177010, 005200});
    p.sob(1, "paint").br("frame");
    // Timer: MOV R3,-(SP); MOV #200,R3; XOR R3,@#177716; TST @#177714; MOV (SP)+,R3; RTI.
    p.label("tick").w({010346, 012703, 000200, 074337, 0177716, 005737, 0177714, 012603, 000002});
    p.label("cpu");
    for (uint16_t word : cpu.words)
        p.words.push_back(word);
    p.resolve();
    return p;
}

void store(uint8_t* base, const Program& p)
{
    for (size_t i = 0; i < p.words.size(); ++i) {
        base[2 * i] = uint8_t(p.words[i]);
        base[2 * i + 1] = uint8_t(p.words[i] >> 8);
    }
}

void BM_UkncFrame(benchmark::State& state)
{
    workstation_allocate();
    Program cpu = cpu_program();
    Program ppu = ppu_program(cpu);
    store(workstation.rom + (0160300 - 0100000), ppu);
    workstation_restart();
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> surface(1200 * 960);
    const UkncDisplaySettings settings{12, uknc_scanlines_black, 276};
    for (auto _ : state) {
        workstation_run_frame();
        workstation_render(picture.data());
        uknc_present_into(picture.data(), settings, picture_buffer.data(), surface.data(), 1200, 1200, 960);
        benchmark::DoNotOptimize(surface.data());
    }
    if (workstation.cpuHeld || workstation.cpu.r[2] == 0 || workstation.ppu.r[0] == 0)
        state.SkipWithError("the busy programs did not run");
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UkncFrame)->Unit(benchmark::kMicrosecond);

// The same frames with the speaker sounding a timer-driven tone, its samples made every
// frame: the speaker's whole cost over BM_UkncFrame.
void BM_UkncFrameWithSound(benchmark::State& state)
{
    workstation_allocate();
    Program cpu = cpu_program();
    Program ppu = ppu_program(cpu, true);
    store(workstation.rom + (0160300 - 0100000), ppu);
    workstation_restart();
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> surface(1200 * 960);
    const UkncDisplaySettings settings{12, uknc_scanlines_black, 276};
    samples_per_frame_x256 = 960 << 8;
    int64_t flips = 0;
    for (auto _ : state) {
        workstation_run_frame();
        flips += workstation.speakerEdgeCount;
        workstation_render(picture.data());
        uknc_present_into(picture.data(), settings, picture_buffer.data(), surface.data(), 1200, 1200, 960);
        workstation_speaker_samples();
        benchmark::DoNotOptimize(surface.data());
        benchmark::DoNotOptimize(SampleBuffer);
    }
    if (workstation.cpuHeld || workstation.ppu.r[0] == 0 || flips < state.iterations() * 15)
        state.SkipWithError("the busy programs or the tone did not run");
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UkncFrameWithSound)->Unit(benchmark::kMicrosecond);

// The processors alone, without rendering.
void BM_UkncProcessorsOnly(benchmark::State& state)
{
    workstation_allocate();
    Program cpu = cpu_program();
    Program ppu = ppu_program(cpu);
    store(workstation.rom + (0160300 - 0100000), ppu);
    workstation_restart();
    for (auto _ : state)
        workstation_run_frame();
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UkncProcessorsOnly)->Unit(benchmark::kMicrosecond);

// Every DVK board present and busy: the CPU, in user mode, writes the KGD bitmap, the
// NEMIGA video memory, starts 64-pixel E-85 runs and sends console bytes to the KCGD,
// whose GPU paints video words through its window and answers each byte; the PPU paints
// as above. Each frame presents one of the four DVK pictures in turn.
Program dvk_cpu_program()
{
    Program user(02000);
    user.w({012737, 0, 0176644});          // KGD on
    user.w({012737, 0100000, 0177572});    // NEMIGA on
    user.w({005737, 0174000});             // E-85 on
    user.w({012737, 2, 0174006});          // plane 0 copies the pattern
    user.w({012737, 0x0101, 0174410});     // planes 1 and 2 XOR
    user.label("loop");
    user.w({010237, 0176642, 010237, 0176644}); // KGD byte and address
    user.w({010237, 0177570});             // NEMIGA word
    user.w({010237, 0174024, 010237, 0174016, 010237, 0174020, 012737, 64, 0174022}); // E-85 run
    user.w({0105737, 0177564, 0100002, 0110237, 0177566}); // TSTB; BPL +2; MOVB R2,@#177566
    user.w({005202}).br("loop");

    Program boot(0160300);
    boot.w({012706, 001000, 012701}).address_of("user").w({012702, 002000, 012703, uint16_t(user.words.size())});
    boot.label("copy").w({012122}).sob(3, "copy");
    boot.w({012700, 002000, 000032, 005000, 000034, 000010}); // PC' = 2000, PSW' = 0, START
    boot.label("user");
    for (uint16_t word : user.words)
        boot.words.push_back(word);
    boot.resolve();
    return boot;
}

Program gpu_busy_program()
{
    Program p(0111516);
    p.w({012706, 001000, 012701, 0x2000, 005002});
    p.label("loop").w({010137, 0160000, 010237, 0160002, 005201, 062702, 3});
    p.w({0105737, 0176560, 0100366});      // TSTB @#176560; BPL loop
    p.w({0113703, 0176562, 005203, 0110337, 0176566}).br("loop");
    p.resolve();
    return p;
}

// The terminals' programs: the 15IE takes console bytes into display memory until a 0
// arrives, then shows display memory on every glyph line; the KSM waits in HALT and its
// input routine at 0x0BCC stores each byte at the next screen cell.
const uint8_t ie15_program[] = {
    0xC0, 0x61, 0x85, 0x10, 0x00, 0x66, 0xB0, 0x10, 0x0A, 0x10, 0x0E, 0xF0, 0xF0, 0x10, 0x00,
    0xC8, 0x88, 0x10, 0x0F, 0x5F, 0xF2, 0xF3, 0x80, 0x10, 0x15, 0x10, 0x0F,
};
const uint8_t ksm_start[] = {0x31, 0x00, 0xF0, 0x21, 0x30, 0xE0, 0x22, 0x00, 0x21, 0xFB, 0x76, 0x18, 0xFD};
const uint8_t ksm_input[] = {0xDB, 0x76, 0x2A, 0x00, 0x21, 0x77, 0x23, 0x7C, 0xE6, 0x0F,
                             0xF6, 0xE0, 0x67, 0x22, 0x00, 0x21, 0xFB, 0xC9};

void fit_terminals()
{
    terminals_allocate();
    std::memset(ie15_terminal.block, 0, ie15_block_size);
    std::memcpy(ie15_terminal.block, ie15_program, sizeof ie15_program);
    std::memset(ksm_terminal.block, 0, ksm_block_size);
    std::memcpy(ksm_terminal.block, ksm_start, sizeof ksm_start);
    std::memcpy(ksm_terminal.block + ksm_input_handler, ksm_input, sizeof ksm_input);
    for (uint32_t n = 0; n < 2048; ++n)
        ie15_terminal.block[ie15_font_offset + n] = ksm_terminal.block[ksm_font_offset + n] = uint8_t(n * 37 + 11);
    workstation.ksmPresent = workstation.ie15Present = true;
    kgd_text_source = terminals_kgd_text;
}

void dvk_boards_busy(benchmark::State& state, bool with_terminals)
{
    workstation_allocate();
    dvk_allocate();
    workstation.kgdPresent = workstation.kcgdPresent = workstation.nemigaPresent = workstation.e85Present = true;
    workstation.ksmPresent = workstation.ie15Present = false;
    if (with_terminals)
        fit_terminals();
    Program cpu = dvk_cpu_program();
    Program ppu = ppu_program(cpu);
    store(workstation.rom + (0160300 - 0100000), ppu);
    Program gpu = gpu_busy_program();
    store(dvk.kcgd.block + kcgd_rom_offset + (gpu.origin - 0100000), gpu);
    workstation_restart();
    for (uint8_t& p : dvk.kcgd.palette)
        p = 0x3F;
    std::vector<uint32_t> picture(e85_width * kgd_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> surface(1200 * 960);
    kcgd_activate();
    workstation_run_frame();
    uint32_t frame = 0;
    for (auto _ : state) {
        workstation_run_frame();
        struct Shown {
            void (*render)(uint32_t*);
            int width, lines, rows;
        };
        const Shown shown[4] = {{kgd_render, kgd_width, kgd_lines, 2},
                                {kcgd_render, kcgd_width, kcgd_lines, 2},
                                {nemiga_render, nemiga_wide_width, nemiga_lines, 2},
                                {e85_render, e85_width, e85_lines, 3}};
        if (with_terminals)
            workstation.ie15Selected = (frame & 4) != 0; // the KSM's text, then the 15IE's
        const Shown& s = shown[frame++ & 3];
        s.render(picture.data());
        dvk_present_into(picture.data(), s.width, s.lines, s.rows, uknc_scanlines_black, picture_buffer.data(),
                         surface.data(), 1200, 1200, 960);
        benchmark::DoNotOptimize(surface.data());
    }
    // (Registers wrap; the console count and the painted video words do not.)
    bool painted = false;
    for (uint32_t at = 0x4000; at < 0x4100; ++at)
        painted |= dvk.kcgd.block[at] != 0;
    if (!workstation.kgdMode || !workstation.nemigaMode || !workstation.e85Mode || !workstation.kcgdMode ||
        !painted || workstation.ConsoleRings[RING_KCGD].count == 0)
        state.SkipWithError("the busy programs did not run");
    // (The CPU's first byte is a 0: the 15IE shows its display memory from the start.)
    if (with_terminals && (ksm_terminal.block[0xE030] == 0 || workstation.ConsoleRings[RING_IE15].count < 2 ||
                           !ie15_terminal.cpu.vdis))
        state.SkipWithError("the terminals took no console text");
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DvkBoardsBusyFrame(benchmark::State& state) { dvk_boards_busy(state, false); }
BENCHMARK(BM_DvkBoardsBusyFrame)->Unit(benchmark::kMicrosecond);

// The whole complex: every board as above and both terminals fitted, taking the same
// console bytes (the KSM at HALT, the 15IE into its display memory and then showing it);
// the KGD picture shows the terminals' text in turn.
void BM_EveryBoardAndTerminalBusyFrame(benchmark::State& state) { dvk_boards_busy(state, true); }
BENCHMARK(BM_EveryBoardAndTerminalBusyFrame)->Unit(benchmark::kMicrosecond);

// The real ROM boots the busy diskette (uknc_boot.h): the CPU keeps writing planes 1 and
// 2 through its window and adding into memory while the PPU runs the ROM's own loop and
// shows the changing screen. Skipped without the ROM. False (with the reason) when the
// CPU is not in the sector's loop afterwards.
bool boot_busy_sector(std::string* why)
{
    if (!uknc_boot_into(uknc_busy_boot_sector, std::size(uknc_busy_boot_sector), why))
        return false;
    if (workstation.cpu.r[7] < 016) {
        *why = "the boot sector did not run";
        return false;
    }
    return true;
}

// One frame as the window shows it: both processors, the lines of the picture whose
// video memory changed, and those lines through the x1.25 filter.
UkncLineCache rom_frame_lines;

[[gnu::noinline]] void uknc_rom_frame(uint32_t* picture, uint32_t* picture_buffer, uint32_t* surface)
{
    const UkncDisplaySettings settings{12, uknc_scanlines_black, 276};
    workstation_run_frame();
    workstation_render_changed(picture, &rom_frame_lines);
    uknc_present_into(picture, settings, picture_buffer, surface, 1200, 1200, 960, rom_frame_lines.changed);
}

void BM_UkncRealRomBusy(benchmark::State& state)
{
    std::string why;
    if (!boot_busy_sector(&why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    std::vector<uint32_t> surface(1200 * 960);
    uint32_t r3 = workstation.cpu.r[3];
    const UkncDisplaySettings settings{12, uknc_scanlines_black, 276};
    workstation_render_changed(picture.data(), &rom_frame_lines);
    uknc_present_into(picture.data(), settings, picture_buffer.data(), surface.data(), 1200, 1200, 960);
    uint64_t changed = 0;
    for (auto _ : state) {
        uknc_rom_frame(picture.data(), picture_buffer.data(), surface.data());
        changed += rom_frame_lines.changed_count;
        benchmark::DoNotOptimize(surface.data());
    }
    if (workstation.cpu.r[3] == r3 || changed == 0)
        state.SkipWithError("the busy sector stopped");
    state.counters["changed lines"] = double(changed) / double(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UkncRealRomBusy)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
