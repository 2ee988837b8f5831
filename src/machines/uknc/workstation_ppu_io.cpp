// The PPU's I/O page 0177000-0177777: handler tables, the report-only and bus-error
// defaults, memory control, the keyboard registers and the smaller fixed registers. The
// planes, channels, timer and system register install their own handlers.
#include "machines/uknc/workstation.h"

#include "machines/uknc/uknc_floppy.h"

#include <initializer_list>

namespace {

Workstation& ws = workstation;

inline uint32_t ppu_pc() { return ws.ppu.r[7] & 0xFFFF; }

uint16_t read_memory_control(uint32_t) { return ws.memoryControl; }
void write_memory_control(uint32_t, uint16_t value) { workstation_write_memory_control(value); }

uint16_t read_keyboard_status(uint32_t) { return ws.keyboard.status; }
// The program sets the interrupt enable; the ready bit is the keyboard's.
void write_keyboard_status(uint32_t, uint16_t value)
{
    ws.keyboard.status = static_cast<uint16_t>((ws.keyboard.status & 0x80) | (value & 0x40));
}
uint16_t read_keyboard_data(uint32_t) { return uknc_keyboard_read_data(&ws.keyboard); }

uint16_t read_0177704(uint32_t) { return 0x1000; }

uint16_t floppy_status(uint32_t) { return uknc_floppy_read_status(); }
void floppy_control(uint32_t, uint16_t value) { uknc_floppy_write_control(value); }
uint16_t floppy_read_data(uint32_t) { return uknc_floppy_read_data(); }
void floppy_write_data(uint32_t, uint16_t value) { uknc_floppy_write_data(value); }

} // namespace

// Same filling order as the CPU's tables: defaults, registers, even byte slots = word
// handlers, report-only odd byte slots, then byte lanes of their own.
void workstation_install_ppu_io()
{
    const IoPage page = workstation_ppu_io_page();
    io_page_fill(page, io_nonexistent_read<ppu_io_reporter>, io_nonexistent_word<ppu_io_reporter>,
                 io_nonexistent_byte<ppu_io_reporter>);

    workstation_install_ppu_planes();
    for (uint32_t address = 0177030; address <= 0177052; address += 2)
        io_page_install(page, address, nullptr, ppu_io_unrealized_word);
    workstation_install_ppu_channels();
    for (uint32_t address : {0177074u, 0177100u, 0177102u})
        io_page_install(page, address, ppu_io_unrealized_read, ppu_io_unrealized_word);
    io_page_install_registers(page, {
        {0177054, read_memory_control, write_memory_control},
        {0177130, floppy_status, floppy_control},
        {0177132, floppy_read_data, floppy_write_data},
        {0177324, io_read_zero, nullptr},
        {0177700, read_keyboard_status, write_keyboard_status},
        {0177702, read_keyboard_data, io_write_ignored},
        {0177704, read_0177704, ppu_io_unrealized_word},
    });
    workstation_install_timer();
    workstation_install_system_register();

    io_page_even_bytes_take_words(page);
    workstation_install_system_register_byte();

    io_page_odd_bytes(page, 0177011, 0177055, ppu_io_unrealized_byte);
    io_page_odd_bytes(page, 0177061, 0177103, ppu_io_unrealized_byte);
    io_page_odd_bytes(page, 0177131, 0177133, ppu_io_unrealized_byte);
    io_page_odd_bytes(page, 0177701, 0177705, ppu_io_unrealized_byte);
    io_page_odd_bytes(page, 0177711, 0177717, ppu_io_unrealized_byte);

    workstation_install_ppu_plane_bytes(); // 0177014/0177015 write planes 1 and 2
}
