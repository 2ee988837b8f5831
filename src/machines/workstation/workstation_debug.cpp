// The complex's lists for the debugger, joined from its parts: the UKNC first (CPU 0, PPU
// 1), then the DVK boards and the terminals that are fitted.
#include "machines/workstation/workstation_debug.h"

#include "machines/dvk/dvk_debug_view.h"
#include "machines/terminals/terminals_debug_view.h"

DebugLists workstation_debug;

namespace {

DebugMachine machine;

} // namespace

void workstation_debug_register()
{
    workstation_debug = DebugLists{};
    uknc_debug_lists(&workstation_debug);
    dvk_debug_lists(&workstation_debug);
    terminals_debug_lists(&workstation_debug);
    const DebugLists& l = workstation_debug;
    machine = {"uknc", l.processors, l.processor_count, l.spaces, l.space_count, l.devices, l.device_count};
    debug_register_machine(&machine);
}
