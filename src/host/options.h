// Command-line options of the host: "korvel [options] [argument text]".
//
// Options begin with "--" and are taken out of the command line before the machine sees
// the rest; "--" alone ends the options. What remains becomes the argument text, read by
// machines through argument_text() and next_argument().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostOptions {
    std::string machine = "zx";
    bool machine_given = false;      // --machine was on the command line
    bool headless = false;
    uint32_t frames = 0;             // 0: run until the machine or the user ends the run
    uint32_t fps_x256 = 0;           // 0: the display's own rate (60 Hz headless)
    std::string keys_file;           // headless: timed key events
    std::string record_keys_file;    // every key change of the session, as a keys file
    std::string wav_file;            // headless: every frame's samples
    std::vector<uint32_t> screenshot_at; // headless: frames after which a screenshot is taken
    std::string load_state_file;     // start from this state instead of power-on
    std::vector<uint32_t> save_state_at; // frames after which a state file is written
    std::string data_dir;            // empty: the program's own directory
    std::string cpu;                 // --cpu: "z80", "8080", or empty (the machine's own)
    bool meter = false;
    bool ms0515_linear_disks = false; // MS-0515: read every image as one surface, tracks 0-79
    bool no_fast_tape = false;       // window: tapes load in real time
    std::string rzx_file;            // ZX: an input recording to play
    std::string record_rzx_file;     // ZX: the input recording to write
    bool debugger = false;           // window: the debugger windows open, stopped at the start
    bool error_box = false;          // fatal errors in a box even without a terminal
    bool help = false;
    bool version = false;
    std::string argument_text;
};

// Fills options from argv. On a bad option or value returns false with a one-line reason.
bool host_parse_command_line(int argc, const char* const* argv, HostOptions* options,
                             std::string* error);
// Tokeniser behind next_argument: returns the next token of *cursor (nullptr when only
// blanks remain), copies it into buffer (at most 1024 characters, terminated) and moves
// *cursor past it. *in_quote carries a quoted token that was cut at 1024 characters into
// the next call, so that its rest keeps its blanks and loses its closing quote.
const char* host_next_token(const char** cursor, char (&buffer)[1025], bool* in_quote);
// The argument text with every relative name that is a file in start_dir (the directory
// the program was started from) made absolute, so that it is found there after the change
// into the data directory; names that are not there stay as given and are looked up in
// the data directory. A text with no such name is returned unchanged.
std::string host_resolve_argument_files(const std::string& text, const std::string& start_dir);
// The machine a file on its own calls for, by its extension (a launcher opening a file
// names no machine): .dsk and .img are UKNC disk images, .rks a Specialist tape; nullptr
// for anything else (the ZX's snapshots and tapes).
const char* host_machine_for_file(const std::string& argument_text);
