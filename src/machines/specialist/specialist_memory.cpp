// Specialist bus: flat 64 KB, the BIOS area write-protected, the parallel interface from
// 0xF800 up, and the tape-read hook on the opcode fetch.
#include "machines/specialist/specialist.h"

SpecialistMachine specialist;

void specialist_fetch_byte(Z80State* s)
{
    // The BIOS tape routine is replaced by a file read; the BIOS then goes on as after
    // a block read without error.
    if (s->pc == specialist_tape_entry) {
        specialist_load_tape();
        s->pc = specialist_tape_resume;
    }
    s->data = s->pc >= specialist_io_start ? specialist_ppi_read(s->pc) : specialist.memory[s->pc];
    s->pc = static_cast<uint16_t>(s->pc + 1);
}

void specialist_read_mem(Z80State* s)
{
    const uint16_t address = static_cast<uint16_t>(s->addr);
    s->data = address >= specialist_io_start ? specialist_ppi_read(address) : specialist.memory[address];
}

void specialist_write_mem(Z80State* s)
{
    const uint16_t address = static_cast<uint16_t>(s->addr);
    if (address < specialist_bios_start)
        specialist.memory[address] = s->data;
    else if (address >= specialist_io_start)
        specialist_ppi_write(address, s->data);
}

void specialist_read_port(Z80State* s) { s->data = 0; }

void specialist_write_port(Z80State*) {}

uint8_t specialist_peek(uint16_t address)
{
    return address >= specialist_io_start ? specialist_ppi_read(address) : specialist.memory[address];
}
