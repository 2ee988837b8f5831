// The 15IE terminal: video generator timing and flags, the console handshake, and a
// synthetic ROM that stores console bytes in display memory and shows them.
#include "terminals_test_support.h"

#include <string>

namespace {

Ie15Terminal& t = ie15_terminal;

void fresh_ie15(const std::vector<uint8_t>& program, ConsoleRing* ring)
{
    terminals_allocate();
    load_ie15_program(program);
    terminals_restart(nullptr, ring, false, true);
    t.blinkCounter = 0;
}

TEST(Ie15Video, FrameIs61600StepsWithBlankMarkerAndRowFlags)
{
    fresh_ie15({0x10, 0x00, 0x10, 0x00}, nullptr); // jmp 001 for ever (never used here)
    Ie15Cpu& cpu = t.cpu;
    // Count what each flag does over one frame of video steps alone.
    uint32_t hblank_steps = 0, marker_steps = 0, rows_seen = 0, last_vrow = 0;
    for (uint32_t step = 0; step < 61600; ++step) {
        ie15_video_step(&cpu);
        hblank_steps += cpu.flags[IE15_FLAG_HBLANK];
        marker_steps += cpu.flags[IE15_FLAG_MARKER];
        if (cpu.vrow != last_vrow) {
            ++rows_seen;
            EXPECT_EQ(cpu.flags[IE15_FLAG_VBLANK], cpu.vrow > 2) << cpu.vrow;
            last_vrow = cpu.vrow;
        }
        if (step == 61600 - 41) { // the last line's drawing is done: its blank follows
            EXPECT_EQ(cpu.vrow, 0u);
        }
    }
    EXPECT_EQ(cpu.vrow, 0u);
    EXPECT_EQ(cpu.line, 0u);
    EXPECT_EQ(cpu.xpos, 0u);
    EXPECT_EQ(cpu.flags[IE15_FLAG_HBLANK], 0);
    EXPECT_EQ(rows_seen, 28u);
    EXPECT_EQ(t.lineOffset, ie15_picture_offset);
    // 308 lines of 40 blank steps; the marker flag spans three marker lines per row and
    // the blanks before them.
    EXPECT_EQ(hblank_steps, 308u * 40u);
    EXPECT_EQ(marker_steps, 28u * (3u * 200u));
    // A second frame repeats the first.
    for (uint32_t step = 0; step < 61600; ++step)
        ie15_video_step(&cpu);
    EXPECT_EQ(cpu.vrow, 0u);
    EXPECT_EQ(t.lineOffset, ie15_picture_offset);
}

TEST(Ie15Video, GlyphsBlinkSystemLineAndMarkers)
{
    fresh_ie15({0x10, 0x00}, nullptr);
    Ie15Cpu& cpu = t.cpu;
    uint8_t* display = t.block + ie15_display_offset;
    display[0] = 'A';
    display[1] = 0x07; // below 32: blinks, and RED hides it
    display[2] = 'Z';
    const uint8_t* picture = t.block + ie15_picture_offset;
    auto run_frame = [&](uint8_t vdis, uint8_t syslin, uint8_t marken, uint8_t blink, uint8_t red) {
        std::memset(t.block + ie15_picture_offset, 0, ie15_picture_size);
        cpu.vdis = vdis;
        cpu.syslin = syslin;
        cpu.marken = marken;
        t.blinkPhase = blink;
        cpu.in_ports[IE15_IN_KRED] = red;
        // Adr back to 0 at every line start, as a terminal program does in the blank.
        for (uint32_t step = 0; step < 61600; ++step) {
            if (cpu.flags[IE15_FLAG_HBLANK])
                cpu.adr = 0;
            ie15_video_step(&cpu);
        }
    };
    // Picture off: nothing drawn, Adr still.
    run_frame(0, 0, 0, 0, 0);
    cpu.adr = 5;
    for (int step = 0; step < 400; ++step)
        ie15_video_step(&cpu);
    EXPECT_EQ(cpu.adr, 5u);
    cpu.adr = 0; // the next line starts outside a blank
    for (uint32_t y = 0; y < ie15_picture_lines; y += 7)
        EXPECT_EQ(cell_byte(picture + y * 100, 0, 0), 0) << y;

    struct Case {
        uint8_t syslin, marken, blink, red;
        bool control_shown, row3_shown, marks;
    };
    const Case cases[] = {
        {0, 0, 0, 0, true, true, false},   // all shown, no marks
        {0, 0, 0, 0x80, false, true, false}, // RED hides control codes
        {0, 0, 1, 0, false, true, false},  // blink phase hides them too
        {1, 0, 0, 0, true, false, false},  // the system line (row 3) off
        {0, 1, 1, 0, false, true, true},   // markers: glyph rows 0-2 in the marker lines
    };
    for (const Case& c : cases) {
        run_frame(1, c.syslin, c.marken, c.blink, c.red);
        for (uint32_t row = 0; row < 28; ++row) {
            const bool shown = row != 3 || c.row3_shown;
            for (uint32_t g = 0; g < 8; ++g) {
                const uint8_t* line = picture + (row * 11 + g) * 100;
                EXPECT_EQ(cell_byte(line, 0, 0), shown ? test_glyph('A', g) : 0) << row << " " << g;
                EXPECT_EQ(cell_byte(line, 1, 0), shown && c.control_shown ? test_glyph(7, g) : 0);
                EXPECT_EQ(cell_byte(line, 2, 0), shown ? test_glyph('Z', g) : 0);
            }
            for (uint32_t m = 0; m < 3; ++m) {
                const uint8_t* line = picture + (row * 11 + 8 + m) * 100;
                // Marker lines advance Adr once per cell while drawing marks.
                EXPECT_EQ(cell_byte(line, 0, 0), c.marks ? test_glyph('A', m) : 0) << row << " " << m;
                EXPECT_EQ(cell_byte(line, 2, 0), c.marks ? test_glyph('Z', m) : 0);
            }
        }
    }
}

TEST(Ie15Terminal, SyntheticRomStoresConsoleBytesAndShowsThem)
{
    ConsoleRing ring{};
    fresh_ie15(ie15_echo_program(), &ring);
    for (uint8_t byte : {uint8_t(0x17), uint8_t('K'), uint8_t('o'), uint8_t(0x01), uint8_t('!'), uint8_t(0)})
        console_ring_append(ring, byte);
    std::vector<uint8_t> text(terminal_text_size, 0xEE);
    for (int frame = 0; frame < 3; ++frame) {
        terminals_frame_start(true);
        ie15_catch_up();
        EXPECT_LT(t.cpu.budget, 0);
        EXPECT_GE(t.cpu.budget, -2 * 256);
    }
    EXPECT_EQ(ring.waiting, 0u);
    EXPECT_EQ(t.cpu.in_ports[IE15_IN_RRDY], 0x80);
    const uint8_t* display = t.block + ie15_display_offset;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(display), 6), std::string("\x17Ko\x01!\0", 6));
    EXPECT_EQ(t.cpu.vdis, 1);

    // Shown from generator line 22: text lines 0-10 blank, then rows 3.. of the terminal.
    ie15_render_text(text.data(), false);
    for (uint32_t y = 0; y < 11; ++y)
        for (uint32_t x = 0; x < terminal_width; x += 3)
            ASSERT_EQ(text_pixel(text.data(), x, y), 0) << x << " " << y;
    for (uint32_t row = 1; row < 26; ++row)
        for (uint32_t g = 0; g < 8; ++g) {
            const uint8_t* line = text.data() + (row * 11 + g) * 100;
            EXPECT_EQ(cell_byte(line, 0, 0), 0); // 0x17 and 0x01 hidden while RED is on
            EXPECT_EQ(cell_byte(line, 1, 0), test_glyph('K', g)) << row << " " << g;
            EXPECT_EQ(cell_byte(line, 2, 0), test_glyph('o', g));
            EXPECT_EQ(cell_byte(line, 3, 0), 0);
            EXPECT_EQ(cell_byte(line, 4, 0), test_glyph('!', g));
            EXPECT_EQ(cell_byte(line, 5, 0), 0);
        }
    // RED off (NumLock): the control codes appear outside the blink phase.
    t.cpu.in_ports[IE15_IN_KRED] = 0;
    t.blinkCounter = 9; // the next frame is counter 0: blink phase off
    terminals_frame_start(true);
    ie15_catch_up();
    ie15_render_text(text.data(), false);
    EXPECT_EQ(cell_byte(text.data() + 11 * 100, 0, 0), test_glyph(0x17, 0));
    EXPECT_EQ(cell_byte(text.data() + 12 * 100, 3, 0), test_glyph(0x01, 1));

    // KGD text off: nothing of the terminal is shown.
    ie15_render_text(text.data(), true);
    for (uint8_t byte : text)
        ASSERT_EQ(byte, 0);
}

TEST(Ie15Terminal, FontRearrangement)
{
    std::vector<uint8_t> font(ie15_font_size);
    for (uint32_t n = 0; n < font.size(); ++n)
        font[n] = uint8_t(n / 8);
    ie15_rearrange_font(font.data());
    EXPECT_EQ(font[0x000], 0x40);
    EXPECT_EQ(font[0x0FF], 0x5F);
    EXPECT_EQ(font[0x100], 0x20); // the rest stays
    EXPECT_EQ(font[0x400], 0xC0);
    EXPECT_EQ(font[0x4FF], 0xDF);
    EXPECT_EQ(font[0x600], 0xC0);

}

} // namespace
