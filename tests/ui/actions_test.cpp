// The menus' actions apart from drawing: files into drives (and refused ones), recent files
// and the last folder, unsaved images before quitting, hot keys pressed for the machine,
// display steps remembered, the settings file written (a damaged one moved aside).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/host.h"
#include "host/host_internal.h"
#include "ui/ui_internal.h"

namespace {

struct FakeMachine {
    std::vector<std::pair<int, std::string>> opened;
    bool changed[2] = {};
    int saves = 0;
};
FakeMachine fake;

bool fake_open(int drive, const char* path)
{
    fake.opened.emplace_back(drive, path);
    return std::string(path).find("refused") == std::string::npos;
}
bool fake_changed(int drive) { return fake.changed[drive]; }
bool fake_save(int drive)
{
    ++fake.saves;
    fake.changed[drive] = false;
    return true;
}

const MachineDrive drives[] = {{"Drive 0", ".dsk"}, {"Drive 1", ".dsk;.img"}};
const MachineHotKey keys[] = {
    {{0x1D, 0x9D}, "Left Ctrl + Right Ctrl", "reset", MachineHotKey::RESET, 0, "Reset"},
    {{0x29}, "` (grave)", "next palette", MachineHotKey::DISPLAY, 3, "Next palette"},
};
const MachineUi with_open = {"fake", drives, 2, fake_open, fake_changed, fake_save, keys, 2, MachineJoystick::NONE};
const MachineUi dropping = {"fake", drives, 2, nullptr, nullptr, nullptr, keys, 2, MachineJoystick::NONE};

struct UiActions : ::testing::Test {
    std::filesystem::path dir;
    HostOptions options;
    void SetUp() override
    {
        char name[] = "/tmp/korvel-actions-XXXXXX";
        dir = mkdtemp(name);
        ui = UiState{};
        fake = FakeMachine{};
        options.machine = "fake";
        ui.options = &options;
        ui.machine = "fake";
        ui.settings_path = (dir / "config/korvel.conf").string();
        machine_ui_register(&with_open);
        drop_pending = 0;
        for (int i = 0; i < 256; ++i)
            KeyState[i] = 0;
    }
    void TearDown() override
    {
        machine_ui_register(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::string file(const char* name, const std::string& text = "data")
    {
        std::ofstream((dir / name).string()) << text;
        return (dir / name).string();
    }
    std::string settings_text() { return host_test_read(ui.settings_path); }
    static std::string host_test_read(const std::string& path)
    {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool noted(const std::string& part)
    {
        for (const UiNote& n : ui.notes)
            if (n.text.find(part) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(UiActions, FilesGoIntoDrivesAndTheTakenOnesAreRemembered)
{
    std::string a = file("a.dsk"), b = file("b.img"), refused = file("refused.dsk");
    ui_open_file(0, a);
    ui_open_file(1, b);
    ui_open_file(1, refused);                          // the machine says no
    ui_open_file(0, (dir / "missing.dsk").string());   // not there
    ui_open_file(0, dir.string());                     // a folder
    ui_open_file(2, a);                                // no such drive
    ui_open_file(-1, a);
    ASSERT_EQ(fake.opened.size(), 3u);
    EXPECT_EQ(fake.opened[0], std::make_pair(0, a));
    EXPECT_EQ(fake.opened[1], std::make_pair(1, b));
    EXPECT_TRUE(noted("missing.dsk: not a file"));
    // Newest first; the refused file is not among them; the folder is remembered.
    EXPECT_EQ(ui_recent_files(), (std::vector<std::string>{"1 " + b, "0 " + a}));
    EXPECT_EQ(settings_get(ui.settings, "fake", "folder"), dir.string());
    std::string written = settings_text();
    EXPECT_NE(written.find("[fake]"), std::string::npos) << written;
    EXPECT_NE(written.find("recent = 1 " + b + "\nrecent = 0 " + a), std::string::npos) << written;

    // A machine without its own routine takes the file as a dropped one, at its next frame.
    machine_ui_register(&dropping);
    ui_open_file(1, a);
    EXPECT_EQ(drop_pending, 1);
    EXPECT_STREQ(dropped_file, a.c_str());
    ui_open_file(0, b); // the first one not taken yet: refused, said on screen
    EXPECT_STREQ(dropped_file, a.c_str());
    EXPECT_TRUE(noted("still waiting"));
    EXPECT_EQ(ui_recent_files().front(), "1 " + a);
}

TEST_F(UiActions, QuittingWithChangedImagesAsksAndSavingClearsThem)
{
    EXPECT_FALSE(ui_any_unsaved());
    ui_request_quit();
    EXPECT_TRUE(ui.quit);
    EXPECT_FALSE(ui.quit_dialog);

    ui.quit = false;
    fake.changed[1] = true;
    EXPECT_TRUE(ui_any_unsaved());
    ui_request_quit();
    EXPECT_FALSE(ui.quit);
    EXPECT_TRUE(ui.quit_dialog);
    ui_save_all();
    EXPECT_EQ(fake.saves, 1); // only the changed one
    EXPECT_FALSE(ui_any_unsaved());

    // Without save routines nothing is ever unsaved and nothing is called.
    machine_ui_register(&dropping);
    ui_save_all();
    EXPECT_FALSE(ui_any_unsaved());
    machine_ui_register(nullptr);
    EXPECT_FALSE(ui_any_unsaved());
    ui_open_file(0, file("x.dsk")); // no machine: nothing happens
    EXPECT_TRUE(ui_recent_files().empty());
}

TEST_F(UiActions, HotKeysArePressedForOneFrameAndDisplayStepsAreRemembered)
{
    ui_press_hot_key(0); // reset: Left Ctrl + Right Ctrl
    key_presses_step(&ui.presses, KeyState);
    EXPECT_EQ(KeyState[0x1D], 0x80);
    EXPECT_EQ(KeyState[0x9D], 0x80);
    key_presses_step(&ui.presses, KeyState);
    EXPECT_EQ(KeyState[0x1D], 0);
    EXPECT_EQ(KeyState[0x9D], 0);
    ui_press_hot_key(7);  // no such key
    ui_press_hot_key(-1);
    key_presses_step(&ui.presses, KeyState);
    EXPECT_FALSE(key_presses_busy(ui.presses));

    // The palette step: counted round its cycle of three, written each time under its menu
    // entry's name; a count kept by the key's place (older files) is read, then replaced.
    settings_set_int(&ui.settings, "fake", "display1", 2);
    EXPECT_EQ(ui_display_steps(keys[1], 1), 2);
    for (int press = 1; press <= 4; ++press) {
        ui_press_hot_key(1);
        EXPECT_EQ(settings_get_int(ui.settings, "fake", "palette", 0, 2, -1), press % 3);
    }
    EXPECT_EQ(ui_display_steps(keys[1], 1), 1);
    EXPECT_NE(settings_text().find("palette = 1"), std::string::npos);
    EXPECT_EQ(settings_text().find("display1"), std::string::npos);
    EXPECT_EQ(settings_get(ui.settings, "fake", "display0"), ""); // reset is no setting
}

TEST_F(UiActions, ADamagedSettingsFileIsMovedAsideWhenTheSettingsAreFirstWritten)
{
    std::filesystem::create_directories(dir / "config");
    std::ofstream(ui.settings_path) << "garbage without equals\n";
    ui.settings_usable = false;
    ui.volume = 35;
    ui_settings_changed();
    EXPECT_EQ(host_test_read(ui.settings_path + ".damaged"), "garbage without equals\n");
    EXPECT_NE(settings_text().find("volume = 35"), std::string::npos);
    EXPECT_TRUE(ui.settings_usable);
    // A place that cannot be written is reported once, on screen too, and the run goes on.
    ui.settings_path = (dir / "config/korvel.conf/inside").string();
    ui_settings_changed();
    ui_settings_changed();
    int reports = 0;
    for (const UiNote& n : ui.notes)
        reports += n.text.find("Settings:") != std::string::npos;
    EXPECT_LE(reports, 1);
}

TEST_F(UiActions, TheWindowSizeAndScalerAreKeptPerMachineAndReadBack)
{
    host.asked_sizes[0][0] = 640, host.asked_sizes[0][1] = 401; // the machine asked for 640 x 400
    requested_client_width = 640, requested_client_height = 400;
    // The program's own sizes and a maximised window are no choice; a drag is, written late.
    ui_window_resized(640, 401, false);
    ui_window_resized(1280, 1000, true);
    EXPECT_FALSE(ui.settings_due);
    ui_window_resized(900, 700, false);
    ui_window_resized(1000, 760, false);
    EXPECT_EQ(settings_text(), "");
    // A size followed by the word that the window is maximised: not kept.
    ui_window_resized(1900, 1000, false);
    ui_window_maximised();
    ui_settings_write_due(true);
    EXPECT_NE(settings_text().find("scaler = smooth\nwindow = 1000x760"), std::string::npos) << settings_text();
    // The menus: a scaler, twice the machine's size; read back by the next run.
    ui_set_scaler(PresentScaler::WHOLE);
    ui_set_window_multiple(2);
    host.chosen_window_width = host.chosen_window_height = host.present_scaler = 0;
    std::string why;
    ASSERT_EQ(settings_load(&ui.settings, ui.settings_path, &why), SettingsStatus::OK) << why;
    ui_window_settings_read();
    EXPECT_EQ(host.chosen_window_width * 10000 + host.chosen_window_height, 12800802u);
    EXPECT_EQ(PresentScaler(host.present_scaler), PresentScaler::WHOLE);
    // 1x forgets the size; damaged values give the defaults.
    ui_set_window_multiple(1);
    EXPECT_EQ(settings_get(ui.settings, "fake", "window"), "");
    for (const char* bad : {"1000", "0x0", "99999x600", "640x480x", "-640x480", "640 x 480"}) {
        settings_set(&ui.settings, "fake", "window", bad);
        settings_set(&ui.settings, "fake", "scaler", bad);
        host.present_scaler = 1;
        ui_window_settings_read();
        EXPECT_EQ(host.chosen_window_width + host.present_scaler, 0u) << bad;
    }
    requested_client_width = requested_client_height = 0;
}

} // namespace
