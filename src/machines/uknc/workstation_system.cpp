// The PPU's system register 0177716: through it the PPU starts the CPU (bit 15), pulls
// its power-fail line (bit 15 falling) and sends it into HALT mode (bit 4).
#include "machines/uknc/workstation.h"

#include <cstdio>

namespace {

Workstation& ws = workstation;

uint16_t read_system_register(uint32_t) { return ws.systemRegister; }
void write_system_register(uint32_t, uint16_t value) { workstation_write_system_register(value); }

} // namespace

void workstation_write_system_register(uint16_t value)
{
    uint16_t old = ws.systemRegister;
    ws.systemRegister = value;
    if ((value & 0x8000) && !(old & 0x8000) && ws.cpuHeld) {
        std::printf("Start CPU\n");
        workstation_start_cpu();
    }
    if (!(value & 0x8000) && (old & 0x8000))
        ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_POWER_FAIL;
    if ((value & 0x10) && !(old & 0x10))
        std::printf("SysCon CPU USER->HALT\n");
    if (!(value & 0x10) && (old & 0x10))
        std::printf("SysCon CPU HALT->USER\n");
    if ((value & 0x10) && !(ws.cpu.psw & PDP11_HALT_MODE))
        ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_HALT;
}

void workstation_install_system_register()
{
    io_page_install(workstation_ppu_io_page(), 0177716, read_system_register, write_system_register);
}
