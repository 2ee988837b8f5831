// UKNC keyboard: the feed from host key snapshots (hold counts, two-code keys, Shift
// combinations, a full ring), the 0177702 read rule and the once-a-frame ready check.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "machines/uknc/uknc_keyboard.h"

namespace {

constexpr uint8_t left_shift = 0x2A, right_shift = 0x36, key_a = 0x1E, key_2 = 0x03, key_7 = 0x08, key_equals = 0x0D;

struct Keyboard {
    UkncKeyboard kb{};
    uint8_t now[256]{}, prev[256]{};
    Keyboard() { uknc_keyboard_reset(&kb); }

    // One frame with exactly these host keys down.
    void frame(const std::vector<uint8_t>& down)
    {
        std::memcpy(prev, now, sizeof now);
        std::memset(now, 0, sizeof now);
        for (uint8_t k : down) now[k] = 0x80;
        uknc_keyboard_feed(&kb, now, prev);
    }
    std::vector<uint8_t> drain()
    {
        std::vector<uint8_t> codes;
        while (kb.producer != kb.consumer) codes.push_back(uint8_t(uknc_keyboard_read_data(&kb)));
        return codes;
    }
};

TEST(UkncKeyboard, KeyMapsAreWellFormed)
{
    int records = 0;
    for (const uint8_t* r = uknc_key_map; r[0] != 0; r += r[0], ++records) {
        ASSERT_GE(r[0], 3);
        for (int i = 2; i < r[0]; ++i) ASSERT_LT(r[i], 0x80);
    }
    EXPECT_EQ(records, 90);
    records = 0;
    for (const uint8_t* r = uknc_shift_combinations; r[0] != 0; r += r[0]) ++records;
    EXPECT_EQ(records, 10);
}

// Every key of the main map alone: its codes in order, then their release codes in
// reverse order.
TEST(UkncKeyboard, EveryMappedKeyPressesAndReleases)
{
    for (const uint8_t* r = uknc_key_map; r[0] != 0; r += r[0]) {
        Keyboard k;
        k.frame({r[1]});
        std::vector<uint8_t> expected(r + 2, r + r[0]);
        EXPECT_EQ(k.drain(), expected) << "host key " << int(r[1]);
        k.frame({});
        expected.clear();
        for (int i = r[0] - 1; i >= 2; --i) expected.push_back(uint8_t((r[i] & 0x0F) | 0x80));
        EXPECT_EQ(k.drain(), expected) << "host key " << int(r[1]);
    }
}

// Sequences of frames: the host keys down in each frame and the codes the UKNC gets.
TEST(UkncKeyboard, SequencesOfFrames)
{
    struct Step {
        std::vector<uint8_t> down; // a vector: an initializer_list member would dangle once copied
        std::vector<uint8_t> codes;
    };
    struct Sequence {
        const char* what;
        std::vector<Step> steps;
    };
    const Sequence sequences[] = {
        {"two-code key", {{{key_equals}, {0x45, 0x7D}}, {{}, {0x8D, 0x85}}}},
        {"held key sends nothing more", {{{key_a}, {0x3A}}, {{key_a}, {}}, {{}, {0x8A}}}},
        {"both Shifts share one code",
         {{{left_shift}, {0x45}}, {{left_shift, right_shift}, {}}, {{right_shift}, {}}, {{}, {0x85}}}},
        {"a combination releases every held code in code order",
         {{{key_a, 0x28}, {0x3A, 0x45, 0x0E}},
          {{key_a, 0x28, right_shift}, {0x8E, 0x8A, 0x85, 0x45, 0x19}},
          {{}, {0x89, 0x85}}}},
        {"Shift combination, the key released first: Shift comes back",
         {{{left_shift}, {0x45}},
          {{left_shift, key_equals}, {0x85, 0x45, 0x07}},
          {{left_shift, key_equals}, {}},
          {{left_shift}, {0x87, 0x85, 0x45}},
          {{}, {0x85}}}},
        {"Shift combination, Shift released first: the key stays quiet until pressed again",
         {{{right_shift}, {0x45}},
          {{right_shift, key_2}, {0x85, 0x3F}},
          {{key_2}, {0x8F}},
          {{key_2}, {}},
          {{}, {}},
          {{key_2}, {0x19}},
          {{}, {0x89}}}},
        {"key held before Shift: its code is released for the combination",
         {{{key_7}, {0x0E}}, {{key_7, left_shift}, {0x8E, 0x45, 0x1D}}, {{}, {0x8D, 0x85}}}},
        {"other keys go on during a combination",
         {{{left_shift, key_2}, {0x3F}}, {{left_shift, key_2, key_a}, {0x3A}},
          {{left_shift, key_2}, {0x8A}}, {{}, {0x8F}}}},
    };
    for (const Sequence& s : sequences) {
        Keyboard k;
        int n = 0;
        for (const Step& step : s.steps) {
            k.frame(step.down);
            EXPECT_EQ(k.drain(), step.codes) << s.what << ", frame " << n;
            ++n;
        }
        for (int code = 0; code < 128; ++code) EXPECT_EQ(k.kb.hold[code], 0) << s.what << ", code " << code;
    }
}

TEST(UkncKeyboard, AFullRingDropsTheRestOfTheKeyEvent)
{
    Keyboard k;
    for (int i = 0; i < 63; ++i) {
        k.frame({key_a});
        k.frame({});
    }
    EXPECT_EQ((k.kb.producer - k.kb.consumer) & 127, 126u);
    k.frame({key_equals}); // room for 0x45 only
    std::vector<uint8_t> codes = k.drain();
    ASSERT_EQ(codes.size(), 127u);
    EXPECT_EQ(codes.back(), 0x45);
    EXPECT_EQ(k.kb.hold[0x7D], 0);
    k.frame({});
    EXPECT_EQ(k.drain(), std::vector<uint8_t>({0x85}));
    // A full ring at a release: the hold counts still fall.
    for (int i = 0; i < 63; ++i) {
        k.frame({key_a});
        k.frame({});
    }
    k.frame({key_a});
    k.frame({}); // the release code does not fit
    EXPECT_EQ(k.kb.hold[0x3A], 0);
    EXPECT_EQ(k.drain().back(), 0x3A);
}

TEST(UkncKeyboard, DataReadAndReadyCheck)
{
    Keyboard k;
    EXPECT_FALSE(uknc_keyboard_frame_update(&k.kb));
    EXPECT_EQ(k.kb.status, 0);
    k.frame({key_equals});
    EXPECT_FALSE(uknc_keyboard_frame_update(&k.kb)); // ready, but interrupts disabled
    EXPECT_EQ(k.kb.status, 0x80);
    k.kb.status = 0x40;
    EXPECT_TRUE(uknc_keyboard_frame_update(&k.kb));
    EXPECT_EQ(k.kb.status, 0xC0);
    EXPECT_EQ(uknc_keyboard_read_data(&k.kb), 0x45);
    EXPECT_EQ(k.kb.status, 0xC0); // one more code waits
    EXPECT_EQ(uknc_keyboard_read_data(&k.kb), 0x7D);
    EXPECT_EQ(k.kb.status, 0x40); // the ring has become empty
    k.kb.status = 0xC0;
    EXPECT_EQ(uknc_keyboard_read_data(&k.kb), 0x7D); // empty: the last byte again
    EXPECT_EQ(k.kb.status, 0x40);
    EXPECT_FALSE(uknc_keyboard_frame_update(&k.kb));
    uknc_keyboard_reset(&k.kb);
    EXPECT_EQ(k.kb.status, 0);
    EXPECT_EQ(uknc_keyboard_read_data(&k.kb), 0);
}

} // namespace
