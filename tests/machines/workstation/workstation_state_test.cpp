// Saved states of the complex, in process: round trips with every processor running a
// program (the UKNC's synthetic or real ROM, a GPU loop, a KSM and a 15IE program) and
// every display mode, compared frame for frame; and a table of damaged states that are
// refused with the running machine untouched.
#include "machines/dvk/dvk_test_support.h"
#include "support/headless.h"
#include "state_test_support.h"
#include "support/test_data.h"
#include "support/uknc_menu_keys.h"
#include "workstation_programs.h"

#include "machines/terminals/terminals.h"
#include "machines/uknc/uknc_floppy.h"
#include "machines/workstation/workstation_state.h"

#include <fstream>
#include <functional>

namespace {

// A KSM program (Z80): counts through 0x4000-0x4FFF with INC (HL), a push and a pop, and
// an exchange with the stack, for ever.
const std::vector<uint8_t> ksm_program = {
    0x31, 0x00, 0x80,       // LD SP,8000h
    0x21, 0x00, 0x40,       // LD HL,4000h
    0x34,                   // INC (HL)
    0xE5, 0xE3, 0xE1,       // PUSH HL; EX (SP),HL; POP HL
    0x23,                   // INC HL
    0x7C, 0xFE, 0x50,       // LD A,H; CP 50h
    0x20, 0xF6,             // JR NZ,-10
    0xC3, 0x03, 0x00,       // JP 0003h
};

// A 15IE program: video on, then characters written into display memory for ever.
const std::vector<uint8_t> ie15_program = {0xC8, 0x30, 0x41, 0xF0, 0xF0, 0x51, 0x10, 0x02};

// A GPU program: INC (R1)+ over its RAM from 02000 to 020000, for ever.
const std::vector<uint16_t> gpu_program = {012706, 001000, 012701, 002000, 005221, 020127, 020000, 001374, 000771};

// Every board and both terminals fitted, all processors running programs.
void full_complex(const std::vector<uint8_t>& rom)
{
    dvk_test_complex(gpu_program);
    std::memcpy(workstation.rom, rom.data(), std::min<size_t>(rom.size(), uknc_rom_size));
    terminals_allocate();
    std::memset(ksm_terminal.block, 0, ksm_block_size);
    std::memcpy(ksm_terminal.block, ksm_program.data(), ksm_program.size());
    for (uint32_t i = 0; i < ksm_font_size; ++i)
        ksm_terminal.block[ksm_font_offset + i] = uint8_t(i * 37);
    std::memset(ie15_terminal.block, 0, ie15_block_size);
    std::memcpy(ie15_terminal.block, ie15_program.data(), ie15_program.size());
    for (uint32_t i = 0; i < ie15_font_size; ++i)
        ie15_terminal.block[ie15_font_offset + i] = uint8_t(i * 91);
    workstation.ksmPresent = workstation.ie15Present = true;
    uknc_floppy_reset();
    workstation_restart();
}

// What a frame leaves behind: the UKNC picture and the whole state, byte for byte.
struct Frame {
    std::vector<uint32_t> picture;
    MemoryState state;
    bool operator==(const Frame&) const = default;
};

Frame capture()
{
    Frame f;
    f.picture.resize(uknc_picture_width * uknc_picture_lines);
    workstation_render(f.picture.data());
    f.state = memory_state_save(workstation_state_save);
    return f;
}

std::vector<Frame> run(int frames)
{
    std::vector<Frame> out;
    testing::internal::CaptureStdout();
    for (int i = 0; i < frames; ++i) {
        workstation_run_frame();
        out.push_back(capture());
    }
    testing::internal::GetCapturedStdout();
    return out;
}

struct RoundTrip {
    const char* name;
    int save_after;                   // frames before the state is taken
    std::function<void()> before;     // puts the complex into the case's mode
};

void check_round_trips(const std::vector<uint8_t>& rom, int later)
{
    const RoundTrip cases[] = {
        {"UKNC at power-on (CPU held)", 0, [] {}},
        {"UKNC running", 7, [] {}},
        {"KGD mode over the KSM", 5, [] { workstation_switch_mode(WS_MODE_KGD, true, false); }},
        {"KGD mode over the 15IE",
         5,
         [] {
             workstation.ie15Selected = true;
             workstation_switch_mode(WS_MODE_KGD, true, false);
         }},
        {"KCGD mode", 6, [] { workstation_switch_mode(WS_MODE_KCGD, true, false); }},
        {"NEMIGA mode, X-scale 1.0, palette 3",
         4,
         [] {
             workstation.nemigaXScaleCode = 0;
             workstation.nemigaPaletteIndex = 3;
             workstation_switch_mode(WS_MODE_NEMIGA, true, false);
         }},
        {"E-85 mode, smooth scanlines",
         3,
         [] {
             workstation.display.scanline_mode = uknc_scanlines_smooth;
             workstation_switch_mode(WS_MODE_E85, true, false);
         }},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStdout();
        full_complex(rom);
        c.before();
        testing::internal::GetCapturedStdout();
        run(c.save_after);
        const MemoryState saved = memory_state_save(workstation_state_save);
        const std::vector<Frame> first = run(later);

        // Somewhere else entirely: restarted, other settings, frames on.
        testing::internal::CaptureStdout();
        workstation_restart();
        workstation.paletteIndex = 2;
        workstation.display.x_scale_code = 0;
        testing::internal::GetCapturedStdout();
        run(3);

        std::string why;
        MemoryReader reader(saved);
        ASSERT_TRUE(workstation_state_check(reader.get(), &why)) << why;
        workstation_state_load(reader.get());
        EXPECT_EQ(memory_state_save(workstation_state_save), saved) << "a field was not restored";
        const std::vector<Frame> second = run(later);
        ASSERT_EQ(first.size(), second.size());
        for (size_t i = 0; i < first.size(); ++i)
            ASSERT_TRUE(first[i] == second[i]) << "frame " << i + 1 << " after the load differs";
    }
}

} // namespace

TEST(WorkstationState, RoundTripsWithEveryProcessorAndDisplayMode)
{
    check_round_trips(synthetic_rom(), 10);
}

// The real ROM boots a disk in the complex with every board: states taken while the boot
// sector is being read (the floppy controller in the middle of its sector stream) and
// while the booted program runs.
TEST(WorkstationState, RoundTripsWhileTheRealRomBootsADisk)
{
    KORVEL_NEED_ROM("uknc/UKNC.rom");
    std::ifstream file(korvel_test::rom_path("uknc/UKNC.rom"), std::ios::binary);
    std::vector<uint8_t> rom((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    rom.resize(uknc_rom_size, 0xFF);
    // The boot sector: NOP, then BR . with the drive's motor still turning.
    std::memset(uknc_floppy.images[0], 0, uknc_image_size);
    poke_word(uknc_floppy.images[0], 0, 0240);
    poke_word(uknc_floppy.images[0], 2, 000777);
    uknc_floppy.inserted[0] = true;
    auto frames = [](int from, int to) {
        testing::internal::CaptureStdout();
        for (int frame = from; frame < to; ++frame)
            uknc_menu_boot_frame(frame);
        testing::internal::GetCapturedStdout();
    };
    bool saw_reading = false;
    for (int save_at : {205, 209, 260}) {
        SCOPED_TRACE(save_at);
        testing::internal::CaptureStdout();
        full_complex(rom);
        testing::internal::GetCapturedStdout();
        frames(0, save_at);
        // From 209 on to the first frame that ends with the drive inside a sector.
        const FloppyDrive& drive = uknc_floppy.drives[0];
        for (int frame = save_at; save_at == 209 && frame < 260 && drive.state == UKNC_DRIVE_IDLE; ++frame)
            frames(frame, frame + 1);
        saw_reading = saw_reading || drive.state != UKNC_DRIVE_IDLE;
        const MemoryState saved = memory_state_save(workstation_state_save);
        const std::vector<Frame> first = run(15);
        testing::internal::CaptureStdout();
        workstation_restart();
        testing::internal::GetCapturedStdout();
        MemoryReader reader(saved);
        std::string why;
        ASSERT_TRUE(workstation_state_check(reader.get(), &why)) << why;
        workstation_state_load(reader.get());
        const std::vector<Frame> second = run(15);
        for (size_t i = 0; i < first.size(); ++i)
            ASSERT_TRUE(first[i] == second[i]) << "frame " << i + 1 << " after the load differs";
    }
    EXPECT_TRUE(saw_reading) << "no state was taken while the drive was at work";
    uknc_floppy.inserted[0] = false;
}

namespace {

// A damage to a valid state and the reason check() must give.
struct BadState {
    const char* name;
    std::function<void(MemoryState&)> damage;
    const char* reason; // part of the message
};

// Field offsets inside sections, as the field lists lay them out.
constexpr size_t cpu_step_offset = 28 * 4;   // after the 28 words of a PDP-11
constexpr size_t settings_x_scale = 2 * 4;   // after the palette index and step
constexpr size_t floppy_first_track = 2 + 2 + 2 + 4 * 1024;

void put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes.at(offset + k) = uint8_t(value >> (8 * k));
}

} // namespace

TEST(WorkstationState, DamagedStatesAreRefusedAndChangeNothing)
{
    testing::internal::CaptureStdout();
    full_complex(synthetic_rom());
    testing::internal::GetCapturedStdout();
    run(4);
    const MemoryState good = memory_state_save(workstation_state_save);
    run(2);
    const MemoryState running = memory_state_save(workstation_state_save);

    const BadState cases[] = {
        {"no CPU section", [](MemoryState& s) { s.erase(state_tag("UKCP")); }, "no CPU section"},
        {"short PPU section", [](MemoryState& s) { s[state_tag("UKPP")].pop_back(); }, "PPU section has the wrong size"},
        {"long device section", [](MemoryState& s) { s[state_tag("UKDV")].push_back(0); }, "wrong size"},
        {"short main memory", [](MemoryState& s) { s[state_tag("UKMB")].resize(100); }, "UKNC memory"},
        {"no disk image 1", [](MemoryState& s) { s.erase(state_tag("DSK1")); }, "disk image 1"},
        {"unknown CPU step", [](MemoryState& s) { put32(s[state_tag("UKPP")], cpu_step_offset, 0xFFFF); }, "step"},
        {"PPU with no step", [](MemoryState& s) { put32(s[state_tag("UKPP")], cpu_step_offset, 0); }, "step"},
        {"speed factor 0", [](MemoryState& s) { put32(s[state_tag("UKPP")], 4 * 21, 0); }, "speed factor"},
        {"speaker level 5",
         [](MemoryState& s) { auto& d = s[state_tag("UKDV")]; put32(d, d.size() - 13, 5); },
         "speaker"},
        {"X-scale 7", [](MemoryState& s) { put32(s[state_tag("UKST")], settings_x_scale, 7); }, "X-scale"},
        {"palette 9", [](MemoryState& s) { put32(s[state_tag("UKST")], 0, 9); }, "palette"},
        {"track 90", [](MemoryState& s) { put32(s[state_tag("FDCR")], floppy_first_track, 90); }, "floppy"},
        {"unterminated name",
         [](MemoryState& s) { std::memset(s[state_tag("FDCR")].data() + 6, 'x', 1024); },
         "not terminated"},
        {"saved without the KSM", [](MemoryState& s) { s[state_tag("UKCF")][4 + 4] = 0; }, "KSM"},
        {"other cores", [](MemoryState& s) { s[state_tag("UKCF")][12] ^= 1; }, "processor cores"},
        {"newer layout", [](MemoryState& s) { s[state_tag("UKCF")][0] = 2; }, "another version"},
        {"KSM step out of range", [](MemoryState& s) { auto& k = s[state_tag("KSMR")]; k[k.size() - 8] = 0xFF; k[k.size() - 7] = 0xFF; }, "KSM"},
    };
    for (const BadState& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryState bad = good;
        c.damage(bad);
        MemoryReader reader(bad);
        std::string why;
        EXPECT_FALSE(workstation_state_check(reader.get(), &why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_EQ(memory_state_save(workstation_state_save), running) << "the running machine changed";
    }
    // The undamaged state passes.
    MemoryReader reader(good);
    std::string why;
    EXPECT_TRUE(workstation_state_check(reader.get(), &why)) << why;
}

// Through the program: the real ROM boots a disk whose boot sector keeps writing the video
// planes through the CPU's window. A state saved at frame 250 and loaded by a second run
// (without the disk image file: it comes from the state) gives the same pictures later on;
// a third run with another UKNC.rom refuses the state, naming the file.
TEST(WorkstationState, TheProgramSavesAndLoadsStatesWithTheRealRom)
{
    KORVEL_NEED_ROM("uknc/UKNC.rom");
    namespace fs = std::filesystem;
    const fs::path rom = korvel_test::rom_path("uknc/UKNC.rom");
    const fs::path first = korvel_test::make_data_dir("korvel_uknc_state_a");
    const fs::path second = korvel_test::make_data_dir("korvel_uknc_state_b");
    const fs::path third = korvel_test::make_data_dir("korvel_uknc_state_c");
    for (const fs::path& dir : {first, second})
        fs::copy_file(rom, dir / "UKNC.rom");
    std::vector<uint8_t> other_rom(fs::file_size(rom));
    std::ifstream(rom, std::ios::binary).read(reinterpret_cast<char*>(other_rom.data()), long(other_rom.size()));
    other_rom[100] ^= 1;
    korvel_test::write_file(third / "UKNC.rom", other_rom);

    // NOP; MTPS #340; MOV #20000,R0; loop: MOV R0,@#176640; MOV R1,@#176642; INC R1;
    // INC R0; BIS #20000,R0; BR loop (video addresses from 020000 up: the program's own
    // words, video words 0-17, stay untouched)
    std::vector<uint8_t> image(uknc_image_size, 0);
    const uint16_t program[] = {0240,   0106427, 0340,   012700, 020000, 010037, 0176640,
                                010137, 0176642, 005201, 005200, 052700, 020000, 000767};
    for (size_t i = 0; i < std::size(program); ++i)
        poke_word(image.data(), uint32_t(2 * i), program[i]);
    korvel_test::write_file(first / "System.dsk", image);

    const char* keys = "150 1 down\n153 1 up\n200 ENTER down\n203 ENTER up\n";
    const std::string shots = " --frames 400 --screenshot-at 300 --screenshot-at 390";
    korvel_test::HeadlessRun a = korvel_test::run_headless(first, "uknc", "--save-state-at 250" + shots, "", keys);
    ASSERT_EQ(a.status, 0) << a.console;
    ASSERT_NE(a.console.find("Saving State_000.kst"), std::string::npos) << a.console;
    fs::copy_file(first / "State_000.kst", second / "saved.kst");
    fs::copy_file(first / "State_000.kst", third / "saved.kst");

    korvel_test::HeadlessRun b = korvel_test::run_headless(second, "uknc", "--load-state saved.kst" + shots);
    ASSERT_EQ(b.status, 0) << b.console;
    std::vector<uint8_t> pictures[2];
    for (int n = 0; n < 2; ++n) {
        korvel_test::Shot saved_run, loaded_run;
        ASSERT_TRUE(korvel_test::read_png(first / korvel_test::screenshot_name(n), &saved_run)) << a.console;
        ASSERT_TRUE(korvel_test::read_png(second / korvel_test::screenshot_name(n), &loaded_run)) << b.console;
        EXPECT_EQ(saved_run.width, loaded_run.width);
        EXPECT_TRUE(saved_run.rgb == loaded_run.rgb) << "screenshot " << n << " differs";
        pictures[n] = saved_run.rgb;
    }
    EXPECT_FALSE(pictures[0] == pictures[1]) << "the boot sector's program did not run";

    korvel_test::HeadlessRun c = korvel_test::run_headless(third, "uknc", "--load-state saved.kst --frames 10");
    EXPECT_EQ(c.status, 1) << c.console;
    EXPECT_NE(c.console.find("UKNC.rom"), std::string::npos) << c.console;
    for (const fs::path& dir : {first, second, third})
        fs::remove_all(dir);
}
