// The console log's guard against floods. A program gone astray (a garbage ROM, random
// code) can print the same message on every step: millions of lines a second that bury
// everything else and fill the disk of whoever keeps the log. Every line the program
// prints to standard output passes here: within one frame the first 100 copies of a line
// are printed as they are, the rest are counted, and at the frame's end one line says how
// many copies of which line were left out. The messages themselves are never changed.
//
// Wiring: console_flood_install() once at start-up makes standard output the filtered
// stream; the host calls console_flood_frame_end() after every frame and at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr uint32_t console_flood_limit = 100; // copies of a line printed per frame

// One whole line (its '\n' included, if it has one): true when it is to be printed.
bool console_flood_pass(const char* line, size_t length);
// Writes one line for each line left out in this frame ("... 123 more copies of this line
// left out in this frame: TEXT") to the real standard output and starts counting afresh.
void console_flood_frame_end();
// Standard output becomes a stream whose lines go through console_flood_pass to the real
// standard output.
void console_flood_install();
