// The PPU's system register 0177716: through it the PPU starts the CPU (bit 15), pulls
// its power-fail line (bit 15 falling), sends it into HALT mode (bit 4) and drives the
// speaker (bit 7). Programs change it only with BIC, BIS and XOR, so every bit reads back
// as written and a read-modify-write keeps the bits it does not touch.
//
// Bits 8-12 are stored and read back but make no sound here. Real programs clear them
// before making their own tones ("mixer off"), and a re-implementation says each gates a
// fixed frequency onto the speaker, but no factory document confirms which or how, so
// their effect is unknown.
#include "machines/uknc/workstation.h"

#include <cstdio>

namespace {

Workstation& ws = workstation;

uint16_t read_system_register(uint32_t) { return ws.systemRegister; }
void write_system_register(uint32_t, uint16_t value) { workstation_write_system_register(value); }

// A byte written to 0177716 (BICB, BISB, MOVB) replaces the low byte only: the CPU's
// control bits in the high byte stay as they are.
void write_system_register_low_byte(uint32_t, uint16_t value)
{
    workstation_write_system_register(uint16_t((ws.systemRegister & 0xFF00) | (value & 0xFF)));
}

} // namespace

void workstation_write_system_register(uint16_t value)
{
    uint16_t old = ws.systemRegister;
    ws.systemRegister = value;
    if ((value ^ old) & 0x80)
        workstation_speaker_edge();
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

void workstation_install_system_register_byte()
{
    io_page_install_byte(workstation_ppu_io_page(), 0177716, write_system_register_low_byte);
}
