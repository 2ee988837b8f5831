// Numbering the core's steps by running every provided instruction once on a scratch
// processor (see pdp11_step_codes.h).
#include "cpu/pdp11/pdp11_step_codes.h"

#include "cpu/common/step_code_table.h"
#include "cpu/pdp11/pdp11_bus.h"

namespace {

// A flat 64 KB whose every word reads 0x2000 (a harmless even address for pointers,
// vectors and jump targets); writes are dropped so that every instruction meets the
// same memory.
struct ScratchBus {
    static constexpr bool bus_errors = false;
    static uint16_t read_word(Pdp11Cpu*, uint32_t) { return 0x2000; }
    static uint8_t read_byte(Pdp11Cpu*, uint32_t address) { return (address & 1) ? 0x20 : 0x00; }
    static void write_word(Pdp11Cpu*, uint32_t, uint16_t) {}
    static void write_byte(Pdp11Cpu*, uint32_t, uint8_t) {}
};

using StepTable = StepCodeTable<Pdp11Step>;

// The opcodes the K1801VM2 does not provide only report themselves from the decode step
// and take no steps of their own: they are left out (their report would reach the console).
bool provided(uint32_t op)
{
    const uint32_t top = op >> 12, sub = (op >> 6) & 077, low = op & 077;
    if (top == 0 && sub == 0)
        return low <= 013 || (low >= 021 && low <= 027) || (low >= 031 && low <= 037);
    if (top == 0 && sub == 002)
        return (low & 070) == 0 || (low & 040) != 0;
    if ((top == 0 || top == 010) && (sub == 065 || sub == 066 || sub >= 070))
        return false;
    return true;
}

// Runs pairs up to the next instruction boundary, noting every step met.
void follow(Pdp11Cpu& c, StepTable& t)
{
    t.note(c.stepHandler);
    t.note(c.continuation);
    for (int n = 0; n < 64; ++n) {
        c.busOperation(&c);
        c.stepHandler(&c);
        if (c.busOperation == c.opFetch) {
            if ((c.r[7] & 0xFFFF) == c.prefetchAddress)
                return;
            c.busOperation = c.opRefetch;
            c.stepHandler = pdp11_fetch_complete_step;
        }
        t.note(c.stepHandler);
        t.note(c.continuation);
    }
}

void at_boundary(Pdp11Cpu& c, uint32_t registers, uint32_t psw)
{
    for (uint32_t& r : c.r)
        r = registers;
    c.r[6] = 0x4000;
    c.r[7] = 0x1000;
    c.psw = psw;
    c.prefetchAddress = 0x1000;
    c.busOperation = c.opFetch;
    c.stepHandler = pdp11_decode_step;
    c.continuation = nullptr;
}

StepTable* build()
{
    auto* t = new StepTable; // lives for the run
    Pdp11Cpu c{};
    pdp11_set_delivered_costs(&c);
    pdp11_install_bus<ScratchBus>(&c);
    t->note(pdp11_decode_step);
    t->note(pdp11_fetch_complete_step);
    t->note(bus_error_trap);
    // Every instruction; branches and SOB both ways (flags all clear / all set, counters
    // that stay above zero / run out).
    for (uint32_t variant = 0; variant < 2; ++variant)
        for (uint32_t op = 0; op < 0x10000; ++op) {
            if (!provided(op))
                continue;
            at_boundary(c, variant ? 1 : 0x3000, variant ? 0x0F : 0);
            c.prefetch = op;
            follow(c, *t);
        }
    // The sequences a machine starts: interrupt, HALT-mode entry, bus error.
    at_boundary(c, 0x3000, 0);
    request_interrupt(&c, 0100);
    follow(c, *t);
    at_boundary(c, 0x3000, 0);
    enter_halt_mode(&c, PDP11_HALT_OFFSET_HALT);
    follow(c, *t);
    at_boundary(c, 0x3000, 0);
    c.busOperation = c.opRead;
    c.stepHandler = bus_error_trap;
    follow(c, *t);
    return t;
}

const StepTable& table()
{
    static const StepTable* t = build();
    return *t;
}

constexpr Pdp11BusOp Pdp11Cpu::*bus_slots[14] = {
    &Pdp11Cpu::opFetch,      &Pdp11Cpu::opRefetch,        &Pdp11Cpu::opRead,
    &Pdp11Cpu::opReadSource, &Pdp11Cpu::opReadMoveSource, &Pdp11Cpu::opWrite,
    &Pdp11Cpu::opReadModify, &Pdp11Cpu::opReadByte,       &Pdp11Cpu::opReadByteSource,
    &Pdp11Cpu::opReadByteMoveSource, &Pdp11Cpu::opWriteByte, &Pdp11Cpu::opReadModifyByte,
    &Pdp11Cpu::opReadUser,   &Pdp11Cpu::opWriteUser,
};

// The write-back a read-modify slot selects, from a copy of the processor at address 0.
Pdp11BusOp write_back(const Pdp11Cpu* cpu, Pdp11BusOp Pdp11Cpu::*slot)
{
    Pdp11Cpu probe = *cpu;
    probe.busAddress = 0;
    probe.stepHandler = pdp11_decode_step;
    (probe.*slot)(&probe);
    if (probe.stepHandler == bus_error_trap)
        return nullptr;
    return probe.busOperation;
}

} // namespace

uint32_t pdp11_step_count() { return table().count(); }

uint32_t pdp11_step_fingerprint() { return table().final_fingerprint(); }

bool pdp11_step_code(Pdp11Step step, uint16_t* code) { return table().find(step, code); }

Pdp11Step pdp11_step_from_code(uint16_t code)
{
    return table().at(code);
}

int pdp11_bus_op_code(const Pdp11Cpu* cpu, Pdp11BusOp op)
{
    for (int k = 0; k < 14; ++k)
        if (cpu->*bus_slots[k] == op)
            return k;
    if (op && op == write_back(cpu, &Pdp11Cpu::opReadModify))
        return PDP11_BUS_WORD_WRITE_BACK;
    if (op && op == write_back(cpu, &Pdp11Cpu::opReadModifyByte))
        return PDP11_BUS_BYTE_WRITE_BACK;
    return -1;
}

Pdp11BusOp pdp11_bus_op_from_code(const Pdp11Cpu* cpu, int code)
{
    if (code >= 0 && code < 14)
        return cpu->*bus_slots[code];
    if (code == PDP11_BUS_WORD_WRITE_BACK)
        return write_back(cpu, &Pdp11Cpu::opReadModify);
    if (code == PDP11_BUS_BYTE_WRITE_BACK)
        return write_back(cpu, &Pdp11Cpu::opReadModifyByte);
    return nullptr;
}
