// ZX beeper: the square wave toggled by writes to bits 3-4 of port 0xFE, box-filtered
// into the frame's 48 kHz samples by the host's one-bit speaker filter.
#include "host/beeper.h"
#include "machines/zx/zx.h"

int zx_beeper_to_samples(int32_t* edges, int count, int32_t frame_tstates)
{
    return beeper_to_samples(&zx.beeper_level, &zx.beeper_partial_sum, edges, count, frame_tstates);
}
