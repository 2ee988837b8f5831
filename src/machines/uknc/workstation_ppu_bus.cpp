// The PPU's bus. The lower 32 KB are PPU memory; 0100000-0176777 read the system ROM
// (page 4 only while memory control bit 0 is set) and can be switched, per 8 KB page, to
// write into the upper half of PPU memory; 0177000-0177777 is the I/O page. An access to a
// page that answers nothing, instruction fetches included, takes the bus-error trap.
#include "machines/uknc/workstation.h"

#include "cpu/pdp11/pdp11_bus.h"
#include "machines/uknc/processor_power_on.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;

inline bool is_io(uint32_t address) { return address >= 0xFE00; }

inline uint16_t io_read(uint32_t address) { return ws.PpuIoReadTable[(address >> 1) & 0xFF](address); }

// The PPU's address decoder for the bus operations of pdp11_bus.h. (The I/O page has no
// block in the page maps: the slots always come here for it.)
struct PpuBus {
    static constexpr bool bus_errors = true;

    // The mapped RAM and ROM pages below the I/O page: the slots reach them directly (an
    // unmapped page has no block, and the decoder below takes the bus-error trap).
    static const uint8_t* read_page(const Pdp11Cpu*, uint32_t address)
    {
        return ws.ppuReadPage[address >> uknc_ppu_block_shift];
    }

    static uint8_t* write_page(const Pdp11Cpu*, uint32_t address)
    {
        return ws.ppuWritePage[address >> uknc_ppu_block_shift];
    }

    static uint16_t read_word(Pdp11Cpu* cpu, uint32_t address)
    {
        address &= 0xFFFE;
        if (is_io(address))
            return io_read(address);
        const uint8_t* page = ws.ppuReadPage[address >> uknc_ppu_block_shift];
        if (!page) {
            cpu->stepHandler = bus_error_trap;
            return 0;
        }
        return pdp11_load_word(page + address);
    }

    static uint8_t read_byte(Pdp11Cpu* cpu, uint32_t address)
    {
        address &= 0xFFFF;
        if (is_io(address))
            return pdp11_byte_lane(io_read(address), address);
        const uint8_t* page = ws.ppuReadPage[address >> uknc_ppu_block_shift];
        if (!page) {
            cpu->stepHandler = bus_error_trap;
            return 0;
        }
        return page[address];
    }

    static void write_word(Pdp11Cpu* cpu, uint32_t address, uint16_t value)
    {
        address &= 0xFFFE;
        if (is_io(address)) {
            ws.PpuIoWriteWordTable[(address >> 1) & 0xFF](address, value);
            return;
        }
        uint8_t* page = ws.ppuWritePage[address >> uknc_ppu_block_shift];
        if (!page) {
            std::printf("PPU Write address not found 0x%4X at PC=0x%4X\n", address, cpu->r[7] & 0xFFFF);
            cpu->stepHandler = bus_error_trap;
            return;
        }
        std::memcpy(page + address, &value, 2);
    }

    static void write_byte(Pdp11Cpu* cpu, uint32_t address, uint8_t value)
    {
        address &= 0xFFFF;
        if (is_io(address)) {
            ws.PpuIoWriteByteTable[address & 0x1FF](address, value);
            return;
        }
        uint8_t* page = ws.ppuWritePage[address >> uknc_ppu_block_shift];
        if (!page) {
            cpu->stepHandler = bus_error_trap;
            return;
        }
        page[address] = value;
    }
};

} // namespace

void workstation_setup_ppu()
{
    processor_power_on<PpuBus>(&ws.ppu, 0xE000, ws.ppuMemory, 0160300, 0400);
    pdp11_reset(&ws.ppu, 0160300, 0400); // the first step refetches at PC
}

void workstation_ppu_pair() { pdp11_bus_run_pair<PpuBus>(&ws.ppu); }

void workstation_write_memory_control(uint16_t value)
{
    if ((value ^ ws.memoryControl) & 0x7F)
        std::printf("PPU Adres Space changed -> 0x%04X\n", value & 0x7F);
    ws.memoryControl = value;
    workstation_map_ppu_pages();
    if (!(value & 1))
        std::printf("System ROM off at location PC = 0x%X\n", ws.ppu.r[7] & 0xFFFF);
}

void workstation_map_ppu_pages()
{
    const uint16_t value = ws.memoryControl;
    uint8_t* rom_base = ws.rom - 0x8000; // ROM byte for address A is ROM offset A - 0x8000
    constexpr int per_page = 0x2000 >> uknc_ppu_block_shift; // blocks in an 8 KB page
    for (int block = 0; block < uknc_ppu_blocks; ++block) {
        const int page = block / per_page;
        if (page < 4) {
            ws.ppuReadPage[block] = ws.ppuWritePage[block] = ws.ppuMemory;
            continue;
        }
        ws.ppuReadPage[block] = page == 4 && !(value & 1) ? nullptr : rom_base;
        ws.ppuWritePage[block] = (value & (0x10 << (page - 4))) ? ws.ppuMemory : nullptr;
    }
    // The I/O page answers through the I/O tables.
    ws.ppuReadPage[uknc_ppu_blocks - 1] = nullptr;
    ws.ppuWritePage[uknc_ppu_blocks - 1] = nullptr;
}

uint16_t workstation_ppu_peek(uint32_t address)
{
    address &= 0xFFFE;
    if (is_io(address))
        return 0;
    if (address < 0x8000)
        return pdp11_load_word(ws.ppuMemory + address);
    return pdp11_load_word(ws.rom + (address - 0x8000));
}
