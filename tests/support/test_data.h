// Third-party test data and real ROM dumps: where tests find them, and what a test does
// when they are absent.
//
// Such files are never part of the repository (their licences are not ours), so a fresh
// clone must pass without them: a test that needs one is SKIPPED with the reason. CI has
// them and must run those tests: with KORVEL_REQUIRE_TESTDATA=1 in the environment the
// skip becomes a failure (.ci/run sets it).
//
// Where the files are looked for (read at run time, so ctest passes the environment on):
//   test data  $KORVEL_TESTDATA_DIR, else <repository>/../shared/testdata when it exists
//              (z80/tests.in, z80/tests.expected, i8080/TST8080.COM, i8080/8080PRE.COM ...)
//   real ROMs  $KORVEL_ROMS_DIR, else <repository>/../shared/roms when it exists, one
//              folder per machine (ms0515/MS-0515.rom, specialist/BIOS.rom, uknc/UKNC.rom)
//
// Use (the macros return from the test, so call them in the TEST body, not in a helper):
//   #include "support/test_data.h"
//   TEST(I8080Diagnostics, Tst8080) {
//       KORVEL_NEED_TESTDATA("i8080/TST8080.COM");              // skip (or fail in CI)
//       std::string path = korvel_test::testdata_path("i8080/TST8080.COM");
//       ...
//   }
//   TEST(Ms0515Rom, SelfTestScreen) {
//       KORVEL_NEED_ROM("ms0515/MS-0515.rom");
//       std::string rom = korvel_test::rom_path("ms0515/MS-0515.rom");
//       ...
//   }
// Several files: call the macro once per file. The test target needs
// ${PROJECT_SOURCE_DIR}/tests on its include path (korvel_test_program() sets it up).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// Defaults from CMake (korvel_test_program): <repository>/../shared/testdata and .../roms.
#ifndef KORVEL_TESTDATA_DIR
#define KORVEL_TESTDATA_DIR ""
#endif
#ifndef KORVEL_ROMS_DIR
#define KORVEL_ROMS_DIR ""
#endif

namespace korvel_test {

// The folder named by the environment variable, else the default when that folder exists,
// else "" (no data on this machine).
inline std::string data_folder(const char* variable, const char* fallback)
{
    const char* set = std::getenv(variable);
    if (set && *set)
        return set;
    std::error_code ignored;
    return *fallback && std::filesystem::is_directory(fallback, ignored) ? fallback : "";
}

inline std::string testdata_dir() { return data_folder("KORVEL_TESTDATA_DIR", KORVEL_TESTDATA_DIR); }
inline std::string roms_dir() { return data_folder("KORVEL_ROMS_DIR", KORVEL_ROMS_DIR); }

// <folder>/<relative> ("" when there is no folder).
inline std::string testdata_path(const std::string& relative)
{
    std::string dir = testdata_dir();
    return dir.empty() ? "" : dir + "/" + relative;
}
inline std::string rom_path(const std::string& relative)
{
    std::string dir = roms_dir();
    return dir.empty() ? "" : dir + "/" + relative;
}

// True when KORVEL_REQUIRE_TESTDATA is set to anything but "" or "0".
inline bool testdata_required()
{
    const char* v = std::getenv("KORVEL_REQUIRE_TESTDATA");
    return v && *v && std::string(v) != "0";
}

// "" when <folder>/<relative> is a readable regular file; otherwise why not, naming the
// file and the variable that chooses the folder.
inline std::string missing_reason(const char* variable, const std::string& dir, const std::string& relative)
{
    if (dir.empty())
        return std::string(variable) + " is not set and ../shared beside the repository has no such folder; " +
               relative + " is needed";
    std::error_code ignored;
    std::filesystem::path path = std::filesystem::path(dir) / relative;
    if (!std::filesystem::is_regular_file(path, ignored))
        return path.string() + " not found (" + variable + "=" + dir + ")";
    return "";
}

} // namespace korvel_test

// Skips the current test, with the reason, when the file is absent; under
// KORVEL_REQUIRE_TESTDATA=1 fails it instead.
#define KORVEL_NEED_DATA_FILE_(variable, dir, relative)                                              \
    do {                                                                                             \
        const std::string korvel_missing_ = korvel_test::missing_reason(variable, dir, relative);    \
        if (!korvel_missing_.empty()) {                                                              \
            if (korvel_test::testdata_required())                                                    \
                FAIL() << "third-party data required (KORVEL_REQUIRE_TESTDATA): " << korvel_missing_; \
            GTEST_SKIP() << "third-party data absent: " << korvel_missing_;                          \
        }                                                                                            \
    } while (0)
#define KORVEL_NEED_TESTDATA(relative) \
    KORVEL_NEED_DATA_FILE_("KORVEL_TESTDATA_DIR", korvel_test::testdata_dir(), relative)
#define KORVEL_NEED_ROM(relative) KORVEL_NEED_DATA_FILE_("KORVEL_ROMS_DIR", korvel_test::roms_dir(), relative)
