// UKNC floppy drives: the header stream and marker, sector reads and a write
// round trip through the registers, head stepping, image files and their
// messages, lamps and indicators.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/host.h"
#include "machines/uknc/uknc_floppy.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
namespace fs = std::filesystem;

namespace {

constexpr uint16_t go = 0x400;     // bit 10: the value is taken
constexpr uint16_t motor = 0x10;
constexpr uint16_t drive0 = 3;     // selection is 3 - (value & 3)
constexpr uint16_t drive1 = 2;

class UkncFloppyTest : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("korvel_uknc_floppy_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        for (auto& name : uknc_floppy.names) name[0] = '\0';
        // Every byte of image 0 names its position; image 1 is blank.
        for (uint32_t i = 0; i < uknc_image_size; ++i) {
            uknc_floppy.images[0][i] = static_cast<uint8_t>((i >> 9) * 7 + i);
            uknc_floppy.images[1][i] = 0;
        }
        uknc_floppy.inserted[0] = uknc_floppy.inserted[1] = true;
        uknc_floppy_reset();
    }
    void TearDown() override
    {
        uknc_floppy.modified[0] = uknc_floppy.modified[1] = false;  // no exit warning from the test program
        fs::remove_all(dir);
    }
    std::string file(const char* name) const { return (dir / name).string(); }
    void write_file(const char* name, size_t size, uint8_t fill)
    {
        std::ofstream(file(name), std::ios::binary) << std::string(size, static_cast<char>(fill));
    }
    FloppyDrive& drive(int k) { return uknc_floppy.drives[k]; }
    // Status reads up to the address marker; returns how many read as "not yet".
    int seek_marker()
    {
        int reads = 0;
        while (uknc_floppy_read_status() == 0x4002 + (drive(0).track == 0)) ++reads;
        return reads;
    }
};

TEST_F(UkncFloppyTest, StatusWalksTheHeaderStreamAndDataReadsDeliverTheSector)
{
    uknc_floppy_write_control(go | motor | drive0);
    // 20 words before the first 0xA1A1, then the marker holds.
    EXPECT_EQ(seek_marker(), 20);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4083);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4083);
    // The rest of the stream: address marker, track/side, sector, gap, data marker.
    const uint16_t expected[22] = {0xA1A1, 0xA1FE, 0x0000, 0x0102, 0, 0, 0, 0, 0, 0, 0,
                                   0,      0,      0,      0,      0, 0, 0, 0, 0, 0xA1A1, 0xA1FB};
    for (int k = 0; k < 22; ++k) EXPECT_EQ(uknc_floppy_read_data(), expected[k]) << k;
    EXPECT_EQ(drive(0).data_phase, 1);
    // Sector 0 of track 0, side 0: the first byte of each pair in the high half.
    for (int k = 0; k < 256; ++k) {
        const uint16_t word = uknc_floppy_read_data();
        ASSERT_EQ(word, (uknc_floppy.images[0][2 * k] << 8) | uknc_floppy.images[0][2 * k + 1]) << k;
        if (k == 0) {
            EXPECT_EQ(drive(0).state, UKNC_DRIVE_READING);
        }
    }
    EXPECT_EQ(drive(0).state, UKNC_DRIVE_IDLE);
    EXPECT_EQ(drive(0).sector, 1);
    EXPECT_EQ(drive(0).data_phase, 0);
    EXPECT_EQ(drive(0).header[23], 0x0202);
    // Bit 8 clears the marker; the walk goes on from where the stream stands.
    uknc_floppy_write_control(go | 0x100 | motor | drive0);
    EXPECT_EQ(drive(0).marker_found, 0);
}

TEST_F(UkncFloppyTest, UnreadDataLetsTheNextSectorComeRoundAndSideSelectsItsHalf)
{
    uknc_floppy_write_control(go | motor | 0x20 | drive1);  // drive 1, side 1
    FloppyDrive& d = drive(1);
    EXPECT_EQ(d.image, 1);
    d.position = 41;
    EXPECT_EQ(uknc_floppy_read_data(), 0xA1FB);
    EXPECT_EQ(d.data_phase, 1);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4003);  // data went by: next sector
    EXPECT_EQ(d.sector, 1);
    EXPECT_EQ(d.position, 20);
    EXPECT_EQ(d.header[22], 0x0001);
    EXPECT_EQ(d.header[23], 0x0202);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4083);
    uknc_floppy_write_control(go | 0x100 | motor | 0x20 | drive1);  // marker cleared
    EXPECT_EQ(d.marker_found, 0);
    d.sector = 9;
    d.data_phase = 1;
    uknc_floppy_read_status();
    EXPECT_EQ(d.sector, 0);  // after 9 comes 0
    // The side-1 half of image 1 is read.
    uknc_floppy.images[1][uknc_side_bytes] = 0xAB;
    uknc_floppy.images[1][uknc_side_bytes + 1] = 0xCD;
    d.position = 0;
    d.data_phase = 1;
    EXPECT_EQ(uknc_floppy_read_data(), 0xABCD);
    // Drive 0 was not touched.
    EXPECT_EQ(drive(0).position, 0);
    EXPECT_EQ(drive(0).motor, 0);
}

TEST_F(UkncFloppyTest, WrittenSectorReadsBackUnchanged)
{
    // Head to track 2 on side 1, find sector 3's data and start writing there.
    uknc_floppy_write_control(go | motor | 0x80 | 0x40 | drive1);
    uknc_floppy_write_control(go | motor | 0x80 | 0x40 | drive1);
    EXPECT_EQ(drive(1).track, 2);
    uknc_floppy_write_control(go | motor | 0x20 | drive1);
    drive(1).sector = 3;
    uknc_floppy_write_control(go | motor | 0x20 | 0x200 | drive1);
    EXPECT_EQ(drive(1).state, UKNC_DRIVE_WRITING);
    EXPECT_EQ(drive(1).position, -1);
    uknc_floppy_write_data(0xA1FB);  // the data marker is not stored
    std::vector<uint16_t> words(256);
    for (int k = 0; k < 256; ++k) {
        words[k] = static_cast<uint16_t>(0x1357 * k + 0x0102);
        uknc_floppy_write_data(words[k]);
    }
    EXPECT_EQ(drive(1).state, UKNC_DRIVE_IDLE);
    EXPECT_EQ(drive(1).sector, 4);
    EXPECT_TRUE(uknc_floppy_modified(1));
    EXPECT_FALSE(uknc_floppy_modified(0));
    const uint32_t base = 2 * uknc_track_bytes + uknc_side_bytes + 3 * uknc_sector_bytes;
    EXPECT_EQ(uknc_floppy.images[1][base], 0x01);  // high byte first, as reads deliver it
    EXPECT_EQ(uknc_floppy.images[1][base + 1], 0x02);
    EXPECT_EQ(uknc_floppy.images[1][base - 1], 0);  // neighbours untouched
    EXPECT_EQ(uknc_floppy.images[1][base + 512], 0);
    // Writes outside the writing state are ignored.
    uknc_floppy_write_data(0xFFFF);
    EXPECT_EQ(uknc_floppy.images[1][base + 512], 0);

    // Read it back through the registers: sector 3 again.
    uknc_floppy_write_control(go | 0x100 | motor | 0x20 | drive1);  // bit 9 off, marker cleared
    drive(1).sector = 3;
    drive(1).position = 0;
    drive(1).data_phase = 1;
    for (int k = 0; k < 256; ++k) ASSERT_EQ(uknc_floppy_read_data(), words[k]) << k;

    // Saved back to its file byte for byte.
    write_file("work.dsk", uknc_image_size, 0);
    CaptureStdout();
    ASSERT_TRUE(uknc_floppy_open(1, file("work.dsk").c_str()));
    GetCapturedStdout();
    uknc_floppy_write_control(go | motor | drive1);  // bit 9 off: the next rise starts writing
    drive(1).sector = 3;
    uknc_floppy_write_control(go | motor | 0x20 | 0x200 | drive1);
    uknc_floppy_write_data(0);
    for (int k = 0; k < 256; ++k) uknc_floppy_write_data(words[k]);
    EXPECT_TRUE(uknc_floppy_modified(1));
    CaptureStdout();
    uknc_floppy_warn_unsaved();
    uknc_floppy_save(1);
    EXPECT_EQ(GetCapturedStdout(), "Disk Image-1 was changed and not saved: " + file("work.dsk") +
                                       " (Left Ctrl+Left Shift+1 saves it)\nSave Disk Image-1: " + file("work.dsk") +
                                       "\n");
    EXPECT_FALSE(uknc_floppy_modified(1));
    std::ifstream in(file("work.dsk"), std::ios::binary);
    std::vector<uint8_t> saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(saved.size(), uknc_image_size);
    EXPECT_EQ(0, std::memcmp(saved.data(), uknc_floppy.images[1], uknc_image_size));
    EXPECT_EQ(saved[base + 2 * 255], words[255] >> 8);
}

TEST_F(UkncFloppyTest, ControlValuesAndStepping)
{
    // Without bit 10 nothing changes, not even the selection.
    uknc_floppy_write_control(motor | 0x80 | 0x40 | drive0);
    EXPECT_EQ(uknc_floppy.control, 0);
    EXPECT_EQ(drive(0).motor, 0);
    EXPECT_EQ(drive(0).track, 0);

    CaptureStdout();
    EXPECT_EQ(uknc_floppy_read_status(), 0x4003);  // drive 3 selected at reset, track 0
    uknc_floppy_write_control(go | motor | 0x80 | 0x40 | drive0);
    EXPECT_EQ(uknc_floppy.control, go | motor | 0x40 | drive0);  // bit 7 is not kept
    EXPECT_EQ(drive(0).track, 1);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4002);
    EXPECT_EQ(drive(0).header[22], 0x0100);
    drive(0).track = 78;
    uknc_floppy_write_control(go | 0xC0 | drive0);
    EXPECT_EQ(drive(0).track, 79);
    uknc_floppy_write_control(go | 0xC0 | drive0);
    EXPECT_EQ(drive(0).track, 79);
    EXPECT_EQ(drive(0).motor, 0);  // motor follows bit 4
    uknc_floppy_write_control(go | 0x80 | drive0);
    EXPECT_EQ(drive(0).track, 78);
    drive(0).track = 0;
    uknc_floppy_write_control(go | 0x80 | drive0);
    EXPECT_EQ(drive(0).track, 0);  // not below 0
    EXPECT_EQ(GetCapturedStdout(), "Wrong Track: 80\n");

    // A step ends reading or writing.
    uknc_floppy_write_control(go | 0x200 | drive0);
    EXPECT_EQ(drive(0).state, UKNC_DRIVE_WRITING);
    uknc_floppy_write_control(go | 0x200 | 0xC0 | drive0);
    EXPECT_EQ(drive(0).state, UKNC_DRIVE_IDLE);
    // Reset brings every drive home and idle.
    uknc_floppy_reset();
    EXPECT_EQ(drive(0).track, 0);
    EXPECT_EQ(uknc_floppy.control, 0);
    EXPECT_EQ(drive(3).image, 1);
}

TEST_F(UkncFloppyTest, StreamPositionsOutsideTheHeaderStayInBounds)
{
    // Status and data reads while a write waits for its first word (position -1),
    // and after writing left a data position: no read outside the header or image.
    uknc_floppy_write_control(go | 0x200 | drive0);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4003);
    EXPECT_EQ(drive(0).position, 0);
    drive(0).position = -1;
    EXPECT_EQ(uknc_floppy_read_data(), 0);
    drive(0).position = 100;
    uknc_floppy_read_status();
    EXPECT_EQ(drive(0).position, 0);
    EXPECT_EQ(drive(0).data_phase, 1);
    drive(0).position = -1;
    uknc_floppy_read_data();  // data phase from position -1 reads word 0
    EXPECT_EQ(drive(0).position, 1);
}

TEST_F(UkncFloppyTest, ImageFiles)
{
    // A short file fills the rest with 0xFF; the message names the image.
    write_file("short.dsk", 1000, 0x11);
    CaptureStdout();
    EXPECT_TRUE(uknc_floppy_open(0, file("short.dsk").c_str()));
    EXPECT_EQ(GetCapturedStdout(), "Open Disk Image-0: " + file("short.dsk") + "\nDisk image " + file("short.dsk") +
                                       " is only 1000 bytes long (a disk holds 819200): the rest reads as 0xFF\n");
    EXPECT_EQ(uknc_floppy.images[0][999], 0x11);
    EXPECT_EQ(uknc_floppy.images[0][1000], 0xFF);
    EXPECT_EQ(uknc_floppy.images[0][uknc_image_size - 1], 0xFF);
    EXPECT_EQ(std::string(uknc_floppy.names[0]), file("short.dsk"));

    // Missing file, directory, a path too long for its slot: message, nothing changes.
    const std::string too_long = file(std::string(1100, 'x').c_str());
    CaptureStdout();
    EXPECT_FALSE(uknc_floppy_open(0, file("missing.dsk").c_str()));
    EXPECT_FALSE(uknc_floppy_open(0, dir.string().c_str()));
    EXPECT_FALSE(uknc_floppy_open(0, too_long.c_str()));
    EXPECT_FALSE(uknc_floppy_open(2, file("short.dsk").c_str()));
    EXPECT_FALSE(uknc_floppy_open(0, nullptr));
    EXPECT_EQ(GetCapturedStdout(), "Can't open Disk Image: " + file("missing.dsk") + "\nCan't open Disk Image: " +
                                       dir.string() + "\nDisk image path longer than 1023 characters, not opened: " +
                                       too_long.substr(0, 60) + "...\nCan't open Disk Image: \n");
    EXPECT_EQ(uknc_floppy.images[0][0], 0x11);
    EXPECT_EQ(std::string(uknc_floppy.names[0]), file("short.dsk"));

    // An oversized file gives its first 819,200 bytes.
    {
        std::ofstream out(file("big.dsk"), std::ios::binary);
        out << std::string(uknc_image_size, '\x22') << std::string(5000, '\x33');
    }
    CaptureStdout();
    EXPECT_TRUE(uknc_floppy_open(1, file("big.dsk").c_str()));
    GetCapturedStdout();
    EXPECT_EQ(uknc_floppy.images[1][uknc_image_size - 1], 0x22);

    // A DOS name with a drive letter names a file of the data directory.
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    write_file("Disk_Games2.dsk", 512, 0x44);
    CaptureStdout();
    EXPECT_TRUE(uknc_floppy_open(0, "C:\\Disk_Games2.dsk"));
    fs::current_path(previous);
    EXPECT_EQ(GetCapturedStdout().substr(0, 38), "Open Disk Image-0: C:\\Disk_Games2.dsk\n");
    EXPECT_EQ(uknc_floppy.images[0][511], 0x44);

    // Saving an image never loaded does nothing and prints nothing; one whose file
    // cannot be created says so and stays marked changed.
    uknc_floppy.names[1][0] = '\0';
    CaptureStdout();
    uknc_floppy_save(1);
    EXPECT_EQ(GetCapturedStdout(), "");
    std::snprintf(uknc_floppy.names[1], uknc_name_chars, "%s", file("gone/work.dsk").c_str());
    uknc_floppy.modified[1] = true;
    CaptureStdout();
    uknc_floppy_save(1);
    EXPECT_EQ(GetCapturedStdout(),
              "Can't save Disk Image-1: " + file("gone/work.dsk") + " (No such file or directory)\n");
    EXPECT_TRUE(uknc_floppy_modified(1));
    CaptureStdout();
    uknc_floppy_warn_unsaved();
    EXPECT_EQ(GetCapturedStdout(), "Disk Image-1 was changed and not saved: " + file("gone/work.dsk") +
                                       " (Left Ctrl+Left Shift+1 saves it)\n");
}

// Saving writes the disk's 819,200 bytes over the start of the file it came from and
// keeps the rest: a longer file (extra data, a wrong file in the drive) loses nothing,
// a short one grows to a whole disk.
TEST_F(UkncFloppyTest, SavingNeverShortensTheFile)
{
    for (size_t size : {size_t(uknc_image_size) + 70000, size_t(uknc_image_size), size_t(1000)}) {
        write_file("d.dsk", size, 0x5A);
        CaptureStdout();
        ASSERT_TRUE(uknc_floppy_open(1, file("d.dsk").c_str()));
        uknc_floppy.images[1][uknc_image_size - 1] = 0x02;
        uknc_floppy_save(1);
        EXPECT_NE(GetCapturedStdout().find("Save Disk Image-1: " + file("d.dsk") + "\n"), std::string::npos);
        std::ifstream in(file("d.dsk"), std::ios::binary);
        const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(saved.size(), std::max<size_t>(size, uknc_image_size)) << size;
        EXPECT_EQ(saved.substr(0, 1000), std::string(1000, '\x5A')) << size;
        EXPECT_EQ(saved.substr(uknc_image_size - 1), "\x02" + std::string(saved.size() - uknc_image_size, '\x5A'));
    }
}

TEST_F(UkncFloppyTest, LampsAndIndicators)
{
    std::vector<uint32_t> picture(64 * 200, 0x123456);
    const uint32_t pitch = 64;
    auto at = [&](int x, int y) { return picture[static_cast<size_t>(y) * pitch + x]; };

    uknc_floppy_write_control(go | motor | 0x200 | drive1);  // drive 1 writing
    uknc_floppy_frame_lamps();
    EXPECT_EQ(LockLeds[0], 0);
    EXPECT_NE(LockLeds[1], 0);
    EXPECT_EQ(drive(1).indicator_countdown, 200);

    uknc_floppy_draw_indicators(picture.data(), pitch, 8, 4);
    EXPECT_EQ(drive(1).indicator_countdown, 199);
    EXPECT_EQ(at(8, 4), 0x123456u);                  // drive 0: nothing drawn
    EXPECT_EQ(at(8 + 5, 44 + 0), 0x123456u);         // transparent top row of drive 1
    EXPECT_NE(at(8 + 5, 44 + 10), 0x123456u);        // the icon's face
    EXPECT_EQ(at(8 + 26, 44 + 2), 0xFF0000u);        // head mark at track 0, writing
    bool red_digit = false;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) red_digit |= at(8 + 4 + x, 44 + 22 + y) == 0xFF0000u;
    EXPECT_TRUE(red_digit);

    // Motor off: the countdown runs out, then the area is cleared exactly once.
    uknc_floppy_write_control(go | drive1);
    uknc_floppy_frame_lamps();
    EXPECT_EQ(LockLeds[1], 0);
    for (int k = 0; k < 199; ++k) uknc_floppy_draw_indicators(picture.data(), pitch, 8, 4);
    EXPECT_EQ(drive(1).indicator_countdown, 0);
    uknc_floppy_draw_indicators(picture.data(), pitch, 8, 4);
    EXPECT_EQ(at(8 + 5, 44 + 10), 0u);
    EXPECT_EQ(at(8 + 5, 44 + 0), 0u);
    picture[static_cast<size_t>(44 + 10) * pitch + 8 + 5] = 0x777777;
    uknc_floppy_draw_indicators(picture.data(), pitch, 8, 4);
    EXPECT_EQ(at(8 + 5, 44 + 10), 0x777777u);
}

}  // namespace

namespace {

// A drive whose image was never loaded holds no diskette: whatever the program does, it
// never reports ready, CRC or a marker, reads give 0 and writes change nothing, while the
// head still steps and senses track 0. Loading the image puts the diskette in.
TEST_F(UkncFloppyTest, DriveWithoutADisketteNeverFindsAMarker)
{
    uknc_floppy.inserted[1] = false;
    uknc_floppy_write_control(go | motor | drive1);
    EXPECT_EQ(drive(1).indicator_countdown, 200);  // the motor still turns
    for (int k = 0; k < 2000; ++k) {
        ASSERT_EQ(uknc_floppy_read_status(), 1) << k;
        ASSERT_EQ(uknc_floppy_read_data(), 0) << k;
    }
    uknc_floppy_write_control(go | motor | 0x200 | drive1);  // start writing
    for (int k = 0; k < 300; ++k) uknc_floppy_write_data(0x5555);
    EXPECT_EQ(uknc_floppy.images[1][0], 0);
    EXPECT_FALSE(uknc_floppy_modified(1));
    uknc_floppy_write_control(go | motor | 0xC0 | drive1);  // one track in
    EXPECT_EQ(uknc_floppy_read_status(), 0);
    // Drive 0 has its diskette and finds the marker as before.
    uknc_floppy_write_control(go | motor | drive0);
    EXPECT_EQ(seek_marker(), 20);

    write_file("work.dsk", 1000, 0x22);
    ASSERT_TRUE(uknc_floppy_open(1, file("work.dsk").c_str()));
    uknc_floppy_write_control(go | motor | drive1);
    EXPECT_EQ(uknc_floppy_read_status(), 0x4002);
}

}  // namespace
