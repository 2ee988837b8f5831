// The program with the terminals' ROM files beside UKNC.rom: the synthetic UKNC programs
// send 'A'..'E' on the console channel, the KSM's synthetic program stores them, and the
// monitor's 'z' and 'b' dumps show it; without the terminal ROMs the run goes on and the
// console names the missing files once.
#include "support/headless.h"

#include "machines/workstation/workstation_programs.h"
#include "terminals_test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ksm_rom_image()
{
    std::vector<uint8_t> rom(ksm_rom_size, 0);
    for (const Z80Code& piece : ksm_echo_program())
        std::copy(piece.bytes.begin(), piece.bytes.end(), rom.begin() + piece.origin);
    return rom;
}

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(TerminalsHeadless, ConsoleTextReachesTheKsmAndTheDumpsShowIt)
{
    fs::path dir = korvel_test::make_data_dir("korvel_terminals");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    std::vector<uint8_t> font(ksm_font_size);
    fill_test_font(font.data());
    korvel_test::write_file(dir / "KSM.rom", ksm_rom_image());
    korvel_test::write_file(dir / "KSM_FONT.rom", font);
    std::vector<uint8_t> ie15_rom = ie15_echo_program();
    ie15_rom.resize(ie15_rom_size, 0xFF);
    korvel_test::write_file(dir / "15IE.rom", ie15_rom);
    korvel_test::write_file(dir / "15IE_FONT.rom", font);

    // F9 shows the 15IE in the KGD display; stop in the monitor at frame 20, dump both
    // terminals, watch the TPU for one step, run on.
    korvel_test::HeadlessRun run = korvel_test::run_headless(
        dir, "uknc", "--frames 30", "z 0\nb 0\nt 0\n\nr 1\n", "17 0x43 down\n18 0x43 up\n20 0xDD down\n21 0xDD up\n");
    EXPECT_EQ(run.status, 0) << run.console;
    const std::string& out = run.console;
    // Only the KCGD, which has no ROM here, is left out.
    EXPECT_EQ(occurrences(out, "not found"), occurrences(out, "File KCGD.rom not found")) << out;
    // Each stop shows the 15IE's registers in the PPU's place, then the CPU's.
    const char* const expected[] = {"Videomode DVK KGD Activated!\n", " R0=", " A=", "Adr=", "VRow=", "CPU (Main)",
                                    "Monitored processor = TPU\n", " R0="};
    size_t at = 0;
    for (const char* text : expected) {
        size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << " in order in:\n" << out;
        at = found + 1;
    }
    EXPECT_EQ(out.find("Timer: "), std::string::npos);
    const std::string ksm = korvel_test::slurp(dir / "KSMMemory.bin");
    ASSERT_EQ(ksm.size(), size_t(ksm_block_size));
    EXPECT_EQ(ksm.substr(0xE030, 6), std::string("ABCDE\0", 6));
    EXPECT_EQ(ksm.substr(0xF830, 1), "S");
    EXPECT_EQ(uint8_t(ksm[0x0100]), 0x00); // the ROM's own byte: the program's writes there are lost
    EXPECT_EQ(uint8_t(ksm[0x18000 + 8]), font[8]);
    const std::string ie15 = korvel_test::slurp(dir / "IE15Memory.bin");
    ASSERT_EQ(ie15.size(), size_t(ie15_rom_size));
    EXPECT_EQ(std::vector<uint8_t>(ie15.begin(), ie15.end()), ie15_rom);
    fs::remove_all(dir);
}

TEST(TerminalsHeadless, MissingTerminalRomsLeaveTheRestRunning)
{
    fs::path dir = korvel_test::make_data_dir("korvel_terminals");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    korvel_test::write_file(dir / "KSM.rom", std::vector<uint8_t>(100, 0)); // short: padded
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 20", "", "4 0x1D down\n"
                                                             "5 0x9D down\n6 0x9D up\n7 0x1D up\n");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(occurrences(run.console, "File KSM_FONT.rom not found: running without its board\n"), 1u) << run.console;
    EXPECT_EQ(occurrences(run.console, "File 15IE.rom not found: running without its board\n"), 1u);
    EXPECT_EQ(occurrences(run.console, "File KCGD.rom not found: running without its board\n"), 1u);
    EXPECT_EQ(occurrences(run.console, "not found"), 3u);
    EXPECT_EQ(occurrences(run.console, "Start CPU\n"), 2u); // the UKNC ran, restart included
    fs::remove_all(dir);
}

} // namespace
