// The whole complex with every board and both terminals fitted, in one program run: a CPU
// program sends console text (reaching the KCGD, the KSM and the 15IE at once), switches
// the KGD on by its first access and draws, then ends through EMT 350; the host keys move
// the screen between the KGD over each terminal, the KCGD and the UKNC, restart the
// complex and enter the monitor, whose dumps show what each board took.
#include "support/headless.h"

#include "machines/dvk/dvk_test_support.h"
#include "machines/workstation/workstation_programs.h"
#include "terminals_test_support.h"

namespace {

namespace fs = std::filesystem;

// User program at 02000: "ABCDE" and a 0 on the console, the KGD on with graphics and its
// first byte lit, then, after 20 fields, EMT 350 (whose vector leads to an idle loop).
Pdp11Program complex_user_program()
{
    Pdp11Program p(002000);
    p.w({012737}).address_of("idle").w({000030}); // EMT vector: idle, PSW 0
    p.w({005037, 000032});
    p.w({012737}).address_of("field").w({000100});
    p.w({012737, 000000, 000102});
    p.w({012700, 000101, 012701, 6});              // R0 = 'A', six bytes
    p.label("send").label("wait").w({0105737, 0177564}).branch(0100000, "wait");
    p.w({0110037, 0177566, 005200});               // MOVB R0,@#177566; INC R0
    p.w({020127, 2}).branch(001000, "next");       // CMP R1,#2; BNE: before the last byte
    p.w({005000});                                 // the sixth byte is 0
    p.label("next").sob(1, "send");
    p.w({012737, 0, 0176644});                     // KGD on by its address register
    p.w({012737, 0100000, 0176640});               // graphics on
    p.w({012737, 0377, 0176642});                  // byte 0 of the bitmap lit
    p.label("fields").w({023727, 003200, 20}).branch(002400, "fields"); // CMP @#3200,#20; BLT
    p.w({0104350});                                // EMT 350: the program's exit
    p.label("idle").branch(000400, "idle");
    p.label("field").w({005237, 003200, 000002});  // INC @#3200; RTI
    p.resolve();
    return p;
}

std::vector<uint8_t> rom_of(const Pdp11Program& program, uint32_t size)
{
    std::vector<uint8_t> rom(size, 0xFF);
    program.store(rom.data(), program.origin - 0100000);
    return rom;
}

std::vector<uint8_t> ksm_rom()
{
    std::vector<uint8_t> rom(ksm_rom_size, 0);
    for (const Z80Code& piece : ksm_echo_program())
        std::copy(piece.bytes.begin(), piece.bytes.end(), rom.begin() + piece.origin);
    return rom;
}

size_t lit(const korvel_test::Shot& shot, uint32_t background)
{
    size_t n = 0;
    for (uint32_t y = 0; y < shot.height; ++y)
        for (uint32_t x = 0; x < shot.width; ++x)
            n += shot.at(x, y) != background && shot.at(x, y) != 0;
    return n;
}

TEST(ComplexHeadless, EveryBoardAndTerminalTogetherByProgramAndHostKeys)
{
    fs::path dir = korvel_test::make_data_dir("korvel_complex");
    korvel_test::write_file(dir / "UKNC.rom", rom_of(ppu_program(cpu_boot(), complex_user_program()), uknc_rom_size));
    korvel_test::write_file(dir / "KCGD.rom", rom_of(gpu_test_program(), kcgd_rom_size));
    std::vector<uint8_t> font(ksm_font_size);
    fill_test_font(font.data());
    korvel_test::write_file(dir / "KSM.rom", ksm_rom());
    korvel_test::write_file(dir / "KSM_FONT.rom", font);
    std::vector<uint8_t> ie15 = ie15_echo_program();
    ie15.resize(ie15_rom_size, 0xFF);
    korvel_test::write_file(dir / "15IE.rom", ie15);
    korvel_test::write_file(dir / "15IE_FONT.rom", font);

    auto shot = [](int frame) {
        return std::to_string(frame) + " 0x2A down\n" + std::to_string(frame + 1) + " 0xB7 down\n" +
               std::to_string(frame + 2) + " 0xB7 up\n" + std::to_string(frame + 2) + " 0x2A up\n";
    };
    auto press = [](int frame, const char* key) {
        return std::to_string(frame) + " " + key + " down\n" + std::to_string(frame + 1) + " " + key + " up\n";
    };
    const std::string keys = shot(8) +                  // 0: KGD over the KSM
                             press(12, "0x43") +        // F9: the 15IE under the KGD
                             shot(14) + shot(30) +      // 1, 2: before and after EMT 350
                             press(34, "0x40") +        // F6: KCGD
                             shot(36) +                 // 3
                             press(40, "0x42") +        // F8: the KGD over the KCGD
                             press(42, "0x41") +        // F7: both off at once
                             press(44, "0x44") + press(44, "0x45") + // F10, NumLock
                             shot(46) +                 // 4: the UKNC again
                             "50 0x1D down\n50 0x9D down\n51 0x9D up\n51 0x1D up\n" + // restart
                             press(70, "0xDD");         // Apps: the monitor
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--frames 80", "n 0\nz 0\n", keys);
    ASSERT_EQ(run.status, 0) << run.console;
    const std::string& out = run.console;
    EXPECT_EQ(out.find("not found"), std::string::npos) << out;
    expect_in_order(out, {"Start CPU\n", "Videomode DVK KGD Activated!\n", "KGD Graphics On\n",
                          "Saving ScreenShot_000.png\n", "Saving ScreenShot_001.png\n", "Saving ScreenShot_002.png\n",
                          "Videomode DVK KGD Dectivated!\nVideomode DVK KCGD Activated!\n",
                          "Saving ScreenShot_003.png\n", "Videomode DVK KGD Activated!\n",
                          "Videomode DVK KCGD Dectivated!\nVideomode DVK KGD Dectivated!\n", "15IE: Mode 2\n",
                          "15IE: RED Off\n", "Saving ScreenShot_004.png\n", "System Reset...\n", "Start CPU\n",
                          "Videomode DVK KGD Activated!\n", "KGD Graphics On\n", "Videomode DVK KGD Dectivated!\n",
                          "Console input closed"});
    // F9 set keep-KGD: the first EMT 350 cleared the bitmap but left the KGD on, without
    // a message; F7 cleared keep-KGD, so after the restart EMT 350 switches the KGD off.
    EXPECT_EQ(korvel_test::count(out, "Dectivated!\n"), 4u) << out;

    const uint32_t bg = kgd_palettes[0][0], fg = kgd_palettes[0][1];
    korvel_test::Shot ksm = korvel_test::expect_shot(dir, 0, 800, 572, out);
    korvel_test::Shot ie15_before = korvel_test::expect_shot(dir, 1, 800, 572, out);
    korvel_test::Shot ie15_after = korvel_test::expect_shot(dir, 2, 800, 572, out);
    // The KGD's first byte, doubled: 16 lit pixels at the top left, on every second row.
    for (uint32_t x = 0; x < 16; ++x) {
        EXPECT_EQ(ksm.at(x, 0), fg) << x;
        EXPECT_EQ(ie15_before.at(x, 0), fg) << x;
    }
    // Each terminal shows the console text ("ABCDE" of the KSM's row, the 15IE's
    // display memory on every row), and the two pictures differ.
    EXPECT_GT(lit(ksm, bg), 200u);
    EXPECT_GT(lit(ie15_before, bg), 2000u);
    // After EMT 350 only the KGD's bitmap is gone: the 15IE's text stays as it was.
    size_t differ = 0;
    for (uint32_t y = 0; y < 572; ++y)
        for (uint32_t x = 0; x < 800; ++x)
            if (ie15_before.at(x, y) != ie15_after.at(x, y)) {
                ++differ;
                EXPECT_TRUE(y < 2 && x < 16) << x << "," << y;
            }
    EXPECT_GT(differ, 0u);
    EXPECT_NE(ie15_after.at(0, 0), fg);
    // The GPU's picture: palette register 1 at the left of its first line.
    korvel_test::Shot kcgd = korvel_test::expect_shot(dir, 3, 800, 480, out);
    EXPECT_TRUE(kcgd.at(2, 0) == kcgd_colour(0x31) || kcgd.at(2, 1) == kcgd_colour(0x31));
    korvel_test::expect_shot(dir, 4, 800, 552, out);

    // The console text reached the GPU (its byte log) and the KSM (its first screen row),
    // again after the restart, which cleared the KSM's RAM first.
    const std::string kcgd_dump = korvel_test::slurp(dir / "KCGDMemory.bin");
    ASSERT_EQ(kcgd_dump.size(), size_t(kcgd_block_size));
    EXPECT_EQ(kcgd_dump.substr(gpu_byte_log, 6), std::string("ABCDE\0", 6));
    const std::string ksm_dump = korvel_test::slurp(dir / "KSMMemory.bin");
    ASSERT_EQ(ksm_dump.size(), size_t(ksm_block_size));
    EXPECT_EQ(ksm_dump.substr(0xE030, 7), std::string("ABCDE\0\0", 7));
    fs::remove_all(dir);
}

} // namespace
