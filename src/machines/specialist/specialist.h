// Specialist: a Z80 home computer with 64 KB of memory, a 4 KB BIOS at 0xC000 and a
// 384 x 256 monochrome bitmap at 0x9000 (48 byte columns of 256 lines each).
//
// The tape interface is not emulated. Instead, when the BIOS reaches its tape-read entry
// (0xC3F9) the game file is read from disk straight into memory and the BIOS continues
// where it goes after a successful read (0xC421). The whole area from 0xF800 up is the
// parallel interface that reads the keyboard. There is no sound and no interrupt.
//
// How it is wired:
//   specialist_main()            start-up, then the frame loop (never returns)
//   specialist_start()           memory cleared, BIOS loaded, specialist_power_on()
//   specialist_power_on()        CPU and monitor set up over the memory as it is
//   specialist_run_frame()       keys and hot keys, then one frame of instructions
//   specialist_draw(view)        paints the bitmap into a locked BackBuffer
//   specialist_load_tape()       the disk-backed tape read (also run by the fetch hook)
#pragma once

#include <cstdint>

#include "cpu/z80/z80.h"
#include "host/host.h"
#include "machines/z80_machine/z80_monitor.h"

inline constexpr const char* specialist_bios_file = "Specialist\\BIOS.rom";
inline constexpr const char* specialist_tape_file = "Specialist\\Games1\\DOWNEART.RKS";

inline constexpr uint16_t specialist_bios_start = 0xC000;
inline constexpr uint32_t specialist_bios_size = 0x1000;
inline constexpr uint16_t specialist_screen_start = 0x9000;
inline constexpr uint16_t specialist_io_start = 0xF800;     // the parallel interface
inline constexpr uint16_t specialist_tape_entry = 0xC3F9;   // BIOS: read a tape block
inline constexpr uint16_t specialist_tape_resume = 0xC421;  // BIOS: after a good read
inline constexpr uint16_t specialist_tape_start_cell = 0x8FE3; // start address kept here
inline constexpr int32_t specialist_frame_ticks = 35000 * 256;

inline constexpr uint32_t specialist_picture_width = 768;   // 384 pixels, 2 wide each
inline constexpr uint32_t specialist_picture_height = 512;  // 256 lines, every 2nd row
inline constexpr uint32_t specialist_ink = 0xFFFFFF;
inline constexpr uint32_t specialist_paper = 0x0000FF;

// The i8255-type interface: the mode word and the three output latches.
struct SpecialistPpi {
    uint8_t control; // last mode word (bit 7 set)
    uint8_t a;
    uint8_t b;
    uint8_t c;
};

struct SpecialistMachine {
    Z80State cpu;
    Z80Monitor monitor;
    uint8_t memory[0x10000];
    uint8_t keyboard_matrix[16]; // PK8000 layout, bit set = key down (for the monitor)
    uint8_t joystick;
    uint16_t key_rows[6];        // the machine's matrix: bit c set = key in column c down
    uint8_t shift_down;          // НР
    SpecialistPpi ppi;
};

extern SpecialistMachine specialist;

// Bus routines.
void specialist_fetch_byte(Z80State* s);
void specialist_read_mem(Z80State* s);
void specialist_write_mem(Z80State* s);
void specialist_read_port(Z80State* s);
void specialist_write_port(Z80State* s);
// Memory as the CPU sees it (the monitor's view).
uint8_t specialist_peek(uint16_t address);

// Files.
void specialist_load_bios();
void specialist_load_tape();

// Keys: the keyboard matrices and joystick byte from KeySnapshot.
void specialist_build_inputs();

// The parallel interface at 0xF800-0xFFFF (address bits 0-1 pick the register). Reads have
// no side effects.
uint8_t specialist_ppi_read(uint16_t address);
void specialist_ppi_write(uint16_t address, uint8_t value);
void specialist_ppi_reset(); // every port an input, latches 0

// Video: draws the 768 x 512 picture centred in the locked BackBuffer of the given size.
void specialist_draw(const BackBufferView& view, uint32_t width, uint32_t height);
// Lock, draw, unlock, pace_and_present.
void specialist_draw_and_present();

// Start-up and the frame loop's pieces.
void specialist_start();
// CPU (pc = 0xC000) and monitor (run mode, no breakpoint) over the memory as it is.
void specialist_power_on();
void specialist_run_frame();
[[noreturn]] void specialist_main();
// Save states (specialist_state.cpp): the BIOS note and the machine's sections.
void specialist_register_state();
