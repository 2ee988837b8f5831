// Independent probes of the UKNC CPU and PPU I/O pages, written from the hardware
// description rather than from the code: every address is classified here (register,
// non-existent = bus error, unrealized = message only) and checked by direct bus accesses
// and by sweep programs that the CPU and the PPU run themselves, taking the bus-error trap
// through vector 4; then storms of random programs and random register traffic that must
// neither crash nor hang, and print nothing but the complex's own messages.
#include "workstation_probe_support.h"

#include "machines/uknc/uknc_floppy.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

namespace {

using namespace probe;

Workstation& ws = workstation;

enum Kind : uint8_t { Ok, Nx, Ur };

struct Expect {
    Kind read;
    Kind word; // also the even byte: the even byte slot is the word handler
    Kind oddByte;
    int value; // read value when the register's value is fixed, else -1
};

bool odd_in(uint32_t a, uint32_t first, uint32_t last) { return (a & 1) && a >= first && a <= last; }

// The CPU I/O page 0160000-0177777 of a bare UKNC (no KGD, NEMIGA, E-85 boards).
Expect cpu_expect(uint32_t a)
{
    Expect e{Nx, Nx, Nx, -1};
    if ((a >= 0176560 && a <= 0176572) || a == 0176576 || a == 0176644 || a == 0176646 || a == 0176670 ||
        a == 0176672)
        e.read = e.word = Ur;
    if (a == 0176574)
        e = {Ok, Ur, Nx, 0};
    if (a == 0176640 || a == 0176642 || a == 0176660 || a == 0176664 || a == 0176674 || a == 0177560 ||
        a == 0177564)
        e.read = e.word = Ok;
    if (a == 0176662)
        e.read = Ok;
    if (a == 0176666 || a == 0176676 || a == 0177566)
        e = {Ok, Ok, Nx, 0};
    if (a == 0177562)
        e = {Ok, Ur, Nx, -1};
    uint32_t o = a | 1;
    if (odd_in(o, 0176561, 0176577) || o == 0176641 || o == 0176645 || o == 0176647 ||
        odd_in(o, 0176661, 0176677) || odd_in(o, 0177561, 0177567))
        e.oddByte = Ur;
    if (o == 0176643)
        e.oddByte = Ok;
    return e;
}

// The PPU I/O page 0177000-0177777.
Expect ppu_expect(uint32_t a)
{
    Expect e{Nx, Nx, Nx, -1};
    if (a >= 0177010 && a <= 0177026)
        e.read = e.word = Ok;
    if (a >= 0177030 && a <= 0177052)
        e = {Nx, Ur, Nx, -1};
    if (a == 0177054 || a == 0177066 || a == 0177076 || a == 0177130 || a == 0177132 || a == 0177700 ||
        a == 0177702 || a == 0177710 || a == 0177716)
        e.read = e.word = Ok;
    if (a == 0177060 || a == 0177062 || a == 0177064 || a == 0177714)
        e.read = Ok;
    if (a == 0177070)
        e = {Ok, Ok, Nx, 0};
    if (a == 0177072)
        e = {Ur, Ok, Nx, -1};
    if (a == 0177074 || a == 0177100 || a == 0177102)
        e.read = e.word = Ur;
    if (a == 0177324)
        e = {Ok, Nx, Nx, 0};
    if (a == 0177704)
        e = {Ok, Ur, Nx, 0x1000};
    if (a == 0177712)
        e.word = Ok;
    uint32_t o = a | 1;
    if (odd_in(o, 0177011, 0177055) || odd_in(o, 0177061, 0177103) || o == 0177131 || o == 0177133 ||
        odd_in(o, 0177701, 0177705) || odd_in(o, 0177711, 0177717))
        e.oddByte = Ur;
    if (o == 0177015)
        e.oddByte = Ok;
    return e;
}


// The report a processor prints for an access of the given kind ("" for a register).
std::string report(bool ppu, Access access, Kind kind, uint32_t address, uint32_t pc)
{
    static const char* const cpu_text[3][3] = {
        {"", "Read word from non-existent CPU register 0x%X from location PC = 0x%X\n",
         "Read word from unrealized CPU register 0x%X (*) from location PC=0x%X\n"},
        {"", "Write word to non-existent CPU register 0x%X from location PC = 0x%X\n",
         "Write word to unrealized CPU register 0x%X (*) from location PC = 0x%X\n"},
        {"", "Write byte to non-existent CPU register 0x%X from location PC = 0x%X\n",
         "Write byte to unrealized CPU register 0x%X (*) from location PC = 0x%X\n"},
    };
    static const char* const ppu_text[3][3] = {
        {"", "Read from non-existent PPU register 0x%X from location PC = 0x%X\n",
         "Read from unrealized PPU register 0x%X (*) from location PC=0x%X\n"},
        {"", "Write word to non-existent PPU register 0x%X from location PC = 0x%X\n",
         "Write word to unrealized PPU register 0x%X (*) from location PC=0x%X\n"},
        {"", "Write byte to non-existent PPU register 0x%X from location PC = 0x%X\n",
         "Write byte to unrealized PPU register 0x%X (*) from location PC=0x%X\n"},
    };
    if (kind == Ok)
        return "";
    return format((ppu ? ppu_text : cpu_text)[access][kind], address, pc);
}

// Expected kind and report of one access; a byte write to an even address is a word write.
Kind kind_of(const Expect& e, Access access, uint32_t address)
{
    if (access == Read)
        return e.read;
    if (access == Word || !(address & 1))
        return e.word;
    return e.oddByte;
}

std::string expected_report(bool ppu, Access access, uint32_t address, uint32_t pc)
{
    Expect e = ppu ? ppu_expect(address & ~1u) : cpu_expect(address & ~1u);
    Kind kind = kind_of(e, access, address);
    Access printed = (access == Byte && !(address & 1)) ? Word : access;
    return report(ppu, printed, kind, address, pc);
}

// Every address of both I/O pages, every access kind, called directly on the bus slots.
TEST(WorkstationProbe, EveryIoAddressAnswersAsDescribed)
{
    workstation_test_complex();
    struct Page {
        bool ppu;
        uint32_t first;
    } pages[] = {{false, 0160000}, {true, 0177000}};
    for (const Page& page : pages) {
        for (uint32_t a = page.first; a <= 0177777; ++a) {
            for (Access access : {Read, Word, Byte}) {
                if (access != Byte && (a & 1))
                    continue;
                workstation_restart();
                Pdp11Cpu& c = page.ppu ? ws.ppu : ws.cpu;
                c.psw = 0; // user mode: the CPU's I/O page answers
                c.r[7] = 01234;
                Expect e = page.ppu ? ppu_expect(a & ~1u) : cpu_expect(a & ~1u);
                Kind kind = kind_of(e, access, a);
                testing::internal::CaptureStdout();
                uint16_t value = bus(c, access, a, 0x55);
                std::string out = testing::internal::GetCapturedStdout();
                SCOPED_TRACE(testing::Message() << (page.ppu ? "PPU " : "CPU ") << "access " << access
                                                << " at 0" << std::oct << a);
                if (kind == Ok)
                    EXPECT_FALSE(has_report(out)) << out;
                else
                    EXPECT_EQ(out, expected_report(page.ppu, access, a, 01234));
                EXPECT_EQ(c.stepHandler == bus_error_trap, kind == Nx);
                if (access == Read && kind != Ok) {
                    EXPECT_EQ(value, 0);
                }
                if (access == Read && kind == Ok && e.value >= 0) {
                    EXPECT_EQ(value, e.value);
                }
            }
        }
    }
}

// Sweep program: reads every word, then writes every word, then every byte of the I/O
// page from `first`, logging in memory at 010000 the address register after each
// bus-error trap (vector 4), 1 between the three sweeps; sets 07000 when done.
Pdp11Program sweep_program(uint32_t origin, uint16_t first, bool ppu)
{
    const uint16_t words = uint16_t((0200000 - first) / 2);
    Pdp11Program p(origin);
    p.w({012706, 001000});                         // MOV #1000,SP
    if (ppu)
        p.w({0106427, 000340});                    // MTPS #340: no interrupts in the way
    p.w({012737}).address_of("trap").w({000004});  // MOV #trap,@#4
    p.w({012737, uint16_t(ppu ? 0340 : 0), 000006});
    p.w({012702, 010000});                         // MOV #10000,R2
    p.w({005000});                                 // CLR R0
    p.w({012701, first, 012703, words});
    p.label("read").w({005721}).sob(3, "read");    // TST (R1)+
    p.w({012722, 000001});
    p.w({012701, first, 012703, words});
    p.label("word").w({010021}).sob(3, "word");    // MOV R0,(R1)+
    p.w({012722, 000001});
    p.w({012701, first, 012703, uint16_t(2 * words)});
    p.label("byte").w({0110021}).sob(3, "byte");   // MOVB R0,(R1)+
    p.w({012722, 000001});
    p.w({012737, 1, 007000});                      // done
    p.label("idle").branch(000400, "idle");
    p.label("trap").w({010122, 000002});           // MOV R1,(R2)+; RTI
    p.resolve();
    return p;
}

// Keeps the reports of the given processor, drops the other lines.
std::string reports_only(const std::string& out, const char* who)
{
    std::istringstream in(out);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.find(who) != std::string::npos && has_report(line))
            kept += line + "\n";
    return kept;
}

// Compares two long texts line by line and names the first few differences only.
testing::AssertionResult same_lines(const std::string& actual, const std::string& expected)
{
    std::istringstream a(actual), e(expected);
    std::string la, le;
    int line = 0, shown = 0;
    std::ostringstream diff;
    for (;;) {
        bool ga = bool(std::getline(a, la)), ge = bool(std::getline(e, le));
        if (!ga && !ge)
            break;
        ++line;
        if (!ga)
            la = "<end>";
        if (!ge)
            le = "<end>";
        if (la != le && shown < 8) {
            diff << "line " << line << ": got \"" << la << "\" expected \"" << le << "\"\n";
            ++shown;
        }
    }
    if (shown == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << diff.str();
}

struct SweepResult {
    std::string expectedReports;
    std::vector<uint16_t> expectedLog;
};

SweepResult expected_sweep(bool ppu, uint32_t first, uint32_t origin, const Pdp11Program& p)
{
    SweepResult r;
    const Access accesses[] = {Read, Word, Byte};
    const char* labels[] = {"read", "word", "byte"};
    for (int i = 0; i < 3; ++i) {
        uint32_t pc = p.labels.at(labels[i]) + 2;
        uint32_t step = accesses[i] == Byte ? 1 : 2;
        for (uint32_t a = first; a <= 0177777; a += step) {
            Expect e = ppu ? ppu_expect(a & ~1u) : cpu_expect(a & ~1u);
            // A byte destination is read before it is written (MOVB too); a bus error on
            // the read ends the instruction.
            if (accesses[i] == Byte) {
                r.expectedReports += report(ppu, Read, e.read, a, pc);
                if (e.read == Nx) {
                    r.expectedLog.push_back(uint16_t(a + step));
                    continue;
                }
            }
            r.expectedReports += expected_report(ppu, accesses[i], a, pc);
            if (kind_of(e, accesses[i], a) == Nx)
                r.expectedLog.push_back(uint16_t(a + step));
        }
        r.expectedLog.push_back(1);
    }
    (void)origin;
    return r;
}

testing::AssertionResult same_log(const std::vector<uint16_t>& actual, const std::vector<uint16_t>& expected)
{
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        int a = i < actual.size() ? actual[i] : -1, e = i < expected.size() ? expected[i] : -1;
        if (a != e)
            return testing::AssertionFailure() << "trap log entry " << i << ": got 0" << std::oct << a
                                               << " expected 0" << e << " (entries before: 0"
                                               << (i ? actual[i - 1] : 0) << ", 0" << (i > 1 ? actual[i - 2] : 0) << ")";
    }
    return testing::AssertionSuccess();
}

std::vector<uint16_t> logged(const uint8_t* memory, size_t limit)
{
    std::vector<uint16_t> log;
    int separators = 0;
    for (uint32_t at = 010000; separators < 3 && log.size() < limit; at += 2) {
        log.push_back(peek_word(memory, at));
        if (log.back() == 1)
            ++separators;
    }
    return log;
}

TEST(WorkstationProbe, CpuSweepProgramTrapsOnEveryNonExistentRegister)
{
    workstation_test_complex();
    // The PPU only starts the CPU; the CPU leaves HALT mode into the sweep at 02000.
    Pdp11Program start(0160300);
    start.w({012737, 0100000, 0177716}).label("idle").branch(000400, "idle");
    start.resolve();
    start.store(ws.rom, 0160300 - 0100000);
    cpu_boot().store(ws.cpuMemory, 0160300);
    Pdp11Program sweep = sweep_program(002000, 0160000, false);
    sweep.store(ws.cpuMemory, 002000);
    workstation_restart();

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 60 && !peek_word(ws.cpuMemory, 07000); ++frame)
        workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(peek_word(ws.cpuMemory, 07000), 1) << "the CPU sweep did not finish";
    SweepResult r = expected_sweep(false, 0160000, 002000, sweep);
    EXPECT_EQ(out.substr(0, 10), "Start CPU\n");
    EXPECT_TRUE(same_lines(reports_only(out, "CPU register"), r.expectedReports));
    EXPECT_TRUE(same_log(logged(ws.cpuMemory, r.expectedLog.size() + 8), r.expectedLog));
}

TEST(WorkstationProbe, PpuSweepProgramTrapsOnEveryNonExistentRegister)
{
    workstation_test_complex();
    Pdp11Program sweep = sweep_program(0160300, 0177000, true);
    sweep.store(ws.rom, 0160300 - 0100000);
    workstation_restart();

    testing::internal::CaptureStdout();
    for (int frame = 0; frame < 60 && !peek_word(ws.ppuMemory, 07000); ++frame)
        workstation_run_frame();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(peek_word(ws.ppuMemory, 07000), 1) << "the PPU sweep did not finish";
    SweepResult r = expected_sweep(true, 0177000, 0160300, sweep);
    EXPECT_TRUE(same_lines(reports_only(out, "PPU register"), r.expectedReports));
    EXPECT_TRUE(same_log(logged(ws.ppuMemory, r.expectedLog.size() + 8), r.expectedLog));
    // Writing 0 to memory control switched the ROM's lower page off, once.
    std::string rom_off = format("System ROM off at location PC = 0x%X\n", sweep.labels.at("word") + 2, 0);
    EXPECT_NE(out.find("PPU Adres Space changed -> 0x0000\n" + rom_off), std::string::npos) << out.substr(0, 2000);
    EXPECT_TRUE(ws.cpuHeld);
}

// Every line a storm prints must be one of the complex's messages, exactly: the line is
// parsed by the format whose literal start it has and printed again with it.
const char* const known_messages[] = {
    "Read word from non-existent CPU register 0x%X from location PC = 0x%X",
    "Write word to non-existent CPU register 0x%X from location PC = 0x%X",
    "Write byte to non-existent CPU register 0x%X from location PC = 0x%X",
    "Read word from unrealized CPU register 0x%X (*) from location PC=0x%X",
    "Write word to unrealized CPU register 0x%X (*) from location PC = 0x%X",
    "Write byte to unrealized CPU register 0x%X (*) from location PC = 0x%X",
    "Read from non-existent PPU register 0x%X from location PC = 0x%X",
    "Write word to non-existent PPU register 0x%X from location PC = 0x%X",
    "Write byte to non-existent PPU register 0x%X from location PC = 0x%X",
    "Read from unrealized PPU register 0x%X (*) from location PC=0x%X",
    "Write word to unrealized PPU register 0x%X (*) from location PC=0x%X",
    "Write byte to unrealized PPU register 0x%X (*) from location PC=0x%X",
    "PPU Adres Space changed -> 0x%04X",
    "System ROM off at location PC = 0x%X",
    "PPU Write address not found 0x%4X at PC=0x%4X",
    "Unrealized instruction 0x%.4X on PC = 0x%.4X",
    "Wrong Track: %d",
    "Start CPU",
    "SysCon CPU USER->HALT",
    "SysCon CPU HALT->USER",
};

testing::AssertionResult all_known_messages(const std::string& out)
{
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            return testing::AssertionFailure() << "unterminated line: " << out.substr(start, 100);
        std::string line = out.substr(start, end - start);
        start = end + 1;
        bool known = false;
        for (const char* format_text : known_messages) {
            std::string literal(format_text, std::strcspn(format_text, "%"));
            if (line.compare(0, literal.size(), literal) != 0)
                continue;
            std::string scan(format_text);
            for (const char* wide : {"%04X", "%4X", "%.4X"})
                for (size_t at; (at = scan.find(wide)) != std::string::npos;)
                    scan.replace(at, std::strlen(wide), "%X");
            unsigned a = 0, b = 0;
            if (std::sscanf(line.c_str(), scan.c_str(), &a, &b) < 0)
                continue;
            char again[200];
            std::snprintf(again, sizeof again, format_text, a, b);
            known = line == again;
            if (known)
                break;
        }
        if (!known)
            return testing::AssertionFailure() << "unknown or malformed line: \"" << line << "\"";
    }
    return testing::AssertionSuccess();
}

// Random programs on both processors, for many frames: every report and bus error is
// survived, and each frame ends in bounded time.
TEST(WorkstationProbe, RandomProgramStormsNeitherCrashNorHang)
{
    // The checker itself: exact texts pass, near misses do not.
    EXPECT_TRUE(all_known_messages("Write byte to unrealized PPU register 0xFE09 (*) from location PC=0xE0C4\n"
                                   "PPU Write address not found 0xC000 at PC=0x 200\nStart CPU\n"));
    EXPECT_FALSE(all_known_messages("Write byte to unrealized PPU register 0xfe09 (*) from location PC=0xE0C4\n"));
    EXPECT_FALSE(all_known_messages("Write byte to unrealized PPU register 0xFE09 (*) from location PC = 0xE0C4\n"));
    EXPECT_FALSE(all_known_messages("PPU Adres Space changed -> 0x21\n"));
    const int seeds = 24, frames = 40;
    for (int seed = 1; seed <= seeds; ++seed) {
        std::mt19937 random(uint32_t(seed * 7919));
        workstation_test_complex();
        // A quarter of the words point into the I/O pages, so operands reach registers.
        auto word = [&]() -> uint16_t {
            uint32_t r = random();
            switch (r & 3) {
            case 0: return uint16_t(0177000 | (r >> 8 & 0777));
            case 1: return uint16_t(0160000 | (r >> 8 & 017777));
            default: return uint16_t(r >> 8);
            }
        };
        for (uint32_t i = 0; i < uknc_rom_size; i += 2)
            poke_word(ws.rom, i, word());
        for (uint32_t i = 0; i < 0x20000; i += 2)
            poke_word(ws.cpuMemory, i, word());
        for (uint32_t i = 0; i < 0x10000; i += 2)
            poke_word(ws.ppuMemory, i, word());
        workstation_restart();
        testing::internal::CaptureStdout();
        if (seed & 1)
            workstation_write_system_register(0x8000); // the CPU runs whatever the PPU does
        if (seed % 4 == 1)
            ws.cpu.psw = 0; // in user mode, where its I/O page answers
        for (int f = 0; f < frames; ++f) {
            auto begin = std::chrono::steady_clock::now();
            workstation_run_frame();
            std::vector<uint32_t> picture(640 * 298);
            workstation_render(picture.data());
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            EXPECT_LT(seconds, 5.0) << "seed " << seed << " frame " << f;
            if (seed % 3 == 0 && f == frames / 2)
                workstation_restart();
        }
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(all_known_messages(out)) << "seed " << seed;
        EXPECT_LE(ws.cpu.r[7], 0xFFFFu);
        EXPECT_LE(ws.ppu.r[7], 0xFFFFu);
    }
    uknc_floppy.modified[0] = uknc_floppy.modified[1] = false;
}

// Random register traffic straight at both I/O pages and the floppy registers: any
// address, any access, any value, in any order.
TEST(WorkstationProbe, RandomRegisterTrafficIsSurvived)
{
    std::mt19937 random(4242);
    workstation_test_complex();
    for (uint32_t i = 0; i < uknc_image_size; ++i)
        uknc_floppy.images[1][i] = uint8_t(i);
    testing::internal::CaptureStdout();
    for (int i = 0; i < 300000; ++i) {
        uint32_t r = random();
        bool on_ppu = r & 1;
        Access access = Access((r >> 1) % 3);
        uint16_t value = uint16_t(random());
        uint32_t address;
        if ((r >> 3 & 7) == 0)
            address = 0177130 | (r >> 6 & 3); // the floppy registers, odd bytes included
        else if (on_ppu)
            address = 0177000 | (r >> 6 & 0777);
        else
            address = 0160000 | (r >> 6 & 017777);
        if (address & 1 && access != Byte)
            address &= ~1u;
        Pdp11Cpu& c = (on_ppu || (address >= 0177130 && address <= 0177133)) ? ws.ppu : ws.cpu;
        c.psw = 0;
        bus(c, access, address, value);
        if ((r >> 20) == 0) // now and then a restart in the middle of everything
            workstation_restart();
    }
    EXPECT_TRUE(all_known_messages(testing::internal::GetCapturedStdout()));
    for (const FloppyDrive& d : uknc_floppy.drives) {
        EXPECT_GE(d.track, 0);
        EXPECT_LE(d.track, 79);
        EXPECT_GE(d.sector, 0);
        EXPECT_LE(d.sector, 9);
    }
    uknc_floppy.modified[0] = uknc_floppy.modified[1] = false;
}

} // namespace
