// The complex's memory block and the CPU's bus. The CPU sees its memory below 0160000;
// the I/O page 0160000-0177777 answers through the I/O tables, except in HALT mode, where
// the whole 64 KB is memory (the PPU loads the CPU's HALT-mode code there). MFUS/MTUS
// (opReadUser/opWriteUser) always reach the I/O page.
#include "machines/uknc/workstation.h"

#include "cpu/pdp11/pdp11_bus.h"
#include "machines/uknc/processor_power_on.h"
#include "host/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Workstation workstation;

void workstation_allocate()
{
    Workstation& ws = workstation;
    if (!ws.mainBlock) {
        ws.mainBlock = static_cast<uint8_t*>(std::calloc(uknc_main_block_size, 1));
        if (!ws.mainBlock)
            fatal_error("Can't allocate memory!");
    }
    ws.cpuMemory = ws.mainBlock + uknc_cpu_memory_offset;
    ws.ppuMemory = ws.mainBlock + uknc_ppu_memory_offset;
    ws.rom = ws.mainBlock + uknc_rom_offset;
}

namespace {

inline bool is_memory(const Pdp11Cpu* cpu, uint32_t address)
{
    return address < 0xE000 || (cpu->psw & PDP11_HALT_MODE);
}

inline uint16_t io_read(uint32_t address)
{
    return workstation.CpuIoReadTable[(address >> 1) & 0xFFF](address);
}

inline void io_write_word(uint32_t address, uint16_t value)
{
    workstation.CpuIoWriteWordTable[(address >> 1) & 0xFFF](address, value);
}

// The CPU's address decoder for the bus operations of pdp11_bus.h.
struct CpuBus {
    static constexpr bool bus_errors = true;

    // Memory below the I/O page, and everywhere in HALT mode: the slots reach it directly.
    static const uint8_t* read_page(const Pdp11Cpu* cpu, uint32_t address)
    {
        return is_memory(cpu, address) ? memory() : nullptr;
    }

    static uint8_t* write_page(const Pdp11Cpu* cpu, uint32_t address)
    {
        return is_memory(cpu, address) ? memory() : nullptr;
    }

    // The block exists before the CPU is first set up (workstation_allocate), so the
    // slots need not test it.
    static uint8_t* memory()
    {
        uint8_t* block = workstation.cpuMemory;
        if (!block)
            __builtin_unreachable();
        return block;
    }

    static uint16_t read_word(Pdp11Cpu* cpu, uint32_t address)
    {
        address &= 0xFFFE;
        if (is_memory(cpu, address))
            return pdp11_load_word(workstation.cpuMemory + address);
        return io_read(address);
    }

    static uint8_t read_byte(Pdp11Cpu* cpu, uint32_t address)
    {
        address &= 0xFFFF;
        if (is_memory(cpu, address))
            return workstation.cpuMemory[address];
        return pdp11_byte_lane(io_read(address), address);
    }

    static void write_word(Pdp11Cpu* cpu, uint32_t address, uint16_t value)
    {
        address &= 0xFFFE;
        if (is_memory(cpu, address))
            pdp11_store_word(workstation.cpuMemory + address, value);
        else
            io_write_word(address, value);
    }

    static void write_byte(Pdp11Cpu* cpu, uint32_t address, uint8_t value)
    {
        address &= 0xFFFF;
        if (is_memory(cpu, address))
            workstation.cpuMemory[address] = value;
        else
            workstation.CpuIoWriteByteTable[address & 0x1FFF](address, value);
    }

    // MFUS/MTUS reach the I/O page whatever the PSW says.
    static uint16_t read_user_word(Pdp11Cpu*, uint32_t address)
    {
        address &= 0xFFFE;
        return address < 0xE000 ? pdp11_load_word(workstation.cpuMemory + address) : io_read(address);
    }

    static void write_user_word(Pdp11Cpu*, uint32_t address, uint16_t value)
    {
        address &= 0xFFFE;
        if (address < 0xE000)
            pdp11_store_word(workstation.cpuMemory + address, value);
        else
            io_write_word(address, value);
    }
};

// While the CPU is held its bus is idle and each turn only spends one bus cycle.
void op_held(Pdp11Cpu*) {}

int32_t held_step(Pdp11Cpu* cpu) { return cpu->cycleBudget -= cpu->costBusCycle; }

} // namespace

void workstation_setup_cpu()
{
    processor_power_on<CpuBus>(&workstation.cpu, 0xE000, workstation.cpuMemory, 0160300, 0400);
    workstation_hold_cpu();
}

void workstation_cpu_pair() { pdp11_bus_run_pair<CpuBus>(&workstation.cpu); }

void workstation_hold_cpu()
{
    workstation.cpu.busOperation = op_held;
    workstation.cpu.stepHandler = held_step;
    workstation.cpuHeld = true;
}

void workstation_start_cpu()
{
    Pdp11Cpu& cpu = workstation.cpu;
    workstation.cpuHeld = false;
    cpu.stepHandler = pdp11_decode_step;
    cpu.busOperation = cpu.opFetch;
    pdp11_bus_refill_prefetch<CpuBus>(&cpu);
}

uint16_t workstation_cpu_peek(uint32_t address)
{
    address &= 0xFFFE;
    if (is_memory(&workstation.cpu, address))
        return pdp11_load_word(workstation.cpuMemory + address);
    return 0;
}
