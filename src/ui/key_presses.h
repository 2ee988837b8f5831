// Key chords the interface presses for the machine: a menu entry that stands for a hot key,
// a character typed in the ZX typing mode. Each chord is held for some frames, then
// released for some, one after another, so the machine's own key code sees ordinary presses.
#pragma once

#include <cstdint>
#include <deque>

struct PressedChord {
    uint8_t codes[4] = {};
    int count = 0;
    int hold_frames = 1;
    int gap_frames = 1;
};

struct KeyPresses {
    std::deque<PressedChord> queue;
    PressedChord current;
    int frames_left = 0;
    bool holding = false;
};

void key_presses_push(KeyPresses* presses, const uint8_t* codes, int count, int hold_frames = 1,
                      int gap_frames = 1);
// Once per frame, between emulated frames: presses or releases the chord keys in keys (the
// host's key table); the machine reads them in its next frame.
void key_presses_step(KeyPresses* presses, volatile uint8_t* keys);
inline bool key_presses_busy(const KeyPresses& presses)
{
    return presses.holding || presses.frames_left > 0 || !presses.queue.empty();
}
