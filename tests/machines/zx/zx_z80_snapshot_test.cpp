// .z80 snapshots: every version and both memory forms, written here from a known machine
// state, must load to exactly the state the same machine gives through .SNA; foreign and
// damaged files are refused and leave the machine alone; files are told apart by
// extension and content on load, drop and save.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "machines/zx/zx_tape.h"
#include "zx_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Run-length compression as .z80 writers do it: five or more equal bytes, or two or more
// EDs, become ED ED n b; the byte after a lone ED is never the start of a run.
Bytes compress(const uint8_t* data, size_t length)
{
    Bytes out;
    for (size_t i = 0; i < length;) {
        size_t run = 1;
        while (i + run < length && run < 255 && data[i + run] == data[i])
            ++run;
        if (run >= 5 || (data[i] == 0xED && run >= 2)) {
            out.insert(out.end(), {0xED, 0xED, uint8_t(run), data[i]});
            i += run;
        } else if (data[i] == 0xED) {
            out.push_back(0xED);
            if (i + 1 < length)
                out.push_back(data[i + 1]);
            i += 2;
        } else {
            out.push_back(data[i++]);
        }
    }
    return out;
}

struct Machine {
    Z80State cpu;
    uint8_t memory[65536];
};

Machine current()
{
    Machine m;
    m.cpu = zx.cpu;
    std::memcpy(m.memory, zx.memory, sizeof m.memory);
    return m;
}

void expect_same(const Machine& want, const std::string& what)
{
    const Z80State& a = want.cpu;
    const Z80State& b = zx.cpu;
    EXPECT_EQ(a.a, b.a) << what;
    EXPECT_EQ(a.f, b.f) << what;
    EXPECT_EQ(a.bc, b.bc) << what;
    EXPECT_EQ(a.de, b.de) << what;
    EXPECT_EQ(a.hl, b.hl) << what;
    EXPECT_EQ(a.af_alt, b.af_alt) << what;
    EXPECT_EQ(a.bc_alt, b.bc_alt) << what;
    EXPECT_EQ(a.de_alt, b.de_alt) << what;
    EXPECT_EQ(a.hl_alt, b.hl_alt) << what;
    EXPECT_EQ(a.ix, b.ix) << what;
    EXPECT_EQ(a.iy, b.iy) << what;
    EXPECT_EQ(a.sp, b.sp) << what;
    EXPECT_EQ(a.pc, b.pc) << what;
    EXPECT_EQ(a.i, b.i) << what;
    EXPECT_EQ(z80_visible_r(&a), z80_visible_r(&b)) << what;
    EXPECT_EQ(a.iff, b.iff) << what;
    EXPECT_EQ(a.im, b.im) << what;
    EXPECT_EQ(std::memcmp(want.memory, zx.memory, sizeof want.memory), 0) << what;
}

// The 30-byte first header of a machine state; PC 0 for versions 2 and 3.
Bytes first_header(const Z80State& c, bool version1, bool compressed, uint8_t border)
{
    const uint8_t r = z80_visible_r(&c);
    const int im = c.im == 3 ? 2 : c.im == 2 ? 1 : 0;
    const uint16_t pc = version1 ? c.pc : 0;
    return {c.a,
            c.f,
            uint8_t(c.bc),
            uint8_t(c.bc >> 8),
            uint8_t(c.hl),
            uint8_t(c.hl >> 8),
            uint8_t(pc),
            uint8_t(pc >> 8),
            uint8_t(c.sp),
            uint8_t(c.sp >> 8),
            c.i,
            uint8_t(r & 0x7F),
            uint8_t((r >> 7) | border << 1 | (compressed ? 0x20 : 0)),
            uint8_t(c.de),
            uint8_t(c.de >> 8),
            uint8_t(c.bc_alt),
            uint8_t(c.bc_alt >> 8),
            uint8_t(c.de_alt),
            uint8_t(c.de_alt >> 8),
            uint8_t(c.hl_alt),
            uint8_t(c.hl_alt >> 8),
            uint8_t(c.af_alt), // A'
            uint8_t(c.af_alt >> 8),
            uint8_t(c.iy),
            uint8_t(c.iy >> 8),
            uint8_t(c.ix),
            uint8_t(c.ix >> 8),
            uint8_t((c.iff & Z80_IFF1) ? 1 : 0),
            uint8_t((c.iff & Z80_IFF2) ? 1 : 0),
            uint8_t(im)};
}

Bytes version1(const Machine& m, bool compressed, uint8_t border)
{
    Bytes f = first_header(m.cpu, true, compressed, border);
    if (!compressed) {
        f.insert(f.end(), m.memory + 0x4000, m.memory + 0x10000);
        return f;
    }
    const Bytes packed = compress(m.memory + 0x4000, 49152);
    f.insert(f.end(), packed.begin(), packed.end());
    f.insert(f.end(), {0x00, 0xED, 0xED, 0x00});
    return f;
}

void page(Bytes& f, const uint8_t* data, uint8_t number, bool compressed)
{
    const Bytes packed = compressed ? compress(data, 16384) : Bytes(data, data + 16384);
    const uint16_t length = compressed ? uint16_t(packed.size()) : 0xFFFF;
    f.insert(f.end(), {uint8_t(length), uint8_t(length >> 8), number});
    f.insert(f.end(), packed.begin(), packed.end());
}

// Versions 2 (23-byte extra header) and 3 (54 or 55); `uncompressed_page` is stored whole.
Bytes version23(const Machine& m, uint16_t extra, uint8_t hardware, uint8_t border, int uncompressed_page = -1)
{
    Bytes f = first_header(m.cpu, false, false, border);
    f.insert(f.end(), {uint8_t(extra), 0, uint8_t(m.cpu.pc), uint8_t(m.cpu.pc >> 8), hardware});
    f.resize(32 + extra, 0);
    if (extra != 23) {
        // An Interface 1 ROM page that a 48K machine has no use for comes first.
        const std::vector<uint8_t> rom(16384, 0xC9);
        page(f, rom.data(), 1, false);
    }
    for (uint8_t number : {5, 8, 4}) {
        const uint32_t address = number == 8 ? 0x4000 : number == 4 ? 0x8000 : 0xC000;
        page(f, m.memory + address, number, number != uncompressed_page);
    }
    return f;
}

// A state with every register distinct and RAM with long runs, runs of ED and lone EDs.
Machine reference_state(const std::string& dir)
{
    zx_test_fresh_machine();
    Z80State* c = &zx.cpu;
    c->a = 0x12, c->f = 0xD7, c->bc = 0x5678, c->de = 0x9ABC, c->hl = 0xDEF0;
    c->af_alt = 0x2211, c->bc_alt = 0x3344, c->de_alt = 0x5566, c->hl_alt = 0x7788;
    c->ix = 0x99AA, c->iy = 0xBBCC, c->i = 0x3F, c->r = 0x15, c->r7 = 0x80;
    c->sp = 0xF000, c->pc = 0xC123, c->iff = 6, c->im = 3;
    for (uint32_t a = 0x4000; a < 0x10000; ++a) {
        uint8_t v = uint8_t(a * 7 + (a >> 8));
        if ((a & 0xFFF) < 0x300)
            v = 0; // long runs
        else if ((a & 0xFF) < 0x10)
            v = 0xED; // runs of ED
        else if ((a & 0xFF) == 0x40)
            v = 0xED; // a lone ED before a run...
        else if ((a & 0xFF) > 0x40 && (a & 0xFF) < 0x48)
            v = 0x11; // ... of other bytes
        zx.memory[a] = v;
    }
    // Through .SNA and back: what the machine holds after loading that state.
    const std::string sna = dir + "/reference.sna";
    EXPECT_TRUE(zx_save_sna(&zx.cpu, zx.memory, sna.c_str()));
    EXPECT_TRUE(zx_load_sna(&zx.cpu, zx.memory, sna.c_str()));
    return current();
}

TEST(ZxZ80Snapshot, EveryVersionLoadsTheStateTheSnaGives)
{
    const std::string dir = zx_test_temp_dir("z80_versions");
    const Machine want = reference_state(dir);
    struct Case {
        const char* name;
        Bytes file;
        uint8_t border;
    };
    const std::vector<Case> cases = {
        {"v1_plain.z80", version1(want, false, 1), 1},
        {"v1_packed.z80", version1(want, true, 2), 2},
        {"v2.z80", version23(want, 23, 0, 3), 3},
        {"v2_if1.z80", version23(want, 23, 1, 4, 8), 4},
        {"v3.z80", version23(want, 54, 0, 5, 4), 5},
        {"v3_mgt.z80", version23(want, 55, 3, 6), 6},
    };
    for (const Case& c : cases) {
        zx_test_fresh_machine();
        std::memset(zx.memory + 0x4000, 0x5A, 0xC000);
        const std::string path = dir + "/" + c.name;
        zx_test_write_file(path, c.file);
        uint8_t border = 0xFF;
        ASSERT_TRUE(zx_load_snapshot_file(&zx.cpu, zx.memory, path.c_str(), &border)) << c.name;
        expect_same(want, c.name);
        EXPECT_EQ(border, c.border) << c.name;
    }
    // The compressed forms really are compressed, so the decoder's runs were exercised.
    EXPECT_LT(cases[1].file.size(), 40000u);
    EXPECT_LT(cases[2].file.size(), 40000u);
}

TEST(ZxZ80Snapshot, ForeignAndDamagedFilesAreRefusedAndTheMachineGoesOn)
{
    const std::string dir = zx_test_temp_dir("z80_bad");
    const Machine state = reference_state(dir);
    auto with = [](Bytes f, size_t at, uint8_t v) { return f[at] = v, f; };
    Bytes v2 = version23(state, 23, 0, 0);
    Bytes v1 = version1(state, true, 0);
    Bytes no_page5 = version23(state, 23, 0, 0);
    no_page5.resize(55);                                          // header only
    Bytes short_page = version23(state, 23, 0, 0);
    const uint16_t page5 = uint16_t((short_page[55] | short_page[56] << 8) - 4); // 4 bytes too few
    short_page[55] = uint8_t(page5), short_page[56] = uint8_t(page5 >> 8);
    const Bytes plain = version1(state, false, 0);
    Bytes zero_run(plain.begin(), plain.begin() + 30);
    zero_run[12] |= 0x20;
    zero_run.insert(zero_run.end(), {0xED, 0xED, 0x00, 0x11});
    const struct {
        const char* name;
        Bytes file;
        const char* why;
    } cases[] = {
        {"empty.z80", {}, "empty file"},
        {"short.z80", Bytes(29, 1), "a 48K memory page is missing"},
        {"k128.z80", with(v2, 34, 3), "a snapshot of a 128K machine"},
        {"k128v3.z80", with(version23(state, 54, 4, 0), 34, 4), "a snapshot of a 128K machine"},
        {"pentagon.z80", with(version23(state, 54, 9, 0), 34, 9), "Pentagon 128"},
        {"k16.z80", with(v2, 37, 0x80), "a snapshot of a 16K machine"},
        {"extra40.z80", with(v2, 30, 40), "unknown header length 40"},
        {"v1_cut.z80", Bytes(v1.begin(), v1.begin() + 20000), "end marker not found"},
        {"v1_run_0.z80", zero_run, "end marker not found"},
        {"page_cut.z80", Bytes(v2.begin(), v2.end() - 100), "not enough data in buffer"},
        {"no_page.z80", no_page5, "a 48K memory page is missing"},
        {"short_page.z80", short_page, "not enough data in buffer"},
    };
    for (const auto& c : cases) {
        zx_test_fresh_machine();
        for (uint32_t a = 0x4000; a < 0x10000; ++a)
            zx.memory[a] = uint8_t(a >> 3);
        zx.cpu.pc = 0x1234;
        const Machine before = current();
        const std::string path = dir + "/" + c.name;
        zx_test_write_file(path, c.file);
        testing::internal::CaptureStdout();
        uint8_t border = 9;
        EXPECT_FALSE(zx_load_snapshot_file(&zx.cpu, zx.memory, path.c_str(), &border)) << c.name;
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find(c.why), std::string::npos) << c.name << ": " << said;
        expect_same(before, c.name);
        EXPECT_EQ(border, 9) << c.name;
    }
}

// Garbled copies of good files load or are refused; the ROM area is never written.
TEST(ZxZ80Snapshot, GarbledFilesLoadOrAreRefused)
{
    const std::string dir = zx_test_temp_dir("z80_garbled");
    const Machine state = reference_state(dir);
    const Bytes good[] = {version1(state, true, 1), version23(state, 23, 0, 2), version23(state, 54, 0, 3, 4)};
    uint32_t seed = 777;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes file = good[round % 3];
        for (int n = 1 + next() % 3; n > 0; --n) {
            // Mostly the headers and page headers, where the lengths and versions are.
            const size_t at = next() % 2 ? next() % 90 : next() % file.size();
            file[at] = uint8_t(next());
        }
        if (next() % 4 == 0)
            file.resize(next() % file.size());
        const std::string path = dir + "/g.z80";
        zx_test_write_file(path, file);
        zx_test_fresh_machine();
        std::memset(zx.memory, 0x3C, 0x4000);
        uint8_t border = 0;
        testing::internal::CaptureStdout();
        loaded += zx_load_snapshot_file(&zx.cpu, zx.memory, path.c_str(), &border);
        (void)testing::internal::GetCapturedStdout();
        ASSERT_LT(border, 8);
        for (uint32_t a = 0; a < 0x4000; ++a)
            ASSERT_EQ(zx.memory[a], 0x3C) << round;
    }
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, 300);
}

// Loads, drops and saves choose the format by extension and content.
TEST(ZxZ80Snapshot, LoadDropAndSaveChooseTheFormat)
{
    namespace fs = std::filesystem;
    const std::string dir = zx_test_temp_dir("z80_dispatch");
    const Machine want = reference_state(dir);
    zx_test_write_file(dir + "/game.Z80", version23(want, 54, 0, 6));
    fs::copy_file(dir + "/game.Z80", dir + "/game.bin"); // a .z80 by its content only
    fs::copy_file(dir + "/reference.sna", dir + "/state.bin");
    Bytes tap{0x03, 0x00, 0xFF, 0xAA, 0x55};
    zx_test_write_file(dir + "/t.TAP", tap);

    for (const char* name : {"/game.Z80", "/game.bin", "/state.bin"}) {
        zx_test_fresh_machine();
        ZxFileKind kind = ZxFileKind::tap;
        ASSERT_TRUE(zx_load_snapshot((dir + name).c_str(), &kind)) << name;
        expect_same(want, name);
        EXPECT_EQ(kind, std::string(name) == "/state.bin" ? ZxFileKind::sna : ZxFileKind::z80) << name;
    }
    // Dropped: a .z80 brings its border; a tape goes into the player and leaves the machine.
    zx_test_fresh_machine();
    zx_tape_eject();
    zx.border_event_count = 5;
    zx_take_dropped_file((dir + "/game.Z80").c_str());
    EXPECT_EQ(zx.border_colour, 6);
    EXPECT_EQ(zx.border_event_count, 0);
    const Machine loaded = current();
    zx_take_dropped_file((dir + "/t.TAP").c_str());
    EXPECT_TRUE(zx_tape.inserted);
    EXPECT_EQ(zx_tape.blocks.size(), 1u);
    expect_same(loaded, "after the tape");
    zx_take_dropped_file((dir + "/state.bin").c_str());
    EXPECT_EQ(zx.border_colour, 0);
    EXPECT_EQ(zx.last_fe, 3);
    zx_tape_eject();

    // Saving keeps to .SNA: a .z80 start-up name becomes the .SNA name the reload key uses.
    std::snprintf(zx.snapshot_name, sizeof zx.snapshot_name, "%s/game.z80", dir.c_str());
    ASSERT_TRUE(zx_save_snapshot());
    EXPECT_EQ(std::string(zx.snapshot_name), dir + "/game.SNA");
    EXPECT_EQ(fs::file_size(dir + "/game.SNA"), zx_sna_size);
    EXPECT_EQ(fs::file_size(dir + "/game.Z80"), version23(want, 54, 0, 6).size());
    fs::remove_all(dir);
}

} // namespace
