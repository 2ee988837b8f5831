// What the menus ask for, carried out between emulated frames: files into drives, saves,
// hot keys pressed for the machine, another machine, the settings written.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/host_internal.h"
#include "host/host_ui.h"
#include "ui/ui_internal.h"

namespace {

std::string recent_key() { return "recent"; }

void remember_recent(int drive, const std::string& path)
{
    std::vector<std::string> list = ui_recent_files();
    recent_files_add(&list, std::to_string(drive) + " " + path);
    settings_set_list(&ui.settings, ui.machine, recent_key(), list);
    std::error_code error;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty())
        settings_set(&ui.settings, ui.machine, "folder", folder);
    ui_settings_changed();
}

} // namespace

std::vector<std::string> ui_recent_files() { return settings_get_list(ui.settings, ui.machine, recent_key()); }

void ui_open_file(int drive, const std::string& path)
{
    const MachineUi* m = machine_ui();
    if (!m || drive < 0 || size_t(drive) >= m->drive_count)
        return;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        std::printf("Can't open %s: not a file\n", path.c_str());
        ui_notify("Can't open " + path + ": not a file");
        return;
    }
    bool taken;
    if (m->open) {
        taken = m->open(drive, path.c_str());
    } else {
        // The machine takes it as a dropped file at its next frame.
        taken = host_accept_drop(path.c_str());
        if (!taken)
            ui_notify("A file is still waiting for the machine; try again");
    }
    if (taken)
        remember_recent(drive, path);
}

bool ui_any_unsaved()
{
    const MachineUi* m = machine_ui();
    if (!m || !m->changed)
        return false;
    for (size_t d = 0; d < m->drive_count; ++d)
        if (m->changed(int(d)))
            return true;
    return false;
}

void ui_save_all()
{
    const MachineUi* m = machine_ui();
    if (!m || !m->changed || !m->save)
        return;
    for (size_t d = 0; d < m->drive_count; ++d)
        if (m->changed(int(d)))
            m->save(int(d));
}

void ui_request_quit()
{
    if (ui_any_unsaved())
        ui.quit_dialog = true;
    else
        ui.quit = true;
}

void ui_press_hot_key(int index)
{
    const MachineUi* m = machine_ui();
    if (!m || index < 0 || size_t(index) >= m->hot_key_count)
        return;
    key_presses_push(&ui.presses, m->hot_keys[index].codes, 4);
    if (m->hot_keys[index].role == MachineHotKey::DISPLAY)
        ui_note_display_press(index);
}

void ui_note_display_press(int index)
{
    const MachineUi* m = machine_ui();
    if (!m || index < 0 || size_t(index) >= m->hot_key_count || m->hot_keys[index].cycle == 0)
        return;
    if (ui.display_presses.size() < m->hot_key_count)
        ui.display_presses.resize(m->hot_key_count, 0);
    int& n = ui.display_presses[size_t(index)];
    n = (n + 1) % m->hot_keys[index].cycle;
    settings_set_list(&ui.settings, ui.machine, "display" + std::to_string(index), {});
    settings_set_int(&ui.settings, ui.machine, ui_display_key(m->hot_keys[index], size_t(index)), n);
    ui_settings_changed();
}

void ui_settings_changed()
{
    if (!ui.options)
        return;
    ui.settings_due = false;
    if (!ui.settings_usable) {
        // The damaged file is kept beside the new one, not overwritten.
        std::string aside = ui.settings_path + ".damaged";
        if (std::rename(ui.settings_path.c_str(), aside.c_str()) == 0)
            std::printf("Settings: the damaged file is kept as %s\n", aside.c_str());
        ui.settings_usable = true;
    }
    settings_set_int(&ui.settings, "", "volume", int(ui.volume));
    settings_set_int(&ui.settings, "", "mute", ui.muted ? 1 : 0);
    settings_set_int(&ui.settings, "", "pause_when_open", ui.pause_when_open ? 1 : 0);
    if (ui.machine == "zx")
        settings_set(&ui.settings, ui.machine, "keyboard", ui.typing_mode ? "typing" : "positional");
    settings_set(&ui.settings, ui.machine, "gamepad", pad_mapping_format(ui.pad_mapping));
    ui_window_settings_write();
    std::string why;
    static bool reported = false;
    if (!settings_save(ui.settings, ui.settings_path, &why) && !reported) {
        reported = true; // once: the run goes on without saved settings
        std::printf("Settings: %s\n", why.c_str());
        ui_notify("Settings: " + why);
    }
}

void ui_restart_as(const std::string& machine)
{
    // The program starts again as the other machine, with the same data directory.
    ui_settings_changed();
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        ui_notify("Can't restart: the program's own path is unknown");
        return;
    }
    self[n] = 0;
    std::string data_dir = std::filesystem::current_path().string();
    std::vector<std::string> args = {self, "--machine", machine, "--data-dir", data_dir};
    if (host.options.meter)
        args.push_back("--meter");
    if (host.options.no_fast_tape)
        args.push_back("--no-fast-tape");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::printf("Restarting as %s\n", machine.c_str());
    std::fflush(stdout);
    if (host.backend)
        host.backend->close();
    execv(self, argv.data());
    fatal_error((std::string("Can't restart as ") + machine + ": " + std::strerror(errno)).c_str());
}
