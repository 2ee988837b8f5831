// The third-party data rule, seen from outside: this test program runs its own Z80 vector
// test with the data folder absent, empty, damaged and required, and reads GoogleTest's
// verdict. Absent data is a skip that names the file; required data that is absent, or
// data that is damaged, is a failure; nothing passes silently.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;

struct Verdict {
    int status = -1;
    std::string output;
};

// Runs this program's Z80 vector test alone with the given environment assignments.
Verdict run_vector_test(const std::string& environment)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    self[n] = '\0';
    std::string command = "env -u KORVEL_TESTDATA_DIR -u KORVEL_REQUIRE_TESTDATA " + environment + " '" +
                          self + "' --gtest_filter='Z80Vectors.*' 2>&1";
    Verdict v;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return v;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        v.output.append(buffer, got);
    int raw = pclose(p);
    v.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return v;
}

TEST(TestData, AbsentDataSkipsWithTheReasonAndRequiredDataFailsInstead)
{
    fs::path dir = fs::temp_directory_path() / ("korvel_testdata_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "z80");
    const std::string folder = "KORVEL_TESTDATA_DIR='" + dir.string() + "'";

    // Empty folder: skipped, the missing file and the variable named.
    Verdict absent = run_vector_test(folder);
    EXPECT_EQ(absent.status, 0) << absent.output;
    EXPECT_NE(absent.output.find("[  SKIPPED ] Z80Vectors.AllNonExcludedVectorsMatch"), std::string::npos)
        << absent.output;
    EXPECT_NE(absent.output.find((dir / "z80" / "tests.in").string() + " not found (KORVEL_TESTDATA_DIR="),
              std::string::npos)
        << absent.output;

    // The same under CI's rule: a failure.
    Verdict required = run_vector_test(folder + " KORVEL_REQUIRE_TESTDATA=1");
    EXPECT_NE(required.status, 0) << required.output;
    EXPECT_NE(required.output.find("[  FAILED  ] Z80Vectors.AllNonExcludedVectorsMatch"), std::string::npos)
        << required.output;
    EXPECT_NE(required.output.find("third-party data required"), std::string::npos) << required.output;

    // "0" does not require.
    EXPECT_EQ(run_vector_test(folder + " KORVEL_REQUIRE_TESTDATA=0").status, 0);

    // Present but damaged (one vector instead of over a thousand): a failure, not a pass.
    std::ofstream(dir / "z80" / "tests.in") << "00\n0 0 0 0 0 0 0 0 0 0 0 0 0\n00 00 0 0 0 0 4\n-1\n";
    std::ofstream(dir / "z80" / "tests.expected") << "00\n0 0 0 0 0 0 0 0 0 0 0 1 0\n00 01 0 0 0 0 4\n\n";
    Verdict damaged = run_vector_test(folder);
    EXPECT_NE(damaged.status, 0) << damaged.output;
    EXPECT_NE(damaged.output.find("too few test vectors"), std::string::npos) << damaged.output;

    fs::remove_all(dir);
}

TEST(TestData, FoldersComeFromTheEnvironmentElseFromAnExistingDefault)
{
    const char* saved = std::getenv("KORVEL_ROMS_DIR");
    std::string saved_value = saved ? saved : "";

    setenv("KORVEL_ROMS_DIR", "/somewhere/roms", 1);
    EXPECT_EQ(korvel_test::roms_dir(), "/somewhere/roms");
    EXPECT_EQ(korvel_test::rom_path("ms0515/MS-0515.rom"), "/somewhere/roms/ms0515/MS-0515.rom");
    EXPECT_NE(korvel_test::missing_reason("KORVEL_ROMS_DIR", korvel_test::roms_dir(), "ms0515/MS-0515.rom")
                  .find("/somewhere/roms/ms0515/MS-0515.rom not found"),
              std::string::npos);

    // Unset or empty: the default only when that folder exists.
    setenv("KORVEL_ROMS_DIR", "", 1);
    EXPECT_EQ(korvel_test::data_folder("KORVEL_ROMS_DIR", "/no/such/folder"), "");
    EXPECT_EQ(korvel_test::data_folder("KORVEL_ROMS_DIR", "/"), "/");
    EXPECT_NE(korvel_test::missing_reason("KORVEL_ROMS_DIR", "", "uknc/UKNC.rom").find("KORVEL_ROMS_DIR is not set"),
              std::string::npos);
    // A folder is not a file.
    EXPECT_NE(korvel_test::missing_reason("KORVEL_ROMS_DIR", "/", "tmp"), "");

    if (saved)
        setenv("KORVEL_ROMS_DIR", saved_value.c_str(), 1);
    else
        unsetenv("KORVEL_ROMS_DIR");
}

} // namespace
