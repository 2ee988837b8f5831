// What every ZX file goes through first: the whole file read into memory, and libspectrum
// started once with its error messages kept for the console line that refuses the file.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <libspectrum.h>

#include "host/host.h"
#include "machines/zx/zx_tape.h"

namespace {

std::string last_message;

libspectrum_error keep_message(libspectrum_error error, const char* format, va_list ap)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, ap);
    // Warnings (a file read with something ignored) do not refuse anything; the first
    // real error says best what is wrong.
    if (error == LIBSPECTRUM_ERROR_WARNING || !last_message.empty())
        return LIBSPECTRUM_ERROR_NONE;
    // Messages begin with the name of libspectrum's routine ("read_v1_block: ..."):
    // the user needs only what follows.
    const char* rest = std::strstr(text, ": ");
    const bool routine = rest && std::strcspn(text, " ") > size_t(rest - text - 1) && rest[2];
    last_message = routine ? rest + 2 : text;
    return LIBSPECTRUM_ERROR_NONE;
}

} // namespace

void zx_libspectrum_start()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    libspectrum_error_function = keep_message;
    libspectrum_init();
}

void zx_libspectrum_clear() { last_message.clear(); }

std::string zx_libspectrum_message(const char* otherwise)
{
    return last_message.empty() ? std::string(otherwise) : last_message;
}

bool zx_read_whole_file(const char* name, std::vector<uint8_t>* bytes, std::string* why)
{
    bytes->clear();
    FILE* file = open_data_file(name, "rb");
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (bytes->size() > zx_tape_file_limit)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *why = "can't be read";
        return false;
    }
    if (bytes->size() > zx_tape_file_limit) {
        bytes->clear();
        *why = "larger than 32 MiB";
        return false;
    }
    if (bytes->empty()) {
        *why = "empty file";
        return false;
    }
    return true;
}

bool zx_read_for_libspectrum(const char* name, std::vector<uint8_t>* bytes, std::string* why)
{
    if (!zx_read_whole_file(name, bytes, why))
        return false;
    const size_t length = bytes->size();
    bytes->resize(length + 256, 0);
    bytes->resize(length);
    zx_libspectrum_start();
    zx_libspectrum_clear();
    return true;
}
