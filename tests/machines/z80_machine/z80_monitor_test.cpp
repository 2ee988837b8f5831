// The shared Z80 console monitor: command parsing, modes, dumps and end of input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/host.h"
#include "machines/z80_machine/z80_monitor.h"

namespace {

namespace fs = std::filesystem;

uint8_t memory[65536];
int presents = 0;
int reads = 0;

void flat_read(Z80State* s)
{
    ++reads;
    s->data = memory[s->addr & 0xFFFF];
}
void count_present() { ++presents; }

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class MonitorTest : public ::testing::Test {
protected:
    Z80State cpu{};
    Z80Monitor m;
    FILE* in = nullptr;
    FILE* out = nullptr;
    fs::path old_dir, dir;

    void SetUp() override
    {
        std::memset(memory, 0, sizeof memory);
        presents = 0;
        reads = 0;
        cpu.read_mem = flat_read;
        m.cpu = &cpu;
        m.memory = memory;
        m.memory_file = "PK8000Memory.bin";
        m.dump_file = "PK8000-DisDump.txt";
        m.present = count_present;
        out = std::tmpfile();
        m.output = out;
        z80_monitor_reset(&m);
        old_dir = fs::current_path();
        dir = fs::temp_directory_path() / ("korvel_monitor_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        if (in) std::fclose(in);
        std::fclose(out);
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }
    void type(const std::string& text)
    {
        if (in) std::fclose(in);
        in = std::tmpfile();
        std::fputs(text.c_str(), in);
        std::rewind(in);
        m.input = in;
    }
    std::string console()
    {
        std::fflush(out);
        std::rewind(out);
        std::string text;
        for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
        return text;
    }
};

TEST_F(MonitorTest, RunModeStopsOnlyAtTheBreakpoint)
{
    type("r 1234\n");
    cpu.pc = 0x1000;
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 0); // running: no prompt, nothing read
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 1);
    EXPECT_EQ(m.mode, 'r');
    EXPECT_EQ(m.breakpoint, 0x1234u);
    EXPECT_NE(console().find("PC=1000"), std::string::npos);
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 1);
    cpu.pc = 0x1234;
    type("r  0x5678 \n");
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 2);
    EXPECT_EQ(m.breakpoint, 0x5678u);
    EXPECT_TRUE(z80_monitor_frame_done(&m));
}

// A command letter followed by the end of its line takes no address and never waits for
// another line: "r" alone runs without a breakpoint, "d" takes its end from the next line.
TEST_F(MonitorTest, ALetterAloneOnItsLineTakesNoAddress)
{
    type("r\nd\n1240\nr zz\nm\n");
    m.breakpoint = 0x40;
    m.address = 0x1234;
    z80_monitor_prompt(&m);
    EXPECT_EQ(m.mode, 'r');
    EXPECT_EQ(m.breakpoint, z80_monitor_no_breakpoint);
    z80_monitor_prompt(&m);
    EXPECT_EQ(m.mode, 'd');
    EXPECT_EQ(m.address, 0x1234);
    EXPECT_EQ(m.end_address, 0x1240);
    z80_monitor_prompt(&m); // "r zz" refused, "m" read
    EXPECT_EQ(m.mode, 'm');
    EXPECT_NE(console().find("Not a number: zz\n"), std::string::npos);
}

TEST_F(MonitorTest, LineEndStepsAndFrameRunsToTheFrameEnd)
{
    type("\nf 0\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 1);
    z80_monitor_check(&m); // still stepping: prompts before the next instruction
    EXPECT_EQ(presents, 2);
    EXPECT_EQ(m.mode, 'f');
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 2);
    EXPECT_FALSE(z80_monitor_frame_done(&m)); // the prompt presents, not the frame end
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 3);
}

// "\r\n" line ends, blanks before a command and after an address, and several commands
// on one line: each command reads exactly its own words.
TEST_F(MonitorTest, CommandsAreWordsNotLines)
{
    type("  r 1234  \r\n\r\nj 20 f 0\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(m.mode, 'r');
    EXPECT_EQ(m.breakpoint, 0x1234u);
    z80_monitor_break(&m);
    z80_monitor_check(&m); // the blank line after the address: one step
    EXPECT_EQ(m.mode, 's');
    z80_monitor_check(&m);
    EXPECT_EQ(m.mode, 'j');
    z80_monitor_check(&m); // jumps, then prompts for the rest of the line
    EXPECT_EQ(cpu.pc, 0x20);
    EXPECT_EQ(m.mode, 'f');
    EXPECT_EQ(presents, 4);
    EXPECT_EQ(console().find("expected"), std::string::npos);
}

TEST_F(MonitorTest, MemoryCommandWritesAllOfMemory)
{
    memory[0] = 0x11;
    memory[0xFFFF] = 0x22;
    type("m 0\n\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    z80_monitor_check(&m);
    std::string bin = slurp(dir / "PK8000Memory.bin");
    ASSERT_EQ(bin.size(), 65536u);
    EXPECT_EQ(static_cast<uint8_t>(bin[0]), 0x11);
    EXPECT_EQ(static_cast<uint8_t>(bin[0xFFFF]), 0x22);
    EXPECT_EQ(presents, 2);
}

TEST_F(MonitorTest, DumpFileThatCannotBeCreatedIsFatal)
{
    fs::create_directory(dir / "PK8000-DisDump.txt"); // a directory can't be opened for writing
    type("d 0 10\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EXIT(z80_monitor_check(&m), ::testing::ExitedWithCode(1),
                "Can't create PK8000-DisDump.txt file!");
}

TEST_F(MonitorTest, MachinesWithoutMemoryDumpTreatMAsAStep)
{
    m.memory = nullptr;
    m.memory_file = nullptr;
    type("m 0\n\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(presents, 2);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(MonitorTest, DumpWritesLinesUpToTheEndAddressAndKeepsTheNextAddress)
{
    memory[0x100] = 0x21; // LD HL,$1234
    memory[0x101] = 0x34;
    memory[0x102] = 0x12;
    memory[0x103] = 0xC9; // RET
    memory[0x104] = 0x00;
    type("d 100\n103\n\nd 104 104\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m); // both addresses are read at the prompt
    EXPECT_EQ(m.address, 0x100);
    EXPECT_EQ(m.end_address, 0x103);
    z80_monitor_check(&m); // writes, prompts
    EXPECT_EQ(m.address, 0x104);
    EXPECT_EQ(slurp(dir / "PK8000-DisDump.txt"), "0100 21 34 12     LD   HL,$1234\n"
                                                 "0103 C9           RET  \n");
    EXPECT_EQ(trace_file, nullptr);
    z80_monitor_check(&m); // line end: step
    z80_monitor_check(&m);
    EXPECT_EQ(slurp(dir / "PK8000-DisDump.txt"), "0104 00           NOP  \n");
    EXPECT_EQ(m.address, 0x105);
}

TEST_F(MonitorTest, DumpToTheTopOfMemoryEnds)
{
    type("d fffe ffff\n");
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    z80_monitor_check(&m); // input then ends
    EXPECT_EQ(slurp(dir / "PK8000-DisDump.txt"), "FFFE 00           NOP  \nFFFF 00           NOP  \n");
    EXPECT_EQ(m.mode, 'r');
}

// End of input at the command, after the command character, and between the two
// addresses of a dump: each runs on with no breakpoint, said once in all.
TEST_F(MonitorTest, EndOfInputRunsOnAndSaysSoOnce)
{
    for (const char* text : {"", "r", "r ", "d 100\n", "d\n"}) {
        type(text);
        m.breakpoint = 0x40;
        cpu.pc = 0x40;
        z80_monitor_check(&m);
        EXPECT_EQ(m.mode, 'r') << text;
        EXPECT_EQ(m.breakpoint, z80_monitor_no_breakpoint) << text;
    }
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(m.mode, 'r');
    EXPECT_TRUE(fs::is_empty(dir)); // the cut-off dump wrote nothing
    std::string text = console();
    size_t first = text.find("end of input");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("end of input", first + 1), std::string::npos);
}

// A word that is no hexadecimal number is reported ("Not a number: zz"), dropped with its
// line and the command asked for again; long numbers keep their low 16 bits. The monitor reads memory without
// disturbing the CPU's bus latches.
TEST_F(MonitorTest, BadAddressesAskAgainAndMemoryIsReadWithoutSideEffects)
{
    type("j zz 12\nj 12g\nj 0x\nj -5\nj " + std::string(300, '1') + "\n\n");
    cpu.pc = 0x0005;
    cpu.addr = 0x7777;
    cpu.data = 0x99;
    memory[5] = 0x3E; // LD A,$42 is shown in the dump
    memory[6] = 0x42;
    z80_monitor_break(&m);
    z80_monitor_check(&m);
    EXPECT_EQ(m.mode, 'j');
    EXPECT_EQ(m.address, 0x1111);
    EXPECT_EQ(presents, 1); // asked again without a new prompt
    EXPECT_GT(reads, 0);    // no machine reader: the CPU's read cycle is used
    EXPECT_EQ(cpu.addr, 0x7777);
    EXPECT_EQ(cpu.data, 0x99);
    std::string text = console();
    EXPECT_NE(text.find("LD   A,$42"), std::string::npos);
    size_t complaints = 0;
    for (size_t at = 0; (at = text.find("Not a number: ", at)) != std::string::npos; ++at)
        ++complaints;
    EXPECT_EQ(complaints, 4u);
    z80_monitor_check(&m);
    EXPECT_EQ(cpu.pc, 0x1111);
    EXPECT_EQ(presents, 2);
    EXPECT_EQ(m.mode, 's'); // the blank line
}

} // namespace
