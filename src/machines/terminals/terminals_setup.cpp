// The terminals' memory, restart and per-frame housekeeping.
#include "machines/terminals/terminals.h"

#include "host/host.h"

#include <cstdlib>
#include <cstring>

Terminals terminals;

namespace {

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

void terminals_restart(ConsoleRing* ksm_ring, ConsoleRing* ie15_ring, bool ksm_present, bool ie15_present)
{
    terminals_allocate();
    ksm_terminal.present = ksm_present;
    ie15_terminal.present = ie15_present;
    ksm_terminal.ring = ksm_ring;
    ie15_terminal.ring = ie15_ring;
    ksm_terminal_setup();
    ie15_terminal_setup();
    terminals.turn = 0;
}

void terminals_frame_start(bool ie15_shown)
{
    terminals.selected = ie15_shown ? TERMINAL_IE15 : TERMINAL_KSM;
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

void terminals_selected_during_frame(bool ie15_shown)
{
    if (ie15_shown && terminals.selected != TERMINAL_IE15) {
        terminals.selected = TERMINAL_IE15;
        if (ie15_terminal.present)
            std::memset(ie15_terminal.block + ie15_picture_offset, 0, ie15_picture_size);
    }
}
