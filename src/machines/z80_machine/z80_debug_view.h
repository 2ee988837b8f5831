// The debugger's view of a Z80 machine that runs the console monitor (PK8000, Specialist,
// tile machine): its one processor and its 64 KB as the monitor reads them.
//
//   z80_debug_view_register("pk8000", &pk8000.monitor);   // after the monitor is set up
//   before every instruction:  z80_debug_view_check(&cpu);
#pragma once

#include "cpu/z80/z80.h"
#include "host/debug.h"
#include "machines/z80_machine/z80_monitor.h"

void z80_debug_view_register(const char* machine_name, Z80Monitor* monitor);

// A machine's monitor from its wiring (the fields the machine fills), reset to run mode and
// registered with the debugger's views under the machine's name.
void z80_monitor_attach(Z80Monitor* monitor, const char* machine_name, const Z80Monitor& wiring);
// The processor of a machine built around an 8080 (PK8000, Specialist) as it comes out of
// power-on at 256 units per T-state: an 8080, or a Z80 when --cpu z80 asks for one to run
// the machine's programs.
void i8080_machine_power_on(Z80State* cpu, const Z80Bus& bus, uint8_t* memory);
// A frame's start in the PK8000 and the Specialist: the frame's ticks added to the
// processor's budget, the keys snapshot, the host's window keys, then Print Screen + Scroll
// Lock + Pause resets the processor and F8 drops into the monitor.
void z80_monitor_begin_frame(Z80Monitor* monitor, int32_t frame_ticks);
// The machine's frame loop, never left: run_frame, then the picture is drawn and presented
// unless the monitor's prompt has just shown it.
[[noreturn]] void z80_monitor_run_frames(Z80Monitor* monitor, void (*run_frame)());

// One flag test while no debugger watches.
inline void z80_debug_view_check(Z80State* cpu)
{
    if (debug_active && cpu->step == decode_main && debug_boundary(0))
        debug_wait();
}

// Runs the processor until its ticks are spent, the monitor and the debugger looking in
// before every instruction.
inline void z80_monitor_run(Z80Monitor* monitor)
{
    Z80State* cpu = monitor->cpu;
    while (cpu->ticks >= 0) {
        z80_monitor_check(monitor);
        z80_debug_view_check(cpu);
        z80_run_instruction(cpu);
    }
}
