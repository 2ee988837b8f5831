// The cost of one presented frame in the window, for the ZX and the UKNC: the machine's
// picture drawn into the BackBuffer and the SDL backend's frame (the changed rows into the
// window, present), unchanged from the last frame and changed in every line; and the UKNC
// with its real ROM running the busy program and a game's title screen (uknc_boot.h), the
// emulation and the window together. SDL runs on its offscreen (or dummy) video driver;
// skipped in a build without SDL or without a driver.
//
// With KORVEL_BENCH_DISKS=DIR the two diskettes are also written there (uknc-busy.dsk,
// uknc-game.dsk) for measuring the real window: `korvel --machine uknc DISK`, then "1" and
// Enter in the ROM's menu.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/host_internal.h"
#include "machines/uknc/uknc_video.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_run.h"
#include "machines/zx/zx.h"
#include "uknc_boot.h"

namespace {

// The SDL backend with a window of width x height, paced as fast as it goes; false with the
// reason when there is none.
bool open_window(uint32_t width, uint32_t height, std::string* why)
{
    static bool opened = false, failed = false;
    if (failed) {
        *why = "no SDL video driver";
        return false;
    }
    if (!opened) {
        if (!host_sdl_backend) {
            *why = "built without SDL";
            failed = true;
            return false;
        }
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        HostOptions options;
        options.fps_x256 = 1000000u * 256u; // the timer never holds a frame back
        host.options = options;
        host.backend = host_sdl_backend;
        if (!host.backend->open(options, why)) {
            failed = true;
            return false;
        }
        host.back_buffer = static_cast<uint32_t*>(std::calloc(size_t(back_buffer_width) * back_buffer_height, 4));
        opened = true;
    }
    host.backend->apply_client_size(width, height);
    return true;
}

// ---- ZX --------------------------------------------------------------------------------

[[gnu::noinline]] void zx_presented_frame()
{
    BackBufferView view;
    if (lock_back_buffer(&view)) {
        if (zx_render_frame_into(view.pixels, view.pitch, back_buffer_width, back_buffer_height))
            unlock_back_buffer();
        else
            unlock_back_buffer_unchanged(); // as the machine's own frame does
    }
    host.backend->frame(false);
}

void zx_window(benchmark::State& state, bool changed)
{
    std::string why;
    if (!open_window(768, 576, &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    zx_init_state();
    for (uint32_t i = 0; i < 0x1800; ++i)
        zx.memory[0x4000 + i] = uint8_t(i * 13);
    std::memset(zx.memory + 0x5800, 0x38, 0x300);
    zx_invalidate_picture();
    zx.border_event_count = 0;
    zx_presented_frame();
    for (auto _ : state) {
        if (changed) // every bitmap byte of the screen, so every line differs
            for (uint32_t i = 0; i < 0x1800; ++i)
                zx.memory[0x4000 + i] ^= 0xFF;
        zx.border_event_count = 0;
        zx_presented_frame();
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ZxWindowUnchanged(benchmark::State& state) { zx_window(state, false); }
BENCHMARK(BM_ZxWindowUnchanged)->Unit(benchmark::kMicrosecond);
void BM_ZxWindowChanged(benchmark::State& state) { zx_window(state, true); }
BENCHMARK(BM_ZxWindowChanged)->Unit(benchmark::kMicrosecond);

// ---- UKNC ------------------------------------------------------------------------------

// The ROM's screen as a line table: 298 drawn lines of 80 bytes from video address 0100000.
void uknc_screen()
{
    workstation_allocate();
    uint8_t* ppu = workstation.ppuMemory;
    uint16_t at = 0270;
    auto word = [&](uint16_t address, uint16_t value) {
        ppu[address] = uint8_t(value);
        ppu[address + 1] = uint8_t(value >> 8);
    };
    word(at, 0100000);
    word(uint16_t(at + 2), 02000); // the first record
    for (uint32_t line = 0; line < 320; ++line) {
        uint16_t record = uint16_t(02000 + 4 * line);
        word(record, uint16_t(0100000 + 80 * (line > 19 ? line - 19 : 0)));
        word(uint16_t(record + 2), uint16_t(record + 4));
    }
    for (uint32_t i = 0; i < 0x8000; ++i) {
        ppu[0100000 + i] = uint8_t(i * 7);
        workstation.cpuMemory[2 * (0100000 + i)] = uint8_t(i * 3); // planes 1 and 2
        workstation.cpuMemory[2 * (0100000 + i) + 1] = uint8_t(i * 5);
    }
}

// As the machine's frame does: the lines whose video memory changed, drawn, filtered and
// marked as the BackBuffer rows to look at.
UkncLineCache uknc_lines;

[[gnu::noinline]] void uknc_presented_frame(uint32_t* picture, uint32_t* picture_buffer, bool whole = false)
{
    const UkncDisplaySettings settings{12, uknc_scanlines_black, 276};
    workstation_render_changed(picture, &uknc_lines);
    BackBufferView view;
    if (lock_back_buffer(&view)) {
        uint32_t first = 0, end = 0;
        uknc_present_into(picture, settings, picture_buffer, view.pixels, view.pitch, back_buffer_width,
                          back_buffer_height, whole ? nullptr : uknc_lines.changed, &first, &end);
        unlock_back_buffer_rows(first, end);
    }
    host.backend->frame(false);
}

void uknc_window(benchmark::State& state, bool changed)
{
    std::string why;
    if (!open_window(800, 552, &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    uknc_screen();
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    uknc_presented_frame(picture.data(), picture_buffer.data(), true);
    for (auto _ : state) {
        if (changed) // one byte of plane 0 in every line
            for (uint32_t line = 0; line < 298; ++line)
                workstation.ppuMemory[0100000 + 80 * line] ^= 0xFF;
        uknc_presented_frame(picture.data(), picture_buffer.data());
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_UkncWindowUnchanged(benchmark::State& state) { uknc_window(state, false); }
BENCHMARK(BM_UkncWindowUnchanged)->Unit(benchmark::kMicrosecond);
void BM_UkncWindowChanged(benchmark::State& state) { uknc_window(state, true); }
BENCHMARK(BM_UkncWindowChanged)->Unit(benchmark::kMicrosecond);

// The real ROM booted into `words`, then frame after frame: both processors, the lines that
// changed drawn and filtered, and the window's frame.
void uknc_rom_window(benchmark::State& state, const uint16_t* words, size_t count)
{
    static bool written = false;
    const char* disks = std::getenv("KORVEL_BENCH_DISKS");
    if (disks && *disks && !written) {
        const std::string dir = disks;
        written = uknc_write_boot_disk(dir + "/uknc-busy.dsk", uknc_busy_boot_sector, std::size(uknc_busy_boot_sector)) &&
                  uknc_write_boot_disk(dir + "/uknc-game.dsk", uknc_game_boot_sector, std::size(uknc_game_boot_sector));
        if (!written)
            std::fprintf(stderr, "cannot write the diskettes into %s\n", disks);
    }
    std::string why;
    if (!open_window(800, 552, &why) || !uknc_boot_into(words, count, &why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    std::vector<uint32_t> picture_buffer(uknc_picture_buffer_pixels);
    uknc_presented_frame(picture.data(), picture_buffer.data(), true);
    uint64_t changed = 0;
    for (auto _ : state) {
        workstation_run_frame();
        uknc_presented_frame(picture.data(), picture_buffer.data());
        changed += uknc_lines.changed_count;
    }
    state.counters["changed lines"] = double(changed) / double(state.iterations());
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_UkncWindowRealRomBusy(benchmark::State& state)
{
    uknc_rom_window(state, uknc_busy_boot_sector, std::size(uknc_busy_boot_sector));
}
BENCHMARK(BM_UkncWindowRealRomBusy)->Unit(benchmark::kMicrosecond);
void BM_UkncWindowRealRomGame(benchmark::State& state)
{
    uknc_rom_window(state, uknc_game_boot_sector, std::size(uknc_game_boot_sector));
}
BENCHMARK(BM_UkncWindowRealRomGame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
