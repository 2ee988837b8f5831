// The window the user sizes and the way the picture fills it, kept per machine in the
// settings ("window = 960x604", "scaler = smooth"), and the names the display steps are
// kept under ("palette = 2").
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "host/host_internal.h"
#include "ui/ui_internal.h"

namespace {

const char* const scaler_names[] = {"smooth", "sharp", "whole"};

// A settings value waits this long after the last change before it is written: a window
// dragged to a new size sends a stream of sizes.
constexpr uint32_t settle_ms = 600;

bool asked_by_the_program(uint32_t w, uint32_t h)
{
    if (w == host.chosen_window_width && h == host.chosen_window_height)
        return true;
    for (const auto& size : host.asked_sizes)
        if (size[0] == w && size[1] == h)
            return true;
    return false;
}

} // namespace

const char* ui_scaler_name(PresentScaler scaler)
{
    size_t i = size_t(scaler);
    return i < std::size(scaler_names) ? scaler_names[i] : scaler_names[0];
}

bool ui_scaler_parse(const std::string& text, PresentScaler* scaler)
{
    for (size_t i = 0; i < std::size(scaler_names); ++i)
        if (text == scaler_names[i]) {
            *scaler = PresentScaler(i);
            return true;
        }
    return false;
}

bool ui_window_size_parse(const std::string& text, uint32_t* width, uint32_t* height)
{
    unsigned w = 0, h = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%5ux%5u%c", &w, &h, &end) != 2)
        return false;
    // Smaller than a title bar or larger than any display: not a size anyone chose.
    if (w < 64 || h < 48 || w > 16384 || h > 16384)
        return false;
    *width = w;
    *height = h;
    return true;
}

std::string ui_display_key(const MachineHotKey& key, size_t index)
{
    // "Next scan-line style" -> "scan-line_style"; a key without a menu text by its place.
    std::string text = key.menu ? key.menu : "";
    if (text.rfind("Next ", 0) == 0)
        text.erase(0, 5);
    std::string name;
    for (char c : text)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? char(std::tolower(c)) : '_';
    return name.empty() ? "display" + std::to_string(index) : name;
}

int ui_display_steps(const MachineHotKey& key, size_t index)
{
    int high = key.cycle ? key.cycle - 1 : 0;
    // Settings written before the steps had names kept them by the key's place.
    int old = settings_get_int(ui.settings, ui.machine, "display" + std::to_string(index), 0, high, 0);
    return settings_get_int(ui.settings, ui.machine, ui_display_key(key, index), 0, high, old);
}

void ui_window_settings_read()
{
    PresentScaler scaler = PresentScaler::SMOOTH;
    ui_scaler_parse(settings_get(ui.settings, ui.machine, "scaler"), &scaler);
    host.present_scaler = uint8_t(scaler);
    uint32_t w = 0, h = 0;
    if (ui_window_size_parse(settings_get(ui.settings, ui.machine, "window"), &w, &h)) {
        host.chosen_window_width = w;
        host.chosen_window_height = h;
    }
}

void ui_window_settings_write()
{
    settings_set(&ui.settings, ui.machine, "scaler", ui_scaler_name(PresentScaler(host.present_scaler)));
    if (host.chosen_window_width && host.chosen_window_height)
        settings_set(&ui.settings, ui.machine, "window",
                     std::to_string(host.chosen_window_width) + "x" + std::to_string(host.chosen_window_height));
    else
        settings_set_list(&ui.settings, ui.machine, "window", {});
}

void ui_window_resized(uint32_t width, uint32_t height, bool maximised_or_full)
{
    // Full screen and a maximised window are states, not sizes to come back to.
    if (maximised_or_full || fullscreen || asked_by_the_program(width, height))
        return;
    ui.window_before[0] = host.chosen_window_width;
    ui.window_before[1] = host.chosen_window_height;
    host.chosen_window_width = width;
    host.chosen_window_height = height;
    ui_settings_changed_soon();
}

void ui_window_maximised()
{
    // The window manager may report a maximised window's size before it says it is
    // maximised: the size before that one stays.
    if (!ui.settings_due)
        return;
    host.chosen_window_width = ui.window_before[0];
    host.chosen_window_height = ui.window_before[1];
}

void ui_set_window_multiple(int multiple)
{
    // 1: the size the machine asks for, which then follows the machine again.
    if (multiple <= 1) {
        host.chosen_window_width = host.chosen_window_height = 0;
    } else {
        host.chosen_window_width = requested_client_width * uint32_t(multiple);
        host.chosen_window_height = (requested_client_height + 1) * uint32_t(multiple);
    }
    set_client_size(0, 0);
    ui_settings_changed();
}

void ui_set_scaler(PresentScaler scaler)
{
    host.present_scaler = uint8_t(scaler);
    ui_settings_changed();
}

void ui_settings_changed_soon()
{
    ui.settings_due = true;
    ui.settings_due_ms = SDL_GetTicks() + settle_ms;
}

void ui_settings_write_due(bool now)
{
    if (ui.settings_due && (now || int32_t(SDL_GetTicks() - ui.settings_due_ms) >= 0))
        ui_settings_changed();
}
