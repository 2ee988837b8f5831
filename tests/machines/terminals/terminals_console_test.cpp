// Both terminals on the whole complex: text the UKNC CPU writes to its console channel
// (0177566) reaches the KSM and the 15IE through their rings and shows in their pictures;
// a restart sends the 15IE its Ctrl+W and clears the KSM's RAM.
#include "terminals_test_support.h"

#include "machines/uknc/workstation.h"
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

Workstation& ws = workstation;

void poke_word(uint8_t* base, uint32_t offset, uint16_t word)
{
    base[offset] = uint8_t(word);
    base[offset + 1] = uint8_t(word >> 8);
}

// A complex whose PPU idles (BR . everywhere in its ROM), with both terminals fitted
// with the synthetic programs, and a CPU program that sends `text` and its closing 0.
void complex_with_terminals(const std::string& text)
{
    workstation_allocate();
    std::memset(ws.mainBlock, 0, uknc_rom_offset);
    for (uint32_t offset = 0; offset < uknc_rom_size; offset += 2)
        poke_word(ws.rom, offset, 0000777);
    terminals_allocate();
    load_ksm_program(ksm_echo_program());
    load_ie15_program(ie15_echo_program());
    ws.ksmPresent = ws.ie15Present = true;
    ws.ie15Selected = true;
    workstation_restart();

    const uint16_t program[] = {
        0012700, 0002100, // mov #2100,r0
        0112037, 0177566, // movb (r0)+,@#177566
        0001375,          // bne .-4
        0000777,          // br .
    };
    for (uint32_t n = 0; n < sizeof program / 2; ++n)
        poke_word(ws.cpuMemory, 02000 + 2 * n, program[n]);
    std::memcpy(ws.cpuMemory + 02100, text.c_str(), text.size() + 1);
    ws.cpu.r[7] = 02000;
    ws.cpu.psw = 0;
    workstation_start_cpu();
}

TEST(TerminalsOnTheConsole, CpuTextReachesBothTerminals)
{
    const std::string text = "Hi KSM+15IE";
    complex_with_terminals(text);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].waiting, 1u); // the restart's Ctrl+W

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 3; ++frame) {
        workstation_run_frame();
        // The 15IE spends its whole frame even when the PPU's ends first.
        EXPECT_LT(ie15_terminal.cpu.budget, 0);
        EXPECT_GE(ie15_terminal.cpu.budget, -2 * 256);
    }
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(ws.ConsoleRings[RING_KSM].waiting, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].waiting, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_KSM].count, text.size() + 1);
    const uint8_t* ksm_screen = ksm_terminal.block + 0xE030;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ksm_screen), text.size() + 1), text + '\0');
    const uint8_t* ie15_display = ie15_terminal.block + ie15_display_offset;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ie15_display), text.size() + 1), "\x17" + text);

    // Both pictures show the text: the KSM in its screen row 0 (third text row, the row
    // latch being 47), the 15IE on every row after its first shown one.
    std::vector<uint8_t> picture(terminal_text_size);
    ksm_terminal.blinkCounter = 5;
    terminals_kgd_text(picture.data(), false); // the KGD display asks for the KSM
    EXPECT_EQ(terminals.selected, TERMINAL_KSM);
    for (uint32_t c = 0; c < text.size(); ++c)
        for (uint32_t g = 0; g < 8; ++g)
            ASSERT_EQ(cell_byte(picture.data() + (3 * 11 + g) * 100, c, 0), test_glyph(uint8_t(text[c]), g)) << c;
    terminals_kgd_text(picture.data(), true);
    EXPECT_EQ(terminals.selected, TERMINAL_IE15);
    for (uint32_t row : {1u, 12u, 25u})
        for (uint32_t c = 0; c < text.size(); ++c)
            for (uint32_t g = 0; g < 8; ++g)
                ASSERT_EQ(cell_byte(picture.data() + (row * 11 + g) * 100, c + 1, 0),
                          test_glyph(uint8_t(text[c]), g))
                    << row << " " << c;

    // A restart: the KSM starts over with its RAM cleared; the 15IE gets Ctrl+W again.
    workstation_restart();
    EXPECT_EQ(ksm_terminal.block[0xE030], 0);
    EXPECT_EQ(ksm_terminal.tpu.pc, 0);
    EXPECT_EQ(ie15_terminal.cpu.pc, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].waiting, 1u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].data[(ws.ConsoleRings[RING_IE15].count - 1) & 0xFFF], 0x17);
}

TEST(TerminalsOnTheConsole, AbsentTerminalsTakeNothing)
{
    complex_with_terminals("abc");
    ws.ksmPresent = ws.ie15Present = false;
    workstation_restart();
    ws.cpu.r[7] = 02000;
    ws.cpu.psw = 0;
    workstation_start_cpu();
    const uint32_t ksm_count = ws.ConsoleRings[RING_KSM].count;
    const uint32_t ie15_count = ws.ConsoleRings[RING_IE15].count;
    testing::internal::CaptureStdout();
    workstation_run_frame();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ws.ConsoleRings[RING_KSM].count, ksm_count);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].count, ie15_count);
    EXPECT_EQ(ie15_terminal.cpu.pc, 0u);
    EXPECT_EQ(ksm_terminal.tpu.pc, 0);
    EXPECT_EQ(ws.cpuTxData[0], 0); // the CPU did send its text
}

// The ROM files decide which terminal is fitted: each needs both of its files, a short
// file is padded with 0xFF, a name that cannot be read counts as missing, and the 15IE
// font is rearranged after loading.
TEST(TerminalsOnTheConsole, RomFilesDecideWhichTerminalIsFitted)
{
    char pattern[] = "/tmp/korvel_terminal_roms_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path dir = pattern, before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    auto write = [](const char* name, size_t size) {
        std::string bytes(size, '\0');
        for (size_t n = 0; n < size; ++n)
            bytes[n] = char(n / 8);
        std::ofstream(name, std::ios::binary) << bytes;
    };
    const struct {
        const char* files;   // K: KSM.rom short, F: KSM_FONT.rom, D: KSM.rom a directory, I, J: 15IE ROM, font
        bool ksm, ie15;
        const char* messages;
    } cases[] = {
        {"", false, false, "File KSM.rom not found: running without its board\nFile 15IE.rom not found: running without its board\n"},
        {"KFI", true, false, "File 15IE_FONT.rom not found: running without its board\n"},
        {"DFIJ", false, true, "File KSM.rom not found: running without its board\n"},
    };
    for (const auto& c : cases) {
        for (const char* name : {"KSM.rom", "KSM_FONT.rom", "15IE.rom", "15IE_FONT.rom"})
            std::filesystem::remove_all(name);
        for (const char* f = c.files; *f; ++f) {
            switch (*f) {
            case 'K': write("KSM.rom", 100); break;
            case 'F': write("KSM_FONT.rom", 2048); break;
            case 'D': std::filesystem::create_directory("KSM.rom"); break;
            case 'I': write("15IE.rom", 4096); break;
            case 'J': write("15IE_FONT.rom", 2048); break;
            }
        }
        testing::internal::CaptureStdout();
        workstation_fit_terminals();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.messages) << c.files;
        EXPECT_EQ(ws.ksmPresent, c.ksm) << c.files;
        EXPECT_EQ(ws.ie15Present, c.ie15) << c.files;
        if (c.ksm) {
            EXPECT_EQ(ksm_terminal.block[99], 12);
            EXPECT_EQ(ksm_terminal.block[100], 0xFF); // past the short file
        }
        if (c.ie15) {
            const uint8_t* font = ie15_terminal.block + ie15_font_offset;
            EXPECT_EQ(font[0x000], 0x40); // rearranged
            EXPECT_EQ(font[0x400], 0xC0);
            EXPECT_EQ(font[0x200], 0x40);
        }
    }
    std::filesystem::current_path(before);
    std::filesystem::remove_all(dir);
    ws.ksmPresent = ws.ie15Present = false;
}

} // namespace

namespace {

// A terminal that falls more than a ring (4096 bytes) behind reads on from the oldest
// byte the ring still holds, never from bytes already written over.
TEST(TerminalsOnTheConsole, ATerminalFarBehindReadsTheOldestKeptByte)
{
    for (uint32_t sent : {4095u, 4097u, 3 * 4096u + 17u}) {
        ConsoleRing ring{};
        for (uint32_t i = 0; i < sent; ++i)
            console_ring_append(ring, uint8_t(i * 7 + i / 256));
        for (uint32_t i = sent > 4096 ? sent - 4096 : 0; i < sent; ++i)
            ASSERT_EQ(console_ring_take(ring), uint8_t(i * 7 + i / 256)) << sent << " byte " << i;
        EXPECT_EQ(ring.waiting, 0u) << sent;
    }
}

} // namespace
