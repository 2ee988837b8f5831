// The boards and terminals as the complex fits them: their ROM files, the switching of
// the display modes (workstation_boards.cpp), and the terminals' start-up and restart
// (workstation_terminals.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "machines/uknc/workstation_hooks.h"

// ---- Terminals (workstation_terminals.cpp) ----
void workstation_fit_terminals();     // start-up: ROM files, monitor slots and dumps, 15IE switches
void workstation_restart_terminals(); // restart: both terminals set up as at power-on

// ---- Boards: ROMs, display modes, window title, EMT 350 (workstation_boards.cpp) ----

// Reads a board's ROM (or font) file of exactly `length` bytes (0xFF past the end of a
// short file). A file that is missing or unreadable is named once on the console and the
// result is false: the caller runs its board absent (presence flag off). Only "UKNC.rom"
// is fatal (load_file), for the UKNC alone is a complete computer.
//   ws.kcgdPresent = workstation_load_board_rom(kcgd_block + 0x30000, 8192, "KCGD.rom");
//   ws.ksmPresent = workstation_load_board_rom(ksm, 8192, "KSM.rom") &&
//                   workstation_load_board_rom(ksm + 0x18000, 2048, "KSM_FONT.rom");
bool workstation_load_board_rom(void* buffer, size_t length, const char* name);

// Switches a display mode on or off (nothing when it already is): the flag, the message
// ("Videomode DVK KGD Activated!\n", ...) when `messages`, clear_back_buffer, the cleared
// PictureBuffer, the window size of the mode (off: 800 x 480 while the KCGD mode is on,
// else the UKNC size), then the board's hook.
void workstation_switch_mode(int mode, bool on, bool messages);
void workstation_update_title();       // the window title follows the display mode
// A program's exit (EMT 350 next on the monitored processor): E-85 and NEMIGA modes off,
// KGD memory cleared and the KGD mode off unless F8/F9 chose it.
void workstation_program_exit();
