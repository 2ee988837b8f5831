// ZX Spectrum 48K: 16 KB ROM + 48 KB RAM on one Z80 at 3.5 MHz, a 320-line frame of
// 224 T-states, the ULA's border/screen picture, the 8 x 5 key matrix on port 0xFE and
// the beeper on bits 3-4 of the same port. No contention, no floating bus.
//
// The whole machine lives in the global record `zx`. Wiring, as zx_main does it:
//   zx_start(argument_text());      // ROM, start-up snapshot, CPU slots, window size
//   for (;;) { zx_frame(); end_frame(); }
// zx_frame = zx_frame_input (drop, keys, hot keys, reset) + zx_emulate_frame (FLASH,
// interrupt, CPU, sound) + zx_paint_frame (border, screen, x3 filter into the BackBuffer).
// Tests call zx_init_state() and then any piece on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu/z80/z80.h"

inline constexpr int32_t zx_frame_tstates = 71680;       // 320 lines x 224 T-states
inline constexpr int32_t zx_units_per_tstate = 4096;     // ticks >> 12 = T-states
inline constexpr int zx_event_capacity = 8192;
inline constexpr uint32_t zx_picture_width = 1056;       // 352 ZX pixels x 3
inline constexpr uint32_t zx_picture_height = 288;
inline constexpr uint32_t zx_screen_row = 48;            // picture position of the 256 x 192 area
inline constexpr uint32_t zx_screen_column = 144;
inline constexpr uint8_t zx_flash_frames = 25;
inline constexpr size_t zx_snapshot_name_capacity = 256; // 255 characters + terminator
inline constexpr size_t zx_sna_header_size = 27;
inline constexpr size_t zx_sna_size = zx_sna_header_size + 49152;

struct ZxBorderEvent {
    int32_t time;   // T-states left in the frame when the port was written
    uint8_t colour; // 0..7
};

// One colour change of a painted border: from `position` (T-states after the first
// pixel, retrace writes already moved to the next row) until the next change.
struct ZxBorderChange {
    int32_t position;
    uint8_t colour; // 0..7
};
inline constexpr uint32_t zx_screen_bytes = 6912; // bitmap and attributes at 0x4000

struct ZxMachine {
    uint8_t memory[65536];
    Z80State cpu;
    uint8_t last_fe;         // last byte written to port 0xFE
    uint8_t border_colour;   // colour in force where the next painting starts
    uint8_t flash_phase;     // 0x00 or 0xFF
    uint8_t flash_countdown; // frames left in this FLASH phase
    uint8_t palette_index;   // 0 colour, 1 grey, 2 inverted grey
    const uint32_t* zx_palette;
    int32_t zx_beeper_edges[zx_event_capacity];
    int beeper_edge_count;
    ZxBorderEvent zx_border_events[zx_event_capacity];
    int border_event_count;
    int32_t beeper_level;       // +-32512
    int64_t beeper_partial_sum; // integral of the sample cut by the frame end
    uint8_t half_rows[8];       // bit set = key pressed
    uint8_t zx_port_table[256];
    char snapshot_name[zx_snapshot_name_capacity];
    // What the picture shows, as of its last painting: a frame repaints and triples only
    // the rows whose screen bytes, border, FLASH phase or palette differ from it.
    bool picture_valid; // false (as after zx_init_state): the next frame repaints all
    uint8_t painted_flash_phase;
    const uint32_t* painted_palette;
    const uint32_t* painted_pixels; // the surface last filled, and its shape
    uint32_t painted_pitch, painted_width, painted_height;
    int painted_border;             // which border_changes list the picture shows
    int border_change_count[2];
    ZxBorderChange border_changes[2][zx_event_capacity + 1];
    uint8_t painted_screen[zx_screen_bytes];
    uint32_t zx_picture[1536000 / 4]; // used as 1056 x 288
};
extern ZxMachine zx;

// ---- Machine (zx_machine.cpp) -------------------------------------------------------
// Clears the whole record and sets the power-on values: palette 0, FLASH phase 0 with its
// countdown, beeper level high, keys up, CPU slots wired with 4096 units per T-state.
void zx_init_state();
void zx_fetch_byte(Z80State* s);
void zx_read_mem(Z80State* s);
void zx_write_mem(Z80State* s);
void zx_read_port(Z80State* s);
void zx_write_port(Z80State* s);
// do { one instruction } while ticks >= 0: at least one instruction per call.
void zx_run_frame(Z80State* state);
// The same under the debugger: a check at every instruction boundary (zx_debug.cpp).
void zx_run_frame_debugged(Z80State* state);
void zx_debug_register(); // the machine's processors, memory and devices for the debugger
// FLASH countdown, the frame interrupt (only with IFF1 set), 71680 T-states of CPU, and
// the frame's beeper samples.
void zx_emulate_frame();
// Its first and last parts: the FLASH countdown; the beeper samples.
void zx_frame_begin();
void zx_frame_sound();
// Takes the snapshot name from the raw argument text: what follows the last backslash, up
// to a double quote or the end; "snapshot.SNA" when the text is empty. Returns false (name cut to 255
// characters) when it did not fit.
bool zx_snapshot_name_from(const char* argument_text, char* name, size_t capacity);

// ---- Start-up and frame loop (zx_main.cpp) ------------------------------------------
void zx_start(const char* argument_text);
void zx_frame_input();
// The same into the locked BackBuffer; when the lock fails the frame's border changes
// only update the colour in force.
void zx_paint_frame();
void zx_frame();
[[noreturn]] void zx_main();
// Save states (zx_state.cpp): registers the machine's sections with the host.
void zx_register_state();

// ---- Picture (zx_render.cpp) --------------------------------------------------------
extern const uint32_t zx_palettes[3][16];
// Paints the border from the frame's events (count includes the closing sentinel at -1000)
// and returns how many events moved to the start of the list for the next frame.
int zx_render_border(uint32_t* picture, int count);
// Paints the 256 x 192 area; `at` is its top-left pixel in the picture.
void zx_render_screen(const uint8_t* bitmap, const uint8_t* attributes, uint32_t* at);
void zx_next_palette();
// The frame's picture: closes the border list with its sentinel, paints border and screen
// into zx_picture and triples it centred into a width x height surface (rows `pitch`
// pixels apart; a surface smaller than 1056 x 864 gets nothing). Only rows that differ
// from the last painting are repainted and tripled (the same surface is assumed to keep
// what it was given); the result is always the same as zx_render_border,
// zx_render_screen and then filter_rows_x3_scanlines over the whole. False when no pixel
// of the surface was written (the picture is as last painted).
bool zx_render_frame_into(uint32_t* pixels, uint32_t pitch, uint32_t width, uint32_t height);
// Forgets what the picture shows: the next zx_render_frame_into repaints everything.
inline void zx_invalidate_picture() { zx.picture_valid = false; }

// ---- Keyboard and beeper (zx_keyboard.cpp, zx_beeper.cpp) --------------------------
void zx_scan_keys();
void zx_build_port_table();
int zx_beeper_to_samples(int32_t* edges, int count, int32_t frame_tstates);

// ---- Snapshots (zx_snapshot.cpp) ----------------------------------------------------
// False (with a console message) when the file cannot be opened or read; the machine is
// then unchanged. Start-up turns that into the fatal "Can't open file!".
bool zx_load_sna(Z80State* cpu, uint8_t* memory, const char* name);
// False (after "Can't open Disk Image: %s\n") when the file cannot be created.
bool zx_save_sna(Z80State* cpu, uint8_t* memory, const char* name);
