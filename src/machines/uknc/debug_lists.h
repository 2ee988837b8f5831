// The complex's lists for the debugger, built at start-up from its parts: the UKNC appends
// its CPU and PPU, memories and devices, then each fitted board and terminal appends its
// own (a processor's space index is its place in the joined list). The indices of the
// processors beyond the CPU (0) and PPU (1) are kept for the complex's run loop; -1 when
// the part is not fitted.
#pragma once

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

// Each part's share (uknc_debug_view.cpp, dvk_debug_view.cpp, terminals_debug_view.cpp).
void uknc_debug_lists(DebugLists* lists);
