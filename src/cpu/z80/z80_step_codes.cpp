// Numbering the core's steps by running every instruction once on a scratch processor
// (see z80_step_codes.h).
#include "cpu/z80/z80_step_codes.h"

#include "cpu/common/step_code_table.h"

#include <initializer_list>

namespace {

// A flat memory of zeros but for the instruction under test at 0x1000 and the operand
// bytes after it; writes are dropped so that every instruction meets the same memory.
uint8_t program[8];

void scratch_fetch(Z80State* s)
{
    const uint32_t offset = static_cast<uint16_t>(s->pc - 0x1000);
    s->data = offset < sizeof program ? program[offset] : 0;
    s->pc = static_cast<uint16_t>(s->pc + 1);
}
void scratch_read(Z80State* s) { s->data = 0; }
void scratch_ignore(Z80State*) {}
void scratch_in(Z80State* s) { s->data = 0xFF; }

using StepTable = StepCodeTable<Z80Routine>;

void follow(Z80State& s, StepTable& t)
{
    t.note(s.step);
    for (int n = 0; n < 64; ++n) {
        s.bus(&s);
        s.step(&s);
        t.note(s.step);
        if (s.step == decode_main && s.bus == s.fetch_byte)
            return;
    }
}

// Registers for one run: flags all clear with counters that go on (B, BC = 2), or flags
// all set with counters that run out (B, BC = 1), so that both ways of every condition,
// DJNZ and block repeat are met.
void prepare(Z80State& s, bool i8080, int variant)
{
    z80_power_on(&s, 256, {scratch_fetch, scratch_read, scratch_ignore, scratch_in, scratch_ignore}, nullptr);
    z80_set_8080_mode(&s, i8080);
    s.pc = 0x1000;
    s.sp = 0x8000;
    s.hl = s.de = 0x4000;
    s.bc = variant ? 0x0101 : 0x0202;
    s.f = variant ? 0xFF : 0x00;
}

void run(StepTable& t, bool i8080, std::initializer_list<uint8_t> bytes)
{
    for (int variant = 0; variant < 2; ++variant) {
        Z80State s;
        prepare(s, i8080, variant);
        uint32_t k = 0;
        for (uint8_t b : bytes)
            program[k++] = b;
        while (k < sizeof program)
            program[k++] = 0;
        follow(s, t);
    }
}

StepTable* build()
{
    auto* t = new StepTable; // lives for the run
    t->note(decode_main);
    for (int op = 0; op < 256; ++op) {
        const auto b = static_cast<uint8_t>(op);
        run(*t, false, {b, 0x05, 0x34, 0x12});
        run(*t, false, {0xCB, b});
        run(*t, false, {0xED, b, 0x34, 0x12});
        run(*t, false, {0xDD, b, 0x05, 0x34, 0x12});
        run(*t, false, {0xFD, b, 0x05, 0x34, 0x12});
        run(*t, false, {0xDD, 0xCB, 0x05, b});
        run(*t, false, {0xFD, 0xCB, 0x05, b});
        run(*t, true, {b, 0x05, 0x34, 0x12});
    }
    // Interrupt acknowledges: IM 0/1 and IM 2 on the Z80, RST 38h on the 8080.
    for (int mode = 0; mode < 3; ++mode) {
        Z80State s;
        prepare(s, mode == 2, 0);
        s.im = mode == 1 ? 3 : 2;
        s.iff = Z80_IFF1 | Z80_IFF2;
        z80_accept_interrupt(&s);
        follow(s, *t);
    }
    return t;
}

const StepTable& table()
{
    static const StepTable* t = build();
    return *t;
}

constexpr Z80Routine Z80State::*bus_slots[z80_bus_slot_count] = {
    &Z80State::fetch_byte, &Z80State::read_mem, &Z80State::write_mem, &Z80State::read_port, &Z80State::write_port,
};

} // namespace

uint32_t z80_step_count() { return table().count(); }

uint32_t z80_step_fingerprint() { return table().final_fingerprint(); }

bool z80_step_code(Z80Routine step, uint16_t* code) { return table().find(step, code); }

Z80Routine z80_step_from_code(uint16_t code)
{
    return table().at(code);
}

int z80_bus_code(const Z80State* s, Z80Routine bus)
{
    for (int k = 0; k < z80_bus_slot_count; ++k)
        if (bus && s->*bus_slots[k] == bus)
            return k;
    return -1;
}

Z80Routine z80_bus_from_code(const Z80State* s, int code)
{
    return code >= 0 && code < z80_bus_slot_count ? s->*bus_slots[code] : nullptr;
}
