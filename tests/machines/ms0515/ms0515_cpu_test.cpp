// The machine around the processor: start state, bus slots, HALT redirect, interrupts,
// and the picture.
#include "ms0515_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Ms0515Cpu : public testing::Test {
protected:
    void SetUp() override { ms0515_test_machine(); }
    Pdp11Cpu& cpu() { return ms0515.cpu; }
    // Places the processor at pc with psw, prefetch loaded as at any boundary.
    void start_at(uint16_t pc, uint32_t psw)
    {
        cpu().r[7] = pc;
        cpu().psw = psw;
        cpu().prefetchAddress = pc;
        cpu().prefetch = ms0515_read_word(pc);
        cpu().busOperation = cpu().opFetch;
        cpu().stepHandler = pdp11_decode_step;
        cpu().cycleBudget = 1 << 24;
    }
    void steps(int n)
    {
        for (int i = 0; i < n; ++i)
            ms0515_execute_boundary();
    }
};

TEST_F(Ms0515Cpu, StartStateFetchesFromTheRomMonitor)
{
    ms0515_poke_words(ms0515_rom + 0x3400, {012700, 0x1234, 0});
    ms0515_setup_cpu();
    EXPECT_EQ(cpu().r[7], 0172000u);
    EXPECT_EQ(cpu().r[6], 01000u);
    EXPECT_EQ(cpu().psw, 0x01E0u);
    EXPECT_EQ(cpu().prefetch, 012700u);
    EXPECT_EQ(cpu().prefetchAddress, 0172000u);
    EXPECT_EQ(cpu().haltBase, 0xE000u);
    cpu().cycleBudget = 100000;
    ms0515_execute_boundary();
    EXPECT_EQ(cpu().r[0], 0x1234u);
    EXPECT_EQ(cpu().r[7], 0172004u);
    EXPECT_EQ(100000 - cpu().cycleBudget, 24 * 256); // MOV #n,R0
}

TEST_F(Ms0515Cpu, HaltInstructionGoesTo172004WithoutHaltMode)
{
    ms0515_poke_words(0x1000, {0});                   // HALT
    ms0515_poke_words(ms0515_rom + 0x3404, {012701, 0x0777}); // MOV #777,R1 at 0172004
    start_at(0x1000, 0);
    steps(2);
    EXPECT_EQ(cpu().r[1], 0x0777u);
    EXPECT_EQ(cpu().psw & PDP11_HALT_MODE, 0u);
    EXPECT_EQ(cpu().r[7], 0172010u);
}

TEST_F(Ms0515Cpu, KeyboardInterruptWaitsForPriorityBelow4)
{
    // 0x1000: MTPS #0 ; NOP ; NOP.  Vector 0130 -> 0x2000 with PSW 0.
    ms0515_poke_words(0x1000, {0106427, 0, 0240, 0240});
    ms0515_poke_words(0130, {0x2000, 0});
    ms0515_poke_words(0x2000, {0240});
    start_at(0x1000, 0200); // priority 4
    ms0515.MsPendingInterrupts = MS0515_IRQ_KEYBOARD;
    steps(1); // MTPS runs; the request still waits
    EXPECT_EQ(cpu().r[7], 0x1004u);
    EXPECT_EQ(ms0515.MsPendingInterrupts, MS0515_IRQ_KEYBOARD);
    steps(1); // taken before the NOP
    EXPECT_EQ(ms0515.MsPendingInterrupts, 0u);
    EXPECT_EQ(cpu().r[7], 0x2000u);
    EXPECT_EQ(cpu().r[6], 01000u - 4);
    EXPECT_EQ(ms0515_read_word(01000 - 4), 0x1004u); // pushed PC
}

TEST_F(Ms0515Cpu, KeyboardRequestEndsWithTheQueueOfAPollingSystem)
{
    // A system starting at priority 7 resets the keyboard, polls both reply bytes out of
    // the queue, then lowers its priority before it has set vector 0130 (still 0: the
    // request would run into address 0, where a monitor-falling HALT waits).
    ms0515_poke_words(0x1000, {
        0112737, 0xAB, 0177460, // MOVB #0xAB,@#177460: reset, replies 0x01 0x00
        0105737, 0177442,       // 1: TSTB... status bit 1 polled below
        0032737, 2, 0177442,    // BIT #2,@#177442
        0001773,                // BEQ 1 (back to the TSTB)
        0113700, 0177440,       // MOVB @#177440,R0
        0113701, 0177440,       // MOVB @#177440,R1
        0106427, 0,             // MTPS #0
        0240, 0240, 0240,       // NOP x3
    });
    start_at(0x1000, 0340);
    steps(1);
    // The frame start raises the request because bytes wait.
    ms0515.MsPendingInterrupts |= MS0515_IRQ_KEYBOARD;
    ms0515.keyboard.status |= 2;
    steps(7);
    EXPECT_EQ(cpu().r[0], 0x01u);
    EXPECT_EQ(cpu().r[1], 0x00u);
    EXPECT_EQ(ms0515.MsPendingInterrupts, 0u); // withdrawn with the last byte
    steps(2);
    EXPECT_EQ(cpu().r[7], 0x1024u) << "a stale keyboard interrupt was taken";
    // The next byte raises it again and it is taken at priority 0.
    ms0515_poke_words(0130, {0x2000, 0340});
    ms0515_poke_words(0x2000, {0240});
    ms0515_keyboard_send(ms0515.keyboard, 0xD2);
    ms0515.MsPendingInterrupts |= MS0515_IRQ_KEYBOARD;
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x2000u);
    // A request the handler does not consume in time is withdrawn by the read that empties
    // the queue, also when the read finds it empty.
    ms0515.MsPendingInterrupts |= MS0515_IRQ_KEYBOARD;
    EXPECT_EQ(ms0515_read_word(0177440), 0xD2);
    EXPECT_EQ(ms0515.MsPendingInterrupts, 0u);
}

TEST_F(Ms0515Cpu, BootLoaderSeesNotBusyAfterTheLastByte)
{
    // Reads track 0 sector 1 into 0x4000, then checks the status as boot loaders do:
    // busy (bit 0) after the last byte is an error (the loop at 0x102C).
    for (uint32_t i = 0; i < 512; ++i)
        ms0515.systemImage[i] = static_cast<uint8_t>(i * 5 + 1);
    ms0515_poke_words(0x1000, {
        012737, 1, 0177644,     // sector 1
        012737, 0200, 0177640,  // READ SECTOR
        012700, 0x4000,         // MOV #0x4000,R0
        012701, 512,            // MOV #512.,R1
        0113720, 0177646,       // 1: MOVB @#177646,(R0)+
        077103,                 // SOB R1,1
        0032737, 1, 0177640,    // BIT #1,@#177640
        0001005,                // BNE error
        0032737, 1, 0177640,    // BIT #1,@#177640 (a second look)
        0001001,                // BNE error
        0000777,                // 0x102A: BR . : done
        0000777,                // 0x102C: error: BR .
    });
    start_at(0x1000, 0340);
    steps(4 + 2 * 512 + 6);
    EXPECT_EQ(cpu().r[7], 0x102Au);
    EXPECT_EQ(ms0515_read_byte(0x4000 + 511), static_cast<uint8_t>(511 * 5 + 1));
}

TEST_F(Ms0515Cpu, PendingRequestsAreTakenInOrderOnePerBoundary)
{
    ms0515_poke_words(024, {0x3000, 0340});
    ms0515_poke_words(064, {0x3100, 0});
    ms0515_poke_words(0130, {0x3200, 0});
    ms0515_poke_words(0x3000, {0240});
    ms0515_poke_words(0x3100, {0240});
    ms0515_poke_words(0x3200, {0240});
    ms0515_poke_words(0x1000, {0240, 0240});
    start_at(0x1000, 0);
    ms0515.MsPendingInterrupts = MS0515_IRQ_KEYBOARD | MS0515_IRQ_MEMCON;
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x3100u);
    EXPECT_EQ(ms0515.MsPendingInterrupts, MS0515_IRQ_KEYBOARD);
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x3200u);
    // 024 outranks 064 and its PSW of priority 7 then holds everything else.
    start_at(0x1000, 0);
    ms0515.MsPendingInterrupts = MS0515_IRQ_024 | MS0515_IRQ_MEMCON;
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x3000u);
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x3002u);
    EXPECT_EQ(ms0515.MsPendingInterrupts, MS0515_IRQ_MEMCON);
}

TEST_F(Ms0515Cpu, MemConWriteFromTheProgramRaisesVector064)
{
    // MOV #0400,@#177400 ; NOP
    ms0515_poke_words(0x1000, {012737, 0400, 0177400, 0240});
    ms0515_poke_words(064, {0x3100, 0});
    start_at(0x1000, 0);
    steps(1);
    EXPECT_EQ(ms0515.memCon, 0400);
    // MEM_CON 0400 maps pages 0-5 to bank B: the vector is read there.
    ms0515.memory[ms0515_bank_b + 064] = 0x00;
    ms0515.memory[ms0515_bank_b + 065] = 0x31;
    ms0515_poke_words(ms0515_bank_b + 0x3100, {0240});
    steps(1);
    EXPECT_EQ(cpu().r[7], 0x3100u);
}

TEST_F(Ms0515Cpu, SelfModifyingWordWriteInvalidatesThePrefetch)
{
    // MOV R0,@#1004 rewrites the instruction that is already prefetched.
    ms0515_poke_words(0x1000, {010037, 0x1004, 0240});
    start_at(0x1000, 0);
    cpu().r[0] = 005201; // INC R1
    steps(2);
    EXPECT_EQ(cpu().r[1], 1u);
}

TEST_F(Ms0515Cpu, RenderMonochromeAndColourWithBlink)
{
    const uint32_t w = 1200, h = 960;
    std::vector<uint32_t> pixels(w * h, 0xABCDEF);
    uint8_t* video = ms0515.memory + ms0515_video;
    auto px = [&](int line, int x) { return pixels[(h / 2 - 199 + 2 * line) * w + w / 2 - 320 + x]; };

    ms0515.videoMode = 0x08 | 2; // mono, background 2 (red), foreground 5
    video[0] = 0x80;
    video[80 * 199 + 79] = 0x01;
    ms0515_render(pixels.data(), w, w, h);
    EXPECT_EQ(px(0, 0), 0x00D5D5u);
    EXPECT_EQ(px(0, 1), 0xD50000u);
    EXPECT_EQ(px(199, 639), 0x00D5D5u);
    EXPECT_EQ(px(199, 638), 0xD50000u);
    EXPECT_EQ(pixels[(h / 2 - 198) * w + w / 2 - 320], 0xABCDEFu); // odd rows untouched
    EXPECT_EQ(pixels[(h / 2 - 199) * w + w / 2 - 321], 0xABCDEFu);

    ms0515.videoMode = 0; // colour
    video[0] = 0x80;      // pattern
    video[1] = 0x80 | 0x40 | (3 << 3) | 1; // blink, bright blue on bright magenta
    ms0515_render(pixels.data(), w, w, h);
    EXPECT_EQ(px(0, 0), 0x0000FFu);
    EXPECT_EQ(px(0, 1), 0x0000FFu);
    EXPECT_EQ(px(0, 2), 0xFF00FFu); // bits 3-6: bit 6 is the background's intensity
    ms0515.blinkPhase = 1;
    ms0515_render(pixels.data(), w, w, h);
    EXPECT_EQ(px(0, 0), 0xFF00FFu);
    EXPECT_EQ(px(0, 2), 0x0000FFu);
    video[1] = 0x0F; // background bits 3-6 = 1, foreground 7; no blink bit
    ms0515_render(pixels.data(), w, w, h);
    EXPECT_EQ(px(0, 0), 0xD5D5D5u);
    EXPECT_EQ(px(0, 3), 0x0000D5u);
}

} // namespace
