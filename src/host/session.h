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
#include <vector>

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
// A save that cannot describe the machine right now (a processor stopped inside an
// instruction it cannot name) refuses with a one-line reason; nothing is written then.
void state_fail(StateWriter* writer, const char* why);
// True while writing one of rewind's states, which stay in memory within this run: a
// machine may leave out large sections that cannot have changed since start-up (a disk
// image its controller never writes); its check then takes their absence as "keep".
bool state_is_rewind(const StateWriter* writer);
// The tags "HOST" and "THMB" belong to the host (window size, thumbnail): machines use others.

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

// ---- Additions for the on-screen interface and the command line ----------------------

// Rewinding while held: each frame the key is down steps back (a step every few frames).
void session_set_rewind_held(bool held);
bool session_rewinding();
// The last message of the session layer ("Saved slot 3", "Can't load ...: bad checksum")
// and the frame it was given at; an interface shows it for a while. "" before any.
const std::string& session_last_message(uint32_t* frame);
// A state file's picture and time, for menus. `pixels` holds width x height 0x00RRGGBB
// pixels (a downscaled copy of the screen when it was saved; empty when the state has
// none); saved_time is seconds since 1970 (UTC); frame is the emulated frame number.
struct SlotInfo {
    std::string machine;
    uint64_t frame = 0;
    int64_t saved_time = 0;
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
};
// False when the slot's file does not exist or is no valid state of this machine.
bool session_slot_info(int slot, SlotInfo* info);
bool session_file_info(const char* path, SlotInfo* info, std::string* why);
// Whether a machine has registered (save states are possible at all).
bool session_available();
