// A one-bit speaker as the frame's samples: the square wave whose level flips at each
// recorded edge, box-filtered into SampleBuffer at the rate the host asks for. The ZX
// beeper and the UKNC's speaker both use it; each keeps its own level and partial sum.
//
// Edge times count down, in whatever unit the machine's frame budget uses: an edge at
// time t happened (frame_length - t) units after the frame's start, so t > 0 lies inside
// the frame and t <= 0 after its end (the machine overshot its budget). A machine records
// the remaining budget at each level change and, once per frame:
//   count = beeper_to_samples(&level, &partial_sum, edges, count, frame_length);
// One output sample is 256 position units; the frame starts sample_phase units into its
// first sample, and the sum of a sample the frame end cuts in two is carried.
#pragma once

#include <cstdint>

// The speaker's two levels: a silent speaker holds one of them.
inline constexpr int32_t beeper_high = 32512;
inline constexpr int32_t beeper_low = -32512;

// Writes samples_this_frame samples (at most SampleBuffer's size) into both channels of
// SampleBuffer from the edges with time > 0, flipping *level at each. The other edges
// are moved to the front of the list with frame_length added; returns their number.
int beeper_to_samples(int32_t* level, int64_t* partial_sum, int32_t* edges, int count,
                      int32_t frame_length);
