// Z80 core: a machine's time slice with its memory routines called directly.
//
// z80_run_slice<FETCH, READ, WRITE>(state) does what
//     do { z80_run_instruction(state); } while (state->ticks >= 0);
// does, step for step and bus cycle for bus cycle, but in one loop: a bus cycle whose
// slot holds FETCH, READ or WRITE is a direct call that the compiler inlines (the
// routines must be defined where the template is instantiated), the opcode fetch at
// an instruction boundary goes straight to the opcode's first step without the call
// through decode_main, and the budget is looked at only between instructions. Any other routine in a slot (a port, a tape or recording hook, a
// test's own routine) is called through the slot as usual, so swapping slots between
// instructions keeps working.
//
//   void my_fetch(Z80State* s) { ... }       // the same routines the slots hold
//   void my_run(Z80State* s) { z80_run_slice<my_fetch, my_read, my_write>(s); }
#pragma once

#include "cpu/z80/z80.h"

// One bus cycle: the slot's routine, called directly when it is one of the three.
template <Z80Routine FETCH, Z80Routine READ, Z80Routine WRITE>
inline void z80_bus_cycle(Z80State* s)
{
    const Z80Routine bus = s->bus;
    if (bus == FETCH)
        FETCH(s);
    else if (bus == READ)
        READ(s);
    else if (bus == WRITE)
        WRITE(s);
    else
        bus(s);
}

template <Z80Routine FETCH, Z80Routine READ, Z80Routine WRITE>
inline void z80_run_slice(Z80State* s)
{
    // The rest of an instruction begun before (an interrupt acknowledge) counts as one.
    if (s->step != decode_main) {
        do {
            z80_bus_cycle<FETCH, READ, WRITE>(s);
            s->step(s);
        } while (s->step != decode_main);
        if (s->ticks < 0)
            return;
    }
    for (;;) {
        // An instruction boundary: the opcode fetch, then decode_main's own work, inline.
        z80_bus_cycle<FETCH, READ, WRITE>(s);
        s->r++;
        s->opcode_steps[s->data](s);
        // The instruction's further steps, until the next step is the decoder again.
        while (s->step != decode_main) {
            z80_bus_cycle<FETCH, READ, WRITE>(s);
            s->step(s);
        }
        if (s->ticks < 0)
            return;
    }
}
