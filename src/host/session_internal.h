// Save-state internals shared by the session files and their tests: the writer and reader
// records, the file layout, the rewind ring and the host key chords. Machines see only
// session.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/session.h"

// Sections as they lie in memory and in files: tag, reserved 0, length, checksum, then
// the bytes padded with zeros to a multiple of 8.
inline constexpr size_t state_section_header_bytes = 24;
inline constexpr uint32_t state_format_version = 1;
inline constexpr size_t state_machine_name_bytes = 16;
inline constexpr size_t state_rom_name_bytes = 64;
inline constexpr size_t state_max_roms = 64;

struct StateWriter {
    std::vector<uint8_t> bytes; // the sections
    std::vector<uint32_t> tags;
    bool checksums = true;      // rewind states in memory skip them
    std::string failure;        // set by state_fail
};

struct StateSection {
    uint32_t tag;
    const uint8_t* data;
    size_t size;
};
struct StateReader {
    std::vector<StateSection> sections;
};

struct StateRomNote {
    std::string name;
    uint64_t size = 0;
    uint64_t hash = 0;
};
struct StateHeader {
    uint32_t version = state_format_version;
    uint64_t frame = 0;
    int64_t saved_time = 0;
    std::string machine;
    std::vector<StateRomNote> roms;
};

// A 64-bit checksum of the bytes (fast: four lanes of eight bytes).
uint64_t state_checksum(const void* data, size_t size);
// Empties the writer for another state, keeping its memory.
void state_writer_reset(StateWriter* writer, bool checksums);
// The whole file: header (with its own checksum) and the writer's sections.
void state_encode_file(const StateHeader& header, const StateWriter& writer, std::vector<uint8_t>* out);
// Checks the layout of a whole file (magic, format version, header checksum, the bounds
// and checksum of every section, no section twice, nothing after the last) and fills the
// header and a reader pointing into `data`. Changes nothing else.
bool state_parse_file(const uint8_t* data, size_t size, StateHeader* header, StateReader* reader,
                      std::string* why);
// The sections alone (rewind states); verify = compare the checksums.
bool state_parse_sections(const uint8_t* data, size_t size, bool verify, StateReader* reader,
                          std::string* why);
// Reads a whole state file; false with the reason (missing, a folder, empty, too large).
bool state_read_file(const char* path, std::vector<uint8_t>* bytes, std::string* why);
// Writes through a temporary file and a rename, so a failed write never leaves half a state
// where a good one was.
bool state_write_file(const char* path, const std::vector<uint8_t>& bytes, std::string* why);

// ---- Rewind ring (session_rewind.cpp) ------------------------------------------------
// The newest state whole, and before it backward differences (what to XOR into the newer
// state to get the older one, zero runs left out).
struct RewindEntry {
    uint64_t frame;
    size_t size;                 // length of the older state
    std::vector<uint8_t> delta;  // runs: u32 words skipped, u32 words given, the words
};
struct RewindRing {
    std::vector<uint8_t> newest; // sections of the newest state, padded to 8 bytes
    size_t newest_size = 0;
    uint64_t newest_frame = 0;
    bool has_newest = false;
    std::vector<RewindEntry> older; // oldest first
    size_t delta_bytes = 0;
    size_t max_entries = 72;    // 72 x 25 frames: 30 s or more of every machine's frames
    size_t max_bytes = 64u << 20;
};
// Keeps a new state as the newest; the one it replaces becomes a difference.
void rewind_push(RewindRing* ring, const uint8_t* state, size_t size, uint64_t frame);
// The same without a copy: takes the bytes of *state (the first `size` of them) as the
// newest and hands back the buffer of the one it replaced (to be reused).
void rewind_push_taking(RewindRing* ring, std::vector<uint8_t>* state, size_t size, uint64_t frame);
// Steps the newest back to the state before it; false when there is none.
bool rewind_pop(RewindRing* ring);
void rewind_clear(RewindRing* ring);
size_t rewind_memory(const RewindRing& ring);

// ---- The session's state (session.cpp, session_controls.cpp) --------------------------
struct SessionState {
    const MachineStateOps* ops = nullptr;
    std::vector<StateRomNote> roms;
    std::string message;
    uint32_t message_frame = 0;
    // Requests, carried out between frames.
    int save_slot = 0, load_slot = 0;
    bool paused = false, advance = false;
    bool fast_forward_toggle = false, fast_forward_held = false;
    bool rewind_held = false, rewind_key_held = false, rewind_step = false;
    uint32_t rewind_hold_frames = 0;
    // Rewind ring and its capture rhythm (emulated frames between states).
    RewindRing rewind;
    uint32_t capture_interval = 25;
    uint32_t frames_since_capture = 0;
    bool rewind_enabled = true;
    bool rewound_to_newest = false; // the machine stands at the ring's newest state
    bool rewind_wall_reported = false;
    StateWriter rewind_writer;
    // --save-state-at and --load-state.
    uint32_t state_file_counter = 0;
    bool start_state_done = false;
    // Host key chords: keys that went down while the host key was held belong to the host
    // until they are released.
    uint8_t raw_previous[256] = {};
    bool owned[256] = {};
    bool silenced = false; // what host_apply_mute last saw
};
extern SessionState session;

// Prints a message and keeps it for the on-screen interface.
void session_message(const std::string& text);
// The machine's sections and the host's (thumbnail only for files) into the writer.
bool session_capture(StateWriter* writer, bool for_file, std::string* why);
// Encodes the running machine as a whole state file.
bool session_encode_current(std::vector<uint8_t>* file, std::string* why);
// The whole validation of a file's bytes against the running machine; changes nothing.
bool session_check_bytes(const uint8_t* data, size_t size, StateHeader* header, StateReader* reader,
                         std::string* why);
// Replaces the running machine by an accepted state and continues from its frame.
void session_apply(const StateReader& reader, uint64_t frame);
// Empties the rewind ring and keeps the current state as its newest.
void session_rewind_restart();
// Pause, fast-forward or rewind silence the sound as long as they last.
bool session_silenced();

// ---- Host key chords (session_controls.cpp) ------------------------------------------
// Right Windows (Super) is the host key: no machine reads it. Chords made with it are the
// host's and never reach the machine.
inline constexpr uint8_t session_host_key = 0xDC;
// Hides the host key and the keys of host chords from a key table the machine reads.
void session_mask_keys(uint8_t* table);
// The per-frame service of host_after_frame: start-up state, --save-state-at, keys,
// requests, rewind, pause. Returns after the machine may run its next frame.
void session_after_frame();
// At the first end_frame of a run with --load-state: loads it (exits with status 1 when it
// cannot) and returns true; the machine's power-on frame is then not shown.
bool session_start_frame();
// After frame N of --save-state-at N: the next free State_NNN.kst.
void session_scheduled_saves();
// Fast-forward in a window: true for the frames whose picture is not shown.
bool session_skip_present();
