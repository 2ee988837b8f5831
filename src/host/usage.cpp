// The option, machine and hot-key tables, and the texts made from them: --help, the
// manual page's entries and the README's tables.
#include "host/usage.h"

#include <cstring>

namespace {

const HostOptionDoc option_rows[] = {
    {"--machine", "NAME", "machine to run: zx (default), ms0515, pk8000, specialist,\n"
                          "tile, uknc (those built into this program)"},
    {"--headless", "", "no window and no sound device; frames run unpaced"},
    {"--frames", "N", "end the run after N frames"},
    {"--fps", "HZ", "frame rate, 12-1000 (default: the display's rate, 60 headless)"},
    {"--keys", "FILE", "timed key events, lines \"FRAME KEY down|up\""},
    {"--record-keys", "FILE", "write every key change of the session as a keys file"},
    {"--wav", "FILE", "write every frame's sound (the ZX beeper, the UKNC speaker) to a\n"
                     "WAV file, 48 kHz 16-bit stereo"},
    {"--screenshot-at", "N", "save a screenshot after frame N (repeatable)"},
    {"--load-state", "FILE", "start from a state file instead of power-on; frame\n"
                             "numbers go on from the state's frame"},
    {"--save-state-at", "N", "write the state after frame N as State_NNN.kst in the\n"
                             "data directory (repeatable)"},
    {"--data-dir", "DIR", "directory of ROMs, disk images and screenshots (default:\n"
                          "the program's own directory when the machine's ROM is\n"
                          "there, else $XDG_DATA_HOME/korvel or ~/.local/share/korvel)"},
    {"--meter", "", "show the load meter in the window's top-right corner"},
    {"--debugger", "", "open the debugger windows, stopped before the first instruction"},
    {"--ms0515-linear-disks", "", "MS-0515: read every disk image as tracks 0-79 of its\n"
                                  "first 409,600 bytes (no second surface)"},
    {"--cpu", "z80|8080", "processor of the PK8000 and the Specialist (default 8080);\n"
                          "the other machines have a Z80 only"},
    {"--no-fast-tape", "", "ZX: load tapes in real time in the window (default: unpaced)"},
    {"--rzx", "FILE", "ZX: play the RZX input recording FILE, then hand control to\n"
                      "the keyboard"},
    {"--record-rzx", "FILE", "ZX: record the session's input as the RZX recording FILE"},
    {"--error-box", "", "show a fatal error in a window even when not started from a\n"
                        "terminal (the desktop launcher starts korvel so)"},
    {"--help", "", "this text, also -h (with --machine NAME: that machine's hot keys)"},
    {"--version", "", "the program's version"},
};

const HostMachineDoc machine_rows[] = {
    {"zx", "ZX Spectrum 48K", "ZX Spectrum 48K", "48.rom",
     "or install Debian's opense-basic package, whose OpenSE BASIC ROM is used when 48.rom is absent",
     "/usr/share/spectrum-roms/opense.rom"},
    {"ms0515", "MS-0515", "MS-0515", "MS-0515.rom", "", ""},
    {"pk8000", "PK8000", "PK8000", "PK8000/foton_piton.bin", "", ""},
    {"specialist", "Specialist", "Specialist", "Specialist/BIOS.rom", "", ""},
    {"tile", "Tile-and-sprite machine", "Tile-and-sprite machine", "../konek.tia", "", ""},
    {"uknc", "UKNC", "UKNC", "UKNC.rom", "", ""},
};

const HostKeyDoc key_rows[] = {
    {"*", "Pause (alone) or the right mouse button", "open the on-screen menus (window only)"},
    {"*", "Left Windows + F", "full screen on/off"},
    {"*", "Left Windows + C", "screenshot: ScreenShot_NNN.png in the data directory"},
    {"*", "Right Windows + F1 ... F9", "load save-state slot 1-9"},
    {"*", "Right Windows + Shift + F1 ... F9", "save slot 1-9 (<machine>_slot<N>.kst in the data directory)"},
    {"*", "Right Windows + F10", "pause / resume"},
    {"*", "Right Windows + F11", "one frame while paused (pauses first)"},
    {"*", "Right Windows + F12", "fast-forward while held (muted); with Shift: on / off"},
    {"*", "Right Windows + Backspace", "rewind while held, through the last 30 seconds"},
    {"*", "Right Windows + D", "open the debugger windows (window only)"},

    {"zx", "` (grave)", "next palette: colour, grey, inverted grey"},
    {"zx", "Left Ctrl + Right Ctrl", "reset (PC = 0, interrupts off), once per press"},
    {"zx", "Left Windows + L", "reload the start-up snapshot"},
    {"zx", "Left Windows + S", "save the machine to that snapshot file"},
    {"zx", "Left Windows + P", "tape: play / stop by hand"},
    {"zx", "Left Windows + T", "tape: insert the last tape again, rewound"},

    {"ms0515", "F8", "stop in the debugger (and close an open trace)"},
    {"ms0515", "PgUp / PgDn", "frame delay up / down (each frame shown that many extra times)"},

    {"pk8000", "Print Screen + Scroll Lock + Pause", "reset"},
    {"pk8000", "F8", "stop in the console monitor"},

    {"specialist", "Print Screen + Scroll Lock + Pause", "reset"},
    {"specialist", "F8", "stop in the console monitor (the Specialist's own F8 key too)"},

    {"tile", "Delete", "next scale: x3 -> x1 -> x1.25"},
    {"tile", "Left Ctrl + Delete", "next scan-line style: black -> smooth -> double (Right Ctrl does not count)"},
    {"tile", "1", "stop passing unhandled window events to the system"},
    {"tile", "Print Screen + Scroll Lock + Pause", "reset"},
    {"tile", "F8", "stop in the console monitor (disassembly to TIA-DisDump.txt; no memory dump)"},

    {"uknc", "Left Ctrl + Right Ctrl", "restart (\"System Reset...\"; memories keep their contents)"},
    {"uknc", "Delete", "next X-scale: x1.0 -> x1.25 -> x1.333 -> x1.5 (start: x1.25); NEMIGA: x1.5 <-> x1.0"},
    {"uknc", "Left Ctrl + Delete", "next scan-line style: black -> smooth -> double lines"},
    {"uknc", "Left Shift + Delete",
     "lines shown: 276 -> 288 -> 298 (start: 276); not in the KGD, KCGD and NEMIGA modes"},
    {"uknc", "` (grave)", "next of the five palettes of the screen shown"},
    {"uknc", "PgUp / PgDn", "frame delay up / down (each frame shown that many extra times)"},
    {"uknc", "Left Ctrl + Left Shift + 0 / 1", "save disk image 0 / 1 to the file it came from"},
    {"uknc", "Left Shift + Print Screen", "screenshot"},
    {"uknc", "Apps (Menu)", "stop in the console monitor (closes an open trace)"},
    {"uknc", "F6 / F7", "KCGD screen on / back to the UKNC screen (F7 also leaves the KGD screen)"},
    {"uknc", "F8 / F9", "KGD bitmap over the KSM / the 15IE terminal"},
    {"uknc", "F10", "15IE mode switch (\"15IE: Mode 1\" / \"15IE: Mode 2\")"},
    {"uknc", "NumLock", "15IE RED switch: control characters hidden or shown"},
};

bool is_key_of(const HostKeyDoc& row, const char* machine)
{
    return std::strcmp(row.machine, "*") == 0 || std::strcmp(row.machine, machine) == 0;
}

// Text for roff: backslashes, hyphens and grave accents escaped, backticks of Markdown
// code dropped (a grave standing alone is a key and stays), no line starting with a dot.
std::string roff(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '`')
            out += "\\(ga";
        else if (c == '\n')
            out += ' ';
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

} // namespace

const std::span<const HostOptionDoc> host_option_docs(option_rows);
const std::span<const HostMachineDoc> host_machine_docs(machine_rows);
const std::span<const HostKeyDoc> host_key_docs(key_rows);

const HostMachineDoc* host_machine_doc(const char* name)
{
    for (const HostMachineDoc& m : host_machine_docs)
        if (name && std::strcmp(m.name, name) == 0)
            return &m;
    return nullptr;
}

std::string host_usage_option_lines()
{
    constexpr size_t column = 22;
    std::string out;
    for (const HostOptionDoc& o : host_option_docs) {
        std::string left = std::string("  ") + o.name + (*o.value ? std::string(" ") + o.value : "");
        left += left.size() < column ? std::string(column - left.size(), ' ') : "  ";
        out += left;
        for (const char* p = o.text; *p; ++p) {
            out += *p;
            if (*p == '\n')
                out += std::string(column, ' ');
        }
        out += '\n';
    }
    return out;
}

std::string host_usage_text(const char* machine)
{
    const HostMachineDoc* m = host_machine_doc(machine);
    std::string out = "usage: korvel [options] [argument text]\n" + host_usage_option_lines() +
                      "The argument text (everything that is not an option; \"--\" ends the options)\n"
                      "goes to the machine, e.g. the ZX snapshot name or the disk image names.\n"
                      "Relative file names are looked for in the current directory, then in the\n"
                      "data directory.\n";
    if (!m)
        return out;
    out += std::string("Hot keys of the ") + m->title + " (--machine " + m->name + "):\n";
    for (const HostKeyDoc& k : host_key_docs) {
        if (!is_key_of(k, m->name))
            continue;
        std::string left = std::string("  ") + k.keys;
        left += left.size() < 36 ? std::string(36 - left.size(), ' ') : "  ";
        out += left + k.action + "\n";
    }
    return out;
}

std::string host_manual_options()
{
    std::string out;
    for (const HostOptionDoc& o : host_option_docs) {
        out += ".TP\n\\fB" + roff(o.name) + "\\fR";
        if (*o.value)
            out += " \\fI" + roff(o.value) + "\\fR";
        out += "\n" + roff(o.text) + "\n";
    }
    return out;
}

std::string host_manual_keys(const char* machine)
{
    std::string out;
    for (const HostKeyDoc& k : host_key_docs)
        if (std::strcmp(k.machine, machine) == 0)
            out += ".TP\n\\fB" + roff(k.keys) + "\\fR\n" + roff(k.action) + "\n";
    return out;
}

std::string host_readme_keys(const char* machine)
{
    std::string out = "| keys | action |\n|---|---|\n";
    for (const HostKeyDoc& k : host_key_docs)
        if (is_key_of(k, machine))
            out += std::string("| ") + k.keys + " | " + k.action + " |\n";
    return out;
}
