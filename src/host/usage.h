// The user-facing lists: command-line options, machines and hot keys, in one place.
//
// --help is printed from these tables, and a test compares the README's and the manual
// page's option and hot-key lists with them (it prints the text that belongs there when
// they differ). A new option or hot key is one row here, one line in the parser or the
// machine, and the text the test asks for in README.md and doc/korvel.6.
#pragma once

#include <cstddef>
#include <span>
#include <string>

struct HostOptionDoc {
    const char* name;  // "--frames"
    const char* value; // "N", or "" for a flag
    const char* text;  // one or more lines, '\n' between them (--help wraps there)
};

struct HostMachineDoc {
    const char* name;    // --machine NAME
    const char* title;   // in the window title and the manual ("ZX Spectrum 48K")
    const char* section; // the README section that describes its files and keys
    const char* rom;     // the file it cannot run without ("" when it has none)
    const char* rom_note; // what else provides it ("" for nothing)
    const char* fallback; // a file of the system used instead when rom is missing ("" none)
};

// A hot key of the window. machine "*" is a key of every machine.
struct HostKeyDoc {
    const char* machine;
    const char* keys;   // "Left Windows + F"
    const char* action; // "full screen on/off"
};

extern const std::span<const HostOptionDoc> host_option_docs;
extern const std::span<const HostMachineDoc> host_machine_docs;
extern const std::span<const HostKeyDoc> host_key_docs;

// The machine's row, nullptr for a name that is not a machine.
const HostMachineDoc* host_machine_doc(const char* name);
// --help: usage line, options, then the hot keys of machine (every machine's common keys
// and its own).
std::string host_usage_text(const char* machine);
// The option lines of --help (without the usage line), as the README shows them.
std::string host_usage_option_lines();
// The manual page's OPTIONS entries and one machine's HOT KEYS entries, in roff.
std::string host_manual_options();
std::string host_manual_keys(const char* machine);
// One machine's hot-key table as the README shows it (Markdown).
std::string host_readme_keys(const char* machine);
