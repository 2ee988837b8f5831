// What the console-monitor Z80 machines (PK8000, Specialist, tile machine) do alike around
// their monitor: setting it up and the reset and break keys at a frame's start.
#include "host/host.h"
#include "host/key_codes.h"
#include "machines/pk8000/z80_debug_view.h"

void z80_monitor_attach(Z80Monitor* monitor, const char* machine_name, const Z80Monitor& wiring)
{
    *monitor = wiring;
    z80_monitor_reset(monitor);
    z80_debug_view_register(machine_name, monitor);
}

void z80_monitor_frame_keys(Z80Monitor* monitor)
{
    if (key_down(key_print_screen) && key_down(key_scroll_lock) && key_down(key_pause))
        z80_reset(monitor->cpu);
    if (key_down(key_f8))
        z80_monitor_break(monitor);
}
