// What a machine offers the on-screen interface: its drives and their file kinds, how a file
// is put into a drive, changed-image queries and saves, and its hot keys.
//
// Each machine fills one MachineUi at the end of its main file and registers it once at
// start-up (machine_ui_register). The interface reads it to build its File, Machine and
// View menus and its Help window; a menu entry that stands for a hot key presses that
// key's codes for one frame, so the machine's own hot-key code does the work and menus and
// keys cannot drift apart. Headless runs register the table too and never read it.
//
//   static const MachineDrive drives[] = {{"Drive 0", ".dsk;.img"}, ...};
//   static const MachineHotKey keys[] = {{{0x1D, 0x9D}, "Left Ctrl + Right Ctrl", "reset"}, ...};
//   static const MachineUi ui = {"uknc", drives, 2, open_drive, drive_changed, save_drive,
//                                keys, std::size(keys), ...};
//   machine_ui_register(&ui);
#pragma once

#include <cstddef>
#include <cstdint>

// A hot key as the documentation table gives it (keys, action), with the key codes that
// make it: held together, pressed in this order (0 ends a shorter list).
struct MachineHotKey {
    uint8_t codes[4];
    const char* keys;   // "Left Ctrl + Right Ctrl"
    const char* action; // "reset (PC = 0, interrupts off), once per press"
    // What the key is to the menus.
    enum Role : uint8_t {
        OTHER,   // Help only
        RESET,   // Machine > Reset
        RESTART, // Machine > Restart
        DISPLAY, // View: a display setting's step (palette, X-scale, scan lines, lines fit)
        MENU,    // Machine: another action worth a menu entry
    } role = OTHER;
    uint8_t cycle = 0; // DISPLAY: presses that bring the setting back to where it was
    const char* menu = nullptr; // menu entry text (nullptr: the action text)
};

// A drive, or another place a file goes (the ZX tape and snapshot).
struct MachineDrive {
    const char* label; // "Drive 0", "Tape"
    const char* kinds; // the file names it takes, by ending, ';' between: ".dsk;.img"
};

// How the machine's joystick is reached, for the gamepads.
enum class MachineJoystick : uint8_t {
    NONE,     // no joystick: a gamepad presses the arrow keys
    KEYS,     // the machine reads its joystick from the arrow keys, Space and Enter
    KEMPSTON, // a Kempston interface (port 0x1F) the host attaches while a gamepad drives it
};

struct MachineUi {
    const char* name; // --machine NAME
    const MachineDrive* drives;
    size_t drive_count;
    // Puts the file into drive d (between frames); false when refused (the machine said why
    // on the console and through host_notify). nullptr: the file goes in as a dropped file.
    bool (*open)(int drive, const char* path);
    // The drive's image was written since it was loaded or saved (nullptr: never).
    bool (*changed)(int drive);
    // Writes the drive's image back to its file; false when it could not.
    bool (*save)(int drive);
    const MachineHotKey* hot_keys;
    size_t hot_key_count;
    MachineJoystick joystick;
};

void machine_ui_register(const MachineUi* ui);
// The running machine's table, nullptr when it registered none.
const MachineUi* machine_ui();

// The Kempston joystick byte the ZX reads at port 0x1F (bit 0 right, 1 left, 2 down, 3 up,
// 4 fire): 0 while no gamepad drives it, which is what the
// port read before there was a joystick.
extern uint8_t host_kempston;

