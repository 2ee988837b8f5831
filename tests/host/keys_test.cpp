// Key translation, key names, the keys script and the snapshots.
#include <gtest/gtest.h>

#include <cstring>

#include "host/host_internal.h"

namespace {

// USB HID usages as SDL reports them.
enum : uint32_t { hid_a = 4, hid_z = 29, hid_1 = 30, hid_0 = 39, hid_return = 40, hid_capslock = 57,
                  hid_f1 = 58, hid_f11 = 68, hid_right = 79, hid_left = 80, hid_down = 81,
                  hid_up = 82, hid_kp_enter = 88, hid_kp_1 = 89, hid_kp_7 = 95, hid_kp_0 = 98,
                  hid_kp_period = 99, hid_lctrl = 224, hid_lshift = 225, hid_lalt = 226,
                  hid_rctrl = 228, hid_rshift = 229, hid_ralt = 230 };

TEST(KeyTranslation, TypingKeysFollowThePcRows)
{
    EXPECT_EQ(key_code_from_scancode(hid_a), 0x1E);
    EXPECT_EQ(key_code_from_scancode(hid_a + 16), 0x10); // Q
    EXPECT_EQ(key_code_from_scancode(hid_z), 0x2C);
    EXPECT_EQ(key_code_from_scancode(hid_1), 0x02);
    EXPECT_EQ(key_code_from_scancode(hid_0), 0x0B);
    EXPECT_EQ(key_code_from_scancode(hid_return), 0x1C);
    EXPECT_EQ(key_code_from_scancode(hid_capslock), 0x3A);
    EXPECT_EQ(key_code_from_scancode(hid_f1), 0x3B);
    EXPECT_EQ(key_code_from_scancode(hid_f1 + 9), 0x44); // F10
    EXPECT_EQ(key_code_from_scancode(hid_f11), 0x57);
    EXPECT_EQ(key_code_from_scancode(hid_f11 + 1), 0x58);
}

TEST(KeyTranslation, LeftAndRightModifiersAreDistinct)
{
    EXPECT_EQ(key_code_from_scancode(hid_lctrl), 0x1D);
    EXPECT_EQ(key_code_from_scancode(hid_rctrl), 0x9D);
    EXPECT_EQ(key_code_from_scancode(hid_lshift), 0x2A);
    EXPECT_EQ(key_code_from_scancode(hid_rshift), 0x36);
    EXPECT_EQ(key_code_from_scancode(hid_lalt), 0x38);
    EXPECT_EQ(key_code_from_scancode(hid_ralt), 0xB8);
}

TEST(KeyTranslation, ArrowBlockIsExtendedKeypadIsNot)
{
    EXPECT_EQ(key_code_from_scancode(hid_up), 0xC8);
    EXPECT_EQ(key_code_from_scancode(hid_left), 0xCB);
    EXPECT_EQ(key_code_from_scancode(hid_right), 0xCD);
    EXPECT_EQ(key_code_from_scancode(hid_down), 0xD0);
    EXPECT_EQ(key_code_from_scancode(hid_kp_7), 0x47);
    EXPECT_EQ(key_code_from_scancode(hid_kp_1), 0x4F);
    EXPECT_EQ(key_code_from_scancode(hid_kp_0), 0x52);
    EXPECT_EQ(key_code_from_scancode(hid_kp_period), 0x53);
    EXPECT_EQ(key_code_from_scancode(hid_kp_enter), 0x9C);
}

TEST(KeyTranslation, EditingPunctuationAndSystemKeys)
{
    // USB HID usage (keyboard page) -> set-1 code, E0-prefixed keys at code + 0x80.
    const struct { uint32_t usage; uint8_t code; const char* key; } cases[] = {
        {41, 0x01, "Esc"},        {42, 0x0E, "Backspace"},  {43, 0x0F, "Tab"},
        {44, 0x39, "Space"},      {45, 0x0C, "-"},          {46, 0x0D, "="},
        {47, 0x1A, "["},          {48, 0x1B, "]"},          {49, 0x2B, "backslash"},
        {51, 0x27, ";"},          {52, 0x28, "apostrophe"}, {53, 0x29, "backquote"},
        {54, 0x33, ","},          {55, 0x34, "."},          {56, 0x35, "/"},
        {70, 0xB7, "Print Screen"}, {71, 0x46, "Scroll Lock"}, {72, 0xC5, "Pause"},
        {73, 0xD2, "Insert"},     {74, 0xC7, "Home"},       {75, 0xC9, "Page Up"},
        {76, 0xD3, "Delete"},     {77, 0xCF, "End"},        {78, 0xD1, "Page Down"},
        {83, 0x45, "Num Lock"},   {84, 0xB5, "keypad /"},   {85, 0x37, "keypad *"},
        {86, 0x4A, "keypad -"},   {87, 0x4E, "keypad +"},   {91, 0x51, "keypad 3"},
        {93, 0x4C, "keypad 5"},   {97, 0x49, "keypad 9"},   {101, 0xDD, "Menu"},
        {227, 0xDB, "left Windows"}, {231, 0xDC, "right Windows"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(key_code_from_scancode(c.usage), c.code) << c.key;
}

TEST(KeyTranslation, UnknownKeysGiveZero)
{
    EXPECT_EQ(key_code_from_scancode(0), 0);
    EXPECT_EQ(key_code_from_scancode(3), 0);
    EXPECT_EQ(key_code_from_scancode(200), 0);
    EXPECT_EQ(key_code_from_scancode(0xFFFFFFFF), 0);
}

TEST(KeyNames, NamesNumbersAndRejects)
{
    uint8_t code = 0;
    const struct { const char* name; uint8_t code; } cases[] = {
        {"A", 0x1E}, {"m", 0x32}, {"1", 0x02}, {"0", 0x0B}, {"SPACE", 0x39}, {"enter", 0x1C},
        {"LSHIFT", 0x2A}, {"RSHIFT", 0x36}, {"LCTRL", 0x1D}, {"RCTRL", 0x9D}, {"F1", 0x3B},
        {"F10", 0x44}, {"F12", 0x58}, {"UP", 0xC8}, {"KP5", 0x4C}, {"0x1E", 0x1E}, {"57", 57},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(key_code_from_name(c.name, &code)) << c.name;
        EXPECT_EQ(code, c.code) << c.name;
    }
    for (const char* bad : {"", "F13", "F0", "0x100", "SPAC", "12x", "AB"})
        EXPECT_FALSE(key_code_from_name(bad, &code)) << bad;
}

TEST(KeyScript, ParsesSortsAndReportsTheBadLine)
{
    std::vector<KeyEvent> events;
    std::string error;
    ASSERT_TRUE(parse_key_script("# typing\n10 A down\n\n3 0x39 DOWN # space\n10 A up\n  4 space up\n",
                                 &events, &error))
        << error;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].frame, 3u);
    EXPECT_EQ(events[0].code, 0x39);
    EXPECT_TRUE(events[0].down);
    EXPECT_EQ(events[1].frame, 4u);
    EXPECT_FALSE(events[1].down);
    // Same frame: file order is kept (press before release).
    EXPECT_TRUE(events[2].down);
    EXPECT_FALSE(events[3].down);

    const struct { const char* text; const char* message; } bad[] = {
        {"1 A down\nx A down\n", "line 2: bad frame number"},
        {"1 NOKEY down\n", "line 1: unknown key"},
        {"1 A press\n", "line 1: expected down or up"},
        {"1 A\n", "line 1: expected"},
        {"1 A down extra\n", "line 1: unexpected text"},
        {"-1 A down\n", "line 1: bad frame number"},
    };
    // Lines ending in CR LF are read like any other; garbage shows as '?' in the error.
    events.clear();
    ASSERT_TRUE(parse_key_script("1 A down\r\n2 A up\r\n", &events, &error)) << error;
    EXPECT_EQ(events.size(), 2u);
    events.clear();
    EXPECT_FALSE(parse_key_script(std::string("1 \x1b[2J\xff down\n"), &events, &error));
    EXPECT_EQ(error, "line 1: unknown key '?[2J?'");
    // A NUL byte inside a word does not cut it short: "A<NUL>XYZ" is no key, on any line.
    events.clear();
    EXPECT_FALSE(parse_key_script(std::string("1 A down\n1 A\0XYZ down\n", 22), &events, &error));
    EXPECT_EQ(error, "line 2: unknown key 'A?XYZ'");
    events.clear();
    EXPECT_FALSE(parse_key_script(std::string("1 A down\0\n", 10), &events, &error));
    EXPECT_EQ(error.rfind("line 1: expected down or up", 0), 0u) << error;
    for (const auto& b : bad) {
        events.clear();
        EXPECT_FALSE(parse_key_script(b.text, &events, &error)) << b.text;
        EXPECT_EQ(error.rfind(b.message, 0), 0u) << error;
    }
}

TEST(KeySnapshots, FocusHidesKeysAndShiftKeepsByteZero)
{
    std::memset(const_cast<uint8_t*>(KeyState), 0, 256);
    KeyState[0x1E] = 0x80;
    KeyState[0] = 0x80;
    host.keyboard_focus = false;
    snapshot_keys();
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(KeySnapshot[i], 0) << i;
    host.keyboard_focus = true;
    snapshot_keys();
    EXPECT_TRUE(key_down(0x1E));
    EXPECT_TRUE(key_pressed(0x1E));
    KeySnapshotPrev[0] = 0;
    shift_key_snapshot();
    EXPECT_EQ(KeySnapshotPrev[0], 0);    // byte 0 is never copied
    EXPECT_EQ(KeySnapshotPrev[0x1E], 0x80);
    EXPECT_TRUE(key_down(0x1E));
    EXPECT_FALSE(key_pressed(0x1E));     // held, not newly pressed
    std::memset(const_cast<uint8_t*>(KeyState), 0, 256);
}

TEST(KeySnapshots, ScriptedEventsArriveBeforeTheirFrame)
{
    std::memset(const_cast<uint8_t*>(KeyState), 0, 256);
    host.key_events = {{0, 0x2A, true}, {2, 0x1E, true}, {2, 0x2A, false}, {5, 0x1E, false}};
    host.next_key_event = 0;
    uint32_t saved = host_frame_count;
    host_frame_count = 0;
    host_apply_key_events();
    EXPECT_EQ(KeyState[0x2A], 0x80);
    EXPECT_EQ(KeyState[0x1E], 0);
    host_frame_count = 1;
    host_apply_key_events();
    EXPECT_EQ(KeyState[0x1E], 0);
    host_frame_count = 2;
    host_apply_key_events();
    EXPECT_EQ(KeyState[0x1E], 0x80);
    EXPECT_EQ(KeyState[0x2A], 0);
    // The script is the keyboard of an automated run: seen even without window focus.
    host.keyboard_focus = false;
    snapshot_keys();
    EXPECT_TRUE(key_down(0x1E));
    host.keyboard_focus = true;
    host_frame_count = 9; // a skipped frame number still delivers late events
    host_apply_key_events();
    EXPECT_EQ(KeyState[0x1E], 0);
    host_frame_count = saved;
    host.key_events.clear();
    host.next_key_event = 0;
}

} // namespace
