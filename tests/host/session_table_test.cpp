// A machine's state as a table: one table saves, checks and loads blocks, records packed
// from scattered variables (gaps written as zeros) and sections a codec converts; check
// names the missing or damaged section and changes nothing; a codec's refusal fails the save.
#include <gtest/gtest.h>

#include <cstring>

#include "host/session_internal.h"
#include "host/session_table.h"

namespace {

struct Record {
    uint8_t mode, reserved[3];
    uint32_t count;
};

struct Machine {
    uint8_t ram[16];
    uint8_t mode;
    uint32_t count;
    int processor; // the codec stores it negated; valid while 0..99
} m;

bool codec_save(const void* live, void* bytes, const char** why)
{
    const int value = *static_cast<const int*>(live);
    if (value < 0) {
        *why = "the processor is inside an instruction";
        return false;
    }
    const int stored = -value;
    std::memcpy(bytes, &stored, sizeof stored);
    return true;
}
bool codec_valid(const void* bytes)
{
    int stored;
    std::memcpy(&stored, bytes, sizeof stored);
    return stored <= 0 && stored > -100;
}
void codec_load(const void* bytes, void* live)
{
    int stored;
    std::memcpy(&stored, bytes, sizeof stored);
    *static_cast<int*>(live) = -stored;
}

const StateCodec codec = {codec_save, codec_valid, codec_load};
const StateField fields[] = {STATE_FIELDS(Record, m, mode, count)};
const StateTableEntry sections[] = {
    {state_tag("CPU "), &m.processor, sizeof(int), nullptr, 0, &codec},
    {state_tag("RAM "), m.ram, sizeof m.ram},
    {state_tag("REC "), nullptr, sizeof(Record), fields, std::size(fields)},
};

// Saves the machine and reads the sections back (`edit` may change the bytes first).
bool save(StateWriter* w, StateReader* r, std::string* why, void (*edit)(std::vector<uint8_t>*) = nullptr)
{
    state_writer_reset(w, true);
    state_put_sections(w, sections);
    if (!w->failure.empty()) {
        *why = w->failure;
        return false;
    }
    if (edit)
        edit(&w->bytes);
    return state_parse_sections(w->bytes.data(), w->bytes.size(), false, r, why);
}

TEST(SessionTable, OneTableSavesChecksAndLoadsEveryKindOfSection)
{
    for (int i = 0; i < 16; ++i)
        m.ram[i] = uint8_t(i * 3);
    m.mode = 7;
    m.count = 0x12345678;
    m.processor = 42;
    StateWriter w;
    StateReader r;
    std::string why;
    ASSERT_TRUE(save(&w, &r, &why)) << why;
    size_t size = 0;
    const uint8_t* record = state_get(&r, state_tag("REC "), &size);
    ASSERT_EQ(size, sizeof(Record));
    EXPECT_EQ(record[0], 7);
    EXPECT_EQ(record[1] | record[2] | record[3], 0); // the gap is zeros
    const Machine saved = m;
    m = Machine{};
    ASSERT_TRUE(state_check_sections(&r, sections, "missing", "damaged", &why)) << why;
    state_get_sections(&r, sections);
    EXPECT_EQ(std::memcmp(m.ram, saved.ram, sizeof m.ram), 0);
    EXPECT_EQ(m.mode, 7);
    EXPECT_EQ(m.count, 0x12345678u);
    EXPECT_EQ(m.processor, 42);

    // A codec that cannot describe the processor fails the whole save.
    m.processor = -1;
    EXPECT_FALSE(save(&w, &r, &why));
    EXPECT_EQ(why, "the processor is inside an instruction");

    // A section cut short, and a codec's section out of range: each reason, nothing loaded.
    m.processor = 5;
    ASSERT_TRUE(save(&w, &r, &why, [](std::vector<uint8_t>* bytes) {
        std::memcpy(bytes->data() + state_section_header_bytes, "\x9c\xff\xff\xff", 4); // -100
    })) << why;
    EXPECT_FALSE(state_check_sections(&r, sections, "missing", "damaged", &why));
    EXPECT_EQ(why, "damaged");
    r.sections.pop_back();
    EXPECT_FALSE(state_check_sections(&r, sections, "missing", "damaged", &why));
    EXPECT_EQ(why, "missing");
    EXPECT_EQ(m.processor, 5);
}

} // namespace
