// The interface's hooks into the window backend: install, events, the frame's work,
// drawing, on-screen messages and the registered windows.
#include "ui/ui.h"

#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <cstdio>
#include <cstring>

#include "host/host_internal.h"
#include "host/host_ui.h"
#include "host/session.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

UiState ui;

namespace {

constexpr uint32_t note_ms = 4000;
constexpr uint32_t title_hint_ms = 8000;
constexpr size_t max_windows = 32;

void release_machine_keys()
{
    // Keys held when the menus open would stay down for the machine: they are released.
    for (int i = 1; i < 256; ++i)
        KeyState[i] = 0;
}

bool any_window_open()
{
    for (const UiWindow& w : ui.windows)
        if (w.open)
            return true;
    return false;
}

void attach(void* window, void* renderer)
{
    ui.window = static_cast<SDL_Window*>(window);
    ui.renderer = static_cast<SDL_Renderer*>(renderer);
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // the settings file keeps what matters
    io.LogFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForSDLRenderer(ui.window);
    ImGui_ImplSDLRenderer_Init(ui.renderer);
    ui.attached = true;
    ui.start_ms = SDL_GetTicks();
    if (!ui.settings_report.empty()) {
        std::printf("%s\n", ui.settings_report.c_str());
        if (ui.settings_report_on_screen)
            ui_notify(ui.settings_report);
    }
    ui_gamepad_open();
}

void detach()
{
    if (!ui.attached)
        return;
    ImGui_ImplSDLRenderer_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    ui.attached = false;
}

bool is_mouse_event(uint32_t type)
{
    return type == SDL_MOUSEMOTION || type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP ||
           type == SDL_MOUSEWHEEL;
}

bool is_key_event(uint32_t type)
{
    return type == SDL_KEYDOWN || type == SDL_KEYUP || type == SDL_TEXTINPUT || type == SDL_TEXTEDITING;
}

// Chord keys held besides the Pause key: with any of them the key is the machine's (the
// PK8000's, the Specialist's and the tile machine's reset is Print Screen + Scroll Lock +
// Pause; the UKNC and MS-0515 keyboards have a key there).
bool other_keys_held()
{
    for (int i = 1; i < 256; ++i)
        if (KeyState[i] & 0x80)
            return true;
    return false;
}

// The keyboard's typing mode takes the keys that type characters; the rest stay positional.
bool typing_key(SDL_Scancode s)
{
    return (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_0) || s == SDL_SCANCODE_SPACE ||
           (s >= SDL_SCANCODE_MINUS && s <= SDL_SCANCODE_SLASH && s != SDL_SCANCODE_NONUSHASH);
}

void type_text(const char* text)
{
    // UTF-8 to characters; each is one chord, held long enough for a keyboard scan.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        char32_t c = *p++;
        if (c >= 0xC0) {
            int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
            c &= 0x3F >> more;
            while (more-- && (*p & 0xC0) == 0x80)
                c = c << 6 | (*p++ & 0x3F);
        }
        KeyChord chord = zx_typing_chord(c);
        if (chord.count)
            key_presses_push(&ui.presses, chord.codes, chord.count, 3, 2);
    }
}

// A display step typed on the keyboard counts as one from the menu (for the settings).
void watch_display_keys(const SDL_Event& e)
{
    const MachineUi* m = machine_ui();
    if (!m || e.type != SDL_KEYDOWN || e.key.repeat)
        return;
    uint8_t code = key_code_from_scancode(uint32_t(e.key.keysym.scancode));
    static const uint8_t modifiers[] = {0x1D, 0x9D, 0x2A, 0x36, 0x38, 0xB8, 0xDB, 0xDC};
    for (size_t i = 0; i < m->hot_key_count; ++i) {
        const MachineHotKey& k = m->hot_keys[i];
        if (k.role != MachineHotKey::DISPLAY)
            continue;
        int n = 0;
        while (n < 4 && k.codes[n])
            ++n;
        if (n == 0 || k.codes[n - 1] != code)
            continue;
        bool held = true;
        for (int j = 0; j + 1 < n; ++j)
            held = held && (KeyState[k.codes[j]] & 0x80);
        for (uint8_t mod : modifiers) {
            bool in_chord = false;
            for (int j = 0; j < n; ++j)
                in_chord = in_chord || k.codes[j] == mod;
            if (!in_chord && (KeyState[mod] & 0x80))
                held = false;
        }
        if (held)
            ui_note_display_press(int(i));
    }
}

bool handle_event(const SDL_Event& e);

// A size the window takes may be the user's choice, kept for the machine.
void window_event(const SDL_WindowEvent& e)
{
    if (e.event == SDL_WINDOWEVENT_MAXIMIZED) {
        ui_window_maximised(); // its size may have come first, as if dragged to
        return;
    }
    if (e.event != SDL_WINDOWEVENT_RESIZED)
        return;
    bool whole_screen = (SDL_GetWindowFlags(ui.window) &
                         (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) != 0;
    // The size of the whole screen arrives late when full screen ends: not a size to keep.
    SDL_DisplayMode mode{};
    int display = SDL_GetWindowDisplayIndex(ui.window);
    if (display >= 0 && SDL_GetDesktopDisplayMode(display, &mode) == 0 && e.data1 >= mode.w && e.data2 >= mode.h)
        whole_screen = true;
    ui_window_resized(uint32_t(e.data1), uint32_t(e.data2), whole_screen);
}

bool event(void* raw)
{
    const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
    bool taken = handle_event(e);
    // ImGui settles an input over a few frames (hover, then press, then release).
    if (taken || (ui.open && e.type != SDL_USEREVENT))
        ui.draw_frames = 4;
    return taken;
}

bool handle_event(const SDL_Event& e)
{
    if (ui_gamepad_event(e))
        return true;
    if (e.type == SDL_QUIT) {
        if (!ui_any_unsaved())
            return false; // the host ends the run as before
        ui.quit_dialog = true;
        ui_set_open(true);
        return true;
    }
    if (e.type == SDL_WINDOWEVENT && ui.attached)
        ImGui_ImplSDL2_ProcessEvent(&e);
    if (e.type == SDL_WINDOWEVENT && ui.window)
        window_event(e.window);
    // Opening: the right mouse button, or Pause pressed alone.
    if (!ui.open) {
        if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_RIGHT) {
            ui_set_open(true);
            return true;
        }
        if (e.type == SDL_KEYDOWN && e.key.keysym.scancode == ui_open_scancode && !e.key.repeat &&
            !other_keys_held()) {
            ui_set_open(true);
            return true;
        }
        if (e.type == SDL_KEYUP && e.key.keysym.scancode == ui_open_scancode && !(KeyState[0xC5] & 0x80))
            return true; // the release of the key that opened (and closed) the menus
        bool windows = any_window_open();
        if (windows && ui.attached && (is_mouse_event(e.type) || is_key_event(e.type))) {
            ImGui_ImplSDL2_ProcessEvent(&e);
            if (is_mouse_event(e.type))
                return ImGui::GetIO().WantCaptureMouse;
            if (ImGui::GetIO().WantCaptureKeyboard)
                return true;
        }
        if (ui.typing_mode && e.type == SDL_KEYDOWN && typing_key(e.key.keysym.scancode) &&
            !(e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)))
            return true; // the character arrives as text
        if (ui.typing_mode && e.type == SDL_TEXTINPUT) {
            type_text(e.text.text);
            return true;
        }
        if (e.type == SDL_KEYDOWN)
            watch_display_keys(e);
        return false;
    }
    // Open: every key and the mouse are the interface's.
    if (is_mouse_event(e.type) || is_key_event(e.type)) {
        if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_RIGHT && !ui.quit_dialog) {
            ui_set_open(false);
            return true;
        }
        if (e.type == SDL_KEYDOWN && e.key.keysym.scancode == ui_open_scancode && !e.key.repeat) {
            ui_set_open(false);
            return true;
        }
        // Esc leaves a menu first, then the browser, then the interface.
        if (e.type == SDL_KEYDOWN && e.key.keysym.scancode == SDL_SCANCODE_ESCAPE && ui.attached &&
            !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) {
            if (ui.browser.open)
                ui.browser.open = false;
            else
                ui_set_open(false);
            return true;
        }
        // A double click whose two clicks fall in one slow frame still counts as one.
        if (e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT && e.button.clicks >= 2)
            ui.double_click = true;
        if (ui.attached)
            ImGui_ImplSDL2_ProcessEvent(&e);
        return true;
    }
    return false;
}

void show_title_hint()
{
    if (!ui.title_hint || !host.backend || !host.backend->set_title)
        return;
    std::string title = window_title_text();
    if (SDL_GetTicks() - ui.start_ms < title_hint_ms) {
        title += std::string(" - ") + ui_open_key_name + " or right click: menu";
    } else {
        ui.title_hint = false;
    }
    if (title != ui.shown_title) {
        ui.shown_title = title;
        host.backend->set_title(title.c_str());
    }
}

void replay_display_settings()
{
    // The display steps the settings remember are pressed once the machine runs.
    const MachineUi* m = machine_ui();
    if (ui.display_replayed || !m || host_frame_count < 2)
        return;
    ui.display_replayed = true;
    ui.display_presses.assign(m->hot_key_count, 0);
    for (size_t i = 0; i < m->hot_key_count; ++i) {
        const MachineHotKey& k = m->hot_keys[i];
        if (k.role != MachineHotKey::DISPLAY || k.cycle == 0)
            continue;
        int n = ui_display_steps(k, i);
        for (int p = 0; p < n; ++p)
            key_presses_push(&ui.presses, k.codes, 4);
        ui.display_presses[i] = n;
    }
}

void frame_work()
{
    show_title_hint();
    replay_display_settings();
    ui_gamepad_frame();
    key_presses_step(&ui.presses, KeyState);
    ui_settings_write_due(false);
    if (ui.screenshot) {
        ui.screenshot = false;
        char name[64];
        if (!host_take_screenshot(name) && !name[0])
            ui_notify("Can't save a screenshot: no picture yet");
    }
    if (!ui.restart_machine.empty()) {
        std::string machine = ui.restart_machine;
        ui.restart_machine.clear();
        ui_restart_as(machine);
    }
    if (ui.quit) {
        ui.quit = false;
        shutdown_host();
    }
    // The session layer's messages (saved, loaded, refused, paused) on screen too.
    uint32_t message_frame = 0;
    const std::string& message = session_last_message(&message_frame);
    if (!message.empty() && (message_frame != ui.session_message_frame || message != ui.session_message)) {
        ui.session_message_frame = message_frame;
        ui.session_message = message;
        ui_notify(message);
    }
    // Expired messages leave the screen.
    uint32_t now = SDL_GetTicks();
    while (!ui.notes.empty() && int32_t(now - ui.notes.front().until_ms) >= 0) {
        ui.notes.pop_front();
        ui.draw_frames = 2;
    }
}

void frame() { frame_work(); }

bool visible() { return ui.open || !ui.notes.empty() || any_window_open() || !ui.error_box.empty(); }

// Open windows of others (the debuggers) change with the machine: drawn every frame.
bool needs_drawing() { return ui.draw_frames > 0 || any_window_open(); }

void draw_notes()
{
    if (ui.notes.empty())
        return;
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x - 10, io.DisplaySize.y - 10), ImGuiCond_Always, ImVec2(1, 1));
    ImGui::SetNextWindowBgAlpha(0.75f);
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                             ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                             ImGuiWindowFlags_NoNav | ImGuiWindowFlags_NoInputs;
    if (ImGui::Begin("##notes", nullptr, flags)) {
        for (const UiNote& n : ui.notes)
            ImGui::TextUnformatted(n.text.c_str());
    }
    ImGui::End();
}

void draw()
{
    if (!ui.attached)
        return;
    if (ui.draw_frames > 0)
        --ui.draw_frames;
    ImGui_ImplSDLRenderer_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    if (ui.open) {
        ui_draw_menus();
        ui_draw_browser();
        ui_draw_dialogs();
    }
    for (UiWindow& w : ui.windows)
        if (w.open)
            w.draw(&w.open);
    draw_notes();
    if (!ImGui::IsMouseDown(0) && !ImGui::IsMouseReleased(0))
        ui.double_click = false;
    ImGui::Render();
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
}

void notify(const char* text) { ui_notify(text); }

void shutdown() { ui_settings_write_due(true); }

} // namespace

void ui_notify(const std::string& text)
{
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' '))
        t.pop_back();
    if (t.empty())
        return;
    if (ui.notes.size() >= 6)
        ui.notes.pop_front();
    ui.notes.push_back({t, SDL_GetTicks() + note_ms});
    ui.draw_frames = 2;
}

void ui_set_open(bool open)
{
    if (open == ui.open)
        return;
    ui.open = open;
    ui.draw_frames = 4;
    if (open)
        release_machine_keys();
    // Pausing with the menus: the machine stops while they are open, unless it was paused
    // before they opened (it then stays paused after).
    if (ui.pause_when_open && open && !session_paused()) {
        ui.paused_by_menus = true;
        session_set_paused(true);
    } else if (!open && ui.paused_by_menus) {
        ui.paused_by_menus = false;
        session_set_paused(false);
    }
    if (ui.window)
        SDL_SetWindowGrab(ui.window, SDL_FALSE);
}

bool ui_is_open() { return ui.open; }

void ui_set_paused(bool paused) { session_set_paused(paused); }

void ui_add_window(const char* menu_label, void (*draw_routine)(bool* open))
{
    if (!menu_label || !draw_routine || ui.windows.size() >= max_windows)
        return;
    for (UiWindow& w : ui.windows)
        if (std::strcmp(w.label, menu_label) == 0) {
            w.draw = draw_routine;
            return;
        }
    ui.windows.push_back({menu_label, draw_routine, false});
}

bool ui_open_window(const char* menu_label)
{
    for (UiWindow& w : ui.windows)
        if (menu_label && std::strcmp(w.label, menu_label) == 0) {
            w.open = true;
            return true;
        }
    return false;
}

void ui_install(HostOptions* options)
{
    if (options->headless)
        return;
    ui.options = options;
    ui.machine = options->machine;
    ui.settings_path = settings_default_path();
    std::string why;
    SettingsStatus status = settings_load(&ui.settings, ui.settings_path, &why);
    if (status != SettingsStatus::OK) {
        // Said once, when the window opens; the defaults hold. A damaged or unreadable file
        // is kept as it is until a setting changes (it is then moved aside, not lost).
        ui.settings_report = "Settings: " + why + "; using the defaults";
        ui.settings_report_on_screen = status == SettingsStatus::DAMAGED || status == SettingsStatus::UNREADABLE;
        ui.settings_usable = !ui.settings_report_on_screen;
    }
    ui.volume = uint32_t(settings_get_int(ui.settings, "", "volume", 0, 100, 100));
    ui.muted = settings_get_int(ui.settings, "", "mute", 0, 1, 0) != 0;
    ui.pause_when_open = settings_get_int(ui.settings, "", "pause_when_open", 0, 1, 0) != 0;
    ui.typing_mode = settings_get(ui.settings, ui.machine, "keyboard") == "typing";
    PadMapping mapping;
    pad_mapping_parse(settings_get(ui.settings, ui.machine, "gamepad"), &mapping);
    ui.pad_mapping = mapping;
    host_set_volume(ui.muted ? 0 : ui.volume);
    ui_window_settings_read();
    host_ui_hooks = HostUiHooks{attach, detach, event, frame, visible, needs_drawing, draw, notify, shutdown};
}
