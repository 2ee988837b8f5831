// The window's own keys for machines whose keyboard handling has none: Left Windows + F
// (full screen) and Left Windows + C (screenshot).
#include "host/host.h"
#include "host/key_codes.h"

namespace {

// The keys as last seen here: the machines that call this keep no previous snapshot.
bool f_was_down = false;
bool c_was_down = false;

} // namespace

bool host_window_keys()
{
    const bool windows = key_down(key_left_windows);
    const bool f = windows && key_down(key_f);
    const bool c = windows && key_down(key_c);
    if (f && !f_was_down) {
        fullscreen = !fullscreen;
        set_client_size(0, 0);
    }
    if (c && !c_was_down)
        save_screenshot();
    f_was_down = f;
    c_was_down = c;
    if (!windows)
        return false;
    // Taken by the window: the machine's keyboard does not see them.
    KeySnapshot[key_f] = 0;
    KeySnapshot[key_c] = 0;
    return f || c;
}
