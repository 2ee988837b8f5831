// The Specialist's save state: processor, the 64 KB address space as the machine holds it
// (the tape loader may write over the BIOS copy, so all of it), the parallel interface and
// the key matrix.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/session_table.h"
#include "machines/specialist/specialist.h"

namespace {

struct Ports {
    SpecialistPpi ppi;
    uint8_t joystick, shift_down, reserved[2];
    uint16_t key_rows[6];
    uint8_t keyboard_matrix[16];
};

const StateField port_fields[] = {
    STATE_FIELD(Ports, ppi, specialist.ppi), STATE_FIELD(Ports, joystick, specialist.joystick),
    STATE_FIELD(Ports, shift_down, specialist.shift_down), STATE_FIELD(Ports, key_rows, specialist.key_rows),
    STATE_FIELD(Ports, keyboard_matrix, specialist.keyboard_matrix),
};

const StateCodec z80_codec = {z80_section_save, z80_section_valid, z80_section_load};
const StateTableEntry sections[] = {
    {state_tag("Z80 "), &specialist.cpu, sizeof(Z80SavedState), nullptr, 0, &z80_codec},
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
