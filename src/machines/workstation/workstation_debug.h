// The complex as the debugger sees it (workstation_debug.cpp): the UKNC's CPU and PPU, and
// the GPU, the KSM's Z80 and the 15IE's processor when their board or terminal is fitted,
// with all their memories and devices in one list.
#pragma once

#include "machines/uknc/debug_lists.h"

// At start-up, after the boards and terminals are fitted.
void workstation_debug_register();
// The joined lists; their gpu, tpu and ie15 indices tell the run loop which processor of
// the debugger each one is.
extern DebugLists workstation_debug;
