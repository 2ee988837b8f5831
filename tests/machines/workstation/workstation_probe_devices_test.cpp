// Independent probes of the UKNC complex's devices, written from the hardware description
// rather than from the code: the CPU's HALT-mode decoding, the exchange channels both ways
// with their CSR rules and the console fan-out, PPU memory control, the timer for every
// prescaler, plane access, the floppy register streams, the keyboard registers, PPU and
// CPU programs meeting unmapped pages and the HALT request, and interrupt acceptance.
#include "workstation_probe_support.h"

#include "machines/uknc/uknc_floppy.h"

#include <cstring>
#include <string>

namespace {

using namespace probe;

Workstation& ws = workstation;

// HALT mode reaches CPU memory through every bus slot; the user slots always decode I/O.
TEST(WorkstationProbe, CpuHaltModeDecoding)
{
    workstation_test_complex();
    Pdp11Cpu& c = ws.cpu;
    struct Slot {
        Pdp11BusOp Pdp11Cpu::*op;
        bool write, byte, user;
    } slots[] = {
        {&Pdp11Cpu::opRead, false, false, false},         {&Pdp11Cpu::opReadSource, false, false, false},
        {&Pdp11Cpu::opReadMoveSource, false, false, false}, {&Pdp11Cpu::opReadModify, false, false, false},
        {&Pdp11Cpu::opReadByte, false, true, false},      {&Pdp11Cpu::opReadByteSource, false, true, false},
        {&Pdp11Cpu::opReadByteMoveSource, false, true, false},
        {&Pdp11Cpu::opReadModifyByte, false, true, false}, {&Pdp11Cpu::opWrite, true, false, false},
        {&Pdp11Cpu::opWriteByte, true, true, false},      {&Pdp11Cpu::opReadUser, false, false, true},
        {&Pdp11Cpu::opWriteUser, true, false, true},
    };
    for (uint32_t psw : {0400u, 0u}) {
        for (const Slot& s : slots) {
            workstation_restart();
            SCOPED_TRACE(testing::Message() << "psw " << std::oct << psw << std::dec << " slot " << (&s - slots));
            c.psw = psw;
            c.prefetchAddress = 1;
            c.stepHandler = c.continuation = pdp11_decode_step;
            poke_word(ws.cpuMemory, 0177564, 0x1234); // under the channel 0 TX CSR
            poke_word(ws.cpuMemory, 0100, 0x4321);
            bool io = !(psw & 0400) || s.user;
            // An address in the I/O page.
            c.busAddress = 0177564;
            c.dataOut = 0x40;
            c.dataIn = 0;
            (c.*s.op)(&c);
            if (s.write) {
                EXPECT_EQ(peek_word(ws.cpuMemory, 0177564), io ? 0x1234 : s.byte ? 0x1240 : 0x0040);
                EXPECT_EQ(ws.cpuTxCsr[0], io ? 0xC0 : 0x80);
            } else {
                EXPECT_EQ(c.dataIn & (s.byte ? 0xFF : 0xFFFF), io ? 0x80u : (s.byte ? 0x34u : 0x1234u));
            }
            // The odd byte in HALT mode is memory's high byte.
            if (s.byte && !s.write && !io) {
                c.busAddress = 0177565;
                (c.*s.op)(&c);
                EXPECT_EQ(c.dataIn & 0xFF, 0x12u);
            }
            // Below the I/O page: memory in every mode.
            c.busAddress = 0100;
            c.dataOut = 0x5555;
            c.dataIn = 0;
            (c.*s.op)(&c);
            if (s.write)
                EXPECT_EQ(peek_word(ws.cpuMemory, 0100), s.byte ? 0x4355 : 0x5555);
            else
                EXPECT_EQ(c.dataIn & (s.byte ? 0xFF : 0xFFFF), s.byte ? 0x21u : 0x4321u);
            EXPECT_EQ(c.stepHandler, pdp11_decode_step);
        }
    }
}

// The three channels CPU -> PPU and the two PPU -> CPU, with the CSR rules.
TEST(WorkstationProbe, ChannelHandshakesBothWays)
{
    struct ToPpu {
        uint32_t txCsr, txData, ppuData;
        uint32_t ppuIrq, cpuIrq;
    } to_ppu[] = {
        {0177564, 0177566, 0177060, PPU_IRQ_CH0_RX, CPU_IRQ_CH0_TX},
        {0176664, 0176666, 0177062, PPU_IRQ_CH1_RX, CPU_IRQ_CH1_TX},
        {0176674, 0176676, 0177064, PPU_IRQ_CH2_RX, CPU_IRQ_CH2_TX},
    };
    for (int n = 0; n < 3; ++n) {
        const ToPpu& t = to_ppu[n];
        SCOPED_TRACE(testing::Message() << "CPU to PPU channel " << n);
        workstation_test_complex();
        Pdp11Cpu& cpu = ws.cpu;
        Pdp11Cpu& ppu = ws.ppu;
        cpu.psw = 0;
        EXPECT_EQ(bus(cpu, Read, t.txCsr), 0x80);
        EXPECT_EQ(bus(ppu, Read, 0177066), 0);
        bus(ppu, Word, 0177066, uint16_t(1 << n | 0x40)); // receive enable n, bit 6 stored
        EXPECT_EQ(bus(ppu, Read, 0177066), (1 << n) | 0x40);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
        bus(cpu, Word, t.txData, uint16_t(0x141 + n)); // the byte is what goes over
        EXPECT_EQ(bus(cpu, Read, t.txCsr), 0);
        EXPECT_EQ(bus(cpu, Read, t.txData), 0);
        EXPECT_EQ(bus(ppu, Read, 0177066), (1 << n) | (8 << n) | 0x40);
        EXPECT_EQ(ws.ppuDataPresent, 1 << n);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], t.ppuIrq);
        // CSR write keeps ready (clear) and takes bit 6 only.
        bus(cpu, Word, t.txCsr, 0xFF);
        EXPECT_EQ(bus(cpu, Read, t.txCsr), 0x40);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);
        // The PPU takes the byte: CPU transmitter ready, its interrupt requested.
        EXPECT_EQ(bus(ppu, Read, t.ppuData), 0x41 + n);
        EXPECT_EQ(bus(ppu, Read, 0177066), (1 << n) | 0x40);
        EXPECT_EQ(ws.ppuDataPresent, 0);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
        EXPECT_EQ(bus(cpu, Read, t.txCsr), 0xC0);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], t.cpuIrq);
        // Disabling and enabling again while ready requests at once.
        ws.PendingInterrupts[UKNC_CPU] = 0;
        bus(cpu, Word, t.txCsr, 0);
        EXPECT_EQ(bus(cpu, Read, t.txCsr), 0x80);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);
        bus(cpu, Byte, t.txCsr, 0x40);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], t.cpuIrq);
    }

    // With the KCGD mode on, channel 0 bytes go to the graphics controller: a PPU read of
    // its receive register has no effect, and a CPU read of the RX data makes the GPU's
    // reply status ready and requests its interrupt when enabled.
    workstation_test_complex();
    ws.cpu.psw = 0;
    ws.kcgdMode = true;
    ws.ppuRxData[0] = 0x33;
    ws.ppuRxStatus = 0x08;
    ws.ppuDataPresent = 1;
    ws.cpuTxCsr[0] = 0;
    EXPECT_EQ(bus(ws.ppu, Read, 0177060), 0x33);
    EXPECT_EQ(ws.ppuRxStatus, 0x08);
    EXPECT_EQ(ws.ppuDataPresent, 1);
    EXPECT_EQ(ws.cpuTxCsr[0], 0);
    ws.kcgdReplyStatus = 0x40;
    bus(ws.ppu, Word, 0177070, 0x44);
    EXPECT_EQ(bus(ws.cpu, Read, 0177562), 0x44);
    EXPECT_EQ(ws.kcgdReplyStatus, 0xC0);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_GPU], 0x0800u);
    ws.kcgdMode = false;

    struct ToCpu {
        uint32_t ppuData, rxCsr, rxData;
        uint32_t cpuIrq, ppuIrq;
    } to_cpu[] = {
        {0177070, 0177560, 0177562, CPU_IRQ_CH0_RX, PPU_IRQ_CH0_TX},
        {0177072, 0176660, 0176662, CPU_IRQ_CH1_RX, PPU_IRQ_CH1_TX},
    };
    for (int n = 0; n < 2; ++n) {
        const ToCpu& t = to_cpu[n];
        SCOPED_TRACE(testing::Message() << "PPU to CPU channel " << n);
        workstation_test_complex();
        Pdp11Cpu& cpu = ws.cpu;
        Pdp11Cpu& ppu = ws.ppu;
        cpu.psw = 0;
        EXPECT_EQ(bus(ppu, Read, 0177076), 0x18);
        EXPECT_EQ(bus(cpu, Read, t.rxCsr), 0);
        bus(cpu, Word, t.rxCsr, 0xFF); // enable only: ready is not writable
        EXPECT_EQ(bus(cpu, Read, t.rxCsr), 0x40);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);
        bus(ppu, Word, 0177076, 0x04); // bit 2 is stored, no enable
        EXPECT_EQ(bus(ppu, Read, 0177076), 0x1C);
        bus(ppu, Word, t.ppuData, uint16_t(0x161 + n));
        EXPECT_EQ(bus(ppu, Read, 0177076), 0x1C & ~(8 << n));
        EXPECT_EQ(bus(cpu, Read, t.rxCsr), 0xC0);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], t.cpuIrq);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
        bus(ppu, Word, 0177076, uint16_t(1 << n)); // enable while not ready: nothing yet
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
        ws.PendingInterrupts[UKNC_CPU] = 0;
        EXPECT_EQ(bus(cpu, Read, t.rxData), 0x61 + n);
        EXPECT_EQ(bus(cpu, Read, t.rxCsr), 0x40);
        EXPECT_EQ(bus(ppu, Read, 0177076), 0x18 | (1 << n));
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], t.ppuIrq);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);
        if (n == 0) {
            EXPECT_EQ(ws.kcgdReplyStatus & 0x80, 0x80);
        }
        // Reading again gives the latch and sets nothing new.
        EXPECT_EQ(bus(cpu, Read, t.rxData), 0x61 + n);
        // Status bits 3-4 are not writable; bits 0-2 are.
        bus(ppu, Word, 0177076, 0xFF);
        EXPECT_EQ(bus(ppu, Read, 0177076), 0x1F);
        bus(ppu, Word, 0177076, 0);
        // RX CSR: enabling while ready requests at once.
        bus(ppu, Word, t.ppuData, 0x20);
        ws.PendingInterrupts[UKNC_CPU] = 0;
        bus(cpu, Word, t.rxCsr, 0);
        EXPECT_EQ(bus(cpu, Read, t.rxCsr), 0x80);
        bus(cpu, Word, t.rxCsr, 0x40);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], t.cpuIrq);
    }
}

// Memory control 0177054: pages, messages and the bus errors of unmapped pages.
TEST(WorkstationProbe, PpuMemoryControlPages)
{
    const uint16_t values[] = {0x301, 0x300, 0x300, 0x0F1, 0x011, 0x0E0, 0x080, 0x381, 0x001};
    workstation_test_complex();
    Pdp11Cpu& ppu = ws.ppu;
    for (uint32_t i = 0; i < uknc_rom_size; i += 2)
        poke_word(ws.rom, i, uint16_t(i ^ 0xA5A5));
    uint16_t previous = 0x301;
    for (uint16_t v : values) {
        SCOPED_TRACE(testing::Message() << "memory control 0x" << std::hex << v);
        ppu.r[7] = 0xE100;
        std::string expected;
        if ((v ^ previous) & 0x7F)
            expected += format("PPU Adres Space changed -> 0x%04X\n", v & 0x7F, 0);
        if (!(v & 1))
            expected += "System ROM off at location PC = 0xE100\n";
        testing::internal::CaptureStdout();
        bus(ppu, Word, 0177054, v);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
        EXPECT_EQ(bus(ppu, Read, 0177054), v);
        previous = v;
        for (uint32_t page = 4; page < 8; ++page) {
            uint32_t address = page * 020000 + 0100;
            bool read_rom = page > 4 || (v & 1);
            bool write_ram = v & (1u << page);
            uint16_t rom_word = uint16_t((address - 0100000) ^ 0xA5A5);
            uint16_t value = bus(ppu, Read, address);
            EXPECT_EQ(ppu.stepHandler == bus_error_trap, !read_rom) << page;
            if (read_rom) {
                EXPECT_EQ(value, rom_word) << page;
            }
            testing::internal::CaptureStdout();
            bus(ppu, Word, address, uint16_t(page * 0x1111));
            std::string out = testing::internal::GetCapturedStdout();
            EXPECT_EQ(ppu.stepHandler == bus_error_trap, !write_ram) << page;
            EXPECT_EQ(out, write_ram ? "" : format("PPU Write address not found 0x%4X at PC=0x%4X\n", address, 0xE100));
            if (write_ram) {
                EXPECT_EQ(peek_word(ws.ppuMemory, address), page * 0x1111) << page;
                EXPECT_EQ(bus(ppu, Read, address), read_rom ? rom_word : page * 0x1111) << page;
            }
            testing::internal::CaptureStdout();
            bus(ppu, Byte, address + 1, 0x77);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
            EXPECT_EQ(ppu.stepHandler == bus_error_trap, !write_ram) << page;
            if (write_ram) {
                EXPECT_EQ(ws.ppuMemory[address + 1], 0x77) << page;
            }
        }
    }
    // Bits 8 and 9 mask the field interrupts of the PPU and of the CPU.
    struct Mask {
        uint16_t control;
        uint32_t ppu, cpu;
    } masks[] = {{0x001, PPU_IRQ_FIELD, CPU_IRQ_FIELD},
                 {0x101, 0, CPU_IRQ_FIELD},
                 {0x201, PPU_IRQ_FIELD, 0},
                 {0x301, 0, 0}};
    for (const Mask& m : masks) {
        workstation_restart();
        testing::internal::CaptureStdout();
        bus(ppu, Word, 0177054, m.control);
        testing::internal::GetCapturedStdout();
        workstation_frame_end();
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU] & PPU_IRQ_FIELD, m.ppu) << m.control;
        EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU] & CPU_IRQ_FIELD, m.cpu) << m.control;
    }
}

// Timer arithmetic for every prescaler: the counter, expiry and the next period.
TEST(WorkstationProbe, TimerForEveryPrescaler)
{
    for (int p = 0; p < 4; ++p) {
        SCOPED_TRACE(testing::Message() << "prescaler " << p);
        workstation_test_complex();
        Pdp11Cpu& ppu = ws.ppu;
        const int64_t period = int64_t(37) << (4 + p); // cycles
        ppu.cycleBudget = 5000000;
        bus(ppu, Word, 0177712, 0xC000 | 37);
        EXPECT_EQ(bus(ppu, Read, 0177714), 37); // stopped: the buffer
        bus(ppu, Word, 0177710, uint16_t(0x41 | p << 1));
        EXPECT_EQ(ws.timerCompare, 5000000 - period * 256);
        ppu.cycleBudget -= int32_t(period / 2 * 256 + 256);
        EXPECT_EQ(bus(ppu, Read, 0177714), ((period - period / 2 - 1) >> (4 + p)));
        // Rewriting the control word of a running timer does not restart it.
        bus(ppu, Word, 0177710, uint16_t(0x41 | p << 1));
        EXPECT_EQ(ws.timerCompare, 5000000 - period * 256);
        workstation_timer_check();
        EXPECT_EQ(ws.timerControl & 0x80, 0);
        ppu.cycleBudget = int32_t(5000000 - period * 256);
        workstation_timer_check();
        EXPECT_EQ(ws.timerControl & 0xA8, 0x80);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], uint32_t(PPU_IRQ_TIMER));
        EXPECT_EQ(ws.timerCompare, 5000000 - 2 * period * 256);
        EXPECT_EQ(bus(ppu, Read, 0177714), 0);
        EXPECT_EQ(ws.timerControl & 0xA0, 0);
        EXPECT_EQ(bus(ppu, Read, 0177710), uint16_t(0x41 | p << 1));
        // Late by d: the next compare point is 2 x counter - period - old compare point.
        const int64_t late = period / 3 * 256;
        ppu.cycleBudget = int32_t(5000000 - 2 * period * 256 - late);
        workstation_timer_check();
        EXPECT_EQ(ws.timerCompare, 5000000 - 3 * period * 256 - 2 * late);
        // Without interrupt enable no request; a second expiry unseen sets the overrun.
        ws.PendingInterrupts[UKNC_PPU] = 0;
        bus(ppu, Word, 0177710, uint16_t(0x01 | p << 1));
        ppu.cycleBudget = int32_t(ws.timerCompare);
        workstation_timer_check();
        EXPECT_EQ(ws.timerControl & 0x88, 0x80);
        ppu.cycleBudget = int32_t(ws.timerCompare);
        workstation_timer_check();
        EXPECT_EQ(ws.timerControl & 0x88, 0x88);
        EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
        bus(ppu, Word, 0177710, 0);
        EXPECT_EQ(ws.timerCompare, uknc_timer_never);
    }
}

// Background latches, colour masks, pixel writes with every disable combination.
TEST(WorkstationProbe, PlaneAccess)
{
    workstation_test_complex();
    Pdp11Cpu& ppu = ws.ppu;
    bus(ppu, Word, 0177010, 0x8001);
    EXPECT_EQ(bus(ppu, Read, 0177010), 0x8001);
    // Pixel k of 0177020/22 sets bit k of latch n to bit n of its code.
    bus(ppu, Word, 0177020, 0x7531); // codes 1,3,5,7
    bus(ppu, Word, 0177022, 0x8642);  // codes 2,4,6,0 (nibble bit 3 ignored)
    EXPECT_EQ(ws.background[0], 0x0F);
    EXPECT_EQ(ws.background[1], 0x5A);
    EXPECT_EQ(ws.background[2], 0x6C);
    EXPECT_EQ(bus(ppu, Read, 0177020), 0x7531);
    EXPECT_EQ(bus(ppu, Read, 0177022), 0x0642);
    bus(ppu, Word, 0177020, 0); // keeps pixels 4-7
    EXPECT_EQ(bus(ppu, Read, 0177022), 0x0642);
    // Colour code read: the first set mask only.
    const uint16_t codes[8] = {0, 1, 2, 1, 4, 1, 2, 1};
    for (uint16_t m = 0; m < 8; ++m) {
        bus(ppu, Word, 0177016, uint16_t(m | 0xF8));
        EXPECT_EQ(bus(ppu, Read, 0177016), codes[m]) << m;
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(ws.colourMask[n], (m >> n & 1) ? 0xFF : 0) << m;
    }
    // Pixel write under every disable combination.
    bus(ppu, Word, 0177016, 5);
    bus(ppu, Word, 0177020, 0x2222);
    bus(ppu, Word, 0177022, 0x2222); // latch: plane 1 = 0xFF, others 0
    for (uint16_t d = 0; d < 8; ++d) {
        ws.ppuMemory[0x8001] = 0x11;
        poke_word(ws.cpuMemory, 2 * 0x8001, 0x3322);
        bus(ppu, Word, 0177026, uint16_t(d | 0xF8));
        EXPECT_EQ(bus(ppu, Read, 0177026) & 7, d);
        bus(ppu, Word, 0177024, 0x0F);
        EXPECT_EQ(ws.ppuMemory[0x8001], (d & 1) ? 0x11 : 0x0F) << d;
        EXPECT_EQ(ws.cpuMemory[0x10002], (d & 2) ? 0x22 : 0xF0) << d;
        EXPECT_EQ(ws.cpuMemory[0x10003], (d & 4) ? 0x33 : 0x0F) << d;
    }
    bus(ppu, Word, 0177026, 0);
    bus(ppu, Word, 0177024, 0x0F);
    // The plane window of both processors reaches the upper CPU memory half.
    EXPECT_EQ(bus(ppu, Read, 0177012), 0x0F);
    EXPECT_EQ(bus(ppu, Read, 0177014), 0x0FF0);
    bus(ppu, Byte, 0177014, 0xAB);
    bus(ppu, Byte, 0177015, 0xCD);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x10002), 0xCDAB);
    bus(ppu, Byte, 0177012, 0x3C);
    EXPECT_EQ(ws.ppuMemory[0x8001], 0x3C);
    ws.cpu.psw = 0;
    bus(ws.cpu, Word, 0176640, 0x8001);
    EXPECT_EQ(bus(ws.cpu, Read, 0176642), 0xCDAB);
    bus(ws.cpu, Byte, 0176642, 0x11);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x10002), 0xCD11);
    bus(ws.cpu, Byte, 0176643, 0x22);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x10002), 0x2211);
    bus(ws.cpu, Word, 0176642, 0x4455);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x10002), 0x4455);
    // Reading 0177024 loads the latches from the planes and returns 0.
    EXPECT_EQ(bus(ppu, Read, 0177024), 0);
    EXPECT_EQ(ws.background[0], 0x3C);
    EXPECT_EQ(ws.background[1], 0x55);
    EXPECT_EQ(ws.background[2], 0x44);
}

// Floppy register streams: header walk by status, header and data words by data reads,
// writing with the first word dropped, stepping.
TEST(WorkstationProbe, FloppyStatusAndDataSequences)
{
    workstation_test_complex();
    for (uint32_t i = 0; i < uknc_image_size; ++i)
        uknc_floppy.images[0][i] = uint8_t(i * 7 + (i >> 9));
    uknc_floppy_reset();
    uknc_floppy.inserted[0] = true; // as if loaded from a file: a diskette is in drive 0
    Pdp11Cpu& ppu = ws.ppu;
    bus(ppu, Word, 0177130, 0x0013); // no bit 10: ignored
    EXPECT_EQ(uknc_floppy.drives[0].motor, 0);
    bus(ppu, Word, 0177130, 0x0413); // drive 0, motor on
    EXPECT_EQ(uknc_floppy.drives[0].motor, 1);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(bus(ppu, Read, 0177130), 0x4003) << i;
    EXPECT_EQ(bus(ppu, Read, 0177130), 0x4083);
    EXPECT_EQ(bus(ppu, Read, 0177130), 0x4083);
    const uint16_t header[] = {0xA1A1, 0xA1FE, 0x0000, 0x0102};
    for (uint16_t h : header)
        EXPECT_EQ(bus(ppu, Read, 0177132), h);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bus(ppu, Read, 0177132), 0) << i;
    EXPECT_EQ(bus(ppu, Read, 0177132), 0xA1A1);
    EXPECT_EQ(bus(ppu, Read, 0177132), 0xA1FB);
    for (uint32_t k = 0; k < 512; k += 2) {
        uint16_t expected = uint16_t(uknc_floppy.images[0][k] << 8 | uknc_floppy.images[0][k + 1]);
        ASSERT_EQ(bus(ppu, Read, 0177132), expected) << k;
    }
    EXPECT_EQ(uknc_floppy.drives[0].sector, 1);
    EXPECT_EQ(uknc_floppy.drives[0].state, UKNC_DRIVE_IDLE);
    EXPECT_EQ(uknc_floppy.drives[0].indicator_countdown, 200);
    bus(ppu, Word, 0177132, 0x9999); // not writing: ignored
    EXPECT_EQ(uknc_floppy.drives[0].state, UKNC_DRIVE_IDLE);
    // The marker stays until a control value with bit 8; then the walk restarts after the
    // sector's data (position 0 of the next header).
    EXPECT_EQ(bus(ppu, Read, 0177130), 0x4083);
    bus(ppu, Word, 0177130, 0x0513);
    EXPECT_EQ(uknc_floppy.drives[0].marker_found, 0);
    EXPECT_EQ(uknc_floppy.drives[0].header[23], 0x0202);

    // A status read in the data phase skips the sector: next sector, back to word 20.
    for (int i = 0; i < 42; ++i)
        bus(ppu, Read, 0177132);
    EXPECT_EQ(uknc_floppy.drives[0].data_phase, 1);
    EXPECT_EQ(bus(ppu, Read, 0177130), 0x4003);
    EXPECT_EQ(uknc_floppy.drives[0].sector, 2);
    EXPECT_EQ(uknc_floppy.drives[0].header[23], 0x0302);
    EXPECT_EQ(bus(ppu, Read, 0177130), 0x4083);
    bus(ppu, Word, 0177130, 0x0513);

    // Step in twice on side 1, then the track-0 bit is gone; stepping out stops at 0.
    bus(ppu, Word, 0177130, 0x04F3);
    bus(ppu, Word, 0177130, 0x04F3);
    EXPECT_EQ(uknc_floppy.drives[0].track, 2);
    EXPECT_EQ(uknc_floppy.drives[0].side, 1);
    EXPECT_EQ(uknc_floppy.drives[0].header[22], 0x0201);
    EXPECT_EQ(bus(ppu, Read, 0177130) & 1, 0);
    for (int i = 0; i < 4; ++i)
        bus(ppu, Word, 0177130, 0x0493);
    EXPECT_EQ(uknc_floppy.drives[0].track, 0);
    uknc_floppy.drives[0].track = 79;
    testing::internal::CaptureStdout();
    bus(ppu, Word, 0177130, 0x04D3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrong Track: 80\n");
    EXPECT_EQ(uknc_floppy.drives[0].track, 79);

    // Writing sector 2 of track 79 side 0: the first word is the data marker, not stored;
    // what is written reads back the same.
    bus(ppu, Word, 0177130, 0x0413);
    uknc_floppy.drives[0].sector = 2;
    bus(ppu, Word, 0177130, 0x0613);
    EXPECT_EQ(uknc_floppy.drives[0].state, UKNC_DRIVE_WRITING);
    bus(ppu, Word, 0177132, 0xA1FB);
    for (uint16_t k = 0; k < 256; ++k)
        bus(ppu, Word, 0177132, uint16_t(0x1200 + k * 3));
    EXPECT_EQ(uknc_floppy.drives[0].sector, 3);
    EXPECT_EQ(uknc_floppy.drives[0].state, UKNC_DRIVE_IDLE);
    uint32_t at = 79 * uknc_track_bytes + 2 * uknc_sector_bytes;
    uknc_floppy.drives[0].sector = 2;
    uknc_floppy.drives[0].position = 0;
    uknc_floppy.drives[0].data_phase = 1;
    uknc_floppy.drives[0].marker_found = 0;
    for (uint16_t k = 0; k < 256; ++k)
        ASSERT_EQ(bus(ppu, Read, 0177132), uint16_t(0x1200 + k * 3)) << k;
    // The data marker did not land anywhere: the word before the sector is untouched.
    EXPECT_EQ(uknc_floppy.images[0][at - 2], uint8_t((at - 2) * 7 + ((at - 2) >> 9)));
    EXPECT_EQ(uknc_floppy.images[0][at - 1], uint8_t((at - 1) * 7 + ((at - 1) >> 9)));
    uknc_floppy.modified[0] = false; // nothing to warn about at exit
}

// Keyboard registers: ready from the frame check, the request, data reads past the end.
TEST(WorkstationProbe, KeyboardRegisters)
{
    workstation_test_complex();
    Pdp11Cpu& ppu = ws.ppu;
    uint8_t now[256] = {}, before[256] = {};
    now[0x1E] = 0x80; // host A: UKNC 0x3A
    now[0x02] = 0x80; // host 1: UKNC 0x18
    uknc_keyboard_feed(&ws.keyboard, now, before);
    EXPECT_EQ(bus(ppu, Read, 0177700), 0);
    bus(ppu, Word, 0177700, 0x40);
    EXPECT_EQ(bus(ppu, Read, 0177700) & 0xC0, 0x40);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
    workstation_keyboard_frame();
    EXPECT_EQ(bus(ppu, Read, 0177700) & 0xC0, 0xC0);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], uint32_t(PPU_IRQ_KEYBOARD));
    uint16_t first = bus(ppu, Read, 0177702);
    EXPECT_EQ(bus(ppu, Read, 0177700) & 0x80, 0x80);
    uint16_t second = bus(ppu, Read, 0177702);
    EXPECT_EQ(first + second, 0x3A + 0x18);
    EXPECT_EQ(bus(ppu, Read, 0177700) & 0x80, 0);
    EXPECT_EQ(bus(ppu, Read, 0177702), second); // empty: the last byte again
    testing::internal::CaptureStdout();
    bus(ppu, Word, 0177702, 0x55); // ignored
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(ppu.stepHandler, pdp11_decode_step);
    // Releases: (code & 0x0F) | 0x80.
    uknc_keyboard_feed(&ws.keyboard, before, now);
    workstation_keyboard_frame();
    uint16_t releases = uint16_t(bus(ppu, Read, 0177702) + bus(ppu, Read, 0177702));
    EXPECT_EQ(releases, 0x8A + 0x88);
}

// The PPU program switches the ROM's lower page off and jumps there: the fetch takes the
// bus-error trap; a word write to an unmapped page reports and traps, with the PPU's PC.
TEST(WorkstationProbe, PpuProgramUnmappedPages)
{
    workstation_test_complex();
    Pdp11Program p(0160300);
    p.w({012706, 001000});
    p.w({012737}).address_of("trap1").w({000004});
    p.w({012737, 000340, 000006});
    p.label("write").w({010037, 0140000});        // MOV R0,@#140000: unmapped
    p.w({005237, 007002});                         // not reached before the trap returns
    p.label("off").w({012737, 001400, 0177054});   // ROM page 4 off
    p.w({012737}).address_of("trap2").w({000004});
    p.w({000137, 0100000});                        // JMP @#100000
    p.label("trap1").w({005237, 007000, 000002});  // INC @#7000; RTI
    p.label("trap2").w({010637, 007004});          // MOV SP,@#7004
    p.w({011637, 007006});                         // MOV (SP),@#7006: the PC of the fetch
    p.label("idle").branch(000400, "idle");
    p.resolve();
    p.store(ws.rom, 0160300 - 0100000);
    workstation_restart();
    testing::internal::CaptureStdout();
    workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    char expected[300];
    std::snprintf(expected, sizeof expected,
                  "PPU Write address not found 0xC000 at PC=0x%4X\n"
                  "PPU Adres Space changed -> 0x0000\n"
                  "System ROM off at location PC = 0x%X\n",
                  p.labels.at("write") + 4, p.labels.at("off") + 6);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(peek_word(ws.ppuMemory, 07000), 1);
    EXPECT_EQ(peek_word(ws.ppuMemory, 07002), 1);
    EXPECT_EQ(peek_word(ws.ppuMemory, 07004), 01000 - 4);
    EXPECT_EQ(peek_word(ws.ppuMemory, 07006), 0100000); // the fetch failed before PC moved on
    EXPECT_EQ(ws.ppu.r[7], p.labels.at("idle") + 0u);
}

// Console output with the attached devices fitted: every byte goes into each device's
// ring (index wrapping at 4096); a restart empties the KCGD ring, zeroes the KSM's
// not-yet-taken count and sends the 15IE a Ctrl+W.
TEST(WorkstationProbe, ConsoleFanOutWithDevicesFitted)
{
    workstation_test_complex();
    for (ConsoleRing& ring : ws.ConsoleRings)
        ring = ConsoleRing{};
    ws.kcgdPresent = ws.ksmPresent = ws.ie15Present = true;
    ws.cpu.psw = 0;
    for (int i = 0; i < 4100; ++i) {
        bus(ws.cpu, i & 1 ? Byte : Word, 0177566, uint16_t(0x100 | (i & 0x7F)));
        if (ws.ppuRxStatus & 0x08)
            bus(ws.ppu, Read, 0177060);
    }
    for (const ConsoleRing& ring : ws.ConsoleRings) {
        EXPECT_EQ(ring.count, 4100u);
        EXPECT_EQ(ring.waiting, 4100u);
        EXPECT_EQ(ring.data[0], 4096 & 0x7F);
        EXPECT_EQ(ring.data[3], 4099 & 0x7F);
        EXPECT_EQ(ring.data[4], 4 & 0x7F);
    }
    workstation_restart();
    EXPECT_EQ(ws.ConsoleRings[RING_KCGD].count, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_KCGD].waiting, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_KSM].count, 4100u);
    EXPECT_EQ(ws.ConsoleRings[RING_KSM].waiting, 0u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].count, 4101u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].waiting, 4101u);
    EXPECT_EQ(ws.ConsoleRings[RING_IE15].data[4100 & 0xFFF], 0x17);
    ws.kcgdPresent = ws.ksmPresent = ws.ie15Present = false;
}

// The PPU sends the running CPU into HALT mode through the system register: the CPU
// leaves its user loop through 0160170 with PC' and PSW' holding the user context.
TEST(WorkstationProbe, PpuSendsTheCpuIntoHaltMode)
{
    workstation_test_complex();
    Pdp11Program ppu(0160300);
    ppu.w({012737, 0100000, 0177716});               // start the CPU
    ppu.w({012700, 010000}).label("wait").sob(0, "wait");
    ppu.w({012737, 0100020, 0177716});               // HALT request
    ppu.label("idle").branch(000400, "idle");
    ppu.resolve();
    ppu.store(ws.rom, 0160300 - 0100000);
    cpu_boot().store(ws.cpuMemory, 0160300);
    Pdp11Program user(002000);
    user.label("loop").w({005201}).branch(000400, "loop"); // INC R1; BR loop
    user.resolve();
    user.store(ws.cpuMemory, 002000);
    Pdp11Program halt(0161000);
    halt.w({012737, 1, 007000});                     // MOV #1,@#7000 (memory in HALT mode)
    halt.label("idle").branch(000400, "idle");
    halt.resolve();
    halt.store(ws.cpuMemory, 0161000);
    poke_word(ws.cpuMemory, 0160170, 0161000);
    poke_word(ws.cpuMemory, 0160172, 0400);
    workstation_restart();
    testing::internal::CaptureStdout();
    for (int f = 0; f < 5; ++f)
        workstation_run_frame();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Start CPU\nSysCon CPU USER->HALT\n");
    EXPECT_EQ(peek_word(ws.cpuMemory, 07000), 1);
    EXPECT_TRUE(ws.cpu.psw & PDP11_HALT_MODE);
    EXPECT_EQ(ws.cpu.savedPsw & 0400, 0u);
    EXPECT_TRUE(ws.cpu.savedPc == 002000 || ws.cpu.savedPc == 002002) << std::oct << ws.cpu.savedPc;
    EXPECT_GT(ws.cpu.r[1], 100u);
}

// Acceptance: all requests pending at once are taken one per boundary in the documented
// order, each through its vector; priority 4 or more holds all of them back, and nothing
// is taken in the middle of an instruction.
TEST(WorkstationProbe, InterruptAcceptanceOrder)
{
    workstation_test_complex();
    workstation_start_cpu();
    // CPU: HALT entry first (PSW bit 8 set, PC' and PSW' kept), then the vectors.
    Pdp11Cpu& cpu = ws.cpu;
    poke_word(ws.cpuMemory, 0160170, 0161234);
    poke_word(ws.cpuMemory, 0160172, 0400);
    cpu.psw = 0;
    cpu.r[7] = 02000;
    cpu.busOperation = cpu.opFetch;
    ws.PendingInterrupts[UKNC_CPU] = 0x20 | 0x80 | 0x40 | 0x800 | 0x1000 | 0x2000 | 0x4000 | 0x8000;
    cpu.psw = 0200;
    EXPECT_FALSE(workstation_accept_cpu_interrupt());
    cpu.psw = 0;
    cpu.busOperation = cpu.opRead;
    EXPECT_FALSE(workstation_accept_cpu_interrupt());
    cpu.busOperation = cpu.opFetch;
    ASSERT_TRUE(workstation_accept_cpu_interrupt());
    run_instruction(&cpu); // the HALT entry sequence
    EXPECT_TRUE(cpu.psw & PDP11_HALT_MODE);
    EXPECT_EQ(cpu.savedPc, 02000u);
    EXPECT_EQ(cpu.savedPsw, 0u);
    const uint32_t cpu_vectors[] = {024, 0100, 060, 064, 0460, 0464, 0474};
    for (uint32_t vector : cpu_vectors) {
        cpu.psw = 0;
        cpu.busOperation = cpu.opFetch;
        ASSERT_TRUE(workstation_accept_cpu_interrupt()) << std::oct << vector;
        EXPECT_EQ(cpu.vector, vector);
    }
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);

    Pdp11Cpu& ppu = ws.ppu;
    ws.PendingInterrupts[UKNC_PPU] = 0x40 | 0x80 | 0x100 | 0x200 | 0x2000 | 0x800 | 0x4000 | 0x1000 | 0x8000;
    ws.ppuDataPresent = 7;
    const struct {
        uint32_t vector;
        uint8_t present_after;
    } ppu_vectors[] = {{0100, 7}, {0310, 7}, {0304, 7}, {0300, 7}, {0320, 6},
                       {0324, 6}, {0330, 4}, {0334, 4}, {0340, 0}};
    for (const auto& v : ppu_vectors) {
        ppu.psw = 0400; // the PPU runs in HALT mode from reset: only the priority counts
        ppu.busOperation = ppu.opFetch;
        ASSERT_TRUE(workstation_accept_ppu_interrupt()) << std::oct << v.vector;
        EXPECT_EQ(ppu.vector, v.vector);
        EXPECT_EQ(ws.ppuDataPresent, v.present_after) << std::oct << v.vector;
    }
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], 0u);
}

} // namespace
