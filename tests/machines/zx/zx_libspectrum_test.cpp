// Files made here by libspectrum itself, read back through the machine: snapshots of
// every format it writes, foreign and damaged ones refused with the machine kept; saving
// as .szx and .z80; RZX recordings whose frames place the interrupts by opcode counts
// and feed the port reads; a whole-machine session recorded and played back to the same
// screen.
#include <gtest/gtest.h>
#include <libspectrum.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "machines/zx/zx_tape.h"
#include "support/headless.h"
#include "zx_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Registers {
    uint8_t a, f, i, r, iff, im;
    uint16_t bc, de, hl, ix, iy, sp, pc, af_alt, bc_alt, de_alt, hl_alt;
};

Registers registers_of(const Z80State& c)
{
    return {c.a,  c.f,  c.i,  z80_visible_r(&c), c.iff,    c.im,     c.bc,     c.de,
            c.hl, c.ix, c.iy, c.sp,              c.pc,     c.af_alt, c.bc_alt, c.de_alt,
            c.hl_alt};
}

void expect_registers(const Registers& a, const Registers& b, const std::string& what)
{
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << ": pc " << a.pc << "/" << b.pc << " sp " << a.sp << "/"
                                                << b.sp << " r " << int(a.r) << "/" << int(b.r) << " iff "
                                                << int(a.iff) << "/" << int(b.iff) << " im " << int(a.im) << "/"
                                                << int(b.im);
}

// A machine state with every register distinct and RAM full of a pattern.
void set_reference_machine()
{
    zx_test_fresh_machine();
    Z80State& c = zx.cpu;
    c.a = 0x12, c.f = 0xD7, c.bc = 0x5678, c.de = 0x9ABC, c.hl = 0xDEF0, c.ix = 0x1357, c.iy = 0x2468;
    c.sp = 0x8F00, c.pc = 0x9123, c.i = 0x3F, c.r = 0x55, c.r7 = 0x80, c.iff = Z80_IFF1 | Z80_IFF2, c.im = 3;
    c.af_alt = 0x2211, c.bc_alt = 0x4433, c.de_alt = 0x6655, c.hl_alt = 0x8877;
    for (uint32_t a = 0x4000; a < 0x10000; ++a)
        zx.memory[a] = uint8_t(a * 7 + (a >> 8));
    zx.last_fe = 5;
}

// The machine as libspectrum sees it, written in `format`; machine changes a 48K into
// another model.
Bytes written_by_libspectrum(libspectrum_id_t format, libspectrum_machine machine = LIBSPECTRUM_MACHINE_48)
{
    libspectrum_snap* snap = zx_snapshot_to_libspectrum(&zx.cpu, zx.memory, zx.last_fe, 0);
    libspectrum_snap_set_machine(snap, machine);
    if (machine != LIBSPECTRUM_MACHINE_48)
        for (int page : {1, 3, 4, 6, 7})
            libspectrum_snap_set_pages(snap, page, static_cast<libspectrum_byte*>(libspectrum_malloc0_n(0x4000, 1)));
    libspectrum_byte* buffer = nullptr;
    size_t length = 0;
    int flags = 0;
    libspectrum_creator* creator = zx_libspectrum_creator();
    const libspectrum_error e = libspectrum_snap_write(&buffer, &length, &flags, snap, format, creator, 0);
    libspectrum_creator_free(creator);
    libspectrum_snap_free(snap);
    Bytes out;
    if (e == LIBSPECTRUM_ERROR_NONE)
        out.assign(buffer, buffer + length);
    libspectrum_free(buffer);
    return out;
}

TEST(ZxLibspectrum, SnapshotsOfEveryFormatLoadTheMachineForeignAndDamagedOnesAreRefused)
{
    const std::string dir = zx_test_temp_dir("libspectrum_snaps");
    set_reference_machine();
    const Registers want = registers_of(zx.cpu);
    Bytes ram(zx.memory + 0x4000, zx.memory + 0x10000);
    struct Case {
        const char* name;
        libspectrum_id_t format;
    };
    const Case formats[] = {{"s.z80", LIBSPECTRUM_ID_SNAPSHOT_Z80}, {"s.szx", LIBSPECTRUM_ID_SNAPSHOT_SZX},
                            {"s.sp", LIBSPECTRUM_ID_SNAPSHOT_SP},   {"s.snp", LIBSPECTRUM_ID_SNAPSHOT_SNP},
                            {"s.zxs", LIBSPECTRUM_ID_SNAPSHOT_ZXS}};
    int written = 0;
    for (const Case& c : formats) {
        set_reference_machine();
        const Bytes file = written_by_libspectrum(c.format);
        if (file.empty())
            continue; // libspectrum reads this format but does not write it
        ++written;
        zx_test_write_file(dir + "/" + c.name, file);
        zx_test_fresh_machine();
        ZxFileKind kind = ZxFileKind::sna;
        ASSERT_TRUE(zx_load_snapshot((dir + "/" + c.name).c_str(), &kind)) << c.name;
        EXPECT_NE(kind, ZxFileKind::sna) << c.name;
        Registers got = registers_of(zx.cpu);
        if (c.format == LIBSPECTRUM_ID_SNAPSHOT_SNP || c.format == LIBSPECTRUM_ID_SNAPSHOT_SP)
            got.r = want.r, got.iff = want.iff; // formats without every bit of R or IFF2
        expect_registers(want, got, c.name);
        EXPECT_EQ(std::memcmp(zx.memory + 0x4000, ram.data(), ram.size()), 0) << c.name;
        EXPECT_EQ(zx.border_colour, 5) << c.name;
    }
    EXPECT_GE(written, 2); // libspectrum writes .z80 and .szx; .sp, .snp, .zxs it only reads

    // Refused, each with its reason, and the running machine stays as it was.
    set_reference_machine();
    Bytes szx = written_by_libspectrum(LIBSPECTRUM_ID_SNAPSHOT_SZX);
    Bytes z80 = written_by_libspectrum(LIBSPECTRUM_ID_SNAPSHOT_Z80);
    const struct {
        const char* name;
        Bytes file;
        const char* why;
    } refused[] = {
        {"k128.szx", written_by_libspectrum(LIBSPECTRUM_ID_SNAPSHOT_SZX, LIBSPECTRUM_MACHINE_128),
         "a snapshot of a 128K machine; only 48K snapshots load"},
        {"pent.z80", written_by_libspectrum(LIBSPECTRUM_ID_SNAPSHOT_Z80, LIBSPECTRUM_MACHINE_PENT),
         "a snapshot of a Pentagon 128 machine"},
        {"plus3.szx", written_by_libspectrum(LIBSPECTRUM_ID_SNAPSHOT_SZX, LIBSPECTRUM_MACHINE_PLUS3),
         "a snapshot of a +3 machine"},
        {"cut.szx", Bytes(szx.begin(), szx.begin() + long(szx.size() / 2)), "Can't load snapshot"},
        {"head.szx", Bytes(szx.begin(), szx.begin() + 8), "Can't load snapshot"},
        {"cut.z80", Bytes(z80.begin(), z80.begin() + 40), "Can't load snapshot"},
        {"empty.szx", {}, "empty file"},
        {"text.szx", Bytes(300, 'x'), "Can't load snapshot"},
    };
    for (const auto& c : refused) {
        ASSERT_FALSE(c.file.empty() && std::string(c.name) != "empty.szx") << c.name;
        set_reference_machine();
        zx_test_write_file(dir + "/" + c.name, c.file);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(zx_open_file((dir + "/" + c.name).c_str())) << c.name;
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find(c.why), std::string::npos) << c.name << ": " << said;
        expect_registers(want, registers_of(zx.cpu), c.name);
        EXPECT_EQ(std::memcmp(zx.memory + 0x4000, ram.data(), ram.size()), 0) << c.name;
    }
    std::filesystem::remove_all(dir);
}

// zx_save_snapshot_as writes the format its name gives; each file loads back to the
// machine that was saved, and libspectrum reads what was written as a 48K.
TEST(ZxLibspectrum, SaveAsWritesTheFormatTheNameGives)
{
    const std::string dir = zx_test_temp_dir("libspectrum_save");
    for (const char* name : {"/m.szx", "/m.z80", "/m.SZX", "/m.sna"}) {
        set_reference_machine();
        const Registers want = registers_of(zx.cpu);
        const Bytes ram(zx.memory + 0x4000, zx.memory + 0x10000);
        const std::string path = dir + name;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(zx_save_snapshot_as(path.c_str())) << name;
        (void)testing::internal::GetCapturedStdout();
        const Bytes file = zx_test_read_file(path);
        libspectrum_id_t kind = LIBSPECTRUM_ID_UNKNOWN;
        ASSERT_EQ(libspectrum_identify_file_raw(&kind, path.c_str(), file.data(), file.size()), LIBSPECTRUM_ERROR_NONE);
        const std::string lower = [&] {
            std::string s = name;
            for (char& ch : s)
                ch = char(std::tolower(ch));
            return s;
        }();
        EXPECT_EQ(kind, lower == "/m.szx"   ? LIBSPECTRUM_ID_SNAPSHOT_SZX
                        : lower == "/m.z80" ? LIBSPECTRUM_ID_SNAPSHOT_Z80
                                            : LIBSPECTRUM_ID_SNAPSHOT_SNA)
            << name;
        zx_test_fresh_machine();
        ASSERT_TRUE(zx_open_file(path.c_str())) << name;
        Registers got = registers_of(zx.cpu);
        Registers expected = want;
        if (lower == "/m.sna") // PC travels on the stack, whose two bytes read 0 after the load
            std::memset(zx.memory + want.sp - 2, 0, 0), expected.pc = got.pc;
        expect_registers(expected, got, name);
        EXPECT_EQ(std::memcmp(zx.memory + 0x4000, ram.data(), 0x8F00 - 0x4000 - 2), 0) << name;
    }
    testing::internal::CaptureStdout();
    EXPECT_FALSE(zx_save_snapshot_as((dir + "/no/such/dir/m.szx").c_str()));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Can't open Disk Image"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// ---- RZX ------------------------------------------------------------------------------

// A machine whose loop stores every port read at HL, and whose IM 2 interrupt stores 0xEE
// there: the bytes at 0xC000 then show where each interrupt fell among the reads.
//   8000: IN A,(FE) / LD (HL),A / INC HL / JR 8000         4 fetches a pass
//   A0A0: LD (HL),EE / INC HL / EI / RETI                  5 fetches
void set_recording_machine()
{
    zx_test_fresh_machine();
    Asm loop{{}, 0x8000};
    loop.db({0xDB, 0xFE, 0x77, 0x23, 0x18, 0xFA});
    std::memcpy(zx.memory + 0x8000, loop.bytes.data(), loop.bytes.size());
    const uint8_t handler[] = {0x36, 0xEE, 0x23, 0xFB, 0xED, 0x4D};
    std::memcpy(zx.memory + 0xA0A0, handler, sizeof handler);
    std::memset(zx.memory + 0x9000, 0xA0, 0x101);
    std::memset(zx.memory + 0xC000, 0x00, 0x100);
    zx.cpu.pc = 0x8000, zx.cpu.hl = 0xC000, zx.cpu.sp = 0xFF00, zx.cpu.i = 0x90, zx.cpu.im = 3;
    zx.cpu.iff = Z80_IFF1 | Z80_IFF2;
}

struct RzxFrame {
    size_t fetches;
    Bytes in;
};

Bytes rzx_file(const std::vector<RzxFrame>& frames, libspectrum_machine machine = LIBSPECTRUM_MACHINE_48)
{
    libspectrum_rzx* rzx = libspectrum_rzx_alloc();
    libspectrum_snap* snap = zx_snapshot_to_libspectrum(&zx.cpu, zx.memory, 1, 0);
    libspectrum_snap_set_machine(snap, machine);
    libspectrum_rzx_add_snap(rzx, snap, 0);
    libspectrum_rzx_start_input(rzx, 0);
    for (const RzxFrame& f : frames) {
        Bytes in = f.in;
        libspectrum_rzx_store_frame(rzx, f.fetches, in.size(), in.data());
    }
    libspectrum_rzx_stop_input(rzx);
    libspectrum_byte* buffer = nullptr;
    size_t length = 0;
    libspectrum_creator* creator = zx_libspectrum_creator();
    EXPECT_EQ(libspectrum_rzx_write(&buffer, &length, rzx, LIBSPECTRUM_ID_SNAPSHOT_SZX, creator, 1, nullptr),
              LIBSPECTRUM_ERROR_NONE);
    libspectrum_creator_free(creator);
    libspectrum_rzx_free(rzx);
    Bytes out(buffer, buffer + length);
    libspectrum_free(buffer);
    return out;
}

TEST(ZxRzx, PlaybackPlacesInterruptsByOpcodeCountsAndFeedsThePortReads)
{
    const std::string dir = zx_test_temp_dir("rzx_play");
    set_recording_machine();
    // Frame 0: two passes; then the interrupt; frame 1: the handler and one pass; frame
    // 2: the handler and three passes.
    const Bytes good = rzx_file({{8, {0x11, 0x22}}, {5 + 4, {0x33}}, {5 + 12, {0x44, 0x55, 0x66}}});
    zx_test_write_file(dir + "/good.rzx", good);
    set_recording_machine();
    std::memset(zx.memory + 0x8000, 0, 8); // the snapshot in the file brings the program
    testing::internal::CaptureStdout();
    ASSERT_TRUE(zx_open_file((dir + "/good.rzx").c_str()));
    EXPECT_TRUE(zx_rzx.playing);
    for (int frame = 0; frame < 3; ++frame)
        zx_emulate_frames();
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(zx_rzx.playing);
    EXPECT_NE(said.find("the recording has ended; the keyboard is in control"), std::string::npos) << said;
    const Bytes want{0x11, 0x22, 0xEE, 0x33, 0xEE, 0x44, 0x55, 0x66, 0x00};
    EXPECT_EQ(Bytes(zx.memory + 0xC000, zx.memory + 0xC009), want);
    EXPECT_EQ(zx.cpu.read_port, zx_read_port);
    // Afterwards the machine runs on its own: interrupts every 71,680 T-states, the
    // keyboard's port (nothing pressed: 0xFF) in the reads.
    zx_emulate_frames();
    EXPECT_EQ(zx.memory[0xC008], 0xEE);
    EXPECT_EQ(zx.memory[0xC009], 0xFF);

    // A frame that needs more reads than were recorded: out of step, the machine goes on.
    set_recording_machine();
    zx_test_write_file(dir + "/short.rzx", rzx_file({{8, {0x11}}, {9, {0x33}}}));
    testing::internal::CaptureStdout();
    ASSERT_TRUE(zx_rzx_play((dir + "/short.rzx").c_str()));
    zx_emulate_frames();
    said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(zx_rzx.playing);
    EXPECT_NE(said.find("out of step"), std::string::npos) << said;
    EXPECT_EQ(zx.memory[0xC000], 0x11);

    // Damaged, foreign and empty recordings are refused; the running machine is kept.
    set_recording_machine();
    const Bytes k128 = rzx_file({{8, {1, 2}}}, LIBSPECTRUM_MACHINE_128);
    const struct {
        const char* name;
        Bytes file;
        const char* why;
    } refused[] = {
        {"cut.rzx", Bytes(good.begin(), good.begin() + long(good.size() / 2)), "Can't play RZX"},
        {"head.rzx", Bytes(good.begin(), good.begin() + 10), "Can't play RZX"},
        {"k128.rzx", k128, "a snapshot of a 128K machine"},
        {"empty.rzx", {}, "empty file"},
    };
    for (const auto& c : refused) {
        set_recording_machine();
        zx.cpu.pc = 0x4321;
        zx_test_write_file(dir + "/" + c.name, c.file);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(zx_rzx_play((dir + "/" + c.name).c_str())) << c.name;
        said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find(c.why), std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(zx.cpu.pc, 0x4321) << c.name;
        EXPECT_FALSE(zx_rzx.playing) << c.name;
        EXPECT_EQ(zx.cpu.read_port, zx_read_port) << c.name;
    }
    std::filesystem::remove_all(dir);
}

// OpenSE BASIC records a typed line and its answer; the recording, played by a fresh
// run with no keys, reaches the same screen; libspectrum reads the file Korvel wrote:
// one snapshot of a 48K, then one frame per emulated frame.
TEST(ZxRzxHeadless, ASessionRecordedAndPlayedBackReachesTheSameScreen)
{
    const char* const opense = "/usr/share/spectrum-roms/opense.rom";
    if (!std::filesystem::exists(opense))
        GTEST_SKIP() << "opense-basic is not installed";
    const auto dir = korvel_test::make_data_dir("korvel_zx_rzx");
    korvel_test::write_file(dir / "48.rom", zx_test_read_file(opense));
    Bytes boot(zx_sna_size, 0); // PC 0, SP 0x8000: the ROM's reset
    boot[24] = 0x80, boot[25] = 1;
    korvel_test::write_file(dir / "boot.sna", boot);
    // PRINT 6*7 (keywords spelt letter by letter), then ENTER.
    std::string keys;
    uint32_t frame = 150;
    for (const char* k : {"P", "R", "I", "N", "T", "SPACE", "6", "*", "7", "ENTER"}) {
        const bool shifted = std::string(k) == "*";
        if (shifted)
            keys += std::to_string(frame) + " LCTRL down\n";
        keys += std::to_string(frame + 1) + " " + (shifted ? "B" : k) + " down\n";
        keys += std::to_string(frame + 4) + " " + (shifted ? "B" : k) + " up\n";
        if (shifted)
            keys += std::to_string(frame + 5) + " LCTRL up\n";
        frame += 8;
    }
    auto recorded = korvel_test::run_headless(
        dir, "zx", "--frames 400 --screenshot-at 400 --record-rzx session.rzx boot.sna", "", keys);
    ASSERT_EQ(recorded.status, 0) << recorded.console;
    EXPECT_NE(recorded.console.find("RZX session.rzx written: 400 frames"), std::string::npos) << recorded.console;
    const korvel_test::Shot want = korvel_test::expect_shot(dir, 0, 768, 576, recorded.console);
    std::filesystem::rename(dir / korvel_test::screenshot_name(0), dir / "recorded.png");

    auto played = korvel_test::run_headless(dir, "zx", "--frames 400 --screenshot-at 400 --rzx session.rzx");
    ASSERT_EQ(played.status, 0) << played.console;
    EXPECT_NE(played.console.find("RZX session.rzx playing"), std::string::npos) << played.console;
    EXPECT_NE(played.console.find("the recording has ended"), std::string::npos) << played.console;
    EXPECT_EQ(played.console.find("out of step"), std::string::npos) << played.console;
    const korvel_test::Shot got = korvel_test::expect_shot(dir, 0, 768, 576, played.console);
    EXPECT_EQ(got.rgb, want.rgb);
    // The answer is on the screen: something was typed and printed.
    size_t ink = 0;
    for (uint32_t y = 0; y < 576; ++y)
        for (uint32_t x = 0; x < 768; ++x)
            ink += want.at(x, y) != want.at(0, 0);
    EXPECT_GT(ink, 500u);

    const Bytes file = zx_test_read_file((dir / "session.rzx").string());
    libspectrum_rzx* rzx = libspectrum_rzx_alloc();
    ASSERT_EQ(libspectrum_rzx_read(rzx, file.data(), file.size()), LIBSPECTRUM_ERROR_NONE);
    int snapshots = 0;
    size_t frames = 0;
    for (libspectrum_rzx_iterator it = libspectrum_rzx_iterator_begin(rzx); it;
         it = libspectrum_rzx_iterator_next(it)) {
        const libspectrum_rzx_block_id id = libspectrum_rzx_iterator_get_type(it);
        if (id == LIBSPECTRUM_RZX_SNAPSHOT_BLOCK) {
            ++snapshots;
            EXPECT_EQ(libspectrum_snap_machine(libspectrum_rzx_iterator_get_snap(it)), LIBSPECTRUM_MACHINE_48);
        }
        if (id == LIBSPECTRUM_RZX_INPUT_BLOCK)
            frames += libspectrum_rzx_iterator_get_frames(it);
    }
    libspectrum_rzx_free(rzx);
    EXPECT_EQ(snapshots, 1);
    EXPECT_EQ(frames, 400u);
    std::filesystem::remove_all(dir);
}

} // namespace
