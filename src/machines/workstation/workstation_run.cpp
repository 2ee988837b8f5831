// Restart, interrupt acceptance and the frame's inner loop. The CPU and the PPU share one
// bus clock: each turn runs one bus-operation-and-step pair of whichever processor has
// more of its frame budget left, so their accesses to the shared channels and planes
// interleave as on the real machine. The frame ends when the PPU's budget is spent and the
// monitored processor stands at an instruction boundary.
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_debug.h"
#include "machines/workstation/workstation_monitor.h"
#include "machines/workstation/workstation_run.h"

#include "machines/dvk/dvk_boards.h"
#include "machines/uknc/uknc_floppy.h"

#include "machines/terminals/terminals.h"

#include "host/debug.h"
#include "host/host.h"

namespace {

Workstation& ws = workstation;

struct Request {
    uint32_t bit;
    uint32_t vector;
};

constexpr Request cpu_requests[] = {
    {CPU_IRQ_POWER_FAIL, 024}, {CPU_IRQ_FIELD, 0100},  {CPU_IRQ_CH0_RX, 060}, {CPU_IRQ_CH0_TX, 064},
    {CPU_IRQ_CH1_RX, 0460},    {CPU_IRQ_CH1_TX, 0464}, {CPU_IRQ_CH2_TX, 0474},
};

constexpr Request ppu_requests[] = {
    {PPU_IRQ_FIELD, 0100},  {PPU_IRQ_0310, 0310},   {PPU_IRQ_TIMER, 0304},
    {PPU_IRQ_KEYBOARD, 0300}, {PPU_IRQ_CH0_RX, 0320}, {PPU_IRQ_CH0_TX, 0324},
    {PPU_IRQ_CH1_RX, 0330}, {PPU_IRQ_CH1_TX, 0334}, {PPU_IRQ_CH2_RX, 0340},
};

// The priority first: a processor at priority 7 with a request waiting (the usual case)
// is turned away by one test.
inline bool may_interrupt(const Pdp11Cpu& c) { return !(c.psw & 0x80) && c.busOperation == c.opFetch; }

// A prefetch made stale by a step (PC moved, or the prefetched word written) is read again
// before the next instruction.
inline void refetch_if_stale(Pdp11Cpu& c)
{
    if (c.busOperation == c.opFetch && (c.r[7] & 0xFFFF) != c.prefetchAddress) {
        c.busOperation = c.opRefetch;
        c.stepHandler = pdp11_fetch_complete_step;
    }
}

// One bus operation and its step.
inline void run_pair(Pdp11Cpu& c)
{
    c.busOperation(&c);
    c.stepHandler(&c);
    refetch_if_stale(c);
}

// The same for the CPU and the PPU of the free-running loops, by one direct call each.
inline void run_cpu_pair(Pdp11Cpu& c)
{
    workstation_cpu_pair();
    refetch_if_stale(c);
}

inline void run_ppu_pair(Pdp11Cpu& c)
{
    workstation_ppu_pair();
    refetch_if_stale(c);
}

} // namespace

namespace {

// The frame ends at a boundary of the monitored processor. One that reaches none (a
// bus-error chain, a GPU whose budget is set afresh every frame) does not hold the frame
// for ever: the PPU's clock ends it once the PPU has run a whole frame past its budget,
// so the frame always ends on time and no budget keeps falling.
inline bool frame_may_end()
{
    if (ws.ppu.cycleBudget < -ws.ppu.speedFactor * uknc_cycles_per_frame)
        return true;
    const Pdp11Cpu* c = ws.monitored;
    if (!c)
        return workstation_monitored_at_boundary();
    return workstation_at_boundary(c) || c->cycleBudget < -c->speedFactor * uknc_cycles_per_frame;
}

// A program ends through EMT 350: the DVK display modes hand the screen back. Only a
// mode that is on has anything to undo.
inline void program_exit_check()
{
    const Pdp11Cpu* c = ws.monitored;
    if (c && c->prefetch == 0104350 && workstation_at_boundary(c))
        workstation_program_exit();
}

} // namespace

bool workstation_accept_cpu_interrupt()
{
    uint32_t& pending = ws.PendingInterrupts[UKNC_CPU];
    Pdp11Cpu& cpu = ws.cpu;
    if (!pending || !may_interrupt(cpu))
        return false;
    if (pending & CPU_IRQ_HALT) {
        pending &= ~CPU_IRQ_HALT;
        enter_halt_mode(&cpu, PDP11_HALT_OFFSET_HALT);
        return true;
    }
    for (const Request& r : cpu_requests)
        if (pending & r.bit) {
            pending &= ~r.bit;
            request_interrupt(&cpu, r.vector);
            return true;
        }
    return false;
}

bool workstation_accept_ppu_interrupt()
{
    uint32_t& pending = ws.PendingInterrupts[UKNC_PPU];
    Pdp11Cpu& ppu = ws.ppu;
    if (!pending || !may_interrupt(ppu))
        return false;
    for (const Request& r : ppu_requests)
        if (pending & r.bit) {
            pending &= ~r.bit;
            if (r.bit == PPU_IRQ_CH0_RX)
                workstation_ppu_accepted_receive(0);
            else if (r.bit == PPU_IRQ_CH1_RX)
                workstation_ppu_accepted_receive(1);
            else if (r.bit == PPU_IRQ_CH2_RX)
                workstation_ppu_accepted_receive(2);
            request_interrupt(&ppu, r.vector);
            return true;
        }
    return false;
}

// A held CPU is idle between instructions.
bool workstation_at_boundary(const Pdp11Cpu* c)
{
    if (c == &ws.cpu && ws.cpuHeld)
        return true;
    return c->busOperation == c->opFetch && (c->r[7] & 0xFFFF) == c->prefetchAddress;
}

void workstation_restart()
{
    workstation_hooks.switch_mode = workstation_switch_mode;
    workstation_hooks.trace = workstation_trace;
    workstation_hooks.install_board_cpu_io = dvk_install_cpu_io;
    workstation_allocate();
    for (int mode = 0; mode < ws_mode_count; ++mode)
        workstation_switch_mode(mode, false, false);
    ws.KgdConsoleLimit = 0xFFFFFFFF;
    ws.kcgdReplyStatus = 0;
    dvk_restart();
    workstation_reset_channels();
    workstation_reset_planes();
    workstation_reset_timer();
    uknc_keyboard_reset(&ws.keyboard);
    uknc_video_reset(&ws.video);
    uknc_floppy_reset();
    ws.memoryControl = 0x301;
    workstation_write_memory_control(0x301); // no change: maps the pages silently
    ws.systemRegister = 0;
    workstation_speaker_reset();
    for (uint32_t& pending : ws.PendingInterrupts)
        pending = 0;
    workstation_install_cpu_io();
    workstation_install_ppu_io();
    workstation_setup_cpu();
    workstation_setup_ppu();
    workstation_restart_terminals();
    if (ws.ie15Present) {
        // The 15IE terminal sees a restart as a Ctrl+W on its line.
        console_ring_append(ws.ConsoleRings[RING_IE15], 0x17);
    }
    workstation_monitor_reset();
}

void workstation_frame_start()
{
    workstation_console_catch_up();
    ws.cpu.cycleBudget += ws.cpu.speedFactor * uknc_cycles_per_frame;
    ws.ppu.cycleBudget += ws.ppu.speedFactor * uknc_cycles_per_frame;
    workstation_timer_frame_start();
    workstation_speaker_frame_start();
    terminals_frame_start(ws.ie15Selected);
    dvk_frame_start();
}

void workstation_keyboard_frame(bool feed)
{
    if (feed && !ws.kcgdMode) // the KCGD mode takes the keys for the KCGD's keyboard
        uknc_keyboard_feed(&ws.keyboard, KeySnapshot, KeySnapshotPrev);
    dvk_keyboard_frame(feed);
    if (uknc_keyboard_frame_update(&ws.keyboard))
        ws.PendingInterrupts[UKNC_PPU] |= PPU_IRQ_KEYBOARD;
}

namespace {

// The interrupt acceptance of the turn, tested inline: a request usually waits for a
// boundary or for the priority to fall, and the test is all that happens.
inline void take_cpu_interrupt(const Pdp11Cpu& cpu)
{
    if (ws.PendingInterrupts[UKNC_CPU] && may_interrupt(cpu))
        workstation_accept_cpu_interrupt();
}

inline void take_ppu_interrupt(const Pdp11Cpu& ppu)
{
    if (ws.PendingInterrupts[UKNC_PPU] && may_interrupt(ppu))
        workstation_accept_ppu_interrupt();
}

// The turns of a bare UKNC (no terminal, no KCGD processor, no DVK display mode on): only
// the CPU and the PPU take turns, so the processor whose turn it is keeps it in a tight
// loop until the other has more budget left or the frame may end. The turns and their
// order are exactly those of the general loop. False when a DVK mode came on (a CPU write
// can switch one on): the general loop goes on from the next turn.
bool run_bare_uknc()
{
    Pdp11Cpu& cpu = ws.cpu;
    Pdp11Cpu& ppu = ws.ppu;
    for (;;) {
        if (ppu.cycleBudget < cpu.cycleBudget) {
            do {
                take_cpu_interrupt(cpu);
                run_cpu_pair(cpu);
                if (ppu.cycleBudget < 0 && frame_may_end())
                    return true;
                if (workstation_board_mode_on())
                    return false;
            } while (ppu.cycleBudget < cpu.cycleBudget);
        } else {
            // Only the CPU's writes reach the boards' registers, so the PPU's turns need
            // not look for a display mode coming on.
            do {
                take_ppu_interrupt(ppu);
                run_ppu_pair(ppu);
                workstation_timer_check();
                if (ppu.cycleBudget < 0 && frame_may_end())
                    return true;
            } while (ppu.cycleBudget >= cpu.cycleBudget);
        }
    }
}

// The common case: no breakpoint, no single steps, no trace. True at the frame's end.
bool run_free()
{
    Pdp11Cpu& cpu = ws.cpu;
    Pdp11Cpu& ppu = ws.ppu;
    const bool bare = !ws.kcgdPresent && !ksm_terminal.present && !ie15_terminal.present;
    for (;;) {
        if (bare && !workstation_board_mode_on() && run_bare_uknc())
            return true;
        if (workstation_board_mode_on())
            program_exit_check();
        terminals_turn();
        if (ws.kcgdPresent)
            dvk_gpu_turn(); // the KCGD's processor: every third turn
        if (ppu.cycleBudget < cpu.cycleBudget) {
            take_cpu_interrupt(cpu);
            run_cpu_pair(cpu);
        } else {
            take_ppu_interrupt(ppu);
            run_ppu_pair(ppu);
            workstation_timer_check();
        }
        if (ppu.cycleBudget < 0 && frame_may_end())
            return true;
    }
}

// The debugger windows look at every instruction boundary of every processor. When one
// processor stops, the others finish the instruction they are in, so the whole complex
// stands at an instruction boundary of each.
bool gpu_at_boundary() { return workstation_at_boundary(&dvk.kcgd.gpu); }
bool tpu_at_boundary() { return ksm_terminal.tpu.step == decode_main; }

void settle_at_boundary(int stopped)
{
    const DebugLists& l = workstation_debug;
    for (int p = UKNC_CPU; p <= UKNC_PPU; ++p) {
        Pdp11Cpu& c = p == UKNC_CPU ? ws.cpu : ws.ppu;
        for (int pairs = 0; p != stopped && pairs < 256 && !workstation_at_boundary(&c); ++pairs) {
            run_pair(c);
            if (&c == &ws.ppu)
                workstation_timer_check();
        }
    }
    for (int pairs = 0; stopped != l.gpu && ws.kcgdPresent && pairs < 256 && !gpu_at_boundary(); ++pairs)
        dvk_gpu_run_pair();
    for (int pairs = 0; stopped != l.tpu && ksm_terminal.present && pairs < 256 && !tpu_at_boundary(); ++pairs)
        ksm_pair();
    for (int steps = 0; stopped != l.ie15 && ie15_terminal.present && steps < 4 && !ie15_at_boundary(&ie15_terminal.cpu);
         ++steps)
        ie15_terminal_step();
}

inline void debug_stop_here(int processor)
{
    if (debug_active && debug_boundary(processor)) {
        settle_at_boundary(processor);
        debug_wait();
    }
}

inline void debug_look(Pdp11Cpu& c, int processor)
{
    if (workstation_at_boundary(&c) && !(processor == UKNC_CPU && ws.cpuHeld))
        debug_stop_here(processor);
}

// The terminals' turn and the GPU's with the debugger's look at their boundaries.
void terminals_turn_debugged()
{
    if (!(ksm_terminal.present | ie15_terminal.present) || (++terminals.turn & 1))
        return;
    if (ie15_terminal.present && ie15_terminal.cpu.budget >= 0) {
        if (ie15_at_boundary(&ie15_terminal.cpu))
            debug_stop_here(workstation_debug.ie15);
        ie15_terminal_step();
    }
    if (ksm_terminal.present) {
        ksm_take_input();
        if (tpu_at_boundary())
            debug_stop_here(workstation_debug.tpu);
        ksm_pair();
    }
}

void gpu_turn_debugged()
{
    if (++dvk.kcgd.turn < 3)
        return;
    dvk.kcgd.turn = 0;
    dvk_gpu_prepare();
    if (gpu_at_boundary())
        debug_stop_here(workstation_debug.gpu);
    dvk_gpu_run_pair();
}

void ie15_catch_up_debugged()
{
    if (!ie15_terminal.present)
        return;
    while (ie15_terminal.cpu.budget >= 0) {
        if (ie15_at_boundary(&ie15_terminal.cpu))
            debug_stop_here(workstation_debug.ie15);
        ie15_terminal_step();
    }
}

// While the monitored CPU is held, a step lasts until the PPU has left its instruction
// boundary and reached the next one.
bool held_step_ppu_moved = false;

// The same turns with the monitor looking at every boundary of the monitored processor
// and the trace writing every instruction. False when the monitor lets the machine run
// free again.
bool run_watched()
{
    Pdp11Cpu& cpu = ws.cpu;
    Pdp11Cpu& ppu = ws.ppu;
    for (;;) {
        if (workstation_board_mode_on())
            program_exit_check();
        if (!ws.monitorSkip && workstation_monitored_at_boundary() && workstation_monitor_due()) {
            held_step_ppu_moved = false;
            workstation_monitor_stop();
            if (!ws.monitorWatch)
                return false;
        }
        if (terminals_turn())
            workstation_monitor_ran(MONITOR_TPU);
        if (ws.kcgdPresent)
            dvk_gpu_turn();
        if (ppu.cycleBudget < cpu.cycleBudget) {
            if (ws.PendingInterrupts[UKNC_CPU])
                workstation_accept_cpu_interrupt();
            if (ws.tracing && !ws.cpuHeld && workstation_at_boundary(&cpu))
                workstation_trace(&cpu);
            debug_look(cpu, UKNC_CPU);
            run_pair(cpu);
            if (!ws.cpuHeld) // a held CPU runs no instruction: stepping it waits for the PPU
                workstation_monitor_ran(MONITOR_CPU);
        } else {
            if (ws.PendingInterrupts[UKNC_PPU])
                workstation_accept_ppu_interrupt();
            if (ws.tracing && workstation_at_boundary(&ppu))
                workstation_trace(&ppu);
            debug_look(ppu, UKNC_PPU);
            run_pair(ppu);
            workstation_timer_check();
            workstation_monitor_ran(MONITOR_PPU);
            // A step of the held CPU waits for the PPU's next instruction (the PPU starts it).
            if (ws.cpuHeld && ws.monitoredSlot == MONITOR_CPU) {
                if (!workstation_at_boundary(&ppu))
                    held_step_ppu_moved = true;
                else if (held_step_ppu_moved)
                    ws.monitorSkip = false;
            }
        }
        if (ppu.cycleBudget < 0 && frame_may_end())
            return true;
    }
}

// run_free with the debugger's look before every instruction. True at the frame's end.
bool run_debugged()
{
    Pdp11Cpu& cpu = ws.cpu;
    Pdp11Cpu& ppu = ws.ppu;
    for (;;) {
        if (workstation_board_mode_on())
            program_exit_check();
        terminals_turn_debugged();
        if (ws.kcgdPresent)
            gpu_turn_debugged();
        if (ppu.cycleBudget < cpu.cycleBudget) {
            if (ws.PendingInterrupts[UKNC_CPU])
                workstation_accept_cpu_interrupt();
            debug_look(cpu, UKNC_CPU);
            run_pair(cpu);
        } else {
            if (ws.PendingInterrupts[UKNC_PPU])
                workstation_accept_ppu_interrupt();
            debug_look(ppu, UKNC_PPU);
            run_pair(ppu);
            workstation_timer_check();
        }
        if (ppu.cycleBudget < 0 && frame_may_end())
            return true;
        if (ws.monitorWatch)
            return false; // the console monitor wants its own loop
    }
}

} // namespace

void workstation_run_processors()
{
    for (;;) {
        if (ws.monitorWatch ? run_watched() : debug_active ? run_debugged() : run_free())
            break;
    }
    // The PPU's frame is over; the 15IE spends what is left of its own.
    if (debug_active)
        ie15_catch_up_debugged();
    else
        ie15_catch_up();
}

void workstation_frame_end()
{
    if (!(ws.memoryControl & 0x100))
        ws.PendingInterrupts[UKNC_PPU] |= PPU_IRQ_FIELD;
    if (!(ws.memoryControl & 0x200))
        ws.PendingInterrupts[UKNC_CPU] |= CPU_IRQ_FIELD;
    ws.speakerFrameEnded = true;
    dvk_frame_end();
}

void workstation_run_frame()
{
    workstation_frame_start();
    workstation_keyboard_frame();
    workstation_run_processors();
    workstation_frame_end();
}

void workstation_render(uint32_t* picture) { workstation_render_changed(picture, nullptr); }

void workstation_render_changed(uint32_t* picture, UkncLineCache* cache)
{
    uknc_render_picture(&ws.video, ws.ppuMemory, reinterpret_cast<const uint16_t*>(ws.cpuMemory),
                        uknc_palettes[ws.paletteIndex], picture, cache);
}
