// The workstation as the program's machine, run headless: start-up from a synthetic
// "UKNC.rom", host keys for the X-scale, lines-fit, palette, frame delay, scanlines,
// screenshot and restart, and the missing ROM.
#include "support/headless.h"
#include "workstation_programs.h"

namespace {

namespace fs = std::filesystem;
using korvel_test::count;

TEST(WorkstationHeadless, HostKeysScreenAndRestart)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    const std::string keys =
        "3 0xD3 down\n4 0xD3 up\n5 0xD3 down\n6 0xD3 up\n7 0xD3 down\n8 0xD3 up\n" // x1.333, x1.5, x1.0
        "9 0x2A down\n10 0xD3 down\n11 0xD3 up\n12 0xD3 down\n13 0xD3 up\n14 0x2A up\n" // 288, 298
        "15 0x29 down\n16 0x29 up\n17 0xD1 down\n18 0xD1 up\n"                          // palette, delay
        "25 0x2A down\n26 0xB7 down\n27 0xB7 up\n28 0x2A up\n"                          // Shift+PrtSc
        "30 0x1D down\n31 0xD3 down\n32 0xD3 up\n33 0x1D up\n"                          // smooth scanlines
        "35 0x1D down\n36 0x9D down\n37 0x9D up\n38 0x1D up\n";                         // restart
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 45", "", keys);
    EXPECT_EQ(run.status, 0) << run.console;
    const std::string& out = run.console;
    const char* const expected[] = {
        "UKNC screen X-scale = 1.25\n", "Start CPU\n", "UKNC screen X-scale = 1.333\n",
        "UKNC screen X-scale = 1.5\n", "UKNC screen X-scale = 1.0\n", "Lines fit to window: 288\n",
        "Lines fit to window: 298\n", "UKNC Palette 0\n", "Frame Delay = 0\n", "Saving ScreenShot_000.png\n",
        "Smooth scanlines\n", "System Reset...\n", "Start CPU\n",
    };
    size_t at = 0;
    for (const char* text : expected) {
        size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << " in order in:\n" << out;
        at = found + 1;
    }
    EXPECT_EQ(count(out, "Start CPU\n"), 2u);

    // x1.0 with black scanlines and all 298 lines: the picture's pixels as rendered.
    korvel_test::Shot shot;
    ASSERT_TRUE(korvel_test::read_png(dir / korvel_test::screenshot_name(0), &shot));
    EXPECT_EQ(shot.width, 640u);
    EXPECT_EQ(shot.height, 596u);
    const uint32_t* palette = uknc_palettes[0];
    int first_line = -1, cursor_rows = 0;
    for (uint32_t y = 0; y < shot.height; ++y) {
        if (first_line < 0 && shot.at(0, y) == palette[0xD] && shot.at(8, y) == palette[1] &&
            shot.at(16, y) == palette[4])
            first_line = int(y);
        if (shot.at(100, y) == palette[0xE] && shot.at(99, y) == palette[0])
            ++cursor_rows;
    }
    EXPECT_GE(first_line, 0);
    EXPECT_LE(first_line, 2);
    EXPECT_GE(cursor_rows, 290); // every picture line, on every second row
    EXPECT_LE(cursor_rows, 298);
    fs::remove_all(dir);
}

TEST(WorkstationHeadless, MissingRomIsReported)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc");
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 5");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.console.find("File UKNC.rom not found!"), std::string::npos) << run.console;
    // A short ROM is padded: the machine runs (an unprogrammed ROM traps around forever).
    korvel_test::write_file(dir / "UKNC.rom", std::vector<uint8_t>(100, 0));
    run = korvel_test::run_headless(dir, "uknc", "--frames 5");
    EXPECT_EQ(run.status, 0) << run.console;
    fs::remove_all(dir);
}

} // namespace

namespace {

TEST(WorkstationHeadless, MonitorThroughStandardInput)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    Pdp11Program ppu = ppu_program(cpu_boot(), cpu_user());
    char idle[8];
    std::snprintf(idle, sizeof idle, "%04X", ppu.labels["idle"]);
    const std::string input = std::string("\n") + "p 0\n" + "r " + idle + "\n" + "i 0\n" + "d E0C0\nE0C8\n" +
                              "m 0\n" + "j E0C0\n" + "f 0\n" + "l 0\n";
    korvel_test::HeadlessRun run =
        korvel_test::run_headless(dir, "uknc", "--frames 40", input, "3 0xDD down\n4 0xDD up\n");
    EXPECT_EQ(run.status, 0) << run.console;
    const std::string& out = run.console;
    const std::string expected[] = {
        "Timer: ", "PPU (Main)   ", "CPU (Main)   ", "Monitored processor = PPU\n",
        std::string("PC=") + idle, "\nCPU Interrupts:\n50Hz Timer: Enabled, ", "PC=E0C0", "One frame done...\n",
    };
    size_t at = 0;
    for (const std::string& text : expected) {
        size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << " in order in:\n" << out;
        at = found + 1;
    }
    EXPECT_EQ(out.find("Console input closed"), std::string::npos);

    std::string disassembly = korvel_test::slurp(dir / "UKNCDisDump.txt");
    EXPECT_EQ(disassembly.rfind("E0C0  15C6 0200       MOV   #$0200,SP", 0), 0u) << disassembly;
    EXPECT_EQ(count(disassembly, "\n"), 2u) << disassembly;
    std::string memory = korvel_test::slurp(dir / "UKNCMemory.bin");
    ASSERT_EQ(memory.size(), size_t(uknc_main_block_size));
    EXPECT_EQ(uint8_t(memory[0x30000 + 0x60C0]), 0306); // MOV #1000,SP at 0160300
    // The trace: CPU lines at the margin, PPU lines after 60 blanks and the PPU's pending
    // interrupt word ("%04X ").
    std::string trace = korvel_test::slurp(dir / "UKNCDebugDump.txt");
    EXPECT_GT(count(trace, "\n" + std::string(60, ' ') + "0000 " + idle), 100u);
    EXPECT_GT(count(trace, "\n0"), 100u); // the CPU's user program at 02000-02177
    fs::remove_all(dir);
}

} // namespace

namespace {

// A PPU program reads sector 0 of track 0 through the floppy registers and writes it back
// as the next sector; Ctrl+Shift+0 saves the image, which must then hold sector 0's bytes
// twice and nothing else changed.
TEST(WorkstationHeadless, FloppySectorRoundTrip)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc");
    Pdp11Program p(0160300);
    p.w({012706, 001000});
    p.w({012737, 002023, 0177130});                                    // drive 0, motor
    p.label("marker").w({032737, 000200, 0177130}).branch(001400, "marker"); // wait for the marker
    p.label("header").w({023727, 0177132, 0xA1FB}).branch(001000, "header"); // data marker
    p.w({012701, 010000, 012702, 000400});
    p.label("read").w({013721, 0177132}).sob(2, "read");              // 256 words to 010000
    p.w({012737, 003023, 0177130});                                    // start writing
    p.w({012737, 0xA1FB, 0177132});                                    // the data marker
    p.w({012701, 010000, 012702, 000400});
    p.label("write").w({012137, 0177132}).sob(2, "write");
    p.w({012737, 000001, 006000});
    p.label("idle").branch(000400, "idle");
    p.resolve();
    std::vector<uint8_t> rom(uknc_rom_size, 0xFF);
    p.store(rom.data(), p.origin - 0100000);
    korvel_test::write_file(dir / "UKNC.rom", rom);
    std::vector<uint8_t> image(819200);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i * 7 + (i >> 9));
    korvel_test::write_file(dir / "System.dsk", image);

    // Without the save key the change is named at the end of the run, and the file stays.
    korvel_test::HeadlessRun unsaved = korvel_test::run_headless(dir, "uknc", "--frames 8", "", "");
    EXPECT_EQ(unsaved.status, 0) << unsaved.console;
    EXPECT_NE(unsaved.console.find("Disk Image-0 was changed and not saved: System.dsk (Left Ctrl+Left Shift+0 "
                                   "saves it)\n"),
              std::string::npos)
        << unsaved.console;
    EXPECT_EQ(korvel_test::slurp(dir / "System.dsk"), std::string(image.begin(), image.end()));

    korvel_test::HeadlessRun run = korvel_test::run_headless(
        dir, "uknc", "--frames 8", "", "4 LCTRL down\n4 LSHIFT down\n5 0 down\n6 0 up\n6 LSHIFT up\n6 LCTRL up\n");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.console.find("Open Disk Image-0: System.dsk\n"), std::string::npos) << run.console;
    std::string saved = korvel_test::slurp(dir / "System.dsk");
    ASSERT_EQ(saved.size(), image.size()) << run.console;
    std::vector<uint8_t> expected = image;
    std::copy(image.begin(), image.begin() + 512, expected.begin() + 512);
    size_t differences = 0;
    for (size_t i = 0; i < image.size(); ++i)
        differences += uint8_t(saved[i]) != expected[i];
    EXPECT_EQ(differences, 0u) << run.console;
    EXPECT_EQ(run.console.find("not saved"), std::string::npos) << run.console;
    fs::remove_all(dir);
}

} // namespace
