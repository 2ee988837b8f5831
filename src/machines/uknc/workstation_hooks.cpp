// The tables and hooks that join the UKNC, the boards and the complex (see
// workstation_hooks.h): the monitor's processors and dumps as at start-up (the boards and
// terminals fill in theirs), and the display mode the flags select.
#include "machines/uknc/workstation_hooks.h"

WorkstationBoardHooks workstation_board_hooks;
WorkstationHooks workstation_hooks;

MonitoredProcessor workstation_processors[monitor_slot_count] = {
    {'c', "CPU", "CPU (Main)   ", nullptr, &workstation.cpu, workstation_cpu_reader, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {'p', "PPU", "PPU (Main)   ", nullptr, &workstation.ppu, workstation_ppu_reader, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {'g', "GPU", "GPU (Main)   ", &workstation.kcgdPresent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr},
    {'t', "TPU", "TPU (Main)   ", &workstation.ksmPresent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr},
    {0, "15IE", "15IE (Main)  ", &workstation.ie15Present, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr},
};

MonitorDump workstation_dumps[dump_count] = {
    {"UKNCMemory.bin", "Can't create UKNCMemory.bin file!", nullptr, uknc_main_block_size},
    {"NEMMemory.bin", "Can't create NEMMemory.bin file!", nullptr, 0x10000},
    {"KCGDMemory.bin", "Can't create KCGDMemory.bin file!", nullptr, 0x38000},
    {"KSMMemory.bin", "Can't create KSMMemory.bin file!", nullptr, 100352},
    {"IE15Memory.bin", "Can't create IEMemory.bin file!", nullptr, 4096},
};

uint16_t workstation_cpu_reader(const void*, uint16_t address) { return workstation_cpu_peek(address); }
uint16_t workstation_ppu_reader(const void*, uint16_t address) { return workstation_ppu_peek(address); }

int workstation_display_mode()
{
    if (workstation.kgdMode)
        return workstation.ie15Selected ? WS_DISPLAY_IE15_KGD : WS_DISPLAY_KSM_KGD;
    if (workstation.kcgdMode)
        return WS_DISPLAY_KCGD;
    if (workstation.nemigaMode)
        return WS_DISPLAY_NEMIGA;
    if (workstation.e85Mode)
        return WS_DISPLAY_E85;
    return WS_DISPLAY_UKNC;
}
