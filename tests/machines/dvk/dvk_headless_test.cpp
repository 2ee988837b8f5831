// The KCGD in the whole program: "KCGD.rom" from the data directory, F6 and F7, the
// screenshot of its picture; without the ROM the board is left out and the run goes on.
#include "dvk_test_support.h"
#include "support/headless.h"
#include "machines/workstation/workstation_programs.h"

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

// The whole program with a CPU program that switches a mode on and draws: the window
// and the screenshot's pixels, each picture line on its rows.
std::vector<uint8_t> rom_with_user_program(const Pdp11Program& user)
{
    std::vector<uint8_t> rom(uknc_rom_size, 0xFF);
    Pdp11Program ppu = ppu_program(cpu_boot(), user);
    ppu.store(rom.data(), ppu.origin - 0100000);
    return rom;
}

TEST(DvkHeadless, E85AndNemigaSwitchedOnByCpuPrograms)
{
    const std::string shot_keys = "10 0x2A down\n11 0xB7 down\n12 0xB7 up\n13 0x2A up\n";
    {
        fs::path dir = korvel_test::make_data_dir("korvel_dvk");
        Pdp11Program user(002000);
        user.w({005737, 0174000});            // E-85 on
        user.w({012737, 2, 0174006});         // plane 0 copies the pattern
        user.w({012737, 0xFFFF, 0174024});
        user.w({012737, 16, 0174016, 012737, 3, 0174020}); // X 16, Y 3
        user.w({012737, 32, 0174022});        // a run of 32 pixels
        user.label("idle").branch(000400, "idle");
        user.resolve();
        korvel_test::write_file(dir / "UKNC.rom", rom_with_user_program(user));
        korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 16", "", shot_keys);
        EXPECT_EQ(run.status, 0) << run.console;
        expect_in_order(run.console, {"Videomode E-85 Activated!\n", "Saving ScreenShot_000.png\n"});
        korvel_test::Shot shot = korvel_test::expect_shot(dir, 0, 1024, 768, run.console);
        // Monochrome (planes 1 and 2 blank): green on black; line 3 on rows 9 and 10.
        for (uint32_t y = 0; y < 30; ++y)
            for (uint32_t x = 0; x < 64; ++x) {
                bool lit = (y == 9 || y == 10) && x >= 16 && x < 48;
                ASSERT_EQ(shot.at(x, y), lit ? 0x00FF00u : 0u) << x << "," << y;
            }
        fs::remove_all(dir);
    }
    {
        fs::path dir = korvel_test::make_data_dir("korvel_dvk");
        Pdp11Program user(002000);
        user.w({012737, 0xC000, 0177572});    // NEMIGA on, the first picture word
        user.w({012737, 0x80C0, 0177570});    // pixels 3, 2, then 0
        user.label("idle").branch(000400, "idle");
        user.resolve();
        korvel_test::write_file(dir / "UKNC.rom", rom_with_user_program(user));
        korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 16", "", shot_keys);
        EXPECT_EQ(run.status, 0) << run.console;
        expect_in_order(run.console, {"Videomode NEMIGA Activated!\n", "Saving ScreenShot_000.png\n"});
        korvel_test::Shot shot = korvel_test::expect_shot(dir, 0, 768, 512, run.console);
        // At x1.5 the first line is the 512-pixel line through the 3:2 column filter.
        uint32_t line[nemiga_width], wide[nemiga_wide_width];
        for (int x = 0; x < nemiga_width; ++x)
            line[x] = nemiga_palettes[0][x == 0 ? 3 : x == 1 ? 2 : 0];
        filter_cols_3_2(line, wide, nemiga_width, 1, 0, 0);
        for (uint32_t x = 0; x < 48; ++x) {
            EXPECT_EQ(shot.at(x, 0), wide[x]) << x;
            EXPECT_EQ(shot.at(x, 1), 0u) << x;
            EXPECT_EQ(shot.at(x, 2), nemiga_palettes[0][0]) << x;
        }
        fs::remove_all(dir);
    }
}

} // namespace
