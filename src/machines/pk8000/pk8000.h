// PK8000: an 8080 home computer with 64 KB of RAM, a 16 KB ROM that any 16 KB page can
// read from, a keyboard matrix and a joystick read through ports, and a video system
// with a 40-column text mode and a 32 x 24 character graphics mode in 16 colours.
// No sound; one interrupt per frame, at its start; 35000 states per frame. The CPU is
// the Z80 core in 8080 mode (--cpu z80 runs it as a Z80).
//
// The whole machine is one global record, `pk8000`. pk8000_main() runs it for good;
// the pieces below are what it is made of, exposed so tests can drive them:
//   pk8000_load_rom();      // "PK8000\foton_piton.bin", fatal when missing
//   pk8000_power_on();      // memory map, CPU, registers, monitor
//   loop: pk8000_begin_frame(); pk8000_run_frame(); pk8000_finish_frame();
#pragma once

#include <cstdint>

#include "cpu/z80/z80.h"
#include "machines/z80_machine/z80_monitor.h"

inline constexpr int32_t pk8000_frame_ticks = 35000 * 256;
inline constexpr uint32_t pk8000_picture_width = 512;  // BackBuffer pixels
inline constexpr uint32_t pk8000_picture_height = 384;

struct Pk8000 {
    Z80State cpu;
    Z80Monitor monitor;
    // What each 16 KB page reads: RAM + 0x4000 k, or the ROM image (mirrored).
    const uint8_t* read_page[4];
    uint8_t memory_map;       // port 0x80: two bits per page, 3 = RAM
    uint8_t row_select;       // port 0x82
    uint8_t matrix[16];       // bit set = key down
    uint8_t joystick;         // port 0x8C
    uint8_t gfx_mode;         // 0x84: bits 7-6 video bank, bit 4 graphics mode
    uint8_t sys_mode;         // 0x86: stored and logged only
    uint8_t palette_con;      // 0x88: text foreground colour
    uint8_t tram_adr;         // 0x90: text name table, 1 KB units
    uint8_t vram_adr;         // 0x91: font / graphics name table, 2 KB units
    uint8_t gfx_pos;          // 0x92: colour table
    uint8_t attr_pos;         // 0x93: pattern table
    uint8_t ram[65536];
    uint8_t rom[16384];
};
extern Pk8000 pk8000;
extern const uint32_t pk8000_palette[16];

// Memory and ports.
void pk8000_set_memory_map(uint8_t value);
uint8_t pk8000_read(uint16_t address);      // as the CPU reads it
void pk8000_fetch_byte(Z80State* s);
void pk8000_read_mem(Z80State* s);
void pk8000_write_mem(Z80State* s);
void pk8000_read_port(Z80State* s);
void pk8000_write_port(Z80State* s);

// Keyboard matrix and joystick byte from KeySnapshot.
void pk8000_scan_keys();
// The same for any 16-row matrix (bit set = key down) and joystick byte.
void pk8000_build_key_inputs(uint8_t matrix[16], uint8_t* joystick);

// Draws the picture with its top-left at `top_left`: emulated line y on row 2y, each
// pixel two wide; rows in between and (in text mode) the right 32 pixels are untouched.
void pk8000_draw(uint32_t* top_left, uint32_t pitch);
// Draws into the BackBuffer (skipped when it can't be locked) and paces/presents.
void pk8000_draw_and_present();

// Start-up and frame loop.
void pk8000_load_rom();
void pk8000_power_on();
void pk8000_begin_frame();
void pk8000_run_frame();
void pk8000_finish_frame();
[[noreturn]] void pk8000_main();
// Save states (pk8000_state.cpp): the ROM note and the machine's sections.
void pk8000_register_state();
