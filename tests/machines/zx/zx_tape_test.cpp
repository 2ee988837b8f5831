// Tapes: the pulse stream of every block kind against the timings written into a .tzx,
// the loader detection on port 0xFE, damaged files, and whole-machine loads through
// OpenSE BASIC's LOAD "" of a pasmo-made .tap and of a .tzx with turbo blocks and pauses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "machines/zx/zx_tape.h"
#include "support/headless.h"
#include "zx_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put24(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)}); }
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
Bytes tzx_signature() { return {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}; }

Bytes turbo(uint16_t pilot, uint16_t count, uint16_t s1, uint16_t s2, uint16_t zero, uint16_t one, uint8_t last_bits,
            uint16_t pause, const Bytes& data)
{
    Bytes b{0x11};
    put16(b, pilot), put16(b, s1), put16(b, s2), put16(b, zero), put16(b, one), put16(b, count);
    b.push_back(last_bits);
    put16(b, pause), put24(b, uint32_t(data.size()));
    append(b, data);
    return b;
}
Bytes pure_tone(uint16_t length, uint16_t count)
{
    Bytes b{0x12};
    put16(b, length), put16(b, count);
    return b;
}
Bytes pulse_sequence(const std::vector<uint16_t>& pulses)
{
    Bytes b{0x13, uint8_t(pulses.size())};
    for (uint16_t p : pulses)
        put16(b, p);
    return b;
}
Bytes pure_data(uint16_t zero, uint16_t one, uint8_t last_bits, uint16_t pause, const Bytes& data)
{
    Bytes b{0x14};
    put16(b, zero), put16(b, one);
    b.push_back(last_bits);
    put16(b, pause), put24(b, uint32_t(data.size()));
    append(b, data);
    return b;
}
Bytes standard(uint16_t pause, const Bytes& data)
{
    Bytes b{0x10};
    put16(b, pause), put16(b, uint32_t(data.size()));
    append(b, data);
    return b;
}
Bytes pause_block(uint16_t ms)
{
    Bytes b{0x20};
    put16(b, ms);
    return b;
}
Bytes text_block(uint8_t id, const std::string& text)
{
    Bytes b{id, uint8_t(text.size())};
    for (char c : text)
        b.push_back(uint8_t(c));
    return b;
}

// Runs the inserted tape by hand to its end, one pulse at a time; each entry is the
// length of a level (T-states) and the level held. Stops after `limit` entries.
std::vector<std::pair<int64_t, int>> play_to_end(size_t limit = 100000)
{
    std::vector<std::pair<int64_t, int>> out;
    zx_tape_play_stop();
    int64_t at = zx_tape_now();
    while (zx_tape.playing && out.size() < limit) {
        const int64_t end = zx_tape.segment_end;
        const int level = zx_tape.level;
        if (end > at)
            out.push_back({end - at, level});
        at = end;
        zx_tape_advance(end);
    }
    return out;
}

void reset_machine_and_deck()
{
    zx_test_fresh_machine();
    zx_tape_eject();
    zx_tape.frame_base = -zx_frame_tstates;
    zx_tape.last_read = 0;
    zx_tape.name.clear();
}

// Every pulse of every sounding block kind, in order, with its level; the pauses with
// their edge, their millisecond and their low rest; info blocks and unknown IDs silent.
TEST(ZxTape, TzxBlocksBecomeThePulsesTheyDescribe)
{
    const std::string dir = zx_test_temp_dir("tzx_pulses");
    Bytes tzx = tzx_signature();
    append(tzx, text_block(0x21, "group"));
    append(tzx, turbo(1000, 3, 300, 400, 500, 900, 3, 0, {0xA0, 0xE0})); // last byte: 3 bits
    append(tzx, pause_block(2));
    append(tzx, text_block(0x30, "a text"));
    append(tzx, pure_tone(700, 2));
    append(tzx, pulse_sequence({111, 0, 222}));                         // a 0 is no pulse
    append(tzx, Bytes{0x99, 2, 0, 0, 0, 0xAB, 0xCD});                   // unknown: 32-bit length
    append(tzx, pure_data(250, 600, 8, 1, {0x01}));
    append(tzx, Bytes{0x22});
    append(tzx, Bytes{0x32, 9, 0, 1, 0, 6, 'T', 'i', 't', 'l', 'e', '!'}); // archive info
    append(tzx, standard(0, {0x00}));
    zx_test_write_file(dir + "/t.tzx", tzx);

    reset_machine_and_deck();
    ASSERT_TRUE(zx_tape_insert((dir + "/t.tzx").c_str()));
    EXPECT_EQ(zx_tape.blocks.size(), 11u);
    const auto pulses = play_to_end();
    std::vector<std::pair<int64_t, int>> want;
    int level = 0;
    auto add = [&](int64_t length) { level ^= 1, want.push_back({length, level}); };
    for (int i = 0; i < 3; ++i) add(1000);
    add(300), add(400);
    for (int bit : {1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1}) // 0xA0, then the top 3 bits of 0xE0
        add(bit ? 900 : 500), add(bit ? 900 : 500);
    add(3500);                                 // the pause: the closing edge, one ms ...
    if (level) level = 0;
    want.push_back({3500, 0});                 // ... then low
    add(700), add(700);
    add(111), add(222);
    for (int bit : {0, 0, 0, 0, 0, 0, 0, 1})
        add(bit ? 600 : 250), add(bit ? 600 : 250);
    add(3500);                                 // a 1 ms pause is only its edge
    for (int i = 0; i < 8063; ++i) add(2168);  // flag 0x00: a header's long leader
    add(667), add(735);
    for (int i = 0; i < 8; ++i) add(855), add(855);
    ASSERT_EQ(pulses.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(pulses[i], want[i]) << "pulse " << i;
    EXPECT_EQ(zx_tape.stage, ZxTapeStage::end);
    EXPECT_EQ(zx_tape_block_description(zx_tape, 9), "archive info: Title Title!");
    EXPECT_EQ(zx_tape_block_description(zx_tape, 6), "block ID 0x99 not supported, skipped");
}

// A keyboard scan (eight half-rows, then nothing until the next frame) never starts the
// tape; a loader's tight polling does after 64 reads; the tape pauses a second after the
// polling ends, and the play key's stop holds it against the loader.
TEST(ZxTape, LoaderPollingStartsAndStopsTheTapeKeyboardScansDoNot)
{
    const std::string dir = zx_test_temp_dir("detect");
    Bytes tap;
    put16(tap, 3), tap.insert(tap.end(), {0xFF, 0x12, 0xED});
    zx_test_write_file(dir + "/d.tap", tap);
    reset_machine_and_deck();
    ASSERT_TRUE(zx_tape_insert((dir + "/d.tap").c_str()));
    ASSERT_EQ(zx.cpu.read_port, zx_tape_read_port);
    auto read_at = [](int32_t tstate_in_frame, uint16_t port) {
        zx.cpu.ticks = (zx_frame_tstates - tstate_in_frame) * zx_units_per_tstate;
        zx.cpu.addr = port;
        zx_tape_read_port(&zx.cpu);
        return zx.cpu.data;
    };
    for (int frame = 0; frame < 100; ++frame) {
        zx_tape_begin_frame();
        for (int row = 0; row < 8; ++row)
            read_at(100 + 60 * row, uint16_t((0xFF ^ (1 << row)) << 8 | 0xFE));
        zx_tape_end_frame();
    }
    EXPECT_FALSE(zx_tape.playing);
    // Level low while the tape rests: bit 6 reads 0; the keyboard bits are untouched.
    EXPECT_EQ(read_at(5000, 0x7FFE), 0xBF);

    zx_tape_begin_frame();
    int reads = 0;
    for (int t = 1000; !zx_tape.playing && t < 60000; t += 59, ++reads)
        read_at(t, 0x7FFE);
    EXPECT_TRUE(zx_tape.playing);
    EXPECT_EQ(reads, 64);
    zx_tape_end_frame();
    int frames = 0;
    for (; zx_tape.playing && frames < 200; ++frames) {
        zx_tape_begin_frame();
        zx_tape_end_frame();
    }
    // One second of 71680-T-state frames, counted from the last poll.
    EXPECT_NEAR(frames, 3500000 / zx_frame_tstates, 1);
    EXPECT_FALSE(zx_tape.playing);
    EXPECT_EQ(zx_tape.stage, ZxTapeStage::pilot); // paused inside the leader

    // Stopped by hand: the loader does not start it again; the play key does.
    zx_tape_play_stop();
    EXPECT_TRUE(zx_tape.playing && zx_tape.by_hand);
    zx_tape_play_stop();
    EXPECT_TRUE(!zx_tape.playing && zx_tape.held);
    zx_tape_begin_frame();
    for (int t = 1000; t < 30000; t += 59)
        read_at(t, 0x7FFE);
    EXPECT_FALSE(zx_tape.playing);
    zx_tape_end_frame();
    zx_tape_reinsert(); // rewound, and the loader's polling counts again
    EXPECT_EQ(zx_tape.block, 0u);
    zx_tape_begin_frame();
    for (int t = 1000; t < 30000; t += 59)
        read_at(t, 0x7FFE);
    EXPECT_TRUE(zx_tape.playing);
    zx_tape_eject();
    EXPECT_EQ(zx.cpu.read_port, zx_read_port);
}

// Damaged and odd files: a clear refusal or the blocks before the damage, never a read
// past the image or a tape that runs forever.
TEST(ZxTape, DamagedFilesAreRefusedOrCutWithAMessage)
{
    const std::string dir = zx_test_temp_dir("bad_tapes");
    struct Case {
        const char* name;
        Bytes bytes;
        bool inserts;
        size_t blocks;
        bool play = true;
    };
    Bytes huge_length = tzx_signature();
    append(huge_length, Bytes{0x99, 0xFF, 0xFF, 0xFF, 0xFF});
    Bytes cut_turbo = tzx_signature();
    append(cut_turbo, standard(100, {0xFF, 1, 2}));
    append(cut_turbo, turbo(1000, 3, 300, 400, 500, 900, 8, 0, {1, 2, 3, 4}));
    cut_turbo.resize(cut_turbo.size() - 2); // data cut: plays what is there
    Bytes cut_header = tzx_signature();
    append(cut_header, standard(100, {0xFF, 1, 2}));
    append(cut_header, Bytes{0x11, 0x10, 0x20});
    Bytes many_groups = tzx_signature();
    many_groups.resize(many_groups.size() + 100000, 0x22);
    const std::vector<Case> cases = {
        {"empty.tap", {}, false, 0},
        {"empty.tzx", {}, false, 0},
        {"one_byte.tap", {0x05}, false, 0},
        {"past_end.tap", {0x10, 0x00, 0xFF, 0x01}, true, 1},          // 16 bytes said, 2 there
        {"second_cut.tap", {0x02, 0x00, 0xFF, 0x01, 0x30}, true, 1},  // a length cut in half
        {"zero_block.tap", {0x00, 0x00, 0x02, 0x00, 0xFF, 0x00}, true, 1},
        {"no_signature.tzx", {'Z', 'X', 'T', 'a', 'p', 'e'}, false, 0},
        {"only_signature.tzx", tzx_signature(), false, 0},
        {"huge_length.tzx", huge_length, false, 0},
        {"cut_turbo.tzx", cut_turbo, true, 2},
        {"cut_header.tzx", cut_header, true, 1},
        {"many_groups.tzx", many_groups, true, zx_tape_block_limit, false}, // quiet: not played
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_machine_and_deck();
        const std::string path = dir + "/" + c.name;
        zx_test_write_file(path, c.bytes);
        ASSERT_EQ(zx_tape_insert(path.c_str()), c.inserts);
        EXPECT_EQ(zx_tape.inserted, c.inserts);
        if (!c.inserts || !c.play)
            continue;
        EXPECT_EQ(zx_tape.blocks.size(), c.blocks);
        for (const ZxTapeBlock& b : zx_tape.blocks)
            ASSERT_LE(size_t(b.body) + b.body_length, zx_tape.image.size());
        const auto pulses = play_to_end(200000);
        EXPECT_LT(pulses.size(), 200000u);
        EXPECT_EQ(zx_tape.stage, ZxTapeStage::end);
    }
    // A file past the size limit is refused before it is parsed.
    reset_machine_and_deck();
    const std::string big = dir + "/huge.tap";
    std::filesystem::resize_file((zx_test_write_file(big, {}), big), zx_tape_file_limit + 1);
    EXPECT_FALSE(zx_tape_insert(big.c_str()));
    EXPECT_FALSE(zx_tape_insert((dir + "/missing.tap").c_str()));
    EXPECT_FALSE(zx_tape_insert(dir.c_str())); // a directory
    std::filesystem::remove(big);
}

// Garbled copies of a good .tzx and .tap (bytes changed, cut, lengths raised): each is
// refused or plays to an end within its own length, never past its image.
TEST(ZxTape, GarbledTapesNeverRunPastTheirImage)
{
    const std::string dir = zx_test_temp_dir("garbled");
    Bytes tzx = tzx_signature();
    append(tzx, Bytes{0x32, 9, 0, 1, 0, 6, 'T', 'i', 't', 'l', 'e', '!'});
    append(tzx, turbo(100, 3, 30, 40, 50, 90, 3, 1, {0xA0, 0xE0, 0x12}));
    append(tzx, pure_tone(70, 20));
    append(tzx, pulse_sequence({11, 0, 22}));
    append(tzx, pure_data(25, 60, 8, 1, {0x01, 0x02}));
    append(tzx, text_block(0x30, "text"));
    append(tzx, standard(1, {0xFF, 0x00, 0x10}));
    Bytes tap{0x03, 0x00, 0xFF, 0x01, 0x02, 0x02, 0x00, 0x00, 0x07};
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int round = 0; round < 400; ++round) {
        const bool use_tzx = round % 2 == 0;
        Bytes file = use_tzx ? tzx : tap;
        const size_t from = use_tzx ? 10 : 0;
        for (int n = 1 + next() % 4; n > 0; --n) {
            const size_t at = from + next() % (file.size() - from);
            file[at] = next() % 3 == 0 ? 0xFF : uint8_t(next());
        }
        if (next() % 4 == 0)
            file.resize(from + next() % (file.size() - from));
        const std::string path = dir + (use_tzx ? "/g.tzx" : "/g.tap");
        zx_test_write_file(path, file);
        reset_machine_and_deck();
        testing::internal::CaptureStdout();
        if (zx_tape_insert(path.c_str())) {
            for (const ZxTapeBlock& b : zx_tape.blocks) {
                ASSERT_LE(size_t(b.body) + b.body_length, file.size()) << round;
                if (b.id >= 0x10 && b.id <= 0x14) {
                    ASSERT_LE(size_t(b.data) + (b.id == 0x13 ? 2 : 1) * b.data_length, file.size()) << round;
                }
            }
            (void)play_to_end(300000);
        }
        (void)testing::internal::GetCapturedStdout();
    }
    zx_tape_eject();
}

// Left Windows + P plays and stops, + T inserts the last tape again; neither P nor T
// reaches the ZX keyboard meanwhile.
TEST(ZxTape, HotKeysPlayStopAndReinsert)
{
    const std::string dir = zx_test_temp_dir("tape_keys");
    Bytes tap;
    put16(tap, 3), tap.insert(tap.end(), {0xFF, 0x12, 0xED});
    zx_test_write_file(dir + "/k.tap", tap);
    reset_machine_and_deck();
    auto keys = [](std::initializer_list<uint8_t> codes) {
        for (int i = 0; i < 256; ++i)
            KeyState[i] = 0;
        for (uint8_t c : codes)
            KeyState[c] = 0x80;
        zx_frame_input();
    };
    keys({});
    keys({0xDB, 0x19}); // no tape yet: nothing happens
    EXPECT_FALSE(zx_tape.playing);
    keys({});
    ASSERT_TRUE(zx_tape_insert((dir + "/k.tap").c_str()));
    keys({0xDB, 0x19});
    EXPECT_TRUE(zx_tape.playing && zx_tape.by_hand);
    EXPECT_EQ(zx.half_rows[5], 0); // P is not pressed on the ZX
    keys({0xDB, 0x19}); // held: once per press
    EXPECT_TRUE(zx_tape.playing);
    keys({0xDB});
    keys({0xDB, 0x19});
    EXPECT_TRUE(!zx_tape.playing && zx_tape.held);
    zx_tape.block = 1;
    keys({0xDB, 0x14});
    EXPECT_EQ(zx.half_rows[2], 0); // nor T
    EXPECT_TRUE(zx_tape.inserted && !zx_tape.held && !zx_tape.playing);
    EXPECT_EQ(zx_tape.block, 0u);
    keys({0x19}); // P alone is the ZX's P
    EXPECT_EQ(zx.half_rows[5], 0x01);
    EXPECT_FALSE(zx_tape.playing);
    zx_tape_eject();
}

TEST(ZxTape, ArgumentTextNamesASnapshotATapeOrBoth)
{
    struct Case {
        const char* text;
        const char* snapshot;
        const char* tape;
    };
    const Case cases[] = {
        {"", "snapshot.SNA", ""},
        {"boot.sna", "boot.sna", ""},
        {"game.z80", "game.z80", ""},
        {"game.tap", "", "game.tap"},
        {"GAME.TZX", "", "GAME.TZX"},
        {"boot.sna game.tap", "boot.sna", "game.tap"},
        {"\"my boot.sna\" \"my game.tzx\"", "my boot.sna", "my game.tzx"},
        {"C:\\games\\boot.sna D:\\tapes\\game.tap", "boot.sna", "game.tap"},
        {"\"my game.tap\"", "", "my game.tap"},
        {"a.tap b.tap", "a.tap b.tap", ""},                         // not a snapshot then a tape:
        {"boot.sna game.tap extra", "boot.sna game.tap extra", ""}, // one name, as before
        {"\"my boot.sna\"", "my boot.sna", ""},
    };
    for (const Case& c : cases) {
        std::string snapshot, tape;
        EXPECT_TRUE(zx_names_from_argument_text(c.text, &snapshot, &tape)) << c.text;
        EXPECT_EQ(snapshot, c.snapshot) << c.text;
        EXPECT_EQ(tape, c.tape) << c.text;
    }
    // Text that leaves no name after its last backslash names nothing: refused.
    for (const char* text : {"dir\\", "C:\\games\\", "\"my dir\\\"", "dir\\ game.tap", "boot.sna tapes\\.tap\\"}) {
        std::string snapshot, tape;
        EXPECT_FALSE(zx_names_from_argument_text(text, &snapshot, &tape)) << text;
    }
}

// ---- Whole machine: OpenSE BASIC loads tapes -----------------------------------------

const char* const opense_rom = "/usr/share/spectrum-roms/opense.rom";

// Keys typing LOAD "" and ENTER from frame 150 (OpenSE takes keywords letter by letter).
std::string load_keys()
{
    std::string script;
    uint32_t frame = 150;
    auto key = [&](const std::string& name, bool symbol_shift) {
        if (symbol_shift)
            script += std::to_string(frame) + " LCTRL down\n";
        script += std::to_string(frame + 1) + " " + name + " down\n";
        script += std::to_string(frame + 4) + " " + name + " up\n";
        if (symbol_shift)
            script += std::to_string(frame + 5) + " LCTRL up\n";
        frame += 8;
    };
    for (const char* k : {"L", "O", "A", "D", "SPACE"})
        key(k, false);
    key("P", true), key("P", true); // SYMBOL SHIFT + P: the quote
    key("ENTER", false);
    return script;
}

// A program that fills the bitmap with 0xAA and the attributes with `attribute`.
bool make_program_tap(const korvel_test::fs::path& dir, int attribute, Bytes* tap)
{
    if (std::system("command -v pasmo > /dev/null 2>&1") != 0)
        return false;
    korvel_test::write_text(dir / "prog.asm", "        org 32768\n"
                                              "start:  di\n"
                                              "        ld hl,0x4000\n        ld de,0x4001\n"
                                              "        ld bc,6143\n        ld (hl),0xAA\n        ldir\n"
                                              "        ld hl,0x5800\n        ld de,0x5801\n"
                                              "        ld bc,767\n        ld (hl)," +
                                                  std::to_string(attribute) +
                                                  "\n        ldir\n"
                                                  "loop:   jr loop\n"
                                                  "        end start\n");
    const std::string command = "cd '" + dir.string() + "' && pasmo --tapbas prog.asm prog.tap > pasmo.txt 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    const std::string text = korvel_test::slurp(dir / "prog.tap");
    tap->assign(text.begin(), text.end());
    return !tap->empty();
}

// The loaded program's screen: 0xAA bitmap in the attribute's ink and paper.
void expect_program_screen(const korvel_test::fs::path& dir, int attribute, const std::string& console)
{
    const korvel_test::Shot shot = korvel_test::expect_shot(dir, 0, 768, 576, console);
    const uint32_t ink = zx_palettes[0][attribute & 7];
    const uint32_t paper = zx_palettes[0][(attribute >> 3) & 7];
    for (uint32_t y = 1; y < 192; y += 17)
        for (uint32_t x = 0; x < 256; x += 13)
            ASSERT_EQ(shot.at(3 * x + 1, 3 * y), x % 2 == 0 ? ink : paper) << x << "," << y << "\n" << console;
}

TEST(ZxTapeHeadless, OpenSeLoadsAPasmoTapFromTheArgumentText)
{
    if (!std::filesystem::exists(opense_rom))
        GTEST_SKIP() << "opense-basic is not installed";
    const auto dir = korvel_test::make_data_dir("korvel_zx_tap");
    Bytes tap;
    if (!make_program_tap(dir, 0x29, &tap))
        GTEST_SKIP() << "pasmo is not installed";
    korvel_test::write_file(dir / "48.rom", zx_test_read_file(opense_rom));
    const auto run = korvel_test::run_headless(
        dir, "zx", "--no-fast-tape --frames 1500 --screenshot-at 1500 --wav tape.wav prog.tap", "", load_keys());
    ASSERT_EQ(run.status, 0) << run.console;
    EXPECT_NE(run.console.find("No snapshot: starting from the ROM"), std::string::npos) << run.console;
    EXPECT_NE(run.console.find("Tape prog.tap inserted: 4 blocks (TAP)"), std::string::npos);
    EXPECT_NE(run.console.find("Tape block 1/4: standard speed data, 19 bytes, header: Program: \"loader    \""),
              std::string::npos)
        << run.console;
    EXPECT_NE(run.console.find("Tape block 4/4"), std::string::npos);
    EXPECT_NE(run.console.find("Tape end"), std::string::npos);
    // The tape waited for the loader: nothing played before LOAD "" was typed.
    EXPECT_LT(run.console.find("Tape prog.tap inserted"), run.console.find("Tape playing (a loader is reading it)"));
    expect_program_screen(dir, 0x29, run.console);
    // The tape is heard under the beeper: while the header's leader plays (from about
    // frame 230 on), samples swing between the beeper's level and 6144 nearer the middle.
    const std::string wav = korvel_test::slurp(dir / "tape.wav");
    ASSERT_GT(wav.size(), 44u + 600u * 800 * 4);
    int near_full = 0, swung = 0;
    for (size_t i = 400 * 800; i < 600 * 800; ++i) {
        const size_t at = 44 + 4 * i;
        const int sample = int16_t(uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8);
        ASSERT_LE(std::abs(sample), 32512) << i;
        near_full += std::abs(sample) == 32512;
        swung += std::abs(sample) == 32512 - 6144;
    }
    EXPECT_GT(near_full, 30000);
    EXPECT_GT(swung, 30000);
    std::filesystem::remove_all(dir);
}

// The same program as a .tzx: the BASIC header standard, its data turbo (pilot, sync and
// bit lengths of its own, no pause of its own) followed by a pause block, the code header
// built from a pure tone, a pulse sequence and pure data, the code as turbo again; text,
// archive info, a group and an unknown block around them. Loaded after a snapshot.
TEST(ZxTapeHeadless, OpenSeLoadsATzxWithTurboBlocksAndPauses)
{
    if (!std::filesystem::exists(opense_rom))
        GTEST_SKIP() << "opense-basic is not installed";
    const auto dir = korvel_test::make_data_dir("korvel_zx_tzx");
    Bytes tap;
    if (!make_program_tap(dir, 0x16, &tap))
        GTEST_SKIP() << "pasmo is not installed";
    std::vector<Bytes> blocks;
    for (size_t at = 0; at + 2 <= tap.size();) {
        const size_t length = tap[at] | tap[at + 1] << 8;
        blocks.emplace_back(tap.begin() + long(at) + 2, tap.begin() + long(at + 2 + length));
        at += 2 + length;
    }
    ASSERT_EQ(blocks.size(), 4u);
    Bytes tzx = tzx_signature();
    append(tzx, Bytes{0x32, 10, 0, 1, 0, 7, 'P', 'r', 'o', 'g', 'r', 'a', 'm'});
    append(tzx, text_block(0x30, "Made by the tests"));
    append(tzx, text_block(0x21, "BASIC"));
    append(tzx, standard(700, blocks[0]));
    append(tzx, turbo(2100, 3000, 640, 700, 820, 1640, 8, 0, blocks[1]));
    append(tzx, pause_block(600));
    append(tzx, Bytes{0x22});
    append(tzx, Bytes{0x35, 'K', 'o', 'r', 'v', 'e', 'l', ' ', 'n', 'o', 't', 'e', ' ', ' ', ' ', ' ', ' ', 1, 0, 0, 0,
                      '!'});
    append(tzx, pure_tone(2168, 4000));
    append(tzx, pulse_sequence({667, 735}));
    append(tzx, pure_data(855, 1710, 8, 300, blocks[2]));
    append(tzx, turbo(2000, 2500, 600, 650, 800, 1600, 8, 1000, blocks[3]));
    korvel_test::write_file(dir / "prog.tzx", tzx);
    korvel_test::write_file(dir / "48.rom", zx_test_read_file(opense_rom));
    Bytes boot(zx_sna_size, 0); // PC 0, SP 0x8000: the ROM's reset
    boot[24] = 0x80, boot[25] = 1;
    korvel_test::write_file(dir / "boot.sna", boot);
    const auto run = korvel_test::run_headless(dir, "zx", "--frames 1500 --screenshot-at 1500 boot.sna prog.tzx", "",
                                               load_keys());
    ASSERT_EQ(run.status, 0) << run.console;
    for (const char* line : {"Snapshot boot.sna loaded", "Tape prog.tzx inserted: 12 blocks (TZX)",
                             "Tape block 1/12: archive info: Title Program",
                             "Tape block 2/12: text \"Made by the tests\"", "Tape block 3/12: group \"BASIC\"",
                             "Tape block 5/12: turbo speed data", "Tape block 6/12: pause, 600 ms",
                             "Tape block 8/12: block ID 0x35 not supported, skipped",
                             "Tape block 9/12: pure tone, 4000 pulses of 2168 T",
                             "Tape block 10/12: pulse sequence, 2 pulses", "Tape block 11/12: pure data, 19 bytes",
                             "Tape block 12/12: turbo speed data", "Tape end"})
        EXPECT_NE(run.console.find(line), std::string::npos) << line << "\n" << run.console;
    expect_program_screen(dir, 0x16, run.console);
    std::filesystem::remove_all(dir);
}

TEST(ZxTapeHeadless, BadStartFilesEndWithAMessage)
{
    const auto dir = korvel_test::make_data_dir("korvel_zx_badstart");
    korvel_test::write_file(dir / "48.rom", Bytes(16384, 0x00));
    korvel_test::write_file(dir / "empty.tap", {});
    korvel_test::write_file(dir / "k128.z80", Bytes(30, 0)); // PC 0, no extra header
    auto run = korvel_test::run_headless(dir, "zx", "--frames 3 empty.tap");
    EXPECT_EQ(run.status, 1) << run.console;
    EXPECT_NE(run.console.find("Can't open tape empty.tap: empty file"), std::string::npos) << run.console;
    EXPECT_NE(run.console.find("Can't open file!"), std::string::npos) << run.console;
    run = korvel_test::run_headless(dir, "zx", "--frames 3 k128.z80");
    EXPECT_EQ(run.status, 1) << run.console;
    EXPECT_NE(run.console.find("Can't load snapshot k128.z80 (.z80): the extra header is missing"),
              std::string::npos)
        << run.console;
    std::filesystem::remove_all(dir);
}

} // namespace
