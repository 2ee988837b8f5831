// A tiny built-in machine for testing the host end to end ("--machine host-test-pattern"):
// a 320 x 200 picture of four coloured quadrants with a white frame, whose top-left
// quadrant turns green while Space is held, F11 toggles full screen, F12 takes a
// screenshot, and a 1 kHz square wave.
//
// For checking that frames are counted alike in a window and headless, it also keeps a
// frame delay as the MS-0515 does (PgUp / PgDn: each picture is presented that many extra
// times, up to 3) and shows, as 16 black-or-cyan cells in the bottom-right quadrant, the
// number of the emulated frame in which Space last went down.
#include "host/host_internal.h"
#include "host/key_codes.h"

namespace {

// Cells of 8 x 8 pixels from (168, 150), bit 0 first; a set bit is black.
void draw_number(uint32_t* top_left, uint32_t pitch, uint32_t number)
{
    for (uint32_t bit = 0; bit < 16; ++bit)
        for (uint32_t y = 150; y < 158; ++y)
            for (uint32_t x = 168 + bit * 8; x < 176 + bit * 8; ++x)
                top_left[size_t(y) * pitch + x] = (number >> bit) & 1 ? 0x000000 : 0x00FFFF;
}

} // namespace

void host_test_pattern_main()
{
    const uint32_t w = 320, h = 200;
    set_client_size(w, h);
    clear_back_buffer();
    uint32_t phase = 0;
    uint32_t frame = 0, space_frame = 0, frame_delay = 0;
    for (;; ++frame) {
        shift_key_snapshot();
        snapshot_keys();
        if (key_pressed(key_space))
            space_frame = frame;
        if (key_pressed(key_page_up) && frame_delay < 3)
            ++frame_delay;
        if (key_pressed(key_page_down) && frame_delay > 0)
            --frame_delay;
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
            bool space = key_down(key_space);
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
            draw_number(top_left, view.pitch, space_frame);
            unlock_back_buffer();
        }
        // 48 samples per period: 1 kHz at 48000 Hz, continuous across frames.
        for (uint32_t i = 0; i < samples_this_frame && i < sample_buffer_pairs; ++i, ++phase) {
            int16_t s = (phase % 48) < 24 ? 8000 : -8000;
            SampleBuffer[i] = {s, s};
        }
        end_frame();
        for (uint32_t extra = 0; extra < frame_delay; ++extra)
            pace_and_present();
    }
}
