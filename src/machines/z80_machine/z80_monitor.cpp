// Z80 console monitor: the check before every instruction, the prompt and the two dumps.
#include "machines/z80_machine/z80_monitor.h"

#include <cstdio>

#include "cpu/z80/z80_disasm.h"
#include "host/host.h"
#include "host/monitor_input.h"

namespace {

FILE* in_stream(const Z80Monitor* m) { return m->input ? m->input : stdin; }
FILE* out_stream(const Z80Monitor* m) { return m->output ? m->output : stdout; }

// Memory as the CPU sees it. Without a machine reader the CPU's own read cycle is used,
// with the bus latches it overwrites put back, so the program notices nothing.
uint8_t monitor_read(const void* context, uint16_t address)
{
    const Z80Monitor* m = static_cast<const Z80Monitor*>(context);
    if (m->read_byte) return m->read_byte(address);
    Z80State* cpu = m->cpu;
    int32_t saved_addr = cpu->addr;
    uint8_t saved_data = cpu->data;
    cpu->addr = address;
    cpu->read_mem(cpu);
    uint8_t value = cpu->data;
    cpu->addr = saved_addr;
    cpu->data = saved_data;
    return value;
}

[[noreturn]] void cannot_create(const char* name)
{
    char text[256];
    std::snprintf(text, sizeof text, "Can't create %s file!", name);
    fatal_error(text);
}

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

// Standard input is gone (closed console, redirected file at its end): there is nobody
// to answer prompts, so the program runs on instead of prompting forever.
void input_ended(Z80Monitor* m)
{
    if (!m->input_ended) {
        std::fputs("Monitor: end of input, running on (r)\n", out_stream(m));
        m->input_ended = true;
    }
    m->mode = 'r';
    m->breakpoint = z80_monitor_no_breakpoint;
}

} // namespace

void z80_monitor_reset(Z80Monitor* m)
{
    m->mode = 'r';
    m->breakpoint = z80_monitor_no_breakpoint;
    m->address = 0;
    m->end_address = 0;
}

void z80_monitor_prompt(Z80Monitor* m)
{
    if (m->present) m->present();
    FILE* out = out_stream(m);
    z80_print_register_dump(out, *m->cpu, m->tick_shift, monitor_read, m);
    std::fflush(out);

    FILE* in = in_stream(m);
    for (;;) {
        int command;
        do command = std::getc(in);
        while (is_blank(command));
        if (command == EOF) return input_ended(m);
        if (command == '\n') {
            m->mode = 's'; // a line end alone: one instruction, then prompt again
            return;
        }
        // The address stands on the command's line (a line end there means none); a
        // dump's end address may follow on the next line. Addresses keep their low 16 bits.
        uint32_t address = m->address, end = m->end_address;
        MonitorNumber got = monitor_read_number(in, &address, true, out);
        if (command == 'd' && (got == MonitorNumber::ok || got == MonitorNumber::none))
            got = monitor_read_number(in, &end, false, out);
        if (got == MonitorNumber::end) return input_ended(m);
        if (got == MonitorNumber::bad) continue; // reported; the command is asked for again
        m->mode = static_cast<char>(command);
        const bool given = got == MonitorNumber::ok;
        switch (command) {
        case 'r': m->breakpoint = given ? uint16_t(address) : z80_monitor_no_breakpoint; break;
        case 'j': m->address = uint16_t(address); break;
        case 'd':
            m->address = uint16_t(address);
            m->end_address = uint16_t(end);
            break;
        default: break;
        }
        return;
    }
}

uint16_t z80_monitor_write_dump(Z80Monitor* m, uint16_t from, uint16_t to)
{
    trace_file = open_data_file(m->dump_file, "w");
    if (!trace_file) cannot_create(m->dump_file);
    uint16_t next = z80_write_disasm_dump(trace_file, from, to, monitor_read, m);
    std::fclose(trace_file);
    trace_file = nullptr;
    return next;
}

void z80_monitor_write_memory(Z80Monitor* m)
{
    FILE* file = open_data_file(m->memory_file, "wb");
    if (!file) cannot_create(m->memory_file);
    size_t written = std::fwrite(m->memory, 1, 65536, file);
    if (std::fclose(file) != 0 || written != 65536) cannot_create(m->memory_file);
}

void z80_monitor_stop(Z80Monitor* m)
{
    switch (m->mode) {
    case 'j':
        m->cpu->pc = m->address;
        break;
    case 'm':
        if (m->memory) z80_monitor_write_memory(m);
        break;
    case 'd':
        m->address = z80_monitor_write_dump(m, m->address, m->end_address);
        break;
    default:
        break;
    }
    z80_monitor_prompt(m);
}

bool z80_monitor_frame_done(Z80Monitor* m)
{
    if (m->mode == 'f') {
        m->mode = 's';
        return false;
    }
    return m->mode == 'r';
}
