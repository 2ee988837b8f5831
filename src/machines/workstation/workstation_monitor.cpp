// The console monitor of the complex: breakpoints, run to the next RTS or the frame's
// end, single steps of the monitored processor (CPU, PPU, or a board's GPU or TPU),
// jumps, register and interrupt reports, memory and disassembly dumps and the
// instruction trace. Commands are a letter and, unless the letter is a line end, a
// hexadecimal number. The processors and dumps are tables that the boards fill.
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_main.h"
#include "machines/workstation/workstation_run.h"

#include "cpu/pdp11/pdp11_disasm.h"
#include "host/host.h"
#include "host/monitor_input.h"

#include <cstdio>
#include <string>

namespace {

Workstation& ws = workstation;

const MonitoredProcessor& target() { return workstation_processors[ws.monitoredSlot]; }

bool available(const MonitoredProcessor& m)
{
    return (!m.present || *m.present) && (m.pdp11 || m.at_boundary);
}

uint32_t monitored_pc()
{
    const MonitoredProcessor& m = target();
    return m.pdp11 ? m.pdp11->r[7] & 0xFFFF : m.pc ? m.pc() : 0;
}

uint32_t monitored_next()
{
    const MonitoredProcessor& m = target();
    return m.pdp11 ? m.pdp11->prefetch : m.next_instruction ? m.next_instruction() : 0;
}

void select(int slot)
{
    ws.monitoredSlot = slot;
    ws.monitored = workstation_processors[slot].pdp11;
}

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

void write_memory_dump(int which)
{
    MonitorDump& dump = workstation_dumps[which];
    if (which == DUMP_UKNC)
        dump.data = ws.mainBlock;
    if (!dump.data)
        return; // the board is not built: a plain step
    FILE* file = open_data_file(dump.file, "wb");
    // Keep running either way: ending here would throw away disk images not yet saved.
    if (!file) {
        std::printf("%s\n", dump.failure);
        return;
    }
    bool written = std::fwrite(dump.data, 1, dump.size, file) == dump.size;
    if (std::fclose(file) != 0 || !written)
        std::printf("%s\n", dump.failure);
}

void write_disassembly_dump()
{
    uint16_t last;
    if (!monitor_read_dump_end(ws.monitorIn, &last, console_closed, stdout))
        return;
    FILE* file = open_data_file("UKNCDisDump.txt", "w");
    if (!file) {
        std::printf("Can't create UKNCDisDump.txt file!\n");
        return;
    }
    // The PPU's or GPU's memory when one of them is watched, else the CPU's.
    const MonitoredProcessor& m = target();
    Pdp11WordReader reader = m.pdp11 && m.reader ? m.reader : workstation_cpu_reader;
    pdp11_write_disasm_dump(file, uint16_t(ws.breakpoint), last, reader, nullptr);
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
    const MonitoredProcessor& m = target();
    if (!m.pdp11) {
        if (m.jump)
            m.jump(address);
        return;
    }
    Pdp11Cpu* c = m.pdp11;
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
    case 'c':
    case 'g':
    case 't':
        // A processor whose board is not fitted cannot be watched: a plain step.
        for (int slot = 0; slot < monitor_slot_count; ++slot) {
            const MonitoredProcessor& m = workstation_processors[slot];
            if (m.command == ws.monitorCommand && available(m)) {
                select(slot);
                std::printf("Monitored processor = %s\n", m.name);
            }
        }
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
        write_memory_dump(ws.nemigaMode ? DUMP_NEMIGA : DUMP_UKNC);
        break;
    case 'n':
        write_memory_dump(DUMP_KCGD);
        break;
    case 'z':
        write_memory_dump(DUMP_KSM);
        break;
    case 'b':
        write_memory_dump(DUMP_IE15);
        break;
    default: // a plain step
        break;
    }
}

void print_block(int slot)
{
    const MonitoredProcessor& m = workstation_processors[slot];
    if (m.pdp11)
        pdp11_print_register_dump(stdout, *m.pdp11, m.caption, m.reader, nullptr);
    else if (m.print_registers)
        m.print_registers();
}

bool shown(int slot)
{
    const MonitoredProcessor& m = workstation_processors[slot];
    return (!m.present || *m.present) && (m.pdp11 || m.print_registers);
}

// The processor behind the screen shown (the GPU in the KCGD mode, the terminal under
// the KGD bitmap, else the PPU with its timer), then always the CPU.
void print_registers()
{
    if (ws.kcgdMode && shown(MONITOR_GPU)) {
        print_block(MONITOR_GPU);
    } else if (ws.kgdMode && !ws.ie15Selected && shown(MONITOR_TPU)) {
        print_block(MONITOR_TPU);
    } else if (ws.kgdMode && ws.ie15Selected && shown(MONITOR_IE15)) {
        print_block(MONITOR_IE15);
    } else {
        std::printf("Timer: %03X, TimerBuf = %03X, Ctr = %08X, CmpInt = %08X\n", ws.timerControl, ws.timerBuffer,
                    uint32_t(ws.ppu.cycleBudget), uint32_t(ws.timerCompare));
        print_block(MONITOR_PPU);
    }
    print_block(MONITOR_CPU);
    std::fflush(stdout);
}

} // namespace

bool workstation_monitored_at_boundary()
{
    const MonitoredProcessor& m = target();
    if (m.pdp11)
        return workstation_at_boundary(m.pdp11);
    return m.at_boundary ? m.at_boundary() : true;
}

void workstation_monitor_reset()
{
    select(MONITOR_CPU);
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
    switch (ws.monitorCommand) {
    case 'r':
        return monitored_pc() == ws.breakpoint;
    case 'e':
        return (monitored_next() & 0xFFF8) == 0200; // RTS Rn next
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
    print_registers();

    // A command letter and, on its line, an optional number; a line whose number is no
    // number is reported and dropped, and the next line is read.
    int c;
    uint32_t number = 0;
    const MonitorNumber got = monitor_read_command(ws.monitorIn, &c, &number, stdout);
    if (got == MonitorNumber::end) {
        console_closed();
        update_watch();
        audio_unmute();
        return;
    }
    ws.monitorCommand = char(c);
    if (got == MonitorNumber::ok)
        ws.breakpoint = number;
    else if (c == 'r')
        ws.breakpoint = no_breakpoint; // "r" alone runs without a breakpoint
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

// CPU lines at the left margin; PPU lines (after the PPU's pending interrupt word) and
// GPU lines after a line break and 60 blanks.
void workstation_trace(const Pdp11Cpu* c)
{
    if (!trace_file)
        return;
    uint16_t pc = uint16_t(c->r[7]);
    if (c == &ws.cpu) {
        pdp11_write_trace_line(trace_file, pc, workstation_cpu_reader, nullptr);
        return;
    }
    Pdp11WordReader reader = workstation_ppu_reader;
    if (c != &ws.ppu) {
        const MonitoredProcessor& gpu = workstation_processors[MONITOR_GPU];
        if (c != gpu.pdp11 || !gpu.reader)
            return;
        reader = gpu.reader;
    }
    std::string line = pdp11_disasm_line_text(pc, reader, nullptr, true);
    if (c == &ws.ppu)
        std::fprintf(trace_file, "\n%60s%04X %s", "", ws.PendingInterrupts[UKNC_PPU] & 0xFFFF, line.c_str());
    else
        std::fprintf(trace_file, "\n%60s%s", "", line.c_str());
}
