// The KSM terminal: a Z80 (the TPU) over 64 KB, its 8 KB ROM below 0x2000 write-protected,
// two ports, and console input by interrupt: while the program waits in HALT with
// interrupts enabled, a waiting byte is latched into port 0x76 and the program enters
// its input routine at 0x0BCC. Its text lives in memory as rows of 128 bytes with an
// attribute byte 0x2000 below each character.
#include "machines/terminals/terminals.h"

#include "cpu/z80/z80_disasm.h"

#include <cstring>

KsmTerminal ksm_terminal;

namespace {

KsmTerminal& k = ksm_terminal;

constexpr uint8_t opcode_halt = 0x76;
constexpr uint32_t rows_shown = 24;
constexpr uint32_t columns = 80;

void ksm_fetch(Z80State* s)
{
    s->data = s->mem[s->pc];
    s->pc = static_cast<uint16_t>(s->pc + 1);
}

void ksm_read(Z80State* s) { s->data = s->mem[s->addr & 0xFFFF]; }

void ksm_write(Z80State* s)
{
    const uint32_t address = s->addr & 0xFFFF;
    if (address >= ksm_rom_size)
        s->mem[address] = s->data;
}

void ksm_in(Z80State* s)
{
    switch (s->addr & 0xFF) {
    case 0x76: s->data = k.inputLatch; break;
    case 0x78: s->data = k.rowLatch; break;
    default: s->data = 0; break;
    }
}

void ksm_out(Z80State* s)
{
    if ((s->addr & 0xFF) == 0x78)
        k.rowLatch = s->data;
}

// A write cycle of the TPU outside an instruction (the pushed return address).
void write_through_bus(uint16_t address, uint8_t value)
{
    k.tpu.addr = address;
    k.tpu.data = value;
    k.tpu.write_mem(&k.tpu);
}

// Ten pixels per cell: each glyph row at column * 10.
void paint_row(uint8_t* text, uint32_t row_address, bool marks)
{
    const uint8_t* font = k.block + ksm_font_offset;
    for (uint32_t column = 0; column < columns; ++column) {
        const uint32_t address = row_address + column;
        const uint8_t code = k.block[address];
        for (uint32_t line = 0; line < terminal_glyph_lines; ++line)
            if (const uint8_t glyph = font[code * 8u + line])
                terminal_put_glyph(text + line * terminal_bytes_per_line, column * 10, glyph);
        if (!marks)
            continue;
        // The attribute byte names a character whose top three rows are the marks.
        const uint8_t mark = k.block[address - ksm_attribute_distance];
        for (uint32_t line = 0; line < terminal_mark_lines; ++line)
            if (const uint8_t glyph = font[mark * 8u + line])
                terminal_put_glyph(text + (terminal_glyph_lines + line) * terminal_bytes_per_line, column * 10, glyph);
    }
}

} // namespace

void ksm_terminal_setup()
{
    z80_power_on(&k.tpu, 256, {ksm_fetch, ksm_read, ksm_write, ksm_in, ksm_out}, k.block);
    std::memset(k.block + ksm_rom_size, 0, 0x10000 - ksm_rom_size);
    k.inputLatch = 0;
    k.rowLatch = 0;
}

bool ksm_take_input()
{
    Z80State& s = k.tpu;
    if (s.step != decode_main || !z80_iff1(&s) || !k.ring || !k.ring->waiting || k.block[s.pc] != opcode_halt)
        return false;
    k.inputLatch = console_ring_take(*k.ring);
    s.iff = 0;
    const uint16_t back = static_cast<uint16_t>(s.pc + 1);
    write_through_bus(static_cast<uint16_t>(s.sp - 1), static_cast<uint8_t>(back >> 8));
    write_through_bus(static_cast<uint16_t>(s.sp - 2), static_cast<uint8_t>(back));
    s.sp = static_cast<uint16_t>(s.sp - 2);
    s.pc = ksm_input_handler;
    return true;
}

void ksm_pair()
{
    k.tpu.bus(&k.tpu);
    k.tpu.step(&k.tpu);
}

void ksm_step()
{
    ksm_take_input();
    ksm_pair();
}

void ksm_run_frame(uint32_t pairs)
{
    for (uint32_t n = 0; n < pairs; ++n)
        ksm_step();
}

void ksm_render_text(uint8_t* text, bool text_off)
{
    std::memset(text, 0, terminal_text_size);
    if (text_off)
        return;
    const bool marks = k.blinkCounter < 5;
    const uint32_t row_bytes = terminal_row_lines * terminal_bytes_per_line;
    paint_row(text, ksm_status_rows[0], marks);
    paint_row(text + row_bytes, ksm_status_rows[1], marks);
    // The screen rows form a ring of 48 starting at the row latch. A latch beyond the
    // ring starts outside the screen area but still inside the block (row 255 ends
    // below the font's end), and the ring then continues from row 0.
    uint32_t row = k.rowLatch;
    for (uint32_t n = 0; n < rows_shown; ++n) {
        paint_row(text + (2 + n) * row_bytes, ksm_screen_rows + row * 128u, marks);
        row = row >= ksm_row_ring - 1 ? 0 : row + 1;
    }
}

void ksm_jump(uint32_t address)
{
    k.tpu.pc = static_cast<uint16_t>(address);
    z80_connect(&k.tpu);
}

void ksm_print_registers(FILE* out)
{
    z80_print_register_dump(out, k.tpu, 8, z80_read_flat_byte, k.block);
}
