// The box filter of a one-bit speaker: see beeper.h.
#include "host/beeper.h"

#include "host/host.h"

int beeper_to_samples(int32_t* level_io, int64_t* partial_sum, int32_t* edges, int count,
                      int32_t frame_length)
{
    const uint64_t phase = sample_phase;
    const uint64_t per_frame = samples_per_frame_x256;
    const uint64_t end = phase + per_frame;
    uint32_t samples = static_cast<uint32_t>(end >> 8);
    if (samples > sample_buffer_pairs)
        samples = sample_buffer_pairs;

    int64_t level = *level_io;
    int64_t sum = phase != 0 ? *partial_sum : 0;
    uint64_t position = phase;
    int next = 0;
    // Only edges made inside the frame (time > 0) are placed; later ones wait.
    auto edge_position = [&](int k) {
        const int32_t elapsed = edges[k] < frame_length ? frame_length - edges[k] : 0;
        return phase + static_cast<uint64_t>(elapsed) * per_frame / static_cast<uint64_t>(frame_length);
    };
    auto pending = [&]() { return next < count && edges[next] > 0; };

    for (uint32_t i = 0; i < samples; ++i) {
        const uint64_t left = 256ull * i;
        if (position == left && !pending()) {
            // No edge until the frame's end: every sample left is the level itself (the
            // most common frame, with the speaker silent).
            const int16_t value = static_cast<int16_t>(level);
            for (uint32_t k = i; k < samples; ++k)
                SampleBuffer[k].left = SampleBuffer[k].right = value;
            position = 256ull * samples;
            break;
        }
        const uint64_t right = left + 256;
        while (pending()) {
            const uint64_t at = edge_position(next);
            if (at >= right)
                break;
            sum += static_cast<int64_t>(at - position) * level;
            position = at;
            level = -level;
            ++next;
        }
        const int64_t value = (sum + static_cast<int64_t>(right - position) * level) >> 8;
        SampleBuffer[i].left = static_cast<int16_t>(value);
        SampleBuffer[i].right = static_cast<int16_t>(value);
        sum = 0;
        position = right;
    }
    // The part of a sample after the last whole one belongs to the next frame's first.
    while (pending()) {
        const uint64_t at = edge_position(next);
        if (at > position) {
            sum += static_cast<int64_t>(at - position) * level;
            position = at;
        }
        level = -level;
        ++next;
    }
    if (end > position)
        sum += static_cast<int64_t>(end - position) * level;
    *partial_sum = sum;
    *level_io = static_cast<int32_t>(level);

    int carried = 0;
    for (int k = next; k < count; ++k)
        edges[carried++] = edges[k] + frame_length;
    return carried;
}
