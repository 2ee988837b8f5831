// The debugger's entry in the interface's Debug menu, its windows opened and closed
// together, and the stopped machine's idle routine.
#include "debugger/debugger.h"

#include "debugger/debugger_windows.h"
#include "host/debug.h"
#include "host/host.h"
#include "host/host_internal.h"
#include "ui/ui.h"

#include <SDL.h>
#include <imgui.h>

namespace {

const char* const menu_label = "Debugger";
bool grow_pending = false;

// The windows need room beside the picture: the window grows to at least 1280 x 960 (the
// picture stays centred in it) once the machine has sized it.
void grow_window()
{
    if (!host.backend || fullscreen || requested_client_width == 0)
        return;
    grow_pending = false;
    const uint32_t w = requested_client_width > 1280 ? requested_client_width : 1280;
    const uint32_t h = requested_client_height > 960 ? requested_client_height : 960;
    host.backend->apply_client_size(w, h);
}

void open_all()
{
    DebuggerView& v = debugger_view;
    v.open = true;
    for (bool& open : v.processor_open)
        open = true;
    v.memory_open = v.devices_open = v.history_open = true;
    for (int64_t& cursor : v.cursor)
        cursor = -1;
    grow_pending = true;
}

void draw(bool* open)
{
    DebuggerView& v = debugger_view;
    const DebugMachine* m = debug_machine();
    if (!m) {
        if (ImGui::Begin("Debugger", open))
            ImGui::TextUnformatted("This machine shows no processors to the debugger.");
        ImGui::End();
        return;
    }
    if (!v.open) { // opened from the menu
        open_all();
        debug_attach(false);
    }
    if (grow_pending)
        grow_window();
    bool any = false;
    for (int p = 0; p < m->processor_count && p < 8; ++p)
        if (v.processor_open[p]) {
            debugger_draw_processor(p);
            any = true;
        }
    if (v.memory_open) {
        debugger_draw_memory();
        any = true;
    }
    if (v.devices_open && m->device_count > 0) {
        debugger_draw_devices();
        any = true;
    }
    if (v.history_open) {
        debugger_draw_history();
        any = true;
    }
    if (!any || !*open) {
        // The last window closed: the machine runs on unwatched.
        *open = false;
        v.open = false;
        debug_detach();
    }
}

// Right Windows + D opens the windows: Right Windows is the host's key, which no machine
// reads, and its chords never reach the machine.
void frame_keys()
{
    static bool was_down = false;
    const bool down = (KeyState[0xDC] & 0x80) && (KeyState[0x20] & 0x80);
    if (down && !was_down && !debugger_view.open)
        debugger_open(false);
    was_down = down;
}

// Stopped, the windows are drawn again only when something happens: an event (key, mouse,
// window) and a few frames after it for the windows to settle, else twice a second.
void idle()
{
    static int busy_frames = 0;
    if (busy_frames > 0)
        --busy_frames;
    else if (SDL_WaitEventTimeout(nullptr, 500) == 1)
        busy_frames = 10;
    host_stopped_frame();
}

} // namespace

void debugger_install(bool open_now)
{
    ui_add_window(menu_label, draw);
    debug_idle = idle;
    debug_frame_hook = frame_keys;
    if (open_now)
        debugger_open(true);
}

void debugger_open(bool stop)
{
    open_all();
    ui_open_window(menu_label);
    debug_attach(stop);
}

bool debugger_is_open() { return debugger_view.open; }
