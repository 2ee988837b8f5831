// Whole-complex runs of the synthetic programs (workstation_programs.h), then the real
// ROM when it is at hand.
#include "workstation_programs.h"

#include "host/host.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

Workstation& ws = workstation;

TEST(WorkstationComplex, SyntheticPpuProgramDrivesTheCpuChannelsTimerAndScreen)
{
    workstation_test_complex();
    std::vector<uint8_t> rom = synthetic_rom();
    std::memcpy(ws.rom, rom.data(), rom.size());
    workstation_restart();

    testing::internal::CaptureStdout();
    workstation_run_frame();
    workstation_run_frame();
    uint16_t timer_after_two = peek_word(ws.ppuMemory, timer_count);
    workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Start CPU\n");

    // Handshakes: five bytes each way on both channels, all by interrupt.
    EXPECT_EQ(peek_word(ws.ppuMemory, ch0_count), 5);
    EXPECT_EQ(peek_word(ws.ppuMemory, ch1_count), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ws.cpuMemory + 03000), 5), "abcde");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ws.cpuMemory + 03100), 5), "abcde");
    EXPECT_EQ(ws.cpuTxCsr[0], 0x80);
    EXPECT_EQ(ws.cpuTxCsr[1], 0x80);
    EXPECT_EQ(ws.cpuRxCsr[0], 0x40);
    EXPECT_EQ(ws.ppuTxStatus, 0x18);
    EXPECT_EQ(ws.ppuRxStatus, 0x03);
    EXPECT_FALSE(ws.cpu.psw & PDP11_HALT_MODE);

    // Field interrupts: the mask was lifted in the first frame, so two or three.
    uint16_t cpu_fields = peek_word(ws.cpuMemory, 03200);
    uint16_t ppu_fields = peek_word(ws.ppuMemory, field_count);
    EXPECT_GE(cpu_fields, 2);
    EXPECT_LE(cpu_fields, 3);
    EXPECT_GE(ppu_fields, 2);
    EXPECT_LE(ppu_fields, 3);
    // 160000 cycles a frame, 1600 per timer period: 100 interrupts a frame.
    int timer_third = peek_word(ws.ppuMemory, timer_count) - timer_after_two;
    EXPECT_GE(timer_third, 98);
    EXPECT_LE(timer_third, 101);
    EXPECT_EQ(ws.timerControl & 0x88, 0x88); // never read: expiry and overrun flags

    // Planes as painted.
    EXPECT_EQ(ws.ppuMemory[first_line_video], 0x0F);
    EXPECT_EQ(ws.cpuMemory[2 * first_line_video], 0xF0);
    EXPECT_EQ(ws.cpuMemory[2 * first_line_video + 1], 0x0F);
    EXPECT_EQ(ws.ppuMemory[first_line_video + 1], 0xFF);
    EXPECT_EQ(ws.cpuMemory[2 * first_line_video + 5], 0xFF);

    // The picture: the first drawn line shows the painted bytes in the colour record's
    // nibbles, every drawn line the graphic cursor at pixel 100.
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines, 0x12345678);
    workstation_render(picture.data());
    const uint32_t* palette = uknc_palettes[0];
    auto pixel = [&](int x, int y) { return picture[y * uknc_picture_width + x]; };
    const struct {
        int first, last;
        int nibble;
    } line0[] = {{0, 3, 0xD}, {4, 7, 0x2}, {8, 15, 0x1}, {16, 23, 0x4}, {24, 99, 0x0}, {100, 100, 0xE},
                 {101, 639, 0x0}};
    for (const auto& run : line0)
        for (int x = run.first; x <= run.last; ++x)
            ASSERT_EQ(pixel(x, 0), palette[run.nibble]) << x;
    for (int y : {1, 100, 297}) {
        EXPECT_EQ(pixel(99, y), palette[0]);
        EXPECT_EQ(pixel(100, y), palette[0xE]);
        EXPECT_EQ(pixel(101, y), palette[0]);
    }
}

// The real PPU ROM from KORVEL_ROMS_DIR (default: ../shared/roms beside the repository),
// when it is there.
TEST(WorkstationComplex, RealRomSmoke)
{
    const char* dir = std::getenv("KORVEL_ROMS_DIR");
    std::string path = std::string(dir ? dir : KORVEL_TESTDATA_DIR "/../roms") + "/uknc/UKNC.rom";
    std::ifstream file(path, std::ios::binary);
    if (!file)
        GTEST_SKIP() << "no UKNC ROM at " << path;
    workstation_test_complex();
    file.read(reinterpret_cast<char*>(ws.rom), uknc_rom_size);
    workstation_restart();

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 100; ++frame)
        workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    std::printf("%.2000s\n", out.c_str());
    std::printf("PPU PC=%06o PSW=%06o  CPU PC=%06o PSW=%06o held=%d  memctl=%04X sysreg=%04X\n",
                ws.ppu.r[7], ws.ppu.psw, ws.cpu.r[7], ws.cpu.psw, ws.cpuHeld, ws.memoryControl,
                ws.systemRegister);
    EXPECT_FALSE(ws.cpuHeld) << "the ROM starts the CPU";
    // Its boot menu: text on a blue screen.
    std::vector<uint32_t> picture(uknc_picture_width * uknc_picture_lines);
    workstation_render(picture.data());
    std::map<uint32_t, int> colours;
    for (uint32_t p : picture)
        ++colours[p];
    int blue = 0;
    for (auto [colour, n] : colours)
        if ((colour & 0xFF) > 0x40 && (colour & 0xFFFF00) == 0)
            blue += n;
    EXPECT_GT(blue, int(picture.size()) / 2);
    EXPECT_GE(colours.size(), 2u);
}

} // namespace

namespace {

// A CPU whose stack lies where nothing answers traps again at every push: each attempt
// is reported, the frames go on.
TEST(WorkstationComplex, BusErrorLoopDoesNotHangTheFrame)
{
    workstation_test_complex();
    poke_word(ws.rom, 0160300 - 0100000, 000777); // the PPU idles: BR .
    poke_word(ws.cpuMemory, 0160300, 000010);   // START: user mode at PC', PSW' (0, 0)
    poke_word(ws.cpuMemory, 0, 012706);         // MOV #177000,SP
    poke_word(ws.cpuMemory, 2, 0177000);
    poke_word(ws.cpuMemory, 4, 005037);         // CLR @#160000
    poke_word(ws.cpuMemory, 6, 0160000);
    workstation_write_system_register(0x8000);
    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 3; ++frame)
        workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Write word to non-existent CPU register 0xE000 from location PC = 0x8\n"), std::string::npos);
    EXPECT_NE(out.find("Write word to non-existent CPU register 0xFDFE"), std::string::npos);
    EXPECT_LT(ws.ppu.cycleBudget, 0);
    // Each failed push moved SP down until it met a register that answers.
    EXPECT_LT(ws.cpu.r[6], 0176776u);
}

} // namespace
