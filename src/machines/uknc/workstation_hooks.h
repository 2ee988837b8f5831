// The joints between the UKNC and what the complex attaches to it. The UKNC (uknc/) and
// the DVK boards (dvk/) reach the complex (workstation/) only through these, never through
// its frame loop, host keys or monitor:
//   - the display modes of the boards and the mode the screen shows;
//   - the tables of processors and memory dumps the console monitor works on, which the
//     boards and the terminals' glue fill at start-up;
//   - the hooks a board adds to a mode switch, and the complex's own services the boards
//     call (mode switch, instruction trace), which workstation_restart fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cpu/pdp11/pdp11.h"
#include "machines/uknc/workstation.h"

// Display modes, in the order they take the screen.
enum { WS_DISPLAY_UKNC, WS_DISPLAY_KSM_KGD, WS_DISPLAY_IE15_KGD, WS_DISPLAY_KCGD, WS_DISPLAY_NEMIGA,
       WS_DISPLAY_E85 };
enum { WS_MODE_KGD, WS_MODE_KCGD, WS_MODE_NEMIGA, WS_MODE_E85, ws_mode_count };
int workstation_display_mode();        // WS_DISPLAY_* from the mode flags
// The CPU's turns ask after every bus operation: the four flags lie side by side, so one
// word load tests them all.
inline bool workstation_board_mode_on()
{
    static_assert(offsetof(Workstation, kcgdMode) == offsetof(Workstation, kgdMode) + 1 &&
                  offsetof(Workstation, nemigaMode) == offsetof(Workstation, kgdMode) + 2 &&
                  offsetof(Workstation, e85Mode) == offsetof(Workstation, kgdMode) + 3 && sizeof(bool) == 1);
    uint32_t flags;
    std::memcpy(&flags, reinterpret_cast<const unsigned char*>(&workstation) + offsetof(Workstation, kgdMode), 4);
    return flags != 0;
}

// What a board adds to the switching of its display mode, and its other pieces the
// host keys and EMT 350 reach. Boards fill these at start; empty entries do nothing.
struct WorkstationBoardHooks {
    void (*mode_switched[ws_mode_count])(bool on); // after the flag, window and messages
    void (*clear_kgd_memory)();
};
extern WorkstationBoardHooks workstation_board_hooks;

// What workstation_restart fills in, before anything runs: the complex's services a board
// calls, and the boards' registers the CPU I/O page takes. Empty entries do nothing.
struct WorkstationHooks {
    void (*switch_mode)(int mode, bool on, bool messages); // workstation_switch_mode
    void (*trace)(const Pdp11Cpu* cpu);                    // workstation_trace
    void (*install_board_cpu_io)(); // dvk_install_cpu_io, at the end of workstation_install_cpu_io
};
extern WorkstationHooks workstation_hooks;

// ---- What the console monitor works on ----

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

// The inner loop calls this after a processor's bus-operation-and-step pair: the
// monitor's stop waits for the monitored processor to move on.
inline void workstation_monitor_ran(int slot)
{
    if (slot == workstation.monitoredSlot)
        workstation.monitorSkip = false;
}
// The monitor's side-effect-free readers of the CPU's and the PPU's memory.
uint16_t workstation_cpu_reader(const void*, uint16_t address);
uint16_t workstation_ppu_reader(const void*, uint16_t address);
