// The KCGD: a synthetic GPU ROM that draws through its video window and answers the
// CPU, the ESC handling of the CPU's byte stream, the reply delay, the GPU's address map
// and interrupts, the keyboard map with repeat and shift filter, and the picture against
// an independent reading of video memory.
#include "dvk_test_support.h"

#include <algorithm>
#include <random>

namespace {

Workstation& ws = workstation;
KcgdBoard& kcgd = dvk.kcgd;

void start_gpu_test()
{
    Pdp11Program gpu = gpu_test_program();
    dvk_test_complex(gpu.words, gpu.origin);
}

TEST(DvkKcgd, CpuProgramSwitchesItOnByEscXAndGetsReplies)
{
    start_gpu_test();
    Pdp11Program p(01000);
    p.w({012737}).address_of("rx").w({000060, 012737, 0, 000062});
    p.w({012737, 0100, 0177560});                        // receiver interrupts
    p.w({012701}).address_of("bytes").w({012702, 8, 012703, 002000});
    p.label("send").w({0105737, 0177564}).branch(0100000, "send");
    p.w({0112137, 0177566});                             // MOVB (R1)+,@#177566
    p.w({012704, 400}).label("delay").sob(4, "delay");  // time for the reply
    p.sob(2, "send");
    p.label("idle").branch(000400, "idle");
    p.label("rx").w({0113723, 0177562, 000002});         // MOVB @#177562,(R3)+; RTI
    p.label("bytes").w({0xBC1B, 0x1B41, 0x1B58, 0x42BC}); // ESC, 0xBC, 'A', ESC, 'X', ESC, 0xBC, 'B'
    p.resolve();
    dvk_test_start_cpu(p);
    std::string out = dvk_test_frames(3);
    expect_in_order(out, {"KCGD: 'ESC <' remapped to 'ESC >'\n", "Videomode DVK KCGD Activated!\n"});
    EXPECT_EQ(out.find("remapped", out.find("Activated")), std::string::npos) << out;
    EXPECT_TRUE(ws.kcgdMode);
    EXPECT_EQ(workstation_display_mode(), 3);
    EXPECT_EQ(requested_client_width, 800u);
    EXPECT_EQ(requested_client_height, 480u);
    const uint8_t expected_log[] = {033, 0xBE, 'A', 033, 'X', 033, 0xBC, 'B'};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(kcgd.block[gpu_byte_log + i], expected_log[i]) << i;
    // Replies come only while the KCGD mode is on: to the three bytes after ESC X.
    const uint8_t expected_replies[] = {034, 0xBD, 'C', 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ws.cpuMemory[02000 + i], expected_replies[i]) << i;
    // The KCGD mode makes 0176640 non-existent for the CPU.
    ws.cpu.stepHandler = pdp11_decode_step;
    testing::internal::CaptureStdout();
    ws.CpuIoWriteWordTable[(0176640 >> 1) & 0xFFF](0176640, 1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Write word to non-existent CPU register 0xFDA0"),
              std::string::npos);
    EXPECT_EQ(ws.cpu.stepHandler, bus_error_trap);
    ws.cpu.stepHandler = pdp11_decode_step;
    // The mode word read back: attribute latched (2) inverted by control bit 6 (2): 0.
    EXPECT_EQ(peek_word(kcgd.block, gpu_mode_read), 0);

    // Keys now go to the KCGD (not the UKNC keyboard): the GPU takes them by interrupt.
    uint32_t uknc_producer = ws.keyboard.producer;
    std::memset(KeySnapshot, 0, 256);
    KeySnapshot[0x1E] = 0x80; // 'A'
    dvk_test_frames(1);
    std::memcpy(KeySnapshotPrev, KeySnapshot, 256);
    KeySnapshot[0x1E] = 0;
    KeySnapshot[0x2A] = 0x80; // Shift
    dvk_test_frames(2);
    std::memset(KeySnapshot, 0, 256);
    std::memset(KeySnapshotPrev, 0, 256);
    EXPECT_EQ(kcgd.block[gpu_key_log], 0xD2);
    EXPECT_EQ(kcgd.block[gpu_key_log + 1], 0xAE);
    EXPECT_EQ(kcgd.block[gpu_key_log + 2], 0);
    EXPECT_EQ(ws.keyboard.producer, uknc_producer);

    // The picture's first line as the GPU painted it.
    std::vector<uint32_t> picture(kcgd_width * kcgd_lines);
    kcgd_render(picture.data());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(kcgd.palette[i], 0x30 | i) << i;
    auto colour = [](int i) { return kcgd_colour(uint8_t(0x30 | i)); };
    for (int nibble = 0; nibble < 16; ++nibble) // four pixels a word, each doubled
        for (int x = 2 * nibble; x < 2 * nibble + 2; ++x)
            ASSERT_EQ(picture[x], colour(nibble)) << x;
    const int pairs[] = {0, 1, 2, 3, 3, 2, 1, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(picture[32 + i], colour(5 * pairs[i])) << i;
    for (int x = 40; x < kcgd_width; ++x)
        ASSERT_EQ(picture[x], colour(0)) << x;
}

TEST(DvkKcgd, ReplyReachesTheCpuAfterTheDelayOnThePpuBudget)
{
    dvk_test_complex();
    ws.kcgdMode = true;
    ws.cpuRxCsr[0] = 0x40;
    ws.ppu.cycleBudget = 500000;
    kcgd_reply(0x5A);
    EXPECT_EQ(kcgd.replyDue, 400000);
    const struct {
        int32_t budget;
        bool delivered;
    } steps[] = {{450000, false}, {400000, false}, {399999, true}};
    for (const auto& s : steps) {
        ws.ppu.cycleBudget = s.budget;
        kcgd_deliver_reply();
        EXPECT_EQ(bool(ws.cpuRxCsr[0] & 0x80), s.delivered) << s.budget;
    }
    EXPECT_EQ(ws.cpuRxData[0], 0x5A);
    EXPECT_TRUE(ws.PendingInterrupts[UKNC_CPU] & CPU_IRQ_CH0_RX);
    // The due point follows the PPU's budget over a frame start.
    kcgd_reply(0x11);
    int32_t due = kcgd.replyDue;
    dvk_frame_start();
    EXPECT_EQ(kcgd.replyDue, due + 256 * uknc_cycles_per_frame);
    // With the KCGD mode off the GPU's reply goes nowhere.
    ws.kcgdMode = false;
    kcgd.replyPending = false;
    kcgd_reply(0x22);
    EXPECT_FALSE(kcgd.replyPending);
}

// Reads and writes of the GPU at the edges of its address map.
TEST(DvkKcgd, GpuAddressMapAndInterruptOrder)
{
    dvk_test_complex();
    Pdp11Cpu& gpu = kcgd.gpu;
    poke_word(kcgd.block, kcgd_rom_offset, 0x4321);
    poke_word(kcgd.block, 0x7FFE, 0x1357);
    const struct {
        uint32_t address;
        bool write;
        uint16_t value;
        const char* message; // "" for none
        bool trap;
    } cases[] = {
        {0077776, false, 0x1357, "", false},
        {0100000, false, 0x4321, "", false},
        {0100000, true, 0x0000, "", false}, // the ROM keeps its word
        {0120000, false, 0, "Read word from non-existent GPU register 0xA000 from location PC = 0x", true},
        {0157776, true, 0, "Write word to non-existent GPU register 0xDFFE from location PC = 0x", true},
        {0170000, false, 0, "Read word from unrealized GPU register 0xF000 (*) from location PC=0x", false},
        {0170000, true, 0, "Write word to unrealized GPU register 0xF000 (*) from location PC = 0x", false},
        {0177564, false, 0x80, "", false},
        {0177566, false, 0, "", false},
    };
    for (const auto& c : cases) {
        gpu.stepHandler = pdp11_decode_step;
        gpu.busAddress = c.address;
        gpu.prefetchAddress = 1;
        testing::internal::CaptureStdout();
        if (c.write) {
            gpu.dataOut = 0;
            gpu.opWrite(&gpu);
        } else {
            gpu.opRead(&gpu);
            EXPECT_EQ(gpu.dataIn, c.value) << c.address;
        }
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.substr(0, std::string(c.message).size()), c.message) << c.address;
        EXPECT_EQ(gpu.stepHandler == bus_error_trap, c.trap) << c.address;
    }
    EXPECT_EQ(peek_word(kcgd.block, kcgd_rom_offset), 0x4321);

    // Requests in their order: 0x0040, 0x2000, 0x0800, 0x4000, 0x1000, 0x0080.
    const struct {
        uint32_t pending;
        uint32_t vector;
    } order[] = {{0x78C0, 0100}, {0x7880, 0360}, {0x5880, 0364}, {0x5080, 060}, {0x1080, 064}, {0x0080, 0304}};
    for (const auto& o : order) {
        gpu_setup();
        gpu.psw = 0;
        ws.PendingInterrupts[UKNC_GPU] = o.pending;
        EXPECT_TRUE(gpu_accept_interrupt());
        EXPECT_EQ(gpu.vector, o.vector);
    }
    EXPECT_EQ(ws.PendingInterrupts[UKNC_GPU], 0u);
    gpu_setup(); // priority 7 at start: nothing is taken
    ws.PendingInterrupts[UKNC_GPU] = 0x0040;
    EXPECT_FALSE(gpu_accept_interrupt());
}

// Frames of held host keys and the KCGD codes they queue.
TEST(DvkKcgd, KeyboardRepeatAndShiftFilter)
{
    dvk_test_complex();
    struct Step {
        std::vector<uint8_t> held; // host keys down in this frame
        int frames;
        std::vector<uint8_t> codes; // queued over these frames
    };
    const std::vector<Step> steps = {
        {{0x1E}, 1, {0xD2}},                       // 'A' press
        {{0x1E}, 30, {}},                           // held: counter 1..30
        {{0x1E}, 1, {0xD2}},                        // counter 31: repeat
        {{0x1E}, 3, {}},
        {{0x1E}, 1, {0xD2}},                        // every fourth frame
        {{}, 1, {}},                                // release (no release code), counter reset
        {{0x1E}, 1, {0xD2}},
        {{}, 1, {}},
        {{0x2A}, 40, {0xAE}},                       // Shift: state change only, no repeat
        {{0x2A, 0x03}, 1, {0xB3, 0xED, 0xAE}},      // Shift+2: combination record
        {{0x2A}, 1, {}},                            // its release sends nothing
        {{}, 1, {0xB3}},                            // Shift up: shift state off
        {{}, 1, {}},
        {{0x0D}, 1, {0xAE, 0xF9}},                  // '=': shift on, then the code
        {{}, 1, {0xB3}},
        {{0x1D}, 1, {0xAF}},                        // Ctrl: control on
        {{0x1D, 0x1E}, 1, {0xD2}},
        {{0x1D}, 1, {}},
        {{}, 1, {0xB3}},                            // Ctrl up: code 1 becomes 0xB3
        {{}, 1, {}},
        {{0x2A}, 1, {0xAE}},
        {{0x2A, 0x0D}, 1, {0xBF}},                  // Shift+'=': 0xAE filtered (already on)
    };
    uint8_t now[256] = {}, before[256] = {};
    int frame = 0;
    for (const Step& s : steps) {
        for (int f = 0; f < s.frames; ++f, ++frame) {
            std::memcpy(before, now, 256);
            std::memset(now, 0, 256);
            for (uint8_t key : s.held)
                now[key] = 0x80;
            kcgd_keyboard_feed(now, before);
        }
        std::vector<uint8_t> queued;
        while (kcgd.keyTail != kcgd.keyHead) {
            queued.push_back(kcgd.keyRing[kcgd.keyTail]);
            kcgd.keyTail = uint8_t((kcgd.keyTail + 1) & 127);
        }
        EXPECT_EQ(queued, s.codes) << "by frame " << frame;
    }

    // A full ring keeps 127 codes; the GPU reads them after a status read each.
    kcgd.keyHead = kcgd.keyTail = 0;
    for (int i = 0; i < 100; ++i) {
        std::memset(before, 0, 256);
        std::memset(now, 0, 256);
        now[0x10 + i % 10] = 0x80;
        kcgd_keyboard_feed(now, before);
        kcgd_keyboard_feed(before, now);
        kcgd_keyboard_feed(now, before);
    }
    EXPECT_EQ((kcgd.keyHead - kcgd.keyTail) & 127, 127);
    kcgd_keyboard_ready_check();
    EXPECT_TRUE(ws.PendingInterrupts[UKNC_GPU] & GPU_IRQ_KEYBOARD);
    auto gpu_read = [](uint32_t address) { return kcgd.GpuIoReadTable[(address >> 1) & 0xFFF](address); };
    EXPECT_EQ(gpu_read(0177560), 0x80);
    EXPECT_EQ(gpu_read(0177562), 0xC3);   // host 0x10 ('Q')
    EXPECT_EQ(gpu_read(0177562), 0xC3);   // not armed: the same code again
    for (int i = 1; i < 127; ++i) {
        gpu_read(0177560);
        gpu_read(0177562);
    }
    EXPECT_EQ(gpu_read(0177560), 0x00);   // empty: ready gone
}

// An independent reading of the picture rule: line k starts at the word stored at byte
// S - 2 - 4k, S = (0x1F3C ^ 0x1000 * mode bit 0) - 2 * f; 100 words from there with
// 16-bit wrap.
uint32_t reference_pixel(const uint8_t* block, const uint8_t* palette, uint16_t mode, bool f, int x, int y)
{
    uint32_t s = (0x1F3Cu ^ (mode & 1 ? 0x1000u : 0u)) - (f ? 2u : 0u);
    uint32_t at = s - 2 - 4u * y;
    uint16_t start = uint16_t(block[at] | block[at + 1] << 8);
    uint16_t index = uint16_t(start + x / 8);
    uint16_t word = uint16_t(block[2u * index] | block[2u * index + 1] << 8);
    int value;
    if (block[0x20000 + index])
        value = (word >> (12 - 4 * ((x % 8) / 2))) & 15;
    else
        value = 5 * ((word >> (14 - 2 * (x % 8))) & 3);
    static const uint32_t levels[4] = {0, 0x80, 0xC0, 0xFF};
    uint8_t v = palette[value];
    return levels[v & 3] << 16 | levels[(v >> 2) & 3] << 8 | levels[(v >> 4) & 3];
}

TEST(DvkKcgd, PictureAgainstAnIndependentReading)
{
    dvk_test_complex();
    std::mt19937 random(5);
    for (uint32_t i = 0; i < 0x20000; ++i)
        kcgd.block[i] = uint8_t(random());
    for (uint32_t i = 0; i < 0x10000; ++i)
        kcgd.block[0x20000 + i] = (random() & 1) ? 2 : 0;
    for (uint8_t& p : kcgd.palette)
        p = uint8_t(random() & 0x3F);
    // One line that starts near the end of video memory: its words wrap to word 0.
    poke_word(kcgd.block, 0x1F3C - 2 - 4 * 7, 0xFFD0);
    std::vector<uint32_t> picture(kcgd_width * kcgd_lines);
    const struct {
        uint16_t mode;
        bool flag_used;
    } renders[] = {{0, false}, {2, true}, {2, true}, {3, true}, {1, false}, {1, false}}; // f: set after each frame
    for (const auto& r : renders) {
        kcgd.modeWord = r.mode;
        kcgd_render(picture.data());
        for (int y = 0; y < kcgd_lines; ++y)
            for (int x = 0; x < kcgd_width; ++x)
                ASSERT_EQ(picture[y * kcgd_width + x], reference_pixel(kcgd.block, kcgd.palette, r.mode, r.flag_used, x, y))
                    << x << "," << y << " mode " << r.mode;
    }
}

// A restart switches the KCGD off silently and brings the GPU back to its start.
TEST(DvkKcgd, RestartResetsTheChannelAndTheGpu)
{
    start_gpu_test();
    dvk_test_frames(1);
    testing::internal::CaptureStdout();
    kcgd_activate();
    ws.ConsoleRings[RING_KCGD].waiting = 9000; // overflowed: only the last 4096 are kept
    kcgd_take_cpu_byte();
    EXPECT_EQ(ws.ConsoleRings[RING_KCGD].waiting, 4095u);
    workstation_restart();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Videomode DVK KCGD Activated!\n");
    EXPECT_FALSE(ws.kcgdMode);
    EXPECT_EQ(ws.ConsoleRings[RING_KCGD].waiting, 0u);
    EXPECT_EQ(kcgd.gpu.r[7], 0111516u);
    EXPECT_EQ(kcgd.gpu.prefetch, 012706u);
    EXPECT_EQ(kcgd.gpu.psw, 0340u);
    EXPECT_EQ(ws.kcgdReplyStatus, 0x80); // the reply line starts free
}

} // namespace

// Switching the KCGD mode never leaves the CPU's console transmitter busy with nobody
// left to free it.
TEST(DvkKcgdConsole, ModeSwitchesHandTheTransmitterBack)
{
    dvk_test_complex();
    ws.cpuTxCsr[0] = 0xC0; // ready, interrupt enabled
    kcgd_activate();
    workstation_console_output('A'); // to the GPU only, which has not taken it
    EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0);
    workstation_switch_mode(WS_MODE_KCGD, false, true); // F7
    EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0x80);
    EXPECT_TRUE(ws.PendingInterrupts[UKNC_CPU] & CPU_IRQ_CH0_TX);

    // ESC X taken by the GPU before the PPU read the X: the PPU's read no longer frees it.
    ws.PendingInterrupts[UKNC_CPU] = 0;
    kcgd_take_cpu_byte(); // the 'A'
    workstation_console_output(0x1B);
    workstation_console_output('X');
    EXPECT_EQ(kcgd_take_cpu_byte(), 0x1B);
    EXPECT_EQ(kcgd_take_cpu_byte(), 'X');
    EXPECT_TRUE(ws.kcgdMode);
    EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0x80);
    // Switched on with a byte still waiting for the GPU: its taking frees the transmitter.
    workstation_switch_mode(WS_MODE_KCGD, false, true);
    workstation_console_output('B');
    workstation_switch_mode(WS_MODE_KCGD, true, true);
    EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0);
    EXPECT_EQ(kcgd_take_cpu_byte(), 'B');
    EXPECT_EQ(ws.cpuTxCsr[0] & 0x80, 0x80);
}

namespace {

// A GPU program that points its bus-error vector into the address hole and jumps there
// never reaches an instruction boundary again. Watched by the monitor ("g 0"), it must
// not hold the frame, however long its own budget lasts (here it runs eight times as
// fast): each frame ends on the PPU's clock and no budget runs away.
TEST(DvkKcgd, GpuBusErrorChainUnderTheMonitorEndsEveryFrameOnTime)
{
    dvk_test_complex({012706, 001000, 012737, 0120000, 000004, 000137, 0120000}); // SP; @#4; JMP
    kcgd.gpu.speedFactor = 8 * 256;
    std::string input = "g 0\n";
    ws.monitorIn = fmemopen(input.data(), input.size(), "r");
    workstation_monitor_enter();
    const int32_t frame = ws.ppu.speedFactor * uknc_cycles_per_frame;
    int32_t lowest = 0;
    std::string out = dvk_test_frames(1);
    for (int n = 0; n < 20 && lowest >= -2 * frame; ++n) {
        dvk_test_frames(1);
        lowest = std::min({lowest, ws.ppu.cycleBudget, ws.cpu.cycleBudget + frame});
    }
    EXPECT_GE(lowest, -2 * frame);
    EXPECT_NE(out.find("Monitored processor = GPU"), std::string::npos);
    std::fclose(ws.monitorIn);
    ws.monitorIn = stdin;
    ws.consoleClosed = false;
    kcgd.gpu.speedFactor = 256;
    workstation_monitor_reset();
}

} // namespace
