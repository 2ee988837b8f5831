// The two text terminals on the UKNC CPU's console channel (channel 0, 0177566).
//
// The 15IE runs its own 8-bit processor (cpu/ie15) and a character video generator
// that advances one position per processor cycle and ORs glyph lines into a 1-bit
// picture. The KSM runs a Z80 (the TPU) over 64 KB with its ROM write-protected, and
// takes each console byte by an interrupt while it waits in HALT; its text rows are
// painted from its memory when the picture is wanted.
//
// Both terminals get their bytes from a ConsoleRing the workstation fills, and both
// give a terminal picture of 286 lines x 800 pixels, 1 bit each (100 bytes a line,
// bytes in swapped pairs: pixel x is bit 7 - x % 8 of byte (x / 8) ^ 1), over which
// the KGD board lays its bitmap in its own colours (kgd_compose in the DVK boards).
//
// How the workstation drives them (it loads the ROM files into the blocks and decides
// which terminal is present):
//   terminals_allocate();              once: both blocks
//   terminals_restart(ksmRing, ie15Ring, ksm, ie15);   every restart (KSM RAM cleared)
//   terminals_frame_start(ie15_shown); blink counters, the 15IE's frame budget
//   terminals_turn();                  every turn of the inner loop (acts on every second)
//   ie15_catch_up();                   at the frame's end: the 15IE spends its budget
//   terminals_render_text(text, off);  the selected terminal's 1-bit picture
#pragma once

#include <cstdint>
#include <cstdio>

#include "cpu/ie15/ie15.h"
#include "cpu/z80/z80.h"
#include "machines/uknc/console_ring.h"

// The terminal picture shown in the KGD display mode: character rows of 8 glyph lines and
// 3 lines of marks (cursor, underline), cells 10 pixels wide.
inline constexpr uint32_t terminal_glyph_lines = 8;
inline constexpr uint32_t terminal_mark_lines = 3;
inline constexpr uint32_t terminal_row_lines = terminal_glyph_lines + terminal_mark_lines;
inline constexpr uint32_t terminal_lines = 286; // 26 rows
inline constexpr uint32_t terminal_bytes_per_line = 100;
inline constexpr uint32_t terminal_width = 800;
inline constexpr uint32_t terminal_text_size = terminal_lines * terminal_bytes_per_line; // 28600

// 15IE block: program ROM, display memory, font, the generator's 1-bit picture.
inline constexpr uint32_t ie15_block_size = 0x10000;
inline constexpr uint32_t ie15_rom_size = 0x1000;
inline constexpr uint32_t ie15_font_offset = 0x2000;
inline constexpr uint32_t ie15_font_size = 0x800;
inline constexpr uint32_t ie15_picture_offset = ie15_font_offset + ie15_font_size;
inline constexpr uint32_t ie15_picture_lines = 308;
inline constexpr uint32_t ie15_picture_size = ie15_picture_lines * terminal_bytes_per_line; // 30800
inline constexpr int32_t ie15_cycles_per_frame = 61600;
inline constexpr uint32_t ie15_first_shown_line = 22; // the third character row

// KSM block: 64 KB of Z80 memory, then the font.
inline constexpr uint32_t ksm_block_size = 100352;
inline constexpr uint32_t ksm_rom_size = 0x2000;
inline constexpr uint32_t ksm_font_offset = 0x18000;
inline constexpr uint32_t ksm_font_size = 0x800;
inline constexpr uint16_t ksm_input_handler = 0x0BCC;
inline constexpr uint16_t ksm_screen_rows = 0xE030;  // row r at + r * 128
inline constexpr uint16_t ksm_status_rows[2] = {0xF830, 0xF8B0};
inline constexpr uint32_t ksm_row_ring = 48;
inline constexpr uint32_t ksm_attribute_distance = 0x2000; // attribute byte below its character

// ORs an 8-pixel glyph row into a terminal picture line at pixel x, most significant bit
// leftmost; the line's bytes are stored in swapped pairs and nothing passes its end.
inline void terminal_put_glyph(uint8_t* line, uint32_t x, uint8_t glyph)
{
    const uint32_t byte = x >> 3;
    const uint32_t shift = x & 7;
    const uint32_t bits = uint32_t{glyph} << (8 - shift);
    line[byte ^ 1] |= static_cast<uint8_t>(bits >> 8);
    if (shift && byte + 1 < terminal_bytes_per_line)
        line[(byte + 1) ^ 1] |= static_cast<uint8_t>(bits);
}

enum TerminalSelection : uint8_t { TERMINAL_KSM = 0, TERMINAL_IE15 = 1 };

// Where the 15IE video generator stands in its line.
enum Ie15VideoPhase : uint8_t { IE15_VIDEO_GLYPHS, IE15_VIDEO_MARKERS, IE15_VIDEO_BLANK };

struct Ie15Terminal {
    bool present;         // the complex fitted it (its ROM files were at hand)
    uint8_t* block;       // ie15_block_size bytes, allocated once
    Ie15Cpu cpu;
    ConsoleRing* ring;    // console bytes for the terminal
    uint32_t lineOffset;  // the generator's current picture line, offset into `block`
    uint8_t phase;        // Ie15VideoPhase of the step in progress
    uint8_t nextPhase;    // what the blank countdown leads into
    uint8_t blinkPhase;   // 1: characters below 32 blink off, markers drawn
    uint8_t blinkCounter; // 0..9, advanced each frame; blink phase while above 4
    bool catchingUp;      // the complex's PPU finished its frame first
};

struct KsmTerminal {
    bool present;          // the complex fitted it (its ROM files were at hand)
    uint8_t* block;        // ksm_block_size bytes, allocated once
    Z80State tpu;
    ConsoleRing* ring;
    uint8_t inputLatch;    // port 0x76
    uint8_t rowLatch;      // port 0x78: the first screen row shown
    uint8_t blinkCounter;  // 0..9, advanced each frame; marks shown while below 5
};

struct Terminals {
    uint32_t turn;         // inner-loop turns, for the every-second-turn rule
    uint8_t selected;      // TerminalSelection shown in the KGD display
};

extern Ie15Terminal ie15_terminal;
extern KsmTerminal ksm_terminal;
extern Terminals terminals;

// Set-up (terminals_setup.cpp).
void terminals_allocate();                 // both blocks, once; "Can't allocate memory!"
void ie15_rearrange_font(uint8_t* font);   // the font ROM's layout into code x 8 order
void terminals_restart(ConsoleRing* ksm_ring, ConsoleRing* ie15_ring, bool ksm_present, bool ie15_present);
// Blink counters, the 15IE's budget, and its picture cleared while it is the terminal shown.
void terminals_frame_start(bool ie15_shown);
// The 15IE's picture cleared when it becomes the terminal shown after the frame started
// (F9): the generator ORs its glyphs in, and a picture not shown is never cleared.
void terminals_selected_during_frame(bool ie15_shown);

// 15IE terminal (ie15_terminal.cpp, ie15_video.cpp).
void ie15_terminal_setup();                // processor wired to the block, start values
void ie15_video_step(Ie15Cpu* cpu);        // one position of the video generator
void ie15_terminal_step();                 // input latch, one instruction step, one video step
void ie15_catch_up();                      // steps until the budget is spent
void ie15_terminal_run_frame();            // a frame of the terminal alone (tests, benchmarks)
void ie15_render_text(uint8_t* text, bool text_off);
void ie15_print_registers(FILE* out);      // the monitor's register block

// KSM terminal (ksm_terminal.cpp).
void ksm_terminal_setup();                 // TPU wired to the block, pc 0, RAM cleared
bool ksm_take_input();                     // a waiting byte by interrupt at HALT
void ksm_step();                           // input check, then one bus/step pair
void ksm_pair();                           // the bus/step pair alone (the debugger's loop)
void ksm_run_frame(uint32_t pairs);        // pairs alone (tests)
void ksm_render_text(uint8_t* text, bool text_off);
void ksm_print_registers(FILE* out);
void ksm_jump(uint32_t address);           // the monitor's j: pc = address at a boundary

// Both (terminals_run.cpp).
void terminals_turn_active();              // the work of every second turn
// True when the KSM's processor ran (the monitor's single steps of the TPU).
inline bool terminals_turn()
{
    if (!(ksm_terminal.present | ie15_terminal.present) || (++terminals.turn & 1))
        return false;
    terminals_turn_active();
    return ksm_terminal.present;
}
void terminals_render_text(uint8_t* text, bool text_off); // the selected terminal
// The KGD display's text source: selects the terminal shown (the 15IE when `ie15`) and
// fills `text` (286 lines x 100 bytes) with its picture.
void terminals_kgd_text(uint8_t* text, bool ie15);
