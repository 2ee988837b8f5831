// Shared set-up of the DVK board tests: the complex with every board fitted, an idle PPU
// that drains the console channel, and CPU programs run from CPU memory in user mode.
#pragma once

#include "machines/workstation/dvk_boards.h"
#include "workstation_test_support.h"

#include "host/host.h"

#include <string>
#include <vector>

// PPU at 0160300: MOVB @#177060,R0; BR .-4 (takes every console byte, so the CPU's
// transmitter keeps coming back ready while the KCGD mode is off).
inline void dvk_test_idle_ppu()
{
    poke_word(workstation.rom, 0160300 - 0100000, 0113700);
    poke_word(workstation.rom, 0160302 - 0100000, 0177060);
    poke_word(workstation.rom, 0160304 - 0100000, 0000775);
}

// The complex with KGD, KCGD (the given GPU ROM; by default one that sets its stack and
// idles), NEMIGA and E-85.
inline void dvk_test_complex(const std::vector<uint16_t>& gpu_rom = {012706, 001000, 000777},
                             uint32_t gpu_rom_origin = 0111516)
{
    workstation_test_complex();
    dvk_allocate();
    std::memset(dvk.kcgd.block, 0, kcgd_block_size);
    std::memset(dvk.kcgd.block + kcgd_rom_offset, 0xFF, kcgd_rom_size);
    for (size_t i = 0; i < gpu_rom.size(); ++i)
        poke_word(dvk.kcgd.block, kcgd_rom_offset + (gpu_rom_origin - 0100000) + 2 * uint32_t(i), gpu_rom[i]);
    std::memset(dvk.kgd.memory, 0, kgd_memory_size);
    dvk.kgd.paletteIndex = dvk.kgd.paletteStep = 0;
    dvk.nemiga.paletteIndex = dvk.nemiga.paletteStep = 0;
    dvk.nemiga.xScaleCode = 15;
    workstation.kgdPresent = workstation.kcgdPresent = workstation.nemigaPresent = workstation.e85Present = true;
    workstation.ksmPresent = workstation.ie15Present = false;
    std::memset(KeySnapshot, 0, 256);
    std::memset(KeySnapshotPrev, 0, 256);
    dvk_test_idle_ppu();
    workstation_restart();
}

// Puts the program into CPU memory and starts the CPU there in user mode.
inline void dvk_test_start_cpu(const Pdp11Program& program)
{
    program.store(workstation.cpuMemory, program.origin);
    workstation_start_cpu();
    workstation.cpu.r[7] = program.origin;
    workstation.cpu.r[6] = 0700;
    workstation.cpu.psw = 0;
    workstation.cpu.busOperation = workstation.cpu.opRefetch;
    workstation.cpu.stepHandler = pdp11_fetch_complete_step;
}

// Frames run with the console output captured.
inline std::string dvk_test_frames(int frames)
{
    testing::internal::CaptureStdout();
    for (int i = 0; i < frames; ++i)
        workstation_run_frame();
    return testing::internal::GetCapturedStdout();
}

// The texts appear in this order.
inline void expect_in_order(const std::string& out, std::initializer_list<const char*> texts)
{
    size_t at = 0;
    for (const char* text : texts) {
        size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << '"' << text << "\" in order in:\n" << out;
        at = found + 1;
    }
}
