// Specialist pieces: bus rules, the disk-backed tape read, the bitmap and the keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "machines/specialist/specialist.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in a fresh data directory (the working directory).
class SpecialistTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("korvel_spec_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Specialist" / "Games1");
        fs::current_path(dir_);
        std::memset(specialist.memory, 0, sizeof specialist.memory);
        std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    }
    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static void write(const fs::path& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static void write_tape(const std::vector<uint8_t>& bytes) { write(fs::path("Specialist") / "Games1" / "DOWNEART.RKS", bytes); }

    fs::path previous_, dir_;
};

uint8_t cpu_read(uint16_t address)
{
    Z80State s{};
    s.addr = address;
    specialist_read_mem(&s);
    return s.data;
}

void cpu_write(uint16_t address, uint8_t value)
{
    Z80State s{};
    s.addr = address;
    s.data = value;
    specialist_write_mem(&s);
}

} // namespace

TEST_F(SpecialistTest, BiosAreaIsReadOnlyAndIoAreaIsTheParallelInterface)
{
    specialist_power_on();
    specialist.memory[0xC000] = 0x31;
    cpu_write(0xC000, 0x99);
    EXPECT_EQ(cpu_read(0xC000), 0x31);
    cpu_write(0xBFFF, 0x5A);
    EXPECT_EQ(specialist.memory[0xBFFF], 0x5A);
    EXPECT_EQ(cpu_read(0xBFFF), 0x5A);

    // After reset every port is an input: no key down reads all ones; whatever lies in
    // memory under the area stays hidden and writes do not reach it.
    specialist.memory[0xF800] = 0x77;
    specialist.memory[0xF7FF] = 0x66;
    EXPECT_EQ(cpu_read(0xF800), 0xFF);
    EXPECT_EQ(cpu_read(0xF7FF), 0x66);
    EXPECT_EQ(cpu_read(0xFFFF), 0xFF) << "the control word cannot be read back";

    // Mode 0x82 through a mirror of the control register: port A and port C are outputs
    // and read back their latches (0 after the mode word), at every mirror address.
    cpu_write(0xF803, 0x82);
    EXPECT_EQ(cpu_read(0xFF00), 0x00);
    EXPECT_EQ(cpu_read(0xFF02), 0x00);
    cpu_write(0xFA00, 0x5A);
    cpu_write(0xFFFE, 0xA3);
    EXPECT_EQ(cpu_read(0xF800), 0x5A);
    EXPECT_EQ(cpu_read(0xFB04), 0x5A);
    EXPECT_EQ(cpu_read(0xFF02), 0xA3);
    EXPECT_EQ(specialist_peek(0xFF00), 0x5A);
    EXPECT_EQ(cpu_read(0xFF01), 0xFF) << "port B: no key, Shift up, bit 0 high";
    cpu_write(0xFF03, 0x0F); // port C bit 7 set
    cpu_write(0xFF03, 0x02); // port C bit 1 cleared
    EXPECT_EQ(cpu_read(0xFF02), 0xA1);
    EXPECT_EQ(specialist.ppi.control, 0x82) << "bit set/reset is not a mode word";
    EXPECT_EQ(specialist.memory[0xF800], 0x77);

    Z80State s{};
    s.pc = 0xF800;
    specialist_fetch_byte(&s);
    EXPECT_EQ(s.data, 0x5A) << "a fetch reads the interface too";
    EXPECT_EQ(s.pc, 0xF801);
    s.pc = 0xFFFF;
    specialist_fetch_byte(&s);
    EXPECT_EQ(s.pc, 0x0000) << "pc wraps to 16 bits";

    s.addr = 0x12FE;
    s.data = 0x55;
    specialist_read_port(&s);
    EXPECT_EQ(s.data, 0);
}

TEST_F(SpecialistTest, BiosIsLoadedAtC000AndShortFilePadsWithFF)
{
    std::vector<uint8_t> bios(0x800);
    for (size_t i = 0; i < bios.size(); ++i) bios[i] = static_cast<uint8_t>(i * 7);
    write(fs::path("Specialist") / "BIOS.rom", bios);
    specialist_load_bios();
    EXPECT_EQ(specialist.memory[0xBFFF], 0);
    EXPECT_EQ(specialist.memory[0xC000], 0);
    EXPECT_EQ(specialist.memory[0xC001], 7);
    EXPECT_EQ(specialist.memory[0xC7FF], static_cast<uint8_t>(0x7FF * 7));
    EXPECT_EQ(specialist.memory[0xC800], 0xFF);
    EXPECT_EQ(specialist.memory[0xCFFF], 0xFF);
    EXPECT_EQ(specialist.memory[0xD000], 0) << "only 4 KB are read";
}

TEST_F(SpecialistTest, TapeWordIsTheLastOffsetFromStartZero)
{
    std::vector<uint8_t> tape = {0x00, 0x00, 0xFF, 0x00};
    for (int i = 0; i < 0x100; ++i) tape.push_back(static_cast<uint8_t>(i ^ 0xA5));
    tape.push_back(0x42); // beyond W + 1 bytes: not stored
    write_tape(tape);
    specialist_load_tape();
    for (int i = 0; i < 0x100; ++i) ASSERT_EQ(specialist.memory[i], static_cast<uint8_t>(i ^ 0xA5)) << i;
    EXPECT_EQ(specialist.memory[0x100], 0);
    EXPECT_EQ(specialist.memory[0x8FE3], 0);
    EXPECT_EQ(specialist.memory[0x8FE4], 0);
}

TEST_F(SpecialistTest, TapeStoresIntoBiosAreaWrapsAndPadsWithFF)
{
    // Start 0xFFFE, W = 3: four bytes at FFFE, FFFF, 0000, 0001; the file holds only two.
    write_tape({0xFE, 0xFF, 0x03, 0x00, 0x11, 0x22});
    specialist.memory[0x0002] = 0x33;
    specialist_load_tape();
    EXPECT_EQ(specialist.memory[0xFFFE], 0x11);
    EXPECT_EQ(specialist.memory[0xFFFF], 0x22);
    EXPECT_EQ(specialist.memory[0x0000], 0xFF);
    EXPECT_EQ(specialist.memory[0x0001], 0xFF);
    EXPECT_EQ(specialist.memory[0x0002], 0x33);
    EXPECT_EQ(specialist.memory[0x8FE3], 0xFE);
    EXPECT_EQ(specialist.memory[0x8FE4], 0xFF);

    write_tape({0x00, 0xC1, 0x01, 0x00, 0xAB, 0xCD});
    specialist_load_tape();
    EXPECT_EQ(specialist.memory[0xC100], 0xAB) << "the loader writes past the CPU's write protection";
    EXPECT_EQ(specialist.memory[0xC101], 0xCD);
}

TEST_F(SpecialistTest, TapeBlockMayCoverItsOwnStartAddressCell)
{
    // The block is stored after the start address, so its own bytes win at 0x8FE3.
    write_tape({0xE3, 0x8F, 0x00, 0x00, 0x5C});
    specialist_load_tape();
    EXPECT_EQ(specialist.memory[0x8FE3], 0x5C);
    EXPECT_EQ(specialist.memory[0x8FE4], 0x8F);
}

TEST_F(SpecialistTest, FetchAtTapeEntryLoadsEveryTimeAndResumesAfterTheRead)
{
    write_tape({0x00, 0x10, 0x00, 0x00, 0x77});
    specialist.memory[0xC421] = 0xC3;
    Z80State s{};
    s.pc = 0xC3F9;
    specialist_fetch_byte(&s);
    EXPECT_EQ(s.data, 0xC3);
    EXPECT_EQ(s.pc, 0xC422);
    EXPECT_EQ(specialist.memory[0x1000], 0x77);

    specialist.memory[0x1000] = 0; // a second pass loads the file again
    s.pc = 0xC3F9;
    specialist_fetch_byte(&s);
    EXPECT_EQ(specialist.memory[0x1000], 0x77);
}

TEST_F(SpecialistTest, MissingFilesAreFatal)
{
    EXPECT_EXIT(specialist_load_tape(), ::testing::ExitedWithCode(1), "Can't open file!");
    EXPECT_EXIT(specialist_load_bios(), ::testing::ExitedWithCode(1), "Can't open file!");
}

TEST(SpecialistVideo, BitmapIsWhiteOnBlueOnEverySecondRowTwoPixelsWide)
{
    constexpr uint32_t width = 1200, height = 960, pitch = 1216;
    std::vector<uint32_t> buffer(pitch * height, 0x123456);
    std::memset(specialist.memory + 0x9000, 0, 0x3000);
    specialist.memory[0x9000] = 0x80;          // column 0, line 0: leftmost pixel set
    specialist.memory[0x9000 + 256 * 47 + 255] = 0x01; // last column, last line: rightmost
    specialist.memory[0x9000 + 256 * 1 + 3] = 0xFF;    // column 1, line 3
    specialist_draw({buffer.data(), pitch}, width, height);

    const uint32_t left = width / 2 - 384, top = height / 2 - 256;
    auto at = [&](uint32_t x, uint32_t y) { return buffer[(top + y) * pitch + left + x]; };
    EXPECT_EQ(at(0, 0), 0xFFFFFFu);
    EXPECT_EQ(at(1, 0), 0xFFFFFFu);
    EXPECT_EQ(at(2, 0), 0x0000FFu);
    EXPECT_EQ(at(0, 1), 0x123456u) << "odd rows untouched";
    EXPECT_EQ(at(767, 510), 0xFFFFFFu);
    EXPECT_EQ(at(765, 510), 0x0000FFu);
    EXPECT_EQ(at(767, 511), 0x123456u);
    for (uint32_t x = 16; x < 32; ++x) EXPECT_EQ(at(x, 6), 0xFFFFFFu) << x;
    EXPECT_EQ(at(32, 6), 0x0000FFu);
    EXPECT_EQ(at(15, 6), 0x0000FFu);
    // Nothing outside the 768 x 512 rectangle.
    EXPECT_EQ(buffer[(top - 1) * pitch + left], 0x123456u);
    EXPECT_EQ(buffer[top * pitch + left - 1], 0x123456u);
    EXPECT_EQ(buffer[top * pitch + left + 768], 0x123456u);
    EXPECT_EQ(buffer[(top + 512) * pitch + left], 0x123456u);
}

TEST(SpecialistKeys, MatrixAndJoystickFollowTheSnapshot)
{
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    KeySnapshot[0x02] = 0x80; // 1
    KeySnapshot[0x36] = 0x80; // right Shift
    KeySnapshot[0xCD] = 0x80; // Right arrow
    KeySnapshot[0x4D] = 0x80; // keypad 6, same matrix bit
    KeySnapshot[0x1C] = 0x80; // Enter
    specialist_build_inputs();
    EXPECT_EQ(specialist.keyboard_matrix[0], 0x02);
    EXPECT_EQ(specialist.keyboard_matrix[6], 0x01);
    EXPECT_EQ(specialist.keyboard_matrix[7], 0x80);
    EXPECT_EQ(specialist.keyboard_matrix[8], 0x80);
    EXPECT_EQ(specialist.joystick, 0x08 | 0x20);
    std::memset(KeySnapshot, 0, sizeof KeySnapshot);
    specialist_build_inputs();
    EXPECT_EQ(specialist.joystick, 0);
    for (uint8_t row : specialist.keyboard_matrix) EXPECT_EQ(row, 0);
}

// A program scans the keyboard as the monitor does: in mode 0x82 it drives one column
// low at a time and reads the rows on port B, then in mode 0x91 one row at a time and
// reads the columns on ports A and C. Held PC keys must show at their matrix places.
TEST(SpecialistKeys, ProgramScansTheMatrixThroughTheInterfaceInBothModes)
{
    std::memset(specialist.memory, 0, sizeof specialist.memory);
    for (auto& key : KeyState) key = 0;
    const uint8_t program[] = {
        0x3E, 0x82, 0x32, 0x03, 0xFF, // 0000 LD A,82; LD (FF03),A
        0x21, 0x00, 0x80,             // 0005 LD HL,8000
        0x11, 0x00, 0x01,             // 0008 LD DE,0100: column patterns (A, C)
        0x06, 0x0C,                   // 000B LD B,12
        0x1A, 0x32, 0x00, 0xFF, 0x13, // 000D LD A,(DE); LD (FF00),A; INC DE
        0x1A, 0x32, 0x02, 0xFF, 0x13, // 0012 LD A,(DE); LD (FF02),A; INC DE
        0x3A, 0x01, 0xFF, 0x77, 0x23, // 0017 LD A,(FF01); LD (HL),A; INC HL
        0x10, 0xEF,                   // 001C DJNZ 000D
        0x3E, 0x91, 0x32, 0x03, 0xFF, // 001E LD A,91; LD (FF03),A
        0x11, 0x20, 0x01,             // 0023 LD DE,0120: row patterns (B)
        0x06, 0x06,                   // 0026 LD B,6
        0x1A, 0x32, 0x01, 0xFF, 0x13, // 0028 LD A,(DE); LD (FF01),A; INC DE
        0x3A, 0x00, 0xFF, 0x77, 0x23, // 002D LD A,(FF00); LD (HL),A; INC HL
        0x3A, 0x02, 0xFF, 0x77, 0x23, // 0032 LD A,(FF02); LD (HL),A; INC HL
        0x10, 0xEF,                   // 0037 DJNZ 0028
        0x18, 0xFE,                   // 0039 JR 0039
    };
    std::memcpy(specialist.memory, program, sizeof program);
    for (int c = 0; c < 12; ++c) {
        specialist.memory[0x0100 + 2 * c] = c < 4 ? 0xFF : static_cast<uint8_t>(~(0x80 >> (c - 4)));
        specialist.memory[0x0101 + 2 * c] = c < 4 ? static_cast<uint8_t>(~(0x08 >> c)) : 0xFF;
    }
    for (int r = 0; r < 6; ++r) specialist.memory[0x0120 + r] = static_cast<uint8_t>(~(0x80 >> r));

    struct Held {
        uint8_t code;
        int row, column;
    };
    const Held held[] = {
        {0x3B, 0, 0},  // F1: the first monitor key
        {0x06, 1, 5},  // 5
        {0x10, 2, 0},  // Q: Й J
        {0x26, 3, 8},  // L: Д D
        {0x35, 4, 9},  // /: , <
        {0x0E, 4, 11}, // Backspace
        {0x47, 5, 1},  // keypad 7: Home
        {0x1C, 5, 11}, // Enter: ВК
    };
    for (const Held& h : held) KeyState[h.code] = 0x80;
    KeyState[0x2A] = 0x80; // left Shift: НР on port B bit 1
    specialist_power_on();
    z80_set_8080_mode(&specialist.cpu, false); // the scanning program uses DJNZ and JR
    specialist.cpu.pc = 0;
    specialist_run_frame();

    auto down = [&](int row, int column) {
        for (const Held& h : held)
            if (h.row == row && h.column == column) return true;
        return false;
    };
    for (int c = 0; c < 12; ++c) {
        uint8_t rows = 0xFD; // Shift held
        for (int r = 0; r < 6; ++r)
            if (down(r, c)) rows &= static_cast<uint8_t>(~(0x80 >> r));
        EXPECT_EQ(specialist.memory[0x8000 + c], rows) << "column " << c;
    }
    for (int r = 0; r < 6; ++r) {
        uint8_t a = 0xFF, c_low = 0x0F;
        for (int c = 0; c < 12; ++c)
            if (down(r, c)) {
                if (c < 4) c_low &= static_cast<uint8_t>(~(0x08 >> c));
                else a &= static_cast<uint8_t>(~(0x80 >> (c - 4)));
            }
        EXPECT_EQ(specialist.memory[0x800C + 2 * r], a) << "row " << r;
        // Port C: the upper half is an output latch (0 since the mode word).
        EXPECT_EQ(specialist.memory[0x800D + 2 * r], c_low) << "row " << r;
    }
    for (auto& key : KeyState) key = 0;
}

TEST(SpecialistFrame, NoInterruptsAndThirtyFiveThousandTStates)
{
    std::memset(specialist.memory, 0, sizeof specialist.memory);
    for (auto& key : KeyState) key = 0;
    // The loop counts its passes at 0x9000; a handler at 0x0038 would mark 0xA000.
    const uint8_t program[] = {0x31, 0x00, 0x8F, 0xED, 0x56, 0xFB, 0x21, 0x00, 0x90, // LD SP; IM 1; EI; LD HL,9000
                               0x34, 0x18, 0xFD};                                   // 0009 INC (HL); JR 0009
    const uint8_t handler[] = {0x3E, 0x01, 0x32, 0x00, 0xA0, 0xFB, 0xC9};           // LD A,1; LD (A000),A; EI; RET
    std::memcpy(specialist.memory, program, sizeof program);
    std::memcpy(specialist.memory + 0x38, handler, sizeof handler);
    specialist_power_on();
    EXPECT_TRUE(z80_8080_mode(&specialist.cpu)) << "the Specialist runs as an 8080 unless told otherwise";
    z80_set_8080_mode(&specialist.cpu, false);  // the program is Z80 code
    EXPECT_EQ(specialist.cpu.pc, 0xC000);
    specialist.cpu.pc = 0;
    for (int frame = 0; frame < 3; ++frame) specialist_run_frame();
    EXPECT_EQ(specialist.memory[0xA000], 0) << "no interrupt is ever raised";
    // 3 x 35000 T-states: 32 T of set-up, then 23 T per INC (HL) + JR; an instruction
    // runs when it starts inside the budget, overshoot carrying into the next frame.
    EXPECT_EQ(specialist.memory[0x9000], static_cast<uint8_t>((3 * 35000 - 32) / 23 + 1));
}
