#include "z80_harness.h"

namespace {

Z80Bench* bench_of(Z80State* s) { return reinterpret_cast<Z80Bench*>(s->mem); }

void fetch(Z80State* s) {
    Z80Bench* b = bench_of(s);
    b->last_fetch = s->pc;
    s->data = b->memory[s->pc];
    s->pc++;
}
void read_mem(Z80State* s) { s->data = bench_of(s)->memory[s->addr & 0xFFFF]; }
void write_mem(Z80State* s) { bench_of(s)->memory[s->addr & 0xFFFF] = s->data; }
void read_port(Z80State* s) { s->data = static_cast<uint8_t>((s->addr >> 8) & 0xFF); }
void write_port(Z80State* s) { bench_of(s)->port_writes.push_back(((s->addr & 0xFFFF) << 8) | s->data); }

}  // namespace

Z80Bench::Z80Bench() {
    z80_set_costs(&cpu, 1);
    cpu.fetch_byte = fetch;
    cpu.read_mem = read_mem;
    cpu.write_mem = write_mem;
    cpu.read_port = read_port;
    cpu.write_port = write_port;
    // The bench is reached through `mem`; its bus routines know the layout.
    cpu.mem = reinterpret_cast<uint8_t*>(this);
    z80_connect(&cpu);
}
