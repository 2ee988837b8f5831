// Test bench for the Z80 core: flat 64 KB memory, port reads answer the port's
// high byte, port writes are logged, one time unit per T-state.

#pragma once

#include <cstdint>
#include <vector>

#include "cpu/z80/z80.h"

struct Z80Bench {
    Z80State cpu{};
    uint8_t memory[0x10000]{};
    int last_fetch = -1;  // address of the last byte fetched with fetch_byte
    std::vector<uint32_t> port_writes;  // (port << 8) | value

    Z80Bench();
    Z80Bench(const Z80Bench&) = delete;
    Z80Bench& operator=(const Z80Bench&) = delete;

    void load(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) memory[address++] = b;
    }
    // Runs one instruction and returns the T-states it took.
    int run_one() {
        const int32_t before = cpu.ticks;
        z80_run_instruction(&cpu);
        return before - cpu.ticks;
    }
    // Runs whole instructions until at least `tstates` have passed; returns the total.
    int run_for(int tstates) {
        int elapsed = 0;
        while (elapsed < tstates) elapsed += run_one();
        return elapsed;
    }
    // HALT keeps PC on itself, so the CPU is halted when the last opcode
    // fetched is the HALT that PC points at.
    bool halted() const { return last_fetch == cpu.pc && memory[cpu.pc] == 0x76; }
};
