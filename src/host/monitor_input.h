// The console monitors' number input. A monitor reads a command letter and then, on the
// same line, an optional hexadecimal number: a letter followed by the end of its line
// takes none (it never waits for another line), and a word that is no hexadecimal number
// is reported ("Not a number: zz") and dropped with the rest of its line, so that its
// letters are never run as commands. A number may carry a "0x" prefix; longer numbers
// keep their low 32 bits.
#pragma once

#include <cstdint>
#include <cstdio>

enum class MonitorNumber {
    none, // the line ended first (same_line only); the line end is consumed
    ok,   // *value set; blanks after it and a line end right after them are consumed
    bad,  // reported on `out`; the rest of the line is dropped
    end,  // end of input
};

// same_line false: line ends before the number are skipped too (a second number asked
// for on its own line, such as the end address of a disassembly dump).
MonitorNumber monitor_read_number(FILE* in, uint32_t* value, bool same_line, FILE* out);
// A command letter (into *command) and its optional number on the same line; a line whose
// number is no number is reported and dropped, and the next line is read. Never `bad`.
MonitorNumber monitor_read_command(FILE* in, int* command, uint32_t* value, FILE* out);
// The last address of a disassembly dump of 64 KB, read after the command (it may stand on
// the next line): true with *last set, an end past 0xFFFF stopping at the top of memory.
// False when there is no dump: a word that is no number (reported), or the end of input,
// on which input_ended runs first.
bool monitor_read_dump_end(FILE* in, uint16_t* last, void (*input_ended)(), FILE* out);
