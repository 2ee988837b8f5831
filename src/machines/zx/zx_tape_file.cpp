// Tape images through libspectrum (.tap, .tzx, .pzx, .csw, .wav and the rest it knows),
// and the one-line descriptions of their blocks that the player prints as it reaches them.
#include <cstdio>
#include <cstring>
#include <libspectrum.h>

#include "machines/zx/zx_tape.h"

namespace {

std::string printable(const char* text, size_t limit = 60)
{
    std::string s;
    for (size_t i = 0; text && text[i] && s.size() < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : c == 0x0D ? ' ' : '?';
    }
    return s;
}

std::string printable_bytes(const uint8_t* bytes, size_t length)
{
    std::string s;
    for (size_t i = 0; i < length; ++i)
        s += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '?';
    return s;
}

// The ROM's 17-byte header after the flag byte: type, 10-character name, lengths.
std::string rom_header(const uint8_t* data, size_t length)
{
    if (length == 0)
        return "";
    if (length != 19 || data[0] != 0x00)
        return data[0] == 0xFF ? ", data" : "";
    static const char* const types[4] = {"Program", "Number array", "Character array", "Bytes"};
    std::string s = ", header: ";
    s += data[1] < 4 ? types[data[1]] : "type " + std::to_string(data[1]);
    return s + ": \"" + printable_bytes(data + 2, 10) + "\"";
}

libspectrum_tape_block* block_at(libspectrum_tape* tape, size_t index)
{
    libspectrum_tape_iterator it;
    libspectrum_tape_block* block = libspectrum_tape_iterator_init(&it, tape);
    for (size_t i = 0; block && i < index; ++i)
        block = libspectrum_tape_iterator_next(&it);
    return block;
}

std::string describe(libspectrum_tape_block* b)
{
    char line[200];
    const libspectrum_tape_type type = libspectrum_tape_block_type(b);
    switch (type) {
    case LIBSPECTRUM_TAPE_BLOCK_ROM: {
        const size_t n = libspectrum_tape_block_data_length(b);
        std::snprintf(line, sizeof line, "standard speed data, %zu bytes", n);
        return line + rom_header(libspectrum_tape_block_data(b), n);
    }
    case LIBSPECTRUM_TAPE_BLOCK_TURBO:
        std::snprintf(line, sizeof line, "turbo speed data, %zu bytes (pilot %zu x %u, bits %u/%u T)",
                      libspectrum_tape_block_data_length(b), libspectrum_tape_block_pilot_pulses(b),
                      libspectrum_tape_block_pilot_length(b), libspectrum_tape_block_bit0_length(b),
                      libspectrum_tape_block_bit1_length(b));
        return line;
    case LIBSPECTRUM_TAPE_BLOCK_PURE_TONE:
        std::snprintf(line, sizeof line, "pure tone, %zu pulses of %u T", libspectrum_tape_block_count(b),
                      libspectrum_tape_block_pulse_length(b));
        return line;
    case LIBSPECTRUM_TAPE_BLOCK_PULSES:
        std::snprintf(line, sizeof line, "pulse sequence, %zu pulses", libspectrum_tape_block_count(b));
        return line;
    case LIBSPECTRUM_TAPE_BLOCK_PURE_DATA:
        std::snprintf(line, sizeof line, "pure data, %zu bytes (bits %u/%u T)", libspectrum_tape_block_data_length(b),
                      libspectrum_tape_block_bit0_length(b), libspectrum_tape_block_bit1_length(b));
        return line;
    case LIBSPECTRUM_TAPE_BLOCK_STOP48:
        return "stop the tape (48K)";
    case LIBSPECTRUM_TAPE_BLOCK_PAUSE:
        if (libspectrum_tape_block_pause(b) == 0)
            return "stop the tape";
        std::snprintf(line, sizeof line, "pause, %u ms", libspectrum_tape_block_pause(b));
        return line;
    case LIBSPECTRUM_TAPE_BLOCK_GROUP_START:
        return "group \"" + printable(libspectrum_tape_block_text(b)) + "\"";
    case LIBSPECTRUM_TAPE_BLOCK_GROUP_END:
        return "group end";
    case LIBSPECTRUM_TAPE_BLOCK_COMMENT:
        return "text \"" + printable(libspectrum_tape_block_text(b)) + "\"";
    case LIBSPECTRUM_TAPE_BLOCK_MESSAGE:
        return "message \"" + printable(libspectrum_tape_block_text(b)) + "\"";
    case LIBSPECTRUM_TAPE_BLOCK_ARCHIVE_INFO: {
        static const char* const fields[] = {"Title", "Publisher", "Author", "Year", "Language",
                                             "Type", "Price", "Loader", "Origin"};
        std::string s = "archive info";
        const size_t count = libspectrum_tape_block_count(b);
        for (size_t i = 0; i < count; ++i) {
            const int field = libspectrum_tape_block_ids(b, i);
            if (field >= 0 && field < 9)
                s += std::string(i ? "; " : ": ") + fields[field] + " " +
                     printable(libspectrum_tape_block_texts(b, i), 40);
        }
        return s;
    }
    default: {
        // The other kinds say what they are in libspectrum's words, with their length.
        char what[80] = "";
        libspectrum_tape_block_description(what, sizeof what, b);
        std::string s = what[0] ? what : "block";
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!libspectrum_tape_block_metadata(b)) {
            std::snprintf(line, sizeof line, ", %.1f s", libspectrum_tape_block_length(b) / 3500000.0);
            s += line;
        }
        return s;
    }
    }
}

} // namespace

libspectrum_tape* zx_read_tape(const std::vector<uint8_t>& image, const char* name, std::vector<ZxTapeBlock>* blocks,
                               std::string* why)
{
    zx_libspectrum_start();
    zx_libspectrum_clear();
    blocks->clear();
    libspectrum_tape* tape = libspectrum_tape_alloc();
    // libspectrum reads some headers a little past a short file's end: zeros follow it.
    std::vector<uint8_t> padded(image.size() + 256, 0);
    std::memcpy(padded.data(), image.data(), image.size());
    if (libspectrum_tape_read(tape, padded.data(), image.size(), LIBSPECTRUM_ID_UNKNOWN, name) !=
        LIBSPECTRUM_ERROR_NONE) {
        *why = zx_libspectrum_message("not a tape libspectrum reads");
        libspectrum_tape_free(tape);
        return nullptr;
    }
    bool sounds = false;
    libspectrum_tape_iterator it;
    for (libspectrum_tape_block* b = libspectrum_tape_iterator_init(&it, tape); b;
         b = libspectrum_tape_iterator_next(&it)) {
        const libspectrum_tape_type type = libspectrum_tape_block_type(b);
        const bool data = type == LIBSPECTRUM_TAPE_BLOCK_ROM || type == LIBSPECTRUM_TAPE_BLOCK_TURBO ||
                          type == LIBSPECTRUM_TAPE_BLOCK_PURE_DATA;
        blocks->push_back({static_cast<uint32_t>(type),
                           data ? static_cast<uint32_t>(libspectrum_tape_block_data_length(b)) : 0u});
        // Pauses and stops alone make no signal; a tape needs something a loader can hear.
        sounds = sounds || (!libspectrum_tape_block_metadata(b) && type != LIBSPECTRUM_TAPE_BLOCK_PAUSE &&
                            type != LIBSPECTRUM_TAPE_BLOCK_STOP48 && libspectrum_tape_block_length(b) > 0);
    }
    if (!sounds || blocks->size() > zx_tape_block_limit) {
        *why = blocks->empty() ? "no blocks" : !sounds ? "no block that sounds" : "more than 65536 blocks";
        blocks->clear();
        libspectrum_tape_free(tape);
        return nullptr;
    }
    return tape;
}

void zx_free_tape(libspectrum_tape* tape)
{
    if (tape)
        libspectrum_tape_free(tape);
}

std::string zx_tape_block_description(const ZxTapeDeck& deck, size_t index)
{
    libspectrum_tape_block* b = deck.tape ? block_at(deck.tape, index) : nullptr;
    return b ? describe(b) : "no such block";
}

const char* zx_tape_format_name(int kind)
{
    switch (kind) {
    case LIBSPECTRUM_ID_TAPE_TAP: return "TAP";
    case LIBSPECTRUM_ID_TAPE_TZX: return "TZX";
    case LIBSPECTRUM_ID_TAPE_PZX: return "PZX";
    case LIBSPECTRUM_ID_TAPE_CSW: return "CSW";
    case LIBSPECTRUM_ID_TAPE_WAV: return "WAV";
    case LIBSPECTRUM_ID_TAPE_WARAJEVO: return "Warajevo TAP";
    case LIBSPECTRUM_ID_TAPE_Z80EM: return "Z80Em";
    case LIBSPECTRUM_ID_TAPE_SPC: return "SPC";
    case LIBSPECTRUM_ID_TAPE_STA: return "STA";
    case LIBSPECTRUM_ID_TAPE_LTP: return "LTP";
    default: return "compressed tape";
    }
}
