// The Specialist's save state: processor, the 64 KB address space as the machine holds it
// (the tape loader may write over the BIOS copy, so all of it), the parallel interface and
// the key matrix.
#include <cstring>

#include "host/session_table.h"
#include "machines/z80_machine/z80_state_section.h"
#include "machines/specialist/specialist.h"

namespace {

struct Ports {
    SpecialistPpi ppi;
    uint8_t joystick, shift_down, reserved[2];
    uint16_t key_rows[6];
    uint8_t keyboard_matrix[16];
};

const StateField port_fields[] = {
    STATE_FIELDS(Ports, specialist, ppi, joystick, shift_down, key_rows, keyboard_matrix),
};

const StateTableEntry sections[] = {
    z80_state_section(specialist.cpu),
    {state_tag("SPMM"), specialist.memory, sizeof specialist.memory},
    {state_tag("SPIO"), nullptr, sizeof(Ports), port_fields, std::size(port_fields)},
};

const MachineStateTable table = {"specialist", sections, "a Specialist section is missing or of the wrong size",
                                 "damaged Specialist processor section"};

} // namespace

void specialist_register_state()
{
    session_note_rom(specialist_bios_file, specialist.memory + specialist_bios_start, specialist_bios_size);
    session_register_table(&table);
}
