// The KGD and NEMIGA displays: switched on by a CPU program's first access, their
// registers, EMT 350, the host keys, the palettes and X-scale, and their pictures pixel
// by pixel against an independent reading of the memories.
#include "dvk_test_support.h"

#include <cstdio>
#include <random>

namespace {

Workstation& ws = workstation;

TEST(DvkKgd, CpuProgramSwitchesItOnUsesTheRegistersAndLeavesByEmt350)
{
    dvk_test_complex();
    Pdp11Program p(01000);
    p.w({012737}).address_of("done").w({000030}); // EMT vector
    p.w({005037, 000032});
    p.w({012737, 0x5123, 0176644});  // first access: address 0x1123, KGD on
    p.w({012737, 0x8000, 0176640});  // graphics on
    p.w({012737, 0x00AA, 0176642});  // a bitmap byte
    p.w({012737, 0x0000, 0176640});  // graphics off
    p.w({012737, 0x4000, 0176640});  // text off
    p.label("tst").w({005737, 0176646});           // unrealized
    p.label("movb").w({0112737, 000001, 0176643}); // unrealized byte
    p.w({013737, 0176644, 002000});
    p.w({013737, 0176642, 002002});
    p.w({013737, 0176640, 002004});
    p.label("wait").branch(0100000, "wait"); // BPL . (N clear after the MOV): wait a frame
    p.w({0104350});                  // EMT 350: the program ends
    p.label("done").branch(000400, "done");
    p.resolve();
    // The BPL after MOV @#176640 (0x4000, positive) loops for ever: the test releases it.
    dvk_test_start_cpu(p);
    std::string out = dvk_test_frames(2);
    EXPECT_TRUE(ws.kgdMode);
    EXPECT_EQ(ws.KgdConsoleLimit, 19u);
    EXPECT_EQ(requested_client_width, 800u);
    EXPECT_EQ(requested_client_height, 572u);
    EXPECT_EQ(workstation_display_mode(), 1);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02000), 0x1123);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02002), 0x00AA);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02004), 0x4000);
    EXPECT_EQ(dvk.kgd.memory[0x1123], 0xAA);
    char unrealized[2][128];
    std::snprintf(unrealized[0], 128, "Read word from unrealized KGD register 0x%X (*) from location PC=0x%X\n",
                  0176646, p.labels["tst"] + 4);
    std::snprintf(unrealized[1], 128, "Write byte to unrealized KGD register 0x%X (*) from location PC = 0x%X\n",
                  0176643, p.labels["movb"] + 6);
    expect_in_order(out, {"Videomode DVK KGD Activated!\n", "KGD Graphics On\n", "KGD Graphics Off\n", "KGD Text Off\n",
                          unrealized[0], unrealized[1]});
    EXPECT_EQ(out.find("Dectivated"), std::string::npos);

    // Release the wait: EMT 350 clears the bitmap and switches the KGD off (not kept).
    ws.cpu.psw |= PDP11_N;
    poke_word(ws.cpuMemory, p.labels["wait"], 000240); // NOP
    out = dvk_test_frames(1);
    expect_in_order(out, {"Videomode DVK KGD Dectivated!\n"});
    EXPECT_FALSE(ws.kgdMode);
    EXPECT_EQ(ws.KgdConsoleLimit, 0xFFFFFFFFu);
    EXPECT_EQ(dvk.kgd.memory[0x1123], 0);
    // The UKNC plane window is back at 0176640/0176642.
    ws.CpuIoWriteWordTable[(0176640 >> 1) & 0xFFF](0176640, 0x0123);
    poke_word(ws.cpuMemory, 2 * 0x0123, 0xBEEF);
    EXPECT_EQ(ws.CpuIoReadTable[(0176642 >> 1) & 0xFFF](0176642), 0xBEEF);
}

TEST(DvkKgd, ConsoleBytesReachThePpuNineteenAtATime)
{
    dvk_test_complex();
    testing::internal::CaptureStdout();
    kgd_activate();
    // 25 bytes in one frame: the PPU is told of counts 1..18 at once.
    int told = 0;
    for (int i = 0; i < 25; ++i) {
        ws.ppuRxStatus &= ~0x08;
        workstation_console_output(uint8_t('a' + i));
        told += (ws.ppuRxStatus & 0x08) ? 1 : 0;
    }
    EXPECT_EQ(told, 18);
    ws.ppuRxStatus &= ~0x08;
    workstation_console_catch_up();
    EXPECT_TRUE(ws.ppuRxStatus & 0x08);
    testing::internal::GetCapturedStdout();
}

// A program that switched the KGD on leaves through EMT 350 after its 19th byte of a
// frame: the byte held back for the frame start is told to the PPU at once, so the CPU's
// console comes back ready (told once only). Not while keep-KGD holds the KGD on.
TEST(DvkKgd, SwitchingTheKgdOffMidFrameTellsTheHeldConsoleByte)
{
    for (bool keep : {false, true}) {
        dvk_test_complex();
        testing::internal::CaptureStdout();
        kgd_activate();
        ws.keepKgd = keep;
        for (int i = 0; i < 19; ++i) {
            workstation_console_output(uint8_t('a' + i));
            if (ws.ppuRxStatus & 0x08)
                ws.PpuIoReadTable[(0177060 >> 1) & 0xFF](0177060); // the PPU takes it
        }
        EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0); // the 19th waits for the frame start
        workstation_program_exit();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ((ws.ppuRxStatus & 0x08) != 0, !keep) << keep;
        ws.PpuIoReadTable[(0177060 >> 1) & 0xFF](0177060);
        EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0x80) << keep;
        workstation_console_catch_up();
        EXPECT_EQ((ws.ppuRxStatus & 0x08) != 0, keep) << keep; // the frame start tells it
    }
}

// The KGD layer over the terminal's text: text bits (swapped byte pairs) and the bitmap
// (each of 400 pixels doubled), foreground where either is set.
TEST(DvkKgd, PictureComposesTextAndBitmapInThePaletteColours)
{
    dvk_test_complex();
    std::mt19937 random(12);
    std::vector<uint8_t> text(kgd_text_bytes_per_line * kgd_lines);
    for (uint8_t& b : text)
        b = uint8_t(random() & random()); // sparse
    for (uint32_t i = 0; i < kgd_memory_size; ++i)
        dvk.kgd.memory[i] = uint8_t(random() & random());
    const struct {
        uint16_t control;
        bool text;
        int palette;
    } cases[] = {{0x8000, true, 0}, {0x0000, true, 1}, {0xC000, true, 2}, {0x4000, true, 3}, {0x8000, false, 4}};
    std::vector<uint32_t> picture(kgd_width * kgd_lines);
    for (const auto& c : cases) {
        dvk.kgd.control = c.control;
        ws.kgdPaletteIndex = c.palette;
        kgd_compose(c.text ? text.data() : nullptr, picture.data());
        const bool graphics = c.control & 0x8000, text_on = c.text && !(c.control & 0x4000);
        for (int y = 0; y < kgd_lines; ++y)
            for (int x = 0; x < kgd_width; ++x) {
                bool t = text_on && ((text[y * 100 + ((x / 8) ^ 1)] >> (7 - x % 8)) & 1);
                bool g = graphics && ((dvk.kgd.memory[y * 50 + x / 16] >> (7 - (x % 16) / 2)) & 1);
                ASSERT_EQ(picture[y * kgd_width + x], kgd_palettes[c.palette][t || g ? 1 : 0])
                    << x << "," << y << " control " << c.control;
            }
    }
}

TEST(DvkDisplays, HostKeysSwitchTheModesWithTheirMessagesAndWindows)
{
    dvk_test_complex();
    ws.ksmPresent = ws.ie15Present = true;
    const struct {
        uint8_t key;
        const char* message;
        int mode;
        uint32_t width, height;
    } steps[] = {
        {0x42, "Videomode DVK KGD Activated!\n", WS_DISPLAY_KSM_KGD, 800, 572},  // F8: KSM under the KGD
        {0x43, "", WS_DISPLAY_IE15_KGD, 800, 572},                            // F9: the 15IE, KGD stays on
        {0x40, "Videomode DVK KGD Dectivated!\nVideomode DVK KCGD Activated!\n", WS_DISPLAY_KCGD, 800, 480}, // F6
        {0x42, "Videomode DVK KGD Activated!\n", WS_DISPLAY_KSM_KGD, 800, 572},  // the KGD over the KCGD
        // F7: one press hands the screen back, the KCGD and the KGD both going off.
        {0x41, "Videomode DVK KCGD Dectivated!\nVideomode DVK KGD Dectivated!\n", WS_DISPLAY_UKNC, 800, 552},
        {0x41, "", WS_DISPLAY_UKNC, 800, 552},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(dvk_test_keys({s.key}), s.message) << int(s.key);
        EXPECT_EQ(workstation_display_mode(), s.mode) << int(s.key);
        EXPECT_EQ(requested_client_width, s.width) << int(s.key);
        EXPECT_EQ(requested_client_height, s.height) << int(s.key);
        // The KGD's registers are in place exactly while its mode is on.
        EXPECT_EQ(ws.CpuIoReadTable[(0176644 >> 1) & 0xFFF] == cpu_io_unrealized_read, !ws.kgdMode);
        EXPECT_EQ(ws.KgdConsoleLimit, ws.kgdMode ? 19u : 0xFFFFFFFFu);
    }
    // F8 set keep-KGD: EMT 350 clears the bitmap but leaves the KGD on.
    dvk_test_keys({0x42});
    dvk.kgd.memory[5] = 1;
    testing::internal::CaptureStdout();
    workstation_program_exit();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(ws.kgdMode);
    EXPECT_EQ(dvk.kgd.memory[5], 0);
    // A program that used the E-85 under the kept KGD: at its exit the window fits the
    // KGD again, not the UKNC.
    testing::internal::CaptureStdout();
    e85_activate();
    EXPECT_EQ(requested_client_width, 1024u);
    workstation_program_exit();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Videomode E-85 Activated!\nVideomode E-85 Dectivated!\n");
    EXPECT_EQ(workstation_display_mode(), WS_DISPLAY_KSM_KGD);
    EXPECT_EQ(requested_client_width, 800u);
    EXPECT_EQ(requested_client_height, 572u);
    // The grave key steps the KGD palettes: 0 again first, then 1; the picture follows.
    EXPECT_EQ(dvk_test_keys({0x29}), "KGD Palette 0\n");
    EXPECT_EQ(dvk_test_keys({0x29}), "KGD Palette 1\n");
    dvk.kgd.control = 0x8000;
    dvk.kgd.memory[0] = 0x80;
    std::vector<uint32_t> picture(kgd_width * kgd_lines);
    kgd_compose(nullptr, picture.data());
    EXPECT_EQ(picture[0], kgd_palettes[1][1]);
    EXPECT_EQ(picture[2], kgd_palettes[1][0]);
}

TEST(DvkNemiga, CpuProgramSwitchesItOnAndUsesItsWindow)
{
    dvk_test_complex();
    Pdp11Program p(01000);
    p.w({012737, 0x8010, 0177572});  // NEMIGA on; word 0x8010 = byte 0x0020
    p.w({012737, 0x1234, 0177570});
    p.w({012737, 0x0400, 0177572});  // CPU memory word 0x400
    p.w({012737, 0xBEEF, 0177570});
    p.w({012737, 0xC000, 0177572});  // byte 0x8000: the first picture line
    p.w({012737, 0x80C0, 0177570});
    p.w({013737, 0170032, 002000});  // 0
    p.w({012737, 000001, 0170020});  // ignored
    p.w({013737, 0177716, 002002});  // 0 while the mode is on
    p.w({012737, 000005, 0177772});
    p.w({013737, 0177772, 002004});
    p.w({005737, 0170006});          // silent
    p.label("idle").branch(000400, "idle");
    p.resolve();
    poke_word(ws.cpuMemory, 02002, 0xFFFF);
    dvk_test_start_cpu(p);
    std::string out = dvk_test_frames(1);
    EXPECT_EQ(out, "Videomode NEMIGA Activated!\n");
    EXPECT_TRUE(ws.nemigaMode);
    EXPECT_EQ(requested_client_width, 768u);
    EXPECT_EQ(requested_client_height, 512u);
    EXPECT_EQ(peek_word(dvk.nemiga.memory, 0x20), 0x1234);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x800), 0xBEEF);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02000), 0);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02002), 0);
    EXPECT_EQ(peek_word(ws.cpuMemory, 02004), 5);

    // The first picture pixels: 3, 2, then 0, at X-scale 1.0.
    EXPECT_EQ(dvk_test_keys({0xD3}), "NEMIGA screen X-scale = 1.0\n");
    EXPECT_EQ(dvk_test_keys({0x29}), "NEMIGA Palette 0\n");
    EXPECT_EQ(requested_client_width, 512u);
    std::vector<uint32_t> picture(nemiga_wide_width * nemiga_lines);
    nemiga_render(picture.data());
    EXPECT_EQ(picture[0], nemiga_palettes[0][3]);
    EXPECT_EQ(picture[1], nemiga_palettes[0][2]);
    for (int x = 2; x < 8; ++x)
        EXPECT_EQ(picture[x], nemiga_palettes[0][0]);

    // EMT 350 takes the mode away again.
    testing::internal::CaptureStdout();
    workstation_program_exit();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Videomode NEMIGA Dectivated!\n");
    EXPECT_FALSE(ws.nemigaMode);
}

TEST(DvkNemiga, PictureAtBothScalesInEveryPalette)
{
    dvk_test_complex();
    std::mt19937 random(7);
    for (uint32_t i = 0; i < nemiga_memory_size; ++i)
        dvk.nemiga.memory[i] = uint8_t(random());
    std::vector<uint32_t> narrow(nemiga_width * nemiga_lines), wide(nemiga_wide_width * nemiga_lines);
    for (int palette = 0; palette < nemiga_palette_count; ++palette) {
        ws.nemigaPaletteIndex = palette;
        ws.nemigaXScaleCode = 0;
        nemiga_render(narrow.data());
        for (int y = 0; y < nemiga_lines; ++y)
            for (int x = 0; x < nemiga_width; ++x) {
                const uint8_t* pair = dvk.nemiga.memory + 0x8000 + y * 128 + (x / 8) * 2;
                int value = ((pair[0] >> (7 - x % 8)) & 1) << 1 | ((pair[1] >> (7 - x % 8)) & 1);
                ASSERT_EQ(narrow[y * nemiga_width + x], nemiga_palettes[palette][value]) << x << "," << y;
            }
        ws.nemigaXScaleCode = 15;
        nemiga_render(wide.data());
        std::vector<uint32_t> expected(nemiga_wide_width);
        for (int y = 0; y < nemiga_lines; y += 51) {
            filter_cols_3_2(narrow.data() + y * nemiga_width, expected.data(), nemiga_width, 1, 0, 0);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), wide.begin() + y * nemiga_wide_width)) << y;
        }
    }
}

// The NEMIGA system code's probes answer only from their own places.
TEST(DvkNemiga, UnknownRegistersAnswerOnlyAtTheirProgramCounters)
{
    dvk_test_complex();
    const struct {
        uint32_t address;
        uint32_t pc;
        bool byte_write;
        bool known;
    } cases[] = {
        {0177760, 5390, false, true}, {0177770, 116, false, true},  {0177774, 274, false, true},
        {0177776, 262, false, true},  {0177760, 116, false, false}, {0177776, 263, false, false},
        {0177760, 5390, true, true},  {0177771, 116, true, true},   {0177771, 5390, true, false},
        {0177760, 262, true, false},
    };
    for (const auto& c : cases) {
        ws.cpu.r[7] = c.pc;
        ws.cpu.stepHandler = pdp11_decode_step;
        testing::internal::CaptureStdout();
        uint16_t value = 0;
        if (c.byte_write)
            ws.CpuIoWriteByteTable[c.address & 0x1FFF](c.address, 1);
        else
            value = ws.CpuIoReadTable[(c.address >> 1) & 0xFFF](c.address);
        std::string out = testing::internal::GetCapturedStdout();
        const char* format = c.known
            ? (c.byte_write ? "Write byte to unknown NEM register 0x%X (*) from location PC=0x%X\n"
                            : "Read word from unknown NEM register 0x%X (*) from location PC=0x%X\n")
            : (c.byte_write ? "Write byte to non-existent CPU register 0x%X from location PC = 0x%X\n"
                            : "Read word from non-existent CPU register 0x%X from location PC = 0x%X\n");
        char want[160];
        std::snprintf(want, sizeof want, format, c.address, c.pc);
        EXPECT_EQ(out, want) << c.address << " at " << c.pc;
        EXPECT_EQ(value, 0);
        EXPECT_EQ(ws.cpu.stepHandler == bus_error_trap, !c.known) << c.address << " at " << c.pc;
    }
    ws.cpu.stepHandler = pdp11_decode_step;
}

} // namespace
