// The K1801VM2 processors of the complex (the UKNC's CPU and PPU, the KCGD's GPU) as their
// boards bring them up.
#pragma once

#include <cstdint>

#include "cpu/pdp11/pdp11.h"
#include "cpu/pdp11/pdp11_bus.h"

// The record cleared (no time owed), the delivered costs, the HALT-mode base, the memory
// block and the bus decoder installed, the stack at 01000, PC and PSW as given. The caller
// chooses the first bus step.
template <class Bus>
void processor_power_on(Pdp11Cpu* cpu, uint32_t halt_base, uint8_t* memory, uint32_t pc, uint32_t psw)
{
    *cpu = Pdp11Cpu{};
    pdp11_set_delivered_costs(cpu);
    cpu->haltBase = halt_base;
    cpu->memory = memory;
    pdp11_install_bus<Bus>(cpu);
    cpu->r[6] = 01000;
    cpu->r[7] = pc;
    cpu->psw = psw;
}
