// Whole Specialist runs: the korvel program, headless, with a hand-assembled BIOS and
// tape file in a temporary data directory; checked through screenshots, the monitor's
// memory and disassembly dumps and the console output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/headless.h"
#include "support/real_rom.h"

namespace {

namespace fs = std::filesystem;
using korvel_test::Shot;
using korvel_test::slurp;

using Piece = std::pair<uint16_t, std::vector<uint8_t>>;

// BIOS: try to overwrite its own first byte, then read the tape through the BIOS entry;
// the hook continues at 0xC421, which jumps to the start address the loader left at
// 0x8FE3.
std::vector<Piece> bios()
{
    return {
        {0xC000,
         {
             0x31, 0x00, 0x8F, // C000 LD SP,8F00
             0x3E, 0x55,       // C003 LD A,55
             0x32, 0x00, 0xC0, // C005 LD (C000),A   ignored: BIOS area
             0xCD, 0xF9, 0xC3, // C008 CALL C3F9     tape read
             0x18, 0xFE,       // C00B JR C00B
         }},
        {0xC421,
         {
             0x2A, 0xE3, 0x8F, // C421 LD HL,(8FE3)
             0xE9,             // C424 JP (HL)
         }},
    };
}

// Tape block at 0x0100: counts its starts in column 0 line 5, copies the BIOS's first
// byte to column 0 line 1, fills column 10 lines 1-255 and the screen's last byte.
std::vector<uint8_t> tape()
{
    const std::vector<uint8_t> code = {
        0x21, 0x05, 0x90, // 0100 LD HL,9005
        0x34,             // 0103 INC (HL)
        0x3A, 0x00, 0xC0, // 0104 LD A,(C000)
        0x32, 0x01, 0x90, // 0107 LD (9001),A
        0x3E, 0xFF,       // 010A LD A,FF
        0x32, 0xFF, 0xBF, // 010C LD (BFFF),A
        0x21, 0x01, 0x9A, // 010F LD HL,9A01
        0x06, 0xFF,       // 0112 LD B,FF
        0x77,             // 0114 LD (HL),A
        0x2C,             // 0115 INC L
        0x10, 0xFC,       // 0116 DJNZ 0114
        0x18, 0xFE,       // 0118 JR 0118
    };
    // Start 0x0100, W = the last offset, then the code.
    std::vector<uint8_t> file(4 + code.size());
    file[0] = 0x00;
    file[1] = 0x01;
    file[2] = static_cast<uint8_t>(code.size() - 1);
    file[3] = 0x00;
    std::copy(code.begin(), code.end(), file.begin() + 4);
    return file;
}

class SpecialistRun : public ::testing::Test {
protected:
    fs::path dir;
    std::string console;
    int status = 0;

    void SetUp() override { dir = korvel_test::make_data_dir("korvel_specialist"); }
    void TearDown() override { fs::remove_all(dir); }

    void write_bios(const std::vector<Piece>& pieces)
    {
        std::vector<uint8_t> image(0x1000, 0x00);
        for (auto& [at, bytes] : pieces)
            for (size_t i = 0; i < bytes.size(); ++i) image[at - 0xC000 + i] = bytes[i];
        korvel_test::write_file(dir / "Specialist" / "BIOS.rom", image);
    }
    void write_tape(const std::vector<uint8_t>& bytes)
    {
        korvel_test::write_file(dir / "Specialist" / "Games1" / "DOWNEART.RKS", bytes);
    }
    void run(const std::string& options, const std::string& input = "", const std::string& keys = "")
    {
        korvel_test::HeadlessRun r = korvel_test::run_headless(dir, "specialist", options, input, keys);
        status = r.status;
        console = r.console;
    }
    Shot shot(int number) { return korvel_test::expect_shot(dir, number, 768, 512, console); }
};

constexpr uint32_t white = 0xFFFFFF, blue = 0x0000FF;

// White pixels in the shot's rows [top, bottom).
size_t white_pixels(const Shot& s, uint32_t top, uint32_t bottom)
{
    size_t n = 0;
    for (uint32_t y = top; y < bottom; ++y)
        for (uint32_t x = 0; x < s.width; ++x) n += s.at(x, y) == white;
    return n;
}

// The shot starts one row below the picture: line y (y >= 1) is shot row 2y - 1. Byte
// column c covers 16 shot columns from 16c, two per bit, bit 7 first.
uint32_t pixel(const Shot& s, uint32_t column, uint32_t bit_from_left, uint32_t line)
{
    const uint32_t x = 16 * column + 2 * bit_from_left, y = 2 * line - 1;
    EXPECT_EQ(s.at(x, y), s.at(x + 1, y));
    return s.at(x, y);
}

TEST_F(SpecialistRun, MissingBiosOrTapeIsFatal)
{
    run("--frames 2");
    EXPECT_EQ(status, 1); // a fatal error, not a crash
    EXPECT_NE(console.find("Can't open file!"), std::string::npos) << console;

    write_bios(bios()); // the BIOS reaches the tape entry, and the tape file is missing
    run("--frames 2");
    EXPECT_EQ(status, 1); // a fatal error, not a crash
    EXPECT_NE(console.find("Can't open file!\nSpecialist/Games1/DOWNEART.RKS: No such file or directory\n"),
              std::string::npos)
        << console;

    // Folders in place of the files open but cannot be read: fatal too, and memory is not
    // overwritten from 0xFFFF with 64 KB of 0xFF (the screen stays untouched).
    fs::create_directories(dir / "Specialist" / "Games1" / "DOWNEART.RKS");
    run("--frames 2");
    EXPECT_EQ(status, 1);
    EXPECT_NE(console.find("Can't open file!\nSpecialist/Games1/DOWNEART.RKS: Is a directory\n"), std::string::npos)
        << console;
    fs::remove(dir / "Specialist" / "BIOS.rom");
    fs::create_directories(dir / "Specialist" / "BIOS.rom");
    run("--frames 2");
    EXPECT_EQ(status, 1);
    EXPECT_NE(console.find("Can't open file!\nSpecialist/BIOS.rom: Is a directory\n"), std::string::npos) << console;
}

// The BIOS loads the tape block and runs it; the picture shows what it drew. The reset
// keys restart at 0x0000, from where the zeroed memory slides into the block again.
TEST_F(SpecialistRun, TapeProgramDrawsAndResetRestarts)
{
    write_bios(bios());
    write_tape(tape());
    run("--cpu z80 --frames 12 --screenshot-at 3 --screenshot-at 11", "",
        "6 PRINTSCREEN down\n6 SCROLLLOCK down\n6 PAUSE down\n7 PRINTSCREEN up\n7 SCROLLLOCK up\n7 PAUSE up\n");
    EXPECT_EQ(status, 0) << console;

    const Shot a = shot(0);
    // 0x31 = 0011 0001: the BIOS byte survived the CPU write.
    const uint32_t expected[8] = {blue, blue, white, white, blue, blue, blue, white};
    for (uint32_t p = 0; p < 8; ++p) EXPECT_EQ(pixel(a, 0, p, 1), expected[p]) << p;
    EXPECT_EQ(pixel(a, 1, 0, 1), blue);
    EXPECT_EQ(a.at(0, 2), 0x000000u) << "rows between lines stay black";
    for (uint32_t line : {1u, 100u, 255u}) {
        EXPECT_EQ(pixel(a, 10, 0, line), white);
        EXPECT_EQ(pixel(a, 10, 7, line), white);
        EXPECT_EQ(pixel(a, 9, 7, line), blue);
        EXPECT_EQ(pixel(a, 11, 0, line), blue);
    }
    EXPECT_EQ(pixel(a, 47, 7, 255), white);
    EXPECT_EQ(pixel(a, 47, 0, 255), white);
    EXPECT_EQ(pixel(a, 47, 0, 254), blue);
    EXPECT_EQ(pixel(a, 0, 7, 5), white) << "one start";
    EXPECT_EQ(pixel(a, 0, 6, 5), blue);

    const Shot b = shot(1);
    EXPECT_EQ(pixel(b, 0, 7, 5), blue) << "two starts after the reset";
    EXPECT_EQ(pixel(b, 0, 6, 5), white);
}

// F8 stops in the monitor: a memory dump and a disassembly dump through standard input,
// then end of input runs the machine on.
TEST_F(SpecialistRun, MonitorDumps)
{
    write_bios(bios());
    write_tape(tape());
    run("--cpu z80 --frames 6", "m 0\nd 100\n107\n", "2 F8 down\n3 F8 up\n");
    EXPECT_EQ(status, 0) << console;
    EXPECT_NE(console.find(" HL="), std::string::npos) << console;

    const std::string memory = slurp(dir / "SPEC000Memory.bin");
    ASSERT_EQ(memory.size(), 65536u);
    EXPECT_EQ(static_cast<uint8_t>(memory[0x0100]), 0x21);
    EXPECT_EQ(static_cast<uint8_t>(memory[0x0119]), 0xFE);
    EXPECT_EQ(static_cast<uint8_t>(memory[0x8FE3]), 0x00);
    EXPECT_EQ(static_cast<uint8_t>(memory[0x8FE4]), 0x01);
    EXPECT_EQ(static_cast<uint8_t>(memory[0xC000]), 0x31);
    EXPECT_EQ(static_cast<uint8_t>(memory[0xBFFF]), 0xFF);

    const std::string dump = slurp(dir / "SPEC000-DisDump.txt");
    EXPECT_NE(dump.find("0100 21 05 90"), std::string::npos) << dump;
    EXPECT_NE(dump.find("0103 34"), std::string::npos) << dump;
    EXPECT_NE(dump.find("0107 32 01 90"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("010A"), std::string::npos) << dump;
}

// The real monitor ROM scans its keyboard through the interface: a command typed with
// the PC keys reaches its prompt, is echoed and carried out. The tape block only jumps
// to the monitor's entry (the ROM reads the tape first thing at power-on).
TEST_F(SpecialistRun, RealBiosTakesATypedCommand)
{
    const std::string rom = korvel_test::real_rom_file("specialist/BIOS.rom");
    if (rom.empty()) GTEST_SKIP() << "real ROM absent: specialist/BIOS.rom (set KORVEL_ROMS_DIR)";
    fs::create_directories(dir / "Specialist");
    fs::create_symlink(rom, dir / "Specialist" / "BIOS.rom");
    write_tape({0x00, 0x00, 0x02, 0x00, 0xC3, 0x00, 0xC8}); // at 0x0000: JP C800

    // "DC000,C01F" and Enter: by position, PC L is Д D, W is Ц C, A is Ф F, / is ", <".
    const char* typed[] = {"L", "W", "0", "0", "0", "SLASH", "W", "0", "1", "A", "ENTER"};
    std::string keys;
    uint32_t frame = 20;
    for (const char* key : typed) {
        keys += std::to_string(frame) + " " + key + " down\n" + std::to_string(frame + 3) + " " + key + " up\n";
        frame += 8;
    }
    keys += std::to_string(frame + 20) + " F8 down\n";
    run("--frames " + std::to_string(frame + 24) + " --screenshot-at 15 --screenshot-at " + std::to_string(frame + 15),
        "m 0\n", keys);
    EXPECT_EQ(status, 0) << console;

    const std::string memory = slurp(dir / "SPEC000Memory.bin");
    ASSERT_EQ(memory.size(), 65536u) << console;
    EXPECT_EQ(memory.substr(0x8F60, 11), "DC000,C01F\r") << "the monitor's command line";

    // Before typing only the prompt lines are lit; after it the echo and two dump lines
    // of 16 bytes follow (text lines are 10 display lines high, shot rows 2y - 1).
    const Shot before = shot(0), after = shot(1);
    EXPECT_GT(white_pixels(before, 20, 40), 0u) << "the prompt";
    EXPECT_EQ(white_pixels(before, 40, 80), 0u);
    EXPECT_GT(white_pixels(after, 20, 40), white_pixels(before, 20, 40)) << "the echo";
    EXPECT_GT(white_pixels(after, 40, 60), 0u) << "dump line C000";
    EXPECT_GT(white_pixels(after, 60, 80), 0u) << "dump line C010";
}

} // namespace
