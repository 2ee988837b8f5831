// The menu bar (File, Machine, View, Sound, Input, Help, Debug), the Help window and the
// dialogs. Drawing only: every choice is recorded in the state and carried out between
// frames by ui_actions.cpp.
#include <imgui.h>

#include <filesystem>

#include "host/host_internal.h"
#include "host/host_ui.h"
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
        if (ImGui::MenuItem(label.c_str(), k.keys))
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
            if (ImGui::MenuItem(label.c_str()))
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
                if (ImGui::MenuItem(label.c_str()))
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
                if (ImGui::MenuItem(label.c_str(), nullptr, false, m->changed(int(d))))
                    m->save(int(d));
            }
        }
        ImGui::Separator();
    }
    if (ImGui::MenuItem("Screenshot"))
        ui.screenshot = true;
    if (ImGui::MenuItem("Quit"))
        ui_request_quit();
    ImGui::EndMenu();
}

void machine_menu()
{
    if (!ImGui::BeginMenu("Machine"))
        return;
    hot_key_items(MachineHotKey::RESET);
    hot_key_items(MachineHotKey::RESTART);
    hot_key_items(MachineHotKey::MENU);
    ImGui::Separator();
    if (ImGui::MenuItem("Pause", nullptr, ui.paused))
        ui_set_paused(!ui.paused);
    if (ImGui::MenuItem("Pause while the menus are open", nullptr, ui.pause_when_open)) {
        ui.pause_when_open = !ui.pause_when_open;
        ui_settings_changed();
    }
    ImGui::Separator();
    if (ImGui::BeginMenu("Start another machine")) {
        for (const KnownMachine& k : known_machines)
            if (ImGui::MenuItem(k.title, k.name, ui.machine == k.name))
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
    if (ImGui::MenuItem("Full screen", nullptr, fullscreen != 0)) {
        fullscreen = fullscreen ? 0 : 1;
        set_client_size(0, 0);
    }
    if (ImGui::MenuItem("Load meter", nullptr, host.options.meter))
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
    if (ImGui::MenuItem("Mute", nullptr, ui.muted)) {
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
    if (ImGui::MenuItem(joystick_label, nullptr, mapping.target == PadTarget::JOYSTICK))
        mapping.target = PadTarget::JOYSTICK;
    if (ImGui::MenuItem("Stick: arrow keys", nullptr, mapping.target == PadTarget::ARROWS))
        mapping.target = PadTarget::ARROWS;
    static const char* const buttons[pad_buttons] = {"Button A", "Button B", "Button X", "Button Y"};
    for (int b = 0; b < pad_buttons; ++b) {
        if (!ImGui::BeginMenu(buttons[b]))
            continue;
        for (int a = 0; a <= int(PadAction::CTRL); ++a)
            if (ImGui::MenuItem(pad_action_name(PadAction(a)), nullptr, mapping.buttons[b] == PadAction(a)))
                mapping.buttons[b] = PadAction(a);
        ImGui::EndMenu();
    }
    if (pad_mapping_format(mapping) != pad_mapping_format(ui.pad_mapping))
        ui_set_pad_mapping(mapping);
    if (ui.machine == "zx") {
        ImGui::Separator();
        if (ImGui::MenuItem("Keyboard: by position (ZX keys)", nullptr, !ui.typing_mode)) {
            ui.typing_mode = false;
            ui_settings_changed();
        }
        if (ImGui::MenuItem("Keyboard: typing (PC characters)", nullptr, ui.typing_mode)) {
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
    if (ImGui::MenuItem("Keys"))
        ui.help_open = true;
    ImGui::TextDisabled("Korvel %s", korvel_version);
    ImGui::EndMenu();
}

void debug_menu()
{
    if (ui.windows.empty() || !ImGui::BeginMenu("Debug"))
        return;
    for (UiWindow& w : ui.windows)
        if (ImGui::MenuItem(w.label, nullptr, w.open))
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
    if (ui.paused)
        ImGui::TextDisabled("  (paused)");
    ImGui::EndMainMenuBar();
    help_window();
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
