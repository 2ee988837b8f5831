// The 15IE terminal: its processor wired to the 15IE block, the console input latch,
// the frame's turns and the text picture the KGD display shows.
#include "machines/terminals/terminals.h"

#include "cpu/ie15/ie15_disasm.h"

#include <cstring>

Ie15Terminal ie15_terminal;

namespace {

Ie15Terminal& t = ie15_terminal;

} // namespace

void ie15_terminal_setup()
{
    Ie15Cpu& cpu = t.cpu;
    cpu.memory = t.block;
    cpu.fetch_byte = ie15_fetch_flat;
    cpu.video_step = ie15_video_step;
    ie15_connect(&cpu);
    ie15_reset(&cpu);
    t.lineOffset = ie15_picture_offset;
    t.phase = IE15_VIDEO_GLYPHS;
    t.nextPhase = IE15_VIDEO_GLYPHS;
    t.catchingUp = false;
}

// While the receive latch is free (RRDY non-zero) the oldest console byte moves into it;
// the program's read of port 6 frees it again.
void ie15_terminal_step()
{
    Ie15Cpu& cpu = t.cpu;
    if (cpu.in_ports[IE15_IN_RRDY] && t.ring && t.ring->waiting) {
        cpu.in_ports[IE15_IN_RECEIVED] = console_ring_take(*t.ring);
        cpu.in_ports[IE15_IN_RRDY] = 0;
    }
    ie15_instruction_step(&cpu);
    ie15_video_step(&cpu);
}

void ie15_catch_up()
{
    if (!t.present)
        return;
    while (t.cpu.budget >= 0)
        ie15_terminal_step();
}

void ie15_terminal_run_frame()
{
    t.cpu.budget += t.cpu.speed_factor * ie15_cycles_per_frame;
    ie15_catch_up();
}

void ie15_render_text(uint8_t* text, bool text_off)
{
    uint8_t* picture = t.block + ie15_picture_offset;
    if (text_off) {
        std::memset(picture, 0, ie15_picture_size);
        std::memset(text, 0, terminal_text_size);
        return;
    }
    // The display leaves the first shown character row (lines 22-32) blank.
    uint8_t* const shown = picture + ie15_first_shown_line * terminal_bytes_per_line;
    std::memset(shown, 0, terminal_row_lines * terminal_bytes_per_line);
    std::memcpy(text, shown, terminal_text_size);
}

void ie15_print_registers(FILE* out) { ie15_print_register_dump(out, t.cpu, t.block); }
