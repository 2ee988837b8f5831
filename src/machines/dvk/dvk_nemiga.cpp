// The NEMIGA video mode: a 64 KB video memory reached through an address register
// (0177572, whose first write switches the mode on) and a data register (0177570) that
// reaches the video memory when the address has bit 15 set and CPU memory otherwise.
// A handful of the NEMIGA's system registers answer only to the few places in its
// system code that touch them.
#include "machines/dvk/dvk_boards.h"

#include <cstdio>

const uint32_t nemiga_palettes[nemiga_palette_count][4] = {
    {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF}, {0x404040, 0xA0A0A0, 0xE0E0E0, 0xFFFFFF},
    {0x24411A, 0x00A000, 0x00E00C, 0x03FF15}, {0x3C3322, 0x00B26D, 0x0BF7AC, 0x28FF64},
    {0x000000, 0x0000FF, 0x00FF00, 0xFF0000},
};

namespace {

Workstation& ws = workstation;
NemigaBoard& nemiga = dvk.nemiga;

inline uint32_t cpu_pc() { return ws.cpu.r[7] & 0xFFFF; }

// Where the data register points: a byte offset into NEMIGA or CPU memory.
uint8_t* data_location()
{
    if (nemiga.address & 0x8000)
        return nemiga.memory + ((nemiga.address * 2u) & 0xFFFF);
    return ws.cpuMemory + nemiga.address * 2u;
}

uint16_t read_data(uint32_t)
{
    const uint8_t* p = data_location();
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void write_data(uint32_t, uint16_t value)
{
    uint8_t* p = data_location();
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void write_address(uint32_t, uint16_t value)
{
    nemiga.address = value;
    nemiga_activate();
}


uint16_t read_system_register(uint32_t address)
{
    return ws.nemigaMode ? 0 : cpu_io_nonexistent_read(address);
}

uint16_t read_177772(uint32_t) { return nemiga.register177772; }
void write_177772(uint32_t, uint16_t value) { nemiga.register177772 = value; }

// Registers of the NEMIGA's own hardware that its system code probes from one known
// place each; from anywhere else they do not exist.
struct UnknownRegister {
    uint32_t address;
    uint32_t pc;
};

constexpr UnknownRegister unknown_reads[] = {{0177760, 5390}, {0177770, 116}, {0177774, 274}, {0177776, 262}};
constexpr UnknownRegister unknown_byte_writes[] = {{0177760, 5390}, {0177771, 116}};

uint16_t read_unknown(uint32_t address)
{
    for (const UnknownRegister& r : unknown_reads)
        if (r.address == (address & 0xFFFE) && r.pc == cpu_pc()) {
            std::printf("Read word from unknown NEM register 0x%X (*) from location PC=0x%X\n", address, cpu_pc());
            return 0;
        }
    return cpu_io_nonexistent_read(address);
}

void write_unknown_byte(uint32_t address, uint16_t value)
{
    for (const UnknownRegister& r : unknown_byte_writes)
        if (r.address == address && r.pc == cpu_pc()) {
            std::printf("Write byte to unknown NEM register 0x%X (*) from location PC=0x%X\n", address, cpu_pc());
            return;
        }
    cpu_io_nonexistent_byte(address, value);
}

} // namespace

void nemiga_install_cpu_io()
{
    const IoPage page = workstation_cpu_io_page();
    for (uint32_t address = 0170020; address <= 0170032; address += 2)
        io_page_install_register(page, address, nullptr, io_write_ignored);
    io_page_install_registers(page, {
        {0177570, read_data, write_data},
        {0177572, nullptr, write_address},
        {0170032, io_read_zero, nullptr},
        {0177716, read_system_register, nullptr},
        {0177772, read_177772, write_177772},
    });
    for (const UnknownRegister& r : unknown_reads)
        io_page_install_register(page, r.address, read_unknown, nullptr);
    for (const UnknownRegister& r : unknown_byte_writes)
        io_page_install_byte(page, r.address, write_unknown_byte);
}
