// The file browser window: a folder's entries, the drive's file kinds first, any file on
// request; it starts in the last folder used on this machine, else in the data directory.
#include <imgui.h>

#include <cstdio>
#include <filesystem>

#include "host/host.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

void refresh()
{
    const MachineUi* m = machine_ui();
    std::vector<std::string> kinds = file_kinds(m ? m->drives[ui.browser.drive].kinds : "");
    ui.browser.error.clear();
    if (!file_list(ui.browser.folder, kinds, ui.browser.all_files, &ui.browser.entries, &ui.browser.error))
        ui.browser.entries.clear();
    ui.browser.stale = false;
    ui.browser.selected = -1;
}

void choose(const FileEntry& e)
{
    if (e.folder) {
        ui.browser.folder = file_enter(ui.browser.folder, e.name);
        ui.browser.stale = true;
        return;
    }
    std::string path = file_enter(ui.browser.folder, e.name);
    ui.browser.open = false;
    ui_open_file(ui.browser.drive, path);
    ui_set_open(false);
}

} // namespace

void ui_browser_show(int drive)
{
    ui.browser.drive = drive;
    ui.browser.open = true;
    ui.browser.stale = true;
    std::string last = settings_get(ui.settings, ui.machine, "folder");
    std::error_code error;
    if (last.empty() || !std::filesystem::is_directory(last, error))
        last = std::filesystem::current_path(error).string(); // the data directory
    ui.browser.folder = last;
}

void ui_draw_browser()
{
    UiBrowser& b = ui.browser;
    const MachineUi* m = machine_ui();
    if (!b.open || !m || size_t(b.drive) >= m->drive_count)
        return;
    if (b.stale)
        refresh();
    ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowSize(ImVec2(io.DisplaySize.x * 0.8f, io.DisplaySize.y * 0.75f), ImGuiCond_Appearing);
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f), ImGuiCond_Appearing,
                            ImVec2(0.5f, 0.5f));
    std::string title = std::string("Open into ") + m->drives[b.drive].label + "###browser";
    if (!ImGui::Begin(title.c_str(), &b.open)) {
        ImGui::End();
        return;
    }
    ImGui::TextWrapped("%s", b.folder.c_str());
    if (ImGui::Checkbox("All files", &b.all_files))
        b.stale = true;
    ImGui::SameLine();
    ImGui::TextDisabled("(%s)", m->drives[b.drive].kinds);
    if (!b.error.empty())
        ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s", b.error.c_str());
    ImGui::BeginChild("entries", ImVec2(0, -ImGui::GetFrameHeightWithSpacing()), true);
    const FileEntry* chosen = nullptr;
    for (size_t i = 0; i < b.entries.size(); ++i) {
        const FileEntry& e = b.entries[i];
        std::string label = e.folder ? "[" + e.name + "]" : e.name;
        if (!e.folder && !e.of_kind)
            ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
        if (ImGui::Selectable(label.c_str(), b.selected == int(i), ImGuiSelectableFlags_AllowDoubleClick)) {
            b.selected = int(i);
            if (ImGui::IsMouseDoubleClicked(0))
                chosen = &e;
        }
        if (!e.folder && !e.of_kind)
            ImGui::PopStyleColor();
        if (!e.folder) {
            ImGui::SameLine(ImGui::GetWindowWidth() * 0.75f);
            ImGui::TextDisabled("%llu bytes", static_cast<unsigned long long>(e.size));
        }
    }
    ImGui::EndChild();
    bool can_open = b.selected >= 0 && size_t(b.selected) < b.entries.size();
    if (ImGui::Button("Open") && can_open)
        chosen = &b.entries[size_t(b.selected)];
    ImGui::SameLine();
    if (ImGui::Button("Cancel"))
        b.open = false;
    if (!chosen && can_open && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) &&
        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)))
        chosen = &b.entries[size_t(b.selected)];
    if (chosen) {
        FileEntry e = *chosen; // choose() may refresh the list
        choose(e);
    }
    ImGui::End();
}
