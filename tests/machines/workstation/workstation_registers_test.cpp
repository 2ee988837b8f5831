// Register rules of the CPU and PPU I/O pages: the exact reports of non-existent and
// unrealized registers, bus errors, the decoding rules, planes, channels, the console
// throttle, memory control, timer, system register and the interrupt orders.
#include "workstation_probe_support.h"

#include <string>

namespace {

Workstation& ws = workstation;

using probe::Access;
using probe::bus;
using enum probe::Access;

struct RegisterCase {
    Access access;
    uint32_t address;
    const char* message;
    bool trap;
};

void check_cases(Pdp11Cpu& c, const RegisterCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const RegisterCase& rc = cases[i];
        c.r[7] = 0x200;
        testing::internal::CaptureStdout();
        uint16_t value = bus(c, rc.access, rc.address, 0x55);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, rc.message) << std::oct << rc.address;
        EXPECT_EQ(c.stepHandler == bus_error_trap, rc.trap) << std::oct << rc.address;
        if (rc.access == Read && rc.message[0] != 'R' && !rc.trap) {
            EXPECT_EQ(value, 0) << std::oct << rc.address;
        }
    }
}

TEST(WorkstationRegisters, CpuReportsAndBusErrors)
{
    workstation_test_complex();
    ws.cpu.psw = 0; // user mode: the I/O page answers
    static const RegisterCase cases[] = {
        {Read, 0160000, "Read word from non-existent CPU register 0xE000 from location PC = 0x200\n", true},
        {Read, 0170006, "Read word from non-existent CPU register 0xF006 from location PC = 0x200\n", true},
        {Read, 0174000, "Read word from non-existent CPU register 0xF800 from location PC = 0x200\n", true},
        {Word, 0177572, "Write word to non-existent CPU register 0xFF7A from location PC = 0x200\n", true},
        {Word, 0176662, "Write word to non-existent CPU register 0xFDB2 from location PC = 0x200\n", true},
        {Byte, 0160001, "Write byte to non-existent CPU register 0xE001 from location PC = 0x200\n", true},
        {Byte, 0177777, "Write byte to non-existent CPU register 0xFFFF from location PC = 0x200\n", true},
        {Read, 0176560, "Read word from unrealized CPU register 0xFD70 (*) from location PC=0x200\n", false},
        {Word, 0177562, "Write word to unrealized CPU register 0xFF72 (*) from location PC = 0x200\n", false},
        {Word, 0176644, "Write word to unrealized CPU register 0xFDA4 (*) from location PC = 0x200\n", false},
        {Byte, 0177567, "Write byte to unrealized CPU register 0xFF77 (*) from location PC = 0x200\n", false},
        {Byte, 0176641, "Write byte to unrealized CPU register 0xFDA1 (*) from location PC = 0x200\n", false},
        {Byte, 0176677, "Write byte to unrealized CPU register 0xFDBF (*) from location PC = 0x200\n", false},
        {Byte, 0176570, "Write word to unrealized CPU register 0xFD78 (*) from location PC = 0x200\n", false},
        {Read, 0176574, "", false},
        {Read, 0177566, "", false},
        {Byte, 0176643, "", false},
    };
    check_cases(ws.cpu, cases, std::size(cases));
}

TEST(WorkstationRegisters, PpuReportsAndBusErrors)
{
    workstation_test_complex();
    static const RegisterCase cases[] = {
        {Read, 0177030, "Read from non-existent PPU register 0xFE18 from location PC = 0x200\n", true},
        {Read, 0177712, "Read from non-existent PPU register 0xFFCA from location PC = 0x200\n", true},
        {Word, 0177060, "Write word to non-existent PPU register 0xFE30 from location PC = 0x200\n", true},
        {Word, 0177714, "Write word to non-existent PPU register 0xFFCC from location PC = 0x200\n", true},
        {Word, 0177324, "Write word to non-existent PPU register 0xFED4 from location PC = 0x200\n", true},
        {Byte, 0177001, "Write byte to non-existent PPU register 0xFE01 from location PC = 0x200\n", true},
        {Word, 0177030, "Write word to unrealized PPU register 0xFE18 (*) from location PC=0x200\n", false},
        {Read, 0177072, "Read from unrealized PPU register 0xFE3A (*) from location PC=0x200\n", false},
        {Read, 0177100, "Read from unrealized PPU register 0xFE40 (*) from location PC=0x200\n", false},
        {Byte, 0177011, "Write byte to unrealized PPU register 0xFE09 (*) from location PC=0x200\n", false},
        {Byte, 0177717, "Write byte to unrealized PPU register 0xFFCF (*) from location PC=0x200\n", false},
        {Byte, 0177103, "Write byte to unrealized PPU register 0xFE43 (*) from location PC=0x200\n", false},
        {Read, 0177324, "", false},
        {Word, 0177702, "", false},
        {Byte, 0177015, "", false},
    };
    check_cases(ws.ppu, cases, std::size(cases));
    EXPECT_EQ(bus(ws.ppu, Read, 0177704), 0x1000);
}

TEST(WorkstationRegisters, CpuDecodingPlanesAndChannels)
{
    workstation_test_complex();
    Pdp11Cpu& cpu = ws.cpu;
    // HALT mode reaches memory everywhere; user mode the I/O page; MFUS/MTUS always I/O.
    poke_word(ws.cpuMemory, 0177560, 0x1234);
    cpu.psw = 0400;
    EXPECT_EQ(bus(cpu, Read, 0177560), 0x1234);
    cpu.busAddress = 0177564;
    cpu.opReadUser(&cpu);
    EXPECT_EQ(cpu.dataIn, 0x80u);
    cpu.psw = 0;
    EXPECT_EQ(bus(cpu, Read, 0177560), 0);

    // The plane window: word 0x1234 is bytes 0x2468/0x2469 of CPU memory.
    bus(cpu, Word, 0176640, 0x1234);
    ws.cpuMemory[0x2468] = 0x11;
    ws.cpuMemory[0x2469] = 0x22;
    EXPECT_EQ(bus(cpu, Read, 0176642), 0x2211);
    bus(cpu, Byte, 0176643, 0x33);
    bus(cpu, Byte, 0176642, 0x44);
    EXPECT_EQ(peek_word(ws.cpuMemory, 0x2468), 0x3344);
    EXPECT_EQ(bus(cpu, Read, 0176640), 0x1234);

    // A console byte write is a word write; the odd byte only reports.
    bus(cpu, Byte, 0177566, 'X');
    EXPECT_EQ(ws.cpuTxCsr[0], 0);
    EXPECT_EQ(ws.ppuRxData[0], 'X');
    EXPECT_EQ(ws.ppuRxStatus & 0x08, 0x08);
    testing::internal::CaptureStdout();
    bus(cpu, Byte, 0177567, 'Y');
    EXPECT_NE(testing::internal::GetCapturedStdout().find("unrealized"), std::string::npos);
    EXPECT_EQ(ws.ppuRxData[0], 'X');
    // The PPU takes it: the CPU's transmitter is ready again.
    EXPECT_EQ(bus(ws.ppu, Read, 0177060), 'X');
    EXPECT_EQ(ws.cpuTxCsr[0], 0x80);
    EXPECT_EQ(ws.ppuRxStatus & 0x08, 0);

    // Enabling the ready transmitter requests vector 064 at once.
    bus(cpu, Word, 0177564, 0x40);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], uint32_t(CPU_IRQ_CH0_TX));
    poke_word(ws.cpuMemory, 064, 02000);
    cpu.psw = 0400; // the CPU starts in HALT mode
    workstation_start_cpu();
    EXPECT_TRUE(workstation_accept_cpu_interrupt());
    run_instruction(&cpu);
    EXPECT_EQ(cpu.r[7], 02000u);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], 0u);

    // Channel 1, PPU to CPU and back, with both interrupt enables.
    cpu.psw = 0;
    bus(cpu, Word, 0176660, 0x40);
    bus(ws.ppu, Word, 0177076, 2);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], uint32_t(PPU_IRQ_CH1_TX)); // ready and enabled
    ws.PendingInterrupts[UKNC_PPU] = 0;
    bus(ws.ppu, Word, 0177072, 'Q');
    EXPECT_EQ(ws.cpuRxCsr[1], 0xC0);
    EXPECT_EQ(ws.ppuTxStatus & 0x10, 0);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], uint32_t(CPU_IRQ_CH1_RX));
    EXPECT_EQ(bus(cpu, Read, 0176662), 'Q');
    EXPECT_EQ(ws.cpuRxCsr[1], 0x40);
    EXPECT_EQ(ws.ppuTxStatus, 0x1A);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], uint32_t(PPU_IRQ_CH1_TX));
}

TEST(WorkstationRegisters, KgdConsoleThrottle)
{
    workstation_test_complex();
    ws.cpu.psw = 0;
    ws.KgdConsoleLimit = 19;
    int told = 0;
    for (int i = 0; i < 25; ++i) {
        bus(ws.cpu, Word, 0177566, uint16_t('a' + i));
        if (ws.ppuRxStatus & 0x08) {
            ++told;
            bus(ws.ppu, Read, 0177060);
        }
    }
    EXPECT_EQ(told, 18);
    workstation_console_catch_up();
    EXPECT_EQ(ws.ppuRxStatus & 0x08, 0x08);
    EXPECT_EQ(ws.ppuRxData[0], 'a' + 24);
    EXPECT_EQ(ws.consoleBytesThisFrame, 0u);
    bus(ws.ppu, Read, 0177060);
    workstation_console_catch_up();
    EXPECT_EQ(ws.ppuRxStatus & 0x08, 0);
}

TEST(WorkstationRegisters, PpuMemoryControlAndPlanes)
{
    workstation_test_complex();
    Pdp11Cpu& ppu = ws.ppu;
    ppu.r[7] = 0x200;
    poke_word(ws.rom, 0x2000, 0x5AA5); // PPU address 0120000
    testing::internal::CaptureStdout();
    bus(ppu, Word, 0177054, 0x300);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "PPU Adres Space changed -> 0x0000\nSystem ROM off at location PC = 0x200\n");
    bus(ppu, Read, 0100000);
    EXPECT_EQ(ppu.stepHandler, bus_error_trap);

    testing::internal::CaptureStdout();
    bus(ppu, Word, 0177054, 0x21);
    bus(ppu, Word, 0120000, 0xBEEF);
    EXPECT_EQ(ppu.stepHandler, pdp11_decode_step);
    EXPECT_EQ(bus(ppu, Read, 0120000), 0x5AA5);
    bus(ppu, Word, 0140000, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "PPU Adres Space changed -> 0x0021\nPPU Write address not found 0xC000 at PC=0x 200\n");
    EXPECT_EQ(ppu.stepHandler, bus_error_trap);
    EXPECT_EQ(peek_word(ws.ppuMemory, 0xA000), 0xBEEF);
    bus(ppu, Byte, 0160000, 1);
    EXPECT_EQ(ppu.stepHandler, bus_error_trap);

    // Pixel write: masks 0xFF, 0, 0xFF over latches 0x55.
    bus(ppu, Word, 0177010, 0x4321);
    bus(ppu, Word, 0177016, 5);
    EXPECT_EQ(bus(ppu, Read, 0177016), 1);
    bus(ppu, Word, 0177020, 0x0707);
    bus(ppu, Word, 0177022, 0x878F); // nibble bit 3 is not part of the code
    EXPECT_EQ(bus(ppu, Read, 0177022), 0x0707);
    bus(ppu, Word, 0177024, 0x0F);
    EXPECT_EQ(ws.ppuMemory[0x4321], 0x5F);
    EXPECT_EQ(ws.cpuMemory[0x8642], 0x50);
    EXPECT_EQ(ws.cpuMemory[0x8643], 0x5F);
    EXPECT_EQ(bus(ppu, Read, 0177014), 0x5F50);
    EXPECT_EQ(bus(ppu, Read, 0177012), 0x5F);
    // Plane 1 write disabled.
    bus(ppu, Word, 0177026, 2);
    bus(ppu, Word, 0177024, 0);
    EXPECT_EQ(ws.ppuMemory[0x4321], 0x55);
    EXPECT_EQ(ws.cpuMemory[0x8642], 0x50);
    EXPECT_EQ(ws.cpuMemory[0x8643], 0x55);
    // Reading the pixel register loads the latches from the planes.
    EXPECT_EQ(bus(ppu, Read, 0177024), 0);
    EXPECT_EQ(bus(ppu, Read, 0177020), 0x0505);
    EXPECT_EQ(bus(ppu, Read, 0177022), 0x0707);
    // Byte lanes of the plane 1/2 register; plane 0 register takes the low byte.
    bus(ppu, Byte, 0177015, 0xAB);
    bus(ppu, Byte, 0177014, 0xCD);
    EXPECT_EQ(bus(ppu, Read, 0177014), 0xABCD);
    bus(ppu, Word, 0177012, 0x1234);
    EXPECT_EQ(ws.ppuMemory[0x4321], 0x34);
}

TEST(WorkstationRegisters, TimerCompareArithmetic)
{
    workstation_test_complex();
    Pdp11Cpu& ppu = ws.ppu;
    ppu.cycleBudget = 1000000;
    bus(ppu, Word, 0177712, 0x4064); // 14 bits: 100
    EXPECT_EQ(bus(ppu, Read, 0177714), 100);
    bus(ppu, Word, 0177710, 0x41); // run, interrupt enable, prescaler 0
    ppu.cycleBudget -= 800 * 256;
    EXPECT_EQ(bus(ppu, Read, 0177714), 50);
    workstation_timer_check();
    EXPECT_EQ(ws.timerControl & 0x80, 0);
    ppu.cycleBudget -= 800 * 256;
    workstation_timer_check();
    EXPECT_EQ(ws.timerControl, 0xC1);
    EXPECT_EQ(ws.PendingInterrupts[UKNC_PPU], uint32_t(PPU_IRQ_TIMER));
    ppu.cycleBudget -= 1600 * 256;
    workstation_timer_check();
    EXPECT_EQ(ws.timerControl, 0xC9); // expired again unseen: overrun
    EXPECT_EQ(bus(ppu, Read, 0177714), 0);
    EXPECT_EQ(ws.timerControl, 0x49);
    // The frame start moves a running timer with the budget.
    int64_t compare = ws.timerCompare;
    workstation_timer_frame_start();
    EXPECT_EQ(ws.timerCompare, compare + 256LL * 160000);
    // Largest period and prescaler near the top of the budget: no overflow.
    bus(ppu, Word, 0177710, 0);
    EXPECT_EQ(ws.timerCompare, uknc_timer_never);
    ppu.cycleBudget = 0x7FFFFF00;
    bus(ppu, Word, 0177712, 0x3FFF);
    bus(ppu, Word, 0177710, 7); // prescaler 3
    EXPECT_EQ(bus(ppu, Read, 0177714), 0x3FFF);
    EXPECT_EQ(ws.timerCompare, 0x7FFFFF00LL - (0x3FFFLL << 7) * 256);
    // A stopped timer never expires.
    bus(ppu, Word, 0177710, 0);
    ppu.cycleBudget = -0x7FFFFFFF;
    workstation_timer_check();
    EXPECT_EQ(ws.timerControl & 0x80, 0);
}

TEST(WorkstationRegisters, SystemRegisterStartsAndStopsTheCpu)
{
    workstation_test_complex();
    poke_word(ws.cpuMemory, 0160300, 005000); // CLR R0
    testing::internal::CaptureStdout();
    workstation_write_system_register(0x8000);
    workstation_write_system_register(0x8000);
    EXPECT_FALSE(ws.cpuHeld);
    EXPECT_EQ(ws.cpu.prefetch, 005000u);
    EXPECT_EQ(ws.cpu.busOperation, ws.cpu.opFetch);
    workstation_write_system_register(0x0010); // HALT mode already: no request
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], uint32_t(CPU_IRQ_POWER_FAIL));
    ws.cpu.psw = 0;
    workstation_write_system_register(0x0010);
    workstation_write_system_register(0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Start CPU\nSysCon CPU USER->HALT\nSysCon CPU HALT->USER\n");
    EXPECT_EQ(ws.PendingInterrupts[UKNC_CPU], uint32_t(CPU_IRQ_POWER_FAIL | CPU_IRQ_HALT));
}

TEST(WorkstationRegisters, InterruptOrders)
{
    workstation_test_complex();
    workstation_start_cpu();
    ws.ppu.busOperation = ws.ppu.opFetch;
    struct Order {
        Pdp11Cpu* cpu;
        uint32_t* pending;
        bool (*accept)();
        std::vector<uint32_t> vectors;
    } orders[] = {
        {&ws.cpu, &ws.PendingInterrupts[UKNC_CPU], workstation_accept_cpu_interrupt,
         {0160170, 024, 0100, 060, 064, 0460, 0464, 0474}},
        {&ws.ppu, &ws.PendingInterrupts[UKNC_PPU], workstation_accept_ppu_interrupt,
         {0100, 0310, 0304, 0300, 0320, 0324, 0330, 0334, 0340}},
    };
    for (Order& o : orders) {
        *o.pending = 0xFFE0;
        ws.ppuDataPresent = 7;
        o.cpu->psw = 0200; // priority 4 blocks everything
        EXPECT_FALSE(o.accept());
        for (uint32_t vector : o.vectors) {
            o.cpu->psw = 0;
            o.cpu->busOperation = o.cpu->opFetch;
            ASSERT_TRUE(o.accept());
            EXPECT_EQ(o.cpu->vector, vector);
            if (o.cpu == &ws.ppu && vector == 0320) {
                EXPECT_EQ(ws.ppuDataPresent, 6);
            }
        }
    }
    EXPECT_EQ(ws.ppuDataPresent, 0);
}

} // namespace
