// MS-0515 floppy controller: a WD1793-style register set reduced to what reading programs
// need (head positioning, READ ADDRESS, READ SECTOR, a byte-wide data register), four
// drives over two in-memory raw images, and the drive indicators beside the picture.
//
// Wiring: ms0515_floppy_reset() at start-up (after the image buffers exist), the four
// register handlers go into the I/O tables at 0177640..0177646, every SYSREG_A write calls
// ms0515_floppy_select(), and each presented frame calls ms0515_draw_drive_indicator()
// for drives 0..3.
#pragma once

#include <cstdint>

inline constexpr uint32_t ms0515_image_size = 819200;   // 80 tracks x 2 sides x 10 x 512
inline constexpr uint32_t ms0515_track_size = 5120;     // 10 sectors of 512 bytes
inline constexpr uint32_t ms0515_sector_size = 512;
// One surface of 80 tracks. An image no larger than this is single-sided: both surfaces
// read it. A larger one is a dump of both surfaces, track-interleaved: track T, surface S
// at (2T + S) x 5,120, S = 0 for the lower surface.
inline constexpr uint32_t ms0515_single_side_size = 409600;

struct DriveRecord {
    uint8_t track;          // head position 0..79
    uint8_t side;           // SYSREG_A bit 3, active low: 1 = lower surface, 0 = upper
    uint8_t idle;           // SYSREG_A bit 2: nonzero hides the indicator
    uint8_t indicatorShown; // the indicator area holds a picture that must be blanked later
    uint8_t activity;       // 0 idle, 1 reading, 2 error
    uint8_t doubleSided;    // the image interleaves both surfaces (see above)
    uint8_t* image;
};

struct Ms0515Floppy {
    DriveRecord drives[4];
    uint8_t selected;       // SYSREG_A bits 0-1
    uint8_t command;        // last command byte written
    uint8_t status;         // bit 0 index/busy toggle, bit 1 data ready
    uint8_t trackRegister;
    uint8_t sectorRegister;
    uint8_t dataRegister;
    uint8_t statusToggle;   // bit 0 of status flips on every second status read
    uint8_t readFinished;   // the 512th byte went out: not busy until the next command
    const uint8_t* readPointer;
    uint32_t readCounter;
};

// Fills the buffer from the file: short files pad with 0xFF, a missing file leaves the
// buffer as it was. Prints "Open Disk Image: %s\n" or "Can't open Disk Image: %s\n".
// Returns the bytes the file gave (at most ms0515_image_size), or -1 when it gave nothing.
long ms0515_open_disk_image(uint8_t* buffer, const char* name);
// Whether an image of that many bytes holds both surfaces. linear: every image is read as
// tracks 0-79 of its first 409,600 bytes, for images made that way.
bool ms0515_image_is_double_sided(long bytes, bool linear);

// Drive 0 uses the system image, drives 1-3 share the work image.
void ms0515_floppy_reset(Ms0515Floppy& fdc, uint8_t* system_image, uint8_t* work_image,
                         bool system_double_sided = false, bool work_double_sided = false);
void ms0515_floppy_select(Ms0515Floppy& fdc, uint8_t sysreg_a);

void ms0515_floppy_write_command(Ms0515Floppy& fdc, uint8_t value);
uint8_t ms0515_floppy_read_status(Ms0515Floppy& fdc);
void ms0515_floppy_write_sector(Ms0515Floppy& fdc, uint16_t value);
uint8_t ms0515_floppy_read_data(Ms0515Floppy& fdc);

// Draws (or blanks) drive i's 32 x 32 indicator left of the 640-pixel picture.
void ms0515_draw_drive_indicator(Ms0515Floppy& fdc, uint32_t* pixels, uint32_t pitch,
                                 uint32_t width, uint32_t height, int drive);
