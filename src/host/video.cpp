// The BackBuffer, the client size and screenshots of the visible rectangle.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_internal.h"
#include "host/screenshot.h"

uint8_t fullscreen = 0;
uint32_t default_processing = 1;
uint32_t requested_client_width = 0;
uint32_t requested_client_height = 0;
uint32_t back_buffer_width = 0;
uint32_t back_buffer_height = 0;

void host_client_size_request(uint32_t width, uint32_t height, uint32_t* client_width,
                              uint32_t* client_height)
{
    if (width == 0)
        width = requested_client_width;
    if (height == 0)
        height = requested_client_height;
    requested_client_width = width;
    requested_client_height = height;
    // The client area is one row taller than asked for.
    *client_width = width;
    *client_height = height + 1;
}

void set_client_size(uint32_t width, uint32_t height)
{
    uint32_t w = 0, h = 0;
    host_client_size_request(width, height, &w, &h);
    host.asked_sizes[host.asked_next % 4][0] = w;
    host.asked_sizes[host.asked_next % 4][1] = h;
    ++host.asked_next;
    if (host.backend)
        host.backend->apply_client_size(w, h);
}

// The title names the program, the machine and the file it runs, then the machine's own
// suffix (the workstation's display mode): "Korvel v0.12g - ZX Spectrum 48K - game.z80".
static char title_text[512];
static std::string title_machine, title_file, title_suffix;

static void compose_title()
{
    std::string t = std::string("Korvel v") + korvel_version;
    if (!title_machine.empty())
        t += " - " + title_machine;
    if (!title_file.empty())
        t += " - " + title_file;
    t += title_suffix;
    std::snprintf(title_text, sizeof title_text, "%s", t.c_str());
    if (host.backend && host.backend->set_title)
        host.backend->set_title(title_text);
}

const char* window_title_text()
{
    if (!title_text[0])
        compose_title();
    return title_text;
}

void set_window_title_suffix(const char* suffix)
{
    title_suffix = suffix ? suffix : "";
    compose_title();
}

void host_set_title_machine(const char* machine)
{
    title_machine = machine ? machine : "";
    compose_title();
}

void set_window_file(const char* name)
{
    // Only the file's own name: folders make the title long and say little.
    std::string file = name ? name : "";
    size_t cut = file.find_last_of("/\\");
    if (cut != std::string::npos)
        file.erase(0, cut + 1);
    title_file = file;
    compose_title();
}

// A machine driven piece by piece (its unit tests) draws before any host start-up; it
// gets a buffer of the minimum size, as the headless backend would give it.
static void ensure_back_buffer()
{
    if (host.back_buffer || host.backend)
        return;
    if (!back_buffer_width || !back_buffer_height) {
        back_buffer_width = 1200;
        back_buffer_height = 960;
    }
    host.back_buffer = static_cast<uint32_t*>(std::calloc(size_t(back_buffer_width) * back_buffer_height, 4));
    ++host.back_buffer_clears;
}

static void back_buffer_rows_changed(uint32_t first, uint32_t end)
{
    host.back_buffer_dirty_first = std::min(host.back_buffer_dirty_first, first);
    host.back_buffer_dirty_end = std::max(host.back_buffer_dirty_end, end);
}

// A lock may write any row until its unlock says which it wrote: a drawing that never
// unlocks counts as drawing them all.
static uint32_t rows_before_lock_first = 0xFFFFFFFF, rows_before_lock_end = 0;

bool lock_back_buffer(BackBufferView* view)
{
    ensure_back_buffer();
    if (!host.back_buffer)
        return false;
    if (!host.back_buffer_locked) {
        rows_before_lock_first = host.back_buffer_dirty_first;
        rows_before_lock_end = host.back_buffer_dirty_end;
    }
    host.back_buffer_locked = true;
    ++host.back_buffer_writes;
    back_buffer_rows_changed(0, 0xFFFFFFFF);
    view->pixels = host.back_buffer;
    view->pitch = back_buffer_width;
    return true;
}

void unlock_back_buffer() { host.back_buffer_locked = false; }

void draw_back_buffer(BackBufferDraw* draw)
{
    BackBufferView view;
    if (!lock_back_buffer(&view))
        return;
    draw(view, back_buffer_width, back_buffer_height);
    unlock_back_buffer();
}

void unlock_back_buffer_unchanged()
{
    if (host.back_buffer_locked) {
        host.back_buffer_dirty_first = rows_before_lock_first;
        host.back_buffer_dirty_end = rows_before_lock_end;
        if (host.back_buffer_writes)
            --host.back_buffer_writes;
    }
    host.back_buffer_locked = false;
}

void unlock_back_buffer_rows(uint32_t first, uint32_t end)
{
    if (end <= first) {
        unlock_back_buffer_unchanged();
        return;
    }
    if (host.back_buffer_locked) {
        host.back_buffer_dirty_first = rows_before_lock_first;
        host.back_buffer_dirty_end = rows_before_lock_end;
        back_buffer_rows_changed(first, end);
    }
    host.back_buffer_locked = false;
}

uint32_t back_buffer_clears() { return host.back_buffer_clears; }

void clear_back_buffer()
{
    ensure_back_buffer();
    ++host.back_buffer_writes;
    ++host.back_buffer_clears;
    back_buffer_rows_changed(0, 0xFFFFFFFF);
    if (host.back_buffer)
        std::memset(host.back_buffer, 0, size_t(back_buffer_width) * back_buffer_height * 4);
}

bool host_take_screenshot(char (&name)[64])
{
    name[0] = '\0';
    BackBufferView view;
    if (!lock_back_buffer(&view))
        return false;
    uint32_t left = 0, top = 0, w = 0, h = 0;
    if (!screenshot_rectangle(back_buffer_width, back_buffer_height, requested_client_width,
                              requested_client_height, &left, &top, &w, &h)) {
        unlock_back_buffer();
        return false;
    }
    screenshot_choose_name(name, sizeof name, &host.screenshot_counter);
    bool written = screenshot_write_png(name, view.pixels + size_t(top) * view.pitch + left, view.pitch, w, h);
    unlock_back_buffer();
    std::printf("Saving %s\n", name);
    host_notifyf(written ? "Saving %s" : "Can't save %s", name);
    return written;
}

// The machine's screenshot key: a file that cannot be written is not reported.
void save_screenshot()
{
    char name[64];
    host_take_screenshot(name);
}
