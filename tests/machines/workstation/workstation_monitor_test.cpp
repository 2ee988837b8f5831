// The console monitor in the process, its commands read from a string: single steps of a
// held CPU (the PPU moves on), a board's processor slotted into the monitor's table (a
// stand-in TPU), the board dumps and the dump that cannot be created.
#include "workstation_programs.h"

#include "host/host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
Workstation& ws = workstation;

class WorkstationMonitor : public testing::Test {
protected:
    void SetUp() override
    {
        workstation_test_complex();
        std::vector<uint8_t> rom = synthetic_rom();
        std::memcpy(ws.rom, rom.data(), rom.size());
        workstation_restart();
        if (!ws.PictureBuffer)
            ws.PictureBuffer = static_cast<uint32_t*>(std::calloc(uknc_picture_buffer_pixels, 4));
        ws.display = UkncDisplaySettings{12, uknc_scanlines_black, 276};
        dir = fs::temp_directory_path() / ("korvel_uknc_monitor_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        previous = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override
    {
        if (ws.monitorIn && ws.monitorIn != stdin)
            std::fclose(ws.monitorIn);
        ws.monitorIn = stdin;
        ws.consoleClosed = false;
        ws.kgdMode = false;
        ws.ksmPresent = ws.kcgdPresent = false;
        workstation_processors[MONITOR_TPU] = saved_tpu;
        for (MonitorDump& dump : workstation_dumps)
            if (&dump != &workstation_dumps[DUMP_UKNC])
                dump.data = nullptr;
        workstation_monitor_reset();
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    void commands(const std::string& text)
    {
        input = text;
        ws.monitorIn = fmemopen(input.data(), input.size(), "r");
    }
    fs::path dir, previous;
    std::string input;
    MonitoredProcessor saved_tpu = workstation_processors[MONITOR_TPU];
};

std::vector<std::string> pcs_of(const std::string& out, const std::string& caption)
{
    std::vector<std::string> pcs;
    for (size_t at = out.find(caption); at != std::string::npos; at = out.find(caption, at + 1)) {
        size_t pc = out.rfind("PC=", at);
        pcs.push_back(out.substr(pc + 3, 4));
    }
    return pcs;
}

TEST_F(WorkstationMonitor, SteppingTheHeldCpuStepsThePpu)
{
    ASSERT_TRUE(ws.cpuHeld);
    commands("\n\n\n\n");
    workstation_monitor_enter();
    testing::internal::CaptureStdout();
    workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    std::vector<std::string> ppu = pcs_of(out, "PPU (Main)");
    std::vector<std::string> cpu = pcs_of(out, "CPU (Main)");
    ASSERT_EQ(ppu.size(), 5u) << out;  // the stop and four steps, then the end of input
    for (size_t k = 1; k < ppu.size(); ++k) {
        EXPECT_NE(ppu[k], ppu[k - 1]) << out;  // every step shows the PPU's next instruction
        EXPECT_EQ(cpu[k], "E0C0");             // the CPU is still held
    }
    EXPECT_EQ(ppu[0], "E0C0");
    EXPECT_EQ(ppu[1], "E0C4");  // MOV #1000,SP is two words
    EXPECT_NE(out.find("Console input closed: running on (r) without a breakpoint\n"), std::string::npos);
    EXPECT_EQ(ws.monitorCommand, 'r');
}

// A stand-in for the KSM's Z80, slotted into the table as a board would.
uint32_t tpu_pc = 0x0BCC;

TEST_F(WorkstationMonitor, BoardProcessorsAndDumpsSlotIn)
{
    MonitoredProcessor& tpu = workstation_processors[MONITOR_TPU];
    tpu.at_boundary = [] { return true; };
    tpu.pc = [] { return tpu_pc; };
    tpu.next_instruction = [] { return uint32_t(0xC9); };
    tpu.jump = [](uint32_t address) { tpu_pc = address & 0xFFFF; };
    tpu.print_registers = [] { std::printf("TPU registers PC=%04X\n", tpu_pc); };
    static uint8_t ksm[100352];
    static uint8_t kcgd[16];
    ksm[5] = 0x5A;
    workstation_dumps[DUMP_KSM].data = ksm;
    workstation_dumps[DUMP_KCGD].data = kcgd;
    fs::create_directories(dir / "KCGDMemory.bin"); // cannot be created as a file

    ws.ksmPresent = true;
    ws.kgdMode = true; // the KGD bitmap over the KSM: the stop shows the TPU's registers
    ws.ie15Selected = false;
    commands("g 0\nt 0\nj 1234\nz 0\nn 0\nb 0\np 0\nc 0\n");
    testing::internal::CaptureStdout();
    for (int k = 0; k < 9; ++k)
        workstation_monitor_stop();
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(out.find("Monitored processor = GPU"), std::string::npos); // no KCGD fitted: a step
    size_t at = 0;
    for (const char* text : {"TPU registers PC=0BCC\n", "CPU (Main)", "Monitored processor = TPU\n",
                             "TPU registers PC=1234\n", "Can't create KCGDMemory.bin file!\n",
                             "Monitored processor = PPU\n", "Monitored processor = CPU\n",
                             "Console input closed"}) {
        size_t found = out.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << " in order in:\n" << out;
        at = found + 1;
    }
    EXPECT_EQ(out.find("Timer: "), std::string::npos);
    EXPECT_EQ(ws.monitoredSlot, MONITOR_CPU);
    std::ifstream in("KSMMemory.bin", std::ios::binary);
    std::string dump((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(dump.size(), sizeof ksm);
    EXPECT_EQ(dump[5], 0x5A);
    EXPECT_FALSE(fs::exists("IE15Memory.bin")); // no 15IE built: a plain step
}

} // namespace

namespace {

// Monitor input, read line by line: a letter and the end of its line take no number (the
// next line is the next command), and a word that is no hexadecimal number is reported and
// its line dropped: "r zz" never writes KSMMemory.bin. Each stop: (command, breakpoint).
TEST_F(WorkstationMonitor, ALetterAloneTakesNoNumberAndTextThatIsNoNumberIsDropped)
{
    static uint8_t ksm[100352];
    workstation_dumps[DUMP_KSM].data = ksm;
    ws.ksmPresent = true;
    commands("r 1234\nx\nc 0\nr zz\nj 0x\nr\n");
    const std::pair<char, uint32_t> stops[] = {{'r', 0x1234}, {'x', 0x1234}, {'c', 0}, {'r', 0x10000}};
    testing::internal::CaptureStdout();
    for (const auto& [command, breakpoint] : stops) {
        workstation_monitor_stop();
        EXPECT_EQ(ws.monitorCommand, command);
        EXPECT_EQ(ws.breakpoint, breakpoint) << command;
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Monitored processor = CPU\n"), std::string::npos);
    EXPECT_NE(out.find("Not a number: zz\nNot a number: 0x\n"), std::string::npos);
    EXPECT_FALSE(ws.consoleClosed);
    EXPECT_FALSE(fs::exists("KSMMemory.bin"));
}

} // namespace
