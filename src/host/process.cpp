// Start-up, the orderly end and the error exit, and the argument text.
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/console_flood.h"
#include "host/data_dir.h"
#include "host/host_internal.h"
#include "host/host_ui.h"
#include "host/key_recorder.h"

HostState host;

[[noreturn]] static void startup_failure(int status, const std::string& text)
{
    std::fprintf(stderr, "korvel: %s\n", text.c_str());
    std::fflush(stdout);
    host_error_box(host.options, "korvel: " + text);
    if (host.backend)
        host.backend->close();
    std::exit(status);
}

// A whole text file of at most a few megabytes. A directory, a device that never ends or
// a read error is refused with the reason instead of being taken as an empty script.
static bool read_small_file(const char* path, std::string* text, std::string* why)
{
    constexpr size_t limit = 16u << 20;
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        *why = std::strerror(errno);
        return false;
    }
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text->size() <= limit)
        text->append(chunk, n);
    bool failed = std::ferror(f) != 0;
    int error = errno;
    std::fclose(f);
    if (failed) {
        *why = std::strerror(error);
        return false;
    }
    if (text->size() > limit) {
        *why = "larger than 16 MiB";
        return false;
    }
    return true;
}

// The directory of the running program, from the kernel's link to it.
static std::string program_directory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return std::string();
    path[n] = '\0';
    char* slash = std::strrchr(path, '/');
    if (!slash)
        return std::string();
    *slash = '\0';
    return path[0] ? std::string(path) : std::string("/");
}

// The README as installed beside the program (PREFIX/share/doc/korvel), else its name.
static std::string readme_path()
{
    const std::string installed = program_directory() + "/../share/doc/korvel/README.md";
    std::error_code failure;
    if (std::filesystem::is_regular_file(installed, failure))
        return std::filesystem::weakly_canonical(installed, failure).string();
    return "README.md";
}

// $HOME, else the home directory of the user's account.
static const char* home_directory()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* account = getpwuid(getuid());
    return account ? account->pw_dir : nullptr;
}

void host_startup(const HostOptions& options, const char* mode_label)
{
    host.options = options;
    char start_dir[PATH_MAX];
    if (!getcwd(start_dir, sizeof start_dir))
        start_dir[0] = '\0';
    host.argument_text = options.argument_text;
    host.argument_cursor = host.argument_text.c_str();

    // A run that cannot show its window says so in one line before anything else.
    if (options.headless) {
        host.backend = &host_headless_backend;
    } else if (host_sdl_backend) {
        host.backend = host_sdl_backend;
    } else {
        startup_failure(1, "this program was built without a window backend; use --headless");
    }
    std::string error;
    if (!host.backend->probe(&error)) {
        const HostBackend* failed = host.backend;
        host.backend = nullptr;
        failed->close();
        startup_failure(1, error);
    }

    // The console log is read live by people and by tests (the debuggers print a prompt
    // and then read standard input), so it is not buffered.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    console_flood_install();
    std::printf("Korvel %s (%s)\n", korvel_version, mode_label);
    std::printf("Emulator of 1980s home and professional computers\n\n");

    // Automation files are named relative to where the user started the program.
    if (!options.keys_file.empty()) {
        std::string text, why;
        if (!read_small_file(options.keys_file.c_str(), &text, &why))
            startup_failure(2, "can't read keys file " + options.keys_file + ": " + why);
        std::string error;
        if (!parse_key_script(text, &host.key_events, &error))
            startup_failure(2, "keys file " + options.keys_file + ", " + error);
    }
    if (!options.record_keys_file.empty()) {
        std::string why;
        if (!key_recorder_open(options.record_keys_file, options.machine, &why))
            startup_failure(2, "can't write keys file " + options.record_keys_file + ": " + why);
    }
    if (!options.wav_file.empty() && !wav_open(&host.wav, options.wav_file.c_str()))
        startup_failure(2, "can't write WAV file " + options.wav_file + ": " + std::strerror(errno));
    std::string data_dir = options.data_dir;
    if (!data_dir.empty()) {
        char resolved[PATH_MAX];
        if (!realpath(data_dir.c_str(), resolved))
            startup_failure(2, "data directory " + data_dir + ": " + std::strerror(errno));
        data_dir = resolved;
    }

    if (!host.backend->open(options, &error)) {
        const HostBackend* failed = host.backend;
        host.backend = nullptr;
        failed->close();
        startup_failure(1, error);
    }
    host.keyboard_focus = options.headless;

    size_t pixels = size_t(back_buffer_width) * back_buffer_height;
    host.back_buffer = static_cast<uint32_t*>(std::calloc(pixels, 4));
    if (!host.back_buffer)
        fatal_error("Can't create Back-Buffer Surface!");
    ++host.back_buffer_clears;

    // Frame constants: one emulated frame per display refresh.
    host.refresh_x256 = options.fps_x256;
    if (!host.refresh_x256)
        host.refresh_x256 = host.backend->display_refresh_x256();
    if (!host.refresh_x256)
        host.refresh_x256 = 60 * 256; // a display that reports no rate
    uint32_t v = host_samples_per_frame(host.refresh_x256);
    samples_per_frame_x256 = v << 8;
    sample_phase = 0;
    samples_this_frame = v;

    // Data files are named relative to the data directory: --data-dir, else the program's
    // own folder when it holds the machine's files, else the user's data folder, created
    // on first use so that the user sees where the files go (host/data_dir.h).
    if (data_dir.empty()) {
        std::string own = program_directory();
        data_dir = host_default_data_dir(options.machine, own,
                                         host_user_data_dir(std::getenv("XDG_DATA_HOME"), home_directory()));
        if (data_dir != own) {
            std::error_code failure;
            std::filesystem::create_directories(data_dir, failure);
            if (failure || chdir(data_dir.c_str()) != 0)
                startup_failure(1, "can't use data directory " + data_dir + ": " +
                                       (failure ? failure.message() : std::strerror(errno)) +
                                       " (--data-dir chooses another)");
        } else if (!own.empty() && chdir(own.c_str()) != 0) {
            // As inherited; the data files are then looked up where the user is.
        }
    } else if (chdir(data_dir.c_str()) != 0) {
        startup_failure(2, "can't use data directory " + data_dir + ": " + std::strerror(errno));
    }
    char in_use[PATH_MAX];
    if (getcwd(in_use, sizeof in_use))
        host_set_data_dir_in_use(in_use);
    // Files named on the command line are looked for where the user is first, then in
    // the data directory (which may be the same folder: then the names stay as given).
    if (start_dir[0] && host_data_dir_in_use() != start_dir) {
        host.argument_text = host_resolve_argument_files(options.argument_text, start_dir);
        host.argument_cursor = host.argument_text.c_str();
    }
    {
        const char* cursor = host.argument_text.c_str();
        bool in_quote = false;
        char first[1025];
        set_window_file(host_next_token(&cursor, first, &in_quote));
    }

    host_apply_key_events();
    host.running_machine = true;
}

// Closes the trace file, the WAV file and the devices. False when the WAV file or an
// automated screenshot could not be written: a run that lost its output must not pass.
static bool release_devices()
{
    console_flood_frame_end();
    if (trace_file) {
        std::fclose(trace_file);
        trace_file = nullptr;
    }
    bool wav_was_open = host.wav.file != nullptr;
    bool wav_truncated = host.wav.truncated;
    bool wav_ok = wav_close(&host.wav);
    bool keys_ok = key_recorder_close();
    if (!keys_ok)
        std::fprintf(stderr, "korvel: error writing keys file %s\n", host.options.record_keys_file.c_str());
    if (host.backend)
        host.backend->close();
    host.backend = nullptr;
    std::fflush(stdout);
    if (wav_was_open && !wav_ok)
        std::fprintf(stderr, "korvel: error writing WAV file %s\n", host.options.wav_file.c_str());
    if (wav_truncated)
        std::fprintf(stderr, "korvel: WAV file %s reached its 4 GiB limit; later sound was not written\n",
                     host.options.wav_file.c_str());
    return wav_ok && keys_ok && !host.automation_failed;
}

void shutdown_host()
{
    if (host_ui_hooks.shutdown)
        host_ui_hooks.shutdown(); // settings still waiting to be written
    std::exit(release_devices() ? 0 : 1);
}

void fatal_error(const char* text)
{
    static bool failing = false;
    if (!text)
        text = "";
    if (!failing) {
        failing = true;
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", text);
        // A file that cannot be opened or written lies in the data directory: say which
        // one, since it depends on where the program is installed.
        std::string shown = text;
        if (!host_data_dir_in_use().empty() && (std::strstr(text, "file") || std::strstr(text, "File"))) {
            std::fprintf(stderr, "Data directory searched: %s\n", host_data_dir_in_use().c_str());
            shown += "\n\nData directory searched: " + host_data_dir_in_use();
            // A first start without the machine's ROM: say what to put where.
            const std::string hint =
                host_missing_file_hint(host.options.machine, host_data_dir_in_use(), readme_path());
            if (!hint.empty()) {
                std::fprintf(stderr, "%s\n", hint.c_str());
                shown += "\n" + hint;
            }
        }
        host_error_box(host.options, shown);
        release_devices();
    }
    std::_Exit(1);
}

const char* next_argument()
{
    static char buffer[1025];
    return host_next_token(&host.argument_cursor, buffer, &host.argument_in_quote);
}

const char* argument_text() { return host.argument_text.c_str(); }

const char* cpu_option() { return host.options.cpu.c_str(); }
const char* rzx_option() { return host.options.rzx_file.c_str(); }
const char* record_rzx_option() { return host.options.record_rzx_file.c_str(); }
