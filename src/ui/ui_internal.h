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
    bool paused = false;        // Machine > Pause (or the menus with pause_when_open)
    bool in_pause_loop = false;
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
