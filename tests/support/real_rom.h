// Real ROM dumps beside the project, for tests that skip without them. They are never part
// of the repository: $KORVEL_ROMS_DIR names their folder, else the "roms" folder next to the
// test data folder (../shared/roms beside the repository).
//   std::string rom = korvel_test::real_rom_file("specialist/BIOS.rom");
//   if (rom.empty()) GTEST_SKIP() << "real ROM absent: specialist/BIOS.rom (set KORVEL_ROMS_DIR)";
// Needs KORVEL_TESTDATA_DIR defined (korvel_test_program does that).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace korvel_test {

// The file's path, or "" when it is not there.
inline std::string real_rom_file(const std::string& relative)
{
    namespace fs = std::filesystem;
    const char* set = std::getenv("KORVEL_ROMS_DIR");
    const fs::path dir = set && *set ? fs::path(set) : fs::path(KORVEL_TESTDATA_DIR).parent_path() / "roms";
    std::error_code ignored;
    const fs::path path = dir / relative;
    return fs::is_regular_file(path, ignored) ? path.string() : "";
}

} // namespace korvel_test
