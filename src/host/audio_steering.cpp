// Audio steering: keeps the machine's write position a fixed distance ahead of the
// sound card's play position, measured once per frame.
#include "host/audio_steering.h"

#include <cstdio>
#include <cstdlib>

#include "host/host.h"

void audio_steering_init(AudioSteering* s, uint32_t refresh_x256, uint32_t buffer_size,
                         uint32_t latency_factor_x256)
{
    *s = AudioSteering{};
    s->buffer_size = buffer_size;
    s->mask = buffer_size - 1;
    uint32_t v = refresh_x256 ? uint32_t(uint64_t(audio_sample_rate) * 256 / refresh_x256) : 800;
    s->samples_per_frame = v;
    s->band_low = v - v / 100;
    s->band_high = v + v / 100;
    s->target_latency = (v * latency_factor_x256) >> 8;
    s->samples_per_frame_x256 = v << 8;
    s->sample_phase = 0;
    s->samples_this_frame = v;
    s->resync_pending = true;
    s->keeps_time = true;
    s->frames_per_second = refresh_x256 >= 256 ? refresh_x256 >> 8 : 60;
}

void audio_steering_stop_keeping_time(AudioSteering* s)
{
    if (!s->keeps_time)
        return;
    s->keeps_time = false;
    std::printf("Sound device does not keep time: pacing by the clock\n");
    s->samples_per_frame_x256 = s->samples_per_frame << 8;
    s->sample_phase = 0;
    s->samples_this_frame = s->samples_per_frame;
}

namespace {

// Open loop: one frame of samples after the other, kept between one frame and half the
// ring ahead of wherever the device reads.
void write_without_clock(AudioSteering* s, uint32_t play_position)
{
    const uint32_t ring_mask = s->mask >> 2;
    s->lock_offset = (s->lock_offset + s->samples_per_frame) & ring_mask;
    const uint32_t ahead = (s->lock_offset - play_position / 4) & ring_mask;
    if (ahead < s->samples_per_frame || ahead > (s->buffer_size / 4) / 2)
        s->lock_offset = (play_position / 4 + s->target_latency) & ring_mask;
    s->write_position = uint64_t(s->lock_offset) << 8;
}

} // namespace

void audio_steering_resync(AudioSteering* s, uint32_t play_position, uint32_t tick)
{
    uint32_t v = s->samples_per_frame;
    uint32_t played_samples = play_position / 4;
    s->previous_play_position = (play_position - 4 * v) & s->mask;
    s->previous_tick = tick;
    s->failure_count = 0;
    s->frame_count = 0;
    s->history_index = 0;
    s->samples_this_frame = v;
    s->total_played = played_samples;
    s->write_position = (uint64_t(s->target_latency) - v + played_samples) << 8;
    s->lock_offset = uint32_t(s->write_position >> 8) & (s->mask >> 2);
    // As if every past frame had played exactly V samples.
    for (int k = int(audio_history_length) - 1; k >= 0; --k) {
        s->history_total[k] = uint64_t(played_samples) - uint64_t(v) * (audio_history_length - k);
        s->history_frames[k] = uint32_t(k - int(audio_history_length - 1));
    }
    s->total_played -= v;
    s->resync_pending = false;
    s->losing_frames = s->drifting = false;
    s->last_distance = 0;
    if (!s->keeps_time) {
        s->lock_offset = (played_samples + s->target_latency) & (s->mask >> 2);
        s->samples_per_frame_x256 = v << 8;
        s->sample_phase = 0;
    }
}

void audio_steering_frame(AudioSteering* s, uint32_t play_position, uint32_t tick)
{
    if (!s->keeps_time) {
        write_without_clock(s, play_position);
        return;
    }
    const uint32_t ring_samples = s->buffer_size / 4;
    uint32_t played = ((play_position - s->previous_play_position) & s->mask) / 4;
    s->previous_play_position = play_position;

    // The position difference cannot show whole turns of the ring; the tick can.
    int64_t expected = int64_t(audio_sample_rate) * int64_t(uint32_t(tick - s->previous_tick)) / 1000 -
                       int64_t(played);
    if (expected < 0)
        expected = 0;
    s->previous_tick = tick;
    played += uint32_t((uint64_t(expected) + ring_samples / 2) / ring_samples) * ring_samples;

    s->total_played += played;
    uint32_t frames = uint32_t((uint64_t(played) * 256 + s->samples_per_frame_x256 / 2) /
                               s->samples_per_frame_x256);
    s->frame_count += frames;
    // A device that played nothing (frames = 0) has stalled rather than lost frames: it
    // is steered back like a loss, and a stall that lasts shows as failed synchronisation.
    if (frames != 1) {
        s->frames_lost = true;
        if (frames > 1 && !s->losing_frames)
            std::printf("Loosed %u frames!\n", frames - 1);
    }
    s->losing_frames = frames != 1;

    if (played >= s->band_low && played <= s->band_high) {
        s->history_total[s->history_index] = s->total_played;
        s->history_frames[s->history_index] = s->frame_count;
        s->history_index = (s->history_index + 1) % audio_history_length;
        s->failure_count = 0;
    } else {
        if (++s->failure_count == audio_sync_failure_limit)
            std::printf("ERROR: Can't synchronize sound and videocard!\n");
        if (s->failure_count >= s->frames_per_second && s->failure_count >= audio_sync_failure_limit) {
            audio_steering_stop_keeping_time(s);
            write_without_clock(s, play_position);
            return;
        }
    }

    // Average samples per frame over the recorded history, in 1/256 sample.
    uint32_t newest = (s->history_index + audio_history_length - 1) % audio_history_length;
    uint32_t oldest = s->history_index;
    uint64_t span_samples = s->history_total[newest] - s->history_total[oldest];
    uint32_t span_frames = s->history_frames[newest] - s->history_frames[oldest];
    uint64_t rate = span_frames ? ((span_samples * 65536 / span_frames + 128) >> 8)
                                : uint64_t(s->samples_per_frame) << 8;

    s->write_position += s->samples_per_frame_x256;
    if (frames != 1)
        s->write_position = (uint64_t(s->target_latency) + s->total_played) << 8;
    s->lock_offset = uint32_t(s->write_position >> 8) & (s->mask >> 2);
    s->sample_phase = uint32_t(s->write_position & 0xFF);

    int64_t next = int64_t((s->write_position + rate) >> 8);
    int64_t target = int64_t(rate >> 8) + s->target_latency + int64_t(s->total_played);
    if (next < target)
        rate += 1;
    else if (next > target)
        rate -= 1;
    // SampleBuffer holds 4096 pairs; a rate beyond it would overrun the machine's writes,
    // and a rate of 0 would leave nothing to measure the next frame against.
    const uint64_t max_rate = (uint64_t(sample_buffer_pairs) << 8) - 256;
    if (rate > max_rate)
        rate = max_rate;
    if (rate < 256)
        rate = 256;
    s->samples_this_frame = uint32_t((s->sample_phase + rate) >> 8);
    s->samples_per_frame_x256 = uint32_t(rate);

    int64_t distance = next - target;
    const bool drifting = std::llabs(distance) > int64_t(s->samples_per_frame / 4);
    if (drifting && !s->drifting)
        std::printf("Warning! Sound and video can't be synchronised - %d!\n", int(distance));
    s->drifting = drifting;
    // The steering's distance from its target, when it leaves the target.
    if (distance != 0 && s->last_distance == 0)
        std::printf("> %d", int(distance));
    s->last_distance = distance;
}
