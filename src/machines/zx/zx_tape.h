// ZX Spectrum tapes (every format libspectrum reads: .tap, .tzx, .pzx, .csw, .wav and
// more) and the files the machine takes from the user (snapshots, tapes, recordings) by
// argument text, drop and reload.
//
// A tape file is read whole and handed to libspectrum, which cuts it into blocks and gives
// the signal as a sequence of edges, each with its distance from the previous one in
// T-states and flags (block end, stop the tape, tape end, forced level). The player turns
// them into the EAR bit (port 0xFE bit 6). The 48K has no motor control, so the player
// watches the port: a program that reads port 0xFE again and again within a few hundred
// T-states is a tape loader, and the tape runs while it does.
//
// Wiring, as the frame loop does it: zx_tape_begin_frame() before the frame's CPU run,
// zx_tape_end_frame() after it (advances the tape to the frame end, pauses it when the
// loader has gone, mixes the tape's sound into the frame's samples).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cpu/z80/z80.h"

inline constexpr size_t zx_tape_file_limit = 32u << 20;  // no real tape comes near this
inline constexpr size_t zx_tape_block_limit = 65536;
inline constexpr int32_t zx_tape_tstates_per_ms = 3500;
// Loader detection: a read of port 0xFE at most this long after the previous one
// continues a run of polls; a run this long is a loader. A keyboard scan reads eight
// half-rows and then nothing for the rest of the frame, so it never gets there.
inline constexpr int64_t zx_tape_poll_gap = 1000;
inline constexpr int zx_tape_poll_run = 64;
// The tape stops this long after the last loader-like poll (one second).
inline constexpr int64_t zx_tape_idle_stop = 3500000;
inline constexpr int32_t zx_tape_volume = 0x0C00; // tape sound, about a tenth of the beeper
inline constexpr int zx_tape_edge_capacity = 8192;

// One block as the messages need it; libspectrum holds the signal itself.
struct ZxTapeBlock {
    uint32_t type;         // libspectrum's block type (the TZX block ID for TZX blocks)
    uint32_t data_length;  // bytes of data the block carries (0 for none)
};

// block: the next edge begins a block (announced then); fetch: the next edge is still to
// be asked for; edges: an edge is due at segment_end; end: the tape has run out.
enum class ZxTapeStage : uint8_t { block, fetch, edges, end };

struct libspectrum_tape;

struct ZxTapeDeck {
    bool inserted;
    bool playing;
    bool by_hand;          // started with the play key: runs until stopped or ended
    bool held;             // stopped with the play key: the loader does not start it
    std::string name;      // file name as given (for re-inserting it)
    std::vector<uint8_t> image;        // the file's bytes, as read
    std::vector<ZxTapeBlock> blocks;
    libspectrum_tape* tape;            // the image as libspectrum reads it
    // Player position: plain values, from which zx_tape_restore_position() finds the
    // place again in a freshly read image.
    uint32_t block;        // current block (libspectrum's position)
    uint32_t edge;         // edges asked for since the block began
    ZxTapeStage stage;
    int32_t pending_flags; // libspectrum's flags of the edge due at segment_end
    int64_t segment_end;   // absolute T-state of the next edge
    int64_t segment_left;  // while stopped: what was left until it
    uint8_t level;         // EAR level 0 or 1
    // Machine time: T-states of the frames begun so far.
    int64_t frame_base;
    // Loader detection.
    int64_t last_read;
    int poll_run;
    int64_t last_poll;     // time of the last loader-like read
    // Sound: the frame's tape edges, T-states from the frame start.
    int32_t edges[zx_tape_edge_capacity];
    int edge_count;
    uint8_t frame_start_level;
    bool fast;             // the window runs unpaced and muted while the tape plays
};
extern ZxTapeDeck zx_tape;

// ---- Files through libspectrum (zx_files.cpp, zx_tape_file.cpp) --------------------
// Reads the whole file (refused past zx_tape_file_limit or when empty) into bytes.
bool zx_read_whole_file(const char* name, std::vector<uint8_t>* bytes, std::string* why);
// The same for libspectrum's readers, which read some headers a little past a short file's
// end: zeros follow the bytes in the buffer. libspectrum is started with no message pending.
bool zx_read_for_libspectrum(const char* name, std::vector<uint8_t>* bytes, std::string* why);
// Starts libspectrum once and routes its error messages to zx_libspectrum_message().
void zx_libspectrum_start();
// libspectrum's last error message since zx_libspectrum_clear(), or `otherwise` when it
// gave none.
std::string zx_libspectrum_message(const char* otherwise);
void zx_libspectrum_clear();
// Reads a tape image through libspectrum into a new tape (nullptr with `why` when it is
// no tape or a damaged one) and lists its blocks.
libspectrum_tape* zx_read_tape(const std::vector<uint8_t>& image, const char* name, std::vector<ZxTapeBlock>* blocks,
                               std::string* why);
void zx_free_tape(libspectrum_tape* tape);
// "TAP", "TZX", "PZX", "CSW", "WAV" ... for libspectrum's file kind (a libspectrum_id_t).
const char* zx_tape_format_name(int kind);
// "standard speed data, 19 bytes, header: Program \"name\"" and the like.
std::string zx_tape_block_description(const ZxTapeDeck& deck, size_t index);

struct libspectrum_snap;
struct libspectrum_creator;
// A libspectrum snapshot of a 48K into the given CPU and memory (0x4000-0xFFFF) and the
// border colour; false with `why` (nothing changed) for another machine's snapshot.
bool zx_snapshot_from_libspectrum(libspectrum_snap* snap, Z80State* cpu, uint8_t* memory, uint8_t* border,
                                  std::string* why);
// The machine as a new libspectrum snapshot (the caller frees it); `tstates` since the
// frame's interrupt.
libspectrum_snap* zx_snapshot_to_libspectrum(const Z80State* cpu, const uint8_t* memory, uint8_t border,
                                             uint32_t tstates);
// Korvel as the creator named in files it writes (the caller frees it).
libspectrum_creator* zx_libspectrum_creator();
// ".z80", ".szx" ... for libspectrum's snapshot kind (a libspectrum_id_t).
const char* zx_snapshot_format_name(int kind);

// ---- Player (zx_tape.cpp) -----------------------------------------------------------
// Puts the named tape in the player, rewound and waiting; false (with a message, the
// previous tape stays) when the file is no tape.
bool zx_tape_insert(const char* name);
void zx_tape_eject();
// Inserts the last tape again, from the start.
void zx_tape_reinsert();
// After the deck's plain fields were restored (a saved state): reads `image` again and
// moves the player to `block` and `edge`. False when the image is no longer a tape.
bool zx_tape_restore_position();
// The play/stop key.
void zx_tape_play_stop();
// Absolute machine time in T-states.
int64_t zx_tape_now();
// Runs the tape up to absolute time `now`.
void zx_tape_advance(int64_t now);
// The port 0xFE read with the tape inserted: keyboard bits, EAR from the tape.
void zx_tape_read_port(Z80State* s);
void zx_tape_begin_frame();
void zx_tape_end_frame();
// True while the window should run unpaced.
bool zx_tape_wants_fast();

// ---- Snapshots and what the user names (zx_z80_snapshot.cpp, zx_media.cpp) ---------
// sna: the machine's own .SNA reader; z80 and snapshot: a .z80 or another snapshot
// libspectrum reads; tap, tzx and tape: tapes; rzx: an input recording.
enum class ZxFileKind : uint8_t { sna, z80, tap, tzx, snapshot, tape, rzx };
// A .sna name or a file of exactly .SNA size is a .SNA; otherwise libspectrum tells the
// kind by name and content; a name it does not know is a .z80 when it looks like one and
// a .SNA by default.
ZxFileKind zx_file_kind(const char* name);
// Tape names by extension (.tap .tzx .pzx .csw .wav .spc .sta .ltp, any case).
bool zx_is_tape_name(const char* name);
// True when the data file opens for reading.
bool zx_data_file_exists(const char* name);
// Debian's OpenSE BASIC ROM (package opense-basic).
inline constexpr const char* zx_system_rom = "/usr/share/spectrum-roms/opense.rom";
// The ROM to load: "48.rom" of the data directory, else system_rom when that is there,
// else "48.rom" (whose load then fails and says so).
const char* zx_rom_file(const char* system_rom);
// A 48K snapshot in any format libspectrum reads. False (machine unchanged, a message
// said why) for a file that cannot be read, is damaged, or is of a 128K or other
// machine. `border` receives the border colour the snapshot records.
bool zx_load_snapshot_file(Z80State* cpu, uint8_t* memory, const char* name, uint8_t* border);
// The running machine as .z80 (szx false) or .szx through libspectrum.
bool zx_write_snapshot_file(const char* name, bool szx);
// A snapshot of any kind by zx_file_kind, into the machine; all but .SNA also set the
// border. `loaded` receives the kind that was read.
bool zx_load_snapshot(const char* name, ZxFileKind* loaded = nullptr);
// Saves the running machine as .SNA to the start-up snapshot's name; a .z80 start-up
// name becomes the same name with ".SNA", which is then what the reload key loads.
bool zx_save_snapshot();
// Saves the running machine to `path` in the format its extension names: .szx or .z80
// through libspectrum, anything else as .SNA (the machine's own writer). False (with a
// console message) when it cannot be written. For the file menus.
bool zx_save_snapshot_as(const char* path);
// Opens any file the user names for the ZX (file menus, drops): a snapshot replaces the
// machine, a tape goes into the player, an RZX recording plays. False (with a message,
// the running program kept) when the file cannot be used.
bool zx_open_file(const char* path);

// ---- Input recordings (zx_rzx.cpp) ------------------------------------------------
struct libspectrum_rzx;
struct ZxRzx {
    bool playing;
    bool recording;
    bool record_started;  // the snapshot is in the recording
    bool first_frame;     // playback: this frame begins without an interrupt
    bool out_of_step;     // playback: the program read more bytes than were recorded
    uint32_t frames;      // frames played or recorded
    std::string name;     // the recording played
    std::string record_name;
    libspectrum_rzx* rzx;    // the recording played
    libspectrum_rzx* record; // the recording made
    Z80Routine saved_read_port; // the machine's port routine, called around the recording
    std::vector<uint8_t> in_bytes; // this frame's port reads
};
extern ZxRzx zx_rzx;
// Plays the recording: its snapshot replaces the machine (false with a message and the
// machine unchanged when the file is damaged, has no snapshot or is not a 48K's).
bool zx_rzx_play(const char* name);
// Records from the next frame on; the file is written every 500 frames and at the end.
bool zx_rzx_record(const char* name);
void zx_rzx_stop_recording();
// True while frames are played from or recorded into a recording.
bool zx_rzx_active();
// One frame instead of zx_emulate_frame while zx_rzx_active().
void zx_rzx_emulate_frame();
// Splits the argument text: "snapshot", "tape" or "snapshot tape" (quotes group words
// with blanks). Any other text is one snapshot name as before. Empty names mean none;
// false when a word names nothing (text ending in a backslash: "dir\\").
bool zx_names_from_argument_text(const char* text, std::string* snapshot, std::string* tape);
// The start-up files: a snapshot (fatal when it cannot be loaded), or only a tape (the
// ROM starts from its reset), or both.
void zx_load_start_files(const char* argument_text);
// A dropped file: a tape goes into the player, a snapshot replaces the machine.
void zx_take_dropped_file(const char* name);
// One or more emulated frames: more while the tape plays fast in a window.
void zx_emulate_frames();
