// The machine routine and its frame loop (workstation_main.cpp, workstation_keys.cpp):
// uknc_main() = workstation_startup() (window, ROM, disk images, restart), then
// workstation_main_frame() for ever: host keys, keyboard feed, the processors, the
// picture presented.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machines/uknc/workstation_hooks.h"

void workstation_startup();           // window, memory, ROMs, then the restart
void workstation_restart_host();      // the restart with the window and picture cleared
void workstation_main_frame();        // one frame of the main loop, presented
void workstation_present();           // render, present, end_frame
void workstation_apply_client_size(); // from the X-scale and lines-fit
bool workstation_host_keys();         // true: a key took the frame (no keyboard feed)
[[noreturn]] void uknc_main();
