// Saved states of the whole workstation complex: the UKNC (CPU, PPU, memories, channels,
// timer, keyboard, memory control, system register, video, floppies with their disk
// images), the DVK boards (KGD, KCGD with its GPU, NEMIGA, E-85) with their modes, the
// KSM and 15IE terminals with their console rings, and the picture settings the complex
// keeps (palettes, X-scales, scan lines, lines-fit, display mode, window size).
//
// The host owns the file and calls these between frames (host/session.h):
//   session_register_machine(&workstation_state_ops);   // once, at start-up
// A processor stopped inside an instruction is stored with the codes of its pending steps
// (cpu/*/..._step_codes.h); I/O handler tables, page maps and step pointers are rebuilt on
// load. check() validates every section (presence, sizes, ranges, step codes) and changes
// nothing; load() runs only after check() accepted the same state.
#pragma once

#include <string>

#include "host/session.h"

void workstation_state_save(StateWriter* writer);
bool workstation_state_check(const StateReader* reader, std::string* why);
void workstation_state_load(const StateReader* reader);

extern const MachineStateOps workstation_state_ops; // name "uknc"
