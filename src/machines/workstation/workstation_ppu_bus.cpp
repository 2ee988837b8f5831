// The PPU's bus. The lower 32 KB are PPU memory; 0100000-0176777 read the system ROM
// (page 4 only while memory control bit 0 is set) and can be switched, per 8 KB page, to
// write into the upper half of PPU memory; 0177000-0177777 is the I/O page. An access to a
// page that answers nothing, instruction fetches included, takes the bus-error trap.
#include "machines/workstation/workstation.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;

inline uint16_t load_word(const uint8_t* p)
{
    uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}

inline bool is_io(uint32_t address) { return address >= 0xFE00; }

inline uint16_t io_read(uint32_t address) { return ws.PpuIoReadTable[(address >> 1) & 0xFF](address); }

inline uint16_t read_word(Pdp11Cpu* cpu, uint32_t address)
{
    address &= 0xFFFE;
    if (is_io(address))
        return io_read(address);
    const uint8_t* page = ws.ppuReadPage[address >> 13];
    if (!page) {
        cpu->stepHandler = bus_error_trap;
        return 0;
    }
    return load_word(page + address);
}

inline uint8_t read_byte(Pdp11Cpu* cpu, uint32_t address)
{
    address &= 0xFFFF;
    if (is_io(address)) {
        uint16_t word = io_read(address);
        return static_cast<uint8_t>((address & 1) ? word >> 8 : word);
    }
    const uint8_t* page = ws.ppuReadPage[address >> 13];
    if (!page) {
        cpu->stepHandler = bus_error_trap;
        return 0;
    }
    return page[address];
}

inline void write_word(Pdp11Cpu* cpu, uint32_t address, uint16_t value)
{
    address &= 0xFFFE;
    if (is_io(address)) {
        ws.PpuIoWriteWordTable[(address >> 1) & 0xFF](address, value);
        return;
    }
    uint8_t* page = ws.ppuWritePage[address >> 13];
    if (!page) {
        std::printf("PPU Write address not found 0x%4X at PC=0x%4X\n", address, cpu->r[7] & 0xFFFF);
        cpu->stepHandler = bus_error_trap;
        return;
    }
    std::memcpy(page + address, &value, 2);
}

inline void write_byte(Pdp11Cpu* cpu, uint32_t address, uint8_t value)
{
    address &= 0xFFFF;
    if (is_io(address)) {
        ws.PpuIoWriteByteTable[address & 0x1FF](address, value);
        return;
    }
    uint8_t* page = ws.ppuWritePage[address >> 13];
    if (!page) {
        cpu->stepHandler = bus_error_trap;
        return;
    }
    page[address] = value;
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

template <bool user> void op_read(Pdp11Cpu* cpu)
{
    if (cpu->busAddress == cpu->prefetchAddress) {
        cpu->dataIn = cpu->prefetch;
        refill_prefetch(cpu);
        cpu->cycleBudget -= user ? cpu->costPrefetchHit : cpu->costBusCycle;
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

void op_write_user(Pdp11Cpu* cpu) { write_word(cpu, cpu->busAddress, static_cast<uint16_t>(cpu->dataOut)); }

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
    // A failed read leaves the bus-error trap in place of the write-back.
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

} // namespace

void workstation_setup_ppu()
{
    Pdp11Cpu& ppu = ws.ppu;
    ppu = Pdp11Cpu{};
    pdp11_set_delivered_costs(&ppu);
    ppu.haltBase = 0xE000;
    ppu.memory = ws.ppuMemory;
    ppu.opFetch = op_fetch;
    ppu.opRefetch = op_refetch;
    ppu.opRead = ppu.opReadSource = ppu.opReadMoveSource = op_read<false>;
    ppu.opWrite = op_write;
    ppu.opReadModify = op_read_modify;
    ppu.opReadByte = ppu.opReadByteSource = ppu.opReadByteMoveSource = op_read_byte;
    ppu.opWriteByte = op_write_byte;
    ppu.opReadModifyByte = op_read_modify_byte;
    ppu.opReadUser = op_read<true>;
    ppu.opWriteUser = op_write_user;
    ppu.r[6] = 01000;
    pdp11_reset(&ppu, 0160300, 0400);
}

void workstation_write_memory_control(uint16_t value)
{
    if ((value ^ ws.memoryControl) & 0x7F)
        std::printf("PPU Adres Space changed -> 0x%04X\n", value & 0x7F);
    ws.memoryControl = value;
    uint8_t* rom_base = ws.rom - 0x8000; // ROM byte for address A is ROM offset A - 0x8000
    for (int page = 0; page < 4; ++page) {
        ws.ppuReadPage[page] = ws.ppuWritePage[page] = ws.ppuMemory;
        ws.ppuReadPage[4 + page] = rom_base;
        ws.ppuWritePage[4 + page] = (value & (0x10 << page)) ? ws.ppuMemory : nullptr;
    }
    if (!(value & 1)) {
        ws.ppuReadPage[4] = nullptr;
        std::printf("System ROM off at location PC = 0x%X\n", ws.ppu.r[7] & 0xFFFF);
    }
}

uint16_t workstation_ppu_peek(uint32_t address)
{
    address &= 0xFFFE;
    if (is_io(address))
        return 0;
    if (address < 0x8000)
        return load_word(ws.ppuMemory + address);
    return load_word(ws.rom + (address - 0x8000));
}
