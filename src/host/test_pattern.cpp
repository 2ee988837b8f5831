// A tiny built-in machine for testing the host end to end ("--machine host-test-pattern"):
// a 320 x 200 picture of four coloured quadrants with a white frame, whose top-left
// quadrant turns green while Space is held, F11 toggles full screen, F12 takes a
// screenshot, and a 1 kHz square wave.
#include "host/host_internal.h"

void host_test_pattern_main()
{
    const uint32_t w = 320, h = 200;
    set_client_size(w, h);
    clear_back_buffer();
    uint32_t phase = 0;
    for (;;) {
        shift_key_snapshot();
        snapshot_keys();
        if (key_pressed(0x58)) // F12
            save_screenshot();
        if (key_pressed(0x57)) { // F11
            fullscreen ^= 1;
            set_client_size(0, 0);
        }
        BackBufferView view;
        if (lock_back_buffer(&view)) {
            uint32_t* top_left = view.pixels + size_t(back_buffer_height / 2 - h / 2) * view.pitch +
                                 (back_buffer_width / 2 - w / 2);
            bool space = key_down(0x39);
            for (uint32_t y = 0; y < h; ++y) {
                uint32_t* row = top_left + size_t(y) * view.pitch;
                for (uint32_t x = 0; x < w; ++x) {
                    uint32_t c;
                    if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                        c = 0xFFFFFF;
                    else if (y < h / 2)
                        c = x < w / 2 ? (space ? 0x00FF00 : 0xFF0000) : 0x0000FF;
                    else
                        c = x < w / 2 ? 0xFFFF00 : 0x00FFFF;
                    row[x] = c;
                }
            }
            unlock_back_buffer();
        }
        // 48 samples per period: 1 kHz at 48000 Hz, continuous across frames.
        for (uint32_t i = 0; i < samples_this_frame && i < sample_buffer_pairs; ++i, ++phase) {
            int16_t s = (phase % 48) < 24 ? 8000 : -8000;
            SampleBuffer[i] = {s, s};
        }
        end_frame();
    }
}
