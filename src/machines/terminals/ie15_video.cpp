// The 15IE character video generator. It runs in lock-step with the processor, one
// position per cycle, and reads display memory through the same Adr register the
// processor sets during the blanking intervals. A line is 40 blank steps and 160 drawing
// steps (two per character cell of ten pixels); a character row is 8 glyph lines and
// 3 marker (cursor/underline) lines; a frame is 28 rows = 308 lines = 61,600 steps.
#include "machines/terminals/terminals.h"

namespace {

Ie15Terminal& t = ie15_terminal;

constexpr uint32_t line_steps = 160;
constexpr uint32_t blank_steps = 40;
constexpr uint32_t rows_per_frame = 28;

inline uint8_t display_byte(const Ie15Cpu* cpu) { return cpu->memory[ie15_display_offset + (cpu->adr & 0xFFF)]; }

inline void next_adr(Ie15Cpu* cpu) { cpu->adr = (cpu->adr + 1) & ie15_address_mask; }

// Picture line done: the 40-step horizontal blank follows, then `next`.
void end_line(Ie15Cpu* cpu, Ie15VideoPhase next)
{
    t.lineOffset += terminal_bytes_per_line;
    cpu->xpos = blank_steps;
    cpu->flags[IE15_FLAG_HBLANK] = 1;
    t.phase = IE15_VIDEO_BLANK;
    t.nextPhase = next;
}

void glyph_step(Ie15Cpu* cpu)
{
    const uint32_t x = cpu->xpos;
    if (cpu->vdis) {
        if (x & 1) {
            next_adr(cpu);
        } else {
            const uint8_t code = display_byte(cpu);
            const bool system_line_off = cpu->syslin && cpu->vrow == 3;
            const bool blinked_off = code < 32 && (t.blinkPhase || cpu->in_ports[IE15_IN_KRED]);
            if (!system_line_off && !blinked_off) {
                const uint8_t glyph = cpu->memory[ie15_font_offset + code * 8u + cpu->line];
                if (glyph)
                    terminal_put_glyph(t.block + t.lineOffset, x * 5, glyph);
            }
        }
    }
    if (++cpu->xpos < line_steps)
        return;
    ++cpu->line;
    if (cpu->line < terminal_glyph_lines) {
        end_line(cpu, IE15_VIDEO_GLYPHS);
    } else {
        cpu->flags[IE15_FLAG_MARKER] = 1;
        cpu->line = 0;
        end_line(cpu, IE15_VIDEO_MARKERS);
    }
}

void marker_step(Ie15Cpu* cpu)
{
    const uint32_t x = cpu->xpos;
    if (cpu->vdis) {
        if (!(x & 1) && t.blinkPhase && cpu->marken) {
            const uint8_t code = display_byte(cpu);
            const uint8_t glyph = cpu->memory[ie15_font_offset + code * 8u + cpu->line];
            if (glyph)
                terminal_put_glyph(t.block + t.lineOffset, x * 5, glyph);
        } else {
            next_adr(cpu);
        }
    }
    if (++cpu->xpos < line_steps)
        return;
    ++cpu->line;
    if (cpu->line < terminal_mark_lines) {
        end_line(cpu, IE15_VIDEO_MARKERS);
        return;
    }
    cpu->vrow += 1;
    cpu->flags[IE15_FLAG_MARKER] = 0;
    end_line(cpu, IE15_VIDEO_GLYPHS);
    if (cpu->vrow >= rows_per_frame) {
        cpu->vrow = 0;
        t.lineOffset = ie15_picture_offset;
    }
    cpu->line = 0;
    cpu->flags[IE15_FLAG_VBLANK] = cpu->vrow > 2;
}

void blank_step(Ie15Cpu* cpu)
{
    if (cpu->xpos > 1) {
        --cpu->xpos;
        return;
    }
    cpu->flags[IE15_FLAG_HBLANK] = 0;
    cpu->xpos = 0;
    t.phase = t.nextPhase;
}

} // namespace

void ie15_video_step(Ie15Cpu* cpu)
{
    switch (t.phase) {
    case IE15_VIDEO_GLYPHS: glyph_step(cpu); break;
    case IE15_VIDEO_MARKERS: marker_step(cpu); break;
    default: blank_step(cpu); break;
    }
}
