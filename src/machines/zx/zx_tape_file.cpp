// Tape images: .tap (a chain of length-prefixed ROM-format blocks) and .tzx (a signature
// and a chain of typed blocks), cut into the blocks the player runs. Every length is
// checked against the image before it is used; a damaged tape keeps the blocks before
// the damage and says where it is.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "machines/zx/zx_tape.h"

namespace {

uint32_t word_at(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t triple_at(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16; }
uint32_t dword_at(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The ROM's timing, used by .tap blocks and TZX block 0x10.
ZxTapeBlock standard_block(uint32_t data, uint32_t length, uint32_t pause_ms, const std::vector<uint8_t>& image)
{
    ZxTapeBlock b{};
    b.id = 0x10;
    b.pilot_pulse = 2168;
    // A header (flag byte below 128) has the long leader, data the short one.
    b.pilot_count = length > 0 && image[data] < 0x80 ? 8063 : 3223;
    b.sync1 = 667;
    b.sync2 = 735;
    b.zero = 855;
    b.one = 1710;
    b.last_bits = 8;
    b.data = data;
    b.data_length = length;
    b.pause_ms = pause_ms;
    return b;
}

uint8_t used_bits(uint8_t value) { return value >= 1 && value <= 8 ? value : 8; }

// Fixed part of a block after its ID, or the offset of the length that gives its size.
// Returns false for an ID this table does not know.
struct BlockShape {
    uint32_t fixed;        // bytes before the variable part
    uint32_t length_at;    // offset of the variable part's length within the fixed part
    uint32_t length_size;  // 0 (none), 1, 2, 3 or 4 bytes
    uint32_t length_scale; // bytes per length unit
};

bool block_shape(uint8_t id, BlockShape* s)
{
    switch (id) {
    case 0x10: *s = {4, 2, 2, 1}; return true;
    case 0x11: *s = {18, 15, 3, 1}; return true;
    case 0x12: *s = {4, 0, 0, 0}; return true;
    case 0x13: *s = {1, 0, 1, 2}; return true;
    case 0x14: *s = {10, 7, 3, 1}; return true;
    case 0x15: *s = {8, 5, 3, 1}; return true;
    case 0x18: *s = {4, 0, 4, 1}; return true;
    case 0x19: *s = {4, 0, 4, 1}; return true;
    case 0x20: *s = {2, 0, 0, 0}; return true;
    case 0x21: *s = {1, 0, 1, 1}; return true;
    case 0x22: *s = {0, 0, 0, 0}; return true;
    case 0x23: *s = {2, 0, 0, 0}; return true;
    case 0x24: *s = {2, 0, 0, 0}; return true;
    case 0x25: *s = {0, 0, 0, 0}; return true;
    case 0x26: *s = {2, 0, 2, 2}; return true;
    case 0x27: *s = {0, 0, 0, 0}; return true;
    case 0x28: *s = {2, 0, 2, 1}; return true;
    case 0x2A: *s = {4, 0, 4, 1}; return true;
    case 0x2B: *s = {4, 0, 4, 1}; return true;
    case 0x30: *s = {1, 0, 1, 1}; return true;
    case 0x31: *s = {2, 1, 1, 1}; return true;
    case 0x32: *s = {2, 0, 2, 1}; return true;
    case 0x33: *s = {1, 0, 1, 3}; return true;
    case 0x34: *s = {8, 0, 0, 0}; return true;
    case 0x35: *s = {20, 16, 4, 1}; return true;
    case 0x40: *s = {4, 1, 3, 1}; return true;
    case 0x5A: *s = {9, 0, 0, 0}; return true;
    default: return false;
    }
}

} // namespace

bool zx_read_whole_file(const char* name, std::vector<uint8_t>* bytes, std::string* why)
{
    bytes->clear();
    FILE* file = open_data_file(name, "rb");
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (bytes->size() > zx_tape_file_limit)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *why = "can't be read";
        return false;
    }
    if (bytes->size() > zx_tape_file_limit) {
        bytes->clear();
        *why = "larger than 32 MiB";
        return false;
    }
    if (bytes->empty()) {
        *why = "empty file";
        return false;
    }
    return true;
}

bool zx_has_tzx_signature(const std::vector<uint8_t>& image)
{
    return image.size() >= 8 && std::memcmp(image.data(), "ZXTape!\x1A", 8) == 0;
}

bool zx_parse_tap(const std::vector<uint8_t>& image, std::vector<ZxTapeBlock>* blocks, const char* name)
{
    blocks->clear();
    size_t at = 0;
    while (at < image.size() && blocks->size() < zx_tape_block_limit) {
        const size_t number = blocks->size() + 1;
        if (at + 2 > image.size()) {
            std::printf("Tape %s: block %zu: its length is cut off by the end of the file\n", name, number);
            break;
        }
        uint32_t length = word_at(image, at);
        const size_t data = at + 2;
        if (data + length > image.size()) {
            const uint32_t there = static_cast<uint32_t>(image.size() - data);
            std::printf("Tape %s: block %zu: %u bytes, but the file ends after %u; the rest is silence\n", name,
                        number, length, there);
            length = there;
        }
        if (length > 0) {
            ZxTapeBlock b = standard_block(static_cast<uint32_t>(data), length, 1000, image);
            b.body = static_cast<uint32_t>(at);
            b.body_length = length + 2;
            blocks->push_back(b);
        }
        at = data + length;
    }
    if (blocks->size() >= zx_tape_block_limit && at < image.size())
        std::printf("Tape %s: more than %zu blocks; the rest is left out\n", name, zx_tape_block_limit);
    if (blocks->empty())
        std::printf("Tape %s: no blocks\n", name);
    return !blocks->empty();
}

bool zx_parse_tzx(const std::vector<uint8_t>& image, std::vector<ZxTapeBlock>* blocks, const char* name)
{
    blocks->clear();
    if (!zx_has_tzx_signature(image) || image.size() < 10) {
        std::printf("Tape %s: not a TZX file (no \"ZXTape!\" signature)\n", name);
        return false;
    }
    if (image[8] != 1)
        std::printf("Tape %s: TZX version %u.%02u; this player knows 1.xx\n", name, image[8], image[9]);
    size_t at = 10;
    while (at < image.size() && blocks->size() < zx_tape_block_limit) {
        const size_t number = blocks->size() + 1;
        const uint8_t id = image[at];
        const size_t body = at + 1;
        BlockShape shape;
        const bool known = block_shape(id, &shape);
        if (!known) // blocks added after TZX 1.10 all start with a 32-bit length
            shape = {4, 0, 4, 1};
        if (body + shape.fixed > image.size()) {
            std::printf("Tape %s: block %zu (ID 0x%02X) is cut off by the end of the file\n", name, number, id);
            break;
        }
        uint64_t variable = 0;
        const size_t length_at = body + shape.length_at;
        switch (shape.length_size) {
        case 1: variable = image[length_at]; break;
        case 2: variable = word_at(image, length_at); break;
        case 3: variable = triple_at(image, length_at); break;
        case 4: variable = dword_at(image, length_at); break;
        default: break;
        }
        variable *= shape.length_scale;
        uint64_t size = shape.fixed + variable;
        bool cut = false;
        if (body + size > image.size()) {
            std::printf("Tape %s: block %zu (ID 0x%02X) is %llu bytes long, but the file ends after %zu\n", name,
                        number, id, static_cast<unsigned long long>(size), image.size() - body);
            size = image.size() - body;
            cut = true;
        }
        ZxTapeBlock b{};
        const uint32_t b32 = static_cast<uint32_t>(body);
        const uint32_t fixed_end = static_cast<uint32_t>(body + shape.fixed);
        const uint32_t data_length = static_cast<uint32_t>(size - shape.fixed);
        switch (id) {
        case 0x10:
            b = standard_block(fixed_end, data_length, word_at(image, body), image);
            break;
        case 0x11:
            b.pilot_pulse = static_cast<uint16_t>(word_at(image, body));
            b.sync1 = static_cast<uint16_t>(word_at(image, body + 2));
            b.sync2 = static_cast<uint16_t>(word_at(image, body + 4));
            b.zero = static_cast<uint16_t>(word_at(image, body + 6));
            b.one = static_cast<uint16_t>(word_at(image, body + 8));
            b.pilot_count = word_at(image, body + 10);
            b.last_bits = used_bits(image[body + 12]);
            b.pause_ms = word_at(image, body + 13);
            b.data = fixed_end;
            b.data_length = data_length;
            break;
        case 0x12:
            b.pilot_pulse = static_cast<uint16_t>(word_at(image, body));
            b.pilot_count = word_at(image, body + 2);
            break;
        case 0x13:
            b.data = fixed_end;
            b.data_length = data_length / 2;
            break;
        case 0x14:
            b.zero = static_cast<uint16_t>(word_at(image, body));
            b.one = static_cast<uint16_t>(word_at(image, body + 2));
            b.last_bits = used_bits(image[body + 4]);
            b.pause_ms = word_at(image, body + 5);
            b.data = fixed_end;
            b.data_length = data_length;
            break;
        case 0x20:
            b.pause_ms = word_at(image, body);
            break;
        default:
            break;
        }
        b.id = id;
        b.body = b32;
        b.body_length = static_cast<uint32_t>(size);
        // A cut data block still plays what is there; a cut block of any other kind is
        // dropped, since what it would have meant is unknown.
        if (!cut || id == 0x10 || id == 0x11 || id == 0x14)
            blocks->push_back(b);
        if (cut)
            break;
        at = body + size;
    }
    if (blocks->size() >= zx_tape_block_limit && at < image.size())
        std::printf("Tape %s: more than %zu blocks; the rest is left out\n", name, zx_tape_block_limit);
    if (blocks->empty())
        std::printf("Tape %s: no blocks\n", name);
    return !blocks->empty();
}

namespace {

// Printable text from the image, at most `limit` characters.
std::string text_at(const std::vector<uint8_t>& image, size_t at, size_t length, size_t limit = 60)
{
    std::string s;
    for (size_t i = 0; i < length && at + i < image.size() && s.size() < limit; ++i) {
        const uint8_t c = image[at + i];
        s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : c == 0x0D ? ' ' : '?';
    }
    return s;
}

// The ROM's 17-byte header after the flag byte: type, 10-character name, lengths.
std::string rom_header(const std::vector<uint8_t>& image, const ZxTapeBlock& b)
{
    if (b.data_length != 19 || image[b.data] != 0x00)
        return image[b.data] == 0xFF ? ", data" : "";
    static const char* const types[4] = {"Program", "Number array", "Character array", "Bytes"};
    const uint8_t type = image[b.data + 1];
    std::string s = ", header: ";
    s += type < 4 ? types[type] : "type " + std::to_string(type);
    s += ": \"" + text_at(image, b.data + 2, 10) + "\"";
    return s;
}

} // namespace

std::string zx_tape_block_description(const ZxTapeDeck& deck, size_t index)
{
    const ZxTapeBlock& b = deck.blocks[index];
    const std::vector<uint8_t>& image = deck.image;
    char line[160];
    switch (b.id) {
    case 0x10:
        std::snprintf(line, sizeof line, "standard speed data, %u bytes", b.data_length);
        return line + (b.data_length ? rom_header(image, b) : std::string());
    case 0x11:
        std::snprintf(line, sizeof line, "turbo speed data, %u bytes (pilot %u x %u, bits %u/%u T)", b.data_length,
                      b.pilot_count, b.pilot_pulse, b.zero, b.one);
        return line;
    case 0x12:
        std::snprintf(line, sizeof line, "pure tone, %u pulses of %u T", b.pilot_count, b.pilot_pulse);
        return line;
    case 0x13:
        std::snprintf(line, sizeof line, "pulse sequence, %u pulses", b.data_length);
        return line;
    case 0x14:
        std::snprintf(line, sizeof line, "pure data, %u bytes (bits %u/%u T)", b.data_length, b.zero, b.one);
        return line;
    case 0x2A:
        return "stop the tape (48K)";
    case 0x20:
        if (b.pause_ms == 0)
            return "stop the tape";
        std::snprintf(line, sizeof line, "pause, %u ms", b.pause_ms);
        return line;
    case 0x21:
        return "group \"" + text_at(image, b.body + 1, image[b.body]) + "\"";
    case 0x22:
        return "group end";
    case 0x30:
        return "text \"" + text_at(image, b.body + 1, image[b.body]) + "\"";
    case 0x32: {
        static const char* const fields[] = {"Title", "Publisher", "Author", "Year", "Language",
                                             "Type", "Price", "Loader", "Origin"};
        std::string s = "archive info";
        const size_t end = b.body + b.body_length;
        size_t at = b.body + 3;
        int strings = b.body_length >= 3 ? image[b.body + 2] : 0;
        for (int i = 0; i < strings && at + 2 <= end; ++i) {
            const uint8_t field = image[at];
            const uint8_t length = image[at + 1];
            if (at + 2 + length > end)
                break;
            if (field < 9)
                s += std::string(i ? "; " : ": ") + fields[field] + " " + text_at(image, at + 2, length, 40);
            at += 2 + length;
        }
        return s;
    }
    default:
        std::snprintf(line, sizeof line, "block ID 0x%02X not supported, skipped", b.id);
        return line;
    }
}
