// The terminals' share of the complex's debugger lists (terminals_debug_view.cpp): the
// KSM's Z80 and the 15IE's processor, their memories and ports, for the terminals fitted.
#pragma once

#include "machines/uknc/debug_lists.h"

void terminals_debug_lists(DebugLists* lists);
