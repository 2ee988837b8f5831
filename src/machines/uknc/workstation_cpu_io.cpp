// The CPU's I/O page: handler tables for 0160000-0177777 and the registers that answer
// there. A register that does not exist takes the CPU through the bus-error trap (vector 4);
// one that exists on the real machine but is not emulated only reports itself.
#include "machines/uknc/workstation_hooks.h"



namespace {


void install_unrealized(uint32_t address)
{
    io_page_install(workstation_cpu_io_page(), address, cpu_io_unrealized_read, cpu_io_unrealized_word);
}

} // namespace

// Filling order: defaults everywhere, the registers, then every even byte slot takes the
// word handler of its address (a byte write to an even address is a word write of the
// byte), then the odd byte slots that only report themselves. Registers with byte lanes
// of their own (the plane data window) install their byte handlers after that.
void workstation_install_cpu_io()
{
    Workstation& ws = workstation;
    const IoPage page = workstation_cpu_io_page();
    io_page_fill(page, cpu_io_nonexistent_read, cpu_io_nonexistent_word, cpu_io_nonexistent_byte);

    // Board registers as on a bare UKNC while the boards are absent. (Their own
    // registers install over these when the boards are fitted.)
    if (ws.nemigaPresent)
        io_page_install(page, 0170006, io_read_zero, io_write_ignored);
    for (uint32_t address = 0176560; address <= 0176576; address += 2)
        install_unrealized(address);
    io_page_install(page, 0176574, io_read_zero, nullptr);
    install_unrealized(0176644); // the KGD address register when the KGD is fitted
    install_unrealized(0176646);
    install_unrealized(0176670);
    install_unrealized(0176672);

    workstation_install_cpu_planes();
    workstation_install_cpu_channels();

    io_page_even_bytes_take_words(page);

    io_page_odd_bytes(page, 0176561, 0176577, cpu_io_unrealized_byte);
    io_page_install_byte(page, 0176641, cpu_io_unrealized_byte);
    io_page_install_byte(page, 0176645, cpu_io_unrealized_byte);
    io_page_install_byte(page, 0176647, cpu_io_unrealized_byte);
    io_page_odd_bytes(page, 0176661, 0176677, cpu_io_unrealized_byte);
    io_page_odd_bytes(page, 0177561, 0177567, cpu_io_unrealized_byte);

    workstation_install_cpu_plane_bytes();

    // The DVK boards that are fitted, over all of the above.
    if (workstation_hooks.install_board_cpu_io)
        workstation_hooks.install_board_cpu_io();
}
