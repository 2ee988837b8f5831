// Z80 core: a machine's time slice with its memory routines called directly.
//
// z80_run_slice<FETCH, READ, WRITE>(state) does what
//     do { z80_run_instruction(state); } while (state->ticks >= 0);
// does, step for step and bus cycle for bus cycle, but in one loop: a bus cycle whose
// slot holds FETCH, READ or WRITE is a direct call that the compiler inlines (the
// routines must be defined where the template is instantiated), and the opcode fetch at
// an instruction boundary goes straight to the opcode's first step without the call
// through decode_main. Any other routine in a slot (a port, a tape or recording hook, a
// test's own routine) is called through the slot as usual, so swapping slots between
// instructions keeps working.
//
//   void my_fetch(Z80State* s) { ... }       // the same routines the slots hold
//   void my_run(Z80State* s) { z80_run_slice<my_fetch, my_read, my_write>(s); }
#pragma once

#include "cpu/z80/z80.h"

template <Z80Routine FETCH, Z80Routine READ, Z80Routine WRITE>
inline void z80_run_slice(Z80State* s)
{
    for (;;) {
        const Z80Routine bus = s->bus;
        if (bus == FETCH) {
            FETCH(s);
            if (s->step == decode_main) { // an opcode: decode_main's own work, inline
                s->r++;
                s->opcode_steps[s->data](s);
            } else {
                s->step(s);
            }
        } else {
            if (bus == READ)
                READ(s);
            else if (bus == WRITE)
                WRITE(s);
            else
                bus(s);
            s->step(s);
        }
        // An instruction ends when the next step is the decoder again.
        if (s->step == decode_main && s->ticks < 0)
            return;
    }
}
