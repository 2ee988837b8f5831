// The complex's DVK boards and terminals as the frame loop sees them: their ROM files,
// the display modes they switch on and off (window size, messages, title) and a
// program's exit through EMT 350, which hands the screen back to the UKNC.
#include "machines/workstation/workstation_boards.h"
#include "machines/workstation/workstation_main.h"

#include "host/host.h"
#include "host/session.h"

#include <cstdio>
#include <cstring>

namespace {

Workstation& ws = workstation;

struct ModeInfo {
    bool Workstation::*flag;
    const char* on_message;
    const char* off_message;
};

// The program's own texts, "Dectivated" included.
constexpr ModeInfo modes[ws_mode_count] = {
    {&Workstation::kgdMode, "Videomode DVK KGD Activated!\n", "Videomode DVK KGD Dectivated!\n"},
    {&Workstation::kcgdMode, "Videomode DVK KCGD Activated!\n", "Videomode DVK KCGD Dectivated!\n"},
    {&Workstation::nemigaMode, "Videomode NEMIGA Activated!\n", "Videomode NEMIGA Dectivated!\n"},
    {&Workstation::e85Mode, "Videomode E-85 Activated!\n", "Videomode E-85 Dectivated!\n"},
};

// Window titles of the display modes after the base title.
constexpr const char* title_suffixes[] = {
    "", " (КСМ+КГД)", " (15ИЭ-10-013+КГД)", " (КЦГД)", " (НЕМИГА)", " (Электроника-85)",
};

void mode_window(int mode, bool on)
{
    if (!on) {
        // The window fits the display still shown: another board's mode may be on
        // beneath (the KGD kept over a program that used the E-85, say).
        switch (workstation_display_mode()) {
        case WS_DISPLAY_KSM_KGD:
        case WS_DISPLAY_IE15_KGD: mode = WS_MODE_KGD; break;
        case WS_DISPLAY_KCGD: mode = WS_MODE_KCGD; break;
        case WS_DISPLAY_NEMIGA: mode = WS_MODE_NEMIGA; break;
        case WS_DISPLAY_E85: mode = WS_MODE_E85; break;
        default: workstation_apply_client_size(); return;
        }
    }
    switch (mode) {
    case WS_MODE_KGD: set_client_size(800, 572); break;
    case WS_MODE_KCGD: set_client_size(800, 480); break;
    case WS_MODE_NEMIGA: set_client_size(ws.nemigaXScaleCode == 15 ? 768 : 512, 512); break;
    default: set_client_size(1024, 768); break;
    }
}

} // namespace

bool workstation_load_board_rom(void* buffer, size_t length, const char* name)
{
    FILE* file = open_data_file(name, "rb");
    bool ok = file != nullptr;
    if (file) {
        std::memset(buffer, 0xFF, length);
        std::fread(buffer, 1, length, file);
        ok = std::ferror(file) == 0; // a directory, for instance
        std::fclose(file);
    }
    if (ok)
        session_note_rom(name, buffer, length); // as read: a state made with another file is refused
    else
        std::printf("File %s not found: running without its board\n", name);
    return ok;
}

void workstation_switch_mode(int mode, bool on, bool messages)
{
    if (mode < 0 || mode >= ws_mode_count || ws.*modes[mode].flag == on)
        return;
    ws.*modes[mode].flag = on;
    if (messages)
        std::printf("%s", on ? modes[mode].on_message : modes[mode].off_message);
    clear_back_buffer();
    if (ws.PictureBuffer)
        std::memset(ws.PictureBuffer, 0, uknc_picture_buffer_pixels * 4);
    mode_window(mode, on);
    if (workstation_board_hooks.mode_switched[mode])
        workstation_board_hooks.mode_switched[mode](on);
}

void workstation_update_title()
{
    int mode = workstation_display_mode();
    if (mode == ws.displayMode)
        return;
    ws.displayMode = mode;
    set_window_title_suffix(title_suffixes[mode]);
}

void workstation_program_exit()
{
    workstation_switch_mode(WS_MODE_E85, false, true);
    workstation_switch_mode(WS_MODE_NEMIGA, false, true);
    if (ws.kgdMode && workstation_board_hooks.clear_kgd_memory)
        workstation_board_hooks.clear_kgd_memory();
    if (!ws.keepKgd)
        workstation_switch_mode(WS_MODE_KGD, false, true);
}
