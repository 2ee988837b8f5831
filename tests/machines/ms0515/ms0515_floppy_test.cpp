// Floppy controller: images, head positioning, sector reads, status edges, indicators.
#include "ms0515_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Ms0515FloppyTest : public testing::Test {
protected:
    void SetUp() override
    {
        ms0515_test_machine();
        // Every byte of the system image names its own position.
        for (uint32_t i = 0; i < ms0515_image_size; ++i)
            ms0515.systemImage[i] = static_cast<uint8_t>((i >> 9) ^ i);
    }
    void command(uint8_t c) { ms0515_write_word(0177640, c); }
    uint16_t data() { return ms0515_read_word(0177646); }
    uint8_t image(uint32_t offset) { return ms0515.systemImage[offset]; }
    DriveRecord& drive(int i) { return ms0515.floppy.drives[i]; }
};

TEST_F(Ms0515FloppyTest, SeekAndStepLimits)
{
    CaptureStdout();
    ms0515_write_word(0177646, 79);
    command(0x10);
    EXPECT_EQ(drive(0).track, 79);
    command(0x48); // STEP IN at 79
    EXPECT_EQ(drive(0).track, 79);
    ms0515_write_word(0177646, 80);
    command(0x1F); // SEEK with flag bits
    EXPECT_EQ(drive(0).track, 79);
    command(0x60); // STEP OUT
    EXPECT_EQ(drive(0).track, 78);
    ms0515_write_word(0177646, 0);
    command(0x10);
    command(0x60); // STEP OUT at 0 stays
    EXPECT_EQ(drive(0).track, 0);
    command(0x40);
    EXPECT_EQ(drive(0).track, 1);
    EXPECT_EQ(GetCapturedStdout(), "Wrong Track: 80\nWrong Track: 80\n");
}

TEST_F(Ms0515FloppyTest, ReadSectorStreamsOneSectorAndWrapsWithStatusEdge)
{
    ms0515_write_word(0177646, 2);
    command(0x10);
    ms0515_write_word(0177644, 3);
    command(0x88); // READ SECTOR with a flag bit
    EXPECT_EQ(ms0515.floppy.status & 2, 2);
    EXPECT_EQ(drive(0).activity, 1);
    const uint32_t base = 2 * 5120 + 2 * 512; // 11264
    for (uint32_t i = 0; i < 512; ++i) {
        ASSERT_EQ(data(), image(base + i)) << i;
        if (i < 511) {
            ASSERT_EQ(ms0515.floppy.status & 2, 2) << i;
        }
    }
    EXPECT_EQ(ms0515.floppy.status & 2, 0);
    EXPECT_EQ(drive(0).activity, 0);
    EXPECT_EQ(data(), image(base)); // the 513th read starts the same sector again
    EXPECT_EQ(ms0515.floppy.status & 2, 0);
}

TEST_F(Ms0515FloppyTest, DataReadsWithoutReadSectorGiveZero)
{
    ms0515_write_word(0177644, 1);
    EXPECT_EQ(data(), 0);
    command(0x80);
    EXPECT_EQ(data(), image(0));
    command(0x00); // RESTORE ends it
    EXPECT_EQ(data(), 0);
}

TEST_F(Ms0515FloppyTest, SectorRegisterRefusesNumbersOutside1To10)
{
    CaptureStdout();
    ms0515_write_word(0177644, 11);
    EXPECT_EQ(ms0515_read_word(0177644), 1);
    ms0515_write_word(0177644, 10);
    EXPECT_EQ(ms0515_read_word(0177644), 10);
    ms0515_write_word(0177644, 0);
    EXPECT_EQ(ms0515_read_word(0177644), 1);
    ms0515_write_word(0177644, 0x105);
    EXPECT_EQ(ms0515_read_word(0177644), 1);
    EXPECT_EQ(GetCapturedStdout(),
              "Garbage Sector Number 11\nGarbage Sector Number 0\nGarbage Sector Number 261\n");
}

TEST_F(Ms0515FloppyTest, ReadAddressOnTrack0NeverReadsBeforeTheImage)
{
    CaptureStdout();
    command(0xC4); // READ ADDRESS: sector register = track 0
    EXPECT_EQ(ms0515_read_word(0177644), 0);
    command(0x80);
    EXPECT_EQ(GetCapturedStdout(), "Garbage Sector Number 0\n");
    EXPECT_EQ(ms0515_read_word(0177644), 1);
    EXPECT_EQ(data(), image(0));
    // On track 7 READ ADDRESS gives 7, a valid sector number.
    ms0515_write_word(0177646, 7);
    command(0x10);
    command(0xC0);
    EXPECT_EQ(ms0515_read_word(0177644), 7);
    // On track 25 it leaves 25: used as it stands while the sector lies inside the image.
    ms0515_write_word(0177646, 25);
    command(0x10);
    command(0xC0);
    CaptureStdout();
    command(0x80);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(data(), image(25 * 5120 + 24 * 512));
    // On the upper surface of track 79 of a two-surface image, sector 79 would end past
    // the buffer: sector 1 instead.
    ms0515_floppy_reset(ms0515.floppy, ms0515.systemImage, ms0515.workImage, true, true);
    ms0515_write_word(0177600, 0); // bit 3 clear: upper surface
    ms0515_write_word(0177646, 79);
    command(0x10);
    command(0xC0);
    CaptureStdout();
    command(0x80);
    EXPECT_EQ(GetCapturedStdout(), "Garbage Sector Number 79\n");
    EXPECT_EQ(data(), image(159 * 5120));
}

TEST_F(Ms0515FloppyTest, SurfacesOfTwoSidedAndOneSidedImages)
{
    // Every track-sized block of the image names itself in its first byte.
    for (uint32_t block = 0; block < 160; ++block)
        ms0515.systemImage[block * 5120] = static_cast<uint8_t>(block);
    struct Case {
        long bytes;         // what the image file held
        bool linear;        // --ms0515-linear-disks
        uint8_t track;
        uint8_t sysreg_a;   // bit 3: 1 = lower surface (active low)
        uint8_t block;      // the 5,120-byte block read
    };
    const Case cases[] = {
        {819200, false, 0, 0x08, 0},   {819200, false, 0, 0x00, 1},
        {819200, false, 37, 0x08, 74}, {819200, false, 37, 0x00, 75},
        {819200, false, 79, 0x0C, 158}, {819200, false, 79, 0x04, 159},
        {600000, false, 3, 0x00, 7},   // a dump cut short is still two-sided
        {409600, false, 37, 0x08, 37}, {409600, false, 37, 0x00, 37}, // one surface: both read it
        {1000, false, 5, 0x00, 5},
        {819200, true, 37, 0x08, 37},  {819200, true, 37, 0x00, 37},  // linear layout
    };
    for (const Case& c : cases) {
        bool two = ms0515_image_is_double_sided(c.bytes, c.linear);
        ms0515_floppy_reset(ms0515.floppy, ms0515.systemImage, ms0515.workImage, two, false);
        ms0515_write_word(0177600, c.sysreg_a);
        ms0515_write_word(0177646, c.track);
        command(0x10);
        ms0515_write_word(0177644, 1);
        command(0x80);
        EXPECT_EQ(data(), c.block) << c.bytes << " " << c.linear << " " << int(c.track) << " " << int(c.sysreg_a);
        EXPECT_EQ(drive(0).side, (c.sysreg_a >> 3) & 1);
    }
    // Drives 1-3 follow the work image's own layout.
    ms0515_floppy_reset(ms0515.floppy, ms0515.systemImage, ms0515.workImage, false, true);
    EXPECT_EQ(drive(0).doubleSided, 0);
    EXPECT_EQ(drive(3).doubleSided, 1);
}

TEST_F(Ms0515FloppyTest, StatusIsNotBusyAfterTheLastByteUntilTheNextCommand)
{
    ms0515_write_word(0177644, 1);
    command(0x80);
    for (int i = 0; i < 511; ++i)
        data();
    int before[4];
    for (int& b : before)
        b = ms0515_read_word(0177640) & 1;
    EXPECT_EQ(std::vector<int>(before, before + 4), (std::vector<int>{1, 1, 0, 0})); // still moving
    data(); // the 512th byte
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ms0515_read_word(0177640) & 3, 0) << i;
    data(); // reading on restarts the sector but the read stays finished
    EXPECT_EQ(ms0515_read_word(0177640) & 1, 0);
    command(0x10); // the next command: the alternation resumes
    int after[4];
    for (int& b : after)
        b = ms0515_read_word(0177640) & 1;
    EXPECT_EQ(after[0] + after[1] + after[2] + after[3], 2);
}

TEST_F(Ms0515FloppyTest, StatusBit0ChangesEverySecondRead)
{
    int bits[6];
    for (int& b : bits)
        b = ms0515_read_word(0177640) & 1;
    EXPECT_EQ(std::vector<int>(bits, bits + 6), (std::vector<int>{1, 1, 0, 0, 1, 1}));
}

TEST_F(Ms0515FloppyTest, DrivesKeepTheirOwnHeadsAndImages)
{
    for (uint32_t i = 0; i < ms0515_image_size; ++i)
        ms0515.workImage[i] = 0xC3;
    ms0515_write_word(0177600, 0); // drive 0
    ms0515_write_word(0177646, 5);
    command(0x10);
    ms0515_write_word(0177600, 1); // drive 1
    ms0515_write_word(0177646, 9);
    command(0x10);
    EXPECT_EQ(drive(0).track, 5);
    EXPECT_EQ(drive(1).track, 9);
    ms0515_write_word(0177644, 1);
    command(0x80);
    EXPECT_EQ(data(), 0xC3);
    ms0515_write_word(0177600, 0);
    command(0x80);
    EXPECT_EQ(data(), image(5 * 5120));
    ms0515_write_word(0177642, 0x33);
    EXPECT_EQ(ms0515_read_word(0177642), 0x33); // track register is only stored
    EXPECT_EQ(drive(0).track, 5);
}

TEST_F(Ms0515FloppyTest, ImageLoadingPadsShortFilesAndKeepsBuffersOfMissingOnes)
{
    auto dir = std::filesystem::temp_directory_path() / ("ms0515_img_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    {
        std::ofstream f(dir / "sub" / "short.dsk", std::ios::binary);
        f << "ABC";
    }
    std::vector<uint8_t> buffer(ms0515_image_size, 0x11);
    CaptureStdout();
    ms0515_open_disk_image(buffer.data(), (dir.string() + "/nothing.dsk").c_str());
    EXPECT_EQ(buffer[0], 0x11);
    ms0515_open_disk_image(buffer.data(), (dir.string() + "/sub").c_str()); // a directory
    EXPECT_EQ(buffer[0], 0x11);
    std::string name = dir.string() + "/sub\\short.dsk";
    ms0515_open_disk_image(buffer.data(), name.c_str());
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out, "Can't open Disk Image: " + dir.string() + "/nothing.dsk\nCan't open Disk Image: " + dir.string() +
                       "/sub\nOpen Disk Image: " + name + "\nDisk image " + name +
                       " is only 3 bytes long (a disk side holds 409600): the rest reads as 0xFF\n");
    EXPECT_EQ(buffer[0], 'A');
    EXPECT_EQ(buffer[2], 'C');
    EXPECT_EQ(buffer[3], 0xFF);
    EXPECT_EQ(buffer[ms0515_image_size - 1], 0xFF);
    std::filesystem::remove_all(dir);
}

// A disk image dropped on the window goes into drive 0 with the layout its size tells;
// one that cannot be opened changes nothing. Either way the drop is taken.
TEST_F(Ms0515FloppyTest, DroppedImageGoesIntoDriveZero)
{
    const std::string file = std::filesystem::temp_directory_path() / ("ms0515_drop_" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << std::string(ms0515_image_size, '\x77');
    std::memset(ms0515.workImage, 0x22, ms0515_image_size);
    for (const std::string& name : {file, file + ".none"}) {
        std::snprintf(dropped_file, sizeof dropped_file, "%s", name.c_str());
        drop_pending = 1;
        ms0515.command = 'f'; // one frame, no presenting
        CaptureStdout();
        ms0515_run_frame();
        EXPECT_NE(GetCapturedStdout().find("Disk Image: " + name + "\n"), std::string::npos);
        EXPECT_EQ(drop_pending, 0);
        EXPECT_EQ(ms0515.systemImage[0] + ms0515.workImage[0], 0x77 + 0x22);
        EXPECT_TRUE(ms0515.floppy.drives[0].doubleSided);
    }
    std::filesystem::remove(file);
}

TEST_F(Ms0515FloppyTest, IndicatorDrawsWhileBusyAndBlanksOnceWhenIdle)
{
    const uint32_t w = 1200, h = 960;
    std::vector<uint32_t> pixels(w * h, 0x123456);
    auto at = [&](int d, int row, int col) { return pixels[(h / 2 + 40 * d - 252 + row) * w + w / 2 - 456 + col]; };
    ms0515_draw_drive_indicator(ms0515.floppy, pixels.data(), w, w, h, 1);
    EXPECT_EQ(at(1, 10, 10), 0x123456u); // idle at start: untouched
    drive(1).idle = 0;
    drive(1).track = 35;
    drive(1).activity = 1;
    ms0515_draw_drive_indicator(ms0515.floppy, pixels.data(), w, w, h, 1);
    EXPECT_EQ(at(1, 0, 0), 0x123456u); // transparent corner
    EXPECT_NE(at(1, 10, 10), 0x123456u);
    EXPECT_EQ(at(1, 5, 15), 0x0080FFu); // head marker: row 2 + 35 / 10
    EXPECT_EQ(at(1, 6, 16), 0x0080FFu);
    drive(1).activity = 2;
    ms0515_draw_drive_indicator(ms0515.floppy, pixels.data(), w, w, h, 1);
    EXPECT_EQ(at(1, 23, 21), 0xFF0000u);
    EXPECT_EQ(at(1, 28, 26), 0xFF0000u);
    EXPECT_EQ(drive(1).indicatorShown, 1);
    drive(1).idle = 1;
    ms0515_draw_drive_indicator(ms0515.floppy, pixels.data(), w, w, h, 1);
    EXPECT_EQ(at(1, 0, 0), 0u);
    EXPECT_EQ(at(1, 31, 31), 0u);
    EXPECT_EQ(at(1, 32, 0), 0x123456u);
    pixels[(h / 2 + 40 - 252) * w + w / 2 - 456] = 0x777777;
    ms0515_draw_drive_indicator(ms0515.floppy, pixels.data(), w, w, h, 1);
    EXPECT_EQ(at(1, 0, 0), 0x777777u); // blanked only once
}

} // namespace
