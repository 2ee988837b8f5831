// Z80 console monitor: the check before every instruction, the prompt and the two dumps.
#include "machines/pk8000/z80_monitor.h"

#include <cstdio>
#include <cstring>

#include "cpu/z80/z80_disasm.h"
#include "host/host.h"

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

// One command line into `line`; false at end of input. The rest of an over-long line is
// dropped so it can't be taken for the next command.
bool read_line(Z80Monitor* m, char* line, size_t size)
{
    FILE* in = in_stream(m);
    if (!std::fgets(line, static_cast<int>(size), in)) return false;
    if (!std::strchr(line, '\n')) {
        int c;
        do c = std::fgetc(in);
        while (c != '\n' && c != EOF);
    }
    return true;
}

// Parses a hexadecimal number after optional blanks; advances *text past it.
bool parse_hex(const char** text, uint32_t* value)
{
    const char* p = *text;
    while (*p == ' ' || *p == '\t') ++p;
    uint32_t v = 0;
    int digits = 0;
    for (;; ++p, ++digits) {
        char c = *p;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = (v << 4 | static_cast<uint32_t>(d)) & 0xFFFFF; // keep it bounded; use 16 bits
    }
    if (digits == 0) return false;
    *value = v & 0xFFFF;
    *text = p;
    return true;
}

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

    char line[128];
    if (!read_line(m, line, sizeof line)) {
        input_ended(m);
        return;
    }
    char command = line[0];
    if (command == '\n' || command == '\r' || command == '\0') {
        m->mode = 's'; // a line end alone: one instruction, then prompt again
        return;
    }
    m->mode = command;
    const char* rest = line + 1;
    uint32_t value = 0;
    bool has_address = parse_hex(&rest, &value);
    m->end_address_given = false;
    switch (command) {
    case 'r':
        m->breakpoint = has_address ? value : z80_monitor_no_breakpoint;
        break;
    case 'j':
    case 'd':
        if (has_address) m->address = static_cast<uint16_t>(value);
        if (command == 'd' && has_address && parse_hex(&rest, &value)) {
            m->end_address = static_cast<uint16_t>(value);
            m->end_address_given = true;
        }
        break;
    default:
        break;
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
        if (!m->end_address_given) {
            char line[128];
            if (!read_line(m, line, sizeof line)) {
                input_ended(m);
                return;
            }
            const char* rest = line;
            uint32_t value = 0;
            if (parse_hex(&rest, &value)) m->end_address = static_cast<uint16_t>(value);
        }
        m->end_address_given = false;
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
