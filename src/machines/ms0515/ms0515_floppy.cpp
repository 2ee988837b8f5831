// MS-0515 floppy controller and disk images.
#include "machines/ms0515/ms0515_floppy.h"

#include "host/host.h"

#include <cstdio>
#include <cstring>

long ms0515_open_disk_image(uint8_t* buffer, const char* name)
{
    FILE* file = open_data_file(name, "rb");
    if (!file) {
        std::printf("Can't open Disk Image: %s\n", name);
        host_notifyf("Can't open Disk Image: %s\n", name);
        return -1;
    }
    size_t got = std::fread(buffer, 1, ms0515_image_size, file);
    bool unreadable = got == 0 && std::ferror(file); // a directory, for instance
    std::fclose(file);
    if (unreadable) {
        std::printf("Can't open Disk Image: %s\n", name);
        host_notifyf("Can't open Disk Image: %s\n", name);
        return -1;
    }
    if (got < ms0515_image_size)
        std::memset(buffer + got, 0xFF, ms0515_image_size - got);
    std::printf("Open Disk Image: %s\n", name);
    host_notifyf("Open Disk Image: %s\n", name);
    // Shorter than the one surface the drive reads: most likely no disk image at all.
    if (got < ms0515_single_side_size) {
        std::printf("Disk image %s is only %zu bytes long (a disk side holds %u): the rest reads as 0xFF\n", name,
                    got, ms0515_single_side_size);
        host_notifyf("Disk image %s is only %zu bytes long (a disk side holds %u)\n", name, got,
                     ms0515_single_side_size);
    }
    return static_cast<long>(got);
}

bool ms0515_image_is_double_sided(long bytes, bool linear)
{
    // A dump cut short of 819,200 bytes still holds its surfaces interleaved; what is
    // missing reads as 0xFF.
    return !linear && bytes > static_cast<long>(ms0515_single_side_size);
}

void ms0515_floppy_reset(Ms0515Floppy& fdc, uint8_t* system_image, uint8_t* work_image,
                         bool system_double_sided, bool work_double_sided)
{
    fdc = Ms0515Floppy{};
    for (int i = 0; i < 4; ++i) {
        fdc.drives[i].idle = 1;
        fdc.drives[i].image = i == 0 ? system_image : work_image;
        fdc.drives[i].doubleSided = i == 0 ? system_double_sided : work_double_sided;
    }
}

void ms0515_floppy_select(Ms0515Floppy& fdc, uint8_t sysreg_a)
{
    fdc.selected = sysreg_a & 3;
    DriveRecord& drive = fdc.drives[fdc.selected];
    drive.idle = (sysreg_a >> 2) & 1;
    drive.side = (sysreg_a >> 3) & 1;
}

static bool is_read_sector(uint8_t command) { return (command & 0xE1) == 0x80; }

static bool sector_in_range(uint32_t sector) { return sector >= 1 && sector <= 10; }

// Where sector 1 of the head's track lies on the drive's selected surface.
static uint32_t track_offset(const DriveRecord& drive)
{
    if (!drive.doubleSided)
        return drive.track * ms0515_track_size; // one surface: both sides read it
    uint32_t surface = drive.side ? 0 : 1;    // the side line is active low
    return (2u * drive.track + surface) * ms0515_track_size;
}

void ms0515_floppy_write_command(Ms0515Floppy& fdc, uint8_t command)
{
    fdc.command = command;
    fdc.readFinished = 0;
    DriveRecord& drive = fdc.drives[fdc.selected];
    if ((command & 0xE0) == 0x40) { // STEP IN
        drive.activity = 0;
        if (drive.track > 78)
            std::printf("Wrong Track: %d\n", drive.track + 1);
        else
            ++drive.track;
    }
    if ((command & 0xE0) == 0x60) { // STEP OUT
        drive.activity = 0;
        if (drive.track != 0)
            --drive.track;
    }
    if ((command & 0xF0) == 0x10) { // SEEK to the data register's track
        drive.activity = 0;
        if (fdc.dataRegister >= 80)
            std::printf("Wrong Track: %d\n", fdc.dataRegister);
        else
            drive.track = fdc.dataRegister;
    }
    if ((command & 0xFB) == 0xC0) // READ ADDRESS
        fdc.sectorRegister = drive.track;
    if (is_read_sector(command)) {
        // The sector register may hold what READ ADDRESS left there (the track number);
        // it is used as it stands while the sector lies inside the image. Sector 0 would
        // address the 512 bytes before the track, and large numbers on high tracks the
        // bytes past the buffer: those fall back to sector 1.
        uint32_t base = track_offset(drive);
        uint32_t sector = fdc.sectorRegister;
        if (sector == 0 || base + sector * ms0515_sector_size > ms0515_image_size) {
            std::printf("Garbage Sector Number %d\n", fdc.sectorRegister);
            fdc.sectorRegister = 1;
            sector = 1;
        }
        fdc.status |= 2;
        drive.activity = 1;
        fdc.readPointer = drive.image + base + (sector - 1) * ms0515_sector_size;
        fdc.readCounter = 0;
    }
}

uint8_t ms0515_floppy_read_status(Ms0515Floppy& fdc)
{
    // A finished sector read leaves the controller idle: boot loaders check the status
    // after the last byte and take a busy bit for an I/O error.
    if (fdc.readFinished)
        return fdc.status & ~1;
    // The alternating bit keeps polling loops that wait for an index edge moving.
    if (fdc.statusToggle == 0)
        fdc.status ^= 1;
    fdc.statusToggle ^= 1;
    return fdc.status;
}

void ms0515_floppy_write_sector(Ms0515Floppy& fdc, uint16_t value)
{
    if (!sector_in_range(value)) {
        std::printf("Garbage Sector Number %d\n", value);
        fdc.sectorRegister = 1;
    } else {
        fdc.sectorRegister = static_cast<uint8_t>(value);
    }
}

uint8_t ms0515_floppy_read_data(Ms0515Floppy& fdc)
{
    if (!is_read_sector(fdc.command) || !fdc.readPointer)
        return 0;
    uint8_t value = fdc.readPointer[fdc.readCounter % ms0515_sector_size];
    ++fdc.readCounter;
    if (fdc.readCounter % ms0515_sector_size == 0) {
        fdc.status &= ~2;
        fdc.readFinished = 1;
        fdc.drives[fdc.selected].activity = 0;
    }
    return value;
}

// ---- Indicators ---------------------------------------------------------------------

// A 5.25" drive front, 32 x 32, as runs of equal rows from the top: '.' transparent, 'K'
// bezel, 'G' face, 'D' slot, 'W' highlight.
struct ArtRows {
    int count;
    const char* row;
};
static const ArtRows drive_art[] = {
    {2, "................................"},
    {1, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWK"},
    {10, "WGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGK"},
    {1, "WGGDDDDDDDDDDDDDDDDDDDDDDDDDDGGK"},
    {1, "WGGDKKKKKKKKKKKKKKKKKKKKKKKKDGGK"},
    {1, "WGGDDDDDDDDDDDDDDDDDDDDDDDDDDGGK"},
    {1, "WGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGK"},
    {1, "WGGGGGGGGGGGGKKKKKKGGGGGGGGGGGGK"},
    {2, "WGGGGGGGGGGGGKDDDDKGGGGGGGGGGGGK"},
    {1, "WGGGGGGGGGGGGKKKKKKGGGGGGGGGGGGK"},
    {8, "WGGGGGGGGGGGGGGGGGGGGGGGGGGGGGGK"},
    {1, "WKKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK"},
    {2, "................................"},
};

// Drive numbers 0..3 as 6 x 6 lamps: '#' white, '.' transparent.
static const char lamp_art[4][6][7] = {
    {".###..", "#...#.", "#...#.", "#...#.", ".###..", "......"},
    {"..#...", ".##...", "..#...", "..#...", ".###..", "......"},
    {".###..", "....#.", "..##..", ".#....", "#####.", "......"},
    {"####..", "....#.", ".###..", "....#.", "####..", "......"},
};

static int32_t art_colour(char c)
{
    switch (c) {
    case 'K': return 0x202020;
    case 'G': return 0x909090;
    case 'D': return 0x505050;
    case 'W': return 0xE0E0E0;
    case '#': return 0xFFFFFF;
    default: return -1; // transparent
    }
}

void ms0515_draw_drive_indicator(Ms0515Floppy& fdc, uint32_t* pixels, uint32_t pitch,
                                 uint32_t width, uint32_t height, int drive_number)
{
    DriveRecord& drive = fdc.drives[drive_number];
    int top = static_cast<int>(height / 2) + 40 * drive_number - 252;
    int left = static_cast<int>(width / 2) - 456;
    if (top < 0 || left < 0 || top + 32 > static_cast<int>(height))
        return; // the back buffer is always large enough; this guards odd sizes only
    uint32_t* origin = pixels + static_cast<size_t>(top) * pitch + left;
    if (drive.idle) {
        if (drive.indicatorShown) {
            for (int y = 0; y < 32; ++y)
                std::memset(origin + static_cast<size_t>(y) * pitch, 0, 32 * sizeof(uint32_t));
            drive.indicatorShown = 0;
        }
        return;
    }
    int y = 0;
    for (const ArtRows& rows : drive_art)
        for (int k = 0; k < rows.count; ++k, ++y)
            for (int x = 0; x < 32; ++x) {
                int32_t colour = art_colour(rows.row[x]);
                if (colour >= 0)
                    origin[static_cast<size_t>(y) * pitch + x] = static_cast<uint32_t>(colour);
            }
    uint32_t* lamp = origin + 23 * static_cast<size_t>(pitch) + 21;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            if (drive.activity == 2) {
                lamp[static_cast<size_t>(y) * pitch + x] = 0xFF0000;
            } else {
                int32_t colour = art_colour(lamp_art[drive_number][y][x]);
                if (colour >= 0)
                    lamp[static_cast<size_t>(y) * pitch + x] = static_cast<uint32_t>(colour);
            }
        }
    uint32_t head = drive.activity == 1 ? 0x0080FF : drive.activity == 2 ? 0xFF0000 : 0xFFFFFF;
    uint32_t* marker = origin + static_cast<size_t>(2 + drive.track / 10) * pitch + 15;
    marker[0] = marker[1] = marker[pitch] = marker[pitch + 1] = head;
    drive.indicatorShown = 1;
}
