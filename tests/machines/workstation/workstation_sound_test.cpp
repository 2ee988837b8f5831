// The UKNC's speaker: read-modify-write instructions on 0177716 and the level changes
// they record, then whole headless runs whose WAV files carry a timer-driven tone at
// the rate the PPU program asks for, or silence when bit 7 never moves.
#include "support/headless.h"
#include "workstation_test_support.h"

#include "host/beeper.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

Workstation& ws = workstation;
namespace fs = std::filesystem;

// Every form real programs use on 0177716 keeps the bits it does not touch; only the
// changes of bit 7 are speaker edges, and the byte forms leave the high byte alone.
TEST(WorkstationSound, SystemRegisterReadModifyWriteAndEdges)
{
    Pdp11Program p(0160300);
    p.w({012706, 001000});                 // MOV #1000,SP
    p.w({012700, 000200});                 // MOV #200,R0
    p.w({012737, 017440, 0177716});        // MOV #17440,@#177716: bits 8-12 and 5, no sound
    const struct {
        std::initializer_list<uint16_t> instruction;
        uint16_t expected;
    } steps[] = {
        {{052737, 000200, 0177716}, 017640},  // BIS #200
        {{042737, 000200, 0177716}, 017440},  // BIC #200
        {{074037, 0177716}, 017640},          // XOR R0
        {{0142737, 000200, 0177716}, 017440}, // BICB #200
        {{0152737, 000200, 0177716}, 017640}, // BISB #200
        {{042737, 017400, 0177716}, 000240},  // BIC #17400: the mixer bits, no sound
        {{0112737, 000001, 0177716}, 000001}, // MOVB #1: the low byte only
    };
    uint16_t result = 06000;
    for (const auto& step : steps) {
        p.w(step.instruction);
        p.w({013737, 0177716, result});    // MOV @#177716,@#result
        result += 2;
    }
    p.label("idle").branch(000400, "idle");
    p.resolve();

    workstation_test_complex();
    p.store(ws.rom, p.origin - 0100000);
    workstation_restart();
    ws.PendingInterrupts[UKNC_PPU] = 0;
    sample_phase = 0;
    samples_per_frame_x256 = 960 << 8;
    workstation_run_frame();

    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(peek_word(ws.ppuMemory, 06000 + 2 * uint32_t(i)), steps[i].expected) << i;
    ASSERT_EQ(ws.speakerEdgeCount, 6); // BIS, BIC, XOR, BICB, BISB, MOVB #1
    for (int k = 1; k < ws.speakerEdgeCount; ++k)
        EXPECT_LT(ws.speakerEdges[k], ws.speakerEdges[k - 1]); // in time order, budget falling
    EXPECT_GT(ws.speakerEdges[5], 0);

    // All six flips lie in the frame's first samples: the frame sounds low from there on.
    workstation_speaker_samples();
    EXPECT_EQ(ws.speakerEdgeCount, 0);
    EXPECT_EQ(ws.speakerLevel, beeper_low);
    EXPECT_EQ(SampleBuffer[20].left, beeper_low);
    EXPECT_EQ(SampleBuffer[959].right, beeper_low);
    // A present with no frame ended since (a repeated frame) holds the level.
    SampleBuffer[5].left = 0;
    workstation_speaker_samples();
    EXPECT_EQ(SampleBuffer[5].left, beeper_low);

    // A restart starts low with nothing pending.
    ws.speakerEdgeCount = 3;
    workstation_restart();
    EXPECT_EQ(ws.speakerEdgeCount, 0);
    EXPECT_EQ(ws.speakerLevel, beeper_low);
}

// A PPU program that runs the timer at 4 us per tick with reload `ticks` and, from the
// timer interrupt, applies `toggle` (an XOR of R1 into 0177716); R1 = `bits`.
std::vector<uint8_t> tone_rom(uint16_t ticks, uint16_t bits)
{
    Pdp11Program p(0160300);
    p.w({012706, 001000});                          // MOV #1000,SP
    p.w({012737}).address_of("tick").w({000304});   // MOV #tick,@#304
    p.w({012737, 000200, 000306});                  // MOV #200,@#306
    p.w({012701, bits});                            // MOV #bits,R1
    p.w({042737, 017600, 0177716});                 // BIC #17600,@#177716: sound init
    p.w({012737, ticks, 0177712});                  // MOV #ticks,@#177712
    p.w({005737, 0177714});                         // TST @#177714
    p.w({012737, 000103, 0177710});                 // interrupt, 4 us, run
    p.label("idle").branch(000400, "idle");
    p.label("tick").w({074137, 0177716});           // XOR R1,@#177716
    p.w({005737, 0177714});                         // TST @#177714
    p.w({000002});                                  // RTI
    p.resolve();
    std::vector<uint8_t> rom(uknc_rom_size, 0xFF);
    p.store(rom.data(), p.origin - 0100000);
    return rom;
}

// Left channel of a 48 kHz stereo WAV written by --wav.
std::vector<int16_t> wav_left(const fs::path& path)
{
    std::string bytes = korvel_test::slurp(path);
    std::vector<int16_t> left;
    for (size_t i = 44; i + 3 < bytes.size(); i += 4)
        left.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return left;
}

// Frequency from the rising zero crossings, over whole periods.
double fundamental(const std::vector<int16_t>& s, size_t from)
{
    size_t first = 0, last = 0, periods = 0;
    for (size_t i = from + 1; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first == 0)
                first = i;
            else
                ++periods;
            last = i;
        }
    return periods ? 48000.0 * double(periods) / double(last - first) : 0.0;
}

TEST(WorkstationSound, TimerToneInTheWavAndSilenceWithoutBit7)
{
    fs::path dir = korvel_test::make_data_dir("korvel_uknc_sound");
    // 284 ticks of 4 us between flips: 125000 / 284 = 440.14 Hz. At 50 frames a second
    // the emulated frame (20 ms) is exactly a frame of samples.
    korvel_test::write_file(dir / "UKNC.rom", tone_rom(284, 000200));
    korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "uknc", "--fps 50 --frames 60 --wav tone.wav", "", "");
    EXPECT_EQ(run.status, 0) << run.console;
    std::vector<int16_t> tone = wav_left(dir / "tone.wav");
    ASSERT_GE(tone.size(), 59u * 960) << run.console;
    const double expected = 125000.0 / 284;
    EXPECT_NEAR(fundamental(tone, 960), expected, expected / 100);
    int16_t low = 0, high = 0;
    for (size_t i = 960; i < tone.size(); ++i) {
        low = std::min(low, tone[i]);
        high = std::max(high, tone[i]);
    }
    EXPECT_EQ(low, beeper_low);
    EXPECT_EQ(high, beeper_high);

    // The same timer flipping bits 8-11 only: a constant level from start to end.
    korvel_test::write_file(dir / "UKNC.rom", tone_rom(284, 007400));
    run = korvel_test::run_headless(dir, "uknc", "--fps 50 --frames 30 --wav quiet.wav", "", "");
    EXPECT_EQ(run.status, 0) << run.console;
    std::vector<int16_t> quiet = wav_left(dir / "quiet.wav");
    ASSERT_GE(quiet.size(), 29u * 960);
    size_t changes = 0;
    for (size_t i = 1; i < quiet.size(); ++i)
        changes += quiet[i] != quiet[0];
    EXPECT_EQ(changes, 0u);
    EXPECT_EQ(quiet[0], beeper_low);
    fs::remove_all(dir);
}

} // namespace
