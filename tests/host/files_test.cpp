// Data paths, exact-length loads, the error exit, drops and the client size arithmetic.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_internal.h"
#include "host_test_support.h"

namespace {

using host_test::ChangeDir;
using host_test::TempDir;

TEST(DataPath, DosNamesBecomeHostPaths)
{
    EXPECT_STREQ(data_path("MS-0515\\OSA-Test.dsk"), "MS-0515/OSA-Test.dsk");
    EXPECT_STREQ(data_path("C:\\Disk_Games2.dsk"), "Disk_Games2.dsk");
    EXPECT_STREQ(data_path("PK8000\\foton_piton.bin"), "PK8000/foton_piton.bin");
    EXPECT_STREQ(data_path("..//konek.tia"), "..//konek.tia");
    EXPECT_STREQ(data_path("/abs/Dropped File.sna"), "/abs/Dropped File.sna");
    EXPECT_STREQ(data_path("48.rom"), "48.rom");
    // A name longer than any path names nothing (not a file named by its first part).
    std::string long_name(10000, 'x');
    EXPECT_STREQ(data_path(long_name.c_str()), "");
    EXPECT_EQ(std::string(data_path(std::string(4095, 'y').c_str())).size(), 4095u);
}

TEST(LoadFile, ShortFileIsPaddedWithFF)
{
    TempDir dir;
    ChangeDir cd(dir.path);
    std::string data(16000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    host_test::write_file("rom.bin", data);
    std::vector<uint8_t> buffer(16384, 0);
    load_file(buffer.data(), buffer.size(), "rom.bin");
    for (size_t i = 0; i < 16000; ++i)
        ASSERT_EQ(buffer[i], uint8_t(i * 7)) << i;
    for (size_t i = 16000; i < 16384; ++i)
        ASSERT_EQ(buffer[i], 0xFF) << i;

    // A longer file gives exactly the asked length; nothing past it is written.
    std::vector<uint8_t> small(101, 0x55);
    load_file(small.data(), 100, "rom.bin");
    EXPECT_EQ(small[99], uint8_t(99 * 7));
    EXPECT_EQ(small[100], 0x55);

    // Subdirectories named the DOS way.
    std::filesystem::create_directory("Specialist");
    host_test::write_file("Specialist/BIOS.rom", "\x01\x02");
    uint8_t two[4] = {};
    load_file(two, 4, "Specialist\\BIOS.rom");
    EXPECT_EQ(two[1], 2);
    EXPECT_EQ(two[2], 0xFF);
}

TEST(LoadFileDeathTest, MissingFileEndsWithStatusOne)
{
    TempDir dir;
    ChangeDir cd(dir.path);
    uint8_t buffer[16];
    EXPECT_EXIT(load_file(buffer, sizeof buffer, "MS-0515\\Nothing.dsk"), testing::ExitedWithCode(1),
                "File MS-0515\\\\Nothing.dsk not found!");
    std::string long_name(600, 'n');
    // The message is cut to fit its buffer.
    EXPECT_EXIT(load_file(buffer, sizeof buffer, long_name.c_str()), testing::ExitedWithCode(1),
                "File n{250}\n");
    // A directory opens but holds no bytes: reported like a missing file, not read as 0xFF.
    std::filesystem::create_directory("ROMS");
    EXPECT_EXIT(load_file(buffer, sizeof buffer, "ROMS"), testing::ExitedWithCode(1), "File ROMS not found!");
}

TEST(Drop, SecondDropIsRefusedWhileOneIsPending)
{
    drop_pending = 0;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(host_accept_drop("/home/user/first.sna"));
    EXPECT_FALSE(host_accept_drop("/home/user/second.sna"));
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "Drag & Drop file\n");
    EXPECT_STREQ(dropped_file, "/home/user/first.sna");
    EXPECT_EQ(drop_pending, 1);
    drop_pending = 0; // the machine took it
    testing::internal::CaptureStdout();
    EXPECT_TRUE(host_accept_drop("/home/user/second.sna"));
    testing::internal::GetCapturedStdout();
    EXPECT_STREQ(dropped_file, "/home/user/second.sna");
    // A path longer than the buffer is cut to 999 characters.
    drop_pending = 0;
    std::string long_path(3000, 'p');
    testing::internal::CaptureStdout();
    host_accept_drop(long_path.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string(dropped_file).size(), 999u);
    drop_pending = 0;
}

TEST(WavFile, AFailedWriteIsReportedWhenTheFileIsClosed)
{
    TempDir dir;
    WavWriter w;
    ASSERT_TRUE(wav_open(&w, dir.file("ok.wav").c_str()));
    SamplePair pairs[300] = {};
    pairs[299] = {-2, 3};
    wav_append(&w, pairs, 300);
    EXPECT_TRUE(wav_close(&w));
    std::string data = host_test::read_file(dir.file("ok.wav"));
    ASSERT_EQ(data.size(), 44u + 1200);
    EXPECT_EQ(host_test::le32(data, 40), 1200u);
    EXPECT_EQ(host_test::le16s(data, 44 + 4 * 299), -2);

    // The disk fills up during the run: the close says so instead of passing as done.
    ASSERT_TRUE(wav_open(&w, dir.file("full.wav").c_str()));
    std::fclose(w.file);
    w.file = std::fopen("/dev/full", "wb");
    ASSERT_NE(w.file, nullptr);
    wav_append_silence(&w, 48000);
    EXPECT_FALSE(wav_close(&w));
    EXPECT_FALSE(wav_open(&w, "/dev/full"));
    EXPECT_EQ(w.file, nullptr);
}

TEST(ClientSize, HeightPlusOneAndZeroKeepsTheLastValue)
{
    uint32_t w = 0, h = 0;
    host_client_size_request(352, 288, &w, &h);
    EXPECT_EQ(w, 352u);
    EXPECT_EQ(h, 289u);
    EXPECT_EQ(requested_client_width, 352u);
    EXPECT_EQ(requested_client_height, 288u);
    host_client_size_request(0, 0, &w, &h);
    EXPECT_EQ(w, 352u);
    EXPECT_EQ(h, 289u);
    host_client_size_request(640, 0, &w, &h);
    EXPECT_EQ(w, 640u);
    EXPECT_EQ(h, 289u);
    EXPECT_EQ(requested_client_height, 288u);
}

} // namespace
