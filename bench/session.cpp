// Save states of every machine: writing a state (into memory, and as a file), loading one
// (complete check, then the copy back), and what rewind's periodic states cost against the
// frames they are taken between (one state every 25 frames, as the window keeps them).
//
// Any machine joins with one BenchMachine entry: its boot (machine set up and registered
// with session_register_machine) and one emulated frame. Counters: "bytes" of the state,
// "rewind_%" = time of one rewind state / time of the 25 frames it covers x 100.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host_internal.h"
#include "host/session_internal.h"
#include "machines/ms0515/ms0515.h"
#include "machines/pk8000/pk8000.h"
#include "machines/specialist/specialist.h"
#include "machines/tile/tile.h"
#include "machines/zx/zx.h"

namespace {

struct BenchMachine {
    const char* name;
    void (*boot)();
    void (*frame)();
};

std::vector<uint32_t> surface(1200 * 960);

void start_host()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    HostOptions options;
    options.machine = "zx";
    options.headless = true;
    options.data_dir = std::filesystem::temp_directory_path().string();
    host_startup(options, "Session-Bench");
    session.rewind_enabled = false; // the benchmark takes its own rewind states
    set_client_size(768, 576);
}

// ---- Machines -----------------------------------------------------------------------

void zx_boot()
{
    zx_init_state();
    // LD HL,4000; INC (HL); INC HL; LD A,H; OUT (FE),A; CP 5B; JR NZ; JR start
    const uint8_t program[] = {0x21, 0x00, 0x40, 0x34, 0x23, 0x7C, 0xD3, 0xFE, 0xFE, 0x5B, 0x20, 0xF7, 0x18, 0xF2};
    std::memcpy(zx.memory + 0x8000, program, sizeof program);
    zx.cpu.pc = 0x8000;
    zx_register_state();
}
void zx_one_frame()
{
    zx_emulate_frame();
    zx_render_frame_into(surface.data(), 1200, 1200, 960);
}

void ms0515_boot()
{
    static uint8_t* block = static_cast<uint8_t*>(std::calloc(ms0515_block_size, 1));
    static uint8_t* system_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    static uint8_t* work_image = static_cast<uint8_t*>(std::calloc(ms0515_image_size, 1));
    ms0515.memory = block;
    ms0515.systemImage = system_image;
    ms0515.workImage = work_image;
    ms0515_memory_reset();
    // 0172000: video RAM on, colour mode, then adds a counter over all of it forever.
    const uint16_t program[] = {012706, 001000, 012737, 004377, 0177400, 012737, 000000, 0177604,
                                012700, 0100000, 012701, 020000, 060210, 012003, 005202, 077104, 000767};
    uint8_t* rom = ms0515.memory + ms0515_rom + 0x3400;
    for (size_t i = 0; i < std::size(program); ++i) {
        rom[2 * i] = uint8_t(program[i]);
        rom[2 * i + 1] = uint8_t(program[i] >> 8);
    }
    ms0515_power_on();
    ms0515_register_state();
}
void ms0515_one_frame() { ms0515_run_frame(); }

void pk8000_boot()
{
    // DI; LXI SP,C000; LXI H,4000; INR M; INX H; MOV A,H; CPI C0; JNZ 0007; JMP 0004
    const uint8_t program[] = {0xF3, 0x31, 0x00, 0xC0, 0x21, 0x00, 0x40, 0x34, 0x23,
                               0x7C, 0xFE, 0xC0, 0xC2, 0x07, 0x00, 0xC3, 0x04, 0x00};
    std::memset(pk8000.rom, 0xFF, sizeof pk8000.rom);
    std::memcpy(pk8000.rom, program, sizeof program);
    pk8000_power_on();
    pk8000_register_state();
}
void pk8000_one_frame()
{
    pk8000_begin_frame();
    pk8000_run_frame();
    pk8000_draw(surface.data() + 100 * 1200 + 100, 1200);
}

void specialist_boot()
{
    // LXI SP,8F00; LXI H,9000; INR M; INX H; MOV A,H; CPI C0; JNZ 0006; JMP 0003
    const uint8_t program[] = {0x31, 0x00, 0x8F, 0x21, 0x00, 0x90, 0x34, 0x23, 0x7C,
                               0xFE, 0xC0, 0xC2, 0x06, 0x00, 0xC3, 0x03, 0x00};
    std::memset(specialist.memory, 0, sizeof specialist.memory);
    std::memcpy(specialist.memory, program, sizeof program);
    specialist_power_on();
    specialist.cpu.pc = 0;
    specialist_register_state();
}
void specialist_one_frame() { specialist_run_frame(); }

void tile_boot()
{
    const uint8_t program[] = {0xF3, 0xAF, 0xD3, 0xBE, 0x21, 0x00, 0xB0, 0x75, 0x23, 0x7C, 0xFE, 0xB8, 0x20, 0xF9, 0x18, 0xF4};
    std::memset(tile.memory, 0, sizeof tile.memory);
    std::memcpy(tile.memory, program, sizeof program);
    tile_build_colour_table();
    tile.scale = tile_scale_3;
    tile_power_on();
    tile_register_state();
}
void tile_one_frame() { tile_run_frame(); }

const BenchMachine zx_machine = {"zx", zx_boot, zx_one_frame};
const BenchMachine ms0515_machine = {"ms0515", ms0515_boot, ms0515_one_frame};
const BenchMachine pk8000_machine = {"pk8000", pk8000_boot, pk8000_one_frame};
const BenchMachine specialist_machine = {"specialist", specialist_boot, specialist_one_frame};
const BenchMachine tile_machine = {"tile", tile_boot, tile_one_frame};

// ---- Measurements -------------------------------------------------------------------

void boot(const BenchMachine* m)
{
    start_host();
    m->boot();
    for (int i = 0; i < 30; ++i)
        m->frame();
}

void BM_StateSave(benchmark::State& state, const BenchMachine* m)
{
    boot(m);
    std::vector<uint8_t> file;
    std::string why;
    for (auto _ : state)
        if (!session_encode_current(&file, &why))
            state.SkipWithError(why.c_str());
    state.counters["bytes"] = double(file.size());
}

void BM_StateSaveFile(benchmark::State& state, const BenchMachine* m)
{
    boot(m);
    const std::string path = (std::filesystem::temp_directory_path() / "korvel_bench_state.kst").string();
    std::string why;
    for (auto _ : state)
        if (!session_save_file(path.c_str(), &why))
            state.SkipWithError(why.c_str());
    std::filesystem::remove(path);
}

void BM_StateLoad(benchmark::State& state, const BenchMachine* m)
{
    boot(m);
    std::vector<uint8_t> file;
    std::string why;
    if (!session_encode_current(&file, &why))
        return state.SkipWithError(why.c_str());
    for (auto _ : state) {
        StateHeader h;
        StateReader r;
        if (!session_check_bytes(file.data(), file.size(), &h, &r, &why))
            return state.SkipWithError(why.c_str());
        session_apply(r, h.frame);
    }
}

void BM_StateLoadFile(benchmark::State& state, const BenchMachine* m)
{
    boot(m);
    const std::string path = (std::filesystem::temp_directory_path() / "korvel_bench_state.kst").string();
    std::string why;
    if (!session_save_file(path.c_str(), &why))
        return state.SkipWithError(why.c_str());
    for (auto _ : state)
        if (!session_load_file(path.c_str(), &why))
            return state.SkipWithError(why.c_str());
    std::filesystem::remove(path);
}

// Processor time of this thread in nanoseconds: the machine this runs on is shared.
int64_t thread_ns()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void BM_RewindOverhead(benchmark::State& state, const BenchMachine* m)
{
    boot(m);
    RewindRing ring;
    StateWriter writer;
    std::string why;
    int64_t frames = 0, states = 0;
    for (auto _ : state) {
        const int64_t a = thread_ns();
        for (int i = 0; i < 25; ++i)
            m->frame();
        const int64_t b = thread_ns();
        if (!session_capture(&writer, false, &why))
            return state.SkipWithError(why.c_str());
        rewind_push_taking(&ring, &writer.bytes, writer.bytes.size(), host_frame_count);
        states += thread_ns() - b;
        frames += b - a;
    }
    state.counters["rewind_%"] = 100.0 * double(states) / double(frames);
    state.counters["frame_us"] = double(frames) / 1000.0 / double(state.iterations() * 25);
    state.counters["state_us"] = double(states) / 1000.0 / double(state.iterations());
    state.counters["ring_MB"] = double(rewind_memory(ring)) / (1 << 20);
}

#define SESSION_BENCHMARKS(machine)                                                          \
    BENCHMARK_CAPTURE(BM_StateSave, machine, &machine##_machine)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_StateSaveFile, machine, &machine##_machine)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_StateLoad, machine, &machine##_machine)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_StateLoadFile, machine, &machine##_machine)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_RewindOverhead, machine, &machine##_machine)->Unit(benchmark::kMillisecond)

SESSION_BENCHMARKS(zx);
SESSION_BENCHMARKS(ms0515);
SESSION_BENCHMARKS(pk8000);
SESSION_BENCHMARKS(specialist);
SESSION_BENCHMARKS(tile);

} // namespace

BENCHMARK_MAIN();
