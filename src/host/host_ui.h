// The seam between the window backend and the on-screen interface above it.
//
// The host knows nothing of the interface: the interface library fills these routines at
// start-up (ui_install) and the SDL backend calls them when they are set. A headless run
// and a build without the interface leave them empty, and the backend then does exactly
// what it did without them. Every routine runs on the main thread between emulated frames
// (from end_frame / pace_and_present), never inside a frame.
#pragma once

#include <cstdint>

struct HostUiHooks {
    // The window and its renderer exist (SDL_Window*, SDL_Renderer*): prepare drawing.
    void (*attach)(void* window, void* renderer);
    // The window goes away: release what attach made.
    void (*detach)();
    // Each window event (an SDL_Event*) before the machine's keys see it; true when the
    // interface took it (the machine then does not see it).
    bool (*event)(void* event);
    // Once per frame after the events: carry out what the user chose.
    void (*frame)();
    // True while the interface has anything on screen: it is drawn over every picture
    // presented, and once more when it goes.
    bool (*visible)();
    // True while it must be drawn again although the picture did not change (it answered an
    // event, a message came or went). A still interface over a still picture costs nothing.
    bool (*needs_drawing)();
    // Draws over the presented picture, before the present.
    void (*draw)();
    // A message that matters to the user, shown on screen for a few seconds.
    void (*notify)(const char* text);
    // The process ends (shutdown_host): last words, the settings written.
    void (*shutdown)();
};
extern HostUiHooks host_ui_hooks;

// Sound volume of the window's audio device, 0-100 percent (start: 100). It scales only
// what is played: --wav files and the machines' samples are unchanged.
void host_set_volume(uint32_t percent);
uint32_t host_volume();

// One frame of the window without an emulated frame (the machine stands stopped in the
// debugger): paces, presents the last picture with the interface over it, handles events.
void host_ui_idle_frame();

