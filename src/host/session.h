// Save states and the session controls built on them (pause, single frame, fast-forward,
// rewind, numbered slots).
//
// A machine's state is a list of tagged sections that the machine writes and reads itself;
// the host owns the file format around them (header with magic, format version, machine
// name, emulated frame number and a hash of each ROM file the machine read; then each
// section with its tag, length and checksum) and the files. How a machine wires in:
//
//   static void save(StateWriter* w)  { state_put(w, state_tag("CPU0"), &cpu, sizeof cpu); ... }
//   static bool check(const StateReader* r, std::string* why) { ...every section present,
//                                     of the right size, every value in range; change nothing }
//   static void load(const StateReader* r) { ...copy the sections back, rebuild pointers }
//   static const MachineStateOps ops = {"zx", save, check, load};
//   session_register_machine(&ops);        // once, at start-up
//   session_note_rom("48.rom", rom, size); // for every ROM file read
//
// save, check and load run only between frames (from end_frame / pace_and_present), never
// inside a frame. load runs only after check accepted the same reader, so a state that is
// refused leaves the running machine untouched. Pointers (memory blocks, function tables)
// are never stored: a machine stores offsets or indices and rebuilds them on load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct StateWriter;
struct StateReader;

// A four-character section tag, e.g. state_tag("Z80 ").
constexpr uint32_t state_tag(const char (&text)[5])
{
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 |
           uint32_t(uint8_t(text[2])) << 16 | uint32_t(uint8_t(text[3])) << 24;
}

// Appends one section. A tag may be written once per state.
void state_put(StateWriter* writer, uint32_t tag, const void* data, size_t size);
// The bytes of a section, or nullptr (size 0) when the state has none with that tag.
const uint8_t* state_get(const StateReader* reader, uint32_t tag, size_t* size);
// The section's bytes when it is exactly `size` long, else nullptr.
const uint8_t* state_get_exact(const StateReader* reader, uint32_t tag, size_t size);

struct MachineStateOps {
    const char* name;                                        // "zx", "uknc", ...: in the header
    void (*save)(StateWriter* writer);                       // every section of the machine
    bool (*check)(const StateReader* reader, std::string* why); // complete validation, no change
    void (*load)(const StateReader* reader);                 // after check accepted it
};
// Once, at start-up, by the machine's main routine.
void session_register_machine(const MachineStateOps* ops);
// Records the hash of a ROM file the machine read (name as the machine names it). States
// carry these hashes; a state whose hashes differ is refused, naming the file.
void session_note_rom(const char* name, const void* data, size_t size);

// ---- Session controls (the window's keys, the on-screen menus, the command line) ---------
// Each request is carried out between frames; the calls only record it.

// Writes the current state to path / restores it from path (complete validation first).
// Return false with a one-line reason; the running machine is untouched on failure.
bool session_save_file(const char* path, std::string* why);
bool session_load_file(const char* path, std::string* why);
// Numbered slots 1-9: files in the data directory named after the machine and slot.
std::string session_slot_path(int slot);
void session_request_save_slot(int slot);
void session_request_load_slot(int slot);
// Pause, one frame while paused, fast-forward (unpaced, muted), rewind one step.
void session_set_paused(bool paused);
bool session_paused();
void session_request_frame_advance();
void session_set_fast_forward(bool on);
bool session_fast_forward();
void session_request_rewind_step();
