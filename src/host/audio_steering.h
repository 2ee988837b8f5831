// Steering of the audio write position against the sound card's play clock.
//
// Once per frame the host reads where the card is playing (bytes into the ring) and a
// millisecond tick, and tells the machine how many samples to produce next so that the
// write position stays target_latency samples ahead of the play position. Everything
// here is arithmetic over those two readings, so tests drive it with a simulated clock.
#pragma once

#include <cstdint>

inline constexpr uint32_t audio_sample_rate = 48000;
inline constexpr uint32_t audio_history_length = 128;
inline constexpr uint32_t audio_sync_failure_limit = 32;

struct AudioSteering {
    uint32_t buffer_size;     // ring size in bytes (a power of two)
    uint32_t mask;            // buffer_size - 1
    uint32_t samples_per_frame;        // V
    uint32_t band_low, band_high;      // V -/+ V / 100
    uint32_t target_latency;           // samples the write position runs ahead
    uint32_t previous_play_position;   // bytes
    uint32_t previous_tick;            // ms
    uint64_t total_played;             // samples
    uint32_t frame_count;
    uint64_t write_position;           // 1/256 sample
    uint32_t lock_offset;              // samples into the ring where the next frame goes
    uint64_t history_total[audio_history_length];
    uint32_t history_frames[audio_history_length];
    uint32_t history_index;
    uint32_t failure_count;
    bool resync_pending;
    bool frames_lost;                  // read (and cleared) by the load meter
    // Each message is printed when its condition starts, not on every frame it lasts.
    bool losing_frames;                // the last frame lost frames
    bool drifting;                     // the last frame was more than V / 4 off its target
    int64_t last_distance;             // write position minus target, last frame
    // False once the device is found not to play in real time (a dummy driver, or a
    // whole second of failed synchronisation): the samples then go into the ring one
    // frame after another at V per frame, and the host paces frames by its own clock.
    bool keeps_time;
    uint32_t frames_per_second;
    // The contract with the machine.
    uint32_t samples_per_frame_x256;
    uint32_t sample_phase;
    uint32_t samples_this_frame;
};

// V = 48000 * 256 / refresh_x256; latency_factor_x256 of 896 gives 3.5 frames.
void audio_steering_init(AudioSteering* s, uint32_t refresh_x256, uint32_t buffer_size,
                         uint32_t latency_factor_x256 = 896);
// Restarts the measurement at play position (bytes) and tick as if every past frame had
// played exactly V samples.
void audio_steering_resync(AudioSteering* s, uint32_t play_position, uint32_t tick);
// One frame's measurement after its samples went into the ring at lock_offset: counts the
// samples played since the last frame (recovering whole ring turns from the tick), detects
// lost frames, keeps the history and sets the next frame's sample count. Logs to stdout.
// Without a device that keeps time it only moves the write position on by one frame.
void audio_steering_frame(AudioSteering* s, uint32_t play_position, uint32_t tick);
// The device does not keep time: prints "Sound device does not keep time: pacing by the
// clock" (once) and stops steering; every later frame asks for exactly V samples.
void audio_steering_stop_keeping_time(AudioSteering* s);
