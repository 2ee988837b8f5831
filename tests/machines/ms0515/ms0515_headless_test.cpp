// Whole MS-0515 runs: the korvel program, headless, with a hand-assembled ROM and a
// generated disk image in a temporary data directory; checked through screenshots, the
// debugger's memory and disassembly dumps and the console output.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/headless.h"
#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;
using korvel_test::count;
using korvel_test::read_png;
using korvel_test::Shot;
using korvel_test::slurp;

// A tiny assembler: words at consecutive addresses, with labels as plain addresses.
struct Program {
    uint16_t origin;
    std::vector<uint16_t> words;
    uint16_t here() const { return static_cast<uint16_t>(origin + 2 * words.size()); }
    void emit(std::initializer_list<uint16_t> w) { words.insert(words.end(), w); }
    void sob(int reg, uint16_t target)
    {
        emit({static_cast<uint16_t>(077000 | reg << 6 | ((here() + 2 - target) / 2))});
    }
    void br_self() { emit({000777}); }
};

constexpr uint16_t handler_address = 0173000;
// Track 1, sector 2 of the lower surface: the image is a dump of both surfaces.
constexpr uint32_t sector_offset = 2 * 5120 + 512;

uint16_t idle_address = 0;

// The ROM: sets up banks and the mono mode, draws a white first line, reads track 1
// sector 2 into RAM at 020000 and shows its first 80 bytes on line 2, then idles with
// interrupts open. Each keyboard interrupt stores the byte at 030000 and up, flips the
// video mode between mono and colour, and passes a software breakpoint word.
std::vector<uint8_t> make_rom()
{
    Program p{0172000, {}};
    p.emit({012706, 001000});                // MOV #1000,SP
    p.emit({012737, 000210, 0177600});       // SYSREG_A: extended ROM on, drive 0 active, lower surface
    p.emit({012737, 004377, 0177400});       // MEM_CON 0x08FF: bank A, video at 0100000
    p.emit({012737, 000010, 0177604});       // monochrome, background 0
    p.emit({012700, 0100000});               // MOV #100000,R0
    p.emit({012701, 000050});                // MOV #40.,R1
    uint16_t l1 = p.here();
    p.emit({012720, 0177777});               // MOV #-1,(R0)+
    p.sob(1, l1);
    p.emit({012737, 000001, 0177646});       // data register: track 1
    p.emit({012737, 000020, 0177640});       // SEEK
    p.emit({012737, 000002, 0177644});       // sector 2
    p.emit({012737, 000200, 0177640});       // READ SECTOR
    p.emit({012700, 020000});                // MOV #20000,R0
    p.emit({012701, 001000});                // MOV #512.,R1
    uint16_t l2 = p.here();
    p.emit({0113720, 0177646});              // MOVB @#177646,(R0)+
    p.sob(1, l2);
    p.emit({012700, 020000});                // MOV #20000,R0
    p.emit({012702, 0100240});               // MOV #100240,R2 (line 2)
    p.emit({012701, 000120});                // MOV #80.,R1
    uint16_t l3 = p.here();
    p.emit({0112022});                       // MOVB (R0)+,(R2)+
    p.sob(1, l3);
    p.emit({012737, handler_address, 000130}); // keyboard vector
    p.emit({012737, 000340, 000132});
    p.emit({012704, 030000});                // MOV #30000,R4
    p.emit({012705, 000010});                // MOV #10,R5
    p.emit({0106427, 0});                    // MTPS #0
    idle_address = p.here();
    p.br_self();

    Program h{handler_address, {}};
    h.emit({0113724, 0177440});              // MOVB @#177440,(R4)+
    h.emit({074537, 0177604});               // XOR R5,@#177604
    h.emit({010606});                        // MOV SP,SP: the software breakpoint word
    h.emit({000002});                        // RTI

    std::vector<uint8_t> rom(0x4000, 0);
    for (const Program* prog : {&p, &h})
        for (size_t i = 0; i < prog->words.size(); ++i) {
            size_t at = prog->origin - 0140000 + 2 * i;
            rom[at] = static_cast<uint8_t>(prog->words[i]);
            rom[at + 1] = static_cast<uint8_t>(prog->words[i] >> 8);
        }
    return rom;
}

uint8_t disk_byte(uint32_t offset) { return static_cast<uint8_t>(offset * 7 + (offset >> 9) * 3 + 1); }

class Ms0515Run : public testing::Test {
protected:
    fs::path dir;
    std::string console;
    int status = 0;

    void SetUp() override { dir = korvel_test::make_data_dir("korvel_ms0515"); }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(dir);
    }

    void write(const std::string& name, const std::vector<uint8_t>& bytes) { korvel_test::write_file(dir / name, bytes); }

    void standard_files()
    {
        write("MS-0515.rom", make_rom());
        std::vector<uint8_t> disk(819200 + 4096); // a longer file: only the image's size is read
        for (uint32_t i = 0; i < disk.size(); ++i)
            disk[i] = disk_byte(i);
        write("System.dsk", disk);
    }

    // The console holds standard output and standard error together.
    void run(const std::string& options, const std::string& input = "", const std::string& keys = "")
    {
        korvel_test::HeadlessRun r = korvel_test::run_headless(dir, "ms0515", options, input, keys);
        status = r.status;
        console = r.console;
    }
};

TEST_F(Ms0515Run, StartsDrawsReadsTheDiskAndTakesKeys)
{
    standard_files();
    run("--frames 8 --screenshot-at 1 --screenshot-at 6", "", "2 A down\n3 A up\n");
    ASSERT_EQ(status, 0) << console;
    EXPECT_NE(console.find("Can't open Disk Image: MS-0515\\OSA-Test.dsk\n"
                           "Open Disk Image: System.dsk\n"
                           "Can't open Disk Image: Work.dsk\n\n"),
              std::string::npos)
        << console;
    EXPECT_EQ(count(console, "Extended ROM ON\n"), 1u);
    // End of console input at the breakpoint: said once, then free running.
    EXPECT_EQ(count(console, "Console input closed"), 1u) << console;
    EXPECT_EQ(count(console, "CPU (Main)   "), 1u); // the one stop that found no input

    Shot mono, colour;
    ASSERT_TRUE(read_png(dir / "ScreenShot_000.png", &mono)) << console;
    ASSERT_TRUE(read_png(dir / "ScreenShot_001.png", &colour));
    ASSERT_GE(mono.width, 640u);
    ASSERT_GE(mono.height, 399u);
    for (uint32_t x = 0; x < 640; x += 7) {
        EXPECT_EQ(mono.at(x, 0), 0xD5D5D5u) << x;
        EXPECT_EQ(mono.at(x, 1), 0u) << x; // the row between two display lines
        uint8_t b = disk_byte(sector_offset + x / 8);
        EXPECT_EQ(mono.at(x, 4), (b >> (7 - x % 8)) & 1 ? 0xD5D5D5u : 0u) << x;
        EXPECT_EQ(mono.at(x, 8), 0u) << x;
    }
    // One key interrupt flipped the mode to colour: 0xFF pattern and attribute = bright white.
    for (uint32_t x = 0; x < 640; x += 5)
        EXPECT_EQ(colour.at(x, 0), 0xFFFFFFu) << x;
    static const uint32_t palette[16] = {0x000000, 0x0000D5, 0xD50000, 0xD500D5, 0x00D500, 0x00D5D5,
                                         0xD5D500, 0xD5D5D5, 0x000000, 0x0000FF, 0xFF0000, 0xFF00FF,
                                         0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF};
    for (uint32_t cell = 0; cell < 40; ++cell) {
        uint8_t pattern = disk_byte(sector_offset + 2 * cell);
        uint8_t attribute = disk_byte(sector_offset + 2 * cell + 1);
        uint32_t fg = palette[(attribute & 7) | (attribute & 0x40 ? 8 : 0)];
        uint32_t bg = palette[(attribute >> 3) & 15];
        for (uint32_t bit = 0; bit < 8; ++bit) {
            uint32_t expected = (pattern >> (7 - bit)) & 1 ? fg : bg;
            EXPECT_EQ(colour.at(cell * 16 + bit * 2, 4), expected) << cell << " " << bit;
            EXPECT_EQ(colour.at(cell * 16 + bit * 2 + 1, 4), expected) << cell << " " << bit;
        }
    }
}

TEST_F(Ms0515Run, DebuggerCommandsFromStandardInput)
{
    standard_files();
    char jump[32];
    make_rom(); // sets idle_address
    std::snprintf(jump, sizeof jump, "j %X\n", idle_address);
    run("--frames 14", std::string("m 0\n\nd F400\nF40C\nf 0\n") + jump + "l 0\n",
        "2 A down\n3 A up\n10 F8 down\n11 F8 up\n");
    ASSERT_EQ(status, 0) << console;
    // Stops: breakpoint word, after m, the single step (RTI), after d, after f, after j,
    // and F8, which finds the input at its end.
    EXPECT_EQ(count(console, "CPU (Main)   "), 7u) << console;
    EXPECT_EQ(count(console, "MEM_CON = 0x08FF, SYSREG_A = 0x88\n"), 7u) << console;
    EXPECT_EQ(count(console, "One frame done...\n"), 1u) << console;
    EXPECT_NE(console.find("1186"), std::string::npos) << console; // the breakpoint word shown
    char pc_text[16];
    std::snprintf(pc_text, sizeof pc_text, "PC=%.4X", idle_address);
    EXPECT_NE(console.find(pc_text), std::string::npos) << console;
    // F8 closed the trace file.
    EXPECT_EQ(count(console, "Console input closed"), 1u) << console;
    std::string trace = slurp(dir / "UKNCDebugDump.txt");
    char trace_line[32];
    std::snprintf(trace_line, sizeof trace_line, "\n%.4X  01FF            BR", idle_address);
    EXPECT_EQ(trace.rfind(trace_line, 0), 0u) << trace.substr(0, 200);
    EXPECT_GT(count(trace, "\n"), 1000u);

    std::string memory = slurp(dir / "MS0515Memory.bin");
    ASSERT_EQ(memory.size(), 0x20000u);
    for (uint32_t i = 0; i < 512; i += 31)
        EXPECT_EQ(static_cast<uint8_t>(memory[0x2000 + i]), disk_byte(sector_offset + i)) << i;
    EXPECT_EQ(static_cast<uint8_t>(memory[0x3000]), 0xD2); // the A key's byte

    std::string dis = slurp(dir / "MS0515DisDump.txt");
    EXPECT_EQ(dis.rfind("F400  15C6 0200       MOV   #$0200,SP", 0), 0u) << dis;
    EXPECT_EQ(count(dis, "\n"), 3u) << dis; // F400, F404, F40A (the next would be past F40C)
}

// The same two-surface-sized image read as one surface: the ROM's track 1 sector 2 comes
// from the first half, linearly.
TEST_F(Ms0515Run, LinearDisksOptionReadsEveryImageAsOneSurface)
{
    standard_files();
    run("--frames 6 --ms0515-linear-disks", "m 0\n", "2 A down\n3 A up\n");
    ASSERT_EQ(status, 0) << console;
    std::string memory = slurp(dir / "MS0515Memory.bin");
    ASSERT_EQ(memory.size(), 0x20000u) << console;
    for (uint32_t i = 0; i < 512; i += 31)
        EXPECT_EQ(static_cast<uint8_t>(memory[0x2000 + i]), disk_byte(5120 + 512 + i)) << i;
}

// The real ROM boots the real one-surface OSA disk, and the same disk as the lower surface
// of a two-surface dump (the upper surface filled with 0xE5): the ROM selects the lower
// surface with SYSREG_A bit 3 set, so both reach the same screen.
TEST_F(Ms0515Run, RealRomBootsOsaFromOneAndTwoSurfaceImages)
{
    KORVEL_NEED_ROM("ms0515/MS-0515.rom");
    KORVEL_NEED_ROM("ms0515/osa.dsk");
    const std::string rom = korvel_test::rom_path("ms0515/MS-0515.rom");
    const std::string osa = korvel_test::rom_path("ms0515/osa.dsk");
    fs::create_symlink(rom, dir / "MS-0515.rom");
    fs::create_symlink(osa, dir / "System.dsk");
    const std::string one = slurp(osa);
    ASSERT_EQ(one.size(), 409600u);
    std::string two;
    for (uint32_t track = 0; track < 80; ++track)
        two += one.substr(track * 5120, 5120) + std::string(5120, '\xE5');
    write("two.dsk", std::vector<uint8_t>(two.begin(), two.end()));

    run("--frames 400 --screenshot-at 400");
    ASSERT_EQ(status, 0) << console;
    run("--frames 400 --screenshot-at 400 two.dsk");
    ASSERT_EQ(status, 0) << console;
    Shot first, second;
    ASSERT_TRUE(read_png(dir / "ScreenShot_000.png", &first)) << console;
    ASSERT_TRUE(read_png(dir / "ScreenShot_001.png", &second)) << console;
    size_t lit = 0;
    for (uint32_t y = 30; y < 120; ++y)
        for (uint32_t x = 0; x < 640; ++x) lit += first.at(x, y) != 0;
    EXPECT_GT(lit, 300u) << "the system's lines below the ROM's banner";
    EXPECT_EQ(first.rgb, second.rgb);
}

TEST_F(Ms0515Run, ArgumentsNameTheDisks)
{
    standard_files();
    std::vector<uint8_t> small(100, 0x42);
    write("MS-0515/OSA-Test.dsk", small);
    write("mine.dsk", small);
    run("--frames 2 mine.dsk other.dsk");
    ASSERT_EQ(status, 0) << console;
    // Images far shorter than a disk side are opened with a warning naming their size.
    EXPECT_NE(console.find("Open Disk Image: MS-0515\\OSA-Test.dsk\n"
                           "Disk image MS-0515\\OSA-Test.dsk is only 100 bytes long (a disk side holds 409600): "
                           "the rest reads as 0xFF\n"
                           "Open Disk Image: mine.dsk\n"
                           "Disk image mine.dsk is only 100 bytes long (a disk side holds 409600): the rest reads as "
                           "0xFF\n"
                           "Can't open Disk Image: other.dsk\n"),
              std::string::npos)
        << console;
    // A long name that names nothing, and a directory where an image should be.
    std::string long_name(1000, 'n');
    fs::create_directories(dir / "folder.dsk");
    run("--frames 2 " + long_name + " folder.dsk");
    ASSERT_EQ(status, 0) << console;
    EXPECT_NE(console.find("Can't open Disk Image: " + long_name + "\nCan't open Disk Image: folder.dsk\n\n"),
              std::string::npos)
        << console;
}

TEST_F(Ms0515Run, MissingRomIsFatalWithAMessage)
{
    run("--frames 2");
    EXPECT_EQ(status, 1); // a fatal error, not a crash
    EXPECT_NE(console.find("MS-0515.rom"), std::string::npos) << console;
}

TEST_F(Ms0515Run, ShortOrGarbageRomRunsWithoutCrashing)
{
    write("MS-0515.rom", std::vector<uint8_t>(100, 0x00)); // HALT everywhere, then 0xFF padding
    run("--frames 3");
    EXPECT_EQ(status, 0) << console;
    write("MS-0515.rom", std::vector<uint8_t>(0x4000, 0xFF));
    run("--frames 3");
    EXPECT_EQ(status, 0) << console;
}

} // namespace
