// Memory banking, the I/O page tables and their registers.
#include "ms0515_test_support.h"

#include <gtest/gtest.h>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class Ms0515Memory : public testing::Test {
protected:
    void SetUp() override { ms0515_test_machine(); }
    uint8_t block(uint32_t offset) { return ms0515.memory[offset]; }
};

TEST_F(Ms0515Memory, StartMapReadsBankAAndRomWritesRomPagesIntoTheSink)
{
    ms0515.memory[ms0515_rom] = 0x11;
    ms0515.memory[ms0515_rom + 0x2000] = 0x22;
    ms0515_write_byte(0x0100, 0x5A);
    ms0515_write_byte(0xA000, 0x5B);
    EXPECT_EQ(block(ms0515_bank_a + 0x0100), 0x5A);
    EXPECT_EQ(block(ms0515_bank_a + 0xA000), 0x5B);
    EXPECT_EQ(ms0515_read_byte(0xC000), 0x11);
    EXPECT_EQ(ms0515_read_byte(0xE000), 0x22);
    ms0515_write_word(0xE000, 0xBEEF);
    ms0515_write_byte(0xC001, 0x77);
    EXPECT_EQ(ms0515_read_word(0xE000), 0x0022);
    EXPECT_EQ(ms0515_read_byte(0xC001), 0x00);
    EXPECT_EQ(block(ms0515_sink), 0xEF);
    EXPECT_EQ(block(ms0515_sink + 1), 0x77); // both ROM pages share the one sink
}

TEST_F(Ms0515Memory, MemConSelectsBanksPerPage)
{
    ms0515_write_mem_con(0x007F);
    for (uint32_t page = 0; page < 7; ++page)
        ms0515_write_byte(page * 0x2000 + 3, static_cast<uint8_t>(0x30 + page));
    for (uint32_t page = 0; page < 7; ++page)
        EXPECT_EQ(block(ms0515_bank_a + page * 0x2000 + 3), 0x30 + page) << page;
    // 0x00FF also opens the video window, which takes pages 0-1 from the banks.
    ms0515_write_mem_con(0x00FF);
    EXPECT_EQ(ms0515_read_byte(0x4003), 0x32);
    EXPECT_EQ(ms0515_read_byte(0xC003), 0x36);
    ms0515_write_byte(0x0003, 0x99);
    EXPECT_EQ(block(ms0515_video + 3), 0x99);

    ms0515_write_mem_con(0x0000);
    for (uint32_t page = 0; page < 7; ++page)
        ms0515_write_byte(page * 0x2000 + 5, static_cast<uint8_t>(0x40 + page));
    for (uint32_t page = 0; page < 7; ++page) {
        EXPECT_EQ(block(ms0515_bank_b + page * 0x2000 + 5), 0x40 + page) << page;
        EXPECT_EQ(block(ms0515_bank_a + page * 0x2000 + 5), 0) << page;
    }
    // A mixed pattern: bit k alone picks bank A for page k only.
    ms0515_write_mem_con(0x0004);
    EXPECT_EQ(ms0515_read_byte(0x4003), 0x32);
    EXPECT_EQ(ms0515_read_byte(0x2005), 0x41);
    EXPECT_EQ(ms0515.memCon, 0x0004);
}

TEST_F(Ms0515Memory, VideoWindowPlacementAndPrecedence)
{
    struct Case {
        uint16_t memCon;
        uint32_t base;
    } cases[] = {{0x0C80, 0x8000}, {0x0880, 0x8000}, {0x0480, 0x4000}, {0x00BF, 0x0000}};
    for (const Case& c : cases) {
        ms0515_test_machine();
        ms0515_write_mem_con(c.memCon);
        ms0515_write_word(c.base, 0x1234);
        ms0515_write_byte(c.base + 0x3FFF, 0x99);
        EXPECT_EQ(block(ms0515_video), 0x34) << std::hex << c.memCon;
        EXPECT_EQ(block(ms0515_video + 0x3FFF), 0x99) << std::hex << c.memCon;
    }
    // Without bit 7 bits 10/11 mean nothing.
    ms0515_test_machine();
    ms0515_write_mem_con(0x0C3F);
    ms0515_write_byte(0x8000, 1);
    EXPECT_EQ(block(ms0515_video), 0);
    EXPECT_EQ(block(ms0515_bank_a + 0x8000), 1);
}

TEST_F(Ms0515Memory, ExtendedRomHoldsPage6AndReportsOnlyChanges)
{
    ms0515.memory[ms0515_rom + 10] = 0xAA;
    ms0515_write_mem_con(0x0040);
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0); // bank A
    CaptureStdout();
    ms0515_write_sysreg_a(0x80);
    ms0515_write_sysreg_a(0x80);
    ms0515_write_mem_con(0x0040); // MEM_CON cannot take page 6 from the ROM
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0xAA);
    ms0515_write_byte(0xC00A, 0x55);
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0xAA);
    ms0515_write_sysreg_a(0x00);
    ms0515_write_sysreg_a(0x01);
    EXPECT_EQ(GetCapturedStdout(), "Extended ROM ON\nExtended ROM Off\n");
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0);
    EXPECT_EQ(block(ms0515_bank_a + 0xC00A), 0);
}

TEST_F(Ms0515Memory, DriveSelectionLeavesThePowerOnRomInPage6)
{
    ms0515.memory[ms0515_rom + 10] = 0xAA;
    ms0515_write_sysreg_a(0x01);
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0xAA);
    ms0515_write_mem_con(0x0000);
    EXPECT_EQ(ms0515_read_byte(0xC00A), 0x00);
}

TEST_F(Ms0515Memory, MemConBit8RaisesVector064OnEveryWrite)
{
    ms0515_write_word(0177400, 0x0100);
    EXPECT_EQ(ms0515.MsPendingInterrupts, MS0515_IRQ_MEMCON);
    ms0515.MsPendingInterrupts = 0;
    ms0515_write_word(0177400, 0x00FF);
    EXPECT_EQ(ms0515.MsPendingInterrupts, 0u);
}

TEST_F(Ms0515Memory, IoPageNeverReachesThePageTables)
{
    ms0515.memory[ms0515_rom + 0x3F04] = 0x12; // what page 7 holds at 0177404
    CaptureStdout();
    EXPECT_EQ(ms0515_read_word(0177404), 0);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Read word from unrealized CPU register 0xFF04 (*) from location PC=0x"), std::string::npos)
        << out;
}

TEST_F(Ms0515Memory, ByteWritesEvenReachTheWordHandlerOddAreUnrealized)
{
    CaptureStdout();
    ms0515_write_byte(0177600, 0x83);
    EXPECT_EQ(ms0515.sysregA, 0x83);
    ms0515_write_byte(0177601, 0x00);
    EXPECT_EQ(ms0515.sysregA, 0x83);
    ms0515_write_byte(0177605, 0x08);
    EXPECT_EQ(ms0515.videoMode, 0);
    ms0515_write_byte(0177604, 0x0B);
    EXPECT_EQ(ms0515.videoMode, 0x0B);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Write word 0x0000 to unrealized CPU register 0xFF81 from location PC = 0x"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Write word 0x0008 to unrealized CPU register 0xFF85"), std::string::npos) << out;
}

TEST_F(Ms0515Memory, RegisterTableReadsAndWrites)
{
    CaptureStdout();
    // Registers that read 0 and ignore writes report nothing.
    for (uint32_t a : {0177400u, 0177460u, 0177504u, 0177506u, 0177524u, 0177526u, 0177540u, 0177546u,
                       0177600u, 0177606u, 0177700u, 0177702u})
        EXPECT_EQ(ms0515_read_word(a), 0) << std::oct << a;
    for (uint32_t a : {0177442u, 0177524u, 0177526u, 0177540u, 0177546u, 0177702u})
        ms0515_write_word(a, 0x1234);
    EXPECT_EQ(GetCapturedStdout(), "");

    CaptureStdout();
    ms0515_write_word(0177440, 0x0001);
    ms0515_write_word(0177504, 0x0002);
    ms0515_write_word(0177506, 0x0003);
    ms0515_write_word(0177700, 0x0004);
    ms0515_write_word(0177606, 0x00C5);
    std::string out = GetCapturedStdout();
    for (const char* text : {"0x0001 to unrealized CPU register 0xFF20", "0x0002 to unrealized CPU register 0xFF44",
                             "0x0003 to unrealized CPU register 0xFF46", "0x0004 to unrealized CPU register 0xFFC0",
                             "SYSREG_CON = 0x00C5\n"})
        EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;

    ms0515_write_word(0177604, 0x010D);
    EXPECT_EQ(ms0515_read_word(0177604), 0x0D);
    EXPECT_EQ(ms0515_read_word(0177442), 0x01); // keyboard status at start
}

TEST_F(Ms0515Memory, ByteReadOfOddIoAddressTakesTheHighByte)
{
    ms0515_write_word(0177604, 0x0009);
    EXPECT_EQ(ms0515_read_byte(0177604), 0x09);
    EXPECT_EQ(ms0515_read_byte(0177605), 0x00);
}

TEST_F(Ms0515Memory, SysregASelectsTheDriveAndFeedsItsRecord)
{
    ms0515_write_word(0177600, 0x0E); // drive 2, idle bit 1, side 1
    EXPECT_EQ(ms0515.floppy.selected, 2);
    EXPECT_EQ(ms0515.floppy.drives[2].idle, 1);
    EXPECT_EQ(ms0515.floppy.drives[2].side, 1);
    ms0515_write_word(0177600, 0x01); // drive 1 busy, side 0
    EXPECT_EQ(ms0515.floppy.drives[1].idle, 0);
    EXPECT_EQ(ms0515.floppy.drives[2].side, 1); // drive 2 keeps its own
}

} // namespace
