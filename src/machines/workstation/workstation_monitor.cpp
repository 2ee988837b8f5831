// The console monitor of the complex: breakpoints, run to the next RTS or the frame's
// end, single steps of the monitored processor (CPU or PPU), jumps, register and
// interrupt reports, memory and disassembly dumps and the instruction trace.
// Commands are a letter and, unless the letter is a line end, a hexadecimal number.
#include "machines/workstation/workstation.h"

#include "cpu/pdp11/pdp11_disasm.h"
#include "host/host.h"

#include <cstdio>
#include <string>

namespace {

Workstation& ws = workstation;

constexpr uint32_t no_breakpoint = 0x10000; // PC never takes it

void update_watch()
{
    ws.monitorWatch = ws.monitorCommand != 'r' || ws.breakpoint <= 0xFFFF || ws.tracing;
}

void close_trace()
{
    if (trace_file) {
        std::fclose(trace_file);
        trace_file = nullptr;
    }
    ws.tracing = false;
}

// Nobody can answer a prompt any more: run on freely, said once.
void console_closed()
{
    if (!ws.consoleClosed)
        std::printf("Console input closed: running on (r) without a breakpoint\n");
    ws.consoleClosed = true;
    ws.monitorCommand = 'r';
    ws.breakpoint = no_breakpoint;
}

// "%x%*c": leading blanks and line breaks skipped; text that is no number leaves the
// value unchanged. False at the end of input.
bool read_number(uint32_t* value)
{
    unsigned number = 0;
    int got = std::fscanf(ws.monitorIn, "%x", &number);
    if (got == EOF)
        return false;
    if (got == 1) {
        *value = number;
        std::fgetc(ws.monitorIn);
    }
    return true;
}

bool ppu_monitored() { return ws.monitored == &ws.ppu; }

void write_memory_dump()
{
    FILE* file = open_data_file("UKNCMemory.bin", "wb");
    if (!file) {
        // Keep running: ending here would throw away disk images not yet saved.
        std::printf("Can't create UKNCMemory.bin file!\n");
        return;
    }
    std::fwrite(ws.mainBlock, 1, uknc_main_block_size, file);
    std::fclose(file);
}

void write_disassembly_dump()
{
    uint32_t end = ws.breakpoint;
    if (!read_number(&end)) {
        console_closed();
        return;
    }
    FILE* file = open_data_file("UKNCDisDump.txt", "w");
    if (!file) {
        std::printf("Can't create UKNCDisDump.txt file!\n");
        return;
    }
    uint16_t last = uint16_t(end > 0xFFFF ? 0xFFFF : end);
    pdp11_write_disasm_dump(file, uint16_t(ws.breakpoint), last,
                            ppu_monitored() ? workstation_ppu_reader : workstation_cpu_reader, nullptr);
    std::fclose(file);
}

void start_trace()
{
    close_trace();
    trace_file = open_data_file("UKNCDebugDump.txt", "w");
    if (!trace_file) {
        std::printf("Can't create UKNCDebugDump.txt file!\n");
        return;
    }
    ws.tracing = true;
}

void print_interrupts()
{
    std::printf("\nCPU Interrupts:\n");
    std::printf("50Hz Timer: ");
    std::printf((ws.memoryControl & 0x200) ? "Disabled, " : "Enabled, ");
    std::printf((ws.PendingInterrupts[UKNC_CPU] & CPU_IRQ_FIELD) ? "Set\n" : "Clear\n");
    std::printf("\n");
}

void jump(uint32_t address)
{
    Pdp11Cpu* c = ws.monitored;
    c->r[7] = address & 0xFFFF;
    // The prefetched word belongs to the old PC: read it again before the next instruction.
    c->busOperation = c->opRefetch;
    c->stepHandler = pdp11_fetch_complete_step;
}

// Commands that act at once and then stop again.
void immediate_command()
{
    switch (ws.monitorCommand) {
    case 'j':
        jump(ws.breakpoint);
        break;
    case 'p':
        ws.monitored = &ws.ppu;
        std::printf("Monitored processor = PPU\n");
        break;
    case 'c':
        ws.monitored = &ws.cpu;
        std::printf("Monitored processor = CPU\n");
        break;
    case 'x':
        ws.memoryControl &= ~0x200;
        break;
    case 'i':
        print_interrupts();
        break;
    case 'd':
        write_disassembly_dump();
        break;
    case 'm':
        write_memory_dump();
        break;
    default: // 'g', 't', 'n', 'z', 'b' need boards that are not fitted: a plain step
        break;
    }
}

} // namespace

uint16_t workstation_cpu_reader(const void*, uint16_t address) { return workstation_cpu_peek(address); }
uint16_t workstation_ppu_reader(const void*, uint16_t address) { return workstation_ppu_peek(address); }

void workstation_monitor_reset()
{
    ws.monitored = &ws.cpu;
    ws.monitorCommand = 'r';
    ws.breakpoint = no_breakpoint;
    ws.monitorSkip = false;
    if (!ws.monitorIn)
        ws.monitorIn = stdin;
    update_watch();
}

void workstation_monitor_enter()
{
    close_trace();
    ws.monitorCommand = 0;
    update_watch();
}

bool workstation_monitor_due()
{
    const Pdp11Cpu& c = *ws.monitored;
    switch (ws.monitorCommand) {
    case 'r':
        return (c.r[7] & 0xFFFF) == ws.breakpoint;
    case 'e':
        return (c.prefetch & 0xFFF8) == 0200; // RTS Rn next
    case 'f':
        return false;
    default:
        return true;
    }
}

void workstation_monitor_stop()
{
    ws.monitorSkip = true;
    if (ws.consoleClosed) {
        console_closed();
        update_watch();
        return;
    }
    workstation_present();
    std::printf("Timer: %03X, TimerBuf = %03X, Ctr = %08X, CmpInt = %08X\n", ws.timerControl, ws.timerBuffer,
                uint32_t(ws.ppu.cycleBudget), uint32_t(ws.timerCompare));
    pdp11_print_register_dump(stdout, ws.ppu, "PPU (Main)   ", workstation_ppu_reader, nullptr);
    pdp11_print_register_dump(stdout, ws.cpu, "CPU (Main)   ", workstation_cpu_reader, nullptr);
    std::fflush(stdout);

    int c = std::fgetc(ws.monitorIn);
    if (c == EOF) {
        console_closed();
        update_watch();
        audio_unmute();
        return;
    }
    ws.monitorCommand = char(c);
    if (c != '\n' && !read_number(&ws.breakpoint)) {
        console_closed();
        update_watch();
        audio_unmute();
        return;
    }
    if (ws.monitorCommand == 'l') {
        start_trace();
        ws.monitorCommand = 'r';
    } else if (ws.monitorCommand != 'r' && ws.monitorCommand != 'e' && ws.monitorCommand != 'f') {
        immediate_command();
        if (ws.consoleClosed)
            ws.monitorCommand = 'r';
    }
    if (ws.monitorCommand == 'r')
        audio_unmute();
    else
        audio_mute();
    update_watch();
}

void workstation_monitor_frame_end()
{
    if (ws.monitorCommand == 'f') {
        std::printf("One frame done...\n");
        ws.monitorCommand = 0;
        update_watch();
    }
}

// CPU lines at the left margin, PPU lines after 60 blanks.
void workstation_trace(const Pdp11Cpu* c)
{
    if (!trace_file)
        return;
    uint16_t pc = uint16_t(c->r[7]);
    if (c == &ws.cpu) {
        pdp11_write_trace_line(trace_file, pc, workstation_cpu_reader, nullptr);
    } else {
        std::string line = pdp11_disasm_line_text(pc, workstation_ppu_reader, nullptr, true);
        std::fprintf(trace_file, "\n%60s%s", "", line.c_str());
    }
}
