// The UKNC's speaker: read-modify-write instructions on 0177716 and the flips they record,
// then headless runs whose WAV carries a timer-driven tone at the PPU program's rate, or
// silence when only bits 8-11 move.
#include "support/headless.h"
#include "workstation_test_support.h"

#include "host/beeper.h"

namespace {

Workstation& ws = workstation;
namespace fs = std::filesystem;

// Each instruction's result goes to 06000, 06002, ...; only bit 7's changes are flips,
// and the byte forms leave the high byte (the CPU's control bits) alone.
TEST(WorkstationSound, SystemRegisterReadModifyWriteAndFlips)
{
    const struct {
        std::initializer_list<uint16_t> instruction;
        uint16_t expected;
    } steps[] = {
        {{012737, 017440, 0177716}, 017440},  // MOV #17440: bits 8-12 and 5, no flip
        {{052737, 000200, 0177716}, 017640},  // BIS #200
        {{042737, 000200, 0177716}, 017440},  // BIC #200
        {{074037, 0177716}, 017640},          // XOR R0 (R0 = 200)
        {{0142737, 000200, 0177716}, 017440}, // BICB #200
        {{0152737, 000200, 0177716}, 017640}, // BISB #200
        {{042737, 017400, 0177716}, 000240},  // BIC #17400: no flip
        {{0112737, 000001, 0177716}, 000001}, // MOVB #1
    };
    Pdp11Program p(0160300);
    p.w({012706, 001000, 012700, 000200});
    for (size_t i = 0; i < std::size(steps); ++i)
        p.w(steps[i].instruction).w({013737, 0177716, uint16_t(06000 + 2 * i)});
    p.label("idle").branch(000400, "idle");
    p.resolve();
    workstation_test_complex();
    p.store(ws.rom, p.origin - 0100000);
    workstation_restart();
    sample_phase = 0;
    samples_per_frame_x256 = 960 << 8;
    workstation_run_frame();

    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(peek_word(ws.ppuMemory, 06000 + 2 * uint32_t(i)), steps[i].expected) << i;
    ASSERT_EQ(ws.speakerEdgeCount, 6);
    for (int k = 1; k < ws.speakerEdgeCount; ++k)
        EXPECT_LT(ws.speakerEdges[k], ws.speakerEdges[k - 1]); // the budget falls
    workstation_speaker_samples();
    EXPECT_EQ(ws.speakerEdgeCount, 0);
    EXPECT_EQ(SampleBuffer[20].left, beeper_low);
    EXPECT_EQ(SampleBuffer[959].right, beeper_low);
    // A present with no frame ended since (a repeated frame) holds the level.
    SampleBuffer[5].left = 0;
    workstation_speaker_samples();
    EXPECT_EQ(SampleBuffer[5].left, beeper_low);
}

// The timer at 4 us per tick and reload `ticks`; its interrupt XORs `bits` into 0177716.
std::vector<int16_t> run_tone(const fs::path& dir, uint16_t ticks, uint16_t bits, int frames)
{
    Pdp11Program p(0160300);
    p.w({012706, 001000, 012737}).address_of("tick").w({000304, 012737, 000200, 000306});
    p.w({012701, bits, 042737, 017600, 0177716});   // MOV #bits,R1; BIC #17600,@#177716
    p.w({012737, ticks, 0177712, 005737, 0177714}); // reload; TST @#177714
    p.w({012737, 000103, 0177710});                 // interrupt, 4 us, run
    p.label("idle").branch(000400, "idle");
    p.label("tick").w({074137, 0177716, 005737, 0177714, 000002}); // XOR R1; TST; RTI
    p.resolve();
    std::vector<uint8_t> rom(uknc_rom_size, 0xFF);
    p.store(rom.data(), p.origin - 0100000);
    korvel_test::write_file(dir / "UKNC.rom", rom);
    // At 50 frames a second an emulated frame (20 ms) is exactly a frame of samples.
    const std::string options = "--fps 50 --frames " + std::to_string(frames) + " --wav out.wav";
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", options);
    EXPECT_EQ(run.status, 0) << run.console;
    std::string bytes = korvel_test::slurp(dir / "out.wav");
    std::vector<int16_t> left;
    for (size_t i = 44 + 960 * 4; i + 3 < bytes.size(); i += 4) // from the second frame
        left.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    EXPECT_GE(left.size(), size_t(frames - 2) * 960);
    return left;
}

TEST(WorkstationSound, TimerToneInTheWavAndSilenceWithoutBit7)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc_sound");
    // 284 ticks of 4 us between flips: 125000 / 284 = 440.14 Hz, measured over whole
    // periods between rising zero crossings.
    std::vector<int16_t> tone = run_tone(dir, 284, 000200, 60);
    size_t first = 0, last = 0, periods = 0;
    for (size_t i = 1; i < tone.size(); ++i)
        if (tone[i - 1] < 0 && tone[i] >= 0) {
            periods += first != 0;
            (first ? last : first) = i;
        }
    ASSERT_GT(periods, 0u);
    EXPECT_NEAR(48000.0 * double(periods) / double(last - first), 125000.0 / 284, 125000.0 / 284 / 100);
    EXPECT_EQ(*std::min_element(tone.begin(), tone.end()), beeper_low);
    EXPECT_EQ(*std::max_element(tone.begin(), tone.end()), beeper_high);

    std::vector<int16_t> quiet = run_tone(dir, 284, 007400, 30);
    EXPECT_EQ(std::count(quiet.begin(), quiet.end(), beeper_low), std::ptrdiff_t(quiet.size()));
    fs::remove_all(dir);
}

} // namespace
