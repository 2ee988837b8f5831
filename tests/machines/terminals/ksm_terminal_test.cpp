// The KSM terminal: input by interrupt at HALT, the protected ROM, ports, and the text
// picture with status rows, the row ring and the marks.
#include "terminals_test_support.h"

#include "machines/dvk/dvk_boards.h"

#include <string>

namespace {

KsmTerminal& k = ksm_terminal;

void fresh_ksm(const std::vector<Z80Code>& program, ConsoleRing* ring)
{
    terminals_allocate();
    load_ksm_program(program);
    terminals_restart(ring, nullptr, true, false);
}

TEST(KsmTerminal, SyntheticProgramTakesBytesAtHaltAndWritesTextRows)
{
    ConsoleRing ring{};
    fresh_ksm(ksm_echo_program(), &ring);
    const std::string typed = "Hello, KSM";
    for (char c : typed)
        console_ring_append(ring, uint8_t(c));
    ksm_run_frame(20000);
    EXPECT_EQ(ring.waiting, 0u);
    uint8_t* block = k.block;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block + 0xE030), typed.size()), typed);
    EXPECT_EQ(block[0xE030 + typed.size()], 0);
    EXPECT_EQ(block[0x0100], 0xA5); // the ROM kept its byte
    EXPECT_EQ(k.inputLatch, uint8_t('M'));
    EXPECT_EQ(k.rowLatch, 47);
    // Back in the HALT loop with interrupts on, the stack balanced.
    EXPECT_EQ(k.tpu.pc, 0x0018);
    EXPECT_EQ(k.tpu.sp, 0xF000);
    EXPECT_TRUE(z80_iff1(&k.tpu));
    // The return address pushed by the input interrupt points past the HALT.
    EXPECT_EQ(block[0xEFFE], 0x19);
    EXPECT_EQ(block[0xEFFF], 0x00);

    // The picture: status row 'S', row 2 = screen row 47 (blank), row 3 = screen row 0.
    std::vector<uint8_t> text(terminal_text_size, 0xEE);
    k.blinkCounter = 5; // no marks
    ksm_render_text(text.data(), false);
    auto cell = [&](uint32_t row, uint32_t col, uint32_t line) {
        return cell_byte(text.data() + (row * 11 + line) * 100, col, 0);
    };
    // Cells holding 0 show code 0's glyph, which the test font does not leave blank.
    for (uint32_t g = 0; g < 8; ++g) {
        EXPECT_EQ(cell(0, 0, g), test_glyph('S', g));
        EXPECT_EQ(cell(1, 0, g), test_glyph(0, g));
        EXPECT_EQ(cell(2, 0, g), test_glyph(0, g));
        for (uint32_t c = 0; c < typed.size(); ++c)
            EXPECT_EQ(cell(3, c, g), test_glyph(uint8_t(typed[c]), g)) << c << " " << g;
        EXPECT_EQ(cell(3, 79, g), test_glyph(0, g));
    }
    for (uint32_t m = 8; m < 11; ++m)
        EXPECT_EQ(cell(3, 0, m), 0);
    // Blink phase: the attribute byte's glyph rows 0-2 under the character.
    k.blinkCounter = 4;
    ksm_render_text(text.data(), false);
    for (uint32_t m = 0; m < 3; ++m) {
        EXPECT_EQ(cell(3, 0, 8 + m), test_glyph(0x5F, m));
        EXPECT_EQ(cell(3, 1, 8 + m), test_glyph(0, m));
    }
    // The ring of 48: latch 47 shows rows 47, 0, 1, ... 22.
    block[0xE030 + 22 * 128 + 5] = 'q';
    block[0xE030 + 23 * 128 + 5] = 'r';
    ksm_render_text(text.data(), false);
    EXPECT_EQ(cell(25, 5, 0), test_glyph('q', 0));
    // KGD text off: blank.
    ksm_render_text(text.data(), true);
    for (uint8_t byte : text)
        ASSERT_EQ(byte, 0);
}

TEST(KsmTerminal, NoHaltWithInterruptsMeansNoInput)
{
    const struct {
        const char* what;
        std::vector<uint8_t> code;
    } programs[] = {
        {"halt with interrupts off", {0x31, 0x00, 0xF0, 0xF3, 0x76}},
        {"interrupts on, no halt", {0x31, 0x00, 0xF0, 0xFB, 0x18, 0xFE}},
    };
    for (const auto& p : programs) {
        ConsoleRing ring{};
        fresh_ksm({{0, p.code}}, &ring);
        console_ring_append(ring, 'x');
        ksm_run_frame(5000);
        EXPECT_EQ(ring.waiting, 1u) << p.what;
        EXPECT_EQ(k.inputLatch, 0) << p.what;
        EXPECT_LT(k.tpu.pc, 0x10) << p.what;
    }
}

TEST(KsmTerminal, PortsAndRomProtection)
{
    // out (0x78),a / in a,(0x78) / in a,(0x79) / in a,(0x7A) into RAM, a write below 0x2000.
    const std::vector<uint8_t> code = {
        0x3E, 0x2A, 0xD3, 0x78,       // ld a,42; out (0x78),a
        0x3E, 0x00, 0xDB, 0x78,       // ld a,0; in a,(0x78)
        0x32, 0x00, 0x30,             // ld (0x3000),a
        0x3E, 0x11, 0xDB, 0x79, 0x32, 0x01, 0x30, // in a,(0x79) -> 0x3001
        0x3E, 0x11, 0xDB, 0x7A, 0x32, 0x02, 0x30, // in a,(0x7A) -> 0x3002
        0x3E, 0x11, 0xD3, 0x76,       // out (0x76): ignored
        0xDB, 0x76, 0x32, 0x03, 0x30, // in a,(0x76) -> 0x3003
        0x21, 0x00, 0x00, 0x36, 0x99, // ld (hl=0),0x99: the ROM stays
        0x21, 0xFF, 0x1F, 0x36, 0x98, // 0x1FFF: still ROM
        0x21, 0x00, 0x20, 0x36, 0x97, // 0x2000: RAM
        0x18, 0xFE,
    };
    ConsoleRing ring{};
    fresh_ksm({{0, code}}, &ring);
    k.block[0x3000] = 0xFF; // RAM is cleared at restart
    ksm_terminal_setup();
    EXPECT_EQ(k.block[0x3000], 0);
    ksm_run_frame(400);
    EXPECT_EQ(k.rowLatch, 42);
    EXPECT_EQ(k.block[0x3000], 42);
    EXPECT_EQ(k.block[0x3001], 0);
    EXPECT_EQ(k.block[0x3002], 0);
    EXPECT_EQ(k.block[0x3003], 0);
    EXPECT_EQ(k.block[0x0000], 0x3E);
    EXPECT_EQ(k.block[0x1FFF], 0x00);
    EXPECT_EQ(k.block[0x2000], 0x97);
}

// The terminal's text under the KGD bitmap, drawn by the KGD board's own composition.
TEST(TerminalCompose, KgdBitmapOverTextInThePaletteColours)
{
    std::vector<uint8_t> text(terminal_text_size, 0);
    std::vector<uint8_t> kgd(kgd_memory_size, 0);
    // Text: pixel 3 of line 0 and pixel 799 of line 285. KGD: its pixel 10 of line 1 (our
    // 20 and 21) and the whole of line 285's first byte (our 0-15).
    text[0 ^ 1] = 0x10;
    text[285 * 100 + (99 ^ 1)] = 0x01;
    kgd[1 * 50 + 1] = 0x20;
    kgd[285 * 50] = 0xFF;
    const KgdBoard saved = dvk.kgd;
    const int saved_palette = workstation.kgdPaletteIndex;
    dvk.kgd.memory = kgd.data();
    dvk.kgd.control = 0x8000; // graphics on, text on
    workstation.kgdPaletteIndex = 0;
    const uint32_t bg = 0x142110, fg = 0x03FF15;
    ASSERT_EQ(kgd_palettes[0][0], bg);
    ASSERT_EQ(kgd_palettes[0][1], fg);
    std::vector<uint32_t> picture(terminal_width * terminal_lines + 1, 0xDEAD);
    kgd_compose(text.data(), picture.data());
    auto lit = [&](uint32_t x, uint32_t y) { return picture[y * terminal_width + x] == fg; };
    for (uint32_t y = 0; y < terminal_lines; ++y)
        for (uint32_t x = 0; x < terminal_width; ++x) {
            const bool want = (y == 0 && x == 3) || (y == 285 && x == 799) || (y == 1 && (x == 20 || x == 21)) ||
                              (y == 285 && x < 16);
            ASSERT_EQ(lit(x, y), want) << x << " " << y;
            ASSERT_TRUE(lit(x, y) || picture[y * terminal_width + x] == bg);
        }
    EXPECT_EQ(picture.back(), 0xDEADu); // beyond the 286 lines nothing is touched
    EXPECT_EQ(text[0 ^ 1], 0x10);       // the terminal's text is left as it was
    // The terminal's text blanked (KGD text off) and graphics on: only the bitmap.
    ksm_render_text(text.data(), true);
    kgd_compose(text.data(), picture.data());
    EXPECT_FALSE(lit(3, 0));
    EXPECT_TRUE(lit(20, 1));
    // Graphics off: no bitmap.
    text[0 ^ 1] = 0x10;
    dvk.kgd.control = 0;
    kgd_compose(text.data(), picture.data());
    EXPECT_TRUE(lit(3, 0));
    EXPECT_FALSE(lit(20, 1));
    dvk.kgd = saved;
    workstation.kgdPaletteIndex = saved_palette;
}

} // namespace
