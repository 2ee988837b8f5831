// ".z80" snapshots of a 48K machine. Version 1: a 30-byte header and the 48 KB of RAM,
// whole or run-length compressed. Versions 2 and 3: PC moves to an extra header whose
// length tells the version, and RAM comes as 16 KB pages (8 = 0x4000, 4 = 0x8000,
// 5 = 0xC000), each whole or compressed. Compression: ED ED n b stands for n bytes b.
// The file is decoded completely before the machine is touched, so a damaged or foreign
// snapshot leaves the running program as it was.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

constexpr size_t z80_snapshot_limit = 1u << 20; // a 48K snapshot is at most ~50 KB

uint16_t word_at(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// Expands `length` bytes at `at` into exactly `out_length` bytes; what follows them (the
// 00 ED ED 00 end mark of version 1) is not read. A run of 0 or one past the end fails.
bool expand(const std::vector<uint8_t>& file, size_t at, size_t length, uint8_t* out, size_t out_length)
{
    const size_t end = at + length;
    size_t made = 0;
    while (at < end && made < out_length) {
        if (at + 3 < end && file[at] == 0xED && file[at + 1] == 0xED) {
            const size_t count = file[at + 2];
            if (count == 0 || made + count > out_length)
                return false;
            std::memset(out + made, file[at + 3], count);
            made += count;
            at += 4;
        } else {
            out[made++] = file[at++];
        }
    }
    return made == out_length;
}

const char* hardware_name(int version, uint8_t mode)
{
    static const char* const v2[] = {"48K", "48K + Interface 1", "SamRam", "128K", "128K + Interface 1"};
    static const char* const v3[] = {"48K", "48K + Interface 1", "SamRam", "48K + M.G.T.", "128K",
                                     "128K + Interface 1", "128K + M.G.T.", "+3", "+3", "Pentagon 128",
                                     "Scorpion 256", "Didaktik Kompakt", "+2", "+2A", "TC2048", "TC2068"};
    if (version == 2 && mode < 5)
        return v2[mode];
    if (version == 3 && mode < 16)
        return v3[mode];
    return mode == 128 ? "TS2068" : "unknown";
}

struct Z80Image {
    uint8_t header[87];
    uint8_t ram[49152];
    int version;
};

bool decode(const std::vector<uint8_t>& file, Z80Image* z, std::string* why)
{
    if (file.size() < 30) {
        *why = "shorter than the 30-byte header";
        return false;
    }
    std::memset(z->header, 0, sizeof z->header);
    std::memcpy(z->header, file.data(), 30);
    const uint8_t* h = z->header;
    const bool v1_compressed = h[12] != 0xFF && (h[12] & 0x20);
    if (word_at(file, 6) != 0) { // version 1: PC in the first header
        z->version = 1;
        const size_t data = file.size() - 30;
        if (v1_compressed) {
            if (!expand(file, 30, data, z->ram, sizeof z->ram)) {
                *why = "the compressed memory does not give 48 KB";
                return false;
            }
        } else {
            if (data < sizeof z->ram) {
                *why = "the memory is cut short";
                return false;
            }
            std::memcpy(z->ram, file.data() + 30, sizeof z->ram);
        }
        return true;
    }
    if (file.size() < 32) {
        *why = "the extra header is missing";
        return false;
    }
    const uint16_t extra = word_at(file, 30);
    if (extra != 23 && extra != 54 && extra != 55) {
        *why = "unknown version (extra header of " + std::to_string(extra) + " bytes)";
        return false;
    }
    z->version = extra == 23 ? 2 : 3;
    const size_t header_end = 32 + extra;
    if (file.size() < header_end) {
        *why = "the extra header is cut short";
        return false;
    }
    std::memcpy(z->header + 30, file.data() + 30, header_end - 30);
    const uint8_t mode = h[34];
    // Byte 37 bit 7 turns a 48K into a 16K (and a 128K into a +2): not this machine either.
    const bool is_48k = mode == 0 || mode == 1 || (z->version == 3 && mode == 3);
    if (!is_48k || (h[37] & 0x80)) {
        *why = std::string("a snapshot of a ") + ((h[37] & 0x80) && is_48k ? "16K" : hardware_name(z->version, mode)) +
               " machine; only 48K snapshots load";
        return false;
    }
    bool have[3] = {false, false, false};
    size_t at = header_end;
    while (at < file.size()) {
        if (at + 3 > file.size()) {
            *why = "a memory page header is cut short";
            return false;
        }
        const uint16_t length = word_at(file, at);
        const uint8_t page = file[at + 2];
        at += 3;
        const size_t stored = length == 0xFFFF ? 16384 : length;
        if (at + stored > file.size()) {
            *why = "memory page " + std::to_string(page) + " runs past the end of the file";
            return false;
        }
        const int slot = page == 8 ? 0 : page == 4 ? 1 : page == 5 ? 2 : -1;
        if (slot >= 0) { // other pages (Interface 1 or M.G.T. ROMs) are not RAM of this machine
            uint8_t* out = z->ram + slot * 16384;
            const bool ok = length == 0xFFFF ? (std::memcpy(out, file.data() + at, 16384), true)
                                             : expand(file, at, stored, out, 16384);
            if (!ok) {
                *why = "memory page " + std::to_string(page) + " does not expand to 16 KB";
                return false;
            }
            have[slot] = true;
        }
        at += stored;
    }
    if (!have[0] || !have[1] || !have[2]) {
        *why = "a 48K memory page is missing";
        return false;
    }
    return true;
}

} // namespace

bool zx_load_z80(Z80State* cpu, uint8_t* memory, const char* name, uint8_t* border)
{
    std::vector<uint8_t> file;
    std::string why;
    if (!zx_read_whole_file(name, &file, &why) || file.size() > z80_snapshot_limit) {
        std::printf("Can't load snapshot %s: %s\n", name, file.size() > z80_snapshot_limit ? "too large" : why.c_str());
        host_notifyf("Can't load snapshot %s: %s\n", name, file.size() > z80_snapshot_limit ? "too large" : why.c_str());
        return false;
    }
    static Z80Image z; // 48 KB: kept off the stack
    if (!decode(file, &z, &why)) {
        std::printf("Can't load snapshot %s (.z80): %s\n", name, why.c_str());
        host_notifyf("Can't load snapshot %s (.z80): %s\n", name, why.c_str());
        return false;
    }
    const uint8_t* h = z.header;
    cpu->a = h[0];
    cpu->f = h[1];
    cpu->bc = word_at(file, 2);
    cpu->hl = word_at(file, 4);
    cpu->sp = word_at(file, 8);
    cpu->i = h[10];
    const uint8_t flags = h[12] == 0xFF ? 1 : h[12]; // 255 means 1, as old files wrote it
    const uint8_t r = static_cast<uint8_t>((h[11] & 0x7F) | (flags & 1) << 7);
    cpu->r = r;
    cpu->r7 = r & 0x80;
    cpu->de = word_at(file, 13);
    cpu->bc_alt = word_at(file, 15);
    cpu->de_alt = word_at(file, 17);
    cpu->hl_alt = word_at(file, 19);
    cpu->af_alt = z80_pair(h[22], h[21]); // A' low, F' high in the record
    cpu->iy = word_at(file, 23);
    cpu->ix = word_at(file, 25);
    cpu->iff = static_cast<uint8_t>((h[27] ? Z80_IFF1 : 0) | (h[28] ? Z80_IFF2 : 0));
    const uint8_t mode = h[29] & 3;
    if (mode <= 2)
        cpu->im = static_cast<uint8_t>(mode == 0 ? 0 : mode + 1);
    cpu->pc = z.version == 1 ? word_at(file, 6) : static_cast<uint16_t>(h[32] | h[33] << 8);
    std::memcpy(memory + 0x4000, z.ram, sizeof z.ram);
    *border = (flags >> 1) & 7;
    std::printf("Snapshot %s loaded (.z80 version %d)\n", name, z.version);
    host_notifyf("Snapshot %s loaded (.z80 version %d)\n", name, z.version);
    return true;
}
