// The UKNC's speaker: a piezo driven by bit 7 of the PPU's system register 0177716
// (1 = high). The machine has no sound chip; programs make tones by flipping the bit
// from the PPU's timer interrupt or in a delay loop. Every flip is recorded at the
// PPU's remaining budget and becomes the frame's samples through the host's one-bit
// speaker filter, the same one the ZX beeper uses.
#include "machines/uknc/workstation.h"

#include "host/beeper.h"
#include "host/host.h"

namespace {

Workstation& ws = workstation;

constexpr int32_t frame_length = 256 * uknc_cycles_per_frame; // budget units, speed factor 256

inline int32_t level_of_register() { return (ws.systemRegister & 0x80) ? beeper_high : beeper_low; }

} // namespace

void workstation_speaker_reset()
{
    ws.speakerEdgeCount = 0;
    ws.speakerLevel = level_of_register();
    ws.speakerPartialSum = 0;
    ws.speakerFrameEnded = false;
}

void workstation_speaker_frame_start()
{
    if (!ws.speakerFrameEnded)
        return;
    // The last frame ended without being presented (stopped in the monitor): its edges
    // are dropped, the later ones move into this frame.
    int carried = 0;
    for (int k = 0; k < ws.speakerEdgeCount; ++k) {
        if (ws.speakerEdges[k] > 0)
            ws.speakerLevel = -ws.speakerLevel;
        else
            ws.speakerEdges[carried++] = ws.speakerEdges[k] + frame_length;
    }
    ws.speakerEdgeCount = carried;
    ws.speakerFrameEnded = false;
}

void workstation_speaker_samples()
{
    const int count = ws.speakerFrameEnded ? ws.speakerEdgeCount : 0;
    const int carried =
        beeper_to_samples(&ws.speakerLevel, &ws.speakerPartialSum, ws.speakerEdges, count, frame_length);
    if (ws.speakerFrameEnded) {
        ws.speakerEdgeCount = carried;
        ws.speakerFrameEnded = false;
        // A full edge list dropped flips; with nothing pending the level is the bit's again.
        if (carried == 0)
            ws.speakerLevel = level_of_register();
    }
}
