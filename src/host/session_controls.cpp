// The session controls between frames: the host key chords, numbered slots, pause and
// single frames, fast-forward, rewind, and the command line's --load-state and
// --save-state-at.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "host/host_internal.h"
#include "host/key_codes.h"
#include "host/session_internal.h"

namespace {

constexpr uint32_t rewind_step_frames = 4; // a step back every this many frames held

bool window_run() { return host.backend && host.backend != &host_headless_backend; }

void apply_modes()
{
    const bool silenced = session_silenced();
    if (silenced != session.silenced) {
        session.silenced = silenced;
        if (host.backend)
            host.backend->set_muted(host.muted || silenced);
    }
    if (host.backend && host.backend->set_unpaced)
        host.backend->set_unpaced(session_fast_forward() && !session.paused);
}

// Keys that went down while the host key was held are the host's until released.
void scan_host_keys()
{
    const bool host_key = (KeyState[session_host_key] & 0x80) != 0;
    const bool shift = (KeyState[key_left_shift] & 0x80) || (KeyState[key_right_shift] & 0x80);
    for (int code = 1; code < 256; ++code) {
        const uint8_t down = KeyState[code] & 0x80;
        if (down && !session.raw_previous[code] && host_key && code != session_host_key) {
            session.owned[code] = true;
            if (code >= key_f1 && code <= key_f9) {
                const int slot = code - key_f1 + 1;
                (shift ? session.save_slot : session.load_slot) = slot;
            } else if (code == key_f10) {
                session_set_paused(!session.paused);
            } else if (code == key_f11) {
                session_request_frame_advance();
            } else if (code == key_f12 && shift) {
                session_set_fast_forward(!session.fast_forward_toggle);
            }
        }
        if (!down)
            session.owned[code] = false;
        session.raw_previous[code] = down;
    }
    session.fast_forward_held = session.owned[key_f12] && !shift;
    const bool rewind_key = session.owned[key_backspace];
    if (rewind_key && !session.rewind_key_held && !session.rewind_held)
        session.rewind_hold_frames = 0;
    session.rewind_key_held = rewind_key;
}

bool load_state(const StateReader& r, uint64_t frame)
{
    session_apply(r, frame);
    session.frames_since_capture = 0;
    return true;
}

void capture_rewind_state()
{
    std::string why;
    if (!session_capture(&session.rewind_writer, false, &why))
        return; // a machine that cannot be saved right now: try again next frame
    rewind_push_taking(&session.rewind, &session.rewind_writer.bytes, session.rewind_writer.bytes.size(),
                       host_frame_count);
    session.frames_since_capture = 0;
    session.rewound_to_newest = false;
}

// One step back: to the newest kept state when the machine has run past it, else to the one
// before it. The frame counter goes on counting: frame numbers of a keys script or --frames
// keep meaning the frames the user sees, however often they rewind.
void rewind_step()
{
    RewindRing& ring = session.rewind;
    if (!ring.has_newest)
        return;
    const bool just_taken = session.frames_since_capture == 0 && !session.rewound_to_newest;
    if ((session.rewound_to_newest || just_taken) && !rewind_pop(&ring)) {
        if (!session.rewind_wall_reported) // once per hold
            session_message("Rewind: nothing older is kept");
        session.rewind_wall_reported = true;
        return;
    }
    StateReader r;
    std::string why;
    if (!state_parse_sections(ring.newest.data(), ring.newest_size, false, &r, &why) ||
        !session.ops->check(&r, &why)) {
        session_message("Rewind failed: " + why);
        rewind_clear(&ring);
        return;
    }
    load_state(r, host_frame_count);
    session.rewound_to_newest = true;
}

void carry_out_requests()
{
    if (session.save_slot) {
        const int slot = session.save_slot;
        session.save_slot = 0;
        std::string why;
        const std::string path = session_slot_path(slot);
        if (session_save_file(path.c_str(), &why))
            session_message("Saved slot " + std::to_string(slot) + " (" + path + ")");
        else
            session_message("Can't save slot " + std::to_string(slot) + ": " + why);
    }
    if (session.load_slot) {
        const int slot = session.load_slot;
        session.load_slot = 0;
        std::string why;
        const std::string path = session_slot_path(slot);
        if (access(path.c_str(), F_OK) != 0)
            session_message("Slot " + std::to_string(slot) + " is empty");
        else if (session_load_file(path.c_str(), &why))
            session_message("Loaded slot " + std::to_string(slot) + " (" + path + ")");
        else
            session_message("Can't load slot " + std::to_string(slot) + ": " + why);
    }
    if (session.rewind_step || (session_rewinding() && session.rewind_hold_frames % rewind_step_frames == 0)) {
        if (session.rewind_step || session.rewind_hold_frames == 0)
            session.rewind_wall_reported = false;
        session.rewind_step = false;
        rewind_step();
    }
    if (session_rewinding())
        ++session.rewind_hold_frames;
}

} // namespace

void session_mask_keys(uint8_t* table)
{
    table[session_host_key] = 0;
    for (int code = 1; code < 256; ++code)
        if (session.owned[code])
            table[code] = 0;
}

bool session_silenced() { return session.paused || session_fast_forward() || session_rewinding(); }

void session_rewind_restart()
{
    rewind_clear(&session.rewind);
    if (session.rewind_enabled)
        capture_rewind_state();
}

bool session_start_frame()
{
    if (session.start_state_done)
        return false;
    session.start_state_done = true;
    const std::string& path = host.options.load_state_file;
    if (path.empty())
        return false;
    std::string why;
    if (!session_load_file(path.c_str(), &why)) {
        std::fflush(stdout);
        std::fprintf(stderr, "korvel: can't load state %s: %s\n", path.c_str(), why.c_str());
        host.automation_failed = true;
        shutdown_host(); // status 1: the run did not do what it was asked
    }
    std::printf("Loaded state %s (frame %u)\n", path.c_str(), host_frame_count);
    host_apply_key_events();
    return true;
}

void session_scheduled_saves()
{
    bool due = false;
    for (uint32_t n : host.options.save_state_at)
        due = due || n == host_frame_count;
    if (!due)
        return;
    char name[64];
    for (;;) {
        std::snprintf(name, sizeof name, "State_%03u.kst", session.state_file_counter);
        if (access(name, F_OK) != 0)
            break;
        ++session.state_file_counter;
    }
    std::printf("Saving %s\n", name);
    std::string why;
    if (!session_save_file(name, &why)) {
        std::fprintf(stderr, "korvel: can't write state %s after frame %u: %s\n", name, host_frame_count,
                     why.c_str());
        host.automation_failed = true;
    }
}

void session_after_frame()
{
    scan_host_keys();
    carry_out_requests();
    if (session.rewind_enabled && session.ops && !session_rewinding() &&
        ++session.frames_since_capture >= session.capture_interval)
        capture_rewind_state();
    apply_modes();
    // Paused: the window keeps being drawn and answering its events; the machine waits.
    while (session.paused && !session.advance && window_run()) {
        host.backend->frame(false);
        scan_host_keys();
        carry_out_requests();
        apply_modes();
    }
    session.advance = false;
    apply_modes();
}

bool session_skip_present()
{
    if (!session_fast_forward() || !window_run())
        return false;
    // Fast-forward shows 25 pictures a second; the frames between are not drawn (a window
    // drawn by the processor, with no graphics card, would otherwise take the time).
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last;
    const Clock::time_point now = Clock::now();
    if (now - last < std::chrono::milliseconds(40))
        return true;
    last = now;
    return false;
}

void session_request_save_slot(int slot)
{
    if (slot >= 1 && slot <= 9)
        session.save_slot = slot;
}

void session_request_load_slot(int slot)
{
    if (slot >= 1 && slot <= 9)
        session.load_slot = slot;
}

void session_set_paused(bool paused)
{
    if (paused && !window_run()) {
        session_message("Pause is not available in a headless run");
        return;
    }
    if (paused != session.paused)
        session_message(paused ? "Paused" : "Running");
    session.paused = paused;
}

bool session_paused() { return session.paused; }

void session_request_frame_advance()
{
    if (!session.paused)
        session_set_paused(true);
    else
        session.advance = true;
}

void session_set_fast_forward(bool on)
{
    if (on != session.fast_forward_toggle)
        session_message(on ? "Fast-forward on" : "Fast-forward off");
    session.fast_forward_toggle = on;
}

bool session_fast_forward() { return session.fast_forward_toggle || session.fast_forward_held; }

void session_request_rewind_step() { session.rewind_step = true; }

void session_set_rewind_held(bool held)
{
    if (held && !session_rewinding())
        session.rewind_hold_frames = 0;
    session.rewind_held = held;
}

bool session_rewinding() { return session.rewind_held || session.rewind_key_held; }
