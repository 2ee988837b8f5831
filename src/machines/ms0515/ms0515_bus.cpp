// MS-0515 bus operations for the PDP-11 core. The MS-0515 bus has no wait states and never
// signals a bus error: every address below the I/O page is backed by a page, and the I/O
// page answers every register (unrealized ones with a console message).
#include "machines/ms0515/ms0515.h"

#include "cpu/pdp11/pdp11_bus.h"

namespace {

// The MS-0515's address decoder for the bus operations of pdp11_bus.h. The memory
// functions mask the address themselves (a word access ignores bit 0).
struct Ms0515Bus {
    static constexpr bool bus_errors = false;

    // Every page below the I/O page 0177400-0177777 is plain memory (writes aimed at the
    // ROM land in a sink): the slots reach them directly. A page pointer shows its 8 KB
    // area, so the block for an address is the pointer less the page's start.
    static const uint8_t* read_page(const Pdp11Cpu*, uint32_t address)
    {
        return address >= 0xFF00 ? nullptr : ms0515.ReadPages[address >> 13] - (address & 0xE000);
    }

    static uint8_t* write_page(const Pdp11Cpu*, uint32_t address)
    {
        return address >= 0xFF00 ? nullptr : ms0515.WritePages[address >> 13] - (address & 0xE000);
    }

    static uint16_t read_word(Pdp11Cpu*, uint32_t address) { return ms0515_read_word(address); }
    static uint8_t read_byte(Pdp11Cpu*, uint32_t address) { return ms0515_read_byte(address); }
    static void write_word(Pdp11Cpu*, uint32_t address, uint16_t value) { ms0515_write_word(address, value); }
    static void write_byte(Pdp11Cpu*, uint32_t address, uint8_t value) { ms0515_write_byte(address, value); }
};

} // namespace

void ms0515_setup_cpu()
{
    Pdp11Cpu& cpu = ms0515.cpu;
    cpu = Pdp11Cpu{};
    pdp11_set_delivered_costs(&cpu);
    cpu.haltBase = 0xE000;
    cpu.memory = ms0515.memory;
    pdp11_install_bus<Ms0515Bus>(&cpu);
    cpu.r[6] = 01000;
    cpu.r[7] = 0172000;
    cpu.psw = 0740; // 0x01E0: HALT-mode bit and priority 7
    cpu.cycleBudget = 0;
    cpu.stepHandler = pdp11_decode_step;
    cpu.busOperation = cpu.opFetch;
    pdp11_bus_refill_prefetch<Ms0515Bus>(&cpu);
}
