// The load meter: an 80-pixel-wide bitmap with two bars, E (the machine's share of the
// frame) and P (the presentation's share), in a border that flashes red when frames were
// lost and fades back to near white.
#pragma once

#include <cstdint>

inline constexpr uint32_t load_meter_width = 80;
inline constexpr uint32_t load_meter_height = 16;

// Both times in any unit shared with frame_time. frames_lost is cleared when consumed.
void load_meter_draw(uint32_t* pixels, uint32_t height, uint64_t emulation_time,
                     uint64_t presentation_time, uint64_t frame_time, uint32_t* border,
                     bool* frames_lost);
