// 15IE ports, start values and set-up.
//
// Display memory is reached only through port 0 ("Data") at the Adr register,
// and every access takes two port operations: an output to port 0 arms the data
// cycle, the next input or output to port 0 moves the byte and advances Adr.

#include "cpu/ie15/ie15.h"

namespace {

using S = Ie15Cpu;

uint8_t* display(S* s) { return s->memory + ie15_display_offset + s->adr; }
void next_adr(S* s) { s->adr = (s->adr + 1) & ie15_address_mask; }

// ---- Input ports ----------------------------------------------------------------

// Without an armed data cycle the bus floats high.
uint8_t in_data(S* s, uint32_t)
{
    if (!s->data_cycle)
        return 0xFF;
    const uint8_t v = *display(s);
    next_adr(s);
    s->data_cycle = 0;
    return v;
}

// Taking the received byte frees the receive latch for the next one.
uint8_t in_received(S* s, uint32_t)
{
    s->in_ports[IE15_IN_RRDY] = 0x80;
    return s->in_ports[IE15_IN_RECEIVED];
}

uint8_t in_latch(S* s, uint32_t port) { return s->in_ports[port]; }

// ---- Output ports ---------------------------------------------------------------

void out_data(S* s, uint32_t, uint8_t value)
{
    if (!s->data_cycle) {
        s->data_cycle = 1;
        return;
    }
    *display(s) = value;
    next_adr(s);
    s->data_cycle = 0;
}

void out_adr_high(S* s, uint32_t, uint8_t value) { s->adr = (s->adr & 0x00F) | (uint32_t{value} << 4); }
void out_adr_low(S* s, uint32_t, uint8_t value) { s->adr = (s->adr & 0xFF0) | (value >> 4); }
void out_adr_inc(S* s, uint32_t, uint8_t) { next_adr(s); }
void out_adr_dec(S* s, uint32_t, uint8_t) { s->adr = (s->adr - 1) & ie15_address_mask; }
void out_page1(S* s, uint32_t, uint8_t) { s->bank = 1; }
void out_page0(S* s, uint32_t, uint8_t) { s->bank = 0; }
void out_nothing(S*, uint32_t, uint8_t) {}  // SND: the terminal's beeper is not sounded
void out_latch(S* s, uint32_t port, uint8_t value) { s->out_ports[port] = value; }

}  // namespace

const Ie15PortIn ie15_default_in_ports[16] = {
    in_data,  in_latch, in_latch, in_latch, in_latch, in_latch, in_received, in_latch,
    in_latch, in_latch, in_latch, in_latch, in_latch, in_latch, in_latch,    in_latch,
};

const Ie15PortOut ie15_default_out_ports[16] = {
    out_data,    out_latch,   out_adr_high, out_adr_low, out_adr_inc, out_adr_dec, out_latch, out_latch,
    out_nothing, out_latch,   out_latch,    out_latch,   out_latch,   out_latch,   out_page1, out_page0,
};

void ie15_connect(Ie15Cpu* s)
{
    for (int k = 0; k < 16; ++k) {
        s->in_port[k] = ie15_default_in_ports[k];
        s->out_port[k] = ie15_default_out_ports[k];
    }
    s->step = ie15_decode;
}

void ie15_reset(Ie15Cpu* s)
{
    Ie15Cpu kept = *s;
    *s = Ie15Cpu{};
    s->memory = kept.memory;
    s->fetch_byte = kept.fetch_byte;
    s->video_step = kept.video_step;
    for (int k = 0; k < 16; ++k) {
        s->in_port[k] = kept.in_port[k];
        s->out_port[k] = kept.out_port[k];
    }
    s->speed_factor = 256;
    s->flags[IE15_FLAG_RUSLAT] = 1;
    s->in_ports[IE15_IN_RRDY] = 0x80;
    s->in_ports[7] = 0xFF;
    s->in_ports[IE15_IN_KRED] = 0x80;
    s->in_ports[11] = 0x80;
    s->in_ports[15] = 0x80;
    s->step = ie15_decode;
}
