// The menu bar (File, Machine, View, Sound, Input, Help, Debug), the Help window and the
// dialogs. Drawing only: every choice is recorded in the state and carried out between
// frames by ui_actions.cpp.
#include <imgui.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "host/host_internal.h"
#include "host/host_ui.h"
#include "host/session.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

struct KnownMachine {
    const char* name;
    const char* title;
};
const KnownMachine known_machines[] = {
    {"zx", "ZX Spectrum 48K"}, {"ms0515", "MS-0515"}, {"pk8000", "PK8000"},
    {"specialist", "Specialist"}, {"tile", "Tile-and-sprite machine"}, {"uknc", "UKNC"},
};

// A menu entry; choosing one closes the menus (unless it opened a window of theirs).
bool menu_item(const char* label, const char* shortcut = nullptr, bool selected = false, bool enabled = true)
{
    bool chosen = ImGui::MenuItem(label, shortcut, selected, enabled);
    ui.item_chosen = ui.item_chosen || chosen;
    return chosen;
}

void hot_key_items(MachineHotKey::Role role)
{
    const MachineUi* m = machine_ui();
    if (!m)
        return;
    for (size_t i = 0; i < m->hot_key_count; ++i) {
        const MachineHotKey& k = m->hot_keys[i];
        if (k.role != role)
            continue;
        std::string label = std::string(k.menu ? k.menu : k.action) + "##" + std::to_string(i);
        if (menu_item(label.c_str(), k.keys))
            ui_press_hot_key(int(i));
    }
}

void file_menu()
{
    const MachineUi* m = machine_ui();
    if (!ImGui::BeginMenu("File"))
        return;
    if (m) {
        for (size_t d = 0; d < m->drive_count; ++d) {
            std::string label = std::string("Open into ") + m->drives[d].label + "...";
            if (menu_item(label.c_str()))
                ui_browser_show(int(d));
        }
        std::vector<std::string> recent = ui_recent_files();
        if (ImGui::BeginMenu("Recent files", !recent.empty())) {
            for (const std::string& r : recent) {
                size_t space = r.find(' ');
                if (space == std::string::npos)
                    continue;
                int drive = std::atoi(r.substr(0, space).c_str());
                std::string path = r.substr(space + 1);
                if (drive < 0 || size_t(drive) >= m->drive_count)
                    continue;
                std::string label = std::filesystem::path(path).filename().string() + "  (" +
                                    m->drives[drive].label + ")##" + r;
                if (menu_item(label.c_str()))
                    ui_open_file(drive, path);
                if (ImGui::IsItemHovered())
                    ImGui::SetTooltip("%s", path.c_str());
            }
            ImGui::EndMenu();
        }
        if (m->changed && m->save) {
            ImGui::Separator();
            for (size_t d = 0; d < m->drive_count; ++d) {
                std::string label = std::string("Save ") + m->drives[d].label;
                if (menu_item(label.c_str(), nullptr, false, m->changed(int(d))))
                    m->save(int(d));
            }
        }
        ImGui::Separator();
    }
    if (menu_item("Screenshot"))
        ui.screenshot = true;
    if (menu_item("Quit"))
        ui_request_quit();
    ImGui::EndMenu();
}

// The slots' times and pictures, read again at most once a second while the menu shows.
struct SlotView {
    bool valid = false;
    SlotInfo info;
    SDL_Texture* picture = nullptr;
};
SlotView slot_views[10];
uint32_t slots_read_ms = 0;
bool slots_read = false;

void read_slots()
{
    uint32_t now = SDL_GetTicks();
    if (slots_read && now - slots_read_ms < 1000)
        return;
    slots_read = true;
    slots_read_ms = now;
    for (int slot = 1; slot <= 9; ++slot) {
        SlotView& v = slot_views[slot];
        SlotInfo info;
        bool valid = session_slot_info(slot, &info);
        if (valid && v.valid && info.saved_time == v.info.saved_time && info.frame == v.info.frame)
            continue; // unchanged: keep the picture
        if (v.picture)
            SDL_DestroyTexture(v.picture);
        v.picture = nullptr;
        v.valid = valid;
        v.info = std::move(info);
        if (valid && ui.renderer && v.info.width && v.info.height &&
            v.info.pixels.size() == size_t(v.info.width) * v.info.height) {
            v.picture = SDL_CreateTexture(ui.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC,
                                          int(v.info.width), int(v.info.height));
            if (v.picture)
                SDL_UpdateTexture(v.picture, nullptr, v.info.pixels.data(), int(v.info.width * 4));
        }
    }
}

std::string slot_label(int slot)
{
    const SlotView& v = slot_views[slot];
    char text[96];
    if (!v.valid) {
        std::snprintf(text, sizeof text, "Slot %d: empty", slot);
        return text;
    }
    std::time_t t = std::time_t(v.info.saved_time);
    std::tm local{};
    localtime_r(&t, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text, sizeof text, "Slot %d: %s", slot, when);
    return text;
}

void slot_picture(int slot)
{
    const SlotView& v = slot_views[slot];
    if (!v.picture || !ImGui::IsItemHovered())
        return;
    ImGui::BeginTooltip();
    float scale = v.info.width > 320 ? 320.0f / float(v.info.width) : 1.0f;
    ImGui::Image(reinterpret_cast<ImTextureID>(v.picture),
                 ImVec2(float(v.info.width) * scale, float(v.info.height) * scale));
    ImGui::Text("frame %llu", static_cast<unsigned long long>(v.info.frame));
    ImGui::EndTooltip();
}

void state_menus()
{
    if (!session_available()) {
        ImGui::TextDisabled("Save states: not for this machine");
        return;
    }
    read_slots();
    if (ImGui::BeginMenu("Save state")) {
        for (int slot = 1; slot <= 9; ++slot) {
            std::string label = slot_label(slot);
            if (menu_item(label.c_str(), ("Host+Shift+F" + std::to_string(slot)).c_str()))
                session_request_save_slot(slot);
            slot_picture(slot);
        }
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Load state")) {
        for (int slot = 1; slot <= 9; ++slot) {
            std::string label = slot_label(slot);
            if (menu_item(label.c_str(), ("Host+F" + std::to_string(slot)).c_str(), false,
                                slot_views[slot].valid))
                session_request_load_slot(slot);
            slot_picture(slot);
        }
        ImGui::EndMenu();
    }
}

void machine_menu()
{
    if (!ImGui::BeginMenu("Machine")) {
        slots_read = false; // read afresh when it opens
        return;
    }
    hot_key_items(MachineHotKey::RESET);
    hot_key_items(MachineHotKey::RESTART);
    hot_key_items(MachineHotKey::MENU);
    ImGui::Separator();
    if (menu_item("Pause", "Host+F10", session_paused())) {
        ui.paused_by_menus = false;
        session_set_paused(!session_paused());
    }
    if (menu_item("One frame", "Host+F11"))
        session_request_frame_advance();
    if (menu_item("Fast-forward", "Host+Shift+F12", session_fast_forward()))
        session_set_fast_forward(!session_fast_forward());
    if (menu_item("Rewind one step", "Host+Backspace"))
        session_request_rewind_step();
    if (menu_item("Pause while the menus are open", nullptr, ui.pause_when_open)) {
        ui.pause_when_open = !ui.pause_when_open;
        ui_settings_changed();
    }
    ImGui::Separator();
    state_menus();
    ImGui::Separator();
    if (ImGui::BeginMenu("Start another machine")) {
        for (const KnownMachine& k : known_machines)
            if (menu_item(k.title, k.name, ui.machine == k.name))
                if (ui.machine != k.name)
                    ui.restart_machine = k.name;
        ImGui::EndMenu();
    }
    ImGui::EndMenu();
}

void view_menu()
{
    if (!ImGui::BeginMenu("View"))
        return;
    hot_key_items(MachineHotKey::DISPLAY);
    ImGui::Separator();
    if (ImGui::BeginMenu("Scaler")) {
        static const char* const labels[] = {"Smooth (fills the window)", "Sharp (fills the window)",
                                             "Whole multiples (pixel for pixel)"};
        for (int i = 0; i < 3; ++i)
            if (menu_item(labels[i], nullptr, host.present_scaler == i))
                ui_set_scaler(PresentScaler(i));
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Window size")) {
        const bool chosen = host.chosen_window_width != 0;
        if (menu_item("The machine's own (1x)", nullptr, !chosen))
            ui_set_window_multiple(1);
        for (int k = 2; k <= 4; ++k) {
            std::string label = std::to_string(k) + "x";
            bool at = chosen && host.chosen_window_width == requested_client_width * uint32_t(k) &&
                      host.chosen_window_height == (requested_client_height + 1) * uint32_t(k);
            if (menu_item(label.c_str(), nullptr, at))
                ui_set_window_multiple(k);
        }
        if (chosen)
            ImGui::TextDisabled("Now %ux%u (kept for this machine)", unsigned(host.chosen_window_width),
                                unsigned(host.chosen_window_height));
        ImGui::EndMenu();
    }
    if (menu_item("Full screen", nullptr, fullscreen != 0)) {
        fullscreen = fullscreen ? 0 : 1;
        set_client_size(0, 0);
    }
    if (menu_item("Load meter", nullptr, host.options.meter))
        host.options.meter = !host.options.meter;
    ImGui::EndMenu();
}

void sound_menu()
{
    if (!ImGui::BeginMenu("Sound"))
        return;
    int volume = int(ui.volume);
    if (ImGui::SliderInt("Volume", &volume, 0, 100, "%d%%")) {
        ui.volume = uint32_t(volume);
        host_set_volume(ui.muted ? 0 : ui.volume);
    }
    if (ImGui::IsItemDeactivatedAfterEdit())
        ui_settings_changed();
    if (menu_item("Mute", nullptr, ui.muted)) {
        ui.muted = !ui.muted;
        host_set_volume(ui.muted ? 0 : ui.volume);
        ui_settings_changed();
    }
    ImGui::EndMenu();
}

void input_menu()
{
    const MachineUi* m = machine_ui();
    if (!ImGui::BeginMenu("Input"))
        return;
    ImGui::TextDisabled("Gamepads: %d connected", int(ui.pads.size()));
    for (SDL_GameController* pad : ui.pads)
        ImGui::BulletText("%s", SDL_GameControllerName(pad) ? SDL_GameControllerName(pad) : "gamepad");
    MachineJoystick joystick = m ? m->joystick : MachineJoystick::NONE;
    PadMapping mapping = ui.pad_mapping;
    const char* joystick_label = joystick == MachineJoystick::KEMPSTON ? "Stick: Kempston joystick (port 0x1F)"
                                 : joystick == MachineJoystick::KEYS   ? "Stick: the machine's joystick"
                                                                       : "Stick: the machine's joystick (none: arrows)";
    if (menu_item(joystick_label, nullptr, mapping.target == PadTarget::JOYSTICK))
        mapping.target = PadTarget::JOYSTICK;
    if (menu_item("Stick: arrow keys", nullptr, mapping.target == PadTarget::ARROWS))
        mapping.target = PadTarget::ARROWS;
    static const char* const buttons[pad_buttons] = {"Button A", "Button B", "Button X", "Button Y"};
    for (int b = 0; b < pad_buttons; ++b) {
        if (!ImGui::BeginMenu(buttons[b]))
            continue;
        for (int a = 0; a <= int(PadAction::CTRL); ++a)
            if (menu_item(pad_action_name(PadAction(a)), nullptr, mapping.buttons[b] == PadAction(a)))
                mapping.buttons[b] = PadAction(a);
        ImGui::EndMenu();
    }
    if (pad_mapping_format(mapping) != pad_mapping_format(ui.pad_mapping))
        ui_set_pad_mapping(mapping);
    if (ui.machine == "zx") {
        ImGui::Separator();
        if (menu_item("Keyboard: by position (ZX keys)", nullptr, !ui.typing_mode)) {
            ui.typing_mode = false;
            ui_settings_changed();
        }
        if (menu_item("Keyboard: typing (PC characters)", nullptr, ui.typing_mode)) {
            ui.typing_mode = true;
            ui_settings_changed();
        }
    }
    ImGui::EndMenu();
}

void help_window()
{
    if (!ui.help_open)
        return;
    ImGui::SetNextWindowSize(ImVec2(560, 380), ImGuiCond_FirstUseEver);
    if (ImGui::Begin("Keys", &ui.help_open)) {
        ImGui::Text("%s or the right mouse button: these menus (Pause with another key held goes to the machine)",
                    ui_open_key_name);
        ImGui::Separator();
        const MachineUi* m = machine_ui();
        if (m && ImGui::BeginTable("keys", 2, ImGuiTableFlags_RowBg | ImGuiTableFlags_Borders |
                                                  ImGuiTableFlags_SizingStretchProp)) {
            ImGui::TableSetupColumn("Keys");
            ImGui::TableSetupColumn("Action");
            ImGui::TableHeadersRow();
            for (size_t i = 0; i < m->hot_key_count; ++i) {
                ImGui::TableNextRow();
                ImGui::TableNextColumn();
                ImGui::TextUnformatted(m->hot_keys[i].keys);
                ImGui::TableNextColumn();
                ImGui::TextWrapped("%s", m->hot_keys[i].action);
            }
            ImGui::EndTable();
        }
        if (ui.machine == "zx")
            ImGui::TextWrapped("Keyboard: Shift = CAPS SHIFT, Ctrl = SYMBOL SHIFT, Esc = BREAK; in the "
                               "typing mode (Input menu) PC characters are typed through SYMBOL SHIFT.");
    }
    ImGui::End();
}

void help_menu()
{
    if (!ImGui::BeginMenu("Help"))
        return;
    if (menu_item("Keys"))
        ui.help_open = true;
    ImGui::TextDisabled("Korvel %s", korvel_version);
    ImGui::EndMenu();
}

void debug_menu()
{
    if (ui.windows.empty() || !ImGui::BeginMenu("Debug"))
        return;
    for (UiWindow& w : ui.windows)
        if (menu_item(w.label, nullptr, w.open))
            w.open = !w.open;
    ImGui::EndMenu();
}

} // namespace

void ui_draw_menus()
{
    if (!ImGui::BeginMainMenuBar())
        return;
    file_menu();
    machine_menu();
    view_menu();
    sound_menu();
    input_menu();
    help_menu();
    debug_menu();
    if (session_paused())
        ImGui::TextDisabled("  (paused)");
    else if (session_fast_forward())
        ImGui::TextDisabled("  (fast-forward)");
    ImGui::EndMainMenuBar();
    help_window();
    if (ui.item_chosen) {
        ui.item_chosen = false;
        if (!ui.browser.open && !ui.help_open && !ui.quit_dialog)
            ui_set_open(false);
    }
}

void ui_draw_dialogs()
{
    if (ui.quit_dialog) {
        ImGui::OpenPopup("Unsaved disk images");
        ui.quit_dialog = false;
    }
    if (ImGui::BeginPopupModal("Unsaved disk images", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        const MachineUi* m = machine_ui();
        ImGui::TextUnformatted("These disk images were changed and not saved:");
        if (m && m->changed)
            for (size_t d = 0; d < m->drive_count; ++d)
                if (m->changed(int(d)))
                    ImGui::BulletText("%s", m->drives[d].label);
        if (ImGui::Button("Save and quit")) {
            ui_save_all();
            ui.quit = true;
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("Quit without saving")) {
            ui.quit = true;
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("Cancel"))
            ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
}
