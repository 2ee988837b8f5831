// Painting by change: every frame's surface, picture and border state equal what the
// full painting (border, screen, x3 filter over the whole) gives from the same machine,
// over scripted frames that touch the screen, the border, FLASH and the palette in many
// patterns, a Z80 program, and a randomized run.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "zx_test_support.h"

namespace {

constexpr uint32_t SW = 1200, SH = 960;
ZxMachine before_frame, after_frame; // too big for the stack

uint32_t bitmap_address(uint32_t y, uint32_t column)
{
    return 0x4000 + ((y & 0xC0) << 5) + ((y & 7) << 8) + ((y & 0x38) << 2) + column;
}

void add_event(int32_t time, uint8_t colour) { zx.zx_border_events[zx.border_event_count++] = {time, colour}; }

// T-states left in the frame at T-state `t` of picture row `row`.
int32_t time_of(int32_t row, int32_t t) { return 68150 - (row * 224 + t); }

struct TwoPaintings {
    std::vector<uint32_t> by_change = std::vector<uint32_t>(SW * SH, 0x123456);
    std::vector<uint32_t> whole = std::vector<uint32_t>(SW * SH, 0x123456);
    int frame = 0;
    int unchanged_frames = 0; // frames the painting reported as writing nothing

    // Paints the frame both ways from the same state and compares; the machine then
    // goes on from the painting by change.
    void paint_and_compare(const char* what)
    {
        before_frame = zx;
        const std::vector<uint32_t> shown = by_change;
        const bool wrote = zx_render_frame_into(by_change.data(), SW, SW, SH);
        after_frame = zx;
        // A painting that says it wrote nothing lets the window skip its look for
        // changed rows: it must have left the surface exactly as it was.
        if (!wrote) {
            ASSERT_TRUE(shown == by_change) << what << ", frame " << frame << ": changed but reported unchanged";
        }
        unchanged_frames += !wrote;

        zx = before_frame;
        zx.zx_border_events[zx.border_event_count++] = {-1000, 0};
        zx.border_event_count = zx_render_border(zx.zx_picture, zx.border_event_count);
        zx_render_screen(zx.memory + 0x4000, zx.memory + 0x5800,
                         zx.zx_picture + zx_screen_row * zx_picture_width + zx_screen_column);
        filter_rows_x3_scanlines(zx.zx_picture, whole.data() + (SH / 2 - 432) * SW + SW / 2 - 528, zx_picture_width,
                                 zx_picture_height, 0, SW);
        ASSERT_EQ(zx.border_colour, after_frame.border_colour) << what << ", frame " << frame;
        ASSERT_EQ(zx.border_event_count, after_frame.border_event_count) << what << ", frame " << frame;
        ASSERT_TRUE(std::equal(zx.zx_border_events, zx.zx_border_events + zx.border_event_count,
                               after_frame.zx_border_events,
                               [](const ZxBorderEvent& a, const ZxBorderEvent& b) {
                                   return a.time == b.time && a.colour == b.colour;
                               }))
            << what << ", frame " << frame;
        const auto mismatch = std::mismatch(by_change.begin(), by_change.end(), whole.begin());
        ASSERT_TRUE(mismatch.first == by_change.end())
            << what << ", frame " << frame << ": first difference at surface row "
            << (mismatch.first - by_change.begin()) / SW << ", column " << (mismatch.first - by_change.begin()) % SW;
        zx = after_frame;
        ++frame;
    }
};

using Script = std::function<void(int frame)>;

struct Case {
    const char* what;
    int frames;
    Script script;
};

TEST(ZxPictureByChange, EveryFrameEqualsTheFullPainting)
{
    const Case cases[] = {
        {"nothing changes", 4, [](int) {}},
        {"one bitmap byte per frame, all over the screen", 40,
         [](int f) {
             const uint32_t y = (f * 37) % 192, column = (f * 7) % 32;
             zx.memory[bitmap_address(y, column)] ^= static_cast<uint8_t>(0x81 + f);
         }},
        {"the first and last byte of every third, and a write of the same value", 12,
         [](int f) {
             const uint32_t lines[] = {0, 7, 63, 64, 127, 128, 191};
             for (uint32_t y : lines)
                 zx.memory[bitmap_address(y, (f & 1) ? 31 : 0)] = static_cast<uint8_t>(f * 29);
             zx.memory[0x4000] = zx.memory[0x4000]; // unchanged byte
         }},
        {"attributes: ink, paper, BRIGHT", 24,
         [](int f) {
             zx.memory[0x5800 + (f * 33) % 768] = static_cast<uint8_t>(f * 11);
             zx.memory[0x5AFF] = static_cast<uint8_t>(f & 0x7F);
         }},
        {"FLASH attributes come and go while the phase turns", 30,
         [](int f) {
             if (f % 3 == 0)
                 zx.flash_phase = static_cast<uint8_t>(~zx.flash_phase);
             zx.memory[0x5800 + 32 * (f % 24) + 5] = static_cast<uint8_t>((f & 4) ? 0x97 : 0x17);
             if (f == 10)
                 for (uint32_t a = 0x5800; a < 0x5B00; a += 3)
                     zx.memory[a] = 0xB8;
             if (f == 20)
                 std::memset(zx.memory + 0x5800, 0x38, 768);
         }},
        {"border: one colour, then another", 6, [](int f) { zx.border_colour = static_cast<uint8_t>(f / 2); }},
        {"border: the same stripes every frame, then one row differs", 8,
         [](int f) {
             for (int32_t row = 0; row < 288; row += 9)
                 add_event(time_of(row, row % 176), static_cast<uint8_t>(row % 8));
             if (f >= 4)
                 add_event(time_of(287, 100), static_cast<uint8_t>(f % 8));
         }},
        {"border: before the picture, in retrace, at row starts, after the picture", 10,
         [](int f) {
             add_event(71000, static_cast<uint8_t>(f % 8));
             add_event(68150, static_cast<uint8_t>((f + 1) % 8));
             add_event(time_of(3, 176), 2);
             add_event(time_of(3, 223), 5);
             add_event(time_of(4, 0), static_cast<uint8_t>((f + 3) % 8));
             add_event(time_of(60, 30), 6); // inside the screen window
             add_event(time_of(60, 30), 1); // same T-state: the later wins
             add_event(time_of(61, 10), 4);
             add_event(time_of(61, 10), 1); // undone at once
             add_event(time_of(287, 175), 3);
             add_event(time_of(287, 200), 7);
             add_event(-3, static_cast<uint8_t>(f % 5)); // carried to the next frame
         }},
        {"palette changes", 7,
         [](int f) {
             if (f % 2 == 1)
                 zx_next_palette();
             zx.memory[0x4800 + f] = 0xF0;
         }},
        {"the whole screen replaced at once", 5,
         [](int f) {
             for (uint32_t a = 0x4000; a < 0x5B00; ++a)
                 zx.memory[a] = static_cast<uint8_t>(a * (f + 3) + (a >> 8));
         }},
    };
    for (const Case& c : cases) {
        zx_test_fresh_machine();
        TwoPaintings run;
        for (int f = 0; f < c.frames; ++f) {
            c.script(f);
            run.paint_and_compare(c.what);
            if (HasFatalFailure())
                return;
        }
        // A still picture is recognised as such after its first painting.
        if (std::string(c.what) == "nothing changes") {
            EXPECT_EQ(run.unchanged_frames, c.frames - 1);
        }
    }
}

TEST(ZxPictureByChange, AZ80ProgramWritingScreenBorderAndFlashEqualsTheFullPainting)
{
    zx_test_fresh_machine();
    sample_phase = 0;
    samples_per_frame_x256 = 960 * 256;
    // Rewrites screen bytes and attributes (FLASH included) and sends each to port 0xFE,
    // so the border changes at scattered T-states; IM 1 with EI; RET at 0x0038.
    const uint8_t program[] = {
        0x21, 0x00, 0x40, // start: LD HL,0x4000
        0x7E,             // inner: LD A,(HL)
        0x85,             //        ADD A,L
        0xAC,             //        XOR H
        0x77,             //        LD (HL),A
        0x01, 0x40, 0x00, //        LD BC,64
        0x09,             //        ADD HL,BC
        0xD3, 0xFE,       //        OUT (0xFE),A
        0x7C,             //        LD A,H
        0xFE, 0x5B,       //        CP 0x5B
        0x38, 0xF1,       //        JR C,inner
        0x2C,             //        INC L (next column of 64)
        0x7D,             //        LD A,L
        0xE6, 0x3F,       //        AND 0x3F
        0x6F,             //        LD L,A
        0x26, 0x40,       //        LD H,0x40
        0x18, 0xE9,       //        JR inner
    };
    std::memcpy(zx.memory + 0x8000, program, sizeof program);
    zx.memory[0x38] = 0xFB; // EI
    zx.memory[0x39] = 0xC9; // RET
    zx.cpu.pc = 0x8000;
    zx.cpu.sp = 0xFF00;
    zx.cpu.im = 1;
    zx.cpu.iff = 6;
    TwoPaintings run;
    for (int f = 0; f < 80; ++f) {
        zx_emulate_frame(); // FLASH turns every 25 frames
        run.paint_and_compare("Z80 program");
        if (HasFatalFailure())
            return;
    }
}

TEST(ZxPictureByChange, ARandomizedRunEqualsTheFullPainting)
{
    zx_test_fresh_machine();
    std::mt19937 random(1234);
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    TwoPaintings run;
    for (int f = 0; f < 300; ++f) {
        // Quiet frames in between, so that unchanged rows are left alone for a while.
        const bool quiet = below(3) == 0;
        const uint32_t pokes = quiet ? 0 : below(4) == 0 ? below(400) : below(8);
        for (uint32_t k = 0; k < pokes; ++k)
            zx.memory[0x4000 + below(zx_screen_bytes)] = static_cast<uint8_t>(random());
        if (!quiet && below(5) == 0) {
            std::vector<int32_t> times(below(40));
            for (int32_t& t : times)
                t = static_cast<int32_t>(below(72000)) - 20;
            std::sort(times.rbegin(), times.rend());
            for (int32_t t : times)
                add_event(t, static_cast<uint8_t>(below(8)));
        }
        if (below(10) == 0)
            zx.flash_phase = static_cast<uint8_t>(~zx.flash_phase);
        if (below(60) == 0)
            zx_next_palette();
        run.paint_and_compare("randomized");
        if (HasFatalFailure())
            return;
    }
}

} // namespace
