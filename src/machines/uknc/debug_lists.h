// The complex's lists for the debugger, built at start-up from its parts: the UKNC appends
// its CPU and PPU, memories and devices, then each fitted board and terminal appends its
// own (a processor's space index is its place in the joined list). The indices of the
// processors beyond the CPU (0) and PPU (1) are kept for the complex's run loop; -1 when
// the part is not fitted.
#pragma once

#include <cstddef>

#include "host/debug.h"

inline constexpr int debug_list_capacity = 16;
inline constexpr int debug_device_capacity = 256;

struct DebugLists {
    DebugProcessor processors[debug_list_capacity];
    int processor_count = 0;
    DebugSpace spaces[debug_list_capacity];
    int space_count = 0;
    DebugDevice devices[debug_device_capacity];
    int device_count = 0;
    int gpu = -1, tpu = -1, ie15 = -1;
};

// Appends a part's memory spaces and devices (as many as the lists hold).
template <size_t S, size_t D>
void debug_lists_add(DebugLists* lists, const DebugSpace (&spaces)[S], const DebugDevice (&devices)[D])
{
    for (size_t i = 0; i < S && lists->space_count < debug_list_capacity; ++i)
        lists->spaces[lists->space_count++] = spaces[i];
    for (size_t i = 0; i < D && lists->device_count < debug_device_capacity; ++i)
        lists->devices[lists->device_count++] = devices[i];
}

// The same for a part with a processor of its own, whose memory is the first of its spaces;
// returns the processor's index.
template <size_t S, size_t D>
int debug_lists_add_processor(DebugLists* lists, DebugProcessor processor, const DebugSpace (&spaces)[S],
                              const DebugDevice (&devices)[D])
{
    const int index = lists->processor_count;
    processor.space = lists->space_count;
    if (lists->processor_count < debug_list_capacity)
        lists->processors[lists->processor_count++] = processor;
    debug_lists_add(lists, spaces, devices);
    return index;
}

// Each part's share (uknc_debug_view.cpp, dvk_debug_view.cpp, terminals_debug_view.cpp).
void uknc_debug_lists(DebugLists* lists);
