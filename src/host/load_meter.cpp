// The load meter bitmap.
#include "host/load_meter.h"

#include <initializer_list>

void load_meter_draw(uint32_t* pixels, uint32_t height, uint64_t emulation_time,
                     uint64_t presentation_time, uint64_t frame_time, uint32_t* border,
                     bool* frames_lost)
{
    const uint32_t background = 0x0080FF, emulation = 0xFFFF00, presentation = 0xF9C09B;
    const uint32_t w = load_meter_width;
    if (frame_time == 0)
        frame_time = 1;
    uint32_t e = uint32_t(emulation_time * 76 / frame_time > 76 ? 76 : emulation_time * 76 / frame_time);
    uint64_t p64 = presentation_time * 76 / frame_time;
    uint32_t p = uint32_t(p64 > 76 ? 76 : p64);
    if (e + p > 76)
        p = 76 - e;

    // Each channel below 0xF8 brightens by 4 a frame: a red flash fades to near white.
    uint32_t b = *border;
    for (int shift = 0; shift < 24; shift += 8)
        if (((b >> shift) & 0xFF) < 0xF8)
            b += 4u << shift;
    if (*frames_lost) {
        *frames_lost = false;
        b = 0xFF0000;
    }
    *border = b;
    if (height < 4)
        return;

    // The rows are symmetric, so bottom-up and top-down storage give the same picture.
    auto row = [&](uint32_t y) { return pixels + y * w; };
    for (uint32_t x = 0; x < w; ++x) {
        row(0)[x] = b;
        row(height - 1)[x] = b;
    }
    for (uint32_t y : {1u, height - 2}) {
        uint32_t* r = row(y);
        r[0] = b;
        for (uint32_t x = 1; x < w - 1; ++x)
            r[x] = background;
        r[w - 1] = b;
    }
    for (uint32_t y = 2; y < height - 2; ++y) {
        uint32_t* r = row(y);
        uint32_t x = 0;
        r[x++] = b;
        r[x++] = background;
        for (uint32_t i = 0; i < e; ++i)
            r[x++] = emulation;
        for (uint32_t i = 0; i < p; ++i)
            r[x++] = presentation;
        for (uint32_t i = 0; i < 76 - e - p; ++i)
            r[x++] = background;
        r[x++] = background;
        r[x] = b;
    }
}
