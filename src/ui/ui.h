// The on-screen interface: menus (File, Machine, View, Sound, Input, Help), a file browser,
// on-screen messages, settings kept between runs and gamepads, drawn with Dear ImGui over
// the window's picture. It never changes the emulated picture, screenshots or --wav output.
//
// Pause (alone) or the right mouse button opens it; while it is open keys and the mouse go
// to it and the machine keeps running (or pauses: a setting). Headless runs have none.
//
// Other windows (the debuggers) register here and are then listed in the Debug menu:
//
//   static void draw_registers(bool* open)
//   {
//       if (ImGui::Begin("CPU registers", open)) { ...ImGui calls... }
//       ImGui::End();
//   }
//   ui_add_window("CPU registers", draw_registers);   // once, at start-up
//   ui_open_window("CPU registers");                  // e.g. when a breakpoint is hit
//
// draw runs once per frame while the window is open, inside the interface's ImGui frame,
// between emulated frames; it calls ImGui::Begin/End itself and sets *open = false to
// close. Open windows stay on screen when the menus close; the mouse reaches them when the
// pointer is over them, the keys only while the menus are open or one of them has focus.
#pragma once

#include "host/options.h"

// Installs the interface into the host's window backend; main.cpp calls it before the host
// starts when the run has a window. Reads the settings file; options given on the command
// line (in options) win over it. May change options (the settings' window, volume...).
void ui_install(HostOptions* options);

// Adds a window under the Debug menu (at most 32; the label is kept, not copied).
void ui_add_window(const char* menu_label, void (*draw)(bool* open));
// Opens a registered window by its label; false when none has that label.
bool ui_open_window(const char* menu_label);
// Opens or closes the menus.
void ui_set_open(bool open);
bool ui_is_open();
