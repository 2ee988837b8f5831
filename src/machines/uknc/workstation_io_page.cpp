// Filling the processors' I/O handler tables (CPU, PPU and the KCGD's GPU alike).
#include "machines/uknc/workstation.h"

namespace {

inline uint32_t word_slot(const IoPage& page, uint32_t address) { return (address >> 1) & (page.words - 1); }
inline uint32_t byte_slot(const IoPage& page, uint32_t address) { return address & (2 * page.words - 1); }

} // namespace

uint16_t io_read_zero(uint32_t) { return 0; }
void io_write_ignored(uint32_t, uint16_t) {}

void io_page_fill(const IoPage& page, UkncIoRead read, UkncIoWrite word, UkncIoWrite byte)
{
    for (uint32_t i = 0; i < page.words; ++i) {
        page.read[i] = read;
        page.word[i] = word;
        page.byte[2 * i] = page.byte[2 * i + 1] = byte;
    }
}

void io_page_install(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word)
{
    if (read)
        page.read[word_slot(page, address)] = read;
    if (word)
        page.word[word_slot(page, address)] = word;
}

void io_page_install_register(const IoPage& page, uint32_t address, UkncIoRead read, UkncIoWrite word)
{
    io_page_install(page, address, read, word);
    if (word)
        page.byte[byte_slot(page, address)] = word;
}

void io_page_install_registers(const IoPage& page, std::initializer_list<IoRegister> registers)
{
    for (const IoRegister& r : registers)
        io_page_install_register(page, r.address, r.read, r.word);
}

void io_page_install_byte(const IoPage& page, uint32_t address, UkncIoWrite byte)
{
    page.byte[byte_slot(page, address)] = byte;
}

void io_page_even_bytes_take_words(const IoPage& page)
{
    for (uint32_t i = 0; i < page.words; ++i)
        page.byte[2 * i] = page.word[i];
}

void io_page_odd_bytes(const IoPage& page, uint32_t first, uint32_t last, UkncIoWrite byte)
{
    for (uint32_t address = first; address <= last; address += 2)
        io_page_install_byte(page, address, byte);
}

void io_report_nonexistent(const IoReporter& reporter, const char* access, uint32_t address)
{
    std::printf("%s non-existent %s register 0x%X from location PC = 0x%X\n", access, reporter.name, address,
                reporter.cpu->r[7] & 0xFFFF);
    reporter.cpu->stepHandler = bus_error_trap;
}

void io_report_unrealized(const IoReporter& reporter, const char* access, const char* pc, uint32_t address)
{
    std::printf("%s unrealized %s register 0x%X (*) from location %s0x%X\n", access, reporter.name, address, pc,
                reporter.cpu->r[7] & 0xFFFF);
}
