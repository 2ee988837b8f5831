// ZX beeper: the square wave toggled by writes to bits 3-4 of port 0xFE, box-filtered
// into the frame's 48 kHz samples. One sample is 256 position units; the frame starts
// sample_phase units into its first sample, and the sum of a sample that the frame end
// cuts in two is carried into the next frame.
#include "host/host.h"
#include "machines/zx/zx.h"

int zx_beeper_to_samples(int32_t* edges, int count, int32_t frame_tstates)
{
    const uint64_t phase = sample_phase;
    const uint64_t per_frame = samples_per_frame_x256;
    const uint64_t end = phase + per_frame;
    uint32_t samples = static_cast<uint32_t>(end >> 8);
    if (samples > sample_buffer_pairs)
        samples = sample_buffer_pairs;

    int64_t level = zx.beeper_level;
    int64_t sum = phase != 0 ? zx.beeper_partial_sum : 0;
    uint64_t position = phase;
    int next = 0;
    // Only edges made inside the frame (time > 0) are placed; later ones wait.
    auto edge_position = [&](int k) {
        const int32_t elapsed = edges[k] < frame_tstates ? frame_tstates - edges[k] : 0;
        return phase + static_cast<uint64_t>(elapsed) * per_frame / static_cast<uint64_t>(frame_tstates);
    };
    auto pending = [&]() { return next < count && edges[next] > 0; };

    for (uint32_t i = 0; i < samples; ++i) {
        const uint64_t right = 256ull * (i + 1);
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
    zx.beeper_partial_sum = sum;
    zx.beeper_level = static_cast<int32_t>(level);

    int carried = 0;
    for (int k = next; k < count; ++k)
        edges[carried++] = edges[k] + frame_tstates;
    return carried;
}
