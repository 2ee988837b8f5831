// Console debugger commands driven from an in-memory console.
#include "ms0515_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Ms0515Debugger : public testing::Test {
protected:
    FILE* input = nullptr;
    std::string text;

    void SetUp() override
    {
        ms0515_test_machine();
        // 0x1000: NOP ; JSR PC,@#2000 ; NOP ... 0x2000: NOP ; RTS PC
        ms0515_poke_words(0x1000, {0240, 004737, 0x2000, 0240, 0240});
        ms0515_poke_words(0x2000, {0240, 000207});
        Pdp11Cpu& cpu = ms0515.cpu;
        cpu.r[7] = 0x1000;
        cpu.r[6] = 0x0800;
        cpu.psw = 0;
        cpu.prefetchAddress = 0x1000;
        cpu.prefetch = 0240;
        cpu.cycleBudget = 1 << 24;
    }
    void TearDown() override
    {
        if (input)
            std::fclose(input);
    }
    void console(const char* commands)
    {
        text = commands;
        input = fmemopen(text.data(), text.size(), "r");
        ms0515.debugIn = input;
    }
    uint32_t pc() { return ms0515.cpu.r[7]; }
};

TEST_F(Ms0515Debugger, RunToAddressThenRunToRts)
{
    console("e 0\n");
    ms0515.command = 'r';
    ms0515.breakAddress = 0x2000;
    CaptureStdout();
    for (int i = 0; i < 10 && pc() != 0x2000; ++i)
        ms0515_execute_boundary();
    EXPECT_EQ(pc(), 0x2000u);
    ms0515_execute_boundary(); // stops here, reads "e", runs the NOP
    EXPECT_EQ(ms0515.command, 'e');
    EXPECT_EQ(pc(), 0x2002u);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("MEM_CON = 0x0000, SYSREG_A = 0x00\n R0=0000"), std::string::npos) << out;
    EXPECT_NE(out.find("PC=2000"), std::string::npos) << out;
    // "e": stop in front of the RTS; the input is at its end now.
    CaptureStdout();
    ms0515_execute_boundary();
    out = GetCapturedStdout();
    EXPECT_NE(out.find("PC=2002"), std::string::npos) << out;
    EXPECT_NE(out.find("Console input closed"), std::string::npos) << out;
    EXPECT_EQ(ms0515.command, 'r');
    EXPECT_EQ(ms0515.breakAddress, 1u);
    EXPECT_EQ(pc(), 0x1006u); // the RTS ran
}

TEST_F(Ms0515Debugger, JumpReloadsThePrefetchAndBareNewlineSingleSteps)
{
    console("j 2000\n\n");
    ms0515_poke_words(0x0800, {0x1006}); // where the RTS returns
    ms0515.command = 0;
    CaptureStdout();
    ms0515_execute_boundary(); // stop, read "j 2000", run the NOP at 0x1000
    EXPECT_EQ(pc(), 0x1002u);
    ms0515_execute_boundary(); // jump, stop, read "\n", run the NOP at 0x2000
    EXPECT_EQ(pc(), 0x2002u);
    EXPECT_EQ(ms0515.command, '\n');
    ms0515_execute_boundary(); // single step: stop, end of input, run the RTS
    std::string out = GetCapturedStdout();
    EXPECT_EQ(pc(), 0x1006u);
    size_t stops = 0;
    for (size_t at = out.find("CPU (Main)   "); at != std::string::npos; at = out.find("CPU (Main)   ", at + 1))
        ++stops;
    EXPECT_EQ(stops, 3u) << out;
}

TEST_F(Ms0515Debugger, EndOfInputInsideAnAddressAlsoRunsOn)
{
    console("r");
    ms0515.command = 0;
    CaptureStdout();
    ms0515_execute_boundary();
    ms0515.command = 0; // later stops (F8) are silent once the console is gone
    ms0515_execute_boundary();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(ms0515.command, 'r');
    EXPECT_EQ(ms0515.breakAddress, 1u);
    EXPECT_EQ(out.find("CPU (Main)"), out.rfind("CPU (Main)")); // one prompt only
    size_t at = out.find("Console input closed");
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(out.find("Console input closed", at + 1), std::string::npos);
}

TEST_F(Ms0515Debugger, AddressesAreTakenWholeAndNonNumbersAreRefused)
{
    // 0x11002 is no 16-bit address: the run goes past 0x1002 without stopping.
    console("r 11002\n");
    ms0515.command = 0;
    CaptureStdout();
    for (int i = 0; i < 3; ++i)
        ms0515_execute_boundary();
    std::string out = GetCapturedStdout();
    EXPECT_EQ(pc(), 0x2002u);
    EXPECT_EQ(out.find("CPU (Main)"), out.rfind("CPU (Main)")) << out;
    EXPECT_EQ(ms0515.breakAddress, 0x11002u);

    // Text that is no number is reported and its line dropped, never run as commands;
    // a letter and the end of its line take no number, and the next line stays unread.
    SetUp();
    console("rz\nr zz 10\ne\nj 1000\n");
    ms0515.command = 0;
    ms0515.breakAddress = 0x2000;
    CaptureStdout();
    ms0515_execute_boundary(); // stop at 0x1000: two lines refused, "e" read, the NOP runs
    out = GetCapturedStdout();
    EXPECT_EQ(ms0515.command, 'e');
    EXPECT_EQ(ms0515.breakAddress, 0x2000u);
    EXPECT_NE(out.find("Not a number: z\nNot a number: zz\n"), std::string::npos) << out;
    char rest[16] = {};
    ASSERT_NE(std::fgets(rest, sizeof rest, input), nullptr);
    EXPECT_STREQ(rest, "j 1000\n");
}

TEST_F(Ms0515Debugger, FrameCommandEndsTheFrameStopped)
{
    console("");
    ms0515.command = 'f';
    ms0515.cpu.cycleBudget = -1;
    // Loop at 0x1000 forever: BR .
    ms0515_poke_words(0x1000, {000777});
    ms0515.cpu.prefetch = 000777;
    CaptureStdout();
    ms0515_run_frame();
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("One frame done...\n"), std::string::npos) << out;
    EXPECT_EQ(ms0515.command, 0);
    EXPECT_LT(ms0515.cpu.cycleBudget, 0);
    EXPECT_GT(ms0515.cpu.cycleBudget, -256 * 100);
}

TEST_F(Ms0515Debugger, RunToRtsKeepsPresentingSoF8CanStopIt)
{
    console("");
    ms0515_poke_words(0x1000, {000777}); // BR . : no RTS ever comes
    ms0515.cpu.prefetch = 000777;
    ms0515.command = 'e';
    ms0515.cpu.cycleBudget = -1;
    for (auto& k : KeyState)
        k = 0;
    uint32_t frames = host_frame_count;
    ms0515_run_frame();
    EXPECT_EQ(host_frame_count, frames + 1);
    KeyState[0x42] = 0x80; // F8, seen because the frame was presented
    CaptureStdout();
    ms0515_run_frame();
    KeyState[0x42] = 0;
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("PC=1000"), std::string::npos) << out; // it stopped at the prompt
    EXPECT_NE(ms0515.command, 'e');
}

TEST_F(Ms0515Debugger, HotKeysFrameDelayAndBlink)
{
    console("");
    ms0515_poke_words(0x1000, {000777});
    ms0515.cpu.prefetch = 000777;
    CaptureStdout();
    for (auto& k : KeyState)
        k = 0;
    KeyState[0xC9] = 0x80; // PgUp
    ms0515_run_frame();
    ms0515_run_frame(); // held: no second step
    KeyState[0xC9] = 0;
    KeyState[0xD1] = 0x80; // PgDn twice: not below 0
    ms0515_run_frame();
    KeyState[0xD1] = 0;
    ms0515_run_frame();
    KeyState[0xD1] = 0x80;
    ms0515_run_frame();
    KeyState[0xD1] = 0;
    EXPECT_EQ(GetCapturedStdout(), "Frame Delay = 1\nFrame Delay = 0\nFrame Delay = 0\n");

    ms0515.blinkCounter = 16;
    ms0515.blinkPhase = 0;
    int flips[2] = {0, 0}, n = 0;
    for (int frame = 1; frame <= 40 && n < 2; ++frame) {
        uint8_t before = ms0515.blinkPhase;
        ms0515_run_frame();
        if (ms0515.blinkPhase != before)
            flips[n++] = frame;
    }
    EXPECT_EQ(flips[0], 18);
    EXPECT_EQ(flips[1], 36);
}

} // namespace
