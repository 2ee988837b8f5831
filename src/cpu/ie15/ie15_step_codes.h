// The 15IE core's step routines as small numbers, so that a 15IE stopped between the two
// cycles of an instruction can be written to a file and continued later (saved states).
// Built on first use by running every two-cycle instruction (executed and skipped) on a
// scratch processor; ie15_step_fingerprint() changes whenever those chains change.
#pragma once

#include <cstdint>

#include "cpu/ie15/ie15.h"

uint32_t ie15_step_count();
uint32_t ie15_step_fingerprint();
bool ie15_step_code(Ie15Routine step, uint16_t* code);
Ie15Routine ie15_step_from_code(uint16_t code);
