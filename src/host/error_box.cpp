// Fatal start-up errors in a message box as well as on the console, for a user who started
// the program from a desktop launcher and has no terminal to read.
#include <unistd.h>

#include <cstdlib>

#include "host/host_internal.h"

#ifdef KORVEL_HAVE_SDL
#include <SDL.h>
#endif

bool host_error_box_wanted(const HostOptions& options)
{
    // A headless run has no display to show it on. An unattended run (--frames, or no
    // terminal and no --error-box: a script, a test runner) never waits for someone to
    // dismiss a box; the text is on the console anyway. The launcher asks with --error-box.
    if (options.headless || options.frames != 0)
        return false;
    return options.error_box || isatty(STDIN_FILENO);
}

void host_error_box(const HostOptions& options, const std::string& text)
{
    if (!host_error_box_wanted(options))
        return;
    // Over the window when it is on screen.
    if (host.backend && host.backend->show_error && host.backend->show_error(text.c_str()))
        return;
#ifdef KORVEL_HAVE_SDL
    // Before there is a window (or after it failed): a box of its own, where there is a
    // display to show it on. SDL draws it without being started.
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || (wayland && *wayland))
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "System Error!", text.c_str(), nullptr);
#endif
}
