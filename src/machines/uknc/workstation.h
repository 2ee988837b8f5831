// The UKNC/DVK workstation complex: a UKNC with its central processor (CPU) and peripheral
// processor (PPU), both K1801VM2 cores, three planes of video memory, the three CPU-PPU
// exchange channels and the PPU's devices (planes, keyboard, timer, memory control).
// The DVK boards on the CPU bus and console channel (KGD, KCGD with its GPU, NEMIGA,
// E-85) and the terminals attach to it; their presence and mode flags live here, and are
// all off on a bare UKNC, whose registers then answer as without them.
//
// The whole complex is the one global record `workstation`, declared here in uknc/ for
// the UKNC's devices (this folder), the DVK boards (dvk/) and the complex (workstation/)
// all keep their state in it. The UKNC and the boards reach the complex only through the
// tables and hooks of workstation_hooks.h; the complex's own pieces are declared in
// machines/workstation/: workstation_run.h (restart, frames, the picture),
// workstation_main.h (start-up, frame loop, host keys), workstation_boards.h (board ROMs,
// display modes, terminals) and workstation_monitor.h (console monitor, trace).
//
// Memory: one main block of 0x38000 bytes. Offset 0: CPU memory (128 KB), which doubles as
// video planes 1 (low bytes) and 2 (high bytes); the CPU itself reaches only its first
// 64 KB. Offset 0x20000: PPU memory = plane 0 (64 KB). Offset 0x30000: the PPU system ROM.
//
// Pieces callable on their own:
//   workstation_allocate();          the main block (once)
//   workstation_restart();           devices, I/O tables and processors as at power-on
//   workstation_run_frame();         one frame: catch-up, budgets, keyboard, both
//                                    processors interleaved, the 50 Hz requests
//   workstation_render(picture);     the UKNC picture, 640 x 298
// uknc_main() = workstation_startup() (window, ROM, disk images, restart), then
// workstation_main_frame() for ever: host keys, keyboard feed, the processors, the
// picture presented; the console monitor stops the processors at instruction boundaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_disasm.h"
#include "machines/uknc/console_ring.h"
#include "machines/uknc/uknc_keyboard.h"
#include "machines/uknc/uknc_video.h"

// The main block (see Memory above): CPU memory, PPU memory, the PPU's ROM.
inline constexpr uint32_t uknc_cpu_memory_offset = 0x00000;
inline constexpr uint32_t uknc_ppu_memory_offset = uknc_cpu_memory_offset + 0x20000;
inline constexpr uint32_t uknc_rom_offset = uknc_ppu_memory_offset + 0x10000;
inline constexpr uint32_t uknc_rom_size = 0x8000;
inline constexpr uint32_t uknc_main_block_size = uknc_rom_offset + uknc_rom_size;
inline constexpr int32_t uknc_cycles_per_frame = 160000;
// The PPU's page maps cover its 64 KB in blocks of 512 bytes (uknc_ppu_block_shift).
inline constexpr int uknc_ppu_block_shift = 9;
inline constexpr int uknc_ppu_blocks = 0x10000 >> uknc_ppu_block_shift;
// Speaker level changes one frame can hold; a busy-wait tone toggles a few thousand times.
inline constexpr int uknc_speaker_edge_capacity = 8192;

// Pending interrupt requests of the CPU, in the order they are taken.
enum : uint32_t {
    CPU_IRQ_HALT = 0x0020,       // HALT-mode entry through 0160170
    CPU_IRQ_POWER_FAIL = 0x0080, // vector 024
    CPU_IRQ_FIELD = 0x0040,      // 50 Hz, vector 0100
    CPU_IRQ_CH0_RX = 0x0800,     // vector 060
    CPU_IRQ_CH0_TX = 0x1000,     // vector 064
    CPU_IRQ_CH1_RX = 0x2000,     // vector 0460
    CPU_IRQ_CH1_TX = 0x4000,     // vector 0464
    CPU_IRQ_CH2_TX = 0x8000,     // vector 0474
};

// Pending interrupt requests of the PPU, in the order they are taken.
enum : uint32_t {
    PPU_IRQ_FIELD = 0x0040,    // 50 Hz, vector 0100
    PPU_IRQ_0310 = 0x0080,     // vector 0310 (nothing raises it)
    PPU_IRQ_TIMER = 0x0100,    // vector 0304
    PPU_IRQ_KEYBOARD = 0x0200, // vector 0300
    PPU_IRQ_CH0_RX = 0x2000,   // vector 0320
    PPU_IRQ_CH0_TX = 0x0800,   // vector 0324
    PPU_IRQ_CH1_RX = 0x4000,   // vector 0330
    PPU_IRQ_CH1_TX = 0x1000,   // vector 0334
    PPU_IRQ_CH2_RX = 0x8000,   // vector 0340
};

enum { UKNC_CPU = 0, UKNC_PPU = 1, UKNC_GPU = 2 };
enum { RING_KCGD = 0, RING_KSM = 1, RING_IE15 = 2 };

// A timer compare point that the counter never reaches.
inline constexpr int64_t uknc_timer_never = -0x80000000LL;

using UkncIoRead = uint16_t (*)(uint32_t address);
using UkncIoWrite = void (*)(uint32_t address, uint16_t value);


struct Workstation {
    uint8_t* mainBlock;
    uint8_t* cpuMemory; // planes 1 and 2
    uint8_t* ppuMemory; // plane 0
    uint8_t* rom;       // PPU system ROM, PPU addresses 0100000-0177777

    Pdp11Cpu cpu;
    Pdp11Cpu ppu;
    bool cpuHeld; // the CPU waits for the PPU to start it through 0177716
    int monitoredSlot;   // MONITOR_*: the processor the console monitor watches
    Pdp11Cpu* monitored; // its PDP-11 record, nullptr for another core (the TPU)

    // CPU I/O page 0160000-0177777.
    UkncIoRead CpuIoReadTable[4096];
    UkncIoWrite CpuIoWriteWordTable[4096];
    UkncIoWrite CpuIoWriteByteTable[8192];
    // PPU I/O page 0177000-0177777.
    UkncIoRead PpuIoReadTable[256];
    UkncIoWrite PpuIoWriteWordTable[256];
    UkncIoWrite PpuIoWriteByteTable[512];

    // Boards and terminals attached to the complex, and the modes they switch on.
    bool kgdPresent, kcgdPresent, nemigaPresent, e85Present, ksmPresent, ie15Present;
    bool kgdMode, kcgdMode, nemigaMode, e85Mode;
    uint32_t KgdConsoleLimit; // PPU notifications of console bytes per frame (unsigned)
    uint16_t kcgdReplyStatus; // the GPU's reply status 0176564 (bit 7 ready, bit 6 enable)

    // Exchange channels, CPU view: receivers 0-1, transmitters 0-2.
    uint8_t cpuRxCsr[2];
    uint8_t cpuRxData[2];
    uint8_t cpuTxCsr[3];
    uint8_t cpuTxData[3];
    // PPU view.
    uint8_t ppuRxData[3];
    uint8_t ppuRxStatus;    // 0177066: enables 0-2, ready 3-5, bit 6 stored
    uint8_t ppuDataPresent; // bits 0-2
    uint8_t ppuTxData[2];
    uint8_t ppuTxStatus;    // 0177076: enables 0-1, bit 2 stored, ready 3-4
    uint32_t consoleBytesThisFrame;
    ConsoleRing ConsoleRings[3];

    uint32_t PendingInterrupts[3]; // CPU, PPU, GPU

    // Planes: the CPU's window (0176640/0176642) and the PPU's latches (0177010-0177026).
    uint16_t cpuPlaneAddress;
    uint16_t planeAddress;
    uint8_t colourMask[3];
    uint8_t background[3];
    uint8_t planeDisable;

    // PPU memory control 0177054 and its page maps in 512-byte blocks, so that the I/O page
    // 0177000-0177777 is a block of its own (nullptr = unmapped or I/O; else base + address).
    uint16_t memoryControl;
    const uint8_t* ppuReadPage[uknc_ppu_blocks];
    uint8_t* ppuWritePage[uknc_ppu_blocks];

    // PPU system register 0177716.
    uint16_t systemRegister;
    // The speaker on bit 7 of 0177716: each change of the bit, at the PPU's remaining
    // budget, waits here until the frame's samples are made from it.
    int32_t speakerEdges[uknc_speaker_edge_capacity];
    int speakerEdgeCount;
    int32_t speakerLevel;      // beeper_high or beeper_low, as of the last sample made
    int64_t speakerPartialSum; // integral of the sample cut by the frame end
    bool speakerFrameEnded;    // the PPU finished a frame whose samples are not made yet

    // Interval timer, counted on the PPU's cycle budget.
    uint8_t timerControl;   // 0177710
    uint16_t timerBuffer;   // 0177712, 14 bits
    int64_t timerCompare;   // uknc_timer_never while stopped
    uint16_t timerLatched;  // value read while an expiry flag is set

    UkncKeyboard keyboard;
    UkncVideoState video;
    int paletteIndex; // the UKNC palette shown

    // Settings of the run (they survive restarts) and the frame loop.
    UkncDisplaySettings display;
    int paletteStep;       // next entry of the palette list
    int frameDelay;        // each frame is presented this many extra times
    int frameDelayCounter;
    uint32_t* PictureBuffer; // 1228800 bytes, for scaled pictures and scanline modes
    bool ie15Selected;       // the KGD mode lays its bitmap over the 15IE (else the KSM)
    bool keepKgd;            // F8/F9 chose the KGD mode: a program's exit (EMT 350) keeps it
    int kgdPaletteIndex, kgdPaletteStep;       // the KGD palette shown, next entry
    int nemigaPaletteIndex, nemigaPaletteStep; // the NEMIGA palette shown, next entry
    int nemigaXScaleCode;    // 15 (x1.5) or 0 (x1.0)
    int displayMode;         // WS_DISPLAY_*: the mode the window title names
    // The 15IE's host toggles: bank-0 register R11 (bit 1 = mode) and in-port 10 (the RED
    // key). The terminal points these at its own state; until then they are stand-ins.
    uint16_t* ie15ModeRegister;
    uint8_t* ie15RedPort;
    uint16_t ie15ModeStandIn;
    uint8_t ie15RedStandIn;

    // Console monitor.
    char monitorCommand;     // 'r' run to the breakpoint, 'e' to the next RTS, 'f' to the frame's
                             // end; anything else stops at the next instruction boundary
    uint32_t breakpoint;     // above 0xFFFF: none
    bool monitorWatch;       // the inner loop has to look at the monitored processor
    bool monitorSkip;        // stopped here: wait until the monitored processor moves on
    bool tracing;            // every instruction goes into the trace file
    bool consoleClosed;
    FILE* monitorIn;
};

extern Workstation workstation;

// Memory, processors and the CPU bus (workstation_memory.cpp).
void workstation_allocate();
void workstation_setup_cpu();   // held at 0160300 in HALT mode
void workstation_hold_cpu();    // its bus idle until the PPU starts it (set-up, saved states)
// One bus operation and its step (pdp11_bus_run_pair).
void workstation_cpu_pair();
void workstation_start_cpu();   // the PPU releases it
uint16_t workstation_cpu_peek(uint32_t address);  // no side effects: memory, or 0 for I/O

// I/O handler tables (workstation_io_page.cpp): one processor's reads and word writes by
// word slot ((address >> 1) & (words - 1)), byte writes by byte slot (address & (2 words - 1)).
// CPU and GPU: 0160000-0177777, 4096 words; PPU: 0177000-0177777, 256 words.
struct IoPage {
    UkncIoRead* read;
    UkncIoWrite* word;
    UkncIoWrite* byte;
    uint32_t words; // a power of two
};
inline IoPage workstation_cpu_io_page()
{
    return {workstation.CpuIoReadTable, workstation.CpuIoWriteWordTable, workstation.CpuIoWriteByteTable, 4096};
}
inline IoPage workstation_ppu_io_page()
{
    return {workstation.PpuIoReadTable, workstation.PpuIoWriteWordTable, workstation.PpuIoWriteByteTable, 256};
}
uint16_t io_read_zero(uint32_t address);   // a register that reads as 0
void io_write_ignored(uint32_t address, uint16_t value); // one that takes writes and keeps nothing
void io_page_fill(const IoPage& page, UkncIoRead read, UkncIoWrite word, UkncIoWrite byte); // every slot
// The register's read and word-write handlers; nullptr keeps what the slot has.
void io_page_install(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word);
// The same, and the word handler also takes the byte slot of the (even) address.
void io_page_install_register(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word);
// A device's registers as one table, each row installed by io_page_install_register.
struct IoRegister {
    uint32_t address;
    UkncIoRead read;
    UkncIoWrite word;
};
void io_page_install_registers(const IoPage& page, std::initializer_list<IoRegister> registers);
void io_page_install_byte(const IoPage& page, uint32_t address, UkncIoWrite byte);
// The even/odd byte rule: a byte write to an even address is a word write of the byte, so
// every even byte slot takes the word handler of its address.
void io_page_even_bytes_take_words(const IoPage& page);
// Byte slots first, first + 2, ... up to last take `byte` (the odd lanes of registers).
void io_page_odd_bytes(const IoPage& page, uint32_t first, uint32_t last, UkncIoWrite byte);

// Registers that do not answer (workstation_io_page.cpp). A non-existent register prints
// what was tried and takes the processor through the bus-error trap (vector 4); one that
// exists on the real machine but is not emulated ("unrealized") only prints. Each processor's
// messages keep their own wording.
struct IoReporter {
    Pdp11Cpu* cpu;        // whose PC the messages name and which a non-existent register traps
    const char* name;     // "CPU", "PPU", "GPU", "KGD"
    const char* read;     // "Read word from" or "Read from"
    const char* write_pc; // "PC = " or "PC=" in the unrealized writes' messages
};
void io_report_nonexistent(const IoReporter& reporter, const char* access, uint32_t address);
void io_report_unrealized(const IoReporter& reporter, const char* access, const char* pc, uint32_t address);
// The handlers of one reporter, for the I/O tables.
template <const IoReporter& R>
uint16_t io_nonexistent_read(uint32_t address)
{
    io_report_nonexistent(R, R.read, address);
    return 0;
}
template <const IoReporter& R>
void io_nonexistent_word(uint32_t address, uint16_t)
{
    io_report_nonexistent(R, "Write word to", address);
}
template <const IoReporter& R>
void io_nonexistent_byte(uint32_t address, uint16_t)
{
    io_report_nonexistent(R, "Write byte to", address);
}
template <const IoReporter& R>
uint16_t io_unrealized_read(uint32_t address)
{
    io_report_unrealized(R, R.read, "PC=", address);
    return 0;
}
template <const IoReporter& R>
void io_unrealized_word(uint32_t address, uint16_t)
{
    io_report_unrealized(R, "Write word to", R.write_pc, address);
}
template <const IoReporter& R>
void io_unrealized_byte(uint32_t address, uint16_t)
{
    io_report_unrealized(R, "Write byte to", R.write_pc, address);
}

// CPU I/O page (workstation_cpu_io.cpp).
void workstation_install_cpu_io();
inline constexpr IoReporter cpu_io_reporter = {&workstation.cpu, "CPU", "Read word from", "PC = "};
inline constexpr UkncIoRead cpu_io_nonexistent_read = io_nonexistent_read<cpu_io_reporter>;
inline constexpr UkncIoWrite cpu_io_nonexistent_word = io_nonexistent_word<cpu_io_reporter>;
inline constexpr UkncIoWrite cpu_io_nonexistent_byte = io_nonexistent_byte<cpu_io_reporter>;
inline constexpr UkncIoRead cpu_io_unrealized_read = io_unrealized_read<cpu_io_reporter>;
inline constexpr UkncIoWrite cpu_io_unrealized_word = io_unrealized_word<cpu_io_reporter>;
inline constexpr UkncIoWrite cpu_io_unrealized_byte = io_unrealized_byte<cpu_io_reporter>;

// Exchange channels and console fan-out (workstation_channels.cpp).
void workstation_reset_channels();
void workstation_install_cpu_channels();
void workstation_install_ppu_channels();
void workstation_console_catch_up();  // frame start: delayed console notification
void workstation_set_console_limit(uint32_t limit); // KGD throttle; lifting it tells a held byte
void workstation_console_output(uint8_t byte);
void workstation_ppu_accepted_receive(int channel);

// PPU bus and memory control (workstation_ppu_bus.cpp).
void workstation_setup_ppu();
void workstation_ppu_pair(); // as workstation_cpu_pair
void workstation_write_memory_control(uint16_t value);
void workstation_map_ppu_pages(); // the page maps from memoryControl, silently
uint16_t workstation_ppu_peek(uint32_t address); // no side effects: memory or ROM, 0 for I/O

// PPU I/O page (workstation_ppu_io.cpp).
void workstation_install_ppu_io();
inline constexpr IoReporter ppu_io_reporter = {&workstation.ppu, "PPU", "Read from", "PC="};
inline constexpr UkncIoRead ppu_io_unrealized_read = io_unrealized_read<ppu_io_reporter>;
inline constexpr UkncIoWrite ppu_io_unrealized_word = io_unrealized_word<ppu_io_reporter>;
inline constexpr UkncIoWrite ppu_io_unrealized_byte = io_unrealized_byte<ppu_io_reporter>;

// Planes (workstation_planes.cpp).
void workstation_reset_planes();
void workstation_install_cpu_planes();
void workstation_install_cpu_plane_bytes(); // after the even/odd byte rule
void workstation_install_ppu_planes();
void workstation_install_ppu_plane_bytes();

// Timer (workstation_timer.cpp).
void workstation_reset_timer();
void workstation_install_timer();
void workstation_timer_frame_start();
void workstation_timer_expired();
inline void workstation_timer_check()
{
    Workstation& ws = workstation;
    const int64_t counter = ws.ppu.cycleBudget;
    if (ws.timerCompare < counter)
        return;
    // A running timer with a reload of 0, both expiry flags already up and no interrupt
    // wanted (the system ROM leaves it so) expires after nearly every PPU step; each
    // expiry then only moves the compare point, exactly as workstation_timer_expired does.
    // (Control and buffer are tested by one load: the control byte and the buffer after it.)
    static_assert(offsetof(Workstation, timerBuffer) == offsetof(Workstation, timerControl) + 1 &&
                  offsetof(Workstation, timerCompare) >= offsetof(Workstation, timerControl) + 4);
    uint32_t control_and_buffer;
    std::memcpy(&control_and_buffer, &ws.timerControl, 4);
    if ((control_and_buffer & 0xFFFFC8) == 0x88) {
        ws.timerLatched = 0;
        ws.timerCompare = 2 * counter - ws.timerCompare;
        return;
    }
    workstation_timer_expired();
}

// System register 0177716 (workstation_system.cpp).
void workstation_write_system_register(uint16_t value);
void workstation_install_system_register();
void workstation_install_system_register_byte(); // after the even/odd byte rule

// Speaker (workstation_speaker.cpp).
void workstation_speaker_reset();       // low, nothing pending
void workstation_speaker_frame_start(); // drops the edges of a frame never presented
// The samples for the end_frame about to be made: the ended frame's level changes, or
// the held level when no frame ended since the last call (a repeated or monitor present).
void workstation_speaker_samples();
inline void workstation_speaker_edge()
{
    if (workstation.speakerEdgeCount < uknc_speaker_edge_capacity)
        workstation.speakerEdges[workstation.speakerEdgeCount++] = workstation.ppu.cycleBudget;
}

// The CPU and PPU, memories and devices for the debugger windows (uknc_debug_view.cpp).
void uknc_debug_register();
