// Z80 core: a cycle-stepped interpreter of the Zilog Z80.
//
// An instruction runs as a chain of small steps. Before every step the core
// calls `bus`, one bus cycle that the machine supplies (fetch, memory read or
// write, port read or write); the step then uses `data`, charges its machine
// cycle(s) to `ticks` from the `cost` table and stores the next `step`/`bus`.
// The core owns no memory, ports or clock.
//
// How a machine wires it up:
//   Z80State cpu{};
//   z80_set_costs(&cpu, 256);          // units per T-state (ZX: 4096)
//   cpu.fetch_byte = my_fetch;         // data = mem[pc & 0xFFFF]; pc += 1 (never touch r)
//   cpu.read_mem   = my_read;          // data = mem[addr & 0xFFFF]
//   cpu.write_mem  = my_write;         // mem[addr & 0xFFFF] = data
//   cpu.read_port  = my_in;            // data = in(addr & 0xFFFF)
//   cpu.write_port = my_out;           // out(addr & 0xFFFF, data)
//   cpu.mem = memory;                  // for the machine's own routines
//   z80_connect(&cpu);                 // step = decode_main, bus = fetch_byte, ...
//   z80_set_8080_mode(&cpu, true);     // optional: run as an Intel 8080
//   cpu.pc = start;
//   each slice: cpu.ticks += slice; while (cpu.ticks >= 0) z80_run_instruction(&cpu);
//               (or z80_run_slice from z80_run.h: the same with the memory routines inlined)
//   interrupt (between instructions): if (z80_iff1(&cpu)) z80_accept_interrupt(&cpu);
//
// 8080 mode: the same core and steps run the 8080 instruction set. decode_main
// dispatches the unprefixed opcode through `opcode_steps`, the Z80's table or
// the 8080's: 8080 flags (parity after arithmetic, the 8080 auxiliary carry and
// DAA, no N), 8080 state counts, and the opcodes the Z80 redefined as the 8080
// runs them (NOPs, JMP, RET, CALL; no prefixes). F then always has bits 5, 3
// and 1 clear; PUSH PSW stores it with bit 1 set, as the 8080 does.
//
// `index_reg` points into the record itself. Every DD/FD prefix sets it before
// use, so a record copied between instructions (snapshots) needs no fix-up.

#pragma once

#include <cstdint>

struct Z80State;
using Z80Routine = void (*)(Z80State*);

struct Z80State {
    // Indices into `cost`: the machine's units for 3, 4, 5, 6, 7, 8, 10, 11 T-states.
    enum CostIndex : int { t3, t4, t5, t6, t7, t8, t10, t11, cost_count };

    uint8_t a;          // accumulator
    uint8_t f;          // flags: S Z 5 H 3 P/V N C (bit 7..0)
    uint16_t hl;        // register pairs, high byte H/D/B, low byte L/E/C
    uint16_t de;
    uint16_t bc;
    uint16_t sp;
    uint16_t pc;
    uint16_t ix;
    uint16_t iy;
    uint8_t r;          // refresh counter, all 8 bits count
    uint8_t r7;         // bit 7 of R as last loaded by LD R,A (only bit 7 meaningful)
    uint8_t i;          // interrupt vector base
    uint8_t iff;        // bit 1 = IFF1, bit 2 = IFF2 (both set = 6)
    uint8_t im;         // 0 = IM 0, 1 = IM 0/1, 2 = IM 1, 3 = IM 2
    int32_t addr;       // address of the next bus cycle; use the low 16 bits
    uint16_t temp;      // EX (SP),HL/IX/IY scratch: the word read from the stack
    uint8_t latch;      // low byte of the latch/data word (operands, pushed PC)
    uint8_t data;       // data bus: byte delivered by a read, or stored by a write
    uint16_t af_alt;    // A' in the low byte, F' in the high byte
    uint16_t hl_alt;
    uint16_t de_alt;
    uint16_t bc_alt;
    uint16_t* index_reg;  // &ix or &iy for the current DD/FD instruction
    int32_t ticks;      // time budget in machine units; steps subtract, machine adds
    int32_t cost[cost_count];
    uint8_t* mem;       // machine's memory base; the core never touches it
    Z80Routine step;    // next step of the core
    Z80Routine bus;     // bus cycle to run before the next step
    Z80Routine fetch_byte;
    Z80Routine read_mem;
    Z80Routine write_mem;
    Z80Routine read_port;
    Z80Routine write_port;
    // decode_main's first step per unprefixed opcode: the Z80 set, or the 8080
    // set in 8080 mode (z80_connect fills in the Z80 set when it is empty).
    const Z80Routine* opcode_steps;
};

// Byte access to register pairs (stored as plain uint16_t; no aliasing).
inline uint8_t z80_hi(uint16_t pair) { return static_cast<uint8_t>(pair >> 8); }
inline uint8_t z80_lo(uint16_t pair) { return static_cast<uint8_t>(pair); }
inline void z80_set_hi(uint16_t& pair, uint8_t v) { pair = static_cast<uint16_t>((pair & 0x00FF) | (v << 8)); }
inline void z80_set_lo(uint16_t& pair, uint8_t v) { pair = static_cast<uint16_t>((pair & 0xFF00) | v); }
inline uint16_t z80_pair(uint8_t hi, uint8_t lo) { return static_cast<uint16_t>((hi << 8) | lo); }

// Flag bits of F.
enum : uint8_t {
    Z80_FLAG_C = 0x01, Z80_FLAG_N = 0x02, Z80_FLAG_P = 0x04, Z80_FLAG_3 = 0x08,
    Z80_FLAG_H = 0x10, Z80_FLAG_5 = 0x20, Z80_FLAG_Z = 0x40, Z80_FLAG_S = 0x80,
};
enum : uint8_t { Z80_IFF1 = 0x02, Z80_IFF2 = 0x04 };

inline bool z80_iff1(const Z80State* s) { return (s->iff & Z80_IFF1) != 0; }
// R as a program sees it (LD A,R, snapshots): counted bits 0-6, bit 7 as loaded.
inline uint8_t z80_visible_r(const Z80State* s) { return static_cast<uint8_t>((s->r & 0x7F) | (s->r7 & 0x80)); }

// Flag tables (constant, built by rule).
extern const uint8_t flags_sz53[256];     // S, 5, 3 of v; Z if v == 0
extern const uint8_t flags_sz53p[256];    // + P/V for even parity
extern const uint8_t flags_sz53p_h[256];  // + H (AND)
extern const uint8_t flags_inc[256];      // flags of o+1 by old value o (C clear)
extern const uint8_t flags_dec[256];      // flags of o-1 by old value o (C clear)
// Carry vector c = (x ^ y ^ result) >> 4 (>> 12 for 16 bits): H, P/V, C.
extern const uint8_t flags_add_hvc[32];
// Borrow vectors with N set. 8-bit: index 16 + ((x ^ y ^ result) >> 4) with an
// arithmetic shift of the signed difference (-16..15). 16-bit: index
// 32 + (((x ^ y ^ result) >> 12) & 31).
extern const uint8_t flags_sub_hvc[64];
// DAA: index (C << 10) | (H << 9) | (N << 8) | A; entry {new A, new F}.
extern const uint8_t daa_table[2048][2];

// The five decoder steps.
void decode_main(Z80State* s);
void decode_cb(Z80State* s);
void decode_ed(Z80State* s);
void decode_index(Z80State* s);
void decode_index_cb(Z80State* s);

// Interrupt acknowledge steps installed by z80_accept_interrupt. A machine with
// its own acknowledge (fixed target address) installs after z80_accept_interrupt
// a step built like this:  data = latch; addr = sp; pc = TARGET; ticks -= cost[t3];
// step = z80_ack_finish;   (bus stays write_mem: it writes PC low at SP)
void z80_ack_im01(Z80State* s);
void z80_ack_im2(Z80State* s);
void z80_ack_finish(Z80State* s);

// Runs exactly one instruction (a prefix is part of its instruction, a HALT
// re-fetch counts as one).
void z80_run_instruction(Z80State* s);

// Maskable interrupt; call between instructions and only when IFF1 is set
// (a request while IFF1 is clear is simply dropped by the machine).
// Charges t7 and sets up the IM 0/1 (13 T) or IM 2 (19 T) acknowledge; the next
// z80_run_instruction call performs it up to the first fetch of the handler.
void z80_accept_interrupt(Z80State* s);

// Reset keys: pc = 0, interrupts off; nothing else changes.
void z80_reset(Z80State* s);

// Fills cost[] with n units per T-state (n * 3, n * 4, ... n * 11).
void z80_set_costs(Z80State* s, int32_t units_per_tstate);
// Instruction-boundary state: step = decode_main, bus = fetch_byte, index_reg = &ix;
// the instruction set stays as chosen (the Z80's for a new record).
void z80_connect(Z80State* s);

// The bus cycles a machine supplies (see the wiring above).
struct Z80Bus {
    Z80Routine fetch_byte, read_mem, write_mem, read_port, write_port;
};
// A processor as it comes out of power-on, wired to its machine: the record cleared, cost[]
// at n units per T-state, the bus cycles and memory base installed, connected, pc = 0 and
// no ticks owed. Equivalent to the wiring above without z80_set_8080_mode.
void z80_power_on(Z80State* s, int32_t units_per_tstate, const Z80Bus& bus, uint8_t* mem);

// Runs the CPU as an Intel 8080 (on) or as the Z80 (off); call between
// instructions. Switching on clears F's bits 5, 3 and 1, which the 8080 lacks.
// An interrupt in 8080 mode executes RST 38h from the bus in 11 states.
void z80_set_8080_mode(Z80State* s, bool on);
bool z80_8080_mode(const Z80State* s);
