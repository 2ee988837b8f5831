// The real UKNC ROM through the program, headless: the boot menu, booting from a drive
// without a diskette (the screen the real machine shows: cleared, the drive turning, the
// boot retried for ever), and booting a disk image whose first sector is a tiny program.
// Skipped when the ROM dump is not at hand.
#include "support/headless.h"
#include "support/test_data.h"
#include "support/uknc_menu_keys.h"
#include "workstation_programs.h"

#include "machines/uknc/uknc_floppy.h"

#include "host/host.h"

#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;

// "1" chooses the disk, Enter takes drive 0; Apps stops in the monitor at the end.
const char* const boot_keys = "150 1 down\n153 1 up\n200 ENTER down\n203 ENTER up\n895 MENU down\n897 MENU up\n";

std::set<uint32_t> colours_right_of(const korvel_test::Shot& shot, uint32_t left)
{
    std::set<uint32_t> colours;
    for (uint32_t y = 0; y < shot.height; ++y)
        for (uint32_t x = left; x < shot.width; ++x)
            colours.insert(shot.at(x, y));
    return colours;
}

// PC of the last "CPU (Main)" register block on the console.
uint32_t last_cpu_pc(const std::string& console)
{
    size_t block = console.rfind("CPU (Main)");
    if (block == std::string::npos)
        return 0xFFFFFFFF;
    size_t pc = console.rfind("PC=", block);
    return pc == std::string::npos ? 0xFFFFFFFF : uint32_t(std::stoul(console.substr(pc + 3, 4), nullptr, 16));
}

class WorkstationRealRom : public testing::Test {
protected:
    void SetUp() override
    {
        KORVEL_NEED_ROM("uknc/UKNC.rom");
        rom = korvel_test::rom_path("uknc/UKNC.rom");
        dir = korvel_test::make_data_dir("korvel_uknc_rom");
        fs::copy_file(rom, dir / "UKNC.rom");
    }
    void TearDown() override
    {
        if (!dir.empty())
            fs::remove_all(dir);
    }
    std::string rom;
    fs::path dir;
};

TEST_F(WorkstationRealRom, NoDiskettePutsTheBootIntoItsRetryLoop)
{
    korvel_test::HeadlessRun run = korvel_test::run_headless(
        dir, "uknc", "--frames 900 --screenshot-at 140 --screenshot-at 890", "m 0\nr 0\n", boot_keys);
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.console.find("Can't open Disk Image: System.dsk\n"), std::string::npos);

    // The menu has text in it; after the choice the screen is cleared (the background, its
    // scanlines and the black border right of the drive indicators) while the boot is
    // retried.
    korvel_test::Shot menu, waiting;
    ASSERT_TRUE(korvel_test::read_png(dir / korvel_test::screenshot_name(0), &menu));
    ASSERT_TRUE(korvel_test::read_png(dir / korvel_test::screenshot_name(1), &waiting));
    EXPECT_GT(colours_right_of(menu, 60).size(), 3u);
    EXPECT_LE(colours_right_of(waiting, 60).size(), 3u);
    // The drive 0 indicator is on (its motor keeps turning), left of that.
    EXPECT_GT(colours_right_of(waiting, 0).size(), 4u);

    // The CPU's boot block (copied from the ROM to 01000) asks the PPU again and again: it
    // is inside its loop at 0x200-0x246, and nothing was loaded at 0.
    uint32_t pc = last_cpu_pc(run.console);
    EXPECT_GE(pc, 0x200u) << run.console.substr(run.console.size() > 3000 ? run.console.size() - 3000 : 0);
    EXPECT_LE(pc, 0x246u);
    std::string memory = korvel_test::slurp(dir / "UKNCMemory.bin");
    ASSERT_EQ(memory.size(), size_t(uknc_main_block_size));
    EXPECT_NE(peek_word(reinterpret_cast<const uint8_t*>(memory.data()), 0), 0240);
}

TEST_F(WorkstationRealRom, BootsTheFirstSectorOfADiskImage)
{
    // A boot sector as a system disk begins: NOP, then MOV #123456,@#1000 and BR .
    std::vector<uint8_t> image(819200, 0);
    const uint16_t program[] = {0240, 012737, 0123456, 001000, 000777};
    for (size_t i = 0; i < std::size(program); ++i)
        poke_word(image.data(), uint32_t(2 * i), program[i]);
    korvel_test::write_file(dir / "System.dsk", image);

    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 900", "m 0\nr 0\n", boot_keys);
    EXPECT_EQ(run.status, 0) << run.console;
    std::string memory = korvel_test::slurp(dir / "UKNCMemory.bin");
    ASSERT_EQ(memory.size(), size_t(uknc_main_block_size));
    const uint8_t* cpu = reinterpret_cast<const uint8_t*>(memory.data());
    EXPECT_EQ(peek_word(cpu, 0), 0240);          // the sector arrived in its own byte order
    EXPECT_EQ(peek_word(cpu, 01000), 0123456);   // and ran
    EXPECT_EQ(last_cpu_pc(run.console), 010u);   // BR . at 010
    // Reading changed nothing: no warning about an unsaved image at the end.
    EXPECT_EQ(run.console.find("not saved"), std::string::npos);
}

// In the process: the boot retries without a diskette until an image is put into the
// drive (as a dropped file is), and then it boots.
TEST_F(WorkstationRealRom, InsertingADisketteDuringTheRetriesBoots)
{
    workstation_test_complex();
    std::ifstream file(rom, std::ios::binary);
    file.read(reinterpret_cast<char*>(workstation.rom), uknc_rom_size);
    uknc_floppy.inserted[0] = uknc_floppy.inserted[1] = false;
    workstation_restart();
    auto run_frames = [](int from, int to) {
        for (int frame = from; frame < to; ++frame)
            uknc_menu_boot_frame(frame);
    };
    testing::internal::CaptureStdout();
    run_frames(0, 700);
    uint32_t waiting_pc = workstation.cpu.r[7];
    bool drive_turning = uknc_floppy.drives[0].motor != 0;

    std::vector<uint8_t> image(819200, 0);
    const uint16_t program[] = {0240, 012737, 0123456, 001000, 000777};
    for (size_t i = 0; i < std::size(program); ++i)
        poke_word(image.data(), uint32_t(2 * i), program[i]);
    korvel_test::write_file(dir / "boot.dsk", image);
    ASSERT_TRUE(uknc_floppy_open(0, (dir / "boot.dsk").c_str()));
    run_frames(700, 1000);
    testing::internal::GetCapturedStdout();

    EXPECT_GE(waiting_pc, 0x200u);  // the boot block's loop, as in the run above
    EXPECT_LE(waiting_pc, 0x246u);
    EXPECT_TRUE(drive_turning);
    EXPECT_EQ(peek_word(workstation.cpuMemory, 01000), 0123456);
    EXPECT_EQ(workstation.cpu.r[7], 010u);
    uknc_floppy.inserted[0] = false;
    uknc_floppy.names[0][0] = '\0';
}

} // namespace
