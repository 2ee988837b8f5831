// A machine's save state as a table: the sections it is made of and, for a section packed
// from scattered variables, the fields that go into it. The one table serves save, check
// and load, so the three cannot drift apart.
//
//   struct Ports { uint8_t mode, reserved[3]; uint16_t rows[6]; };   // the section's layout
//   const StateField port_fields[] = {STATE_FIELDS(Ports, m, mode, rows)};    // m.mode, m.rows
//   const StateTableEntry sections[] = {
//       {state_tag("MRAM"), m.ram, sizeof m.ram},                       // bytes as they lie
//       {state_tag("MPIO"), nullptr, sizeof(Ports), port_fields, std::size(port_fields)},
//   };
//   save:  state_put_sections(w, sections);
//   check: state_check_sections(r, sections, "a ... section is missing ...", "damaged ...", why)
//   load:  state_get_sections(r, sections);
//
// Gaps between a packed section's fields (reserved bytes, padding) are written as zeros and
// ignored on load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "host/session.h"

// One variable of the machine and where it lies in a packed section.
struct StateField {
    size_t offset;
    void* live;
    size_t size;
};

template <size_t SectionFieldSize, class T>
constexpr StateField state_field(size_t offset, T& live)
{
    static_assert(SectionFieldSize == sizeof(T), "a section field and its variable differ in size");
    return {offset, &live, sizeof(T)};
}
// STATE_FIELD(Section, field, variable): the variable stored at Section::field.
#define STATE_FIELD(Section, field, live) state_field<sizeof(Section::field)>(offsetof(Section, field), live)
// STATE_FIELDS(Section, record, a, b, ...): record.a stored at Section::a, record.b at
// Section::b and so on, for the fields a section names as the machine's record does.
#define STATE_FIELDS(Section, record, ...) \
    __VA_OPT__(STATE_FIELDS_RESCAN(STATE_FIELDS_EACH(Section, record, __VA_ARGS__)))
// One field, then the rest on the next rescan (up to 64 fields).
#define STATE_FIELDS_EACH(Section, record, field, ...)                                    \
    STATE_FIELD(Section, field, record.field)                                             \
    __VA_OPT__(, STATE_FIELDS_AGAIN STATE_FIELDS_PARENS(Section, record, __VA_ARGS__))
#define STATE_FIELDS_PARENS ()
#define STATE_FIELDS_AGAIN() STATE_FIELDS_EACH
#define STATE_FIELDS_RESCAN(...) STATE_FIELDS_RESCAN4(STATE_FIELDS_RESCAN4(STATE_FIELDS_RESCAN4(STATE_FIELDS_RESCAN4(__VA_ARGS__))))
#define STATE_FIELDS_RESCAN4(...) STATE_FIELDS_RESCAN1(STATE_FIELDS_RESCAN1(STATE_FIELDS_RESCAN1(STATE_FIELDS_RESCAN1(__VA_ARGS__))))
#define STATE_FIELDS_RESCAN1(...) STATE_FIELDS_RESCAN0(STATE_FIELDS_RESCAN0(STATE_FIELDS_RESCAN0(STATE_FIELDS_RESCAN0(__VA_ARGS__))))
#define STATE_FIELDS_RESCAN0(...) __VA_ARGS__

// A section the machine's core converts (a processor's registers: its slots and steps are
// stored as small numbers). save may refuse with a reason; valid sees a file's bytes.
struct StateCodec {
    bool (*save)(const void* live, void* bytes, const char** why);
    bool (*valid)(const void* bytes);
    void (*load)(const void* bytes, void* live);
};

// A section: `size` bytes at `data`; or, with fields, `size` bytes packed from them; or,
// with a codec, `size` bytes the codec makes of the variable at `data`.
struct StateTableEntry {
    uint32_t tag;
    void* data;
    size_t size;
    const StateField* fields = nullptr;
    size_t field_count = 0;
    const StateCodec* codec = nullptr;
};

// Copies the fields' variables into a section's bytes (gaps left as they are) and back.
void state_pack(void* section, std::span<const StateField> fields);
void state_unpack(const void* section, std::span<const StateField> fields);

// Writes every section; a codec's refusal fails the save (state_fail) and ends it: false.
bool state_put_sections(StateWriter* writer, std::span<const StateTableEntry> sections);
// Every section there and of its size (else false, `missing` the reason) and every codec's
// section valid (else false, `damaged` the reason).
bool state_check_sections(const StateReader* reader, std::span<const StateTableEntry> sections,
                          const char* missing, const char* damaged, std::string* why);
// After check: every section back into the machine's variables.
void state_get_sections(const StateReader* reader, std::span<const StateTableEntry> sections);

// A machine whose whole state is one table: the host's save, check and load serve it.
struct MachineStateTable {
    const char* name; // as in MachineStateOps
    std::span<const StateTableEntry> sections;
    const char* missing; // check's reasons: a section missing or of the wrong size,
    const char* damaged; // a value out of range
    bool (*values_valid)(const StateReader* reader) = nullptr; // the machine's own range checks
    void (*after_load)() = nullptr; // rebuilds what the sections do not hold (page pointers)
};
// Once, at start-up, instead of session_register_machine.
void session_register_table(const MachineStateTable* table);
