// The debugger windows: for every processor of the running machine its registers and
// flags (editable while stopped), the disassembly following PC with breakpoints toggled by
// a click and the run controls (run, stop, step, step over, run to the cursor); a memory
// view of each address space (hexadecimal and characters, editable, go-to and search);
// the device registers; the history of the last 1,000 instructions, written to a file on
// request. They sit on the on-screen interface (its Debug menu) and drive the machine
// through host/debug.h.
#pragma once

// Registers the windows with the interface and the stopped machine's idle routine.
// open_now (--debugger): the windows are open from the start and the machine stops before
// its first instruction.
void debugger_install(bool open_now);

// Opens the windows (and starts watching the machine); closing all of them stops watching.
void debugger_open(bool stop);
bool debugger_is_open();
