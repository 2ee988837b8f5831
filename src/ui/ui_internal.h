// The interface's state, shared by its files (the hooks, the menus, the browser, the pads).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/machine_ui.h"
#include "host/options.h"
#include "ui/file_list.h"
#include "ui/gamepad_map.h"
#include "ui/key_presses.h"
#include "ui/settings.h"

struct UiWindow {
    const char* label;
    void (*draw)(bool* open);
    bool open;
};

struct UiNote {
    std::string text;
    uint32_t until_ms;
};

struct UiBrowser {
    bool open = false;
    int drive = 0;
    std::string folder;
    bool all_files = false;
    std::vector<FileEntry> entries;
    std::string error;
    bool stale = true;
    int selected = -1;
};

struct UiState {
    HostOptions* options = nullptr;
    std::string machine; // --machine NAME: the settings section
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool attached = false;
    bool open = false;          // the menus are shown
    bool pause_when_open = false;
    bool paused_by_menus = false; // the menus paused the machine (pause_when_open)
    std::string session_message;  // the session layer's last message, already shown
    uint32_t session_message_frame = 0;
    Settings settings;
    std::string settings_path;
    bool settings_usable = true; // false: the file is damaged and kept until the first change
    std::string settings_report;    // why the defaults hold, said when the window opens
    bool settings_report_on_screen = false;
    std::vector<UiWindow> windows;
    std::deque<UiNote> notes;
    KeyPresses presses;
    UiBrowser browser;
    bool quit_dialog = false;
    bool item_chosen = false; // a menu entry was chosen this frame
    bool double_click = false;
    int draw_frames = 0; // frames the interface is drawn again although nothing else changed // the window system saw a double click not yet used
    bool help_open = false;
    std::string error_box; // a message box over the picture
    std::string restart_machine;
    bool screenshot = false;
    bool quit = false;
    uint32_t start_ms = 0;
    bool title_hint = true;
    std::string shown_title;
    // Display steps pressed from the menus or the keyboard, by hot-key index.
    std::vector<int> display_presses;
    bool display_replayed = false;
    // Gamepads.
    std::vector<SDL_GameController*> pads;
    PadMapping pad_mapping;
    PadInput pad_input;
    PadOutput pad_output;
    bool typing_mode = false; // ZX: PC characters typed through SYMBOL SHIFT
    uint32_t volume = 100;
    bool muted = false;
    // A change waiting to be written (a window being dragged): at settings_due_ms.
    bool settings_due = false;
    uint32_t settings_due_ms = 0;
    uint32_t window_before[2] = {}; // the chosen window size before the last one
};
extern UiState ui;

// The key that opens the interface (Pause) and its name.
inline constexpr SDL_Scancode ui_open_scancode = SDL_SCANCODE_PAUSE;
inline constexpr const char* ui_open_key_name = "Pause";

// ui_menus.cpp
void ui_draw_menus();
void ui_draw_dialogs();
// ui_browser.cpp
void ui_browser_show(int drive);
void ui_draw_browser();
// ui_actions.cpp: what the menus ask for, done between frames.
void ui_open_file(int drive, const std::string& path);
bool ui_any_unsaved();
void ui_save_all();
void ui_request_quit();
void ui_press_hot_key(int index);
void ui_note_display_press(int index);
void ui_restart_as(const std::string& machine);
void ui_settings_changed();
std::vector<std::string> ui_recent_files();
void ui_notify(const std::string& text);
// ui_gamepad.cpp
void ui_gamepad_open();
bool ui_gamepad_event(const SDL_Event& e);
void ui_gamepad_frame();
void ui_set_pad_mapping(const PadMapping& mapping);
// ui_main.cpp
void ui_set_paused(bool paused);
// ui_window.cpp: the window's size and scaler, the display steps' names in the settings.
enum class PresentScaler : uint8_t;
const char* ui_scaler_name(PresentScaler scaler);
bool ui_scaler_parse(const std::string& text, PresentScaler* scaler);
// "960x604" -> 960, 604; false for anything else or a size no window has.
bool ui_window_size_parse(const std::string& text, uint32_t* width, uint32_t* height);
std::string ui_display_key(const MachineHotKey& key, size_t index);
int ui_display_steps(const MachineHotKey& key, size_t index);
void ui_window_settings_read();
void ui_window_settings_write();
// The window now has this client size: the user's choice unless the program asked for it.
void ui_window_resized(uint32_t width, uint32_t height, bool maximised_or_full);
// The window was maximised: a size it reported just before is not kept.
void ui_window_maximised();
void ui_set_window_multiple(int multiple);
void ui_set_scaler(PresentScaler scaler);
// The settings are written a little later (once a stream of changes settles), or at once
// when now is true and a change waits.
void ui_settings_changed_soon();
void ui_settings_write_due(bool now);
