// 15IE processor: the 8-bit processor of the 15IE-0013 text terminal.
//
// It runs a 4 KB program ROM, addresses 4 KB of display memory through the Adr
// register and ports, has two banks of sixteen 12-bit registers and a skip flag
// instead of conditional jumps. Every cycle reads one program byte: a one-byte
// instruction is one cycle, a two-byte one (jmp, ld rn,xx, ld a,xx) two.
//
// Each cycle is one call of ie15_instruction_step: the machine's `fetch_byte`
// slot puts the program byte at PC into `data`, then `step` runs (the decoder on
// the first cycle, the operand step on the second) and subtracts `speed_factor`
// from `budget`. Ports go through the `in_port` / `out_port` tables; ie15_connect
// fills them with the terminal's own port logic (display memory, Adr, banks,
// input latches) and a machine may replace single entries.
//
// How a machine wires it up:
//   Ie15Cpu cpu{};
//   cpu.memory = block;                // program ROM at 0, display memory at 0x1000
//   cpu.fetch_byte = ie15_fetch_flat;  // or its own: data = program[pc & 0xFFF]
//   ie15_connect(&cpu);                // default ports, step = decoder
//   ie15_reset(&cpu);                  // start values: PC 0, bank 0, input latches
//   each frame: cpu.budget += cpu.speed_factor * 61600;
//   each turn:  ie15_instruction_step(&cpu); then the video generator's step
// The video generator (the terminal's) owns xpos/line/vrow and the flags 0-2;
// the core only reads the flags in its skip instructions.

#pragma once

#include <cstdint>

struct Ie15Cpu;
using Ie15Routine = void (*)(Ie15Cpu*);
// Input port n: returns the byte that lands in A.
using Ie15PortIn = uint8_t (*)(Ie15Cpu*, uint32_t port);
// Output port n: receives A.
using Ie15PortOut = void (*)(Ie15Cpu*, uint32_t port, uint8_t value);

// Condition flags (flags[]) the skip instructions test.
enum : int {
    IE15_FLAG_HBLANK = 0,
    IE15_FLAG_MARKER = 1,
    IE15_FLAG_VBLANK = 2,
    IE15_FLAG_KOI7 = 3,  // never set by the processor
    IE15_FLAG_RUSLAT = 4,
};

// Named ports.
enum : uint32_t {
    IE15_PORT_DATA = 0,
    IE15_IN_RRDY = 1,    // 0x80: the receive latch (in-port 6) is free
    IE15_IN_RECEIVED = 6,
    IE15_IN_KRED = 10,
    IE15_OUT_ADRH = 2,
    IE15_OUT_ADRL = 3,
    IE15_OUT_AINC = 4,
    IE15_OUT_ADEC = 5,
    IE15_OUT_SND = 8,
    IE15_OUT_PAGE1 = 14,
    IE15_OUT_PAGE0 = 15,
};

inline constexpr uint32_t ie15_display_offset = 0x1000;  // display memory inside `memory`
inline constexpr uint32_t ie15_address_mask = 0xFFF;

struct Ie15Cpu {
    uint32_t pc;            // program counter, always kept within 0..0xFFF
    uint8_t a;              // accumulator
    uint8_t c;              // carry, 0 or 1
    uint8_t bank;           // register bank the instructions address: 0 or 1
    uint8_t skip;           // 1: the next instruction is skipped
    uint8_t data_cycle;     // 1: an output to the Data port armed the next access
    uint8_t data;           // byte delivered by fetch_byte
    uint8_t opcode;         // first byte of a two-byte instruction
    uint16_t r[2][16];      // R0..R15 and R0'..R15', 12 bits each (page.low byte)
    uint32_t adr;           // display-memory address register, 12 bits
    int32_t budget;         // cycle budget; each cycle subtracts speed_factor
    int32_t speed_factor;   // 256
    uint8_t flags[8];       // condition flags, see IE15_FLAG_*
    uint8_t vdis;           // video control bits set and cleared by the Cx instructions
    uint8_t marken;
    uint8_t syslin;
    uint8_t koi7;
    uint8_t in_ports[16];   // input latches
    uint8_t out_ports[16];  // output latches (1, 6, 7, 9-13 are stored)
    uint32_t xpos;          // video generator position (advanced by the terminal)
    uint32_t line;
    uint32_t vrow;
    uint8_t* memory;        // the machine's 15IE block
    Ie15Routine step;       // next step of the current instruction
    Ie15Routine fetch_byte; // machine slot: data = program byte at pc & 0xFFF
    Ie15Routine video_step; // the terminal's video generator step; the core never calls it
    Ie15PortIn in_port[16];
    Ie15PortOut out_port[16];
};

// The instruction decoder: `step` holds it at every instruction boundary.
void ie15_decode(Ie15Cpu* s);

// One cycle (one program byte).
inline void ie15_instruction_step(Ie15Cpu* s)
{
    s->fetch_byte(s);
    s->step(s);
}

// Cycles up to the next instruction boundary (a skipped instruction counts as one).
void ie15_run_instruction(Ie15Cpu* s);

inline bool ie15_at_boundary(const Ie15Cpu* s) { return s->step == ie15_decode; }

// A ready-made fetch for a flat block: data = memory[pc & 0xFFF].
void ie15_fetch_flat(Ie15Cpu* s);

// Default port tables and step = decoder. Keeps the registers.
void ie15_connect(Ie15Cpu* s);

// The terminal's start values: every register, latch, flag and counter 0, then
// speed factor 256, RusLat flag 1, in-ports 1, 10, 11, 15 = 0x80 and 7 = 0xFF,
// step = decoder. `memory` and the slots and port tables stay as they are.
void ie15_reset(Ie15Cpu* s);

// The terminal's own port logic, which ie15_connect installs; a machine that
// wraps a port calls the entry it replaced.
extern const Ie15PortIn ie15_default_in_ports[16];
extern const Ie15PortOut ie15_default_out_ports[16];
