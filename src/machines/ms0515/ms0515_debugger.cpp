// MS-0515 console debugger: run to an address, to the next RTS or to the frame's end, jump,
// single step, memory and disassembly dumps, instruction trace. Commands are a letter and a
// hexadecimal address read from the console; a bare newline single-steps.
#include "machines/ms0515/ms0515.h"

#include "cpu/pdp11/pdp11_disasm.h"
#include "host/host.h"
#include "host/monitor_input.h"

#include <cstdio>

// Console input ended: nobody can answer a prompt any more, so run on freely.
static void console_closed()
{
    if (!ms0515.consoleClosed)
        std::printf("Console input closed: running on (r) without a breakpoint\n");
    ms0515.consoleClosed = 1;
    ms0515.command = 'r';
    ms0515.breakAddress = 1;
}

static void write_memory_dump()
{
    FILE* file = open_data_file("MS0515Memory.bin", "wb");
    if (!file)
        fatal_error("Can't create MS0515Memory.bin file!");
    std::fwrite(ms0515.memory, 1, 0x20000, file);
    std::fclose(file);
}

static void write_disassembly_dump()
{
    uint16_t last;
    if (!monitor_read_dump_end(ms0515.debugIn, &last, console_closed, stdout))
        return;
    FILE* file = open_data_file("MS0515DisDump.txt", "w");
    if (!file)
        fatal_error("Can't create MS0515DisDump.txt file!");
    pdp11_write_disasm_dump(file, static_cast<uint16_t>(ms0515.breakAddress), last, ms0515_peek_word, nullptr);
    std::fclose(file);
}

static void start_trace()
{
    if (trace_file) {
        std::fclose(trace_file);
        trace_file = nullptr;
    }
    trace_file = open_data_file("UKNCDebugDump.txt", "w");
    if (!trace_file) {
        std::printf("Can't create UKNCDebugDump.txt file!\n");
        ms0515.tracing = 0;
        return;
    }
    ms0515.tracing = 1;
}

void ms0515_debugger_stop()
{
    if (ms0515.consoleClosed) {
        console_closed();
        return;
    }
    ms0515_present();
    std::printf("MEM_CON = 0x%04X", ms0515.memCon);
    std::printf(", SYSREG_A = 0x%02X", ms0515.sysregA);
    std::printf("\n");
    pdp11_print_register_dump(stdout, ms0515.cpu, "CPU (Main)   ", ms0515_peek_word, nullptr);
    std::fflush(stdout);
    // A command letter and, on its line, an optional address (an address above 0xFFFF is
    // one that PC never takes); a line whose address is no number is reported and dropped.
    int c;
    uint32_t address = 0;
    const MonitorNumber got = monitor_read_command(ms0515.debugIn, &c, &address, stdout);
    if (got == MonitorNumber::end) {
        console_closed();
        return;
    }
    ms0515.command = static_cast<char>(c);
    if (got == MonitorNumber::ok)
        ms0515.breakAddress = address;
    else if (c == 'r')
        ms0515.breakAddress = 1; // "r" alone runs free: PC never takes an odd address
    if (ms0515.command == 'l') {
        start_trace();
        ms0515.command = 'r';
    }
}

void ms0515_debugger_check()
{
    Pdp11Cpu& cpu = ms0515.cpu;
    bool stop;
    if (cpu.prefetch == 010606) { // software breakpoint word
        stop = true;
    } else {
        switch (ms0515.command) {
        case 'r':
            stop = (cpu.r[7] & 0xFFFF) == ms0515.breakAddress;
            break;
        case 'e':
            stop = (cpu.prefetch & 0xFFF8) == 0200; // RTS Rn
            break;
        case 'f':
            stop = false;
            break;
        case 'j':
            cpu.r[7] = ms0515.breakAddress & 0xFFFF;
            cpu.prefetchAddress = cpu.r[7];
            cpu.prefetch = ms0515_read_word(cpu.r[7]);
            stop = true;
            break;
        case 'm':
            write_memory_dump();
            stop = true;
            break;
        case 'd':
            write_disassembly_dump();
            stop = !ms0515.consoleClosed;
            break;
        default:
            stop = true;
        }
    }
    if (stop)
        ms0515_debugger_stop();
}
