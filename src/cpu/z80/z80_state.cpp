// Z80 registers to and from a save-state record.
#include "cpu/z80/z80_state.h"

#include <cstring>

namespace {

constexpr Z80Routine steps[] = {decode_main, z80_ack_im01, z80_ack_im2, z80_ack_finish};

Z80Routine bus_slot(const Z80State* s, uint8_t index)
{
    const Z80Routine slots[] = {s->fetch_byte, s->read_mem, s->write_mem, s->read_port, s->write_port};
    return slots[index];
}

} // namespace

bool z80_state_save(const Z80State* s, Z80SavedState* o, const char** why)
{
    std::memset(o, 0, sizeof *o);
    o->step = 0xFF;
    for (uint8_t k = 0; k < 4; ++k)
        if (s->step == steps[k])
            o->step = k;
    o->bus = 0xFF;
    for (uint8_t k = 5; k-- > 0;)
        if (s->bus == bus_slot(s, k))
            o->bus = k;
    if (o->step == 0xFF || o->bus == 0xFF) {
        *why = "the Z80 is inside an instruction";
        return false;
    }
    o->a = s->a;
    o->f = s->f;
    o->r = s->r;
    o->r7 = s->r7;
    o->i = s->i;
    o->iff = s->iff;
    o->im = s->im;
    o->mode_8080 = z80_8080_mode(s) ? 1 : 0;
    o->hl = s->hl;
    o->de = s->de;
    o->bc = s->bc;
    o->sp = s->sp;
    o->pc = s->pc;
    o->ix = s->ix;
    o->iy = s->iy;
    o->af_alt = s->af_alt;
    o->hl_alt = s->hl_alt;
    o->de_alt = s->de_alt;
    o->bc_alt = s->bc_alt;
    o->temp = s->temp;
    o->latch = s->latch;
    o->data = s->data;
    o->index_iy = s->index_reg == &s->iy ? 1 : 0;
    o->addr = s->addr;
    o->ticks = s->ticks;
    return true;
}

bool z80_state_valid(const Z80SavedState& o)
{
    return o.step < 4 && o.bus < 5 && o.index_iy < 2 && o.mode_8080 < 2 && o.im < 4 &&
           (o.iff & ~(Z80_IFF1 | Z80_IFF2)) == 0;
}

void z80_state_load(const Z80SavedState& o, Z80State* s)
{
    z80_set_8080_mode(s, o.mode_8080 != 0);
    s->a = o.a;
    s->f = o.f;
    s->r = o.r;
    s->r7 = o.r7;
    s->i = o.i;
    s->iff = o.iff;
    s->im = o.im;
    s->hl = o.hl;
    s->de = o.de;
    s->bc = o.bc;
    s->sp = o.sp;
    s->pc = o.pc;
    s->ix = o.ix;
    s->iy = o.iy;
    s->af_alt = o.af_alt;
    s->hl_alt = o.hl_alt;
    s->de_alt = o.de_alt;
    s->bc_alt = o.bc_alt;
    s->temp = o.temp;
    s->latch = o.latch;
    s->data = o.data;
    s->index_reg = o.index_iy ? &s->iy : &s->ix;
    s->addr = o.addr;
    s->ticks = o.ticks;
    s->step = steps[o.step];
    s->bus = bus_slot(s, o.bus);
}

bool z80_section_save(const void* cpu, void* bytes, const char** why)
{
    Z80SavedState saved;
    if (!z80_state_save(static_cast<const Z80State*>(cpu), &saved, why))
        return false;
    std::memcpy(bytes, &saved, sizeof saved);
    return true;
}

bool z80_section_valid(const void* bytes)
{
    Z80SavedState saved;
    std::memcpy(&saved, bytes, sizeof saved);
    return z80_state_valid(saved);
}

void z80_section_load(const void* bytes, void* cpu)
{
    Z80SavedState saved;
    std::memcpy(&saved, bytes, sizeof saved);
    z80_state_load(saved, static_cast<Z80State*>(cpu));
}
