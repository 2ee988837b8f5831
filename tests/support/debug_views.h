// Checks shared by the machines' debugger tests: every view a machine gives the debugger
// (address spaces, device registers, registers, disassembly) leaves the machine as it was.
#pragma once

#include "host/debug.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace korvel_test {

// The blocks of machine state the views must leave alone (the machine's record, memory
// blocks it allocates). Reads every space byte by byte, every device, the registers of
// every processor and the disassembly at PC, then compares the blocks.
inline void expect_views_leave_machine_alone(const std::vector<std::pair<const void*, size_t>>& blocks)
{
    const DebugMachine* m = debug_machine();
    ASSERT_NE(m, nullptr);
    std::vector<std::vector<uint8_t>> before;
    for (const auto& [data, size] : blocks)
        before.emplace_back(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);

    uint64_t sum = 0; // keeps the reads from being dropped
    for (int s = 0; s < m->space_count; ++s)
        for (uint32_t a = 0; a < m->spaces[s].size; ++a) {
            const int v = m->spaces[s].peek(a);
            ASSERT_GE(v, -1) << m->spaces[s].name << " at " << a;
            ASSERT_LE(v, 255) << m->spaces[s].name << " at " << a;
            sum += uint32_t(v);
        }
    for (int d = 0; d < m->device_count; ++d) {
        const uint32_t v = m->devices[d].read();
        if (m->devices[d].bits < 32) {
            EXPECT_LT(uint64_t(v), uint64_t(1) << m->devices[d].bits)
                << m->devices[d].group << " / " << m->devices[d].name;
        }
        sum += v;
    }
    for (int p = 0; p < m->processor_count; ++p) {
        uint32_t values[debug_max_registers];
        m->processors[p].get_registers(values);
        char text[64];
        EXPECT_GT(debug_disassemble(p, m->processors[p].pc(), text, sizeof text), 0);
        sum += values[0] + uint32_t(m->processors[p].cycles());
    }
    (void)sum;
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(std::memcmp(before[i].data(), blocks[i].first, blocks[i].second), 0)
            << "state block " << i << " changed by a view";
}

// The stops a debugger session made, with what the idle routine saw at each.
struct StopLog {
    std::vector<int> processor;
    std::vector<uint32_t> pc;
};

} // namespace korvel_test
