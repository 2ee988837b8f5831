// The Specialist's save state: processor, the 64 KB address space as the machine holds it
// (the tape loader may write over the BIOS copy, so all of it), the parallel interface and
// the key matrix.
#include <cstring>

#include "cpu/z80/z80_state.h"
#include "host/session.h"
#include "machines/specialist/specialist.h"

namespace {

constexpr uint32_t tag_cpu = state_tag("Z80 ");
constexpr uint32_t tag_memory = state_tag("SPMM");
constexpr uint32_t tag_ports = state_tag("SPIO");

struct Ports {
    SpecialistPpi ppi;
    uint8_t joystick, shift_down, reserved[2];
    uint16_t key_rows[6];
    uint8_t keyboard_matrix[16];
};

void save(StateWriter* w)
{
    Z80SavedState cpu;
    const char* why = nullptr;
    if (!z80_state_save(&specialist.cpu, &cpu, &why))
        return state_fail(w, why);
    state_put(w, tag_cpu, &cpu, sizeof cpu);
    state_put(w, tag_memory, specialist.memory, sizeof specialist.memory);
    Ports p{};
    p.ppi = specialist.ppi;
    p.joystick = specialist.joystick;
    p.shift_down = specialist.shift_down;
    std::memcpy(p.key_rows, specialist.key_rows, sizeof p.key_rows);
    std::memcpy(p.keyboard_matrix, specialist.keyboard_matrix, sizeof p.keyboard_matrix);
    state_put(w, tag_ports, &p, sizeof p);
}

bool check(const StateReader* r, std::string* why)
{
    const uint8_t* cpu = state_get_exact(r, tag_cpu, sizeof(Z80SavedState));
    if (!cpu || !state_get_exact(r, tag_memory, sizeof specialist.memory) ||
        !state_get_exact(r, tag_ports, sizeof(Ports))) {
        *why = "a Specialist section is missing or of the wrong size";
        return false;
    }
    Z80SavedState z;
    std::memcpy(&z, cpu, sizeof z);
    if (!z80_state_valid(z)) {
        *why = "damaged Specialist processor section";
        return false;
    }
    return true;
}

void load(const StateReader* r)
{
    Z80SavedState z;
    std::memcpy(&z, state_get_exact(r, tag_cpu, sizeof z), sizeof z);
    std::memcpy(specialist.memory, state_get_exact(r, tag_memory, sizeof specialist.memory), sizeof specialist.memory);
    Ports p;
    std::memcpy(&p, state_get_exact(r, tag_ports, sizeof p), sizeof p);
    specialist.ppi = p.ppi;
    specialist.joystick = p.joystick;
    specialist.shift_down = p.shift_down;
    std::memcpy(specialist.key_rows, p.key_rows, sizeof p.key_rows);
    std::memcpy(specialist.keyboard_matrix, p.keyboard_matrix, sizeof p.keyboard_matrix);
    z80_state_load(z, &specialist.cpu);
}

const MachineStateOps ops = {"specialist", save, check, load};

} // namespace

void specialist_register_state()
{
    session_note_rom(specialist_bios_file, specialist.memory + specialist_bios_start, specialist_bios_size);
    session_register_machine(&ops);
}
