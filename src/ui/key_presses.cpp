// Chords pressed for the machine, one frame step at a time.
#include "ui/key_presses.h"

void key_presses_push(KeyPresses* presses, const uint8_t* codes, int count, int hold_frames, int gap_frames)
{
    PressedChord chord;
    for (int i = 0; i < count && i < 4; ++i)
        if (codes[i])
            chord.codes[chord.count++] = codes[i];
    chord.hold_frames = hold_frames < 1 ? 1 : hold_frames;
    chord.gap_frames = gap_frames < 1 ? 1 : gap_frames;
    if (chord.count)
        presses->queue.push_back(chord);
}

void key_presses_step(KeyPresses* presses, volatile uint8_t* keys)
{
    if (presses->frames_left > 0 && --presses->frames_left > 0)
        return;
    if (presses->holding) {
        for (int i = 0; i < presses->current.count; ++i)
            keys[presses->current.codes[i]] = 0;
        presses->holding = false;
        presses->frames_left = presses->current.gap_frames;
        return;
    }
    if (presses->queue.empty())
        return;
    presses->current = presses->queue.front();
    presses->queue.pop_front();
    for (int i = 0; i < presses->current.count; ++i)
        keys[presses->current.codes[i]] = 0x80;
    presses->holding = true;
    presses->frames_left = presses->current.hold_frames;
}
