// Shared set-up of the DVK board tests: the complex with every board fitted, an idle PPU
// that drains the console channel, and CPU programs run from CPU memory in user mode.
#pragma once

#include "machines/dvk/dvk_boards.h"
#include "machines/workstation/workstation_test_support.h"

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
    workstation.kgdPaletteIndex = workstation.kgdPaletteStep = 0;
    workstation.nemigaPaletteIndex = workstation.nemigaPaletteStep = 0;
    workstation.nemigaXScaleCode = 15;
    workstation.keepKgd = workstation.ie15Selected = false;
    workstation.display = UkncDisplaySettings{12, uknc_scanlines_black, 276};
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

// One frame's host keys with these keys down (none down in the frame before).
inline std::string dvk_test_keys(std::initializer_list<uint8_t> keys)
{
    std::memset(KeySnapshotPrev, 0, 256);
    std::memset(KeySnapshot, 0, 256);
    for (uint8_t key : keys)
        KeySnapshot[key] = 0x80;
    testing::internal::CaptureStdout();
    workstation_host_keys();
    std::memset(KeySnapshot, 0, 256);
    return testing::internal::GetCapturedStdout();
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

// Byte addresses of the synthetic GPU program's logs in GPU RAM.
inline constexpr uint16_t gpu_byte_log = 0x6000, gpu_key_log = 0x6800, gpu_mode_read = 0x6F00;

// The synthetic KCGD ROM program, from 0111516: line table (line k from video word
// 0x1000 + 100k), palette register i = 0x30 | i, line 0 painted through the video window
// (four 16-colour words, then one 4-colour word), the first word read back with its
// attribute, then every CPU byte logged and answered with the byte + 1; keyboard codes
// logged by interrupt.
inline Pdp11Program gpu_test_program()
{
    Pdp11Program p(0111516);
    p.w({012706, 001000});                               // MOV #1000,SP
    p.w({012737}).address_of("kbd").w({000060});         // keyboard vector
    p.w({005037, 000062});
    for (uint16_t vector : {0100, 0364}) {
        p.w({012737}).address_of("rti").w({vector});
        p.w({005037, uint16_t(vector + 2)});
    }
    p.w({012700, 0x1F3A, 012701, 0x1000, 012702, 240});
    p.label("table").w({010110, 0162700, 4, 062701, 100});
    p.sob(2, "table");
    p.w({005002});                                       // CLR R2
    p.label("palette").w({010203, 006303, 006303});      // R3 = i << 2
    p.w({0110337, 0167772});                             // MOVB R3,@#167772
    p.w({010204, 052704, 060});                          // R4 = i | 060
    p.w({0110437, 0167773});                             // MOVB R4,@#167773: palette register i
    p.w({005202, 020227, 16}).branch(001000, "palette"); // INC R2; CMP R2,#16.; BNE
    p.w({0112737, 0200, 0167772});                       // attribute on
    p.w({012737, 0x1000, 0160000});
    p.w({012737, 0x0123, 0160002, 005237, 0160000});
    p.w({012737, 0x4567, 0160002, 005237, 0160004});
    p.w({012737, 0x89AB, 0160006, 005237, 0160000});
    p.w({012737, 0xCDEF, 0160002, 005237, 0160000});
    p.w({0105037, 0167772});                             // attribute off
    p.w({012737, 0x1BE4, 0160002});
    p.w({012737, 0x1000, 0160000, 013705, 0160002});     // read word 0x1000: attribute latched
    p.w({0112737, 0100, 0167772});                       // read inversion on
    p.w({013737, 0167770, gpu_mode_read});
    p.w({0105037, 0167772});
    p.w({012705, gpu_byte_log, 012704, gpu_key_log});
    p.w({0106427, 0});                                   // MTPS #0
    p.label("loop").w({0105737, 0176560}).branch(0100000, "loop"); // TSTB; BPL
    p.w({0113703, 0176562, 0110325});                    // MOVB @#176562,R3; MOVB R3,(R5)+
    p.w({005203, 0110337, 0176566});                     // INC R3; MOVB R3,@#176566
    p.branch(000400, "loop");
    p.label("kbd").w({0105737, 0177560, 0113724, 0177562}); // TSTB @#177560; MOVB @#177562,(R4)+
    p.label("rti").w({000002});
    p.resolve();
    return p;
}
