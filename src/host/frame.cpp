// The per-frame service machines call, shared by both backends.
#include <algorithm>
#include <cstdio>

#include "host/debug.h"
#include "host/console_flood.h"
#include "host/host_internal.h"
#include "host/host_ui.h"
#include "host/screenshot.h"
#include "host/session_internal.h"

SamplePair SampleBuffer[sample_buffer_pairs];
uint32_t samples_this_frame = 800;
uint32_t sample_phase = 0;
uint32_t samples_per_frame_x256 = 800 << 8;
uint32_t host_frame_count = 0;

void host_after_frame()
{
    console_flood_frame_end();
    ++host_frame_count;
    if (debug_frame_hook)
        debug_frame_hook();
    const std::vector<uint32_t>& shots = host.options.screenshot_at;
    if (std::find(shots.begin(), shots.end(), host_frame_count) != shots.end()) {
        // An unattended run must not pass when the picture it was asked for is missing.
        char name[64];
        if (!host_take_screenshot(name)) {
            std::fprintf(stderr, "korvel: can't write screenshot %s after frame %u\n",
                         name[0] ? name : "(no picture size set)", host_frame_count);
            host.automation_failed = true;
        }
    }
    session_scheduled_saves();
    if (host.options.frames && host_frame_count >= host.options.frames)
        shutdown_host();
    host_apply_key_events();
    session_after_frame();
}

// The frame's picture and events; fast-forward shows 25 pictures a second and
// handles the window's events with them, and does nothing for the frames between.
static void backend_frame(bool with_audio)
{
    if (host.backend && !session_skip_present())
        host.backend->frame(with_audio && !session_silenced());
}

void end_frame()
{
    if (session_start_frame())
        return; // the power-on frame gave way to the state of --load-state
    if (host.wav.file) {
        uint32_t n = std::min(samples_this_frame, sample_buffer_pairs);
        if (host.muted)
            wav_append_silence(&host.wav, n);
        else
            wav_append(&host.wav, SampleBuffer, n);
    }
    backend_frame(true);
    host_after_frame();
}

void pace_and_present()
{
    if (session_start_frame())
        return;
    backend_frame(false);
    host_after_frame();
}

void audio_mute()
{
    host.muted = true;
    if (host.backend)
        host.backend->set_muted(true);
}

void audio_unmute()
{
    host.muted = false;
    if (host.backend)
        host.backend->set_muted(session_silenced()); // pause, fast-forward, rewind stay silent
}

void host_stopped_frame()
{
    // Present and handle events only: no emulated frame is counted, no automation runs.
    host_ui_idle_frame();
}

void host_stopped_sound(bool stopped)
{
    if (host.backend)
        host.backend->set_muted(stopped || host.muted);
}
