// The KSM and 15IE terminals fitted to the complex: their ROM files, and the places where
// the complex reaches into them (the monitor's TPU and 15IE slots and dumps, the 15IE's
// F10 and NumLock switches). The terminals themselves live in machines/terminals.
#include "machines/workstation/workstation_boards.h"
#include "machines/dvk/dvk_boards.h"

#include "machines/terminals/terminals.h"

namespace {

Workstation& ws = workstation;

bool tpu_at_boundary() { return ksm_terminal.tpu.step == decode_main; }
uint32_t tpu_pc() { return ksm_terminal.tpu.pc; }
uint32_t tpu_next() { return ksm_terminal.block[ksm_terminal.tpu.pc]; }
void tpu_registers() { ksm_print_registers(stdout); }

bool ie15_boundary() { return ie15_at_boundary(&ie15_terminal.cpu); }
uint32_t ie15_pc() { return ie15_terminal.cpu.pc; }
uint32_t ie15_next() { return ie15_terminal.block[ie15_terminal.cpu.pc & 0xFFF]; }
void ie15_registers() { ie15_print_registers(stdout); }

} // namespace

// Start-up: the ROM files decide which terminal is fitted; the monitor's slots and dumps
// and the 15IE's switches are filled once, as the boards' are.
void workstation_fit_terminals()
{
    terminals_allocate();
    uint8_t* ksm = ksm_terminal.block;
    ws.ksmPresent = workstation_load_board_rom(ksm, ksm_rom_size, "KSM.rom") &&
                    workstation_load_board_rom(ksm + ksm_font_offset, ksm_font_size, "KSM_FONT.rom");
    uint8_t* ie15 = ie15_terminal.block;
    ws.ie15Present = workstation_load_board_rom(ie15, ie15_rom_size, "15IE.rom") &&
                     workstation_load_board_rom(ie15 + ie15_font_offset, ie15_font_size, "15IE_FONT.rom");
    if (ws.ie15Present)
        ie15_rearrange_font(ie15 + ie15_font_offset);

    MonitoredProcessor& tpu = workstation_processors[MONITOR_TPU];
    tpu.at_boundary = tpu_at_boundary;
    tpu.pc = tpu_pc;
    tpu.next_instruction = tpu_next;
    tpu.jump = ksm_jump;
    tpu.print_registers = tpu_registers;
    MonitoredProcessor& ie15_slot = workstation_processors[MONITOR_IE15];
    ie15_slot.at_boundary = ie15_boundary;
    ie15_slot.pc = ie15_pc;
    ie15_slot.next_instruction = ie15_next;
    ie15_slot.print_registers = ie15_registers;
    workstation_dumps[DUMP_KSM].data = ksm;
    workstation_dumps[DUMP_IE15].data = ie15;

    // The KGD lays its bitmap over the text of the terminal that is shown.
    if (ws.ksmPresent || ws.ie15Present)
        kgd_text_source = terminals_kgd_text;

    ws.ie15ModeRegister = &ie15_terminal.cpu.r[0][11];
    ws.ie15RedPort = &ie15_terminal.cpu.in_ports[IE15_IN_KRED];
}

void workstation_restart_terminals()
{
    terminals_restart(&ws.ConsoleRings[RING_KSM], &ws.ConsoleRings[RING_IE15], ws.ksmPresent, ws.ie15Present);
}
