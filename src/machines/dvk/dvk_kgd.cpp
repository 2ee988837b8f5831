// The KGD board's registers. While the KGD mode is on they take the place of the UKNC's
// plane window at 0176640-0176646: a control word, a data byte and a 14-bit address
// into the 16 KB bitmap.
#include "machines/dvk/dvk_boards.h"

#include <cstdio>

const uint32_t kgd_palettes[kgd_palette_count][2] = {
    {0x142110, 0x03FF15}, {0x0000FF, 0xFFFFFF}, {0x000000, 0xFFFFFF}, {0x404040, 0xFFFFFF}, {0x323C37, 0x96D4FD},
};

namespace {

Workstation& ws = workstation;
KgdBoard& kgd = dvk.kgd;

inline uint32_t cpu_pc() { return ws.cpu.r[7] & 0xFFFF; }

uint16_t read_control(uint32_t) { return kgd.control; }

void write_control(uint32_t, uint16_t value)
{
    uint16_t changed = kgd.control ^ value;
    if (changed & 0x8000)
        std::printf("%s", (value & 0x8000) ? "KGD Graphics On\n" : "KGD Graphics Off\n");
    if (changed & 0x4000)
        std::printf("%s", (value & 0x4000) ? "KGD Text Off\n" : "KGD Text On\n");
    kgd.control = value;
}

uint16_t read_data(uint32_t) { return kgd.memory[kgd.address]; }
void write_data(uint32_t, uint16_t value) { kgd.memory[kgd.address] = static_cast<uint8_t>(value); }

uint16_t read_address(uint32_t) { return kgd.address; }
void write_address(uint32_t, uint16_t value) { kgd.address = value & 0x3FFF; }

constexpr IoReporter kgd_reporter = {&workstation.cpu, "KGD", "Read word from", "PC = "};

void install(uint32_t address, UkncIoRead read, UkncIoWrite write)
{
    const IoPage page = workstation_cpu_io_page();
    io_page_install_register(page, address, read, write); // even byte: the word handler
    io_page_install_byte(page, address + 1, io_unrealized_byte<kgd_reporter>);
}

} // namespace

void kgd_install_cpu_io()
{
    install(0176640, read_control, write_control);
    install(0176642, read_data, write_data);
    install(0176644, read_address, write_address);
    install(0176646, io_unrealized_read<kgd_reporter>, io_unrealized_word<kgd_reporter>);
}
