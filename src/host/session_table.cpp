// Save, check and load of the sections a machine lists in its state table.
#include "host/session_table.h"

#include <cstring>
#include <vector>

void state_pack(void* section, std::span<const StateField> fields)
{
    for (const StateField& f : fields)
        std::memcpy(static_cast<uint8_t*>(section) + f.offset, f.live, f.size);
}

void state_unpack(const void* section, std::span<const StateField> fields)
{
    for (const StateField& f : fields)
        std::memcpy(f.live, static_cast<const uint8_t*>(section) + f.offset, f.size);
}

bool state_put_sections(StateWriter* writer, std::span<const StateTableEntry> sections)
{
    std::vector<uint8_t> packed;
    for (const StateTableEntry& s : sections) {
        if (s.codec) {
            packed.assign(s.size, 0);
            const char* why = "";
            if (!s.codec->save(s.data, packed.data(), &why)) {
                state_fail(writer, why);
                return false;
            }
            state_put(writer, s.tag, packed.data(), s.size);
            continue;
        }
        if (s.data) {
            state_put(writer, s.tag, s.data, s.size);
            continue;
        }
        packed.assign(s.size, 0);
        state_pack(packed.data(), {s.fields, s.field_count});
        state_put(writer, s.tag, packed.data(), s.size);
    }
    return true;
}

bool state_check_sections(const StateReader* reader, std::span<const StateTableEntry> sections,
                          const char* missing, const char* damaged, std::string* why)
{
    for (const StateTableEntry& s : sections) {
        if (!state_get_exact(reader, s.tag, s.size)) {
            *why = missing;
            return false;
        }
    }
    for (const StateTableEntry& s : sections) {
        if (s.codec && !s.codec->valid(state_get_exact(reader, s.tag, s.size))) {
            *why = damaged;
            return false;
        }
    }
    return true;
}

void state_get_sections(const StateReader* reader, std::span<const StateTableEntry> sections)
{
    for (const StateTableEntry& s : sections) {
        const uint8_t* bytes = state_get_exact(reader, s.tag, s.size);
        if (s.codec)
            s.codec->load(bytes, s.data);
        else if (s.data)
            std::memcpy(s.data, bytes, s.size);
        else
            state_unpack(bytes, {s.fields, s.field_count});
    }
}

namespace {

const MachineStateTable* table = nullptr; // one machine runs in a session

void table_save(StateWriter* writer) { state_put_sections(writer, table->sections); }

bool table_check(const StateReader* reader, std::string* why)
{
    if (!state_check_sections(reader, table->sections, table->missing, table->damaged, why))
        return false;
    if (table->values_valid && !table->values_valid(reader)) {
        *why = table->damaged;
        return false;
    }
    return true;
}

void table_load(const StateReader* reader)
{
    state_get_sections(reader, table->sections);
    if (table->after_load)
        table->after_load();
}

MachineStateOps table_ops;

} // namespace

void session_register_table(const MachineStateTable* machine)
{
    table = machine;
    table_ops = {machine->name, table_save, table_check, table_load};
    session_register_machine(&table_ops);
}
