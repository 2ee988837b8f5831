// Host internals shared by the common code and the two backends (SDL window and
// headless). Machines never include this; they see only host.h.
//
// The backend is a table of routines chosen once at start-up. The common code owns the
// BackBuffer memory, the key tables, the frame counter and the headless automation
// (--frames, --keys, --screenshot-at, --wav); a backend only opens its devices, paces,
// streams sound, presents and handles its events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/audio_steering.h"
#include "host/host.h"
#include "host/keys_input.h"
#include "host/options.h"
#include "host/wav_writer.h"

struct HostBackend {
    const char* name;
    // Checks, before anything is printed, that there is somewhere to show a window. False
    // with a one-line reason when there is none.
    bool (*probe)(std::string* error);
    // Opens the devices and sets back_buffer_width/height. False with a reason when
    // there is nothing to open (no display).
    bool (*open)(const HostOptions& options, std::string* error);
    // Releases every device; safe to call twice.
    void (*close)();
    // One frame: pace, stream the frame's samples (when with_audio and not muted),
    // present the BackBuffer and handle pending events.
    void (*frame)(bool with_audio);
    // Client area of width x height (height already includes the extra row); reads
    // fullscreen.
    void (*apply_client_size)(uint32_t width, uint32_t height);
    void (*set_muted)(bool muted);
    // Modal "System Error!" box when the window is on screen; false when none was shown.
    bool (*show_error)(const char* text);
    // Refresh rate of the display in 1/256 Hz (0 when unknown).
    uint32_t (*display_refresh_x256)();
    // Shows a new window title (nullptr: the backend has no title to show).
    void (*set_title)(const char* title);
    // Handles pending events without pacing or presenting (nullptr: nothing to handle).
    void (*poll_events)();
    // Fast-forward: frames follow each other without waiting for the display (nullptr:
    // the backend never waits).
    void (*set_unpaced)(bool unpaced);
};

extern const HostBackend host_headless_backend;
extern const HostBackend* const host_sdl_backend; // nullptr in a build without SDL

struct HostState {
    const HostBackend* backend = nullptr;
    HostOptions options;
    uint32_t* back_buffer = nullptr; // back_buffer_width x back_buffer_height, pitch = width
    bool back_buffer_locked = false;
    // Locks and clears of the BackBuffer since the window last looked for changed rows,
    // less those that wrote nothing (unlock_back_buffer_unchanged).
    uint32_t back_buffer_writes = 1;
    // The rows those may have changed, [first, end); a plain unlock or a clear: all rows.
    uint32_t back_buffer_dirty_first = 0, back_buffer_dirty_end = 0xFFFFFFFF;
    uint32_t back_buffer_clears = 0;
    uint32_t refresh_x256 = 60 * 256;
    bool muted = false;
    uint32_t volume_percent = 100; // sound volume, 0-100 (sdl_audio.cpp applies it)
    uint8_t present_scaler = 0;    // a PresentScaler: how the picture fills a larger window
    // The window size the user chose (a dragged window, the settings, View > Window size);
    // 0 x 0 follows the client size the machine asks for.
    uint32_t chosen_window_width = 0, chosen_window_height = 0;
    // The last client sizes the program asked for (set_client_size): a window event of one
    // of these sizes is the program's own resize, not the user's.
    uint32_t asked_sizes[4][2] = {};
    uint32_t asked_next = 0;
    bool keyboard_focus = true;
    bool running_machine = false;
    uint32_t meter_border = 0;
    bool frames_lost = false;
    // Headless automation.
    std::vector<KeyEvent> key_events;
    size_t next_key_event = 0;
    WavWriter wav;
    uint32_t screenshot_counter = 0;
    bool automation_failed = false; // a --screenshot-at file could not be written
    const char* argument_cursor = "";
    bool argument_in_quote = false; // next_argument cut a quoted token
    std::string argument_text;
};
extern HostState host;

// Fatal start-up errors: true when they are also shown in a message box (a window run
// started from a terminal or with --error-box, not --frames).
bool host_error_box_wanted(const HostOptions& options);
// Shows "System Error!" with the text (as the console has it) when wanted and a display is
// present: over the window when it is shown, else standing alone. Returns once dismissed.
void host_error_box(const HostOptions& options, const std::string& text);
// The machine the window title names ("ZX Spectrum 48K"; "" for none).
void host_set_title_machine(const char* machine);
// Runs the start-up sequence for options: console, banner ("Korvel %s (<mode>)"),
// backend, BackBuffer, sound, frame constants, data directory and automation files.
// Exits with a message on failure (status 2 for a bad option value, 1 otherwise).
void host_startup(const HostOptions& options, const char* mode_label);
// Saves a screenshot as save_screenshot does; false (with the name tried, if any) when
// nothing was written. Automated screenshots report that; the machines' key does not.
bool host_take_screenshot(char (&name)[64]);
// Bookkeeping after every presented frame: counts it, writes automation screenshots,
// ends the run after --frames and applies the key events of the next frame.
void host_after_frame();
// Applies the scripted key events due before frame index host_frame_count.
void host_apply_key_events();
// Ring buffer arithmetic shared by tests: client size from a request (0 keeps the last).
void host_client_size_request(uint32_t width, uint32_t height, uint32_t* client_width,
                              uint32_t* client_height);
// Accepts a dropped file name unless one is pending; prints "Drag & Drop file\n".
bool host_accept_drop(const char* path);
// Where the window shows the BackBuffer: src is the BackBuffer rectangle, dst where it
// lands in a window of window_w x window_h pixels. picture_w x picture_h is the client
// size the machine asked for (its picture); it is scaled to fit the window with its
// aspect kept. smooth: draw with filtering (the scale is not a whole number and the
// scaler is not SHARP).
//   SMOOTH: fills the window; whole multiples pixel for pixel, other scales filtered.
//   SHARP:  fills the window, every pixel drawn as a block (uneven at odd scales).
//   WHOLE:  the largest whole multiple that fits (never below the window), pixel for pixel.
enum class PresentScaler : uint8_t { SMOOTH, SHARP, WHOLE };
struct PresentRect {
    int x, y, w, h;
};
struct PresentLayout {
    PresentRect src, dst;
    double scale;
    bool smooth;
};
PresentLayout host_present_layout(int window_w, int window_h, int picture_w, int picture_h,
                                  int buffer_w, int buffer_h, PresentScaler scaler = PresentScaler::SMOOTH);
// The hidden machine "host-test-pattern": draws a known picture and a square wave.
[[noreturn]] void host_test_pattern_main();
// Samples per frame for a refresh rate in 1/256 Hz.
inline uint32_t host_samples_per_frame(uint32_t refresh_x256)
{
    return refresh_x256 ? uint32_t(uint64_t(audio_sample_rate) * 256 / refresh_x256) : 800;
}
