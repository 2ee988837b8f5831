// The DVK boards' share of the complex's debugger lists (dvk_debug_view.cpp): the GPU, the
// GPU's view and the boards' memories, and their registers, for the boards fitted.
#pragma once

#include "machines/uknc/debug_lists.h"

void dvk_debug_lists(DebugLists* lists);
