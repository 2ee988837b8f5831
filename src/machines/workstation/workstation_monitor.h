// The console monitor and the instruction trace (workstation_monitor.cpp). The tables of
// processors and dumps it works on are in machines/uknc/workstation_hooks.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machines/uknc/workstation_hooks.h"

bool workstation_monitored_at_boundary();
void workstation_monitor_reset();     // the CPU, run mode 'r', no breakpoint
void workstation_monitor_enter();     // stop at the next boundary (the Apps key)
bool workstation_monitor_due();       // the monitored processor is at a boundary where it stops
void workstation_monitor_stop();      // registers, one command from monitorIn
void workstation_monitor_frame_end(); // 'f': "One frame done...", then stop
void workstation_trace(const Pdp11Cpu* cpu); // CPU at the left margin, others after 60 blanks
