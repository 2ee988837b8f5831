// Whole PK8000 runs: the korvel program, headless, with a hand-assembled ROM in a
// temporary data directory; checked through screenshots, the monitor's memory dump and
// the console output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/headless.h"

namespace {

namespace fs = std::filesystem;
using korvel_test::Shot;
using korvel_test::slurp;

class Pk8000Run : public ::testing::Test {
protected:
    fs::path dir;
    std::string console;
    int status = 0;

    void SetUp() override { dir = korvel_test::make_data_dir("korvel_pk8000"); }
    void TearDown() override { fs::remove_all(dir); }

    void rom(std::vector<std::pair<uint16_t, std::vector<uint8_t>>> pieces)
    {
        std::vector<uint8_t> image(16384, 0xFF);
        for (auto& [at, bytes] : pieces)
            for (size_t i = 0; i < bytes.size(); ++i) image[at + i] = bytes[i];
        korvel_test::write_file(dir / "PK8000" / "foton_piton.bin", image);
    }
    void run(const std::string& options, const std::string& input = "", const std::string& keys = "")
    {
        korvel_test::HeadlessRun r = korvel_test::run_headless(dir, "pk8000", options, input, keys);
        status = r.status;
        console = r.console;
    }
    Shot shot(int number = 0) { return korvel_test::expect_shot(dir, number, 512, 384, console); }
};

// The screenshot starts one row below the picture's top: emulated line y (y >= 1) is
// shot row 2y - 1 and the rows between lines are black.
uint32_t dot(const Shot& s, uint32_t x, uint32_t y)
{
    uint32_t a = s.at(2 * x, 2 * y - 1), b = s.at(2 * x + 1, 2 * y - 1);
    EXPECT_EQ(a, b);
    return a;
}

TEST_F(Pk8000Run, MissingRomOrAFolderInItsPlaceIsFatal)
{
    run("--frames 2");
    EXPECT_EQ(status, 1); // a fatal error, not a crash
    EXPECT_NE(console.find("Can't open file!\nPK8000/foton_piton.bin: No such file or directory\n"), std::string::npos)
        << console;
    // A folder opens but cannot be read: not a ROM of 0xFF bytes.
    std::filesystem::create_directories(dir / "PK8000" / "foton_piton.bin");
    run("--frames 2");
    EXPECT_EQ(status, 1);
    EXPECT_NE(console.find("Can't open file!\nPK8000/foton_piton.bin: Is a directory\n"), std::string::npos) << console;
}

// Pages memory, reads the keyboard and joystick set by --keys, then the monitor is
// entered with F8, dumps memory ("m") and runs on when standard input ends.
TEST_F(Pk8000Run, PagingKeysAndMonitorMemoryDump)
{
    rom({{0x0000,
          {
              0xF3,             // 0000 DI
              0x31, 0x00, 0xC0, // 0001 LD SP,C000
              0x3E, 0x5A,       // 0004 LD A,5A
              0x32, 0x00, 0x00, // 0006 LD (0000),A    the RAM under the ROM
              0x3A, 0x00, 0x00, // 0009 LD A,(0000)    still the ROM: F3
              0x32, 0x00, 0x90, // 000C LD (9000),A
              0x21, 0x40, 0x00, // 000F LD HL,0040
              0x11, 0x00, 0x80, // 0012 LD DE,8000
              0x01, 0x40, 0x00, // 0015 LD BC,0040
              0xED, 0xB0,       // 0018 LDIR
              0xC3, 0x00, 0x80, // 001A JP 8000
          }},
         {0x0040,
          {
              0x3E, 0xFF,       // 8000 LD A,FF
              0xD3, 0x80,       // 8002 OUT (80),A     all RAM
              0x3A, 0x00, 0x00, // 8004 LD A,(0000)    5A
              0x32, 0x01, 0x90, // 8007 LD (9001),A
              0x3E, 0x30,       // 800A LD A,30
              0xD3, 0x80,       // 800C OUT (80),A     only page 2 RAM
              0x3A, 0x01, 0xC0, // 800E LD A,(C001)    ROM byte 1: 31
              0x32, 0x02, 0x90, // 8011 LD (9002),A    (page 2 is RAM: lands)
              0x3E, 0xFC,       // 8014 LD A,FC
              0xD3, 0x80,       // 8016 OUT (80),A
              0xDB, 0x80,       // 8018 IN A,(80)
              0x32, 0x03, 0x90, // 801A LD (9003),A
              0x3E, 0x00,       // 801D LD A,0
              0xD3, 0x82,       // 801F OUT (82),A
              0xDB, 0x81,       // 8021 IN A,(81)      row 0
              0x32, 0x04, 0x90, // 8023 LD (9004),A
              0x3E, 0x05,       // 8026 LD A,5
              0xD3, 0x82,       // 8028 OUT (82),A
              0xDB, 0x81,       // 802A IN A,(81)      row 5
              0x32, 0x05, 0x90, // 802C LD (9005),A
              0xDB, 0x8C,       // 802F IN A,(8C)      joystick
              0x32, 0x06, 0x90, // 8031 LD (9006),A
              0x18, 0xE7,       // 8034 JR 801D
          }}});
    run("--cpu z80 --frames 12", "m 0\n",
        "2 0x02 down\n2 0x1F down\n2 0xC8 down\n2 0x39 down\n6 0x42 down\n7 0x42 up\n");
    EXPECT_EQ(status, 0) << console;
    std::string mem = slurp(dir / "PK8000Memory.bin");
    ASSERT_EQ(mem.size(), 65536u) << console;
    auto byte = [&](uint32_t a) { return static_cast<uint8_t>(mem[a]); };
    EXPECT_EQ(byte(0x0000), 0x5A);
    EXPECT_EQ(byte(0x9000), 0xF3);
    EXPECT_EQ(byte(0x9001), 0x5A);
    EXPECT_EQ(byte(0x9002), 0x31);
    EXPECT_EQ(byte(0x9003), 0xFC);
    EXPECT_EQ(byte(0x9004), 0xFD); // 1
    EXPECT_EQ(byte(0x9005), 0xFE); // S
    EXPECT_EQ(byte(0x9006), 0x11); // Up and Space
    EXPECT_EQ(byte(0x8034), 0x18); // the routine copied to RAM
    // The prompt printed the register dump; the end of input was announced once.
    EXPECT_NE(console.find(" HL="), std::string::npos) << console;
    EXPECT_NE(console.find("I Flags="), std::string::npos);
    size_t ended = console.find("end of input");
    ASSERT_NE(ended, std::string::npos) << console;
    EXPECT_EQ(console.find("end of input", ended + 1), std::string::npos);
}

// The monitor on the program's standard input: a bad address is reported and asked for
// again, the dump takes both addresses on one line, and end of input runs the program on.
TEST_F(Pk8000Run, MonitorCommandsFromStandardInput)
{
    rom({{0x0000,
          {
              0xF3,             // 0000 DI
              0x31, 0x00, 0xC0, // 0001 LD SP,C000
              0x21, 0x00, 0x90, // 0004 LD HL,9000
              0x34,             // 0007 INC (HL)
              0x18, 0xFD,       // 0008 JR 0007
          }},
         {0x0020,
          {
              0x3E, 0x77,       // 0020 LD A,77
              0x32, 0x01, 0x90, // 0022 LD (9001),A
              0x18, 0xFE,       // 0025 JR 0025
          }}});
    run("--cpu z80 --frames 12", "j zz\nj 20\nr  25\nd 20 25\nm 0\n", "2 F8 down\n3 F8 up\n");
    EXPECT_EQ(status, 0) << console;
    EXPECT_EQ(korvel_test::count(console, "Not a number: zz\n"), 1u) << console;
    EXPECT_EQ(korvel_test::count(console, "PC=0020"), 1u) << console; // after the jump
    EXPECT_EQ(korvel_test::count(console, "PC=0025"), 3u) << console; // breakpoint, after d, after m
    EXPECT_EQ(korvel_test::count(console, "end of input"), 1u);
    EXPECT_EQ(slurp(dir / "PK8000-DisDump.txt"), "0020 3E 77        LD   A,$77\n"
                                                 "0022 32 01 90     LD   ($9001),A\n"
                                                 "0025 18 FE        JR   $0025\n");
    std::string mem = slurp(dir / "PK8000Memory.bin");
    ASSERT_EQ(mem.size(), 65536u) << console;
    EXPECT_EQ(static_cast<uint8_t>(mem[0x9001]), 0x77);
    EXPECT_NE(static_cast<uint8_t>(mem[0x9000]), 0); // the loop ran before F8
}

// The machine's own processor is an 8080: parity after INR (the end of the BASIC
// ROM's comparisons), ED as a CALL; --cpu z80 gives the Z80's answers. The monitor
// keeps its Z80 mnemonics either way.
TEST_F(Pk8000Run, RunsAsAn8080UnlessAskedForTheZ80)
{
    rom({{0x0000,
          {
              0xF3,             // 0000 DI
              0x31, 0x00, 0xC0, // 0001 LXI SP,C000
              0x37,             // 0004 STC
              0x9F,             // 0005 SBB A          A = FF
              0x3C,             // 0006 INR A          A = 0: 8080 parity even, Z80 no overflow
              0xEA, 0x0F, 0x00, // 0007 JPE 000F
              0x3E, 0x5A,       // 000A MVI A,5A
              0xC3, 0x11, 0x00, // 000C JMP 0011
              0x3E, 0x80,       // 000F MVI A,80
              0x32, 0x00, 0x90, // 0011 STA 9000
              0xED, 0x1C, 0x00, // 0014 8080: CALL 001C; Z80: a no-op ED 1C and NOP
              0xC3, 0x17, 0x00, // 0017 JMP 0017
              0x00, 0x00,       // 001A
              0x3E, 0x77,       // 001C MVI A,77
              0x32, 0x01, 0x90, // 001E STA 9001
              0xC9,             // 0021 RET
          }}});
    for (const char* cpu : {"", "--cpu z80 "}) {
        const bool z80 = *cpu != 0;
        run(std::string(cpu) + "--frames 4", "m 0\n", "2 F8 down\n3 F8 up\n");
        EXPECT_EQ(status, 0) << console;
        EXPECT_NE(console.find(z80 ? "CPU: Z80\n" : "CPU: 8080\n"), std::string::npos) << console;
        EXPECT_NE(console.find("JP   $0017"), std::string::npos) << console;
        std::string mem = slurp(dir / "PK8000Memory.bin");
        ASSERT_EQ(mem.size(), 65536u) << console;
        EXPECT_EQ(static_cast<uint8_t>(mem[0x9000]), z80 ? 0x5A : 0x80) << cpu;
        EXPECT_EQ(static_cast<uint8_t>(mem[0x9001]), z80 ? 0x00 : 0x77) << cpu;
    }
}

// Graphics mode from the ROM, then a frame interrupt handler counts frames.
TEST_F(Pk8000Run, GraphicsModePictureAndOneInterruptPerFrame)
{
    rom({{0x0000,
          {
              0xF3,             // 0000 DI
              0x31, 0x00, 0xC0, // 0001 LD SP,C000
              0x3E, 0x06,       // 0004 LD A,06
              0xD3, 0x91,       // 0006 OUT (91),A     names at 5800
              0x3E, 0x08,       // 0008 LD A,08
              0xD3, 0x92,       // 000A OUT (92),A     colours at 6000
              0xAF,             // 000C XOR A
              0xD3, 0x93,       // 000D OUT (93),A     patterns at 4000
              0x3E, 0x50,       // 000F LD A,50
              0xD3, 0x84,       // 0011 OUT (84),A     graphics, bank 1
              0x21, 0x08, 0x40, // 0013 LD HL,4008
              0x06, 0x08,       // 0016 LD B,8
              0x36, 0xF0,       // 0018 LD (HL),F0
              0x23,             // 001A INC HL
              0x10, 0xFB,       // 001B DJNZ 0018
              0x21, 0x08, 0x60, // 001D LD HL,6008
              0x06, 0x08,       // 0020 LD B,8
              0x36, 0x4B,       // 0022 LD (HL),4B     ink yellow, paper blue
              0x23,             // 0024 INC HL
              0x10, 0xFB,       // 0025 DJNZ 0022
              0x3E, 0x01,       // 0027 LD A,1
              0x32, 0x00, 0x58, // 0029 LD (5800),A    top-left character: code 1
              0xED, 0x56,       // 002C IM 1
              0xFB,             // 002E EI
              0x76,             // 002F HALT
              0x18, 0xFD,       // 0030 JR 002F
          }},
         {0x0038,
          {
              0xF5,             // 0038 PUSH AF
              0x3A, 0x00, 0x90, // 0039 LD A,(9000)
              0x3C,             // 003C INC A
              0x32, 0x00, 0x90, // 003D LD (9000),A
              0xF1,             // 0040 POP AF
              0xFB,             // 0041 EI
              0xC9,             // 0042 RET
          }}});
    run("--cpu z80 --frames 9 --screenshot-at 5", "m 0\n", "6 0x42 down\n7 0x42 up\n");
    EXPECT_EQ(status, 0) << console;
    EXPECT_NE(console.find("Gfx Mode (0x84) = 50\n"), std::string::npos) << console;
    EXPECT_NE(console.find("VRAM Adr (0x91) = 06\n"), std::string::npos);
    Shot s = shot();
    for (uint32_t y = 1; y < 8; ++y) {
        for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(dot(s, x, y), 0xFFFF00u) << x << "," << y;
        for (uint32_t x = 4; x < 8; ++x) EXPECT_EQ(dot(s, x, y), 0x0000D5u) << x << "," << y;
        EXPECT_EQ(s.at(0, 2 * y), 0u); // the row between two lines
    }
    EXPECT_EQ(dot(s, 8, 1), 0u);
    EXPECT_EQ(dot(s, 0, 8), 0u);
    // Interrupts at the start of frames 1 to 6; the monitor stops at the handler's
    // first instruction in frame 6, so five increments are done.
    std::string mem = slurp(dir / "PK8000Memory.bin");
    ASSERT_EQ(mem.size(), 65536u) << console;
    EXPECT_EQ(static_cast<uint8_t>(mem[0x9000]), 5);
}

TEST_F(Pk8000Run, TextModePicture)
{
    rom({{0x0000,
          {
              0xF3,             // 0000 DI
              0x3E, 0x02,       // 0001 LD A,02
              0xD3, 0x90,       // 0003 OUT (90),A     names at 4800
              0x3E, 0x04,       // 0005 LD A,04
              0xD3, 0x91,       // 0007 OUT (91),A     font at 5000
              0x3E, 0x0E,       // 0009 LD A,0E
              0xD3, 0x88,       // 000B OUT (88),A     grey ink
              0x3E, 0x40,       // 000D LD A,40
              0xD3, 0x84,       // 000F OUT (84),A     text, bank 1
              0x21, 0x08, 0x50, // 0011 LD HL,5008
              0x06, 0x08,       // 0014 LD B,8
              0x36, 0xAB,       // 0016 LD (HL),AB     10101011: the low two bits don't show
              0x23,             // 0018 INC HL
              0x10, 0xFB,       // 0019 DJNZ 0016
              0x3E, 0x01,       // 001B LD A,1
              0x32, 0x00, 0x48, // 001D LD (4800),A    row 0, column 0
              0x32, 0x42, 0x48, // 0020 LD (4842),A    row 1, column 2
              0x76,             // 0023 HALT
          }}});
    run("--cpu z80 --frames 3 --screenshot-at 2");
    EXPECT_EQ(status, 0) << console;
    EXPECT_NE(console.find("Pallette Con (0x88) = 0E\n"), std::string::npos) << console;
    Shot s = shot();
    const uint32_t grey = 0xD5D5D5, blue = 0x0000FF;
    for (uint32_t y : {1u, 7u}) {
        EXPECT_EQ(dot(s, 0, y), grey);
        EXPECT_EQ(dot(s, 1, y), blue);
        EXPECT_EQ(dot(s, 4, y), grey);
        EXPECT_EQ(dot(s, 5, y), blue);
        EXPECT_EQ(dot(s, 6, y), blue); // the next glyph starts at pixel 6
    }
    EXPECT_EQ(dot(s, 12, 8), grey);
    EXPECT_EQ(dot(s, 13, 8), blue);
    EXPECT_EQ(dot(s, 0, 8), blue);
    EXPECT_EQ(dot(s, 239, 191), blue);
    EXPECT_EQ(s.at(480, 1), 0u); // the right 32 pixels are not drawn
    EXPECT_EQ(s.at(511, 381), 0u);
}

} // namespace

namespace {

// A ROM that writes port 0x84 in a tight loop logs "Gfx Mode (0x84) = 00" thousands of
// times a frame. The console keeps the first 100 of each frame, word for word, and then
// one line saying how many more were left out.
TEST_F(Pk8000Run, RepeatedMessagesAreCutAfterAHundredAFrame)
{
    rom({{0x0000, {0xAF, 0xD3, 0x84, 0xC3, 0x01, 0x00}}}); // xra a; out 0x84; jmp 0001
    run("--frames 3");
    ASSERT_EQ(status, 0) << console.substr(0, 2000);
    EXPECT_EQ(korvel_test::count(console, "\nGfx Mode (0x84) = 00\n"), 300u); // whole lines only
    EXPECT_EQ(korvel_test::count(console, " more copies of this line left out in this frame: Gfx Mode (0x84) = 00\n"), 3u);
    size_t summary = console.find("\n... ");
    ASSERT_NE(summary, std::string::npos);
    EXPECT_GT(std::stoul(console.substr(summary + 5)), 1000u);
}

} // namespace
