// Z80 console monitor: single step, run to breakpoint, run one frame, jump, memory dump
// and disassembly dump, driven by commands read from standard input. The PK8000, the
// Specialist and the tile-and-sprite machine share it; each fills one Z80Monitor record.
//
// How a machine wires it up:
//   static Z80Monitor monitor;
//   monitor.cpu = &cpu;                          // the machine's Z80State
//   monitor.read_byte = nullptr;                 // nullptr: read through cpu.read_mem
//   monitor.memory = ram;                        // 65536 bytes for 'm'; nullptr: no 'm'
//   monitor.memory_file = "PK8000Memory.bin";    // nullptr together with memory
//   monitor.dump_file = "PK8000-DisDump.txt";
//   monitor.present = my_draw_and_present;       // draws the picture, pace_and_present()
//   z80_monitor_reset(&monitor);                 // run mode, no breakpoint
//   frame loop:
//     if (key_down(0x42)) z80_monitor_break(&monitor);          // F8
//     while (cpu.ticks >= 0) { z80_monitor_check(&monitor); z80_run_instruction(&cpu); }
//     if (z80_monitor_frame_done(&monitor)) my_draw_and_present();
//
// Commands at the prompt: one command character, then (unless the character is a line
// end) a hexadecimal address on the same line; a line that ends after the character
// gives no address (the last one stands, and "r" alone runs without a breakpoint):
//   r addr     run; stop again when pc reaches addr
//   f addr     run to the end of this frame, then stop (the address is read and ignored)
//   j addr     set pc = addr, then stop
//   m addr     write the 64 KB memory to the memory file, then stop (address ignored;
//              a machine without a memory dump takes it as a step)
//   d addr end disassemble from addr up to and including end into the dump file (the
//              end may stand on the next line)
//   <Enter>    execute one instruction and stop again; any other character followed by
//              an address does the same
// After the command the instruction at pc executes; the jump and the dumps happen before
// the next one, which then prompts. Blanks, tabs and carriage returns before a command
// character are skipped, so "\r\n" line ends and indented commands work. An address is
// one word of hexadecimal digits, optionally with a 0x prefix, taken modulo 0x10000;
// what is left of its line is dropped when it holds only blanks. A word that is not a
// hexadecimal number where an address is expected is dropped with the rest of its line,
// "Not a number: WORD" is printed and the command is asked for again.
// End of input, also in the middle of a command, counts as "r" with no breakpoint and
// is announced once; the program then runs on (a later F8 prompt runs on at once).
#pragma once

#include <cstdint>
#include <cstdio>

#include "cpu/z80/z80.h"

// A breakpoint value no 16-bit pc ever equals.
inline constexpr uint32_t z80_monitor_no_breakpoint = 0x10000;

struct Z80Monitor {
    // ---- Filled by the machine ----
    Z80State* cpu = nullptr;
    // Memory as the CPU reads it (for the disassembly and the register dump). nullptr:
    // the monitor calls cpu->read_mem itself, keeping cpu->addr and cpu->data intact.
    uint8_t (*read_byte)(uint16_t address) = nullptr;
    const uint8_t* memory = nullptr;    // 65536 bytes written by 'm'; nullptr disables 'm'
    const char* memory_file = nullptr;  // e.g. "PK8000Memory.bin"
    const char* dump_file = nullptr;    // e.g. "PK8000-DisDump.txt"
    void (*present)() = nullptr;        // draw and present the picture at each prompt
    int tick_shift = 8;                 // ticks >> tick_shift = T-states (256 units each)
    FILE* input = nullptr;              // command stream; nullptr: stdin
    FILE* output = nullptr;             // register dumps and messages; nullptr: stdout

    // ---- Monitor state ----
    char mode = 'r';                    // 'r', 'f', 'j', 'm', 'd', anything else = step
    uint32_t breakpoint = z80_monitor_no_breakpoint;
    uint16_t address = 0;               // jump target / dump start, after a dump: next line
    uint16_t end_address = 0;           // last instruction of a dump
    bool input_ended = false;           // end of the command stream already announced
};

// Run mode, no breakpoint, addresses 0.
void z80_monitor_reset(Z80Monitor* m);
// Drops into step mode: the monitor prompts before the next instruction (F8).
inline void z80_monitor_break(Z80Monitor* m) { m->mode = 's'; }
// Handles a mode that stops at this instruction boundary (prompt, jump, dumps).
void z80_monitor_stop(Z80Monitor* m);
// Call before every instruction; costs one comparison while the program runs.
inline void z80_monitor_check(Z80Monitor* m)
{
    if (m->mode == 'r') {
        if (m->cpu->pc != m->breakpoint) return;
    } else if (m->mode == 'f') {
        return;
    }
    z80_monitor_stop(m);
}
// Call when the frame's instruction loop is over. A frame run ('f') ends here and the
// monitor stops before the next instruction. True when the machine should draw and
// present the frame (run mode; in the other modes the prompt presents it).
bool z80_monitor_frame_done(Z80Monitor* m);

// The prompt itself: presents the picture, prints the register dump, reads one command
// with its address(es) and applies it. Exposed for tests.
void z80_monitor_prompt(Z80Monitor* m);
// Writes the disassembly of [from, to] (inclusive, by instruction start) to the dump
// file and returns the address after the last line. Fatal when the file can't be created.
uint16_t z80_monitor_write_dump(Z80Monitor* m, uint16_t from, uint16_t to);
// Writes the 65536 memory bytes to the memory file. Fatal when it can't be created.
void z80_monitor_write_memory(Z80Monitor* m);
