// Helpers of the UKNC probe tests: one bus access straight through a processor's bus
// slots, and the formatting of the complex's reports.
#pragma once

#include "workstation_programs.h"

#include <cstdio>
#include <string>

namespace probe {

enum Access { Read, Word, Byte };

// One read, word write or byte write through the processor's own bus slots, outside any
// instruction; the step handler shows afterwards whether a bus error was raised.
inline uint16_t bus(Pdp11Cpu& c, Access access, uint32_t address, uint16_t value = 0)
{
    c.stepHandler = pdp11_decode_step;
    c.prefetchAddress = 1; // odd: no access hits the prefetch word
    c.busAddress = address;
    c.dataOut = value;
    c.dataIn = 0xDEAD;
    if (access == Read)
        c.opRead(&c);
    else if (access == Word)
        c.opWrite(&c);
    else
        c.opWriteByte(&c);
    return uint16_t(c.dataIn);
}

inline std::string format(const char* pattern, uint32_t first, uint32_t second)
{
    char text[200];
    std::snprintf(text, sizeof text, pattern, first, second);
    return text;
}

inline bool has_report(const std::string& out)
{
    return out.find("non-existent") != std::string::npos || out.find("unrealized") != std::string::npos;
}

} // namespace probe
