// The UKNC ROM's start menu: "1" (drive 0) from frame 150, then Enter from frame 200, each
// held three frames, boot the diskette in drive 0. Tests and benchmarks that boot through
// the real ROM run their frames through this one script.
#pragma once

#include <cstring>

#include "host/host.h"
#include "machines/workstation/workstation_run.h"

inline void uknc_menu_boot_frame(int frame)
{
    std::memcpy(KeySnapshotPrev, KeySnapshot, 256);
    std::memset(KeySnapshot, 0, 256);
    if (frame >= 150 && frame < 153)
        KeySnapshot[0x02] = 0x80; // 1
    if (frame >= 200 && frame < 203)
        KeySnapshot[0x1C] = 0x80; // Enter
    workstation_run_frame();
}
