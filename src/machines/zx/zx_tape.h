// ZX Spectrum tapes (.tap and .tzx) and the files the machine takes from the user
// (.SNA and .z80 snapshots, tapes) by argument text, drop and reload.
//
// A tape is read into memory whole and cut into blocks when it is inserted. The player
// turns the blocks into the pulses a tape recorder would give, in T-states exactly as
// the file says, and the EAR bit (port 0xFE bit 6) follows them. The 48K has no motor
// control, so the player watches the port: a program that reads port 0xFE again and again
// within a few hundred T-states is a tape loader, and the tape runs while it does.
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

// One block as the player needs it; the bytes stay in the tape image.
struct ZxTapeBlock {
    uint8_t id;            // TZX block ID; .tap blocks are 0x10 (standard speed)
    uint32_t body;         // offset of the block's body (after the ID) in the image
    uint32_t body_length;  // bytes of the body that are in the image
    // Sounding blocks (0x10-0x14): pilot, two sync pulses, data bits, then a pause.
    uint16_t pilot_pulse;
    uint32_t pilot_count;
    uint16_t sync1, sync2;
    uint16_t zero, one;    // half-bit pulse lengths
    uint8_t last_bits;     // bits used of the last data byte (1..8)
    uint32_t data;         // offset of the data bytes (0x13: of the pulse table)
    uint32_t data_length;  // data bytes (0x13: pulse count)
    uint32_t pause_ms;     // 0x20: 0 stops the tape
};

enum class ZxTapeStage : uint8_t { block, pilot, sync1, sync2, data, pulses, pause_edge, pause_low, end };

struct ZxTapeDeck {
    bool inserted;
    bool playing;
    bool by_hand;          // started with the play key: runs until stopped or ended
    bool held;             // stopped with the play key: the loader does not start it
    std::string name;      // file name as given (for re-inserting it)
    std::vector<uint8_t> image;
    std::vector<ZxTapeBlock> blocks;
    // Player position.
    size_t block;          // current block
    ZxTapeStage stage;
    uint32_t count;        // pulses (pilot) or half-bits (data) left in this stage
    uint32_t byte;         // data: index of the current byte
    int64_t segment_end;   // absolute T-state where the current pulse or pause part ends
    int64_t segment_left;  // while stopped: what was left of it
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

// ---- Tape files (zx_tape_file.cpp) --------------------------------------------------
// Reads the whole file (refused past zx_tape_file_limit or when empty) into bytes.
bool zx_read_whole_file(const char* name, std::vector<uint8_t>* bytes, std::string* why);
bool zx_has_tzx_signature(const std::vector<uint8_t>& image);
// Cuts an image into blocks. Bad structure (a block past the end, a truncated header,
// unknown IDs) is reported on the console with the file's name; the blocks before the
// fault are kept. False when nothing playable is left.
bool zx_parse_tap(const std::vector<uint8_t>& image, std::vector<ZxTapeBlock>* blocks, const char* name);
bool zx_parse_tzx(const std::vector<uint8_t>& image, std::vector<ZxTapeBlock>* blocks, const char* name);
// "standard speed data, 19 bytes, header: Program \"name\"" and the like.
std::string zx_tape_block_description(const ZxTapeDeck& deck, size_t index);

// ---- Player (zx_tape.cpp) -----------------------------------------------------------
// Puts the named tape in the player, rewound and waiting; false (with a message, the
// previous tape stays) when the file is no tape.
bool zx_tape_insert(const char* name);
void zx_tape_eject();
// Inserts the last tape again, from the start.
void zx_tape_reinsert();
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
enum class ZxFileKind : uint8_t { sna, z80, tap, tzx };
// By extension first (.sna, .z80, .tap, .tzx, any case); a TZX signature always means a
// TZX; a name without a known extension is told by its content (a .SNA by default).
ZxFileKind zx_file_kind(const char* name);
bool zx_is_tape_name(const char* name);
// True when the data file opens for reading.
bool zx_data_file_exists(const char* name);
// Debian's OpenSE BASIC ROM (package opense-basic).
inline constexpr const char* zx_system_rom = "/usr/share/spectrum-roms/opense.rom";
// The ROM to load: "48.rom" of the data directory, else system_rom when that is there,
// else "48.rom" (whose load then fails and says so).
const char* zx_rom_file(const char* system_rom);
// .z80 versions 1-3 of a 48K machine. False (machine unchanged, a message said why) for
// a file that cannot be read, is damaged, or is of a 128K or other machine. `border`
// receives the border colour the snapshot records.
bool zx_load_z80(Z80State* cpu, uint8_t* memory, const char* name, uint8_t* border);
// A .SNA or .z80 by zx_file_kind, into the machine; a .z80 also sets the border.
// `loaded` receives the kind that was read.
bool zx_load_snapshot(const char* name, ZxFileKind* loaded = nullptr);
// Saves the running machine as .SNA to the start-up snapshot's name; a .z80 start-up
// name becomes the same name with ".SNA", which is then what the reload key loads.
bool zx_save_snapshot();
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
