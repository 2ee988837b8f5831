// Command-line options and the argument-text tokeniser.
#include "host/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

static bool parse_count(const char* text, uint32_t* value)
{
    if (!text || !*text || *text == '-' || *text == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno || *end || v == 0 || v > 0xFFFFFFFFull)
        return false;
    *value = uint32_t(v);
    return true;
}

static bool parse_rate(const char* text, uint32_t* value_x256)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char* end = nullptr;
    double hz = std::strtod(text, &end);
    if (errno || *end || !std::isfinite(hz) || hz < 12.0 || hz > 1000.0)
        return false;
    *value_x256 = uint32_t(std::lround(hz * 256.0));
    return true;
}

namespace {

// An option and the field it sets.
template <class Field> struct OptionField {
    const char* name;
    Field HostOptions::*field;
};

// Options that switch something on; they take no value.
const OptionField<bool> flag_options[] = {
    {"--headless", &HostOptions::headless}, {"--meter", &HostOptions::meter},
    {"--debugger", &HostOptions::debugger}, {"--ms0515-linear-disks", &HostOptions::ms0515_linear_disks},
    {"--no-fast-tape", &HostOptions::no_fast_tape}, {"--error-box", &HostOptions::error_box},
    {"--help", &HostOptions::help}, {"--version", &HostOptions::version},
};

// Options that name a file or a folder: the name may not be empty.
const OptionField<std::string> file_options[] = {
    {"--keys", &HostOptions::keys_file}, {"--record-keys", &HostOptions::record_keys_file},
    {"--wav", &HostOptions::wav_file}, {"--load-state", &HostOptions::load_state_file},
    {"--data-dir", &HostOptions::data_dir}, {"--rzx", &HostOptions::rzx_file},
    {"--record-rzx", &HostOptions::record_rzx_file},
};

// Repeatable options that name a frame after which something is written.
const OptionField<std::vector<uint32_t>> frame_options[] = {
    {"--screenshot-at", &HostOptions::screenshot_at}, {"--save-state-at", &HostOptions::save_state_at},
};

template <class Field, size_t count>
const OptionField<Field>* find_option(const OptionField<Field> (&options)[count], const std::string& name)
{
    for (const OptionField<Field>& option : options)
        if (name == option.name)
            return &option;
    return nullptr;
}

} // namespace

static void append_argument(std::string* text, const char* word)
{
    if (!text->empty())
        *text += ' ';
    if (*word == '\0' || std::strpbrk(word, " \t")) {
        *text += '"';
        *text += word;
        *text += '"';
    } else {
        *text += word;
    }
}

bool host_parse_command_line(int argc, const char* const* argv, HostOptions* o,
                             std::string* error)
{
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!options_ended && std::strcmp(arg, "-h") == 0) { // the usual short form of --help
            o->help = true;
            continue;
        }
        if (options_ended || std::strncmp(arg, "--", 2) != 0) {
            append_argument(&o->argument_text, arg);
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            options_ended = true;
            continue;
        }
        // "--name value" or "--name=value".
        std::string name = arg;
        const char* inline_value = nullptr;
        size_t eq = name.find('=');
        if (eq != std::string::npos) {
            inline_value = arg + eq + 1;
            name.resize(eq);
        }
        auto value = [&](const char** out) {
            if (inline_value) {
                *out = inline_value;
                return true;
            }
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (const auto* flag = find_option(flag_options, name)) {
            if (inline_value) {
                *error = "option " + name + " takes no value";
                return false;
            }
            o->*flag->field = true;
        } else if (const auto* file = find_option(file_options, name)) {
            if (!value(&v)) return false;
            if (!*v) {
                *error = name + " needs a file name";
                return false;
            }
            o->*file->field = v;
        } else if (const auto* frame_list = find_option(frame_options, name)) {
            if (!value(&v)) return false;
            uint32_t n = 0;
            if (!parse_count(v, &n)) {
                *error = "bad frame number for " + name + ": '" + v + "'";
                return false;
            }
            (o->*frame_list->field).push_back(n);
        } else if (name == "--machine") {
            if (!value(&v)) return false;
            if (!*v) {
                *error = "--machine needs a machine name";
                return false;
            }
            o->machine = v;
            o->machine_given = true;
        } else if (name == "--frames") {
            if (!value(&v)) return false;
            if (!parse_count(v, &o->frames)) {
                *error = std::string("bad frame count for --frames: '") + v + "'";
                return false;
            }
        } else if (name == "--fps") {
            if (!value(&v)) return false;
            if (!parse_rate(v, &o->fps_x256)) {
                *error = std::string("bad rate for --fps (12 to 1000 Hz): '") + v + "'";
                return false;
            }
        } else if (name == "--cpu") {
            if (!value(&v)) return false;
            if (std::strcmp(v, "z80") != 0 && std::strcmp(v, "8080") != 0) {
                *error = std::string("bad processor for --cpu (z80 or 8080): '") + v + "'";
                return false;
            }
            o->cpu = v;
        } else {
            *error = "unknown option " + name;
            return false;
        }
    }
    return true;
}

const char* host_next_token(const char** cursor, char (&buffer)[1025], bool* in_quote)
{
    const char* p = *cursor;
    bool quoted = *in_quote;
    *in_quote = false;
    if (!quoted) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p) {
            *cursor = p;
            return nullptr;
        }
        if (*p == '"') {
            quoted = true;
            ++p;
        }
    }
    size_t n = 0;
    if (quoted) {
        while (*p && *p != '"' && n < 1024)
            buffer[n++] = *p++;
        if (*p == '"')
            ++p;
        else if (*p)
            *in_quote = true; // cut: the rest of the quoted name comes next
    } else {
        while (*p && *p != ' ' && *p != '\t' && n < 1024)
            buffer[n++] = *p++;
    }
    buffer[n] = '\0';
    *cursor = p;
    return buffer;
}
