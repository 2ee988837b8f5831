// The state file: a header naming the format version, the machine, the emulated frame, the
// time of saving and the ROM files the machine read (by hash), then tagged sections, each
// with its length and checksum. All numbers are little-endian.
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/session_internal.h"

static_assert(std::endian::native == std::endian::little, "state files are written as the host lays out numbers");

namespace {

constexpr char magic[8] = {'K', 'O', 'R', 'V', 'E', 'L', 'S', 'T'};
constexpr size_t fixed_header_bytes = 56;
constexpr size_t rom_entry_bytes = state_rom_name_bytes + 16;
constexpr size_t max_file_bytes = size_t(512) << 20;

template <typename T> void put(std::vector<uint8_t>* out, T value)
{
    const size_t at = out->size();
    out->resize(at + sizeof value);
    std::memcpy(out->data() + at, &value, sizeof value);
}

template <typename T> T get(const uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void put_text(std::vector<uint8_t>* out, const std::string& text, size_t width)
{
    const size_t at = out->size();
    out->resize(at + width, 0);
    std::memcpy(out->data() + at, text.data(), std::min(text.size(), width - 1));
}

// A fixed-width, NUL-padded name; false when it is not terminated or holds control bytes.
bool get_text(const uint8_t* at, size_t width, std::string* text)
{
    const void* end = std::memchr(at, 0, width);
    if (!end)
        return false;
    text->assign(reinterpret_cast<const char*>(at), static_cast<const uint8_t*>(end) - at);
    for (char c : *text)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

size_t padded(size_t size) { return (size + 7) & ~size_t(7); }

// A section's checksum covers its tag and length too, so a changed tag is caught.
uint64_t section_sum(uint32_t tag, uint64_t length, const void* data)
{
    return state_checksum(data, size_t(length)) ^
           std::rotl(uint64_t(tag) * 0x9E3779B97F4A7C15ull + length * 0xC2B2AE3D27D4EB4Full, 17);
}

} // namespace

uint64_t state_checksum(const void* data, size_t size)
{
    constexpr uint64_t k = 0x9E3779B97F4A7C15ull;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint64_t h[4] = {k, k ^ 1, k ^ 2, k ^ 3};
    size_t i = 0;
    for (; i + 32 <= size; i += 32)
        for (int lane = 0; lane < 4; ++lane)
            h[lane] = std::rotl((h[lane] ^ get<uint64_t>(p + i + 8 * lane)) * k, 29);
    uint64_t tail = size;
    for (; i < size; ++i)
        tail = std::rotl((tail ^ p[i]) * k, 13);
    uint64_t r = tail;
    for (uint64_t lane : h)
        r = std::rotl((r ^ lane) * k, 31);
    return r ^ (r >> 32);
}

void state_writer_reset(StateWriter* w, bool checksums)
{
    w->bytes.clear();
    w->tags.clear();
    w->failure.clear();
    w->checksums = checksums;
}

void state_put(StateWriter* w, uint32_t tag, const void* data, size_t size)
{
    for (uint32_t t : w->tags)
        if (t == tag) {
            char text[5] = {char(tag), char(tag >> 8), char(tag >> 16), char(tag >> 24), 0};
            state_fail(w, (std::string("section ") + text + " written twice").c_str());
            return;
        }
    w->tags.push_back(tag);
    const size_t at = w->bytes.size();
    w->bytes.resize(at + state_section_header_bytes + padded(size), 0);
    uint8_t* p = w->bytes.data() + at;
    const uint64_t length = size, sum = w->checksums ? section_sum(tag, size, data) : 0;
    std::memcpy(p, &tag, 4);
    std::memcpy(p + 8, &length, 8);
    std::memcpy(p + 16, &sum, 8);
    if (size)
        std::memcpy(p + state_section_header_bytes, data, size);
}

bool state_is_rewind(const StateWriter* w) { return !w->checksums; }

void state_fail(StateWriter* w, const char* why)
{
    if (w->failure.empty())
        w->failure = why && *why ? why : "the machine refused to save";
}

const uint8_t* state_get(const StateReader* r, uint32_t tag, size_t* size)
{
    for (const StateSection& s : r->sections)
        if (s.tag == tag) {
            *size = s.size;
            return s.data;
        }
    *size = 0;
    return nullptr;
}

const uint8_t* state_get_exact(const StateReader* r, uint32_t tag, size_t size)
{
    size_t got = 0;
    const uint8_t* data = state_get(r, tag, &got);
    return data && got == size ? data : nullptr;
}

void state_encode_file(const StateHeader& h, const StateWriter& w, std::vector<uint8_t>* out)
{
    out->clear();
    out->reserve(fixed_header_bytes + h.roms.size() * rom_entry_bytes + 8 + w.bytes.size());
    out->insert(out->end(), magic, magic + 8);
    put<uint32_t>(out, h.version);
    put<uint32_t>(out, uint32_t(h.roms.size()));
    put<uint64_t>(out, h.frame);
    put<int64_t>(out, h.saved_time);
    put_text(out, h.machine, state_machine_name_bytes);
    put<uint64_t>(out, w.bytes.size());
    for (const StateRomNote& rom : h.roms) {
        put_text(out, rom.name, state_rom_name_bytes);
        put<uint64_t>(out, rom.size);
        put<uint64_t>(out, rom.hash);
    }
    put<uint64_t>(out, state_checksum(out->data(), out->size()));
    out->insert(out->end(), w.bytes.begin(), w.bytes.end());
}

bool state_parse_sections(const uint8_t* data, size_t size, bool verify, StateReader* r, std::string* why)
{
    r->sections.clear();
    size_t at = 0;
    while (at < size) {
        if (size - at < state_section_header_bytes) {
            *why = "truncated (a section header is cut off)";
            return false;
        }
        const uint32_t tag = get<uint32_t>(data + at);
        const uint64_t length = get<uint64_t>(data + at + 8);
        const uint64_t sum = get<uint64_t>(data + at + 16);
        at += state_section_header_bytes;
        if (length > size - at || padded(length) > size - at) {
            *why = "truncated (a section runs past the end of the file)";
            return false;
        }
        const uint8_t* bytes = data + at;
        char name[5] = {char(tag), char(tag >> 8), char(tag >> 16), char(tag >> 24), 0};
        for (char& c : name)
            if (c && (c < 0x20 || c > 0x7E))
                c = '?';
        if (verify && section_sum(tag, length, bytes) != sum) {
            *why = std::string("bad checksum in section ") + name + " (the file is damaged)";
            return false;
        }
        for (size_t i = length; i < padded(length); ++i)
            if (verify && bytes[i] != 0) {
                *why = std::string("damaged section ") + name + " (padding)";
                return false;
            }
        if (verify && get<uint32_t>(data + at - state_section_header_bytes + 4) != 0) {
            *why = std::string("damaged section ") + name + " (header)";
            return false;
        }
        for (const StateSection& s : r->sections)
            if (s.tag == tag) {
                *why = std::string("section ") + name + " appears twice";
                return false;
            }
        r->sections.push_back({tag, bytes, size_t(length)});
        at += padded(length);
    }
    return true;
}

bool state_parse_file(const uint8_t* data, size_t size, StateHeader* h, StateReader* r, std::string* why)
{
    if (size == 0) {
        *why = "the file is empty";
        return false;
    }
    if (size < 8 || std::memcmp(data, magic, 8) != 0) {
        *why = "not a Korvel state file";
        return false;
    }
    if (size < fixed_header_bytes + 8) {
        *why = "truncated (the header is cut off)";
        return false;
    }
    h->version = get<uint32_t>(data + 8);
    if (h->version > state_format_version) {
        *why = "made by a newer Korvel (state format " + std::to_string(h->version) +
               "; this program reads format " + std::to_string(state_format_version) + " and older)";
        return false;
    }
    if (h->version == 0) {
        *why = "unknown state format 0";
        return false;
    }
    const uint32_t roms = get<uint32_t>(data + 12);
    if (roms > state_max_roms) {
        *why = "damaged header (" + std::to_string(roms) + " ROM files)";
        return false;
    }
    const size_t header_bytes = fixed_header_bytes + roms * rom_entry_bytes;
    if (size < header_bytes + 8) {
        *why = "truncated (the header is cut off)";
        return false;
    }
    if (state_checksum(data, header_bytes) != get<uint64_t>(data + header_bytes)) {
        *why = "bad checksum in the header (the file is damaged)";
        return false;
    }
    h->frame = get<uint64_t>(data + 16);
    h->saved_time = get<int64_t>(data + 24);
    const uint64_t sections = get<uint64_t>(data + 48);
    if (!get_text(data + 32, state_machine_name_bytes, &h->machine)) {
        *why = "damaged header (machine name)";
        return false;
    }
    h->roms.clear();
    for (uint32_t i = 0; i < roms; ++i) {
        const uint8_t* e = data + fixed_header_bytes + i * rom_entry_bytes;
        StateRomNote note;
        if (!get_text(e, state_rom_name_bytes, &note.name)) {
            *why = "damaged header (ROM file name)";
            return false;
        }
        note.size = get<uint64_t>(e + state_rom_name_bytes);
        note.hash = get<uint64_t>(e + state_rom_name_bytes + 8);
        h->roms.push_back(note);
    }
    const size_t body = header_bytes + 8;
    if (sections > size - body) {
        *why = "truncated (" + std::to_string(size - body) + " of " + std::to_string(sections) +
               " bytes of sections)";
        return false;
    }
    if (sections < size - body) {
        *why = "damaged (bytes after the last section)";
        return false;
    }
    return state_parse_sections(data + body, size_t(sections), true, r, why);
}

bool state_read_file(const char* path, std::vector<uint8_t>* bytes, std::string* why)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *why = "it is a folder, not a state file";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        return false;
    }
    if (uint64_t(st.st_size) > max_file_bytes) {
        *why = "larger than any state file (" + std::to_string(st.st_size) + " bytes)";
        return false;
    }
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        *why = std::strerror(errno);
        return false;
    }
    bytes->resize(size_t(st.st_size));
    const size_t got = bytes->empty() ? 0 : std::fread(bytes->data(), 1, bytes->size(), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        *why = "read error";
        return false;
    }
    bytes->resize(got); // a file that shrank meanwhile is judged by what was read
    return true;
}

bool state_write_file(const char* path, const std::vector<uint8_t>& bytes, std::string* why)
{
    const std::string temporary = std::string(path) + ".part";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        *why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const int error = errno;
    if (std::fclose(f) != 0 || !written) {
        *why = written ? std::strerror(errno) : std::strerror(error);
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path) != 0) {
        *why = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
