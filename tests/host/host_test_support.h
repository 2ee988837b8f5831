// Helpers for the host tests: temporary directories, running the korvel binary, reading
// PNG and WAV files back.
#pragma once

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/host_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace host_test {

// A fresh directory under the system's temporary directory, removed at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        char name[] = "/tmp/korvel-host-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

// Runs the working directory change for the lifetime of the object.
struct ChangeDir {
    std::filesystem::path old;
    explicit ChangeDir(const std::filesystem::path& to) : old(std::filesystem::current_path())
    {
        std::filesystem::current_path(to);
    }
    ~ChangeDir() { std::filesystem::current_path(old); }
};

struct RunResult {
    int status = -1; // exit status, -1 when the program did not exit normally
    std::string output; // standard output and standard error
};

// True when the command is on the PATH (for tests that skip without Xvfb or xdotool).
inline bool have_tool(const char* name)
{
    std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// True when the program was built with its window backend (SDL2's development files
// were there); without it the real-window tests skip, as they do without Xvfb.
inline bool have_window_backend() { return host_sdl_backend != nullptr; }
inline constexpr const char* no_window_backend = "built without the window backend (SDL2 development files)";

// The start of a bash script that runs a real window: a fresh Xvfb display picked by Xvfb
// itself (-displayfd), its pid in $xpid, DISPLAY exported; $1 is the working folder. The
// settings are the folder's own (XDG_CONFIG_HOME), so that the user's never change a run.
inline const char* const xvfb_script_start = R"SH(
set -u
cd "$1"
export XDG_CONFIG_HOME="$1/config"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>display.txt 2>xvfb.log &
xpid=$!
for i in $(seq 100); do [ -s display.txt ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 display.txt)"
)SH";

inline std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs KORVEL_BINARY with the arguments (shell-quoted here) and collects its output.
inline RunResult run_korvel(const std::vector<std::string>& args, const std::string& cwd = "")
{
    std::string command;
    if (!cwd.empty())
        command = "cd " + quote(cwd) + " && ";
    command += quote(KORVEL_BINARY);
    for (const std::string& a : args)
        command += " " + quote(a);
    command += " </dev/null 2>&1";
    RunResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        r.output.append(buffer, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary);
    out << data;
}

// The last lines of every window script: the virtual X server goes with the run.
inline const char* const xvfb_script_end = R"SH(
kill $xpid 2>/dev/null
wait $xpid 2>/dev/null
exit 0
)SH";

// Writes `script` as run.sh in `dir` and runs it with bash, the folder as $1 and the program
// as $2; returns the shell's status (0 when the script itself ran to its end).
inline int run_window_script(const TempDir& dir, const std::string& script, const std::string& redirect = "")
{
    write_file(dir.file("run.sh"), script);
    const std::string command = "bash " + quote(dir.file("run.sh")) + " " + quote(dir.path.string()) + " " +
                                quote(KORVEL_BINARY) + redirect;
    return std::system(command.c_str());
}

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

// Reads any PNG as 8-bit RGB; false when the file is not a readable PNG.
inline bool read_png(const std::string& path, Image* image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    image->width = png.width;
    image->height = png.height;
    image->pixels.resize(size_t(png.width) * png.height);
    for (size_t i = 0; i < image->pixels.size(); ++i)
        image->pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return true;
}

inline uint32_t le32(const std::string& d, size_t at)
{
    return uint32_t(uint8_t(d[at])) | uint32_t(uint8_t(d[at + 1])) << 8 |
           uint32_t(uint8_t(d[at + 2])) << 16 | uint32_t(uint8_t(d[at + 3])) << 24;
}

inline int16_t le16s(const std::string& d, size_t at)
{
    return int16_t(uint16_t(uint8_t(d[at]) | uint8_t(d[at + 1]) << 8));
}

} // namespace host_test
