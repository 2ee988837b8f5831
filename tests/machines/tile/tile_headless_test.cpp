// Whole tile-machine runs: the korvel program, headless, with a hand-assembled program
// file in the parent of a temporary data directory; checked through screenshots at the
// three scales, the console log and the monitor's disassembly dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/headless.h"

namespace {

namespace fs = std::filesystem;
using korvel_test::Shot;
using korvel_test::slurp;

using Piece = std::pair<uint16_t, std::vector<uint8_t>>;

// The test program. Tiles: code 1 = colour 1 (plane 0), code 2 = colour 2 (plane 1),
// code 3 = colour 3 (planes 0 and 1). Map: top half code 1, bottom half code 3, the
// top-left tile code 2. Palette 1 = 0xFF (0xFFD8E8), palette 4 = 0xC0 (0x0000E8).
// Sprite 0 (pattern 0): left half solid colour 4, right half transparent, top row 40,
// column 100 + one step right per frame with the Right key down.
// The frame interrupt copies port 0xD2 (bit 7 still clear) to palette 2; after a
// 6000-T-state wait the main loop copies it again (bit 7 now set) to palette 3.
std::vector<Piece> program()
{
    return {
        {0x0000,
         {
             0xF3,             // 0000 DI
             0x31, 0x00, 0xF0, // 0001 LD SP,F000
             0xC3, 0x00, 0x01, // 0004 JP 0100
         }},
        {0x0038,
         {
             0xF5,             // 0038 PUSH AF
             0xDB, 0xD0,       // 0039 IN A,(D0)
             0xE6, 0x02,       // 003B AND 02      Right
             0x28, 0x07,       // 003D JR Z,0046
             0x3A, 0x00, 0xC0, // 003F LD A,(C000)
             0x3D,             // 0042 DEC A       lower X = further right
             0x32, 0x00, 0xC0, // 0043 LD (C000),A
             0x3A, 0x00, 0xC0, // 0046 LD A,(C000)
             0xD3, 0x50,       // 0049 OUT (50),A  sprite 0 X
             0xDB, 0xD2,       // 004B IN A,(D2)
             0xD3, 0xA2,       // 004D OUT (A2),A  palette 2
             0xF1,             // 004F POP AF
             0xFB,             // 0050 EI
             0xC9,             // 0051 RET
         }},
        {0x0080,
         {
             // FILL: HL = start, BC = count, E = value
             0x73,       // 0080 LD (HL),E
             0x23,       // 0081 INC HL
             0x0B,       // 0082 DEC BC
             0x78,       // 0083 LD A,B
             0xB1,       // 0084 OR C
             0x20, 0xF9, // 0085 JR NZ,0080
             0xC9,       // 0087 RET
         }},
        {0x0100,
         {
             0x3E, 0x1E, 0xD3, 0xBE,       // 0100 LD A,1E : OUT (BE),A    map only
             0x21, 0x00, 0xB0,             // 0104 LD HL,B000
             0x01, 0x00, 0x02,             // 0107 LD BC,0200
             0x1E, 0x01, 0xCD, 0x80, 0x00, // 010A LD E,1 : CALL FILL
             0x01, 0x00, 0x02,             // 010F LD BC,0200
             0x1E, 0x03, 0xCD, 0x80, 0x00, // 0112 LD E,3 : CALL FILL
             0x3E, 0x02, 0x32, 0x00, 0xB0, // 0117 LD A,2 : LD (B000),A
             0x3E, 0x1D, 0xD3, 0xBE,       // 011C LD A,1D : OUT (BE),A    plane 0 only
             0x21, 0x08, 0xB0,             // 0120 LD HL,B008              tile 1
             0x01, 0x08, 0x00,             // 0123 LD BC,8
             0x1E, 0xFF, 0xCD, 0x80, 0x00, // 0126 LD E,FF : CALL FILL
             0x21, 0x18, 0xB0,             // 012B LD HL,B018              tile 3
             0x01, 0x08, 0x00,             // 012E LD BC,8
             0xCD, 0x80, 0x00,             // 0131 CALL FILL
             0x3E, 0x1B, 0xD3, 0xBE,       // 0134 LD A,1B : OUT (BE),A    plane 1 only
             0x21, 0x10, 0xB0,             // 0138 LD HL,B010              tiles 2, 3
             0x01, 0x10, 0x00,             // 013B LD BC,10
             0xCD, 0x80, 0x00,             // 013E CALL FILL
             0x3E, 0x1F, 0xD3, 0xBE,       // 0141 LD A,1F : OUT (BE),A    window off
             0x3E, 0xFF, 0xD3, 0xA1,       // 0145 LD A,FF : OUT (A1),A
             0x3E, 0xC0, 0xD3, 0xA4,       // 0149 LD A,C0 : OUT (A4),A
             0x3E, 0x03, 0xD3, 0xBD,       // 014D LD A,3 : OUT (BD),A     X scroll 3
             0x3E, 0x9B, 0x32, 0x00, 0xC0, // 0151 LD A,9B : LD (C000),A   column (3-9B-4)&FF = 100
             0xD3, 0x50,                   // 0156 OUT (50),A
             0x3E, 0xD9, 0xD3, 0x40,       // 0158 LD A,D9 : OUT (40),A    Y: row 257-217 = 40
             0xAF, 0xD3, 0x60,             // 015C XOR A : OUT (60),A      pattern 0
             0x3E, 0x0A, 0xD3, 0x70,       // 015F LD A,0A : OUT (70),A    unmirrored, downwards
             0xED, 0x56,                   // 0163 IM 1
             0xFB,                         // 0165 EI
             0x76,                         // 0166 HALT
             0x06, 0xE0,                   // 0167 LD B,E0
             0x10, 0xFE,                   // 0169 DJNZ 0169
             0x06, 0xE0,                   // 016B LD B,E0
             0x10, 0xFE,                   // 016D DJNZ 016D
             0xDB, 0xD2,                   // 016F IN A,(D2)
             0xD3, 0xA3,                   // 0171 OUT (A3),A  palette 3
             0x3E, 0x03, 0xD3, 0xBD,       // 0173 LD A,3 : OUT (BD),A     same value: no log
             0x18, 0xED,                   // 0177 JR 0166
         }},
    };
}

class TileRun : public ::testing::Test {
protected:
    fs::path root, dir;
    std::string console;
    int status = 0;

    // The program file lies in the data directory's parent.
    void SetUp() override
    {
        root = korvel_test::make_data_dir("korvel_tile");
        dir = root / "data";
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(root); }

    // Graphics block (32 KB) then memory 0x0000-0xDFFF, in the data directory's parent.
    void write_program(const std::vector<Piece>& pieces)
    {
        std::vector<uint8_t> file(0x8000 + 0xE000, 0x00);
        // Pattern 0 sits at (255 - 0) * 16 = 0xFF0: left half colour 4 (plane 2), right
        // half colour 15 (transparent).
        for (int j = 0; j < 16; ++j) {
            file[0x4000 + 0x0FF0 + j] = 0xFF;
            for (int k = 0; k < 4; ++k) file[0x2000 * k + 0x1FF0 + j] = 0xFF;
        }
        for (auto& [at, bytes] : pieces)
            for (size_t i = 0; i < bytes.size(); ++i) file[0x8000 + at + i] = bytes[i];
        korvel_test::write_file(root / "konek.tia", file);
    }
    void run(const std::string& options, const std::string& input = "", const std::string& keys = "")
    {
        korvel_test::HeadlessRun r = korvel_test::run_headless(dir, "tile", options, input, keys);
        status = r.status;
        console = r.console;
    }
    Shot shot(int number, uint32_t width, uint32_t height)
    {
        return korvel_test::expect_shot(dir, number, width, height, console);
    }
    // Left edge of the sprite (colour 0x0000E8) on a shot row, or -1.
    static int sprite_left(const Shot& s, uint32_t row)
    {
        for (uint32_t x = 0; x < s.width; ++x)
            if (s.at(x, row) == 0x0000E8) return static_cast<int>(x);
        return -1;
    }
};

TEST_F(TileRun, MissingProgramFileOrAFolderInItsPlaceIsFatal)
{
    run("--frames 2");
    EXPECT_EQ(status, 1); // a fatal error, not a crash
    EXPECT_NE(console.find("Can't open file!\n..//konek.tia: No such file or directory\n"), std::string::npos)
        << console;
    std::filesystem::create_directories(dir / ".." / "konek.tia");
    run("--frames 2");
    std::filesystem::remove_all(dir / ".." / "konek.tia");
    EXPECT_EQ(status, 1);
    EXPECT_NE(console.find("Can't open file!\n..//konek.tia: Is a directory\n"), std::string::npos) << console;
}

// Draws tiles and a sprite at scale 3, moves the sprite with the Right key, then steps
// to scale 1 and 1.25 with Delete; bit 7 of port 0xD2 is clear at the frame's start and
// set later in the frame.
TEST_F(TileRun, TilesSpriteKeysAndScales)
{
    write_program(program());
    run("--frames 40 --screenshot-at 4 --screenshot-at 20 --screenshot-at 30 --screenshot-at 38", "",
        "5 RIGHT down\n15 RIGHT up\n25 DELETE down\n26 DELETE up\n33 DELETE down\n34 DELETE up\n");
    EXPECT_EQ(status, 0) << console;

    // Scale 3, 960 x 768: emulated line y shows at full brightness on shot row 3y; emulated
    // column x covers shot columns from 3.75x on.
    const Shot a = shot(0, 960, 768);
    EXPECT_EQ(a.at(24, 3 * 4), 0x000000u) << "top-left tile: palette 2 = port 0xD2 early = 0x00";
    EXPECT_EQ(a.at(195, 3 * 20), 0xFFD8E8u) << "top half: colour 1";
    EXPECT_EQ(a.at(195, 3 * 200), 0x0000AEu) << "bottom half: palette 3 = port 0xD2 late = 0x80";
    EXPECT_EQ(sprite_left(a, 3 * 45), 375) << "column 100";
    EXPECT_EQ(a.at(375 + 40, 3 * 45), 0xFFD8E8u) << "transparent right half shows the tile";
    EXPECT_EQ(sprite_left(a, 3 * 39), -1);
    EXPECT_EQ(sprite_left(a, 3 * 56), -1);

    // Ten frames with Right down: ten steps right.
    const Shot b = shot(1, 960, 768);
    EXPECT_EQ(sprite_left(b, 3 * 45), 413) << "column 110 (3.75 x 110 rounded up to a whole pixel)";

    // Scale 1, 512 x 512: line y on picture row 2y, shot row 2y - 1; rows between black.
    const Shot c = shot(2, 512, 512);
    EXPECT_EQ(c.at(2 * 110, 2 * 45 - 1), 0x0000E8u);
    EXPECT_EQ(c.at(2 * 110 - 1, 2 * 45 - 1), 0xFFD8E8u);
    EXPECT_EQ(c.at(2 * 110, 2 * 45), 0x000000u);
    EXPECT_EQ(c.at(300, 2 * 200 - 1), 0x0000AEu);

    // Scale 1.25, black scan lines, 640 x 512.
    const Shot d = shot(3, 640, 512);
    EXPECT_EQ(d.at(275, 2 * 45 - 1), 0x0000E8u);
    EXPECT_EQ(d.at(400, 2 * 200 - 1), 0x0000AEu);
    EXPECT_EQ(d.at(400, 2 * 200), 0x000000u);

    EXPECT_NE(console.find("Screen X-scale = 1.0\n"), std::string::npos) << console;
    EXPECT_NE(console.find("Screen X-scale = 1.25\n"), std::string::npos) << console;
    const size_t first = console.find("X-Scroll = 3\n");
    EXPECT_NE(first, std::string::npos) << console;
    EXPECT_EQ(console.find("X-Scroll = 3\n", first + 1), std::string::npos) << "logged on change only";
}

// F8 stops the program; the monitor shows the registers, writes a disassembly dump and
// has no memory dump on this machine; end of input runs the program on.
TEST_F(TileRun, MonitorDisassemblyDump)
{
    write_program(program());
    run("--frames 6", "m 0\nd 38\n3D\n", "2 0x42 down\n3 0x42 up\n");
    EXPECT_EQ(status, 0) << console;
    EXPECT_NE(console.find(" HL="), std::string::npos) << console;
    const std::string dump = slurp(dir / "TIA-DisDump.txt");
    EXPECT_NE(dump.find("0038 F5"), std::string::npos) << dump;
    EXPECT_NE(dump.find("0039 DB D0"), std::string::npos) << dump;
    EXPECT_NE(dump.find("003D 28 07"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("003F"), std::string::npos) << dump;
    EXPECT_FALSE(fs::exists(dir / "TIAMemory.bin"));
    EXPECT_FALSE(fs::exists(dir / "PK8000Memory.bin"));
}

} // namespace
