// .SNA files: load, save, round trip, short and unreadable files, stacks in the ROM area.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "zx_test_support.h"

#include "machines/zx/zx_tape.h"

std::string zx_test_temp_dir(const char* name)
{
    const auto dir = std::filesystem::temp_directory_path() /
                     ("korvel_zx_" + std::string(name) + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void zx_test_write_file(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> zx_test_read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

void fill_registers(Z80State* c)
{
    c->a = 0x12; c->f = 0x34; c->bc = 0x5678; c->de = 0x9ABC; c->hl = 0xDEF0;
    c->af_alt = 0x1122; c->bc_alt = 0x3344; c->de_alt = 0x5566; c->hl_alt = 0x7788;
    c->ix = 0x99AA; c->iy = 0xBBCC; c->i = 0x3F; c->r = 0x15; c->r7 = 0x80;
    c->sp = 0x8000; c->pc = 0xC123; c->iff = 6; c->im = 3;
}

TEST(ZxSnapshot, RoundTripRestoresRegistersAndRamButClearsThePoppedBytes)
{
    const std::string file = zx_test_temp_dir("roundtrip") + "/m.sna";
    zx_test_fresh_machine();
    fill_registers(&zx.cpu);
    for (uint32_t a = 0x4000; a < 0x10000; ++a)
        zx.memory[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
    uint8_t before[65536];
    std::memcpy(before, zx.memory, sizeof before);
    const Z80State saved = zx.cpu;
    ASSERT_TRUE(zx_save_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_EQ(zx.cpu.sp, 0x8000); // restored after the push
    EXPECT_EQ(zx.memory[0x7FFE], 0x23); // the pushed PC stays below SP
    EXPECT_EQ(zx.memory[0x7FFF], 0xC1);

    const auto bytes = zx_test_read_file(file);
    ASSERT_EQ(bytes.size(), zx_sna_size);
    EXPECT_EQ(bytes[19], 4);
    EXPECT_EQ(bytes[20], 0x95);
    EXPECT_EQ(bytes[25], 2);
    EXPECT_EQ(bytes[26], 0);
    EXPECT_EQ(bytes[23] | bytes[24] << 8, 0x7FFE);

    zx_test_fresh_machine();
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    const Z80State& c = zx.cpu;
    EXPECT_EQ(c.a, saved.a); EXPECT_EQ(c.f, saved.f);
    EXPECT_EQ(c.bc, saved.bc); EXPECT_EQ(c.de, saved.de); EXPECT_EQ(c.hl, saved.hl);
    EXPECT_EQ(c.af_alt, saved.af_alt); EXPECT_EQ(c.bc_alt, saved.bc_alt);
    EXPECT_EQ(c.de_alt, saved.de_alt); EXPECT_EQ(c.hl_alt, saved.hl_alt);
    EXPECT_EQ(c.ix, saved.ix); EXPECT_EQ(c.iy, saved.iy); EXPECT_EQ(c.i, saved.i);
    EXPECT_EQ(z80_visible_r(&c), 0x95);
    EXPECT_EQ(c.sp, 0x8000); EXPECT_EQ(c.pc, 0xC123);
    EXPECT_EQ(c.iff, 6); EXPECT_EQ(c.im, 3);
    EXPECT_EQ(zx.memory[0x7FFE], 0);
    EXPECT_EQ(zx.memory[0x7FFF], 0);
    before[0x7FFE] = before[0x7FFF] = 0;
    EXPECT_EQ(std::memcmp(before + 0x4000, zx.memory + 0x4000, 0xC000), 0);
}

TEST(ZxSnapshot, InterruptModesAndFlipFlopsComeBackAsCoded)
{
    const std::string file = zx_test_temp_dir("modes") + "/m.sna";
    for (uint8_t im : {0, 1, 2, 3}) {
        zx_test_fresh_machine();
        fill_registers(&zx.cpu);
        zx.cpu.im = im;
        zx.cpu.iff = im & 1 ? 0 : 6;
        ASSERT_TRUE(zx_save_sna(&zx.cpu, zx.memory, file.c_str()));
        zx_test_fresh_machine();
        zx.cpu.iff = 6;
        ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
        EXPECT_EQ(zx.cpu.im, im == 1 ? 0 : im); // IM 0/1 is saved as mode 0
        EXPECT_EQ(zx.cpu.iff, im & 1 ? 0 : 6);
    }
    // An unknown interrupt-mode byte leaves the mode alone.
    auto bytes = zx_test_read_file(file);
    bytes[25] = 7;
    zx_test_write_file(file, bytes);
    zx.cpu.im = 2;
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_EQ(zx.cpu.im, 2);
}

TEST(ZxSnapshot, ShortFileFillsWithFF)
{
    const std::string file = zx_test_temp_dir("short") + "/m.sna";
    std::vector<uint8_t> header(27, 0);
    header[23] = 0x00; header[24] = 0x90; // SP 0x9000
    header[26] = 5;                       // border byte: ignored
    zx_test_write_file(file, header);
    zx_test_fresh_machine();
    zx.border_colour = 1;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("shorter than 49179 bytes"), std::string::npos);
    EXPECT_EQ(zx.cpu.pc, 0xFFFF);
    EXPECT_EQ(zx.cpu.sp, 0x9002);
    EXPECT_EQ(zx.memory[0x4000], 0xFF);
    EXPECT_EQ(zx.memory[0xFFFF], 0xFF);
    EXPECT_EQ(zx.memory[0x9000], 0x00);
    EXPECT_EQ(zx.border_colour, 1);

    // An oversized file loads its first 49179 bytes and is reported.
    std::vector<uint8_t> big(zx_sna_size + 100, 0x11);
    big[23] = 0x00; big[24] = 0x80;
    zx_test_write_file(file, big);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("longer than 49179 bytes"), std::string::npos);
    EXPECT_EQ(zx.cpu.pc, 0x1111);
    EXPECT_EQ(zx.memory[0xFFFF], 0x11);
}

// A file shorter than the 27 register bytes (empty, a line of text dropped on the window
// by mistake) is no snapshot: refused with a message, the running program kept.
TEST(ZxSnapshot, FileTooShortForTheRegistersIsRefusedAndTheProgramKept)
{
    const std::string file = zx_test_temp_dir("tooshort") + "/note.txt";
    for (size_t size : {0, 12, 26}) {
        zx_test_write_file(file, std::vector<uint8_t>(size, 'x'));
        zx_test_fresh_machine();
        fill_registers(&zx.cpu);
        zx.memory[0xFFFF] = 0x43;
        testing::internal::CaptureStdout();
        zx_take_dropped_file(file.c_str());
        EXPECT_NE(testing::internal::GetCapturedStdout().find(
                      "not loaded: " + std::to_string(size) + " bytes is too short for a snapshot (at least 27)"),
                  std::string::npos);
        EXPECT_EQ(zx.cpu.pc, 0xC123) << size;
        EXPECT_EQ(zx.memory[0xFFFF], 0x43) << size;
    }
}

TEST(ZxSnapshot, StackInTheRomAreaNeverChangesTheRom)
{
    const std::string file = zx_test_temp_dir("romstack") + "/m.sna";
    zx_test_fresh_machine();
    std::memset(zx.memory, 0xC7, 0x4000);
    zx.cpu.sp = 0x0001; // push lands on 0xFFFF and 0x0000
    zx.cpu.pc = 0x1234;
    ASSERT_TRUE(zx_save_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_EQ(zx.memory[0x0000], 0xC7);
    EXPECT_EQ(zx.memory[0xFFFF], 0x34);
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    EXPECT_EQ(zx.cpu.pc, 0xC734); // high byte from the ROM
    EXPECT_EQ(zx.memory[0x0000], 0xC7);
    EXPECT_EQ(zx.memory[0xFFFF], 0x00);
    EXPECT_EQ(zx.cpu.sp, 0x0001);

    zx.cpu.sp = 0x2000;
    ASSERT_TRUE(zx_save_sna(&zx.cpu, zx.memory, file.c_str()));
    ASSERT_TRUE(zx_load_sna(&zx.cpu, zx.memory, file.c_str()));
    for (int a = 0; a < 0x4000; ++a)
        ASSERT_EQ(zx.memory[a], 0xC7) << a;
}

TEST(ZxSnapshot, MissingOrUnreadableFilesLeaveTheMachineAlone)
{
    const std::string dir = zx_test_temp_dir("missing");
    zx_test_fresh_machine();
    fill_registers(&zx.cpu);
    zx.memory[0x4000] = 0x42;
    EXPECT_FALSE(zx_load_sna(&zx.cpu, zx.memory, (dir + "/none.sna").c_str()));
    EXPECT_FALSE(zx_load_sna(&zx.cpu, zx.memory, dir.c_str())); // a directory
    EXPECT_EQ(zx.cpu.pc, 0xC123);
    EXPECT_EQ(zx.memory[0x4000], 0x42);
    EXPECT_FALSE(zx_save_sna(&zx.cpu, zx.memory, (dir + "/no/such/dir.sna").c_str()));
    EXPECT_EQ(zx.cpu.sp, 0x8000);
}

} // namespace
