// The workstation's side of the DVK boards and terminals, with stand-in boards: the board
// ROM rule (a missing file leaves its board absent), the display-mode host keys with
// their messages and window titles, the per-mode palette, X-scale and lines-fit steps,
// the 15IE toggles, and a program's exit through EMT 350.
#include "workstation_programs.h"

#include "host/host.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
Workstation& ws = workstation;

enum : uint8_t { F6 = 0x40, F7 = 0x41, F8 = 0x42, F9 = 0x43, F10 = 0x44, NUMLOCK = 0x45, GRAVE = 0x29,
                 DEL = 0xD3, LSHIFT = 0x2A };

// One frame's key snapshot: `down` held now, nothing held before.
void press(std::initializer_list<uint8_t> down)
{
    std::memset(KeySnapshot, 0, 256);
    std::memset(KeySnapshotPrev, 0, 256);
    for (uint8_t code : down)
        KeySnapshot[code] = 0x80;
    workstation_host_keys();
    workstation_update_title();
}

class WorkstationBoards : public testing::Test {
protected:
    void SetUp() override
    {
        workstation_test_complex();
        ws.kgdPresent = ws.kcgdPresent = ws.nemigaPresent = ws.e85Present = true;
        ws.ksmPresent = ws.ie15Present = true;
        ws.keepKgd = ws.ie15Selected = false;
        ws.paletteStep = ws.kgdPaletteStep = ws.nemigaPaletteStep = 0;
        ws.display = UkncDisplaySettings{12, uknc_scanlines_black, 276};
        ws.nemigaXScaleCode = 15;
        ws.displayMode = WS_DISPLAY_UKNC;
        set_window_title_suffix("");
        kgd_cleared = 0;
        workstation_board_hooks = WorkstationBoardHooks{};
        workstation_board_hooks.clear_kgd_memory = [] { ++kgd_cleared; };
    }
    void TearDown() override
    {
        ws.kgdPresent = ws.kcgdPresent = ws.nemigaPresent = ws.e85Present = false;
        ws.ksmPresent = ws.ie15Present = false;
        for (int mode = 0; mode < ws_mode_count; ++mode)
            workstation_switch_mode(mode, false, false);
        workstation_board_hooks = WorkstationBoardHooks{};
    }
    static inline int kgd_cleared = 0;
};

TEST(WorkstationBoardRom, MissingFilesLeaveTheirBoardAbsentAndSaySoOnce)
{
    fs::path dir = fs::temp_directory_path() / ("korvel_board_rom_" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder.rom");
    std::ofstream(dir / "short.rom", std::ios::binary) << "\x11\x22";
    std::vector<uint8_t> buffer(8192, 0);

    testing::internal::CaptureStdout();
    bool short_ok = workstation_load_board_rom(buffer.data(), buffer.size(), (dir / "short.rom").c_str());
    bool missing = workstation_load_board_rom(buffer.data() + 16, 16, (dir / "KCGD.rom").c_str());
    bool folder = workstation_load_board_rom(buffer.data() + 32, 16, (dir / "folder.rom").c_str());
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(short_ok);
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x22);
    EXPECT_EQ(buffer[2], 0xFF);  // a short file is padded as a ROM reads
    EXPECT_FALSE(missing);
    EXPECT_FALSE(folder);
    EXPECT_EQ(buffer[16], 0xFF);  // the missing file left the buffer alone (it was padded above)
    EXPECT_EQ(out, "File " + (dir / "KCGD.rom").string() + " not found: running without its board\n" + "File " +
                       (dir / "folder.rom").string() + " not found: running without its board\n");
    fs::remove_all(dir);
}

TEST_F(WorkstationBoards, DisplayModeKeysMessagesAndTitles)
{
    const std::string base = window_title_text();
    testing::internal::CaptureStdout();
    press({F8});                     // KSM under the KGD bitmap
    std::string title_ksm = window_title_text();
    bool kept = ws.keepKgd;
    press({GRAVE});                  // the KGD's palette list
    press({LSHIFT, DEL});            // no lines-fit step in the KGD mode
    press({F7});                     // back to the UKNC
    std::string title_plain = window_title_text();
    bool kept_after_f7 = ws.keepKgd;
    press({F9});                     // the 15IE under the KGD bitmap
    std::string title_ie15 = window_title_text();
    press({F6});                     // KCGD: the KGD goes off first
    std::string title_kcgd = window_title_text();
    press({F6});                     // already on: nothing
    press({F7});
    press({GRAVE});                  // the UKNC's list again
    press({F10});
    press({F10});
    press({NUMLOCK});
    press({NUMLOCK});
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(title_ksm, base + " (КСМ+КГД)");
    EXPECT_TRUE(kept);
    EXPECT_EQ(title_plain, base);
    EXPECT_EQ(title_ie15, base + " (15ИЭ-10-013+КГД)");
    EXPECT_EQ(title_kcgd, base + " (КЦГД)");
    EXPECT_EQ(window_title_text(), base);
    EXPECT_FALSE(kept_after_f7);
    EXPECT_EQ(ws.display.lines_fit, 276);
    EXPECT_EQ(out, "Videomode DVK KGD Activated!\n"
                   "KGD Palette 0\n"
                   "Videomode DVK KGD Dectivated!\n"
                   "Videomode DVK KGD Activated!\n"
                   "Videomode DVK KGD Dectivated!\n"
                   "Videomode DVK KCGD Activated!\n"
                   "Videomode DVK KCGD Dectivated!\n"
                   "UKNC Palette 0\n"
                   "15IE: Mode 2\n"
                   "15IE: Mode 1\n"
                   "15IE: RED Off\n"
                   "15IE: RED On\n");
    EXPECT_EQ(requested_client_width, 800u); // the UKNC size of X-scale 1.25 again
    EXPECT_EQ(requested_client_height, 552u);

    // Boards that are not fitted ignore their keys.
    ws.kcgdPresent = ws.ksmPresent = ws.ie15Present = false;
    testing::internal::CaptureStdout();
    press({F6});
    press({F8});
    press({F9});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(workstation_display_mode(), WS_DISPLAY_UKNC);
}

TEST_F(WorkstationBoards, NemigaScaleAndPaletteAndTheModeOrder)
{
    testing::internal::CaptureStdout();
    workstation_switch_mode(WS_MODE_NEMIGA, true, true);
    uint32_t wide = requested_client_width;
    press({DEL});
    uint32_t narrow = requested_client_width;
    press({DEL});
    press({GRAVE});
    press({GRAVE});
    press({LSHIFT, DEL});  // no lines-fit step either
    std::string title = window_title_text();
    workstation_switch_mode(WS_MODE_E85, true, true);
    uint32_t e85_width = requested_client_width;
    int nemiga_first = workstation_display_mode();
    workstation_switch_mode(WS_MODE_NEMIGA, false, false);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(wide, 768u);
    EXPECT_EQ(narrow, 512u);
    EXPECT_EQ(e85_width, 1024u);  // the E-85 took the window
    EXPECT_EQ(out, "Videomode NEMIGA Activated!\n"
                   "NEMIGA screen X-scale = 1.0\n"
                   "NEMIGA screen X-scale = 1.5\n"
                   "NEMIGA Palette 0\n"
                   "NEMIGA Palette 1\n"
                   "Videomode E-85 Activated!\n");
    EXPECT_NE(title.find(" (НЕМИГА)"), std::string::npos);
    EXPECT_EQ(nemiga_first, WS_DISPLAY_NEMIGA);
    EXPECT_EQ(workstation_display_mode(), WS_DISPLAY_E85);
    EXPECT_EQ(ws.display.lines_fit, 276);
    EXPECT_EQ(requested_client_width, 1024u); // the NEMIGA off: the E-85 still shown

    // The UKNC's X-scale and lines-fit steps under the E-85 change the settings but
    // leave the E-85's window whole; its end brings the UKNC's new size.
    testing::internal::CaptureStdout();
    press({DEL});
    press({LSHIFT, DEL});
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "UKNC screen X-scale = 1.333\nLines fit to window: 288\n");
    EXPECT_EQ(requested_client_width, 1024u);
    EXPECT_EQ(requested_client_height, 768u);
    workstation_switch_mode(WS_MODE_E85, false, false);
    EXPECT_EQ(requested_client_width, 852u);
    EXPECT_EQ(requested_client_height, 576u);
}

// A CPU program that ends through EMT 350 hands the screen back: NEMIGA and E-85 off,
// the KGD memory cleared and the KGD mode off unless F8/F9 chose it.
TEST_F(WorkstationBoards, ProgramExitThroughEmt350)
{
    Pdp11Program boot(0160300);
    boot.w({012706, 001000, 012700, 002000, 000032, 005000, 000034, 000010});
    boot.resolve();
    Pdp11Program user(002000);
    user.label("idle").w({0104350}).branch(000400, "idle"); // EMT 350, again after the RTI
    user.w({000002});                                        // 02004: RTI
    user.resolve();
    Pdp11Program ppu = ppu_program(boot, user);
    ppu.store(ws.rom, ppu.origin - 0100000);
    poke_word(ws.cpuMemory, 030, 002004); // EMT and field vectors: RTI
    poke_word(ws.cpuMemory, 0100, 002004);
    workstation_restart();

    for (bool keep : {false, true}) {
        workstation_switch_mode(WS_MODE_KGD, true, false);
        workstation_switch_mode(WS_MODE_NEMIGA, true, false);
        workstation_switch_mode(WS_MODE_E85, true, false);
        ws.keepKgd = keep;
        kgd_cleared = 0;
        testing::internal::CaptureStdout();
        for (int frame = 0; frame < 3; ++frame)
            workstation_run_frame();
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_FALSE(ws.nemigaMode) << keep;
        EXPECT_FALSE(ws.e85Mode) << keep;
        EXPECT_EQ(ws.kgdMode, keep);
        EXPECT_GE(kgd_cleared, 1);
        EXPECT_NE(out.find("Videomode E-85 Dectivated!\nVideomode NEMIGA Dectivated!\n"), std::string::npos) << out;
        EXPECT_EQ(out.find("KGD Dectivated") != std::string::npos, !keep) << out;
    }
}

} // namespace
