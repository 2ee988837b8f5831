// The debugger's view of a Z80 machine that runs the console monitor (PK8000, Specialist,
// tile machine): its one processor and its 64 KB as the monitor reads them.
//
//   z80_debug_view_register("pk8000", &pk8000.monitor);   // after the monitor is set up
//   before every instruction:  z80_debug_view_check(&cpu);
#pragma once

#include "cpu/z80/z80.h"
#include "host/debug.h"
#include "machines/pk8000/z80_monitor.h"

void z80_debug_view_register(const char* machine_name, Z80Monitor* monitor);

// One flag test while no debugger watches.
inline void z80_debug_view_check(Z80State* cpu)
{
    if (debug_active && cpu->step == decode_main && debug_boundary(0))
        debug_wait();
}
