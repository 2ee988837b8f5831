// MS-0515: a PDP-11 (K1801VM2) personal computer. 128 KB of RAM in two 64 KB banks, a
// 16 KB system ROM, 16 KB of video RAM (640 x 200 mono or 320 x 200 in 16 colours with
// blinking), a byte-protocol keyboard and four floppy drives. The machine runs its own frame
// loop with a console debugger built in.
//
// The whole machine is the one global record `ms0515`. The pieces of ms0515_main() can be
// driven on their own (tests, benchmark):
//   ms0515_startup();            memory, ROM, disk images, then ms0515_power_on()
//   ms0515_power_on();           I/O tables, processor, drives, keyboard, debugger state
//   ms0515_run_frame();          one emulated frame (keys, hot keys, blink, instructions)
//   ms0515_render(view, w, h);   draws the display and the drive indicators
//   ms0515_debugger_stop();      the console debugger prompt (reads standard input)
// ms0515_main() = start-up followed by ms0515_run_frame() forever.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cpu/pdp11/pdp11.h"
#include "machines/ms0515/ms0515_floppy.h"
#include "machines/ms0515/ms0515_keyboard.h"

inline constexpr uint32_t ms0515_block_size = 0x2A000;
inline constexpr uint32_t ms0515_bank_a = 0x00000;
inline constexpr uint32_t ms0515_bank_b = 0x10000;
inline constexpr uint32_t ms0515_rom = 0x20000;
inline constexpr uint32_t ms0515_sink = 0x24000;  // writes aimed at ROM pages land here
inline constexpr uint32_t ms0515_video = 0x26000;
inline constexpr int32_t ms0515_cycles_per_frame = 160000;

// Pending interrupt requests, taken in this order.
enum : uint32_t {
    MS0515_IRQ_HALT = 0x20,
    MS0515_IRQ_024 = 0x80,
    MS0515_IRQ_MEMCON = 0x40,   // vector 064
    MS0515_IRQ_KEYBOARD = 0x800, // vector 0130
};

using Ms0515IoRead = uint16_t (*)(uint32_t address);
using Ms0515IoWrite = void (*)(uint32_t address, uint16_t value);

struct Ms0515 {
    uint8_t* memory;            // the 0x2A000-byte block
    uint8_t* ReadPages[8];      // 8 KB area shown by each page
    uint8_t* WritePages[8];
    Ms0515IoRead IoReadTable[128];
    Ms0515IoWrite IoWriteTable[128];
    Ms0515IoWrite IoWriteByteTable[256];
    uint16_t memCon;
    uint8_t sysregA;
    uint8_t videoMode;
    uint32_t MsPendingInterrupts;
    Pdp11Cpu cpu;
    Ms0515Keyboard keyboard;
    Ms0515Floppy floppy;
    uint8_t* systemImage;
    uint8_t* workImage;
    long systemImageBytes;      // what the file that filled the buffer gave; 0: no file
    long workImageBytes;
    // Frame loop
    int frameDelay;             // PgUp/PgDn setting
    int frameDelayCounter;
    int blinkCounter;
    uint8_t blinkPhase;
    // Debugger
    char command;               // 'r', 'e', 'j', 'f', 'm', 'd' or anything else = stopped
    uint32_t breakAddress;
    uint8_t tracing;
    uint8_t consoleClosed;      // standard input reached its end: free running from then on
    FILE* debugIn;              // where commands come from (standard input)
};

extern Ms0515 ms0515;
// Set from the command line (--ms0515-linear-disks) before ms0515_main(): every disk image
// is read as tracks 0-79 of its first 409,600 bytes, whatever its size.
extern bool ms0515_linear_disks;
extern const uint32_t ms0515_palette[16];

// Memory map and I/O page (ms0515_memory.cpp).
void ms0515_memory_reset();           // start page tables, registers 0
void ms0515_install_io();             // fills the three I/O tables in their documented order
void ms0515_write_mem_con(uint16_t value);
void ms0515_write_sysreg_a(uint8_t value);
uint16_t ms0515_read_word(uint32_t address);  // bus view: pages or I/O page
uint8_t ms0515_read_byte(uint32_t address);
void ms0515_write_word(uint32_t address, uint16_t value);
void ms0515_write_byte(uint32_t address, uint8_t value);
// Side-effect-free word view through the read pages (debugger, disassembler).
uint16_t ms0515_peek_word(const void* context, uint16_t address);

// Processor (ms0515_bus.cpp).
void ms0515_setup_cpu();

// Frame loop, presentation and debugger (ms0515_main.cpp, ms0515_debugger.cpp).
void ms0515_startup();
// After memory, ROM and images are in place: I/O tables, processor, drives, keyboard,
// frame-loop and debugger state as at power-on.
void ms0515_power_on();
void ms0515_run_frame();
void ms0515_execute_boundary();       // debugger checks, HALT redirect, interrupts, one instruction
void ms0515_render(uint32_t* pixels, uint32_t pitch, uint32_t width, uint32_t height);
void ms0515_present();                // render into the BackBuffer, pace and present
void ms0515_debugger_check();         // at each instruction boundary
void ms0515_debugger_stop();          // dump state, read a command from debugIn
// Processors, memories and devices for the debugger windows (ms0515_debug_view.cpp).
void ms0515_debug_register();
[[noreturn]] void ms0515_main();
// Save states (ms0515_state.cpp): the ROM note and the machine's sections.
void ms0515_register_state();
