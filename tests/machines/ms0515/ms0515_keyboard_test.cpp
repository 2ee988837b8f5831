// Keyboard byte protocol: repeat counter, modifiers, shifted table, filter, queue, registers.
#include "ms0515_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Ms0515KeyboardTest : public testing::Test {
protected:
    void SetUp() override { ms0515_test_machine(); }

    // One frame with exactly these keys down.
    void frame(std::initializer_list<uint8_t> down)
    {
        std::memcpy(KeySnapshotPrev, KeySnapshot, sizeof KeySnapshot);
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
        for (uint8_t k : down)
            KeySnapshot[k] = 0x80;
        ms0515_keyboard_translate(ms0515.keyboard);
    }

    std::vector<uint8_t> drain()
    {
        std::vector<uint8_t> bytes;
        while (!ms0515_keyboard_queue_empty(ms0515.keyboard))
            bytes.push_back(ms0515_keyboard_read_data(ms0515.keyboard));
        return bytes;
    }
};

using Bytes = std::vector<uint8_t>;

TEST_F(Ms0515KeyboardTest, HeldKeyRepeatsAfter32FramesThenEvery4)
{
    std::vector<int> sent_frames;
    for (int f = 1; f <= 45; ++f) {
        frame({0x1E}); // A -> 0xD2
        Bytes b = drain();
        if (!b.empty()) {
            EXPECT_EQ(b, Bytes{0xD2});
            sent_frames.push_back(f);
        }
    }
    EXPECT_EQ(sent_frames, (std::vector<int>{1, 33, 37, 41, 45}));
    frame({}); // released: no release byte for A, counter back to 0
    EXPECT_EQ(drain(), Bytes{});
    EXPECT_EQ(ms0515.keyboard.KeyRepeatCounter, 0u);
    frame({0x1E});
    EXPECT_EQ(drain(), Bytes{0xD2});
}

TEST_F(Ms0515KeyboardTest, ReleaseByteAndShiftFilter)
{
    frame({0x28}); // ' : Shift down, E0 ; release: all keys up
    EXPECT_EQ(drain(), (Bytes{0xAE, 0xE0}));
    frame({});
    EXPECT_EQ(drain(), Bytes{0xB3});
    frame({}); // a second release frame sends nothing
    EXPECT_EQ(drain(), Bytes{});
}

TEST_F(Ms0515KeyboardTest, HeldModifiersDoNotRepeatAndDoNotAdvanceTheCounter)
{
    frame({0x2A});
    EXPECT_EQ(drain(), Bytes{0xAE});
    EXPECT_EQ(ms0515.keyboard.KeyRepeatCounter, 0u);
    for (int i = 0; i < 40; ++i)
        frame({0x2A});
    EXPECT_EQ(drain(), Bytes{});
    frame({0x2A, 0x1E}); // a letter under Shift: the counter was still 0
    EXPECT_EQ(drain(), Bytes{0xD2});
    frame({});
    EXPECT_EQ(drain(), Bytes{0xB3});
}

TEST_F(Ms0515KeyboardTest, CtrlReleaseBecomesAllKeysUp)
{
    frame({0x1D});
    frame({0x1D});
    frame({});
    EXPECT_EQ(drain(), (Bytes{0xAF, 0xB3}));
    frame({}); // 0x01 without Ctrl down is dropped
    ms0515_keyboard_send(ms0515.keyboard, 0x01);
    EXPECT_EQ(drain(), Bytes{});
}

TEST_F(Ms0515KeyboardTest, FilterPassesModifierBytesOnlyOnChange)
{
    Ms0515Keyboard& k = ms0515.keyboard;
    for (uint8_t b : {0xB3, 0xAE, 0xAE, 0xAF, 0xAF, 0x42, 0xB3, 0xB3, 0x01, 0x01})
        ms0515_keyboard_send(k, b);
    EXPECT_EQ(drain(), (Bytes{0xAE, 0xAF, 0x42, 0xB3, 0xB3}));
}

TEST_F(Ms0515KeyboardTest, ShiftedTableReplacesTheKeyAndReleasesThroughTheMainTable)
{
    // Left Shift + 2 ('@'): the keyboard has it unshifted, so Shift is lifted around it.
    frame({0x2A, 0x03});
    EXPECT_EQ(drain(), (Bytes{0xED, 0xAE})); // 0xB3 filtered: Shift was not down yet
    frame({0x2A, 0x03});
    EXPECT_EQ(drain(), Bytes{}); // repeat rule
    frame({0x2A}); // key released: the modifier is made to look released
    EXPECT_EQ(drain(), Bytes{0xB3});
    frame({0x2A}); // still physically held: it goes down again
    EXPECT_EQ(drain(), Bytes{0xAE});
    // Right Shift + 9: Shift down, then the character.
    frame({0x36, 0x0A});
    EXPECT_EQ(drain(), Bytes{0xE5});
}

TEST_F(Ms0515KeyboardTest, FullQueueAbandonsTheFrame)
{
    Ms0515Keyboard& k = ms0515.keyboard;
    for (int i = 0; i < 127; ++i)
        EXPECT_TRUE(ms0515_keyboard_send(k, 0x42));
    EXPECT_FALSE(ms0515_keyboard_send(k, 0x43));
    frame({0x1E});
    EXPECT_EQ(drain().size(), 127u);
    EXPECT_EQ(k.KeyRepeatCounter, 0u); // the abandoned key was not counted
}

TEST_F(Ms0515KeyboardTest, ResetCommandAndDataRegister)
{
    ms0515_write_word(0177460, 0x12); // other commands do nothing
    EXPECT_TRUE(ms0515_keyboard_queue_empty(ms0515.keyboard));
    ms0515_write_word(0177460, 0xAB);
    ms0515.keyboard.status |= 2;
    EXPECT_EQ(ms0515_read_word(0177440), 0x01);
    EXPECT_EQ(ms0515_read_word(0177442) & 2, 2);
    EXPECT_EQ(ms0515_read_word(0177440), 0x00);
    EXPECT_EQ(ms0515_read_word(0177442) & 2, 0);
    // An empty queue returns the last byte again.
    ms0515_keyboard_send(ms0515.keyboard, 0x77);
    EXPECT_EQ(ms0515_read_word(0177440), 0x77);
    ms0515.keyboard.status |= 2;
    EXPECT_EQ(ms0515_read_word(0177440), 0x77);
    EXPECT_EQ(ms0515.keyboard.status & 2, 0);
}

TEST_F(Ms0515KeyboardTest, TableSpotChecks)
{
    struct Case {
        uint8_t key;
        Bytes press;
    } cases[] = {{0x01, {0x06}}, {0x3F, {0x0D}}, {0xB7, {0x7A}}, {0x0D, {0xAE, 0xF9}}, {0x9D, {0x36}},
                 {0xCF, {0xF1}}, {0x39, {0xD4}}, {0x53, {0x94}}, {0xD2, {0xC8}}, {0x1C, {0xBD}}};
    for (const Case& c : cases) {
        ms0515_test_machine();
        frame({c.key});
        EXPECT_EQ(drain(), c.press) << std::hex << int(c.key);
    }
}

} // namespace
