// What the console-monitor Z80 machines (PK8000, Specialist, tile machine) do alike around
// their monitor: setting it up, the processor of the two 8080 machines, a frame's start
// with its reset and break keys, and the frame loop.
#include <cstring>

#include "host/host.h"
#include "host/key_codes.h"
#include "machines/z80_machine/z80_debug_view.h"

void z80_monitor_attach(Z80Monitor* monitor, const char* machine_name, const Z80Monitor& wiring)
{
    *monitor = wiring;
    z80_monitor_reset(monitor);
    z80_debug_view_register(machine_name, monitor);
}

void i8080_machine_power_on(Z80State* cpu, const Z80Bus& bus, uint8_t* memory)
{
    z80_power_on(cpu, 256, bus, memory);
    z80_set_8080_mode(cpu, std::strcmp(cpu_option(), "z80") != 0);
}

void z80_monitor_begin_frame(Z80Monitor* monitor, int32_t frame_ticks)
{
    monitor->cpu->ticks += frame_ticks;
    snapshot_keys();
    host_window_keys(); // full screen and screenshot
    if (key_down(key_print_screen) && key_down(key_scroll_lock) && key_down(key_pause))
        z80_reset(monitor->cpu);
    if (key_down(key_f8))
        z80_monitor_break(monitor);
}

void z80_monitor_run_frames(Z80Monitor* monitor, void (*run_frame)())
{
    for (;;) {
        run_frame();
        if (z80_monitor_frame_done(monitor))
            monitor->present();
    }
}
