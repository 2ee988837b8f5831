// The whole program, headless: a hand-assembled ROM paints the screen, toggles the beeper
// and the border from its frame interrupt and echoes a keyboard half-row into an
// attribute; checked through screenshots, the WAV file and scripted keys. Where Debian's
// OpenSE BASIC ROM is installed, it boots and a typed line's result is read off the screen.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "machines/zx/zx_tape.h"
#include "zx_test_support.h"

namespace {

struct Shot {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> rgb; // 0x00RRGGBB
    // Full-brightness row of ZX pixel (x, y): the middle row of each tripled line.
    uint32_t zx(uint32_t x, uint32_t y) const { return rgb[(3 * y) * width + 3 * x]; }
};

bool read_png(const std::string& path, Shot* shot)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
        return false;
    shot->width = image.width;
    shot->height = image.height;
    shot->rgb.resize(size_t(image.width) * image.height);
    for (size_t i = 0; i < shot->rgb.size(); ++i)
        shot->rgb[i] = uint32_t(bytes[3 * i] << 16 | bytes[3 * i + 1] << 8 | bytes[3 * i + 2]);
    return true;
}

// Left channel of a 16-bit stereo WAV file.
std::vector<int16_t> read_wav_left(const std::string& path)
{
    const auto bytes = zx_test_read_file(path);
    std::vector<int16_t> left;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | uint32_t(bytes[at + 7]) << 24;
        if (std::string(bytes.begin() + at, bytes.begin() + at + 4) == "data") {
            for (size_t p = at + 8; p + 4 <= bytes.size() && p < at + 8 + size; p += 4)
                left.push_back(int16_t(bytes[p] | bytes[p + 1] << 8));
            break;
        }
        at += 8 + size + (size & 1);
    }
    return left;
}

// A 48K snapshot that starts at 0x0000 with interrupts off: all-zero RAM, SP 0x8000.
std::vector<uint8_t> reset_snapshot()
{
    std::vector<uint8_t> sna(zx_sna_size, 0);
    sna[24] = 0x80;
    sna[25] = 1;
    return sna;
}

std::string run_korvel(const std::string& dir, const std::string& options)
{
    const std::string command = "cd '" + dir + "' && '" KORVEL_BINARY "' --headless --data-dir '" + dir +
                                "' " + options + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, got);
        const int status = pclose(pipe);
        output += "\n[exit " + std::to_string(WEXITSTATUS(status)) + "]";
    }
    return output;
}

size_t count_of(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The test ROM.
std::vector<uint8_t> test_rom()
{
    Asm a;
    a.db({0xF3});                   // 0000 DI
    a.db({0x31}).dw(0xFF00);        //      LD SP,0xFF00
    a.db({0x21}).dw(0x4000);        //      LD HL,0x4000
    const uint16_t fill1 = a.here();
    a.db({0x36, 0xFF, 0x23, 0x7C, 0xFE, 0x58}); // LD (HL),0xFF; INC HL; LD A,H; CP 0x58
    a.db({0x20, a.rel(fill1)});                 // JR NZ,fill1
    const uint16_t fill2 = a.here();
    a.db({0x36, 0x02, 0x23, 0x7C, 0xFE, 0x5B}); // attributes: INK 2 (red) on black
    a.db({0x20, a.rel(fill2)});
    a.db({0xED, 0x56, 0xFB});       //      IM 1; EI
    const uint16_t idle = a.here();
    a.db({0x76, 0x18, a.rel(idle)}); // idle: HALT; JR idle
    a.bytes.resize(0x38, 0x00);
    // 0038: the frame interrupt
    a.db({0xF5});                   // PUSH AF
    a.db({0x3A}).dw(0x9000);        // LD A,(0x9000)
    a.db({0xEE, 0x10});             // XOR 0x10        beeper bit
    a.db({0x32}).dw(0x9000);        // LD (0x9000),A
    a.db({0xF6, 0x01});             // OR 1            border blue
    a.db({0xD3, 0xFE});             // OUT (0xFE),A
    a.db({0x3E, 0xFD, 0xDB, 0xFE}); // LD A,0xFD; IN A,(0xFE)   half-row A S D F G
    a.db({0xE6, 0x07, 0xF6, 0x40}); // AND 7; OR 0x40           BRIGHT INK = keys
    a.db({0x32}).dw(0x5800);        // LD (0x5800),A
    a.db({0xF1, 0xFB, 0xC9});       // POP AF; EI; RET
    a.bytes.resize(0x4000, 0xFF);
    return a.bytes;
}

TEST(ZxHeadless, TestRomPaintsEchoesKeysBeepsAndResetsOnce)
{
    const std::string dir = zx_test_temp_dir("headless");
    zx_test_write_file(dir + "/48.rom", test_rom());
    zx_test_write_file(dir + "/boot.sna", reset_snapshot());
    zx_test_write_file(dir + "/keys.txt", std::vector<uint8_t>{});
    {
        FILE* f = std::fopen((dir + "/keys.txt").c_str(), "w");
        std::fputs("10 A down\n30 A up\n40 S down\n41 Q down\n60 S up\n60 Q up\n"
                   "80 LCTRL down\n81 RCTRL down\n95 RCTRL up\n95 LCTRL up\n"
                   "120 GRAVE down\n125 GRAVE up\n",
                   f);
        std::fclose(f);
    }
    const std::string out = run_korvel(dir, "--frames 140 --keys keys.txt --wav out.wav --screenshot-at 20 "
                                            "--screenshot-at 50 --screenshot-at 70 --screenshot-at 140 boot.sna");
    ASSERT_NE(out.find("[exit 0]"), std::string::npos) << out;
    EXPECT_EQ(count_of(out, "System Reset...\n"), 1u) << out;
    EXPECT_EQ(count_of(out, "Palette 1\n"), 1u) << out;

    Shot with_a, with_s, none, grey;
    ASSERT_TRUE(read_png(dir + "/ScreenShot_000.png", &with_a));
    ASSERT_TRUE(read_png(dir + "/ScreenShot_001.png", &with_s));
    ASSERT_TRUE(read_png(dir + "/ScreenShot_002.png", &none));
    ASSERT_TRUE(read_png(dir + "/ScreenShot_003.png", &grey));
    ASSERT_EQ(none.width, 768u);
    ASSERT_GE(none.height, 576u);
    EXPECT_EQ(none.zx(0, 0), 0xFFFFFFu);    // no key: BRIGHT INK 7
    EXPECT_EQ(with_a.zx(7, 7), 0xFFFF00u);  // A clears bit 0: INK 6
    EXPECT_EQ(with_s.zx(3, 4), 0x00FFFFu);  // S clears bit 1: INK 5 (Q is another half-row)
    EXPECT_EQ(none.zx(8, 0), 0xD50000u);    // the rest of the screen: red ink
    EXPECT_EQ(none.zx(255, 191), 0xD50000u);
    EXPECT_EQ(grey.zx(128, 100), 0x484848u); // after the palette key: grey
    EXPECT_EQ(grey.zx(0, 0), 0xFFFFFFu);

    // The beeper flips once per frame (800 samples at 60 frames per second): a square wave
    // of full levels, flipping near the start of every frame's samples.
    const auto wav = read_wav_left(dir + "/out.wav");
    ASSERT_GE(wav.size(), 130u * 800);
    for (uint32_t frame = 20; frame < 78; ++frame) {
        const int16_t here = wav[frame * 800 + 400];
        ASSERT_TRUE(here == 32512 || here == -32512) << frame;
        ASSERT_EQ(wav[(frame + 1) * 800 + 400], -here) << frame;
        for (uint32_t i = 10; i < 790; ++i)
            ASSERT_EQ(wav[frame * 800 + i], here) << frame << " " << i;
    }
}

// One timed OUT, checked against the T-state arithmetic alone. The program starts at the
// frame start with interrupts off: DI (4) LD A,1 (7) OUT (11) LD BC,2205 (10), a
// DEC BC/LD A,B/OR C/JR NZ loop (26 a turn, 21 the last), NOP NOP, LD A,0x12 (7) and an
// OUT whose port write comes 7 T-states into it: 57379 T-states after the frame start,
// 53849 after the picture's first pixel = picture row 240 (the first border row below the
// screen area), 89 T-states in = picture column 534. The screenshot (768 x 576 from one
// row below the centred top) begins on the screen area's middle row of line 0 and ends
// on the first, half-bright row of picture row 240: there the border turns from blue to
// red at shot column 534 - 144 = 390. The same write is the frame's one beeper edge, at
// 57379 x 800 x 256 / 71680 = 163940: 100 units into sample 640.
TEST(ZxHeadless, ScreenshotAndWavMatchTheTStateArithmetic)
{
    Asm a;
    a.db({0xF3, 0x3E, 0x01, 0xD3, 0xFE});       // DI; LD A,1; OUT (0xFE),A
    a.db({0x01}).dw(2205);                      // LD BC,2205
    a.db({0x0B, 0x78, 0xB1, 0x20, 0xFB});   // loop: DEC BC; LD A,B; OR C; JR NZ,loop
    a.db({0x00, 0x00, 0x3E, 0x12, 0xD3, 0xFE}); // NOP; NOP; LD A,0x12; OUT (0xFE),A
    a.db({0x76});                               // HALT (interrupts stay off)
    a.bytes.resize(0x4000, 0xFF);
    const std::string dir = zx_test_temp_dir("arithmetic");
    zx_test_write_file(dir + "/48.rom", a.bytes);
    std::vector<uint8_t> sna(zx_sna_size, 0); // SP 0x8000, RAM zero: PC 0, DI
    sna[24] = 0x80;
    zx_test_write_file(dir + "/boot.sna", sna);
    const std::string out = run_korvel(dir, "--frames 2 --screenshot-at 1 --wav out.wav boot.sna");
    ASSERT_NE(out.find("[exit 0]"), std::string::npos) << out;

    Shot shot;
    ASSERT_TRUE(read_png(dir + "/ScreenShot_000.png", &shot));
    ASSERT_EQ(shot.width, 768u);
    ASSERT_EQ(shot.height, 576u);
    for (uint32_t y = 0; y < 575; ++y)
        for (uint32_t x = 0; x < 768; x += 7)
            ASSERT_EQ(shot.rgb[y * 768 + x], 0u) << x << "," << y; // paper 0, no border
    for (uint32_t x = 0; x < 768; ++x)
        ASSERT_EQ(shot.rgb[575 * 768 + x], x < 390 ? 0x00006Au : 0x6A0000u) << x;

    const auto wav = read_wav_left(dir + "/out.wav");
    ASSERT_EQ(wav.size(), 1600u); // 60 frames a second headless: 800 samples a frame
    for (uint32_t i = 0; i < 1600; ++i)
        ASSERT_EQ(wav[i], i < 640 ? 32512 : i == 640 ? (100 - 156) * 32512 >> 8 : -32512) << i;
}

TEST(ZxHeadless, MissingRomOrSnapshotIsFatalUnlessNothingWasNamed)
{
    const std::string dir = zx_test_temp_dir("fatal");
    // Without 48.rom the data directory falls back to Debian's OpenSE BASIC ROM, when
    // that is installed; a named snapshot that is missing is fatal either way.
    const bool have_opense = std::filesystem::exists("/usr/share/spectrum-roms/opense.rom");
    std::string out = run_korvel(dir, "--frames 2 boot.sna");
    if (have_opense) {
        EXPECT_NE(out.find("No 48.rom in the data directory: using /usr/share/spectrum-roms/opense.rom"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("Can't open file!"), std::string::npos) << out;
    } else {
        EXPECT_NE(out.find("Can't open file!\n48.rom: No such file or directory\n"), std::string::npos) << out;
    }
    EXPECT_NE(out.find("[exit 1]"), std::string::npos) << out;
    EXPECT_STREQ(zx_rom_file("/no/such/rom"), "48.rom"); // nothing anywhere: 48.rom is asked for
    zx_test_write_file(dir + "/48.rom", test_rom());
    out = run_korvel(dir, "--frames 2 boot.sna");
    EXPECT_NE(out.find("Can't open file!"), std::string::npos) << out;
    EXPECT_NE(out.find("[exit 1]"), std::string::npos) << out;
    EXPECT_EQ(out.find("opense"), std::string::npos) << out; // the data directory's ROM wins
    // Nothing named and no snapshot.SNA: the ROM starts from its reset.
    out = run_korvel(dir, "--frames 2");
    EXPECT_NE(out.find("No snapshot: starting from the ROM"), std::string::npos) << out;
    EXPECT_NE(out.find("[exit 0]"), std::string::npos) << out;
    // Empty argument text: the default name.
    zx_test_write_file(dir + "/snapshot.SNA", reset_snapshot());
    out = run_korvel(dir, "--frames 2");
    EXPECT_NE(out.find("Snapshot snapshot.SNA loaded"), std::string::npos) << out;
    EXPECT_NE(out.find("[exit 0]"), std::string::npos) << out;
}

// ---- OpenSE BASIC --------------------------------------------------------------------

const char* const opense_rom = "/usr/share/spectrum-roms/opense.rom";

// Key events typing `text` from frame `frame` on; returns the frame after the last key.
uint32_t type_text(const std::string& text, uint32_t frame, std::string* script)
{
    auto key = [&](const std::string& name, bool with_symbol_shift) {
        if (with_symbol_shift)
            *script += std::to_string(frame) + " LCTRL down\n";
        *script += std::to_string(frame + 1) + " " + name + " down\n";
        *script += std::to_string(frame + 4) + " " + name + " up\n";
        if (with_symbol_shift)
            *script += std::to_string(frame + 5) + " LCTRL up\n";
        frame += 8;
    };
    for (char c : text) {
        if (c == ' ')
            key("SPACE", false);
        else if (c == '*')
            key("B", true);
        else if (c == '+')
            key("K", true);
        else if (c == '\n')
            key("ENTER", false);
        else
            key(std::string(1, char(std::toupper(static_cast<unsigned char>(c)))), false);
    }
    return frame;
}

// Reads a 32-column text row of the screenshot by matching cells against the ROM's
// character set (0x3D00: 96 characters of 8 bytes from the space on).
std::string read_row(const Shot& shot, const std::vector<uint8_t>& rom, uint32_t row)
{
    std::string text;
    for (uint32_t col = 0; col < 32; ++col) {
        const uint32_t paper = shot.zx(col * 8 + 7, row * 8 + 7);
        uint8_t cell[8];
        for (uint32_t line = 0; line < 8; ++line) {
            cell[line] = 0;
            for (uint32_t bit = 0; bit < 8; ++bit)
                if (shot.zx(col * 8 + bit, row * 8 + line) != paper)
                    cell[line] |= uint8_t(0x80 >> bit);
        }
        char found = '?';
        for (int c = 0; c < 96; ++c)
            if (std::memcmp(cell, &rom[0x3D00 + c * 8], 8) == 0) {
                found = char(0x20 + c);
                break;
            }
        text += found;
    }
    return text;
}

TEST(ZxHeadless, OpenSeBasicBootsAndRunsATypedLine)
{
    if (!std::filesystem::exists(opense_rom))
        GTEST_SKIP() << "opense-basic is not installed";
    const auto rom = zx_test_read_file(opense_rom);
    ASSERT_EQ(rom.size(), 16384u);
    // The character set sits at the standard place: the space is blank, '!' is not.
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(rom[0x3D00 + i], 0);
    ASSERT_NE(rom[0x3D08 + 2], 0);

    const std::string dir = zx_test_temp_dir("opense");
    zx_test_write_file(dir + "/48.rom", rom);
    zx_test_write_file(dir + "/boot.sna", reset_snapshot());
    std::string script;
    const uint32_t end = type_text("print 6*7+100\n", 150, &script);
    zx_test_write_file(dir + "/keys.txt", std::vector<uint8_t>(script.begin(), script.end()));
    const uint32_t frames = end + 40;
    const std::string out = run_korvel(dir, "--frames " + std::to_string(frames) + " --keys keys.txt " +
                                                "--screenshot-at 140 --screenshot-at " + std::to_string(frames) +
                                                " boot.sna");
    ASSERT_NE(out.find("[exit 0]"), std::string::npos) << out;
    Shot booted, result;
    ASSERT_TRUE(read_png(dir + "/ScreenShot_000.png", &booted));
    ASSERT_TRUE(read_png(dir + "/ScreenShot_001.png", &result));
    // The start-up message on the bottom line mentions the year of its copyright.
    EXPECT_NE(read_row(booted, rom, 23).find("1981"), std::string::npos) << read_row(booted, rom, 23);
    const std::string first = read_row(result, rom, 0);
    EXPECT_EQ(first.substr(0, 4), "142 ") << first;
}

} // namespace
