// Z80 core driver: running one instruction, interrupt acceptance, reset, set-up.

#include "cpu/z80/z80_steps.h"

using namespace z80_impl;

void z80_run_instruction(Z80State* s) {
    do {
        s->bus(s);
        s->step(s);
    } while (s->step != decode_main);
}

void z80_ack_finish(Z80State* s) { finish(s, T3); }

// IM 0 and IM 1 both behave as RST 38h: with nothing driving the data bus
// during the acknowledge, IM 0 executes the 0xFF it reads.
void z80_ack_im01(Z80State* s) {
    s->data = s->latch;
    s->addr = s->sp;
    s->pc = 0x0038;
    charge(s, T3);
    s->step = z80_ack_finish;
}

static void ack_im2_vector_hi(Z80State* s) {
    z80_set_hi(s->pc, s->data);
    finish(s, T3);
}

static void ack_im2_vector_lo(Z80State* s) {
    z80_set_lo(s->pc, s->data);
    s->addr = next_addr(s);  // at I = 0xFF the high byte comes from 0x0000
    charge(s, T3);
    s->step = ack_im2_vector_hi;
}

static void ack_im2_read_vector(Z80State* s) {
    s->bus = s->read_mem;
    s->addr = (s->i << 8) | 0xFF;  // the idle data bus supplies 0xFF as the vector's low byte
    charge(s, T3);
    s->step = ack_im2_vector_lo;
}

void z80_ack_im2(Z80State* s) {
    s->data = s->latch;
    s->addr = s->sp;
    charge(s, T3);
    s->step = ack_im2_read_vector;
}

void z80_accept_interrupt(Z80State* s) {
    // The 8080 executes the RST 38h that the bus supplies: its INTA cycle takes
    // 5 states and the two pushes 3 each (11); the Z80's acknowledge takes 7 + 6.
    const bool i8080 = s->opcode_steps == i8080_opcode_steps;
    charge(s, i8080 ? T5 : T7);
    s->iff = 0;
    // HALT re-fetches itself by stepping PC back; leave it so the handler returns after it.
    // The opcode is looked at through the machine's own read routine.
    s->addr = s->pc;
    s->read_mem(s);
    if (s->data == 0x76) s->pc++;
    s->latch = z80_lo(s->pc);
    s->data = z80_hi(s->pc);
    s->addr = (s->sp - 1) & 0xFFFF;
    s->sp = static_cast<uint16_t>(s->sp - 2);
    s->bus = s->write_mem;
    s->step = s->im == 3 && !i8080 ? z80_ack_im2 : z80_ack_im01;
}

void z80_reset(Z80State* s) {
    s->pc = 0;
    s->iff = 0;
}

void z80_set_costs(Z80State* s, int32_t units) {
    static constexpr int tstates[Z80State::cost_count] = {3, 4, 5, 6, 7, 8, 10, 11};
    for (int k = 0; k < Z80State::cost_count; ++k) s->cost[k] = units * tstates[k];
}

void z80_connect(Z80State* s) {
    if (!s->opcode_steps) s->opcode_steps = z80_opcode_steps;
    s->step = decode_main;
    s->bus = s->fetch_byte;
    s->index_reg = &s->ix;
}

void z80_power_on(Z80State* s, int32_t units_per_tstate, const Z80Bus& bus, uint8_t* mem) {
    *s = Z80State{};
    z80_set_costs(s, units_per_tstate);
    s->fetch_byte = bus.fetch_byte;
    s->read_mem = bus.read_mem;
    s->write_mem = bus.write_mem;
    s->read_port = bus.read_port;
    s->write_port = bus.write_port;
    s->mem = mem;
    z80_connect(s);
}

void z80_set_8080_mode(Z80State* s, bool on) {
    s->opcode_steps = on ? i8080_opcode_steps : z80_opcode_steps;
    if (on) s->f &= F8080_MASK;
}

bool z80_8080_mode(const Z80State* s) { return s->opcode_steps == i8080_opcode_steps; }
