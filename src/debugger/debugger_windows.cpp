// Drawing of the debugger windows with Dear ImGui. Every value shown is read through the
// machine's side-effect-free routines; edits go through its set and poke routines and
// only while the machine stands stopped (memory may be edited at any time).
#include "debugger/debugger_windows.h"

#include "host/debug.h"
#include "host/host.h"

#include <imgui.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

DebuggerView debugger_view;

namespace {

const ImVec4 pc_colour(1.0f, 0.85f, 0.3f, 1.0f);
const ImVec4 break_colour(1.0f, 0.35f, 0.35f, 1.0f);
const ImVec4 cursor_colour(0.5f, 0.8f, 1.0f, 1.0f);
const ImVec4 grey(0.55f, 0.55f, 0.55f, 1.0f);

int hex_digits(int bits) { return bits <= 4 ? 1 : (bits + 3) / 4; }

// A debugger window, placed and sized the first time it is ever shown (later the user's
// own placement, kept in the settings, holds); `contents` draws into it while it is open
// and not collapsed.
template <class Contents> void window(const char* title, bool* open, ImVec2 position, ImVec2 size, Contents contents)
{
    ImGui::SetNextWindowPos(position, ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(size, ImGuiCond_FirstUseEver);
    if (ImGui::Begin(title, open))
        contents();
    ImGui::End();
}

// A combo box over the machine's spaces or processors by name. An index past the list
// (left from another machine) becomes 0. True when the user picks one, the same one too.
template <class Named> bool choose(const char* label, float width, const Named* items, int count, int* index)
{
    if (*index >= count)
        *index = 0;
    bool picked = false;
    ImGui::SetNextItemWidth(width);
    if (ImGui::BeginCombo(label, items[*index].name)) {
        for (int i = 0; i < count; ++i)
            if (ImGui::Selectable(items[i].name, i == *index)) {
                *index = i;
                picked = true;
            }
        ImGui::EndCombo();
    }
    return picked;
}

bool parse_hex(const char* text, uint32_t* value)
{
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 16);
    if (end == text)
        return false;
    *value = uint32_t(v);
    return true;
}

void run_controls(int p)
{
    const bool stopped = debug_is_stopped();
    if (!stopped) {
        if (ImGui::Button("Stop"))
            debug_stop();
    } else {
        if (ImGui::Button("Run"))
            debug_run();
    }
    ImGui::SameLine();
    ImGui::BeginDisabled(!stopped);
    if (ImGui::Button("Step"))
        debug_step(p);
    ImGui::SameLine();
    if (ImGui::Button("Step over"))
        debug_step_over(p);
    ImGui::SameLine();
    ImGui::BeginDisabled(debugger_view.cursor[p] < 0);
    if (ImGui::Button("Run to cursor"))
        debug_run_to(p, uint32_t(debugger_view.cursor[p]));
    ImGui::EndDisabled();
    ImGui::EndDisabled();
    ImGui::SameLine();
    const DebugProcessor& d = debug_machine()->processors[p];
    if (stopped)
        ImGui::TextColored(pc_colour, debug_stopped_processor() == p ? "stopped here" : "stopped");
    else
        ImGui::TextUnformatted("running");
    ImGui::Text("Cycles left in the frame: %" PRId64 "   frame %u", d.cycles(), host_frame_count);
}

void registers(int p)
{
    const DebugProcessor& d = debug_machine()->processors[p];
    const bool stopped = debug_is_stopped();
    uint32_t values[debug_max_registers] = {};
    d.get_registers(values);
    if (ImGui::BeginTable("registers", 4, ImGuiTableFlags_SizingFixedFit)) {
        for (int i = 0; i < d.register_count; ++i) {
            ImGui::TableNextColumn();
            ImGui::PushID(i);
            const int digits = hex_digits(d.registers[i].bits);
            if (stopped) {
                char text[12];
                std::snprintf(text, sizeof text, "%0*X", digits, values[i]);
                ImGui::Text("%-4s", d.registers[i].name);
                ImGui::SameLine();
                ImGui::SetNextItemWidth(ImGui::CalcTextSize("000000").x);
                if (ImGui::InputText("##v", text, sizeof text,
                                     ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_EnterReturnsTrue |
                                         ImGuiInputTextFlags_AutoSelectAll)) {
                    uint32_t v;
                    if (parse_hex(text, &v))
                        d.set_register(i, v);
                }
            } else {
                ImGui::Text("%-4s %0*X", d.registers[i].name, digits, values[i]);
            }
            ImGui::PopID();
        }
        ImGui::EndTable();
    }
    // Flags: one box per letter, highest bit first.
    const int letters = int(std::strlen(d.flag_letters));
    uint32_t flags = values[d.flags_register];
    ImGui::TextUnformatted("Flags");
    for (int i = 0; i < letters; ++i) {
        const int bit = letters - 1 - i;
        bool on = (flags >> bit) & 1;
        ImGui::SameLine();
        char label[16];
        std::snprintf(label, sizeof label, "%c##f%d", d.flag_letters[i], i);
        ImGui::BeginDisabled(!stopped);
        if (ImGui::Checkbox(label, &on)) {
            flags ^= 1u << bit;
            d.set_register(d.flags_register, flags);
        }
        ImGui::EndDisabled();
    }
}

void disassembly(int p)
{
    DebuggerView& v = debugger_view;
    const DebugProcessor& d = debug_machine()->processors[p];
    const uint32_t pc = d.pc() & 0xFFFF;
    constexpr int lines = 20;
    // Follow PC: when it leaves the lines shown, they start a little before it.
    if (pc != v.last_pc[p]) {
        v.follow_pc[p] = true;
        v.last_pc[p] = pc;
    }
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("00000000").x);
    if (ImGui::InputText("Go to", v.goto_text[p], sizeof v.goto_text[p],
                         ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_EnterReturnsTrue)) {
        uint32_t a;
        if (parse_hex(v.goto_text[p], &a)) {
            v.disasm_top[p] = a & 0xFFFF;
            v.follow_pc[p] = false;
        }
    }
    ImGui::SameLine();
    if (ImGui::Button("PC"))
        v.follow_pc[p] = true;
    ImGui::SameLine();
    ImGui::TextColored(grey, "click: breakpoint, right click: cursor");

    uint32_t addresses[lines];
    char texts[lines][64];
    int lengths[lines];
    auto fill = [&](uint32_t top) {
        uint32_t a = top;
        for (int i = 0; i < lines; ++i) {
            addresses[i] = a;
            lengths[i] = debug_disassemble(p, a, texts[i], sizeof texts[i]);
            if (lengths[i] <= 0)
                lengths[i] = 1;
            a = (a + uint32_t(lengths[i])) & 0xFFFF;
        }
    };
    fill(v.disasm_top[p]);
    if (v.follow_pc[p]) {
        bool shown = false;
        for (int i = 0; i < lines - 4; ++i)
            shown = shown || addresses[i] == pc;
        if (!shown) {
            v.disasm_top[p] = pc;
            fill(pc);
        }
    }
    if (ImGui::BeginChild("disassembly", ImVec2(0, ImGui::GetTextLineHeightWithSpacing() * (lines + 0.5f)), true)) {
        for (int i = 0; i < lines; ++i) {
            const uint32_t a = addresses[i];
            const bool is_pc = a == pc;
            const bool is_break = debug_breakpoint(p, a);
            const bool is_cursor = v.cursor[p] == int64_t(a);
            char line[96];
            std::snprintf(line, sizeof line, "%s%s %04X  %s", is_break ? "*" : " ", is_pc ? ">" : " ", a, texts[i]);
            ImGui::PushID(i);
            if (is_pc)
                ImGui::PushStyleColor(ImGuiCol_Text, pc_colour);
            else if (is_break)
                ImGui::PushStyleColor(ImGuiCol_Text, break_colour);
            else if (is_cursor)
                ImGui::PushStyleColor(ImGuiCol_Text, cursor_colour);
            else
                ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_Text));
            if (ImGui::Selectable(line, is_cursor))
                debug_toggle_breakpoint(p, a);
            if (ImGui::IsItemClicked(ImGuiMouseButton_Right))
                v.cursor[p] = is_cursor ? -1 : int64_t(a);
            ImGui::PopStyleColor();
            ImGui::PopID();
        }
        // The wheel scrolls by instructions.
        if (ImGui::IsWindowHovered()) {
            const float wheel = ImGui::GetIO().MouseWheel;
            if (wheel < 0) {
                v.disasm_top[p] = addresses[3];
                v.follow_pc[p] = false;
            } else if (wheel > 0) {
                v.disasm_top[p] = (v.disasm_top[p] - 6) & 0xFFFF;
                v.follow_pc[p] = false;
            }
        }
    }
    ImGui::EndChild();
}

} // namespace

void debugger_draw_processor(int p)
{
    const DebugMachine* m = debug_machine();
    char title[64];
    std::snprintf(title, sizeof title, "%s %s", m->processors[p].name, "processor");
    // Processors side by side (the UKNC's CPU and PPU), three to a row; the complex's
    // GPU and terminals' processors start a little lower, over the first ones.
    window(title, &debugger_view.processor_open[p],
           ImVec2(10.0f + 430.0f * float(p % 3), 30.0f + 40.0f * float(p / 3)), ImVec2(420, 560), [p] {
               run_controls(p);
               ImGui::Separator();
               registers(p);
               ImGui::Separator();
               disassembly(p);
           });
}

static void memory_contents()
{
    DebuggerView& v = debugger_view;
    const DebugMachine* m = debug_machine();
    if (choose("Space", 200, m->spaces, m->space_count, &v.space))
        v.memory_edit = -1;
    const DebugSpace& space = m->spaces[v.space];
    ImGui::SameLine();
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("00000000").x);
    if (ImGui::InputText("Go to", v.memory_goto, sizeof v.memory_goto,
                         ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_EnterReturnsTrue)) {
        uint32_t a;
        if (parse_hex(v.memory_goto, &a) && a < space.size)
            v.memory_scroll_to = a;
    }
    ImGui::SameLine();
    ImGui::SetNextItemWidth(160);
    if (ImGui::InputText("Find", v.memory_find, sizeof v.memory_find, ImGuiInputTextFlags_EnterReturnsTrue)) {
        uint8_t pattern[32];
        size_t length = 0;
        v.memory_not_found = true;
        if (debug_parse_pattern(v.memory_find, pattern, sizeof pattern, &length)) {
            const uint32_t from = v.memory_found >= 0 ? uint32_t(v.memory_found + 1) : 0;
            const int64_t at = debug_find(v.space, from, pattern, length);
            if (at >= 0) {
                v.memory_found = at;
                v.memory_scroll_to = at;
                v.memory_not_found = false;
            }
        }
    }
    if (v.memory_not_found) {
        ImGui::SameLine();
        ImGui::TextColored(break_colour, "not found");
    }
    ImGui::TextColored(grey, "hex bytes (3E 5A) or \"text\"; click a byte to edit it; -- cannot be read without effect");

    const float row_height = ImGui::GetTextLineHeightWithSpacing();
    if (ImGui::BeginChild("bytes", ImVec2(0, 0), true)) {
        const int rows = int((space.size + 15) / 16);
        if (v.memory_scroll_to >= 0) {
            ImGui::SetScrollY(float(v.memory_scroll_to / 16) * row_height);
            v.memory_scroll_to = -1;
        }
        ImGuiListClipper clipper;
        clipper.Begin(rows, row_height);
        while (clipper.Step()) {
            for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
                const uint32_t base = uint32_t(row) * 16;
                ImGui::Text("%06X ", base);
                char chars[17] = {};
                for (int i = 0; i < 16; ++i) {
                    const uint32_t a = base + uint32_t(i);
                    ImGui::SameLine();
                    const int value = a < space.size ? space.peek(a) : -1;
                    chars[i] = value >= 0x20 && value < 0x7F ? char(value) : '.';
                    ImGui::PushID(int(a));
                    if (v.memory_edit == int64_t(a)) {
                        ImGui::SetNextItemWidth(ImGui::CalcTextSize("000").x);
                        ImGui::SetKeyboardFocusHere();
                        if (ImGui::InputText("##e", v.memory_edit_text, sizeof v.memory_edit_text,
                                             ImGuiInputTextFlags_CharsHexadecimal |
                                                 ImGuiInputTextFlags_EnterReturnsTrue |
                                                 ImGuiInputTextFlags_AutoSelectAll)) {
                            uint32_t nv;
                            if (parse_hex(v.memory_edit_text, &nv) && space.poke)
                                space.poke(a, uint8_t(nv));
                            v.memory_edit = a + 1 < space.size ? int64_t(a + 1) : -1;
                            if (v.memory_edit >= 0) {
                                const int next = space.peek(uint32_t(v.memory_edit));
                                std::snprintf(v.memory_edit_text, sizeof v.memory_edit_text, "%02X",
                                              next < 0 ? 0 : next);
                            }
                        } else if (ImGui::IsItemDeactivated()) {
                            v.memory_edit = -1;
                        }
                    } else {
                        char cell[12];
                        if (value < 0)
                            std::snprintf(cell, sizeof cell, "--");
                        else
                            std::snprintf(cell, sizeof cell, "%02X", value);
                        const bool found = v.memory_found >= 0 && int64_t(a) == v.memory_found;
                        if (found)
                            ImGui::PushStyleColor(ImGuiCol_Text, pc_colour);
                        ImGui::TextUnformatted(cell);
                        if (found)
                            ImGui::PopStyleColor();
                        if (ImGui::IsItemClicked() && value >= 0 && space.poke) {
                            v.memory_edit = a;
                            std::snprintf(v.memory_edit_text, sizeof v.memory_edit_text, "%02X", value);
                        }
                    }
                    ImGui::PopID();
                }
                ImGui::SameLine();
                ImGui::Text(" %s", chars);
            }
        }
        clipper.End();
    }
    ImGui::EndChild();
}

void debugger_draw_memory()
{
    window("Memory", &debugger_view.memory_open, ImVec2(10, 600), ImVec2(620, 350), memory_contents);
}

static void devices_contents()
{
    const DebugMachine* m = debug_machine();
    const char* group = nullptr;
    bool group_open = false;
    for (int i = 0; i < m->device_count; ++i) {
        const DebugDevice& d = m->devices[i];
        if (!group || std::strcmp(group, d.group) != 0) {
            group = d.group;
            ImGui::SetNextItemOpen(true, ImGuiCond_FirstUseEver);
            group_open = ImGui::CollapsingHeader(group);
        }
        if (!group_open)
            continue;
        const uint32_t value = d.read();
        if (d.bits == 1)
            ImGui::Text("  %-28s %u", d.name, value);
        else
            ImGui::Text("  %-28s %0*X", d.name, hex_digits(d.bits), value);
    }
}

void debugger_draw_devices()
{
    window("Devices", &debugger_view.devices_open, ImVec2(870, 30), ImVec2(400, 560), devices_contents);
}

static void history_contents()
{
    DebuggerView& v = debugger_view;
    const DebugMachine* m = debug_machine();
    choose("Processor", 120, m->processors, m->processor_count, &v.history_processor);
    const int p = v.history_processor;
    const DebugProcessor& d = m->processors[p];
    ImGui::SameLine();
    if (ImGui::Button("Write to file")) {
        char name[96];
        std::snprintf(name, sizeof name, "%s-%s-History.txt", m->name, d.name);
        FILE* file = open_data_file(name, "w");
        const bool written = file && debug_write_history(p, file);
        if (file)
            std::fclose(file);
        std::snprintf(v.history_message, sizeof v.history_message, written ? "written to %s" : "can't write %s",
                      name);
    }
    ImGui::SameLine();
    if (ImGui::Button("Clear"))
        debug_clear_history(p);
    ImGui::SameLine();
    ImGui::TextUnformatted(v.history_message);
    const int count = debug_history_count(p);
    ImGui::Text("%d instructions, oldest first; registers after each", count);
    if (ImGui::BeginChild("entries", ImVec2(0, 0), true, ImGuiWindowFlags_HorizontalScrollbar)) {
        ImGuiListClipper clipper;
        clipper.Begin(count);
        while (clipper.Step())
            for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
                const DebugHistoryEntry* e = debug_history_entry(p, i);
                char text[64];
                d.disassemble(e->address, e->code, text, sizeof text);
                char line[512];
                int n = std::snprintf(line, sizeof line, "%04X  %-24s", e->address, text);
                for (int r = 0; e->complete && r < d.register_count && n < int(sizeof line) - 16; ++r)
                    n += std::snprintf(line + n, sizeof line - size_t(n), " %s=%0*X", d.registers[r].name,
                                       hex_digits(d.registers[r].bits), e->registers[r]);
                ImGui::TextUnformatted(line);
            }
        clipper.End();
        if (debug_is_stopped() && ImGui::GetScrollY() >= ImGui::GetScrollMaxY())
            ImGui::SetScrollHereY(1.0f);
    }
    ImGui::EndChild();
}

void debugger_draw_history()
{
    window("History", &debugger_view.history_open, ImVec2(640, 600), ImVec2(630, 350), history_contents);
}
