// ZX 48K ".SNA" snapshots: a 27-byte register header and RAM 0x4000-0xFFFF, with PC
// pushed on the snapshot's stack.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host.h"
#include "machines/zx/zx.h"

namespace {

uint16_t word_at(const uint8_t* h, int at) { return static_cast<uint16_t>(h[at] | (h[at + 1] << 8)); }
void put_word(uint8_t* h, int at, uint16_t v)
{
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
}
// The stack may lie in the ROM area; the ROM image is never changed.
void put_ram(uint8_t* memory, uint32_t address, uint8_t value)
{
    address &= 0xFFFF;
    if (address >= 0x4000)
        memory[address] = value;
}

} // namespace

bool zx_load_sna(Z80State* cpu, uint8_t* memory, const char* name)
{
    FILE* file = open_data_file(name, "rb");
    if (!file) {
        std::printf("Can't open file! Snapshot %s: %s\n", name, std::strerror(errno));
        host_notifyf("Can't open file! Snapshot %s: %s\n", name, std::strerror(errno));
        return false;
    }
    uint8_t image[zx_sna_size + 1]; // one byte more tells an oversized file
    std::memset(image, 0xFF, sizeof image);
    const size_t got = std::fread(image, 1, sizeof image, file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) { // a directory, an unreadable file: leave the machine as it is
        std::printf("Can't read file! Snapshot %s not loaded (%zu bytes read)\n", name, got);
        host_notifyf("Can't read file! Snapshot %s not loaded (%zu bytes read)\n", name, got);
        return false;
    }
    // A file too short to hold even the registers is no snapshot (a text file dropped by
    // mistake): it is refused and the running program is kept.
    if (got < zx_sna_header_size) {
        std::printf("Snapshot %s not loaded: %zu bytes is too short for a snapshot (at least %zu)\n", name, got,
                    zx_sna_header_size);
        return false;
    }
    // A file of another size still loads: what is missing reads as 0xFF, what is extra is
    // ignored. It is most likely not a 48K snapshot, so say so.
    if (got != zx_sna_size)
        std::printf("Snapshot %s is %s than %zu bytes\n", name, got < zx_sna_size ? "shorter" : "longer",
                    zx_sna_size);

    const uint8_t* h = image;
    cpu->i = h[0];
    cpu->hl_alt = word_at(h, 1);
    cpu->de_alt = word_at(h, 3);
    cpu->bc_alt = word_at(h, 5);
    cpu->af_alt = z80_pair(h[7], h[8]); // A' low, F' high in the record
    cpu->hl = word_at(h, 9);
    cpu->de = word_at(h, 11);
    cpu->bc = word_at(h, 13);
    cpu->iy = word_at(h, 15);
    cpu->ix = word_at(h, 17);
    cpu->iff = (h[19] & 0x04) ? 6 : 0;
    cpu->r = h[20];
    cpu->r7 = h[20] & 0x80;
    cpu->f = h[21];
    cpu->a = h[22];
    cpu->sp = word_at(h, 23);
    if (h[25] <= 2)
        cpu->im = static_cast<uint8_t>(h[25] == 0 ? 0 : h[25] + 1);
    std::memcpy(memory + 0x4000, image + 27, 49152);

    const uint16_t sp = cpu->sp;
    cpu->pc = z80_pair(memory[static_cast<uint16_t>(sp + 1)], memory[sp]);
    put_ram(memory, sp, 0);
    put_ram(memory, sp + 1u, 0);
    cpu->sp = static_cast<uint16_t>(sp + 2);
    std::printf("Snapshot %s loaded\n", name);
    host_notifyf("Snapshot %s loaded\n", name);
    return true;
}

bool zx_save_sna(Z80State* cpu, uint8_t* memory, const char* name)
{
    FILE* file = open_data_file(name, "wb");
    if (!file) {
        std::printf("Can't open Disk Image: %s\n", name);
        return false;
    }
    std::printf("SP = %X\n", cpu->sp);
    std::printf("IFF2 = %X\n", cpu->iff & 2);
    cpu->sp = static_cast<uint16_t>(cpu->sp - 2);
    put_ram(memory, cpu->sp, z80_lo(cpu->pc));
    put_ram(memory, cpu->sp + 1u, z80_hi(cpu->pc));

    uint8_t h[27];
    h[0] = cpu->i;
    put_word(h, 1, cpu->hl_alt);
    put_word(h, 3, cpu->de_alt);
    put_word(h, 5, cpu->bc_alt);
    h[7] = z80_hi(cpu->af_alt); // F'
    h[8] = z80_lo(cpu->af_alt); // A'
    put_word(h, 9, cpu->hl);
    put_word(h, 11, cpu->de);
    put_word(h, 13, cpu->bc);
    put_word(h, 15, cpu->iy);
    put_word(h, 17, cpu->ix);
    h[19] = z80_iff1(cpu) ? 4 : 0;
    h[20] = z80_visible_r(cpu);
    h[21] = cpu->f;
    h[22] = cpu->a;
    put_word(h, 23, cpu->sp);
    h[25] = cpu->im == 2 ? 1 : cpu->im == 3 ? 2 : 0;
    h[26] = 0;
    const bool ok = std::fwrite(h, 1, sizeof h, file) == sizeof h &&
                    std::fwrite(memory + 0x4000, 1, 49152, file) == 49152;
    cpu->sp = static_cast<uint16_t>(cpu->sp + 2);
    if (std::fclose(file) != 0 || !ok) {
        std::printf("Can't write Disk Image: %s\n", name);
        host_notifyf("Can't write Disk Image: %s\n", name);
        return false;
    }
    std::printf("Snapshot %s saved\n", name);
    host_notifyf("Snapshot %s saved\n", name);
    return true;
}
