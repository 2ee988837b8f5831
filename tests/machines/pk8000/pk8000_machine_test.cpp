// PK8000 machine pieces: paging, ports, keyboard, video modes and the frame start.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/host.h"
#include "machines/pk8000/pk8000.h"

namespace {

class Pk8000Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 16384; ++i) pk8000.rom[i] = static_cast<uint8_t>(i * 7 + 3);
        pk8000_power_on();
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
        for (auto& k : KeyState) k = 0;
    }
    static uint8_t in(uint16_t port)
    {
        pk8000.cpu.addr = port;
        pk8000_read_port(&pk8000.cpu);
        return pk8000.cpu.data;
    }
    static void out(uint16_t port, uint8_t value)
    {
        pk8000.cpu.addr = port;
        pk8000.cpu.data = value;
        pk8000_write_port(&pk8000.cpu);
    }
    static void poke(uint16_t address, uint8_t value)
    {
        pk8000.cpu.addr = address;
        pk8000.cpu.data = value;
        pk8000_write_mem(&pk8000.cpu);
    }
    static uint8_t peek(uint16_t address)
    {
        pk8000.cpu.addr = address;
        pk8000_read_mem(&pk8000.cpu);
        return pk8000.cpu.data;
    }
};

TEST_F(Pk8000Test, StartMapReadsRomInPageZeroAndWritesGoToRamBelow)
{
    EXPECT_EQ(in(0x80), 0xFC);
    EXPECT_EQ(peek(0x0000), pk8000.rom[0]);
    poke(0x0000, 0x5A);
    EXPECT_EQ(pk8000.ram[0], 0x5A);
    EXPECT_EQ(peek(0x0000), pk8000.rom[0]);
    out(0x80, 0xFF);
    EXPECT_EQ(peek(0x0000), 0x5A);
    // Pages 1-3 read RAM from the start.
    poke(0x4000, 1);
    poke(0xFFFF, 2);
    out(0x80, 0xFC);
    EXPECT_EQ(peek(0x4000), 1);
    EXPECT_EQ(peek(0xFFFF), 2);
}

TEST_F(Pk8000Test, EveryPageSelectsRomOrRamByItsOwnField)
{
    out(0x80, 0x00); // ROM mirrored in all four pages
    for (uint32_t page = 0; page < 4; ++page)
        EXPECT_EQ(peek(static_cast<uint16_t>(page * 0x4000 + 0x1235)), pk8000.rom[0x1235]) << page;
    for (uint32_t page = 0; page < 4; ++page) poke(static_cast<uint16_t>(page * 0x4000 + 9), static_cast<uint8_t>(0xA0 + page));
    // Only field value 3 selects RAM; 1 and 2 still show the ROM.
    out(0x80, 0x9C); // fields: page0 0, page1 3, page2 1, page3 2
    EXPECT_EQ(peek(0x0009), pk8000.rom[9]);
    EXPECT_EQ(peek(0x4009), 0xA1);
    EXPECT_EQ(peek(0x8009), pk8000.rom[9]);
    EXPECT_EQ(peek(0xC009), pk8000.rom[9]);
    out(0x80, 0x30); // page 2 only
    EXPECT_EQ(peek(0x8009), 0xA2);
    EXPECT_EQ(peek(0x4009), pk8000.rom[9]);
    // Instruction fetches go through the same map.
    pk8000.cpu.pc = 0x8009;
    pk8000_fetch_byte(&pk8000.cpu);
    EXPECT_EQ(pk8000.cpu.data, 0xA2);
    EXPECT_EQ(pk8000.cpu.pc, 0x800A);
}

TEST_F(Pk8000Test, KeyboardRowsReadInvertedThroughSelectedRow)
{
    KeySnapshot[0x02] = 0x80; // 1
    pk8000_scan_keys();
    out(0x82, 0);
    EXPECT_EQ(in(0x81), 0xFD);
    EXPECT_EQ(in(0x82), 0);

    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    KeySnapshot[0x36] = 0x80; // right Shift: an ordinary Shift
    KeySnapshot[0x3D] = 0x80; // F3
    KeySnapshot[0x9D] = 0x80; // right Ctrl
    KeySnapshot[0x4D] = 0x80; // keypad 6 = Right
    KeySnapshot[0x1E] = 0x80; // A
    pk8000_scan_keys();
    out(0x82, 6);
    EXPECT_EQ(in(0x81), 0x7E);
    out(0x82, 7);
    EXPECT_EQ(in(0x81), 0xBF);
    out(0x82, 0xF8); // only the low four bits select the row
    EXPECT_EQ(in(0x81), 0x7F);
    out(0x82, 2);
    EXPECT_EQ(in(0x81), 0xBF);
    out(0x82, 9); // rows without keys read all ones
    EXPECT_EQ(in(0x81), 0xFF);

    // Released keys leave the matrix on the next scan.
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    pk8000_scan_keys();
    out(0x82, 2);
    EXPECT_EQ(in(0x81), 0xFF);
}

// The real keyboard's other keys, each at its place in the factory manual's matrix
// (code, row, mask): ": *", "/ ?", "Э \\", "Ъ _", "Ю `", ВЗ, ИЗ and the keypad row 9.
TEST_F(Pk8000Test, KeysOfTheRealKeyboardReachTheirMatrixBits)
{
    const uint8_t keys[][3] = {{0x28, 1, 0x20}, {0x35, 1, 0x80}, {0x2B, 2, 0x02}, {0x0D, 2, 0x10}, {0x29, 2, 0x20},
                               {0xD2, 8, 0x04}, {0xD3, 8, 0x08}, {0x47, 9, 0x01}, {0xC7, 9, 0x01}, {0x49, 9, 0x02},
                               {0x4C, 9, 0x04}, {0x4F, 9, 0x08}, {0x51, 9, 0x10}, {0x53, 9, 0x20}, {0xCF, 9, 0x20},
                               {0x52, 9, 0x40}};
    for (const auto& k : keys) {
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
        KeySnapshot[k[0]] = 0x80;
        pk8000_scan_keys();
        for (uint8_t row = 0; row < 16; ++row) {
            out(0x82, row);
            EXPECT_EQ(in(0x81), row == k[1] ? uint8_t(~k[2]) : 0xFF) << int(k[0]) << " row " << int(row);
        }
    }
}

TEST_F(Pk8000Test, JoystickByteFromArrowsSpaceAndEnter)
{
    KeySnapshot[0xC8] = 0x80; // Up
    KeySnapshot[0xCD] = 0x80; // Right
    KeySnapshot[0x1C] = 0x80; // Enter
    pk8000_scan_keys();
    EXPECT_EQ(in(0x8C), 0x29);
    KeySnapshot[0xC8] = 0;
    KeySnapshot[0xD0] = 0x80;
    KeySnapshot[0xCB] = 0x80;
    KeySnapshot[0x39] = 0x80;
    pk8000_scan_keys();
    EXPECT_EQ(in(0x8C), 0x3E);
}

TEST_F(Pk8000Test, PortsDecodeTheLowByteAndUnknownPortsReadZero)
{
    out(0x1280, 0x00);
    EXPECT_EQ(in(0x3480), 0x00);
    EXPECT_EQ(peek(0x4001), pk8000.rom[1]);
    EXPECT_EQ(in(0x0083), 0);
    EXPECT_EQ(in(0x0084), 0); // video registers are write-only
    EXPECT_EQ(in(0x00FF), 0);
}

TEST_F(Pk8000Test, VideoRegisterWritesAreLoggedEveryTime)
{
    ::testing::internal::CaptureStdout();
    out(0x84, 0x10);
    out(0x84, 0x10);
    out(0x86, 0x01);
    out(0x88, 0x0F);
    out(0x90, 0x0A);
    out(0x91, 0x0B);
    out(0x92, 0x0C);
    out(0x93, 0x0D);
    out(0x80, 0xFC);
    out(0x82, 0x03);
    out(0x85, 0x55);
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "Gfx Mode (0x84) = 10\nGfx Mode (0x84) = 10\nSys Mode (0x86) = 01\n"
                   "Pallette Con (0x88) = 0F\nTRAM Adr (0x90) = 0A\nVRAM Adr (0x91) = 0B\n"
                   "Gfx Pos (0x92) = 0C\nAttr Pos (0x93) = 0D\n");
    EXPECT_EQ(pk8000.gfx_mode, 0x10);
    EXPECT_EQ(pk8000.attr_pos, 0x0D);
}

// ---- Video ------------------------------------------------------------------------

constexpr uint32_t sentinel = 0xDEADBEEF;
constexpr uint32_t pitch = 520;

struct Picture {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(pitch * 390, sentinel);
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[y * pitch + x]; } // BackBuffer pixel
    // Emulated pixel x of emulated line y (both BackBuffer pixels must agree).
    uint32_t dot(uint32_t x, uint32_t y) const
    {
        uint32_t a = at(2 * x, 2 * y), b = at(2 * x + 1, 2 * y);
        EXPECT_EQ(a, b) << x << "," << y;
        return a;
    }
};

Picture draw()
{
    Picture p;
    pk8000_draw(p.pixels.data(), pitch);
    return p;
}

TEST_F(Pk8000Test, GraphicsModeUsesNamePatternAndColourTablesPerBand)
{
    // Bank 1 (0x4000); names at +0x1800, patterns at +0, colours at +0x2000.
    pk8000.gfx_mode = 0x50;
    pk8000.vram_adr = 0x06;
    pk8000.attr_pos = 0x00;
    pk8000.gfx_pos = 0x08;
    uint8_t* bank = pk8000.ram + 0x4000;
    bank[0x1800 + 1] = 5;             // band 0, row 0, column 1: code 5
    bank[5 * 8 + 2] = 0x81;           // its line 2: leftmost and rightmost pixels set
    bank[0x2000 + 5 * 8 + 2] = 0x4B;  // ink 0xB yellow, paper 4 blue
    bank[0x1800 + 512 + 32 * 7 + 31] = 5;   // band 2, row 7, column 31: code 5 of band 2's tables
    bank[0x1000 + 5 * 8 + 7] = 0x40;
    bank[0x3000 + 5 * 8 + 7] = 0x9E;  // ink 0xE grey, paper 9 bright red
    Picture p = draw();
    EXPECT_EQ(p.dot(8, 2), 0xFFFF00u);
    EXPECT_EQ(p.dot(9, 2), 0x0000D5u);
    EXPECT_EQ(p.dot(15, 2), 0xFFFF00u);
    EXPECT_EQ(p.dot(8, 1), 0x000000u); // pattern/colour 0: palette 0 black
    EXPECT_EQ(p.dot(248, 191), 0xFF0000u);
    EXPECT_EQ(p.dot(249, 191), 0xD5D5D5u);
    EXPECT_EQ(p.dot(0, 0), 0x000000u);
    // Odd rows stay untouched; nothing is drawn past 512 x 384.
    EXPECT_EQ(p.at(17, 5), sentinel);
    EXPECT_EQ(p.at(512, 0), sentinel);
    EXPECT_EQ(p.at(0, 384), sentinel);
    EXPECT_NE(p.at(511, 382), sentinel);
}

TEST_F(Pk8000Test, TextModeDrawsSixPixelGlyphsOnBlueWhateverPaletteConHolds)
{
    pk8000.gfx_mode = 0x40;  // bank 1, text
    pk8000.tram_adr = 0x02;  // names at 0x4800
    pk8000.vram_adr = 0x04;  // font at 0x5000
    pk8000.palette_con = 0xF3; // only the low nibble counts: bright green
    uint8_t* bank = pk8000.ram + 0x4000;
    bank[0x0800 + 64 * 3 + 0] = 'A';   // row 3, first column
    bank[0x0800 + 64 * 3 + 39] = 'A';  // row 3, last column
    bank[0x1000 + 'A' * 8 + 4] = 0xFF; // the glyph's low two bits are not shown
    bank[0x0800 + 40] = 'A';           // bytes 40-63 of a row are not shown
    Picture p = draw();
    for (uint32_t x = 0; x < 6; ++x) {
        EXPECT_EQ(p.dot(x, 28), 0x00FF00u) << x;
        EXPECT_EQ(p.dot(39 * 6 + x, 28), 0x00FF00u) << x;
    }
    EXPECT_EQ(p.dot(6, 28), 0x0000FFu);  // next glyph starts with background
    EXPECT_EQ(p.dot(0, 27), 0x0000FFu);
    EXPECT_EQ(p.dot(0, 12), 0x0000FFu);  // byte 40 of row 0 is not row 1's first
    pk8000.palette_con = 0x01; // black ink: the background still is blue
    p = draw();
    EXPECT_EQ(p.dot(0, 28), 0x000000u);
    EXPECT_EQ(p.dot(0, 0), 0x0000FFu);
    for (uint32_t y = 0; y < 192; ++y) EXPECT_EQ(p.at(480, 2 * y), sentinel); // right 32 untouched
    EXPECT_EQ(p.at(0, 1), sentinel);
}

TEST_F(Pk8000Test, TextModeInTheTopBankWrapsWithinTheRam)
{
    pk8000.gfx_mode = 0xC0;
    pk8000.tram_adr = 0x0F;  // names at 0xFC00: row 23 starts at 0x101C0 -> 0x01C0
    pk8000.vram_adr = 0x00;  // font at 0xC000
    pk8000.palette_con = 0x0F;
    pk8000.ram[0x01C0] = 2;
    pk8000.ram[0xC000 + 2 * 8 + 0] = 0x80;
    Picture p = draw();
    EXPECT_EQ(p.dot(0, 23 * 8), 0xFFFFFFu);
    EXPECT_EQ(p.dot(1, 23 * 8), 0x0000FFu);
}

// ---- Frame start --------------------------------------------------------------------

TEST_F(Pk8000Test, FrameStartAddsTheBudgetTakesInterruptAndHandlesHotKeys)
{
    pk8000.cpu.ticks = -100;
    pk8000_begin_frame();
    EXPECT_EQ(pk8000.cpu.ticks, 8960000 - 100);
    EXPECT_EQ(pk8000.cpu.pc, 0); // interrupts off at power-on: no acceptance

    pk8000.cpu.iff = 6;
    pk8000.cpu.pc = 0x1234;
    pk8000.cpu.sp = 0x9000;
    pk8000_begin_frame();
    EXPECT_EQ(pk8000.cpu.iff, 0);
    z80_run_instruction(&pk8000.cpu); // finishes the acknowledge: RST 38h
    EXPECT_EQ(pk8000.cpu.pc, 0x0038);
    EXPECT_EQ(pk8000.ram[0x8FFF], 0x12);
    EXPECT_EQ(pk8000.ram[0x8FFE], 0x34);

    // Two of the three reset keys do nothing; all three reset pc and iff.
    pk8000.cpu.pc = 0x4321;
    pk8000.cpu.iff = 0;
    KeyState[0xB7] = 0x80;
    KeyState[0x46] = 0x80;
    pk8000_begin_frame();
    EXPECT_EQ(pk8000.cpu.pc, 0x4321);
    pk8000.cpu.iff = 6;
    KeyState[0xC5] = 0x80;
    pk8000.cpu.a = 0x77;
    pk8000_begin_frame();
    EXPECT_EQ(pk8000.cpu.pc, 0);
    EXPECT_EQ(pk8000.cpu.iff, 0);
    EXPECT_EQ(pk8000.cpu.a, 0x77);

    EXPECT_EQ(pk8000.monitor.mode, 'r');
    KeyState[0x42] = 0x80; // F8
    pk8000_begin_frame();
    EXPECT_NE(pk8000.monitor.mode, 'r');
    EXPECT_NE(pk8000.monitor.mode, 'f');
}

} // namespace
