// The host contract: everything an emulated machine may use of the platform.
//
// A machine draws into the BackBuffer (a 32-bit 0x00RRGGBB surface, centred picture),
// writes its frame's sound into SampleBuffer, reads the key snapshots, and calls
// end_frame() once per emulated frame (or pace_and_present() when it has no sound and
// runs its own loop). Files are named relative to the data directory, with the
// original DOS-style names ("MS-0515\OSA-Test.dsk") accepted as they are.
//
// Two backends sit behind these routines: an SDL2 window with audio, and a headless
// one (no window, no audio device, unpaced, deterministic) for automation and tests.
// Machines never see which one runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr const char* korvel_version = "0.12g";

// ---- Process ------------------------------------------------------------------------

// Shows "System Error!" with the text when a display exists, always prints the text on
// standard error, releases the devices and exits with status 1.
[[noreturn]] void fatal_error(const char* text);
// Orderly end: closes the trace file, releases the devices, exits with status 0.
[[noreturn]] void shutdown_host();
// Next token of the argument text (blanks separate, double quotes group, at most 1024
// characters per call); nullptr when only blanks remain. The text lives until the next call.
const char* next_argument();
// The whole argument text (the command line without the program name and without the
// host's own "--" options), unchanged and untokenised. Words that contained blanks are
// wrapped in double quotes so that next_argument keeps them whole.
const char* argument_text();

// A message that matters to the user (a file loaded or refused, a state or disk saved, an
// error, a tape block): shown on screen for a few seconds when the window has the on-screen
// interface, nothing otherwise. The caller prints its console text as before; this is beside it.
void host_notify(const char* text);
void host_notifyf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The processor chosen with --cpu: "z80", "8080", or "" when not given. Machines whose
// processor can run either way read it when they set up their CPU.
const char* cpu_option();
// --rzx and --record-rzx: the ZX's input recording to play and to write ("" for none).
const char* rzx_option();
const char* record_rzx_option();

// ---- Window and picture -------------------------------------------------------------

extern uint8_t fullscreen;              // toggled by machines, then set_client_size(0, 0)
extern uint32_t default_processing;     // 0: unhandled window events are swallowed
extern uint32_t requested_client_width; // last values given to set_client_size
extern uint32_t requested_client_height;
// Sizes the window's client area to width x (height + 1); 0 keeps the last value.
void set_client_size(uint32_t width, uint32_t height);

// The window's title: the program's base title ("Korvel v0.12g"), the machine and the
// file it runs ("Korvel v0.12g - ZX Spectrum 48K - game.z80"), then a machine's
// suffix, UTF-8 ("" for none). window_title_text() is the title as shown (headless: as
// it would be shown).
void set_window_title_suffix(const char* suffix);
const char* window_title_text();
// The file the machine runs, named in the title ("" for none); only its last path part
// is shown. The host starts with the first file of the argument text.
void set_window_file(const char* name);

extern uint32_t back_buffer_width;  // at least 1200 and at least the display width
extern uint32_t back_buffer_height; // at least 960 and at least the display height

struct BackBufferView {
    uint32_t* pixels; // first pixel of the first row
    uint32_t pitch;   // pixels from one row to the next
};
// Locks the BackBuffer for drawing; false means "skip drawing this frame".
bool lock_back_buffer(BackBufferView* view);
void unlock_back_buffer();
// Unlocks after drawing that wrote no pixel (the picture is as last drawn): the window
// then presents the frame without looking for changed rows.
void unlock_back_buffer_unchanged();
// Unlocks after drawing that wrote only rows [first, end): the window looks for changed
// rows among those alone (none: as unlock_back_buffer_unchanged).
void unlock_back_buffer_rows(uint32_t first, uint32_t end);
// A whole picture painted at once: locks the BackBuffer, calls `draw` with the view and the
// buffer's width and height, and unlocks. Nothing is drawn while it cannot be locked.
using BackBufferDraw = void(const BackBufferView& view, uint32_t width, uint32_t height);
void draw_back_buffer(BackBufferDraw* draw);
void clear_back_buffer();
// Clears (and allocations) of the BackBuffer so far: a machine that leaves its unchanged
// lines in the BackBuffer from one frame to the next draws them all when this moved.
uint32_t back_buffer_clears();

// Pixel-exact scalers. Widths, skips and pitches are in pixels. Leftover pixels after the
// last whole group of a row are not written. A row filter makes each source row into two
// or three rows dst_pitch apart; a column filter widens each row.
using RowFilter = void(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows, uint32_t src_skip,
                       uint32_t dst_pitch);
using ColumnFilter = void(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                          uint32_t src_skip, uint32_t dst_skip);
RowFilter filter_rows_x3_scanlines, filter_rows_x2_blend, filter_rows_x2;
ColumnFilter filter_cols_5_4, filter_cols_4_3, filter_cols_3_2;
// filter_cols_3_2 then filter_cols_5_4 in one pass, same pixels: every 8 source pixels become 15.
ColumnFilter filter_cols_15_8;

// ---- Frames and sound ---------------------------------------------------------------

struct SamplePair {
    int16_t left;
    int16_t right;
};
inline constexpr uint32_t sample_buffer_pairs = 4096;
extern SamplePair SampleBuffer[sample_buffer_pairs];
// Left by the previous end_frame: samples_this_frame = (sample_phase + samples_per_frame_x256) >> 8.
extern uint32_t samples_this_frame;
extern uint32_t sample_phase;           // 0..255, the frame start within the first sample
extern uint32_t samples_per_frame_x256; // frame length in 1/256 samples

// Once per emulated frame: paces to the display, streams the frame's samples, presents
// the BackBuffer, applies LockLeds and handles pending window events. A quit ends the
// process through shutdown_host. Headless: ends after --frames N, applies --keys events,
// takes --screenshot-at screenshots and writes --wav samples.
void end_frame();
// The same for machines that run their own loop without sound: pacing, presentation and
// event handling, no audio and no lamps.
void pace_and_present();
void audio_mute();
void audio_unmute();
// Frames completed since start-up (end_frame and pace_and_present both count).
extern uint32_t host_frame_count;
// True when a machine may run several emulated frames per end_frame, unpaced and muted,
// to get through slow input (a tape loading): a window run without --no-fast-tape.
// Headless runs are unpaced anyway and keep one emulated frame per end_frame, so that
// --frames, --keys and --screenshot-at keep counting emulated frames.
bool host_fast_forward_allowed();

// ---- Keys ---------------------------------------------------------------------------
// Key codes are PC set-1 scan codes; E0-prefixed keys at code + 0x80. 0x80 = key down.

extern volatile uint8_t KeyState[256];
extern uint8_t KeySnapshot[256];
extern uint8_t KeySnapshotPrev[256];
extern uint8_t LockLeds[3]; // NumLock, CapsLock, ScrollLock lamps the machine wants lit
void snapshot_keys();       // KeySnapshot = KeyState (all zeros without focus)
void shift_key_snapshot();  // KeySnapshotPrev[1..255] = KeySnapshot[1..255]

// The window's keys for a machine that has none of its own, called right after
// snapshot_keys(): Left Windows + F toggles full screen, Left Windows + C saves a
// screenshot. While Left Windows is held, F and C are taken out of KeySnapshot so the
// machine's keyboard does not type them. True in a frame in which one of them is held.
bool host_window_keys();
inline bool key_down(uint8_t code) { return (KeySnapshot[code] & 0x80) != 0; }
inline bool key_pressed(uint8_t code) // went down in this frame
{
    return (KeySnapshot[code] & 0x80) != 0 && (KeySnapshotPrev[code] & 0x80) == 0;
}

// ---- Files --------------------------------------------------------------------------

// Host path of a data file name: backslashes become '/', a leading drive letter ("C:\")
// is dropped, relative names stay relative to the data directory (the working directory).
// The result lives in a static buffer until the next call.
const char* data_path(const char* name);
// fopen of data_path(name).
FILE* open_data_file(const char* name, const char* mode);
// Reads exactly length bytes; bytes past the end of a short file are 0xFF. A missing file
// is fatal: "File <name> not found!".
void load_file(void* buffer, size_t length, const char* name);
// For loaders whose failure text is only `message` ("Can't open file!"): a file that cannot
// be opened, or that opens but cannot be read (a directory), is fatal with `message` and a
// second line naming the file and the reason. open_data_file_or_fail opens for reading;
// read_data_or_fail reads up to length bytes, 0xFF past the end of a short file, and
// returns the bytes the file gave (it closes the file before a fatal end).
FILE* open_data_file_or_fail(const char* name, const char* message);
size_t read_data_or_fail(FILE* file, void* buffer, size_t length, const char* name, const char* message);
// Writes the requested client rectangle (one row below the centred top) as
// "ScreenShot_%03d.png" with the first free number, and prints "Saving %s\n".
void save_screenshot();

extern char dropped_file[1000];
extern uint8_t drop_pending; // the machine clears it when it has taken dropped_file
// An open trace or dump file; shutdown_host closes it. Clear it when you close the file.
extern FILE* trace_file;
