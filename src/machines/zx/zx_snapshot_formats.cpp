// Snapshots in the formats libspectrum reads and writes (.z80, .szx, .sp, .snp, .zxs and
// the rest), for a 48K machine. The file is read and checked completely before the
// machine is touched, so a damaged or foreign snapshot leaves the running program as it
// was. Only .SNA has a reader and writer of its own (zx_snapshot.cpp).
#include <cstdio>
#include <cstring>
#include <libspectrum.h>
#include <string>
#include <vector>

#include "host/host.h"
#include "machines/zx/zx.h"
#include "machines/zx/zx_tape.h"

namespace {

constexpr size_t snapshot_limit = 4u << 20; // a 48K snapshot in any format is far smaller

// The 48K's RAM as the 128K's pages: 5 at 0x4000, 2 at 0x8000, 0 at 0xC000.
constexpr int page_of_slot[3] = {5, 2, 0};

const char* machine_name(libspectrum_machine m)
{
    switch (m) {
    case LIBSPECTRUM_MACHINE_16: return "16K";
    case LIBSPECTRUM_MACHINE_128: return "128K";
    case LIBSPECTRUM_MACHINE_128E: return "128Ke";
    case LIBSPECTRUM_MACHINE_PLUS2: return "+2";
    case LIBSPECTRUM_MACHINE_PLUS2A: return "+2A";
    case LIBSPECTRUM_MACHINE_PLUS3: return "+3";
    case LIBSPECTRUM_MACHINE_PLUS3E: return "+3e";
    case LIBSPECTRUM_MACHINE_PENT: return "Pentagon 128";
    case LIBSPECTRUM_MACHINE_PENT512: return "Pentagon 512";
    case LIBSPECTRUM_MACHINE_PENT1024: return "Pentagon 1024";
    case LIBSPECTRUM_MACHINE_SCORP: return "Scorpion 256";
    default: return libspectrum_machine_name(m);
    }
}

bool is_48k(libspectrum_machine m) { return m == LIBSPECTRUM_MACHINE_48 || m == LIBSPECTRUM_MACHINE_48_NTSC; }

} // namespace

bool zx_snapshot_from_libspectrum(libspectrum_snap* snap, Z80State* cpu, uint8_t* memory, uint8_t* border,
                                  std::string* why)
{
    const libspectrum_machine machine = libspectrum_snap_machine(snap);
    if (!is_48k(machine)) {
        *why = std::string("a snapshot of a ") + machine_name(machine) + " machine; only 48K snapshots load";
        return false;
    }
    for (int page : page_of_slot)
        if (!libspectrum_snap_pages(snap, page)) {
            *why = "a 48K memory page is missing";
            return false;
        }
    cpu->a = libspectrum_snap_a(snap);
    cpu->f = libspectrum_snap_f(snap);
    cpu->bc = libspectrum_snap_bc(snap);
    cpu->de = libspectrum_snap_de(snap);
    cpu->hl = libspectrum_snap_hl(snap);
    cpu->af_alt = z80_pair(libspectrum_snap_f_(snap), libspectrum_snap_a_(snap)); // A' low, F' high
    cpu->bc_alt = libspectrum_snap_bc_(snap);
    cpu->de_alt = libspectrum_snap_de_(snap);
    cpu->hl_alt = libspectrum_snap_hl_(snap);
    cpu->ix = libspectrum_snap_ix(snap);
    cpu->iy = libspectrum_snap_iy(snap);
    cpu->i = libspectrum_snap_i(snap);
    cpu->r = libspectrum_snap_r(snap);
    cpu->r7 = cpu->r & 0x80;
    cpu->sp = libspectrum_snap_sp(snap);
    cpu->pc = libspectrum_snap_pc(snap);
    cpu->iff = static_cast<uint8_t>((libspectrum_snap_iff1(snap) ? Z80_IFF1 : 0) |
                                    (libspectrum_snap_iff2(snap) ? Z80_IFF2 : 0));
    const uint8_t mode = libspectrum_snap_im(snap);
    if (mode <= 2)
        cpu->im = static_cast<uint8_t>(mode == 0 ? 0 : mode + 1);
    for (int slot = 0; slot < 3; ++slot)
        std::memcpy(memory + 0x4000 * (slot + 1), libspectrum_snap_pages(snap, page_of_slot[slot]), 0x4000);
    // A halted CPU here re-fetches its HALT: PC stays on the opcode, where some formats
    // keep it past.
    const uint16_t before = static_cast<uint16_t>(cpu->pc - 1);
    if (libspectrum_snap_halted(snap) && memory[before] == 0x76 && memory[cpu->pc] != 0x76)
        cpu->pc = before;
    *border = libspectrum_snap_out_ula(snap) & 7;
    return true;
}

libspectrum_snap* zx_snapshot_to_libspectrum(const Z80State* cpu, const uint8_t* memory, uint8_t border,
                                             uint32_t tstates)
{
    libspectrum_snap* snap = libspectrum_snap_alloc();
    libspectrum_snap_set_machine(snap, LIBSPECTRUM_MACHINE_48);
    libspectrum_snap_set_a(snap, cpu->a);
    libspectrum_snap_set_f(snap, cpu->f);
    libspectrum_snap_set_bc(snap, cpu->bc);
    libspectrum_snap_set_de(snap, cpu->de);
    libspectrum_snap_set_hl(snap, cpu->hl);
    libspectrum_snap_set_a_(snap, z80_lo(cpu->af_alt));
    libspectrum_snap_set_f_(snap, z80_hi(cpu->af_alt));
    libspectrum_snap_set_bc_(snap, cpu->bc_alt);
    libspectrum_snap_set_de_(snap, cpu->de_alt);
    libspectrum_snap_set_hl_(snap, cpu->hl_alt);
    libspectrum_snap_set_ix(snap, cpu->ix);
    libspectrum_snap_set_iy(snap, cpu->iy);
    libspectrum_snap_set_i(snap, cpu->i);
    libspectrum_snap_set_r(snap, z80_visible_r(cpu));
    libspectrum_snap_set_sp(snap, cpu->sp);
    libspectrum_snap_set_pc(snap, cpu->pc);
    libspectrum_snap_set_iff1(snap, (cpu->iff & Z80_IFF1) ? 1 : 0);
    libspectrum_snap_set_iff2(snap, (cpu->iff & Z80_IFF2) ? 1 : 0);
    libspectrum_snap_set_im(snap, cpu->im == 3 ? 2 : cpu->im == 2 ? 1 : 0);
    libspectrum_snap_set_halted(snap, 0); // PC on the HALT: it runs again, the same thing
    libspectrum_snap_set_out_ula(snap, border & 7);
    libspectrum_snap_set_tstates(snap, tstates);
    for (int slot = 0; slot < 3; ++slot) {
        libspectrum_byte* page = libspectrum_new(libspectrum_byte, 0x4000);
        std::memcpy(page, memory + 0x4000 * (slot + 1), 0x4000);
        libspectrum_snap_set_pages(snap, page_of_slot[slot], page);
    }
    return snap;
}

bool zx_load_snapshot_file(Z80State* cpu, uint8_t* memory, const char* name, uint8_t* border)
{
    std::vector<uint8_t> file;
    std::string why;
    if (!zx_read_for_libspectrum(name, &file, &why) || file.size() > snapshot_limit) {
        std::printf("Can't load snapshot %s: %s\n", name, file.size() > snapshot_limit ? "too large" : why.c_str());
        return false;
    }
    libspectrum_id_t kind = LIBSPECTRUM_ID_UNKNOWN;
    libspectrum_class_t kind_class = LIBSPECTRUM_CLASS_UNKNOWN;
    if (libspectrum_identify_file_with_class(&kind, &kind_class, name, file.data(), file.size()) !=
            LIBSPECTRUM_ERROR_NONE ||
        kind_class != LIBSPECTRUM_CLASS_SNAPSHOT) {
        std::printf("Can't load snapshot %s: not a snapshot libspectrum knows\n", name);
        return false;
    }
    libspectrum_snap* snap = libspectrum_snap_alloc();
    static uint8_t ram[0x10000]; // decoded here first: the machine changes only when all is well
    static Z80State cpu_copy;
    cpu_copy = *cpu;
    uint8_t colour = 0;
    const bool read = libspectrum_snap_read(snap, file.data(), file.size(), kind, name) == LIBSPECTRUM_ERROR_NONE;
    if (!read)
        why = zx_libspectrum_message("damaged");
    const bool ok = read && zx_snapshot_from_libspectrum(snap, &cpu_copy, ram, &colour, &why);
    libspectrum_snap_free(snap);
    const char* format = libspectrum_identify_file_raw(&kind, name, file.data(), file.size()) == LIBSPECTRUM_ERROR_NONE
                             ? zx_snapshot_format_name(kind)
                             : "snapshot";
    if (!ok) {
        std::printf("Can't load snapshot %s (%s): %s\n", name, format, why.c_str());
        return false;
    }
    *cpu = cpu_copy;
    std::memcpy(memory + 0x4000, ram + 0x4000, 0xC000);
    *border = colour;
    std::printf("Snapshot %s loaded (%s)\n", name, format);
    return true;
}

const char* zx_snapshot_format_name(int kind)
{
    switch (kind) {
    case LIBSPECTRUM_ID_SNAPSHOT_Z80: return ".z80";
    case LIBSPECTRUM_ID_SNAPSHOT_SZX: return ".szx";
    case LIBSPECTRUM_ID_SNAPSHOT_SP: return ".sp";
    case LIBSPECTRUM_ID_SNAPSHOT_SNP: return ".snp";
    case LIBSPECTRUM_ID_SNAPSHOT_ZXS: return ".zxs";
    case LIBSPECTRUM_ID_SNAPSHOT_SNA: return ".sna";
    case LIBSPECTRUM_ID_SNAPSHOT_PLUSD: return "+D snapshot";
    default: return "snapshot";
    }
}

bool zx_write_snapshot_file(const char* name, bool szx)
{
    zx_libspectrum_start();
    zx_libspectrum_clear();
    libspectrum_snap* snap = zx_snapshot_to_libspectrum(&zx.cpu, zx.memory, zx.last_fe, 0);
    libspectrum_creator* creator = zx_libspectrum_creator();
    libspectrum_byte* buffer = nullptr;
    size_t length = 0;
    int flags = 0;
    const libspectrum_error e = libspectrum_snap_write(&buffer, &length, &flags, snap,
                                                       szx ? LIBSPECTRUM_ID_SNAPSHOT_SZX : LIBSPECTRUM_ID_SNAPSHOT_Z80,
                                                       creator, 0);
    libspectrum_snap_free(snap);
    libspectrum_creator_free(creator);
    if (e != LIBSPECTRUM_ERROR_NONE) {
        std::printf("Can't save snapshot %s: %s\n", name, zx_libspectrum_message("libspectrum can't write it").c_str());
        libspectrum_free(buffer);
        return false;
    }
    FILE* file = open_data_file(name, "wb");
    const bool written = file && std::fwrite(buffer, 1, length, file) == length;
    const bool closed = file && std::fclose(file) == 0;
    libspectrum_free(buffer);
    if (!written || !closed) {
        std::printf("Can't open Disk Image: %s\n", name);
        return false;
    }
    std::printf("Snapshot %s saved\n", name);
    return true;
}

libspectrum_creator* zx_libspectrum_creator()
{
    libspectrum_creator* creator = libspectrum_creator_alloc();
    static char program[] = "Korvel";
    libspectrum_creator_set_program(creator, program);
    libspectrum_creator_set_major(creator, 0);
    libspectrum_creator_set_minor(creator, 12);
    return creator;
}
