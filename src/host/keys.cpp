// Key tables and the per-frame snapshots machines read.
#include <cstring>

#include "host/host_internal.h"

volatile uint8_t KeyState[256];
uint8_t KeySnapshot[256];
uint8_t KeySnapshotPrev[256];
uint8_t LockLeds[3];

void snapshot_keys()
{
    // A keys script is the keyboard of an automated run, focused or not.
    if (host.keyboard_focus || !host.key_events.empty()) {
        for (int i = 0; i < 256; ++i)
            KeySnapshot[i] = KeyState[i];
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
}
