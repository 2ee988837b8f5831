// UKNC floppy drives: four drives behind the PPU's two floppy registers,
// 0177130 (control on write, status on read) and 0177132 (data), working on
// two 819,200-byte disk images held in memory (80 tracks x 2 sides x 10
// sectors x 512 bytes). Drive 0 uses image 0, drives 1-3 share image 1.
//
// The controller streams a sector's header as 42 words (sync, address marker,
// track/side and sector words, gap, data marker); status reads walk that stream
// until the 0xA1A1 marker, after which data reads deliver the sector's 256
// words. Writing starts with control bit 9; the first word after it is the data
// marker and is not stored.
//
// How the workstation wires it up:
//   at start:   uknc_floppy_open(0, "C:\\Disk_Games2.dsk"); uknc_floppy_open(0, "System.dsk"); ...
//   at restart: uknc_floppy_reset();
//   PPU I/O:    0177130 read -> uknc_floppy_read_status(), write -> uknc_floppy_write_control(v)
//               0177132 read -> uknc_floppy_read_data(),   write -> uknc_floppy_write_data(v)
//   each frame: uknc_floppy_frame_lamps(); after the picture uknc_floppy_draw_indicators(...)
//   hot keys:   uknc_floppy_save(0) / uknc_floppy_save(1)
// A drive whose image was never loaded holds no diskette: it never turns, so the
// status shows neither "ready" nor "CRC good" nor a found marker, reads give 0 and
// writes are lost; the ROM then gives up as on an empty drive.
// When the run ends, every image changed since it was loaded or saved is named on
// the console (nothing is saved behind the user's back): the workstation calls
// uknc_floppy_warn_unsaved() on its way out.
#pragma once

#include <cstdint>

// An image: 80 tracks of two sides of ten sectors, track by track, side 0 first.
inline constexpr uint32_t uknc_sector_bytes = 512;
inline constexpr uint32_t uknc_side_bytes = 10 * uknc_sector_bytes;
inline constexpr uint32_t uknc_track_bytes = 2 * uknc_side_bytes;
inline constexpr uint32_t uknc_image_size = 80 * uknc_track_bytes;
inline constexpr int uknc_header_words = 42;
inline constexpr int uknc_name_chars = 1024;  // a slot holds paths of up to 1023 characters

// Drive states.
enum : int { UKNC_DRIVE_IDLE = 0, UKNC_DRIVE_READING = 1, UKNC_DRIVE_WRITING = 2 };

struct FloppyDrive {
    int track;                  // 0..79
    int side;                   // control bit 5
    int motor;                  // control bit 4
    int indicator_countdown;    // frames left to show the indicator
    int indicator_shown;        // the indicator area needs clearing when the countdown ends
    int state;                  // UKNC_DRIVE_*
    int marker_found;           // status reports the address marker
    int data_phase;             // the 256 data words of the sector stream
    int sector;                 // 0..9
    int position;               // header word 0..41 or data word 0..255; -1 before the first written word
    int image;                  // image buffer index: 0 or 1
    uint16_t header[uknc_header_words];
};

struct UkncFloppy {
    uint8_t images[2][uknc_image_size];
    char names[4][uknc_name_chars];  // slot i: the file image i was last loaded from, "" if none
    bool modified[2];                // changed since loaded or saved
    bool inserted[2];                // a diskette is in: the image was loaded from a file
    FloppyDrive drives[4];
    uint16_t control;                // last accepted control value
    bool exit_warning_installed;
};

extern UkncFloppy uknc_floppy;

uint16_t uknc_floppy_read_status();
void uknc_floppy_write_control(uint16_t value);
uint16_t uknc_floppy_read_data();
void uknc_floppy_write_data(uint16_t value);

// Restart: the four drive records (track 0, idle, drive 0 on image 0, drives 1-3
// on image 1) and the control value. Images and names stay.
void uknc_floppy_reset();

// Reads the file (a data-file name; DOS names are accepted) into image 0 or 1:
// the first 819,200 bytes, 0xFF for what a shorter file lacks. Prints
// "Open Disk Image-%d: %s\n", or "Can't open Disk Image: %s\n" and changes nothing.
bool uknc_floppy_open(int image, const char* path);
// Writes the image back to the file it was loaded from; nothing when it has none.
void uknc_floppy_save(int image);
bool uknc_floppy_modified(int image);
// The console warning for images changed and not saved; registered by
// uknc_floppy_warn_at_exit() to run at the process's orderly end (window closed,
// --frames reached), not after a fatal error (which exits at once).
void uknc_floppy_warn_unsaved();
void uknc_floppy_warn_at_exit();

// The host's NumLock lamp follows drive 0 at work, CapsLock drive 1.
void uknc_floppy_frame_lamps();

// Draws the four drive indicators (32 x 32 each, 40 pixels apart downwards) at
// left/top of a 32-bit picture; a drive whose countdown has run out has its area
// cleared once. The caller keeps 32 x 152 pixels there inside the picture.
void uknc_floppy_draw_indicators(uint32_t* pixels, uint32_t pitch_pixels, int left, int top);
