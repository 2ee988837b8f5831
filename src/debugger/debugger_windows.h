// The debugger's windows (debugger_windows.cpp) and their shared state.
#pragma once

#include <cstdint>

struct DebuggerView {
    bool open = false;
    bool processor_open[8] = {};
    bool memory_open = true;
    bool devices_open = true;
    bool history_open = true;
    // Per processor: the first line of the disassembly, following PC unless moved by hand.
    uint32_t disasm_top[8] = {};
    bool follow_pc[8] = {};
    int64_t cursor[8] = {};          // run-to-cursor line, -1: none
    char goto_text[8][8] = {};
    uint32_t last_pc[8] = {};
    // Memory view.
    int space = 0;
    int64_t memory_scroll_to = -1;   // an address to bring into view
    int64_t memory_edit = -1;        // the byte being edited
    char memory_edit_text[12] = {};
    char memory_goto[8] = {};
    char memory_find[64] = {};
    int64_t memory_found = -1;
    bool memory_not_found = false;
    // History.
    int history_processor = 0;
    char history_message[160] = {};
};
extern DebuggerView debugger_view;

void debugger_draw_processor(int processor);
void debugger_draw_memory();
void debugger_draw_devices();
void debugger_draw_history();
