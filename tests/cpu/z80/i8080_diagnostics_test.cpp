// The classic CP/M 8080 diagnostics (testdata/i8080: 8080PRE.COM and
// TST8080.COM) run on the core in 8080 mode under a minimal CP/M: the program
// loads at 0x100, BDOS at address 5 answers function 2 (character in E) and
// 9 ('$'-terminated string at DE), and a jump to 0 ends the run. The state
// count of each whole run (BDOS is a bare RET here, 10 states per call) checks
// the 8080 timing of every instruction the programs execute.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "z80_harness.h"

namespace {

// Where the shared test data lies: $KORVEL_TESTDATA_DIR, else the folder the
// build was configured with (../shared/testdata beside the repository).
std::string test_data_path(const std::string& name) {
    const char* dir = std::getenv("KORVEL_TESTDATA_DIR");
    return std::string(dir && *dir ? dir : KORVEL_TESTDATA_DIR) + "/" + name;
}

struct CpmRun {
    bool loaded = false;
    bool ended = false;  // reached address 0
    std::string output;
    long long states = 0;
};

CpmRun run_cpm_program(const std::string& name, long long state_limit) {
    CpmRun run;
    std::ifstream file(test_data_path(name), std::ios::binary);
    if (!file) return run;
    const std::vector<char> program{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (program.empty() || program.size() > 0xF000) return run;
    run.loaded = true;

    auto bench = std::make_unique<Z80Bench>();
    z80_set_8080_mode(&bench->cpu, true);
    for (size_t k = 0; k < program.size(); ++k) bench->memory[0x100 + k] = static_cast<uint8_t>(program[k]);
    // BDOS entry: a RET at 5; the word at 6 is the top of the program area.
    bench->load(0x0005, {0xC9, 0x00, 0xF0});
    bench->cpu.pc = 0x100;
    bench->cpu.sp = 0xF000;

    while (run.states < state_limit) {
        const uint16_t pc = bench->cpu.pc;
        if (pc == 0) {
            run.ended = true;
            break;
        }
        if (pc == 5) {
            const uint8_t function = z80_lo(bench->cpu.bc);
            if (function == 2) run.output += static_cast<char>(z80_lo(bench->cpu.de));
            if (function == 9) {
                for (uint16_t a = bench->cpu.de; bench->memory[a] != '$' && run.output.size() < 100000; ++a)
                    run.output += static_cast<char>(bench->memory[a]);
            }
        }
        run.states += bench->run_one();
    }
    return run;
}

TEST(I8080Diagnostics, PreliminaryTests) {
    const CpmRun run = run_cpm_program("i8080/8080PRE.COM", 100'000'000);
    if (!run.loaded) GTEST_SKIP() << "8080PRE.COM not found at " << test_data_path("i8080/8080PRE.COM");
    EXPECT_TRUE(run.ended) << run.output;
    EXPECT_NE(run.output.find("8080 Preliminary tests complete"), std::string::npos) << run.output;
    EXPECT_EQ(run.states, 7797);  // every instruction at its 8080 state count
}

TEST(I8080Diagnostics, MicrocosmDiagnostic) {
    const CpmRun run = run_cpm_program("i8080/TST8080.COM", 100'000'000);
    if (!run.loaded) GTEST_SKIP() << "TST8080.COM not found at " << test_data_path("i8080/TST8080.COM");
    EXPECT_TRUE(run.ended) << run.output;
    EXPECT_NE(run.output.find("CPU IS OPERATIONAL"), std::string::npos) << run.output;
    // The known length of the diagnostic on an 8080: its state count checks
    // the timing of every instruction it runs.
    EXPECT_EQ(run.states, 4894);
}

}  // namespace
