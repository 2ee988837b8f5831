// The console log's flood guard (host/console_flood.h).
#include "host/console_flood.h"

#include <cstring>

namespace {

// The distinct lines of the frame, each with how often it came. A frame with more
// distinct lines than this has no flood of any one of them worth guarding.
constexpr size_t tracked_lines = 64;
constexpr size_t kept_text = 160;

struct SeenLine {
    uint64_t hash;
    size_t length;
    uint32_t count;
    char text[kept_text]; // the line's start, for the report
};

struct FloodState {
    SeenLine lines[tracked_lines];
    size_t used;
    bool anything_left_out;
    FILE* real_out;          // standard output before the install
    char pending[1024];      // the start of a line printed in pieces
    size_t pending_length;
    bool pending_passed;     // a line too long to hold went out in pieces: its rest passes
};

FloodState flood;

uint64_t hash_of(const char* text, size_t length)
{
    uint64_t h = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < length; ++i)
        h = (h ^ static_cast<unsigned char>(text[i])) * 1099511628211ull;
    return h;
}

bool same(const SeenLine& seen, const char* text, size_t length, uint64_t hash)
{
    return seen.hash == hash && seen.length == length &&
           std::memcmp(seen.text, text, length < kept_text ? length : kept_text) == 0;
}

void write_out(const char* text, size_t length)
{
    if (flood.real_out)
        std::fwrite(text, 1, length, flood.real_out);
}

// Whole lines are filtered; the start of a line printed in several pieces is held until
// its end comes (a prompt without a line end is printed at once when it is too long to
// hold, and the rest of that line then passes unfiltered).
ssize_t write_filtered(void*, const char* data, size_t size)
{
    size_t at = 0;
    while (at < size) {
        const char* end = static_cast<const char*>(std::memchr(data + at, '\n', size - at));
        const size_t piece = (end ? size_t(end - (data + at)) + 1 : size - at);
        if (flood.pending_passed) {
            write_out(data + at, piece);
        } else if (flood.pending_length + piece <= sizeof flood.pending) {
            std::memcpy(flood.pending + flood.pending_length, data + at, piece);
            flood.pending_length += piece;
            if (end && console_flood_pass(flood.pending, flood.pending_length))
                write_out(flood.pending, flood.pending_length);
        } else {
            write_out(flood.pending, flood.pending_length);
            write_out(data + at, piece);
            flood.pending_passed = true;
        }
        if (end) {
            flood.pending_length = 0;
            flood.pending_passed = false;
        }
        at += piece;
    }
    return static_cast<ssize_t>(size);
}

// At exit the start of an unfinished line still goes out.
int close_filtered(void*)
{
    if (flood.pending_length && !flood.pending_passed)
        write_out(flood.pending, flood.pending_length);
    flood.pending_length = 0;
    return 0;
}

} // namespace

bool console_flood_pass(const char* line, size_t length)
{
    const uint64_t hash = hash_of(line, length);
    for (size_t i = 0; i < flood.used; ++i) {
        SeenLine& seen = flood.lines[i];
        if (!same(seen, line, length, hash))
            continue;
        if (seen.count < UINT32_MAX)
            ++seen.count;
        if (seen.count <= console_flood_limit)
            return true;
        flood.anything_left_out = true;
        return false;
    }
    if (flood.used < tracked_lines) {
        SeenLine& seen = flood.lines[flood.used++];
        seen.hash = hash;
        seen.length = length;
        seen.count = 1;
        std::memcpy(seen.text, line, length < kept_text ? length : kept_text);
    }
    return true;
}

void console_flood_frame_end()
{
    FILE* out = flood.real_out ? flood.real_out : stdout;
    flockfile(stdout);
    // The start of a line still unfinished (a prompt) is not held past the frame.
    if (flood.pending_length && !flood.pending_passed) {
        write_out(flood.pending, flood.pending_length);
        flood.pending_passed = true;
    }
    if (flood.anything_left_out) {
        for (size_t i = 0; i < flood.used; ++i) {
            const SeenLine& seen = flood.lines[i];
            if (seen.count <= console_flood_limit)
                continue;
            size_t shown = seen.length < kept_text ? seen.length : kept_text;
            while (shown && (seen.text[shown - 1] == '\n' || seen.text[shown - 1] == '\r'))
                --shown;
            std::fprintf(out, "... %u more copies of this line left out in this frame: %.*s%s\n",
                         seen.count - console_flood_limit, int(shown), seen.text,
                         seen.length > kept_text ? "..." : "");
        }
    }
    flood.used = 0;
    flood.anything_left_out = false;
    funlockfile(stdout);
}

void console_flood_install()
{
    if (flood.real_out)
        return;
    cookie_io_functions_t functions{};
    functions.write = write_filtered;
    functions.close = close_filtered;
    FILE* filtered = fopencookie(nullptr, "w", functions);
    if (!filtered)
        return; // the log goes out unguarded
    std::setvbuf(filtered, nullptr, _IONBF, 0);
    flood.real_out = stdout;
    stdout = filtered;
}
