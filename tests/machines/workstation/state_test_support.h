// States held in memory for the in-process state tests, through the session layer's own
// section writer and reader: the sections a machine writes, by tag.
#pragma once

#include "host/session_internal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using MemoryState = std::map<uint32_t, std::vector<uint8_t>>;

// The sections of a state as the machine writes them (a failed save gives none).
inline MemoryState memory_state_save(void (*save)(StateWriter*))
{
    static StateWriter writer;
    state_writer_reset(&writer, true);
    save(&writer);
    MemoryState state;
    StateReader reader;
    std::string why;
    EXPECT_TRUE(writer.failure.empty()) << writer.failure;
    EXPECT_TRUE(state_parse_sections(writer.bytes.data(), writer.bytes.size(), true, &reader, &why)) << why;
    for (const StateSection& s : reader.sections)
        state[s.tag].assign(s.data, s.data + s.size);
    return state;
}

// A reader over the sections, as the session layer gives one to check and load.
struct MemoryReader {
    explicit MemoryReader(const MemoryState& state)
    {
        state_writer_reset(&writer, true);
        for (const auto& [tag, bytes] : state)
            state_put(&writer, tag, bytes.data(), bytes.size());
        std::string why;
        EXPECT_TRUE(state_parse_sections(writer.bytes.data(), writer.bytes.size(), true, &reader, &why)) << why;
    }
    const StateReader* get() const { return &reader; }
    StateWriter writer;
    StateReader reader;
};
