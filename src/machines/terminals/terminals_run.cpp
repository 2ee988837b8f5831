// The terminals' share of the complex's inner loop and their text pictures (the KGD
// board lays its bitmap over them when it draws).
#include "machines/terminals/terminals.h"

void terminals_turn_active()
{
    if (ie15_terminal.present && ie15_terminal.cpu.budget >= 0)
        ie15_terminal_step();
    if (ksm_terminal.present)
        ksm_step();
}

void terminals_render_text(uint8_t* text, bool text_off)
{
    if (terminals.selected == TERMINAL_IE15)
        ie15_render_text(text, text_off);
    else
        ksm_render_text(text, text_off);
}

void terminals_kgd_text(uint8_t* text, bool ie15)
{
    terminals.selected = ie15 ? TERMINAL_IE15 : TERMINAL_KSM;
    terminals_render_text(text, false);
}
