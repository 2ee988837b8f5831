// The real UKNC ROM booted from its menu ("1", Enter) into a synthetic diskette whose boot
// sector is one of the programs below; shared by the headless and the window benchmarks.
// The ROM is KORVEL_ROMS_DIR/uknc/UKNC.rom (default <repository>/../shared/roms).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/host.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_run.h"
#include "support/uknc_menu_keys.h"

// Busy: the CPU writes planes 1 and 2 through its window (0176640/0176642) and adds into
// memory without pause, so every line of the screen changes every frame, while the PPU
// runs the ROM's own loop.
inline const uint16_t uknc_busy_boot_sector[] = {
    0000240,                    // 000      NOP (a system disk's first word)
    0012706, 0001000,           // 002      MOV #1000,SP
    0012700, 0100000,           // 006 loop: MOV #100000,R0
    0012701, 0040000,           // 012      MOV #40000,R1
    0010037, 0176640,           // 016 in:  MOV R0,@#176640
    0010237, 0176642,           // 022      MOV R2,@#176642
    0060203,                    // 026      ADD R2,R3
    0005200,                    // 030      INC R0
    0005202,                    // 032      INC R2
    0077110,                    // 034      SOB R1,in
    0000763,                    // 036      BR loop
};

// A game's title screen: a picture drawn once, then a 16-line sprite that steps one byte
// to the right about every frame across 32 columns and back to the start, and a bell sent
// to the terminal (the PPU's speaker) every 25 steps. Between steps the CPU waits in a
// delay loop, as a game waits for its next frame.
inline const uint16_t uknc_game_boot_sector[] = {
    0000240,                    // 000       NOP
    0012706, 0001000,           // 002       MOV #1000,SP
    0012700, 0100000,           // 006       MOV #100000,R0     the picture: each address
    0012701, 0040000,           // 012       MOV #40000,R1      holds its own low bytes
    0010037, 0176640,           // 016 fill: MOV R0,@#176640
    0010037, 0176642,           // 022       MOV R0,@#176642
    0005200,                    // 026       INC R0
    0077106,                    // 030       SOB R1,fill
    0012704, 0122624,           // 032       MOV #122624,R4     the sprite's top left
    0012705, 0000031,           // 036       MOV #25.,R5        steps to the next bell
    0010403,                    // 042 step: MOV R4,R3
    0012701, 0000020,           // 044       MOV #16.,R1
    0010337, 0176640,           // 050 undo: MOV R3,@#176640    the picture back
    0010337, 0176642,           // 054       MOV R3,@#176642
    0062703, 0000120,           // 060       ADD #80.,R3        the next line
    0077107,                    // 064       SOB R1,undo
    0005204,                    // 066       INC R4
    0020427, 0122674,           // 070       CMP R4,#122674     32 columns on
    0103402,                    // 074       BLO draw
    0012704, 0122624,           // 076       MOV #122624,R4     back to the start
    0010403,                    // 102 draw: MOV R4,R3
    0012701, 0000020,           // 104       MOV #16.,R1
    0010337, 0176640,           // 110 line: MOV R3,@#176640
    0012737, 0177777, 0176642,  // 114       MOV #177777,@#176642
    0062703, 0000120,           // 122       ADD #80.,R3
    0077110,                    // 126       SOB R1,line
    0005305,                    // 130       DEC R5
    0001010,                    // 132       BNE wait
    0012705, 0000031,           // 134       MOV #25.,R5
    0105737, 0177564,           // 140 bell: TSTB @#177564      terminal ready?
    0100375,                    // 144       BPL bell
    0112737, 0000007, 0177566,  // 146       MOVB #7,@#177566   BEL
    0012701, 0005670,           // 154 wait: MOV #3000.,R1
    0077101,                    // 160 w:    SOB R1,w
    0000727,                    // 162       BR step
};

inline std::string uknc_rom_file()
{
    const char* dir = std::getenv("KORVEL_ROMS_DIR");
    std::string base = dir && *dir ? dir : KORVEL_ROMS_DIR;
    return base + "/uknc/UKNC.rom";
}

// An 800 KB diskette image whose first sector holds `words`; false when it cannot be written.
inline bool uknc_write_boot_disk(const std::string& path, const uint16_t* words, size_t count)
{
    std::vector<uint8_t> image(819200, 0);
    for (size_t i = 0; i < count; ++i) {
        image[2 * i] = uint8_t(words[i]);
        image[2 * i + 1] = uint8_t(words[i] >> 8);
    }
    FILE* disk = std::fopen(path.c_str(), "wb");
    bool written = disk && std::fwrite(image.data(), 1, image.size(), disk) == image.size();
    if (disk)
        written = std::fclose(disk) == 0 && written;
    return written;
}

// The complex (UKNC alone) booted into `words`; false (with the reason) when it cannot be.
inline bool uknc_boot_into(const uint16_t* words, size_t count, std::string* why)
{
    workstation_allocate();
    workstation.kgdPresent = workstation.kcgdPresent = workstation.nemigaPresent = false;
    workstation.e85Present = workstation.ksmPresent = workstation.ie15Present = false;
    FILE* rom = std::fopen(uknc_rom_file().c_str(), "rb");
    if (!rom) {
        *why = "no UKNC ROM at " + uknc_rom_file() + " (set KORVEL_ROMS_DIR)";
        return false;
    }
    std::memset(workstation.rom, 0xFF, uknc_rom_size); // a short dump reads 0xFF past its end
    size_t got = std::fread(workstation.rom, 1, uknc_rom_size, rom);
    std::fclose(rom);
    if (got == 0) {
        *why = "empty UKNC ROM";
        return false;
    }
    char path[] = "/tmp/korvel_bench_boot_XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    std::memset(KeySnapshotPrev, 0, sizeof KeySnapshotPrev);
    bool opened = fd >= 0 && uknc_write_boot_disk(path, words, count) && uknc_floppy_open(0, path);
    if (fd >= 0)
        std::remove(path);
    if (!opened) {
        *why = "cannot write the boot diskette";
        return false;
    }
    workstation_restart();
    for (int frame = 0; frame < 900; ++frame)
        uknc_menu_boot_frame(frame);
    std::memset(KeySnapshotPrev, 0, 256);
    if (workstation.cpuHeld || workstation.cpu.r[7] > 2 * count) { // still in the sector
        *why = "the boot sector did not run";
        return false;
    }
    return true;
}
