// Data files: DOS-style names mapped to host paths, exact-length loads, dropped files
// and the shared trace file.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/host_internal.h"

char dropped_file[1000];
uint8_t drop_pending = 0;
FILE* trace_file = nullptr;

const char* data_path(const char* name)
{
    static char path[4096];
    if (!name)
        name = "";
    // "C:\Disk_Games2.dsk" names a file of the data directory.
    if (std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        name += 2;
        while (*name == '\\' || *name == '/')
            ++name;
    }
    // A name too long for any path opens nothing, rather than a file named by its
    // first 4095 characters.
    size_t n = 0;
    for (; name[n]; ++n) {
        if (n == sizeof path - 1)
            return "";
        path[n] = name[n] == '\\' ? '/' : name[n];
    }
    path[n] = '\0';
    return path;
}

FILE* open_data_file(const char* name, const char* mode) { return std::fopen(data_path(name), mode); }

void load_file(void* buffer, size_t length, const char* name)
{
    // A name that opens but cannot be read (a directory) is as missing as no file at all:
    // its "contents" would otherwise be all 0xFF.
    FILE* f = open_data_file(name, "rb");
    size_t got = f ? std::fread(buffer, 1, length, f) : 0;
    if (!f || std::ferror(f)) {
        if (f)
            std::fclose(f);
        char text[256];
        std::snprintf(text, sizeof text, "File %s not found!", name ? name : "");
        fatal_error(text);
    }
    std::fclose(f);
    if (got < length)
        std::memset(static_cast<uint8_t*>(buffer) + got, 0xFF, length - got);
}

[[noreturn]] static void fail_on_file(const char* name, const char* message, int error)
{
    char text[1400];
    std::snprintf(text, sizeof text, "%s\n%.1100s: %s", message ? message : "", data_path(name),
                  error ? std::strerror(error) : "unreadable");
    fatal_error(text);
}

FILE* open_data_file_or_fail(const char* name, const char* message)
{
    errno = 0;
    FILE* file = open_data_file(name, "rb");
    if (!file)
        fail_on_file(name, message, errno);
    return file;
}

size_t read_data_or_fail(FILE* file, void* buffer, size_t length, const char* name, const char* message)
{
    errno = 0;
    size_t got = std::fread(buffer, 1, length, file);
    if (std::ferror(file)) { // a directory opens but every read fails
        int error = errno;
        std::fclose(file);
        fail_on_file(name, message, error);
    }
    if (got < length)
        std::memset(static_cast<uint8_t*>(buffer) + got, 0xFF, length - got);
    return got;
}

bool host_accept_drop(const char* path)
{
    if (drop_pending)
        return false;
    std::snprintf(dropped_file, sizeof dropped_file, "%s", path ? path : "");
    drop_pending = 1;
    std::printf("Drag & Drop file\n");
    return true;
}
