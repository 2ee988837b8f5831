// The DVK displays' life cycle: memories, switching each mode on and off with its
// message and window size, the per-frame duties, EMT 350 and the host keys F6-F9.
#include "machines/workstation/dvk_boards.h"

#include "host/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

DvkBoards dvk;
KgdTextSource kgd_text_source = nullptr;

namespace {

Workstation& ws = workstation;

uint8_t* allocate(uint8_t* block, uint32_t size)
{
    if (block)
        return block;
    auto* memory = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!memory)
        fatal_error("Can't allocate memory!");
    return memory;
}

void clear_picture_buffer()
{
    if (ws.PictureBuffer)
        std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4);
}

// A display takes or gives back the window: the old picture goes.
void switch_window(const char* message, uint32_t width, uint32_t height)
{
    if (message)
        std::printf("%s", message);
    if (width)
        set_client_size(width, height);
    clear_back_buffer();
    clear_picture_buffer();
}

// Back from a DVK display: the KCGD's window while it stays on, else the UKNC's.
void window_after_deactivation(const char* message)
{
    if (ws.kcgdMode) {
        switch_window(message, kcgd_width, 2 * kcgd_lines);
    } else {
        uint32_t width = 0, height = 0;
        uknc_client_size(ws.display, &width, &height);
        switch_window(message, width, height);
    }
}

enum : uint8_t { KEY_F6 = 0x40, KEY_F7 = 0x41, KEY_F8 = 0x42, KEY_F9 = 0x43 };

} // namespace

void dvk_allocate()
{
    if (!dvk.nemiga.memory)
        dvk.nemiga.xScaleCode = 15; // delivered setting; it survives restarts
    dvk.kgd.memory = allocate(dvk.kgd.memory, kgd_memory_size);
    dvk.kcgd.block = allocate(dvk.kcgd.block, kcgd_block_size);
    dvk.nemiga.memory = allocate(dvk.nemiga.memory, nemiga_memory_size);
    dvk.e85.memory = allocate(dvk.e85.memory, e85_memory_size);
}

bool dvk_load_kcgd_rom()
{
    dvk_allocate();
    FILE* file = open_data_file("KCGD.rom", "rb");
    if (!file) {
        std::printf("KCGD.rom not found: the KCGD board is absent\n");
        dvk.kcgd.romLoaded = false;
        return false;
    }
    std::fclose(file);
    load_file(dvk.kcgd.block + kcgd_rom_offset, kcgd_rom_size, "KCGD.rom");
    dvk.kcgd.romLoaded = true;
    return true;
}

void dvk_restart()
{
    dvk_allocate();
    ws.kgdMode = ws.kcgdMode = ws.nemigaMode = ws.e85Mode = false;
    ws.KgdConsoleLimit = 0xFFFFFFFF;
    dvk.kgd.control = dvk.kgd.address = 0;
    dvk.kgd.keep = false;
    dvk.shownMode = 0;
    kcgd_reset_channel();
    gpu_setup();
    gpu_install_io();
}

void dvk_install_cpu_io()
{
    if (ws.kgdPresent && ws.kgdMode)
        kgd_install_cpu_io();
    else if (ws.kgdPresent)
        ws.CpuIoWriteWordTable[(0176644 >> 1) & 0xFFF] = ws.CpuIoWriteByteTable[0176644 & 0x1FFF] =
            [](uint32_t, uint16_t value) {
                if (!ws.kgdMode) {
                    dvk.kgd.address = value & 0x3FFF;
                    kgd_activate();
                }
            };
    if (ws.kcgdPresent)
        kcgd_install_cpu_io();
    if (ws.nemigaPresent)
        nemiga_install_cpu_io();
    if (ws.e85Present)
        e85_install_cpu_io();
}

// ---- Modes ---------------------------------------------------------------------------------

void kgd_activate()
{
    if (ws.kgdMode)
        return;
    ws.kgdMode = true;
    ws.KgdConsoleLimit = 19;
    workstation_install_cpu_io();
    switch_window("Videomode DVK KGD Activated!\n", kgd_width, 2 * kgd_lines);
}

void kgd_deactivate(bool message)
{
    if (!ws.kgdMode)
        return;
    ws.kgdMode = false;
    ws.KgdConsoleLimit = 0xFFFFFFFF;
    workstation_install_cpu_io();
    if (message)
        window_after_deactivation("Videomode DVK KGD Dectivated!\n");
}

void kcgd_activate()
{
    if (ws.kcgdMode)
        return;
    switch_window("Videomode DVK KCGD Activated!\n", kcgd_width, 2 * kcgd_lines);
    ws.kcgdMode = true;
    workstation_install_cpu_io();
}

void kcgd_deactivate(bool message)
{
    if (!ws.kcgdMode)
        return;
    ws.kcgdMode = false;
    workstation_install_cpu_io();
    if (message)
        window_after_deactivation("Videomode DVK KCGD Dectivated!\n");
}

void nemiga_activate()
{
    if (ws.nemigaMode)
        return;
    std::memset(dvk.nemiga.memory, 0, nemiga_memory_size);
    ws.nemigaMode = true;
    uint32_t width = dvk.nemiga.xScaleCode == 15 ? nemiga_wide_width : nemiga_width;
    switch_window("Videomode NEMIGA Activated!\n", width, 2 * nemiga_lines);
}

void nemiga_deactivate(bool message)
{
    if (!ws.nemigaMode)
        return;
    ws.nemigaMode = false;
    if (message)
        window_after_deactivation("Videomode NEMIGA Dectivated!\n");
}

void e85_activate()
{
    if (ws.e85Mode)
        return;
    std::memset(dvk.e85.memory, 0, e85_memory_size);
    ws.e85Mode = true;
    switch_window("Videomode E-85 Activated!\n", e85_width, 3 * e85_lines);
}

void e85_deactivate(bool message)
{
    if (!ws.e85Mode)
        return;
    ws.e85Mode = false;
    if (message)
        window_after_deactivation("Videomode E-85 Dectivated!\n");
}

int dvk_display_mode()
{
    if (ws.kgdMode)
        return dvk.kgd.showIe15 ? 2 : 1;
    if (ws.kcgdMode)
        return 3;
    if (ws.nemigaMode)
        return 4;
    if (ws.e85Mode)
        return 5;
    return 0;
}

bool dvk_any_mode() { return ws.kgdMode || ws.kcgdMode || ws.nemigaMode || ws.e85Mode; }

// ---- Frame duties ----------------------------------------------------------------------------

void dvk_frame_start()
{
    dvk.e85.status = static_cast<uint16_t>((dvk.e85.status | 0x80) ^ 0x20);
    if (ws.kcgdPresent) {
        // The reply's due point is counted on the PPU's budget, which grows here.
        dvk.kcgd.replyDue += ws.ppu.speedFactor * uknc_cycles_per_frame;
        dvk.kcgd.gpu.cycleBudget = dvk.kcgd.gpu.speedFactor * gpu_cycles_per_frame;
    }
}

void dvk_keyboard_frame(bool feed)
{
    if (!ws.kcgdPresent)
        return;
    if (feed && ws.kcgdMode)
        kcgd_keyboard_feed(KeySnapshot, KeySnapshotPrev);
    kcgd_keyboard_ready_check();
}

void dvk_frame_end()
{
    if (ws.kcgdPresent)
        ws.PendingInterrupts[UKNC_GPU] |= GPU_IRQ_FIELD;
}

// A program leaving through EMT 350 takes its video mode with it; a KGD that the user
// switched on stays.
void dvk_emt350()
{
    e85_deactivate(true);
    nemiga_deactivate(true);
    if (ws.kgdMode) {
        std::memset(dvk.kgd.memory, 0, kgd_memory_size);
        if (!dvk.kgd.keep)
            kgd_deactivate(true);
    }
}

bool dvk_host_keys()
{
    bool acted = false;
    if (ws.kcgdPresent && key_down(KEY_F6) && !ws.kcgdMode) {
        kgd_deactivate(true);
        kcgd_activate();
        acted = true;
    }
    if (ws.ksmPresent && key_down(KEY_F8)) {
        dvk.kgd.showIe15 = false;
        kgd_activate();
        dvk.kgd.keep = true;
        acted = true;
    }
    if (ws.ie15Present && key_down(KEY_F9)) {
        dvk.kgd.showIe15 = true;
        kgd_activate();
        dvk.kgd.keep = true;
        acted = true;
    }
    if (key_down(KEY_F7)) {
        if (ws.kcgdMode) {
            std::printf("Videomode DVK KCGD Dectivated!\n");
            ws.kcgdMode = false;
            workstation_install_cpu_io();
            window_after_deactivation(nullptr);
            acted = true;
        }
        if (ws.kgdMode) {
            kgd_deactivate(true);
            dvk.kgd.keep = false;
            acted = true;
        }
    }
    return acted;
}

bool dvk_next_palette()
{
    int* index;
    int* step;
    int count;
    const char* format;
    if (ws.nemigaMode) {
        index = &dvk.nemiga.paletteIndex, step = &dvk.nemiga.paletteStep;
        count = nemiga_palette_count, format = "NEMIGA Palette %d\n";
    } else if (ws.kgdMode) {
        index = &dvk.kgd.paletteIndex, step = &dvk.kgd.paletteStep;
        count = kgd_palette_count, format = "KGD Palette %d\n";
    } else {
        return false;
    }
    if (*step >= count) {
        *index = *step = 0;
    } else {
        *index = (*step)++;
    }
    std::printf(format, *index);
    return true;
}

bool dvk_next_x_scale()
{
    if (!ws.nemigaMode)
        return false;
    if (ws.display.scanline_mode != uknc_scanlines_black)
        clear_picture_buffer();
    if (dvk.nemiga.xScaleCode == 15) {
        dvk.nemiga.xScaleCode = 0;
        std::printf("NEMIGA screen X-scale = 1.0\n");
        set_client_size(nemiga_width, 2 * nemiga_lines);
    } else {
        dvk.nemiga.xScaleCode = 15;
        std::printf("NEMIGA screen X-scale = 1.5\n");
        set_client_size(nemiga_wide_width, 2 * nemiga_lines);
    }
    return true;
}
