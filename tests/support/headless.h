// Helpers for whole-machine tests: a temporary data directory per test, one headless run
// of the korvel program in it, and the files that run leaves (console text, dumps, PNG
// screenshots).
//
// Use from a test target that defines KORVEL_BINARY, links PNG::PNG and has
// ${PROJECT_SOURCE_DIR}/tests on its include path:
//   fs::path dir = korvel_test::make_data_dir("korvel_pk8000");   // fresh, empty
//   korvel_test::write_file(dir / "PK8000" / "foton_piton.bin", rom);
//   korvel_test::HeadlessRun run = korvel_test::run_headless(dir, "pk8000", "--frames 9",
//                                                            "m 0\n", "6 F8 down\n");
//   korvel_test::Shot shot;
//   korvel_test::read_png(dir / korvel_test::screenshot_name(0), &shot);
//   fs::remove_all(dir);
#pragma once

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvel_test {

namespace fs = std::filesystem;

// "<temp>/<prefix>_<test name>_<pid>", emptied and created.
inline fs::path make_data_dir(const std::string& prefix)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string test = info ? info->name() : "none";
    fs::path dir = fs::temp_directory_path() / (prefix + "_" + test + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The whole file, or "" when it can't be read.
inline std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates the file's directory as needed.
inline void write_file(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void write_text(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Occurrences of `what` in `text`.
inline size_t count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct HeadlessRun {
    int status = -1;     // exit status; -1 when killed (a hang stopped by the time limit)
    std::string console; // standard output and standard error together
};

// Runs KORVEL_BINARY --headless --machine <machine> --data-dir <dir> [--keys] <options>
// in <dir>, with `input` as standard input (written to input.txt) and `keys`, when not
// empty, as the keys script (keys.txt). The console goes to console.txt. A run that takes
// longer than two minutes is stopped.
inline HeadlessRun run_headless(const fs::path& dir, const std::string& machine, const std::string& options,
                                const std::string& input = "", const std::string& keys = "")
{
    write_text(dir / "input.txt", input);
    std::string key_option;
    if (!keys.empty()) {
        write_text(dir / "keys.txt", keys);
        key_option = " --keys '" + (dir / "keys.txt").string() + "'";
    }
    const std::string command = "cd '" + dir.string() + "' && timeout 120 '" KORVEL_BINARY "' --headless --machine " +
                                machine + " --data-dir '" + dir.string() + "'" + key_option + " " + options +
                                " < input.txt > console.txt 2>&1";
    const int raw = std::system(command.c_str());
    HeadlessRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.console = slurp(dir / "console.txt");
    return run;
}

// "ScreenShot_%03d.png": the name of the run's screenshot number n.
inline std::string screenshot_name(int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "ScreenShot_%03d.png", n);
    return name;
}

// A screenshot as RGB bytes; at() gives 0x00RRGGBB.
struct Shot {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    uint32_t at(uint32_t x, uint32_t y) const
    {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
};

inline bool read_png(const fs::path& path, Shot* shot)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    shot->width = image.width;
    shot->height = image.height;
    shot->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, shot->rgb.data(), 0, nullptr) != 0;
}

// Screenshot number n of a run, expected to be width x height. A missing or differently
// sized picture fails the test and comes back black at the expected size, so that the
// pixel checks after it stay inside it.
inline Shot expect_shot(const fs::path& dir, int n, uint32_t width, uint32_t height, const std::string& console)
{
    Shot s;
    EXPECT_TRUE(read_png(dir / screenshot_name(n), &s)) << screenshot_name(n) << "\n" << console;
    EXPECT_EQ(s.width, width);
    EXPECT_EQ(s.height, height);
    if (s.width != width || s.height != height) {
        s.width = width;
        s.height = height;
        s.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    }
    return s;
}

} // namespace korvel_test
