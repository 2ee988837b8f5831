// The terminals' memory, ROM files, restart and per-frame housekeeping.
#include "machines/terminals/terminals.h"

#include "host/host.h"

#include <cstdlib>
#include <cstring>

Terminals terminals;

namespace {

// A terminal lacking any of its ROM files is simply not fitted: users rarely have these
// dumps, and the rest of the complex runs without it. Short files are filled with 0xFF
// by load_file. A name that opens but cannot be read (a directory) counts as missing.
bool rom_files_present(const char* const* names, int count, const char* terminal)
{
    for (int n = 0; n < count; ++n) {
        FILE* file = open_data_file(names[n], "rb");
        bool readable = file != nullptr;
        if (file) {
            uint8_t probe;
            readable = std::fread(&probe, 1, 1, file) == 1 || !std::ferror(file);
            std::fclose(file);
        }
        if (!readable) {
            std::printf("%s terminal not fitted: \"%s\" is missing\n", terminal, names[n]);
            return false;
        }
    }
    return true;
}

uint8_t* allocate_block(uint32_t size)
{
    auto* block = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!block)
        fatal_error("Can't allocate memory!");
    return block;
}

} // namespace

void terminals_allocate()
{
    if (!ksm_terminal.block)
        ksm_terminal.block = allocate_block(ksm_block_size);
    if (!ie15_terminal.block)
        ie15_terminal.block = allocate_block(ie15_block_size);
}

// The font ROM keeps the glyphs of codes 0x40-0x5F and 0xC0-0xDF where the generator
// also looks for codes 0x00-0x1F and 0x80-0x9F.
void ie15_rearrange_font(uint8_t* font)
{
    std::memcpy(font, font + 0x200, 0x100);
    std::memcpy(font + 0x400, font + 0x600, 0x100);
}

void terminals_load_roms()
{
    terminals_allocate();
    static const char* const ksm_files[] = {"KSM.rom", "KSM_FONT.rom"};
    static const char* const ie15_files[] = {"15IE.rom", "15IE_FONT.rom"};
    ksm_terminal.present = rom_files_present(ksm_files, 2, "KSM");
    if (ksm_terminal.present) {
        load_file(ksm_terminal.block, ksm_rom_size, "KSM.rom");
        load_file(ksm_terminal.block + ksm_font_offset, ksm_font_size, "KSM_FONT.rom");
    }
    ie15_terminal.present = rom_files_present(ie15_files, 2, "15IE");
    if (ie15_terminal.present) {
        load_file(ie15_terminal.block, ie15_rom_size, "15IE.rom");
        load_file(ie15_terminal.block + ie15_font_offset, ie15_font_size, "15IE_FONT.rom");
        ie15_rearrange_font(ie15_terminal.block + ie15_font_offset);
    }
}

void terminals_restart(ConsoleRing* ksm_ring, ConsoleRing* ie15_ring)
{
    terminals_allocate();
    ksm_terminal.ring = ksm_ring;
    ie15_terminal.ring = ie15_ring;
    ksm_terminal_setup();
    ie15_terminal_setup();
    terminals.turn = 0;
}

void terminals_frame_start()
{
    ie15_terminal.blinkCounter = static_cast<uint8_t>((ie15_terminal.blinkCounter + 1) % 10);
    ie15_terminal.blinkPhase = ie15_terminal.blinkCounter > 4;
    ksm_terminal.blinkCounter = static_cast<uint8_t>((ksm_terminal.blinkCounter + 1) % 10);
    // The TPU runs by turns, not by budget: its time counter only ever falls, so it
    // restarts each frame instead of running past the end of its range after a minute.
    ksm_terminal.tpu.ticks = 0;
    if (ie15_terminal.present) {
        ie15_terminal.cpu.budget += ie15_terminal.cpu.speed_factor * ie15_cycles_per_frame;
        // The generator ORs its glyphs in: the shown terminal starts each frame blank.
        if (terminals.selected == TERMINAL_IE15)
            std::memset(ie15_terminal.block + ie15_picture_offset, 0, ie15_picture_size);
    }
}
