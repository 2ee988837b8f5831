// MS-0515 console debugger: run to an address, to the next RTS or to the frame's end, jump,
// single step, memory and disassembly dumps, instruction trace. Commands are a letter and a
// hexadecimal address read from the console; a bare newline single-steps.
#include "machines/ms0515/ms0515.h"

#include "cpu/pdp11/pdp11_disasm.h"
#include "host/host.h"

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

// "%x%*c": a hexadecimal number (leading blanks and line breaks skipped, so it may stand on
// the next line) and the one character after it. Text that is no number is left unread and
// the address unchanged, as scanf leaves it. The value is kept whole: an address above
// 0xFFFF is one that PC never takes. False at end of input.
static bool read_address(uint32_t* address)
{
    unsigned value = 0;
    int got = std::fscanf(ms0515.debugIn, "%x", &value);
    if (got == EOF)
        return false;
    if (got == 1) {
        *address = value;
        std::fgetc(ms0515.debugIn);
    }
    return true;
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
    uint32_t end = ms0515.breakAddress;
    if (!read_address(&end)) {
        console_closed();
        return;
    }
    FILE* file = open_data_file("MS0515DisDump.txt", "w");
    if (!file)
        fatal_error("Can't create MS0515DisDump.txt file!");
    // An end beyond 0xFFFF stops the dump at the top of memory.
    uint16_t last = static_cast<uint16_t>(end > 0xFFFF ? 0xFFFF : end);
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
    int c = std::fgetc(ms0515.debugIn);
    if (c == EOF) {
        console_closed();
        return;
    }
    ms0515.command = static_cast<char>(c);
    if (c != '\n' && !read_address(&ms0515.breakAddress)) {
        console_closed();
        return;
    }
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
