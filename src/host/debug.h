// The debugger contract: how a machine shows its processors, memory and devices to the
// debugger windows, and the run control (breakpoints, stepping, history) those windows and
// the tests drive.
//
// A machine describes itself once, at start-up, with constant tables of routines:
//
//   static const DebugProcessor processors[] = {{"CPU", ...}, {"PPU", ...}};
//   static const DebugSpace spaces[] = {{"CPU memory", 0x10000, peek, poke}, ...};
//   static const DebugDevice devices[] = {{"Timer", "counter", 16, read_counter}, ...};
//   static const DebugMachine machine = {"uknc", processors, 2, spaces, 5, devices, 20};
//   debug_register_machine(&machine);
//
// Every read routine (register, peek, device) is free of side effects: a device register
// is read from the device's state, never through its bus handler, so viewing a keyboard
// or channel register takes no byte and clears no ready bit. A location that cannot be
// read that way peeks as -1 and is shown as not readable.
//
// Run control. The machine runs its ordinary instruction loop while `debug_active` is
// false; while it is true it runs a watched loop that calls, at every instruction
// boundary of processor p and before the instruction runs:
//
//   if (debug_boundary(p)) debug_wait();
//
// debug_boundary records the history and answers whether the processor must stop here
// (a breakpoint, the end of a step, a stop request). debug_wait keeps the machine stopped
// between instructions: it calls the idle routine (the windows draw, present and handle
// events, waiting for the display) until a run or step command is given. A machine with
// several processors that run interleaved (the UKNC) brings the others to an instruction
// boundary before it calls debug_wait, so the whole complex stands still.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr int debug_max_registers = 40;          // the 15IE: both banks of sixteen and five more
inline constexpr int debug_code_bytes = 6;          // longest instruction of any processor
inline constexpr int debug_history_length = 1000;

struct DebugRegisterInfo {
    const char* name;
    uint8_t bits;                                   // 8, 16 or 32: the digits shown
};
// A processor's register list made from its core's register names, all of one width or
// each of its own:  const DebugRegisterList<11> registers(pdp11_debug_register_names, 16);
template <int N> struct DebugRegisterList {
    DebugRegisterInfo info[N];
    DebugRegisterList(const char* const (&names)[N], uint8_t bits)
    {
        for (int i = 0; i < N; ++i)
            info[i] = {names[i], bits};
    }
    DebugRegisterList(const char* const (&names)[N], const uint8_t (&bits)[N])
    {
        for (int i = 0; i < N; ++i)
            info[i] = {names[i], bits[i]};
    }
};

struct DebugProcessor {
    const char* name;                               // "CPU", "PPU", "Z80"
    const DebugRegisterInfo* registers;
    int register_count;
    void (*get_registers)(uint32_t* values);        // all of them, in the table's order
    void (*set_register)(int index, uint32_t value); // only while stopped
    int flags_register;                             // index of the register the flags live in
    // Flag letters from the highest bit down to bit 0 ("SZ5H3PNC", "HP65TNZVC").
    const char* flag_letters;
    uint32_t (*pc)();
    // The count the console monitor shows (T-states or cycles left in the frame).
    int64_t (*cycles)();
    // Disassembles the instruction whose bytes (memory order, debug_code_bytes of them)
    // start at address; writes the text and returns the length in bytes.
    int (*disassemble)(uint32_t address, const uint8_t* code, char* text, size_t size);
    // Length of the instruction when it is a call (subroutine call, restart, trap) that
    // step over runs through; 0 otherwise.
    int (*call_length)(const uint8_t* code);
    int space;                                      // index of its address space
};

struct DebugSpace {
    const char* name;                               // "CPU memory", "Plane 1", "ROM"
    uint32_t size;                                  // bytes
    int (*peek)(uint32_t address);                  // 0..255, or -1: not readable without effect
    void (*poke)(uint32_t address, uint8_t value);  // nullptr: read-only
};

struct DebugDevice {
    const char* group;                              // "Channel 0", "Timer", "Floppy"
    const char* name;                               // "177560 status", "border"
    uint8_t bits;                                   // 1, 8, 16 or 32
    uint32_t (*read)();
};

struct DebugMachine {
    const char* name;
    const DebugProcessor* processors;
    int processor_count;
    const DebugSpace* spaces;
    int space_count;
    const DebugDevice* devices;
    int device_count;
};
// A machine's record from its lists, each counted by its length.
template <int P, int S, int D>
constexpr DebugMachine debug_machine_of(const char* name, const DebugProcessor (&processors)[P],
                                        const DebugSpace (&spaces)[S], const DebugDevice (&devices)[D])
{
    return {name, processors, P, spaces, S, devices, D};
}

// ---- Registration (the machine, once at start-up) ------------------------------------
void debug_register_machine(const DebugMachine* machine);
const DebugMachine* debug_machine(); // nullptr before a machine registered

// ---- Machine side of run control ------------------------------------------------------
// True while a debugger (the windows, or a test) watches the machine.
extern bool debug_active;
bool debug_boundary(int processor);
void debug_wait();
// The processor whose boundary stopped the machine last (-1: none).
int debug_stopped_processor();

// ---- Controls (the windows, the tests) -----------------------------------------------
enum class DebugMode : uint8_t { running, stopped, step, step_over, run_to };

// Starts watching (history from now on). stop_now: stop before the next instruction.
// Before a machine has registered, the request waits for it.
void debug_attach(bool stop_now);
// Stops watching: the machine returns to its ordinary loop at the next frame; a stopped
// machine runs on. Breakpoints are kept for the next attach.
void debug_detach();
DebugMode debug_mode();
bool debug_is_stopped();                   // inside debug_wait
// The run commands act on the stopped machine; processor p is the one whose window gave
// the command (step and step over count its instructions).
void debug_run();
void debug_stop();                         // stop at the next boundary of any processor
void debug_step(int processor);
void debug_step_over(int processor);
void debug_run_to(int processor, uint32_t address);

void debug_toggle_breakpoint(int processor, uint32_t address);
void debug_set_breakpoint(int processor, uint32_t address, bool on);
bool debug_breakpoint(int processor, uint32_t address);
void debug_clear_breakpoints(int processor);

// The routine debug_wait calls while stopped (draws, presents, handles events and waits
// for the display). Without one a stop cannot be shown: debug_wait runs on.
extern void (*debug_idle)();

// Called after every presented frame (the windows' key, Right Windows + D).
extern void (*debug_frame_hook)();

// The window backend's frame while the machine stands stopped: presents the picture and
// the windows, handles events and waits for the display.
void host_stopped_frame();
// Silences the sound device while the machine stands stopped (true) and gives it back.
void host_stopped_sound(bool stopped);

// ---- Views --------------------------------------------------------------------------
// Peeks up to debug_code_bytes bytes at address in the processor's space (unreadable
// bytes as 0xFF) and disassembles them; returns the length.
int debug_disassemble(int processor, uint32_t address, char* text, size_t size);

struct DebugHistoryEntry {
    uint32_t address;
    uint8_t code[debug_code_bytes];
    bool complete;                          // registers after the instruction known
    uint32_t registers[debug_max_registers];
};
// Instructions of the processor the debugger has seen start since it was attached.
uint64_t debug_instruction_count(int processor);
// Entries of a processor's history, oldest first (at most debug_history_length).
int debug_history_count(int processor);
const DebugHistoryEntry* debug_history_entry(int processor, int index);
void debug_clear_history(int processor);
// Writes the history as text ("address  bytes  instruction  registers after"). False
// when the file cannot be written.
bool debug_write_history(int processor, FILE* file);

// Search of an address space for a byte pattern from `from` on (wrapping once round the
// space); unreadable bytes never match. -1 when it is nowhere.
int64_t debug_find(int space, uint32_t from, const uint8_t* pattern, size_t length);
// A search text: hexadecimal bytes ("3E 5A", "3e5a") or, in double quotes, characters
// ("\"HELLO\""). False for an empty or malformed text.
bool debug_parse_pattern(const char* text, uint8_t* pattern, size_t capacity, size_t* length);

// Forget everything (tests; a machine that registers again).
void debug_reset();
