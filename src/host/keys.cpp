// Key tables and the per-frame snapshots machines read.
#include <cstring>

#include "host/host_internal.h"
#include "host/key_recorder.h"
#include "host/session_internal.h"

volatile uint8_t KeyState[256];
uint8_t KeySnapshot[256];
uint8_t KeySnapshotPrev[256];
uint8_t LockLeds[3];

// A keys script is the keyboard of an automated run, focused or not.
static bool keys_visible() { return host.keyboard_focus || !host.key_events.empty(); }

void snapshot_keys()
{
    if (keys_visible()) {
        for (int i = 0; i < 256; ++i)
            KeySnapshot[i] = KeyState[i];
        session_mask_keys(KeySnapshot); // the host's own key chords
    } else {
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    }
}

void shift_key_snapshot() { std::memcpy(KeySnapshotPrev + 1, KeySnapshot + 1, 255); }

void host_apply_key_events()
{
    while (host.next_key_event < host.key_events.size() &&
           host.key_events[host.next_key_event].frame <= host_frame_count) {
        const KeyEvent& e = host.key_events[host.next_key_event++];
        KeyState[e.code] = e.down ? 0x80 : 0;
    }
    // The keyboard as the machine's next snapshot will see it (window events and scripted
    // events of this frame included) is what a replay must reproduce.
    if (key_recorder_active()) {
        uint8_t visible[256] = {};
        if (keys_visible())
            for (int i = 0; i < 256; ++i)
                visible[i] = KeyState[i] & 0x80;
        session_mask_keys(visible);
        key_recorder_frame(host_frame_count, visible);
    }
}
