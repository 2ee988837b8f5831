// The UKNC/DVK workstation complex: a UKNC with its central processor (CPU) and peripheral
// processor (PPU), both K1801VM2 cores, three planes of video memory, the three CPU-PPU
// exchange channels and the PPU's devices (planes, keyboard, timer, memory control).
// The DVK boards on the CPU bus and console channel (KGD, KCGD with its GPU, NEMIGA,
// E-85) and the terminals attach here later; their presence flags exist already and are
// all off, so their registers answer as on a bare UKNC.
//
// Memory: one main block of 0x38000 bytes. Offset 0: CPU memory (128 KB), which doubles as
// video planes 1 (low bytes) and 2 (high bytes); the CPU itself reaches only its first
// 64 KB. Offset 0x20000: PPU memory = plane 0 (64 KB). Offset 0x30000: the PPU system ROM.
//
// The whole complex is the one global record `workstation`. Pieces callable on their own:
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

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_disasm.h"
#include "machines/workstation/console_ring.h"
#include "machines/workstation/uknc_keyboard.h"
#include "machines/workstation/uknc_video.h"

inline constexpr uint32_t uknc_main_block_size = 0x38000;
inline constexpr uint32_t uknc_cpu_memory_offset = 0x00000;
inline constexpr uint32_t uknc_ppu_memory_offset = 0x20000;
inline constexpr uint32_t uknc_rom_offset = 0x30000;
inline constexpr uint32_t uknc_rom_size = 0x8000;
inline constexpr int32_t uknc_cycles_per_frame = 160000;

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

    // PPU memory control 0177054 and its page maps (nullptr = unmapped; else base + address).
    uint16_t memoryControl;
    const uint8_t* ppuReadPage[8];
    uint8_t* ppuWritePage[8];

    // PPU system register 0177716.
    uint16_t systemRegister;

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
void io_page_fill(const IoPage& page, UkncIoRead read, UkncIoWrite word, UkncIoWrite byte); // every slot
// The register's read and word-write handlers; nullptr keeps what the slot has.
void io_page_install(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word);
// The same, and the word handler also takes the byte slot of the (even) address.
void io_page_install_register(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word);
void io_page_install_byte(const IoPage& page, uint32_t address, UkncIoWrite byte);
// The even/odd byte rule: a byte write to an even address is a word write of the byte, so
// every even byte slot takes the word handler of its address.
void io_page_even_bytes_take_words(const IoPage& page);
// Byte slots first, first + 2, ... up to last take `byte` (the odd lanes of registers).
void io_page_odd_bytes(const IoPage& page, uint32_t first, uint32_t last, UkncIoWrite byte);

// CPU I/O page (workstation_cpu_io.cpp).
void workstation_install_cpu_io();
uint16_t cpu_io_nonexistent_read(uint32_t address);
void cpu_io_nonexistent_word(uint32_t address, uint16_t value);
void cpu_io_nonexistent_byte(uint32_t address, uint16_t value);
uint16_t cpu_io_unrealized_read(uint32_t address);
void cpu_io_unrealized_word(uint32_t address, uint16_t value);
void cpu_io_unrealized_byte(uint32_t address, uint16_t value);

// Exchange channels and console fan-out (workstation_channels.cpp).
void workstation_reset_channels();
void workstation_install_cpu_channels();
void workstation_install_ppu_channels();
void workstation_console_catch_up();  // frame start: delayed console notification
void workstation_console_output(uint8_t byte);
void workstation_ppu_accepted_receive(int channel);

// PPU bus and memory control (workstation_ppu_bus.cpp).
void workstation_setup_ppu();
void workstation_write_memory_control(uint16_t value);
uint16_t workstation_ppu_peek(uint32_t address); // no side effects: memory or ROM, 0 for I/O

// PPU I/O page (workstation_ppu_io.cpp).
void workstation_install_ppu_io();
uint16_t ppu_io_nonexistent_read(uint32_t address);
void ppu_io_nonexistent_word(uint32_t address, uint16_t value);
void ppu_io_nonexistent_byte(uint32_t address, uint16_t value);
uint16_t ppu_io_unrealized_read(uint32_t address);
void ppu_io_unrealized_word(uint32_t address, uint16_t value);
void ppu_io_unrealized_byte(uint32_t address, uint16_t value);

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
    if (workstation.timerCompare >= workstation.ppu.cycleBudget)
        workstation_timer_expired();
}

// System register 0177716 (workstation_system.cpp).
void workstation_write_system_register(uint16_t value);
void workstation_install_system_register();

// Frames (workstation_run.cpp).
void workstation_restart();
void workstation_frame_start();       // console catch-up, budgets, timer follows
void workstation_keyboard_frame();    // feed from the key snapshots, ready check
void workstation_run_processors();    // the inner loop until the frame ends
void workstation_frame_end();         // the 50 Hz requests
void workstation_run_frame();         // all four in order
bool workstation_accept_cpu_interrupt();
bool workstation_accept_ppu_interrupt();
bool workstation_at_boundary(const Pdp11Cpu* cpu);
void workstation_render(uint32_t* picture); // 640 x 298

// The machine routine and its frame loop (workstation_main.cpp, workstation_keys.cpp).
void workstation_startup();           // window, memory, ROMs, then the restart
// The CPU and PPU, memories and devices for the debugger windows (uknc_debug_view.cpp).
void uknc_debug_register();
void workstation_restart_host();      // the restart with the window and picture cleared
void workstation_main_frame();        // one frame of the main loop, presented
void workstation_present();           // render, present, end_frame
void workstation_apply_client_size(); // from the X-scale and lines-fit
bool workstation_host_keys();         // true: a key took the frame (no keyboard feed)
[[noreturn]] void uknc_main();

// ---- Terminals (workstation_terminals.cpp) ----
void workstation_fit_terminals();     // start-up: ROM files, monitor slots and dumps, 15IE switches
void workstation_restart_terminals(); // restart: both terminals set up as at power-on

// ---- Boards: ROMs, display modes, window title, EMT 350 (workstation_boards.cpp) ----

// Reads a board's ROM (or font) file of exactly `length` bytes (0xFF past the end of a
// short file). A file that is missing or unreadable is named once on the console and the
// result is false: the caller runs its board absent (presence flag off). Only "UKNC.rom"
// is fatal (load_file), for the UKNC alone is a complete computer.
//   ws.kcgdPresent = workstation_load_board_rom(kcgd_block + 0x30000, 8192, "KCGD.rom");
//   ws.ksmPresent = workstation_load_board_rom(ksm, 8192, "KSM.rom") &&
//                   workstation_load_board_rom(ksm + 0x18000, 2048, "KSM_FONT.rom");
bool workstation_load_board_rom(void* buffer, size_t length, const char* name);

// Display modes, in the order they take the screen.
enum { WS_DISPLAY_UKNC, WS_DISPLAY_KSM_KGD, WS_DISPLAY_IE15_KGD, WS_DISPLAY_KCGD, WS_DISPLAY_NEMIGA,
       WS_DISPLAY_E85 };
enum { WS_MODE_KGD, WS_MODE_KCGD, WS_MODE_NEMIGA, WS_MODE_E85, ws_mode_count };

// What a board adds to the switching of its display mode, and its other pieces the
// host keys and EMT 350 reach. Boards fill these at start; empty entries do nothing.
struct WorkstationBoardHooks {
    void (*mode_switched[ws_mode_count])(bool on); // after the flag, window and messages
    void (*clear_kgd_memory)();
};
extern WorkstationBoardHooks workstation_board_hooks;

// Switches a display mode on or off (nothing when it already is): the flag, the message
// ("Videomode DVK KGD Activated!\n", ...) when `messages`, clear_back_buffer, the cleared
// PictureBuffer, the window size of the mode (off: 800 x 480 while the KCGD mode is on,
// else the UKNC size), then the board's hook.
void workstation_switch_mode(int mode, bool on, bool messages);
int workstation_display_mode();        // WS_DISPLAY_* from the mode flags
void workstation_update_title();       // the window title follows the display mode
// A program's exit (EMT 350 next on the monitored processor): E-85 and NEMIGA modes off,
// KGD memory cleared and the KGD mode off unless F8/F9 chose it.
void workstation_program_exit();
inline bool workstation_board_mode_on()
{
    return workstation.kgdMode | workstation.kcgdMode | workstation.nemigaMode | workstation.e85Mode;
}

// ---- Console monitor and trace (workstation_monitor.cpp) ----

// The processors the monitor can watch, stop and dump. A board's processor slots in by
// filling its entry at start: a PDP-11 gives its record and a side-effect-free reader
// (code at or above 0100000 from its ROM); another core gives its own operations.
enum { MONITOR_CPU, MONITOR_PPU, MONITOR_GPU, MONITOR_TPU, MONITOR_IE15, monitor_slot_count };
struct MonitoredProcessor {
    char command;         // 'c', 'p', 'g', 't' selects it (0: not selectable)
    const char* name;     // "Monitored processor = %s\n"
    const char* caption;  // register block caption
    const bool* present;  // board presence flag; nullptr: always there
    Pdp11Cpu* pdp11;      // its PDP-11 record, or nullptr
    Pdp11WordReader reader;
    bool (*at_boundary)();            // other cores: between instructions
    uint32_t (*pc)();
    uint32_t (*next_instruction)();   // the instruction word (or opcode) about to run
    void (*jump)(uint32_t address);   // PC = address, next instruction refetched
    void (*print_registers)();        // register block on the console
};
extern MonitoredProcessor workstation_processors[monitor_slot_count];

// Memory dumps of the monitor's m, n, z and b commands. Boards fill data and size.
enum { DUMP_UKNC, DUMP_NEMIGA, DUMP_KCGD, DUMP_KSM, DUMP_IE15, dump_count };
struct MonitorDump {
    const char* file;     // "UKNCMemory.bin"
    const char* failure;  // "Can't create UKNCMemory.bin file!"
    const uint8_t* data;  // nullptr: the board is not built, the command is a plain step
    size_t size;
};
extern MonitorDump workstation_dumps[dump_count];

bool workstation_monitored_at_boundary();
// The inner loop calls this after a processor's bus-operation-and-step pair: the
// monitor's stop waits for the monitored processor to move on.
inline void workstation_monitor_ran(int slot)
{
    if (slot == workstation.monitoredSlot)
        workstation.monitorSkip = false;
}
void workstation_monitor_reset();     // the CPU, run mode 'r', no breakpoint
void workstation_monitor_enter();     // stop at the next boundary (the Apps key)
bool workstation_monitor_due();       // the monitored processor is at a boundary where it stops
void workstation_monitor_stop();      // registers, one command from monitorIn
void workstation_monitor_frame_end(); // 'f': "One frame done...", then stop
void workstation_trace(const Pdp11Cpu* cpu); // CPU at the left margin, others after 60 blanks
uint16_t workstation_cpu_reader(const void*, uint16_t address);
uint16_t workstation_ppu_reader(const void*, uint16_t address);
