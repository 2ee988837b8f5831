// The complex's frames (workstation_run.cpp): the restart, and each frame's catch-up and
// budgets, keyboard feed, the processors interleaved (CPU, PPU, the boards' GPU and the
// terminals' processors), and the 50 Hz requests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machines/uknc/workstation_hooks.h"

void workstation_restart();
void workstation_frame_start();       // console catch-up, budgets, timer follows
void workstation_keyboard_frame(bool feed = true); // feed from the key snapshots (unless a host key took them), ready check
void workstation_run_processors();    // the inner loop until the frame ends
void workstation_frame_end();         // the 50 Hz requests
void workstation_run_frame();         // all four in order
bool workstation_accept_cpu_interrupt();
bool workstation_accept_ppu_interrupt();
bool workstation_at_boundary(const Pdp11Cpu* cpu);
void workstation_render(uint32_t* picture); // 640 x 298
// The same into a picture the caller keeps from frame to frame: only the lines whose
// sources changed since the last render into it are drawn (cache->changed lists them).
void workstation_render_changed(uint32_t* picture, UkncLineCache* cache);
