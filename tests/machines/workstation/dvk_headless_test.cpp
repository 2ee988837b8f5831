// The KCGD in the whole program: "KCGD.rom" from the data directory, F6 and F7, the
// screenshot of its picture; without the ROM the board is left out and the run goes on.
#include "dvk_test_support.h"
#include "support/headless.h"
#include "workstation_programs.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> kcgd_rom()
{
    std::vector<uint8_t> rom(kcgd_rom_size, 0xFF);
    Pdp11Program gpu = gpu_test_program();
    gpu.store(rom.data(), gpu.origin - 0100000);
    return rom;
}

TEST(DvkHeadless, KcgdByItsHostKeysWithTheGpuPicture)
{
    fs::path dir = korvel_test::make_data_dir("korvel_dvk");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    korvel_test::write_file(dir / "KCGD.rom", kcgd_rom());
    const std::string keys = "3 0x40 down\n4 0x40 up\n"                    // F6
                             "10 0x2A down\n11 0xB7 down\n12 0xB7 up\n13 0x2A up\n" // screenshot
                             "15 0x41 down\n16 0x41 up\n";                 // F7
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 20", "", keys);
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(run.console.find("KCGD.rom"), std::string::npos) << run.console;
    expect_in_order(run.console, {"Videomode DVK KCGD Activated!\n", "Saving ScreenShot_000.png\n",
                                  "Videomode DVK KCGD Dectivated!\n"});

    korvel_test::Shot shot;
    ASSERT_TRUE(korvel_test::read_png(dir / korvel_test::screenshot_name(0), &shot));
    EXPECT_EQ(shot.width, 800u);
    EXPECT_EQ(shot.height, 480u);
    auto colour = [](int i) { return kcgd_colour(uint8_t(0x30 | i)); };
    // The first picture line sits at the top, on every second row (black between).
    int first = -1;
    for (uint32_t y = 0; y < 4 && first < 0; ++y)
        if (shot.at(2, y) == colour(1) && shot.at(30, y) == colour(15))
            first = int(y);
    ASSERT_GE(first, 0);
    for (int nibble = 0; nibble < 16; ++nibble)
        for (int x = 2 * nibble; x < 2 * nibble + 2; ++x)
            EXPECT_EQ(shot.at(uint32_t(x), uint32_t(first)), colour(nibble)) << x;
    const int pairs[] = {0, 1, 2, 3, 3, 2, 1, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(shot.at(uint32_t(32 + i), uint32_t(first)), colour(5 * pairs[i])) << i;
    // Lines 1-79 are blank (from line 81 on the GPU's byte log shows in video memory).
    for (uint32_t y = uint32_t(first) + 2; y < uint32_t(first) + 160; y += 2)
        for (uint32_t x = 0; x < shot.width; x += 7)
            ASSERT_EQ(shot.at(x, y), colour(0)) << x << "," << y;
    for (uint32_t x = 0; x < shot.width; x += 5)
        ASSERT_EQ(shot.at(x, uint32_t(first) + 1), 0u) << x;
    fs::remove_all(dir);
}

TEST(DvkHeadless, MissingKcgdRomLeavesTheBoardOut)
{
    fs::path dir = korvel_test::make_data_dir("korvel_dvk");
    korvel_test::write_file(dir / "UKNC.rom", synthetic_rom());
    korvel_test::HeadlessRun run =
        korvel_test::run_headless(dir, "uknc", "--frames 12", "", "3 0x40 down\n4 0x40 up\n7 0x1D down\n7 0x9D down\n");
    EXPECT_EQ(run.status, 0) << run.console;
    EXPECT_EQ(korvel_test::count(run.console, "File KCGD.rom not found: running without its board\n"), 1u) << run.console;
    EXPECT_EQ(run.console.find("KCGD Activated"), std::string::npos) << run.console;
    EXPECT_EQ(korvel_test::count(run.console, "Start CPU\n"), 2u) << run.console; // ran, restarted, ran
    fs::remove_all(dir);
}

} // namespace
