// One emulated frame with the real CPU: the frame interrupt, HALT, overshoot, FLASH, and
// border stripes drawn by timed OUTs landing on the T-state they were written.
#include <gtest/gtest.h>

#include "zx_test_support.h"

namespace {

// Places code at `at` (the ROM area too: the test writes the array directly).
void place(uint16_t at, std::initializer_list<int> code)
{
    for (int b : code)
        zx.memory[at++] = static_cast<uint8_t>(b);
}

void machine_with_handler()
{
    zx_test_fresh_machine();
    sample_phase = 0;
    samples_per_frame_x256 = 960 * 256;
    zx.cpu.sp = 0xFF00;
    zx.cpu.im = 2; // IM 1
    // 0x0038: INC (HL); EI; RET  -- counts interrupts at (HL)
    place(0x0038, {0x34, 0xFB, 0xC9});
    zx.cpu.hl = 0x9000;
}

TEST(ZxFrame, InterruptOnlyWhenEnabledAtTheFrameStart)
{
    machine_with_handler();
    // DI is in force at the frame start; EI follows 8 T-states later, then HALT.
    place(0x8000, {0x00, 0x00, 0xFB, 0x76, 0x3E, 0x07, 0x76});
    zx.cpu.pc = 0x8000;
    zx_emulate_frame();
    EXPECT_EQ(zx.memory[0x9000], 0);
    EXPECT_EQ(zx.cpu.pc, 0x8003); // still halted
    EXPECT_EQ(zx.cpu.a, 0x00);

    // Next frame: accepted; the handler returns after the HALT (LD A,7; HALT).
    zx_emulate_frame();
    EXPECT_EQ(zx.memory[0x9000], 1);
    EXPECT_EQ(zx.cpu.a, 0x07);
    EXPECT_EQ(zx.cpu.pc, 0x8006);
    EXPECT_EQ(zx.cpu.sp, 0xFF00);
    zx_emulate_frame();
    EXPECT_EQ(zx.memory[0x9000], 2); // once per frame, not more
}

TEST(ZxFrame, AtLeastOneInstructionAndOvershootShortensTheNextFrame)
{
    zx_test_fresh_machine();
    place(0x8000, {0x01, 0x34, 0x12, 0x00}); // LD BC,0x1234 (10 T); NOP
    zx.cpu.pc = 0x8000;
    zx.cpu.ticks = -50 * 4096; // already past the end: one instruction still runs
    zx_run_frame(&zx.cpu);
    EXPECT_EQ(zx.cpu.bc, 0x1234);
    EXPECT_EQ(zx.cpu.pc, 0x8003);
    EXPECT_EQ(zx.cpu.ticks, -60 * 4096);

    zx.cpu.pc = 0x8000;
    zx.cpu.ticks = 1 * 4096; // 1 T left: the 10 T instruction overshoots by 9
    zx_run_frame(&zx.cpu);
    EXPECT_EQ(zx.cpu.ticks, -9 * 4096);
    EXPECT_EQ(zx.cpu.pc, 0x8003);

    // A frame of NOPs after that overshoot: 71671 T-states = 17917 NOPs + 3 T.
    for (uint32_t a = 0x4000; a < 0x10000; ++a)
        zx.memory[a] = 0x00;
    zx.cpu.pc = 0x4000;
    zx.cpu.iff = 0;
    zx_emulate_frame();
    EXPECT_EQ(zx.cpu.pc, 0x4000 + 17918);
    EXPECT_EQ(zx.cpu.ticks, -1 * 4096);
}

TEST(ZxFrame, FlashPhaseTurnsEvery25Frames)
{
    machine_with_handler();
    place(0x8000, {0xF3, 0x76}); // DI; HALT
    zx.cpu.pc = 0x8000;
    for (int frame = 1; frame <= 75; ++frame) {
        zx_emulate_frame();
        const uint8_t expected = (frame / 25) & 1 ? 0xFF : 0x00;
        ASSERT_EQ(zx.flash_phase, expected) << "frame " << frame;
    }
}

TEST(ZxFrame, BorderStripesLandOnTheTStateOfTheirOut)
{
    zx_test_fresh_machine();
    // LD A,2; OUT (0xFE),A; then 40 NOPs; LD A,5; OUT (0xFE),A; DI; HALT
    uint16_t at = 0x8000;
    place(at, {0x3E, 0x02, 0xD3, 0xFE});
    at += 4;
    for (int i = 0; i < 40; ++i)
        zx.memory[at++] = 0x00;
    place(at, {0x3E, 0x05, 0xD3, 0xFE, 0xF3, 0x76});
    zx.cpu.pc = 0x8000;
    zx.cpu.iff = 0;
    zx.cpu.ticks = -(71680 - 68150 + 10) * 4096; // so that the first OUT falls inside row 0
    zx_emulate_frame();
    // The port is written 7 T-states into OUT (after its opcode fetch and operand read).
    const int32_t first = 71680 - (71680 - 68150 + 10) - 7 - 7;
    ASSERT_EQ(zx.border_event_count, 2);
    EXPECT_EQ(zx.zx_border_events[0].time, first);
    EXPECT_EQ(zx.zx_border_events[1].time, first - 4 - 160 - 7 - 7);
    zx.zx_border_events[zx.border_event_count++] = {-1000, 0};
    zx.border_event_count = zx_render_border(zx.zx_picture, zx.border_event_count);
    // First write: elapsed 24 T-states after the first pixel, 6 picture pixels per T-state.
    ASSERT_EQ(68150 - first, 24);
    EXPECT_EQ(zx.zx_picture[24 * 6 - 1], zx_palettes[0][0]);
    EXPECT_EQ(zx.zx_picture[24 * 6], zx_palettes[0][2]);
    EXPECT_EQ(zx.zx_picture[175 * 6 + 5], zx_palettes[0][2]);
    // Second write: elapsed 202, in row 0's retrace, so it shows from row 1's first pixel.
    EXPECT_EQ(zx.zx_picture[zx_picture_width], zx_palettes[0][5]);
    EXPECT_EQ(zx.zx_picture[287 * zx_picture_width + 1055], zx_palettes[0][5]);
}

} // namespace

namespace {

void host_keys(std::initializer_list<uint8_t> codes)
{
    for (int i = 0; i < 256; ++i)
        KeyState[i] = 0;
    for (uint8_t c : codes)
        KeyState[c] = 0x80;
}

void settle()
{
    host_keys({});
    zx_frame_input();
    zx_frame_input();
}

TEST(ZxFrameInput, BothCtrlKeysResetOncePerPress)
{
    zx_test_fresh_machine();
    settle();
    zx.cpu.pc = 0x1234;
    zx.cpu.iff = 6;
    zx.cpu.sp = 0x5555;
    host_keys({0x1D, 0x9D});
    zx_frame_input();
    EXPECT_EQ(zx.cpu.pc, 0);
    EXPECT_EQ(zx.cpu.iff, 0);
    EXPECT_EQ(zx.cpu.sp, 0x5555); // nothing else is reset
    zx.cpu.pc = 0x1234;
    zx_frame_input(); // still held
    EXPECT_EQ(zx.cpu.pc, 0x1234);
    host_keys({0x1D});
    zx_frame_input();
    host_keys({0x1D, 0x9D});
    zx_frame_input();
    EXPECT_EQ(zx.cpu.pc, 0);
}

TEST(ZxFrameInput, UnreadableSnapshotsAreReportedAndTheProgramGoesOn)
{
    const std::string dir = zx_test_temp_dir("input");
    zx_test_fresh_machine();
    settle();
    zx.cpu.pc = 0x8000;
    zx.memory[0x8000] = 0x76;
    std::snprintf(zx.snapshot_name, sizeof zx.snapshot_name, "%s/gone.sna", dir.c_str());
    host_keys({0xDB, 0x26}); // Left Windows + L: reload
    zx_frame_input();
    EXPECT_EQ(zx.cpu.pc, 0x8000);

    std::snprintf(dropped_file, sizeof dropped_file, "%s/also-gone.sna", dir.c_str());
    drop_pending = 1;
    zx.last_fe = 0x07;
    settle();
    EXPECT_EQ(drop_pending, 0);
    EXPECT_EQ(zx.cpu.pc, 0x8000);
    EXPECT_EQ(zx.last_fe, 0x07);

    // Left Windows + S saves to the start-up name; a dropped good file is then loaded.
    host_keys({0xDB, 0x1F});
    zx_frame_input();
    EXPECT_EQ(zx_test_read_file(zx.snapshot_name).size(), zx_sna_size);
    zx.cpu.pc = 0x9999;
    zx.beeper_edge_count = 3;
    zx.border_event_count = 2;
    zx.border_colour = 5;
    std::snprintf(dropped_file, sizeof dropped_file, "%s", zx.snapshot_name);
    drop_pending = 1;
    settle();
    EXPECT_EQ(zx.cpu.pc, 0x8000);
    EXPECT_EQ(zx.last_fe, 3);
    EXPECT_EQ(zx.border_colour, 0);
    EXPECT_EQ(zx.beeper_edge_count, 0);
    EXPECT_EQ(zx.border_event_count, 0);
}

TEST(ZxFrameInput, HotKeysAndTheGraveKeyHoldTheMatrixStill)
{
    zx_test_fresh_machine();
    settle();
    host_keys({0x1E}); // A
    zx_frame_input();
    EXPECT_EQ(zx.zx_port_table[0xFD], 0xFE);
    host_keys({0x29}); // grave: palette, matrix unchanged while held
    zx_frame_input();
    EXPECT_EQ(zx.palette_index, 1);
    EXPECT_EQ(zx.zx_port_table[0xFD], 0xFE);
    zx_frame_input();
    EXPECT_EQ(zx.palette_index, 1); // once per press
    host_keys({0xDB, 0x21, 0x10}); // Left Windows + F (+ Q): full screen, no key scan
    const uint8_t was = fullscreen;
    zx_frame_input();
    EXPECT_NE(fullscreen, was);
    EXPECT_EQ(zx.zx_port_table[0xFB], 0xFF);
    host_keys({});
    zx_frame_input();
    EXPECT_EQ(zx.zx_port_table[0xFD], 0xFF);
    fullscreen = was;
}

} // namespace

namespace {

TEST(ZxFrame, ThePictureIsTripledCentredIntoTheBackBuffer)
{
    zx_test_fresh_machine();
    zx.border_colour = 1;
    zx.memory[0x4000] = 0x80;
    zx.memory[0x5800] = 0x47; // BRIGHT white ink on black
    zx.zx_border_events[0] = {3000, 3};
    zx.border_event_count = 1;
    zx_paint_frame();
    EXPECT_EQ(zx.border_event_count, 1); // a change after the last painted row waits
    BackBufferView view;
    ASSERT_TRUE(lock_back_buffer(&view));
    const uint32_t left = back_buffer_width / 2 - 528, top = back_buffer_height / 2 - 432;
    const uint32_t* screen = view.pixels + (top + 144 + 1) * view.pitch + left + 144;
    EXPECT_EQ(screen[0], 0xFFFFFFu); // middle row of the first tripled line: full brightness
    EXPECT_EQ(screen[3], 0x000000u);
    EXPECT_EQ(view.pixels[(top + 1) * view.pitch + left], 0x0000D5u); // border, palette 0 blue
    EXPECT_EQ(view.pixels[(top + 1) * view.pitch + left - 1], 0u);    // nothing left of the picture
    unlock_back_buffer();

    // A surface smaller than the tripled picture is left alone.
    std::vector<uint32_t> small(800 * 600, 0x123456);
    zx_render_frame_into(small.data(), 800, 800, 600);
    for (uint32_t p : small)
        ASSERT_EQ(p, 0x123456u);
}

} // namespace
