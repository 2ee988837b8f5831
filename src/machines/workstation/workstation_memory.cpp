// The complex's memory block and the CPU's bus. The CPU sees its memory below 0160000;
// the I/O page 0160000-0177777 answers through the I/O tables, except in HALT mode, where
// the whole 64 KB is memory (the PPU loads the CPU's HALT-mode code there). MFUS/MTUS
// (opReadUser/opWriteUser) always reach the I/O page.
#include "machines/workstation/workstation.h"

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

inline uint16_t load_word(const uint8_t* p)
{
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}

inline void store_word(uint8_t* p, uint16_t w) { std::memcpy(p, &w, 2); }

inline bool is_memory(const Pdp11Cpu* cpu, uint32_t address)
{
    return address < 0xE000 || (cpu->psw & PDP11_HALT_MODE);
}

inline uint16_t io_read(uint32_t address)
{
    return workstation.CpuIoReadTable[(address >> 1) & 0xFFF](address);
}

inline uint16_t read_word(const Pdp11Cpu* cpu, uint32_t address)
{
    address &= 0xFFFE;
    if (is_memory(cpu, address))
        return load_word(workstation.cpuMemory + address);
    return io_read(address);
}

inline uint8_t read_byte(const Pdp11Cpu* cpu, uint32_t address)
{
    address &= 0xFFFF;
    if (is_memory(cpu, address))
        return workstation.cpuMemory[address];
    // A device answers with its word register; an odd address takes the high byte.
    uint16_t word = io_read(address);
    return static_cast<uint8_t>((address & 1) ? word >> 8 : word);
}

inline void write_word(const Pdp11Cpu* cpu, uint32_t address, uint16_t value)
{
    address &= 0xFFFE;
    if (is_memory(cpu, address))
        store_word(workstation.cpuMemory + address, value);
    else
        workstation.CpuIoWriteWordTable[(address >> 1) & 0xFFF](address, value);
}

inline void write_byte(const Pdp11Cpu* cpu, uint32_t address, uint8_t value)
{
    address &= 0xFFFF;
    if (is_memory(cpu, address))
        workstation.cpuMemory[address] = value;
    else
        workstation.CpuIoWriteByteTable[address & 0x1FFF](address, value);
}

inline void refill_prefetch(Pdp11Cpu* cpu)
{
    cpu->prefetchAddress = cpu->r[7] & 0xFFFF;
    cpu->prefetch = read_word(cpu, cpu->prefetchAddress);
}

void op_fetch(Pdp11Cpu* cpu)
{
    cpu->r[7] = (cpu->r[7] + 2) & 0xFFFF;
    cpu->ir = cpu->prefetch;
    refill_prefetch(cpu);
}

void op_refetch(Pdp11Cpu* cpu) { refill_prefetch(cpu); }

void op_read(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costBusCycle;
    } else {
        cpu->dataIn = read_word(cpu, cpu->busAddress);
    }
}

void op_read_byte(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costBusCycle;
    } else {
        cpu->dataIn = read_byte(cpu, cpu->busAddress);
    }
}

void op_write(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress)
        cpu->prefetchAddress = cpu->busAddress - 1;
    write_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->dataOut));
}

void op_write_byte(Pdp11Cpu* cpu) { write_byte(cpu, cpu->busAddress, static_cast<uint8_t>(cpu->dataOut)); }

void write_back_word(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress)
        cpu->prefetchAddress = cpu->busAddress - 1;
    write_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->dataIn));
}

void write_back_byte(Pdp11Cpu* cpu) { write_byte(cpu, cpu->busAddress, static_cast<uint8_t>(cpu->dataIn)); }

void op_read_modify(Pdp11Cpu* cpu)
{
    cpu->dataIn = read_word(cpu, cpu->busAddress);
    // A register that does not exist leaves the bus-error trap in place of the write-back.
    if (cpu->stepHandler == bus_error_trap)
        return;
    cpu->busOperation = write_back_word;
    cpu->stepHandler = cpu->continuation;
}

void op_read_modify_byte(Pdp11Cpu* cpu)
{
    cpu->dataIn = read_byte(cpu, cpu->busAddress);
    if (cpu->stepHandler == bus_error_trap)
        return;
    cpu->busOperation = write_back_byte;
    cpu->stepHandler = cpu->continuation;
}

// MFUS/MTUS reach the I/O page whatever the PSW says.
void op_read_user(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= cpu->costPrefetchHit;
        return;
    }
    uint32_t address = cpu->busAddress & 0xFFFE;
    cpu->dataIn = address < 0xE000 ? load_word(workstation.cpuMemory + address) : io_read(address);
}

void op_write_user(Pdp11Cpu* cpu)
{
    uint32_t address = cpu->busAddress & 0xFFFE;
    uint16_t value = static_cast<uint16_t>(cpu->dataOut);
    if (address < 0xE000)
        store_word(workstation.cpuMemory + address, value);
    else
        workstation.CpuIoWriteWordTable[(address >> 1) & 0xFFF](address, value);
}

// While the CPU is held its bus is idle and each turn only spends one bus cycle.
void op_held(Pdp11Cpu*) {}

int32_t held_step(Pdp11Cpu* cpu) { return cpu->cycleBudget -= cpu->costBusCycle; }

} // namespace

void workstation_setup_cpu()
{
    Pdp11Cpu& cpu = workstation.cpu;
    cpu = Pdp11Cpu{};
    pdp11_set_delivered_costs(&cpu);
    cpu.haltBase = 0xE000;
    cpu.memory = workstation.cpuMemory;
    cpu.opFetch = op_fetch;
    cpu.opRefetch = op_refetch;
    cpu.opRead = cpu.opReadSource = cpu.opReadMoveSource = op_read;
    cpu.opWrite = op_write;
    cpu.opReadModify = op_read_modify;
    cpu.opReadByte = cpu.opReadByteSource = cpu.opReadByteMoveSource = op_read_byte;
    cpu.opWriteByte = op_write_byte;
    cpu.opReadModifyByte = op_read_modify_byte;
    cpu.opReadUser = op_read_user;
    cpu.opWriteUser = op_write_user;
    cpu.r[6] = 01000;
    cpu.r[7] = 0160300;
    cpu.psw = 0400;
    cpu.cycleBudget = 0;
    cpu.busOperation = op_held;
    cpu.stepHandler = held_step;
    workstation.cpuHeld = true;
}

void workstation_start_cpu()
{
    Pdp11Cpu& cpu = workstation.cpu;
    workstation.cpuHeld = false;
    cpu.stepHandler = pdp11_decode_step;
    cpu.busOperation = cpu.opFetch;
    refill_prefetch(&cpu);
}

uint16_t workstation_cpu_peek(uint32_t address)
{
    address &= 0xFFFE;
    if (is_memory(&workstation.cpu, address))
        return load_word(workstation.cpuMemory + address);
    return 0;
}
