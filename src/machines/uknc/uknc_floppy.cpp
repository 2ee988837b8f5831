// UKNC floppy drives: the register model, image files and drive indicators.
#include "machines/uknc/uknc_floppy.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"

UkncFloppy uknc_floppy;

namespace {

// ---- Drive model ------------------------------------------------------------------

FloppyDrive& selected_drive() { return uknc_floppy.drives[3 - (uknc_floppy.control & 3)]; }

uint16_t track_zero_bit(const FloppyDrive& d) { return d.track == 0 ? 1 : 0; }

// Without a diskette the spindle turns nothing: no index, no marker, no data.
bool has_diskette(const FloppyDrive& d) { return uknc_floppy.inserted[d.image]; }

// The track/side and sector words follow the head and the sector counter.
void rewrite_header(FloppyDrive& d)
{
    d.header[22] = static_cast<uint16_t>((d.track << 8) | d.side);
    d.header[23] = static_cast<uint16_t>(((d.sector + 1) << 8) | 2);
}

void init_header(FloppyDrive& d)
{
    std::memset(d.header, 0, sizeof d.header);
    d.header[0] = d.header[1] = 0x1234;
    d.header[20] = 0xA1A1;
    d.header[21] = 0xA1FE;
    d.header[40] = 0xA1A1;
    d.header[41] = 0xA1FB;
    rewrite_header(d);
}

void next_sector(FloppyDrive& d)
{
    d.sector = d.sector == 9 ? 0 : d.sector + 1;
    rewrite_header(d);
}

// Header word at the stream position; a position outside the stream (the -1 of a
// write start, or a data position left by writing) reads as a gap word.
uint16_t header_word(const FloppyDrive& d)
{
    return d.position >= 0 && d.position < uknc_header_words ? d.header[d.position] : 0;
}

// Advances the header stream; past its end the sector data follows.
void next_header_word(FloppyDrive& d)
{
    if (++d.position >= uknc_header_words || d.position < 0) {
        d.position = 0;
        d.data_phase = 1;
    }
}

uint8_t* data_word(FloppyDrive& d)
{
    const uint32_t offset = static_cast<uint32_t>(d.track) * uknc_track_bytes +
                            static_cast<uint32_t>(d.side) * uknc_side_bytes +
                            static_cast<uint32_t>(d.sector) * uknc_sector_bytes +
                            2u * static_cast<uint32_t>(d.position);
    return uknc_floppy.images[d.image] + offset;
}

// After the sector's 256th word the drive goes idle and the next sector comes round.
void end_of_sector_check(FloppyDrive& d)
{
    if (++d.position < 256)
        return;
    d.position = 0;
    d.data_phase = 0;
    d.state = UKNC_DRIVE_IDLE;
    next_sector(d);
}

void step_head(FloppyDrive& d, bool inwards)
{
    if (inwards) {
        if (d.track > 78)
            std::printf("Wrong Track: %d\n", d.track + 1);
        else
            ++d.track;
    } else if (d.track > 0) {
        --d.track;
    }
}

}  // namespace

void uknc_floppy_reset()
{
    uknc_floppy.control = 0;
    for (int k = 0; k < 4; ++k) {
        FloppyDrive& d = uknc_floppy.drives[k];
        d = FloppyDrive{};
        d.image = k == 0 ? 0 : 1;
        init_header(d);
    }
}

void uknc_floppy_warn_at_exit()
{
    if (!uknc_floppy.exit_warning_installed) {
        uknc_floppy.exit_warning_installed = true;
        std::atexit(uknc_floppy_warn_unsaved);
    }
}

void uknc_floppy_write_control(uint16_t value)
{
    if (!(value & 0x400))
        return;
    const uint16_t previous = uknc_floppy.control;
    uknc_floppy.control = value;
    // Every step works on the drive this value selects (a write start travels with
    // its own drive selection).
    FloppyDrive& d = selected_drive();
    if ((value & 0x200) && !(previous & 0x200)) {
        d.state = UKNC_DRIVE_WRITING;
        d.position = -1;
    }
    d.motor = (value >> 4) & 1;
    if (d.motor)
        d.indicator_countdown = 200;
    d.side = (value >> 5) & 1;
    if (value & 0x80) {
        uknc_floppy.control = static_cast<uint16_t>(value & ~0x80);
        d.state = UKNC_DRIVE_IDLE;
        step_head(d, (value & 0x40) != 0);
    }
    rewrite_header(d);
    if (value & 0x100)
        d.marker_found = 0;
}

uint16_t uknc_floppy_read_status()
{
    FloppyDrive& d = selected_drive();
    const uint16_t t0 = track_zero_bit(d);
    if (!has_diskette(d))
        return t0;  // the head still senses track 0; nothing is ready or found
    if (d.marker_found)
        return 0x4082 + t0;
    if (d.data_phase) {
        // The data went by unread: the next sector's header comes round.
        d.position = 20;
        d.data_phase = 0;
        next_sector(d);
        return 0x4002 + t0;
    }
    if (header_word(d) == 0xA1A1) {
        d.marker_found = 1;
        return 0x4082 + t0;
    }
    next_header_word(d);
    return 0x4002 + t0;
}

uint16_t uknc_floppy_read_data()
{
    FloppyDrive& d = selected_drive();
    if (!has_diskette(d))
        return 0;
    if (d.data_phase) {
        d.state = UKNC_DRIVE_READING;
        if (d.position < 0 || d.position > 255)
            d.position = 0;
        // The controller delivers the first byte of each pair in the high half.
        const uint8_t* p = data_word(d);
        const uint16_t word = static_cast<uint16_t>((p[0] << 8) | p[1]);
        end_of_sector_check(d);
        return word;
    }
    const uint16_t word = header_word(d);
    next_header_word(d);
    return word;
}

void uknc_floppy_write_data(uint16_t value)
{
    FloppyDrive& d = selected_drive();
    if (d.state != UKNC_DRIVE_WRITING || !has_diskette(d))
        return;
    if (d.position < 0) {  // the data marker
        d.position = 0;
        return;
    }
    if (d.position > 255)
        d.position = 0;
    // Stored in the order reads deliver it, so a sector written comes back unchanged.
    uint8_t* p = data_word(d);
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value);
    uknc_floppy.modified[d.image] = true;
    end_of_sector_check(d);
}

// ---- Image files ------------------------------------------------------------------

bool uknc_floppy_open(int image, const char* path)
{
    if (!path)
        path = "";
    if (image < 0 || image > 1)
        return false;
    // A path the slot cannot hold whole would later be saved under a cut-off name.
    if (std::strlen(path) >= uknc_name_chars) {
        std::printf("Disk image path longer than %d characters, not opened: %.60s...\n", uknc_name_chars - 1, path);
        return false;
    }
    FILE* file = open_data_file(path, "rb");
    std::vector<uint8_t> contents(uknc_image_size, 0xFF);
    size_t got = 0;
    bool failed = file == nullptr;
    if (file) {
        got = std::fread(contents.data(), 1, uknc_image_size, file);
        failed = std::ferror(file) != 0;  // a directory, for instance
        std::fclose(file);
    }
    if (failed) {
        std::printf("Can't open Disk Image: %s\n", path);
        host_notifyf("Can't open Disk Image: %s\n", path);
        return false;
    }
    // Bytes a short file lacks stay 0xFF. A file far shorter than a disk is most likely
    // not a disk image at all: it is still opened, but the user hears of its size.
    std::memcpy(uknc_floppy.images[image], contents.data(), uknc_image_size);
    std::snprintf(uknc_floppy.names[image], uknc_name_chars, "%s", path);
    uknc_floppy.modified[image] = false;
    uknc_floppy.inserted[image] = true;
    std::printf("Open Disk Image-%d: %s\n", image, path);
    host_notifyf("Open Disk Image-%d: %s\n", image, path);
    if (got < uknc_image_size)
        std::printf("Disk image %s is only %zu bytes long (a disk holds %u): the rest reads as 0xFF\n", path, got,
                    uknc_image_size);
    return true;
}

void uknc_floppy_save(int image)
{
    if (image < 0 || image > 1 || uknc_floppy.names[image][0] == '\0')
        return;
    const char* path = uknc_floppy.names[image];
    // The disk's bytes are written over the start of the file in place: whatever the file
    // holds beyond them (a longer file, extra data) stays. Only a file that is gone is
    // created anew.
    FILE* file = open_data_file(path, "r+b");
    if (!file && errno == ENOENT)
        file = open_data_file(path, "wb");
    if (!file) {
        const std::string why = std::strerror(errno);
        std::printf("Can't save Disk Image-%d: %s (%s)\n", image, path, why.c_str());
        host_notifyf("Can't save Disk Image-%d: %s (%s)\n", image, path, why.c_str());
        return;
    }
    const bool written = std::fwrite(uknc_floppy.images[image], 1, uknc_image_size, file) == uknc_image_size;
    const int write_error = errno;
    // A full disk shows up at the write or at the close; the image then stays marked changed.
    if (std::fclose(file) != 0 || !written) {
        const std::string why = std::strerror(written ? errno : write_error);
        std::printf("Can't save Disk Image-%d: %s (%s)\n", image, path, why.c_str());
        host_notifyf("Can't save Disk Image-%d: %s (%s)\n", image, path, why.c_str());
        return;
    }
    uknc_floppy.modified[image] = false;
    std::printf("Save Disk Image-%d: %s\n", image, path);
    host_notifyf("Save Disk Image-%d: %s\n", image, path);
}

bool uknc_floppy_modified(int image) { return image >= 0 && image <= 1 && uknc_floppy.modified[image]; }

void uknc_floppy_warn_unsaved()
{
    for (int k = 0; k < 2; ++k) {
        // Only an image loaded from a file takes writes, so there is a file to save it to.
        if (uknc_floppy.modified[k] && uknc_floppy.names[k][0])
            std::printf("Disk Image-%d was changed and not saved: %s (Left Ctrl+Left Shift+%d saves it)\n", k,
                        uknc_floppy.names[k], k);
    }
    std::fflush(stdout);
}

// ---- Lamps and indicators -----------------------------------------------------------

void uknc_floppy_frame_lamps()
{
    for (int k = 0; k < 2; ++k) {
        const FloppyDrive& d = uknc_floppy.drives[k];
        LockLeds[k] = d.motor && d.state != UKNC_DRIVE_IDLE ? 1 : 0;
    }
}

namespace {

// A 5.25" drive seen from the front with its door lever: '.' transparent,
// 'B' body, 'E' edge, 'S' slot, 'L' lever, 'H' highlight.
const char drive_icon[32][33] = {
    "................................",
    "HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBSSSSSSSSSSSSSSSSSSSSSSSSSSBBE",
    "HBBSEEEEEEEEEEEEEEEEEEEEEEEESBBE",
    "HBBSSSSSSSSSSSSSSSSSSSSSSSSSSBBE",
    "HBBBBBBBBBBBBBBLLBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBLLBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBLLBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBLLBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "HBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBE",
    "EEEEEEEEEEEEEEEEEEEEEEEEEEEEEEEE",
    "................................",
};

// Drive numbers as 6 x 6 digits: '#' lit, '.' transparent.
const char digits[4][6][7] = {
    {"..##..", ".#..#.", ".#..#.", ".#..#.", "..##..", "......"},
    {"...#..", "..##..", "...#..", "...#..", "..###.", "......"},
    {"..##..", ".#..#.", "...#..", "..#...", ".####.", "......"},
    {".###..", "....#.", "..##..", "....#.", ".###..", "......"},
};

int32_t icon_colour(char c)
{
    switch (c) {
    case 'B': return 0x2E3440;
    case 'E': return 0x101010;
    case 'S': return 0x606870;
    case 'L': return 0xC8C8B0;
    case 'H': return 0x8890A0;
    case '#': return 0xF0F0F0;
    default: return -1;  // transparent
    }
}

uint32_t head_colour(int state)
{
    switch (state) {
    case UKNC_DRIVE_READING: return 0x00D000;
    case UKNC_DRIVE_WRITING: return 0xFF0000;
    default: return 0xFFC000;
    }
}

void draw_drive(const FloppyDrive& d, int number, uint32_t* origin, uint32_t pitch)
{
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            const int32_t colour = icon_colour(drive_icon[y][x]);
            if (colour >= 0)
                origin[y * pitch + x] = static_cast<uint32_t>(colour);
        }
    uint32_t* digit = origin + 22 * pitch + 4;
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            if (digits[number][y][x] == '#')
                digit[y * pitch + x] = d.state == UKNC_DRIVE_WRITING ? 0xFF0000 : 0xF0F0F0;
    // The head mark moves down the face as the head moves in: row 2 at track 0, 9 at 79.
    uint32_t* head = origin + static_cast<uint32_t>(d.track / 10 + 2) * pitch + 26;
    head[0] = head[1] = head[pitch] = head[pitch + 1] = head_colour(d.state);
}

}  // namespace

void uknc_floppy_draw_indicators(uint32_t* pixels, uint32_t pitch_pixels, int left, int top)
{
    if (!pixels || left < 0 || top < 0)
        return;
    for (int k = 0; k < 4; ++k) {
        FloppyDrive& d = uknc_floppy.drives[k];
        uint32_t* origin = pixels + static_cast<size_t>(top + 40 * k) * pitch_pixels + static_cast<size_t>(left);
        if (d.indicator_countdown > 0) {
            --d.indicator_countdown;
            draw_drive(d, k, origin, pitch_pixels);
            d.indicator_shown = 1;
        } else if (d.indicator_shown) {
            for (uint32_t y = 0; y < 32; ++y)
                std::memset(origin + y * pitch_pixels, 0, 32 * sizeof(uint32_t));
            d.indicator_shown = 0;
        }
    }
}
