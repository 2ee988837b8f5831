// States held in memory for the in-process state tests (one test file includes this: it
// defines the session layer's section calls): the sections a machine writes,
// by tag, and a reader over them.
#pragma once

#include "host/session.h"

#include <cstdint>
#include <map>
#include <vector>

using MemoryState = std::map<uint32_t, std::vector<uint8_t>>;

struct StateWriter {
    MemoryState sections;
};

struct StateReader {
    const MemoryState* sections;
};

void state_put(StateWriter* writer, uint32_t tag, const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    writer->sections[tag].assign(bytes, bytes + size);
}

const uint8_t* state_get(const StateReader* reader, uint32_t tag, size_t* size)
{
    auto it = reader->sections->find(tag);
    if (it == reader->sections->end()) {
        *size = 0;
        return nullptr;
    }
    *size = it->second.size();
    return it->second.data();
}

const uint8_t* state_get_exact(const StateReader* reader, uint32_t tag, size_t size)
{
    size_t got = 0;
    const uint8_t* data = state_get(reader, tag, &got);
    return data && got == size ? data : nullptr;
}

inline MemoryState memory_state_save(void (*save)(StateWriter*))
{
    StateWriter writer;
    save(&writer);
    return writer.sections;
}

struct MemoryReader {
    explicit MemoryReader(const MemoryState& state) : reader{&state} {}
    const StateReader* get() const { return &reader; }
    StateReader reader;
};
