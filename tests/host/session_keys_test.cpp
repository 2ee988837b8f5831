// The host key chords: keys pressed while the right Windows key is held become slot, pause,
// fast-forward and rewind requests and never reach the machine; keys pressed before it
// still do; a chord key belongs to the host until it is released.
#include <gtest/gtest.h>

#include <cstring>

#include "host/host_internal.h"
#include "host/session_internal.h"

namespace {

void press(uint8_t code) { KeyState[code] = 0x80; }
void release(uint8_t code) { KeyState[code] = 0; }

TEST(SessionKeys, ChordsGoToTheHostAndAreHiddenFromTheMachine)
{
    std::memset(const_cast<uint8_t*>(KeyState), 0, 256);
    host.keyboard_focus = true;
    constexpr uint8_t a = 0x1E, shift = 0x2A, f1 = 0x3B, f3 = 0x3D, f12 = 0x58, backspace = 0x0E;

    press(a); // held before the host key: stays the machine's
    session_after_frame();
    press(session_host_key);
    press(f3);
    session_after_frame(); // no machine registered: the slot is looked up and found empty
    EXPECT_EQ(session_last_message(nullptr), "Slot 3 is empty");
    snapshot_keys();
    EXPECT_EQ(KeySnapshot[a], 0x80);
    EXPECT_EQ(KeySnapshot[f3], 0);
    EXPECT_EQ(KeySnapshot[session_host_key], 0);

    // The host key let go first: F3 is still the host's until it comes up.
    release(session_host_key);
    session_after_frame();
    snapshot_keys();
    EXPECT_EQ(KeySnapshot[f3], 0);
    release(f3);
    session_after_frame();
    press(f3);
    session_after_frame();
    snapshot_keys();
    EXPECT_EQ(KeySnapshot[f3], 0x80); // pressed alone: the machine's again
    release(f3);

    // F12 held: fast-forward while held; Shift+F12: on until pressed again.
    press(session_host_key);
    press(f12);
    session_after_frame();
    EXPECT_TRUE(session_fast_forward());
    EXPECT_TRUE(session_silenced());
    release(f12);
    session_after_frame();
    EXPECT_FALSE(session_fast_forward());
    press(shift);
    press(f12);
    session_after_frame();
    release(f12);
    release(shift);
    session_after_frame();
    EXPECT_TRUE(session_fast_forward());
    EXPECT_EQ(session_last_message(nullptr), "Fast-forward on");
    press(shift);
    press(f12);
    session_after_frame();
    release(f12);
    release(shift);
    session_after_frame();
    EXPECT_FALSE(session_fast_forward());

    // Backspace: rewinding while held. Shift+F1: a save request (nothing to save here).
    press(backspace);
    session_after_frame();
    EXPECT_TRUE(session_rewinding());
    release(backspace);
    session_after_frame();
    EXPECT_FALSE(session_rewinding());
    press(shift);
    press(f1);
    session_after_frame();
    EXPECT_EQ(session_last_message(nullptr), "Can't save slot 1: this machine has no save states");
    snapshot_keys();
    EXPECT_EQ(KeySnapshot[shift], 0);
    EXPECT_EQ(KeySnapshot[f1], 0);
    release(f1);
    release(shift);
    release(session_host_key);

    // Pause needs a window: a headless run says so and goes on.
    session_set_paused(true);
    EXPECT_FALSE(session_paused());
    release(a);
    session_after_frame();
}

} // namespace
