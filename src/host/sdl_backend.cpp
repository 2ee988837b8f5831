// The SDL2 window backend: one window titled "Korvel v0.12g" that shows the centred
// client-sized rectangle of the BackBuffer 1:1, key and drop events from SDL's queue,
// pacing by vsync (or a timer at the display's rate), and the audio device.
#include "host/host_internal.h"

#include <algorithm>
#include <cmath>

// The window shows the machine's picture (the requested client size, centred in the
// BackBuffer) as large as fits, aspect kept, and fills the rest of the window with what
// lies around the picture in the BackBuffer (a border, drive indicators), so that a window
// of exactly the requested size shows the picture 1:1 and a larger or full-screen one
// shows it enlarged. Scale 1 and whole multiples are drawn pixel for pixel; any other
// scale is smoothed.
PresentLayout host_present_layout(int window_w, int window_h, int picture_w, int picture_h,
                                  int buffer_w, int buffer_h, PresentScaler scaler)
{
    PresentLayout l{};
    if (window_w <= 0 || window_h <= 0 || buffer_w <= 0 || buffer_h <= 0)
        return l;
    double scale = 1.0;
    if (picture_w > 0 && picture_h > 0)
        scale = std::min(double(window_w) / picture_w, double(window_h) / picture_h);
    if (scaler == PresentScaler::WHOLE && scale > 1.0)
        scale = std::floor(scale + 1e-9);
    // The BackBuffer rectangle that covers the whole window at that scale, centred as the
    // picture is centred.
    int src_w = int(std::lround(window_w / scale)), src_h = int(std::lround(window_h / scale));
    const int left = buffer_w / 2 - src_w / 2, top = buffer_h / 2 - src_h / 2;
    // Whatever of it lies outside the buffer stays black.
    int x0 = std::max(left, 0), y0 = std::max(top, 0);
    int x1 = std::min(left + src_w, buffer_w), y1 = std::min(top + src_h, buffer_h);
    if (x1 <= x0 || y1 <= y0)
        return l;
    l.src = {x0, y0, x1 - x0, y1 - y0};
    // The covering rectangle's corner lands at the window's corner (less what rounding
    // its size left over, shared on both sides).
    const double origin_x = std::floor((window_w - src_w * scale) / 2);
    const double origin_y = std::floor((window_h - src_h * scale) / 2);
    const int dx0 = int(std::lround(origin_x + (x0 - left) * scale));
    const int dy0 = int(std::lround(origin_y + (y0 - top) * scale));
    const int dx1 = int(std::lround(origin_x + (x1 - left) * scale));
    const int dy1 = int(std::lround(origin_y + (y1 - top) * scale));
    l.dst = {dx0, dy0, dx1 - dx0, dy1 - dy0};
    l.scale = scale;
    l.smooth = scaler != PresentScaler::SHARP && std::fabs(scale - std::round(scale)) > 1e-9;
    return l;
}

#ifdef KORVEL_HAVE_SDL

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "host/host_ui.h"
#include "host/load_meter.h"
#include "host/sdl_audio.h"

namespace {

using Clock = std::chrono::steady_clock;

struct SdlHost {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* picture = nullptr; // the visible part of the BackBuffer
    int picture_width = 0, picture_height = 0;
    // What the texture holds (picture_width x picture_height): only rows that differ from
    // it are uploaded, and an unchanged picture is presented without any upload.
    std::vector<uint32_t> uploaded;
    int uploaded_x = -1, uploaded_y = -1;
    // Paced by the timer, a frame whose picture, window and meter are all as last
    // presented is not drawn again: the window keeps showing it. Window events (exposed,
    // resized, shown) ask for a redraw.
    bool redraw = true;
    int presented_w = -1, presented_h = -1;
    // Drawing straight into the window's surface (see direct_surface), and the rows it
    // sent to the window this frame.
    bool on_surface = false, no_surface = false;
    std::vector<SDL_Rect> surface_rects;
    SDL_Texture* meter = nullptr;
    uint32_t meter_pixels[load_meter_width * load_meter_height];
    bool shown = false;
    bool interface_shown = false;
    bool in_fullscreen = false;
    int saved_x = 0, saved_y = 0, saved_width = 0, saved_height = 0;
    int display_rate = 0;
    // Pacing: vsync while the driver really waits for the display, else a timer.
    bool vsync = false;
    bool unpaced = false; // fast-forward: neither vsync nor timer
    Clock::duration frame_period{};
    Clock::time_point next_deadline;
    Clock::time_point last_present;
    Clock::duration vsync_sum{};
    uint32_t vsync_samples = 0;
    // Load meter figures.
    Clock::time_point frame_end;
    Clock::duration presentation_time{};
};
SdlHost sdl;

char window_title[256];

// Without a display SDL quietly falls back to drivers that draw nowhere ("offscreen",
// "dummy"): the run would go on with a window nobody can see. Those count only when the
// user asked for them by name.
bool sdl_probe(std::string* error)
{
    const char* forced = SDL_getenv("SDL_VIDEODRIVER");
    bool driver_forced = forced && *forced;
    if (!driver_forced && !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY")) {
        *error = "no display (DISPLAY is not set); run with --headless";
        return false;
    }
    // With only an X display named, only X is tried: a failed connection then gives one
    // clear line instead of the other drivers' probing noise.
    if (!driver_forced && !SDL_getenv("WAYLAND_DISPLAY"))
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        *error = std::string("no display available (") + SDL_GetError() + "); run with --headless";
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver_forced && driver &&
        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) {
        *error = std::string("no display available (only the ") + driver +
                 " video driver); run with --headless";
        SDL_Quit();
        return false;
    }
    return true;
}

bool sdl_open(const HostOptions& options, std::string* error)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && !sdl_probe(error))
        return false;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        *error = "Can't get Display Parameters!";
        return false;
    }
    std::printf("Screen size: %dx%d\n", mode.w, mode.h);
    sdl.display_rate = mode.refresh_rate;
    back_buffer_width = mode.w > 1200 ? uint32_t(mode.w) : 1200;
    back_buffer_height = mode.h > 960 ? uint32_t(mode.h) : 960;

    std::snprintf(window_title, sizeof window_title, "%s", window_title_text());
    // The machine shows the window when it sizes it.
    sdl.window = SDL_CreateWindow(window_title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 648,
                                  584, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!sdl.window) {
        *error = std::string("Can't create main window! (") + SDL_GetError() + ")";
        return false;
    }
    // The window's surface, when the picture goes straight into it, is the X server's own
    // image of the window, not a second renderer over a texture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    bool want_vsync = options.fps_x256 == 0;
    Uint32 flags = want_vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, flags | SDL_RENDERER_ACCELERATED);
    if (!sdl.renderer)
        sdl.renderer = SDL_CreateRenderer(sdl.window, -1, flags | SDL_RENDERER_SOFTWARE);
    if (!sdl.renderer) {
        *error = std::string("Can't create Primary Surface! (") + SDL_GetError() + ")";
        return false;
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(sdl.renderer, &info);
    sdl.vsync = want_vsync && (info.flags & SDL_RENDERER_PRESENTVSYNC);
    sdl.meter = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                  load_meter_width, load_meter_height);

    uint32_t rate_x256 = options.fps_x256 ? options.fps_x256
                         : sdl.display_rate > 0 ? uint32_t(sdl.display_rate) * 256 : 60 * 256;
    sdl.frame_period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(uint64_t(1000000000) * 256 / rate_x256));
    std::printf("Monitor frequency - %dHz (%.3fHz)\n", sdl.display_rate, rate_x256 / 256.0);
    std::printf("Video: %s, %s\n", info.name ? info.name : "?",
                sdl.vsync ? "paced by vertical sync" : "paced by timer");

    sdl_audio_open(rate_x256);
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    if (host_ui_hooks.attach)
        host_ui_hooks.attach(sdl.window, sdl.renderer);
    sdl.next_deadline = Clock::now() + sdl.frame_period;
    sdl.last_present = sdl.frame_end = Clock::now();
    return true;
}

void sdl_close()
{
    if (host_ui_hooks.detach && sdl.renderer)
        host_ui_hooks.detach();
    sdl_audio_close();
    if (sdl.picture)
        SDL_DestroyTexture(sdl.picture);
    if (sdl.meter)
        SDL_DestroyTexture(sdl.meter);
    if (sdl.renderer)
        SDL_DestroyRenderer(sdl.renderer);
    if (sdl.window)
        SDL_DestroyWindow(sdl.window);
    sdl.picture = sdl.meter = nullptr;
    sdl.renderer = nullptr;
    sdl.window = nullptr;
    SDL_Quit();
}

void show_window()
{
    if (sdl.shown || !sdl.window)
        return;
    SDL_ShowWindow(sdl.window);
    SDL_RaiseWindow(sdl.window);
    sdl.shown = true;
}

void wait_for_deadline()
{
    Clock::time_point now = Clock::now();
    if (now < sdl.next_deadline) {
        std::this_thread::sleep_until(sdl.next_deadline);
        sdl.next_deadline += sdl.frame_period;
    } else {
        // More than a whole frame late: the display's frame was lost; start afresh.
        if (now > sdl.next_deadline + sdl.frame_period)
            host.frames_lost = true;
        sdl.next_deadline = now + sdl.frame_period;
    }
}

// A driver that claims vsync but returns at once (no display, a virtual server) would
// let frames race; after a second of presents the backend falls back to the timer.
void check_vsync()
{
    Clock::time_point now = Clock::now();
    Clock::duration interval = now - sdl.last_present;
    sdl.last_present = now;
    if (++sdl.vsync_samples <= 10)
        return; // start-up frames
    sdl.vsync_sum += interval;
    if (sdl.vsync_samples < 70)
        return;
    if (sdl.vsync_sum / 60 < sdl.frame_period / 2) {
        sdl.vsync = false;
        SDL_RenderSetVSync(sdl.renderer, 0);
        sdl.next_deadline = now + sdl.frame_period;
        std::printf("No vertical sync from the display driver: pacing by timer\n");
    }
    sdl.vsync_samples = 0x80000000; // measured once
}

void draw_meter(int window_width, uint64_t emulation_us)
{
    if (!host.options.meter || fullscreen || window_width <= 300 || !sdl.meter)
        return;
    uint64_t frame_us = uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(sdl.frame_period).count());
    uint64_t present_us =
        uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(sdl.presentation_time).count());
    load_meter_draw(sdl.meter_pixels, load_meter_height, emulation_us, present_us, frame_us,
                    &host.meter_border, &host.frames_lost);
    SDL_UpdateTexture(sdl.meter, nullptr, sdl.meter_pixels, load_meter_width * 4);
    SDL_Rect dst{window_width - int(load_meter_width) - 4, 4, int(load_meter_width), int(load_meter_height)};
    SDL_RenderCopy(sdl.renderer, sdl.meter, nullptr, &dst);
}

// Calls run(first_row, rows) for each run of rows of `src` (a rectangle of the BackBuffer)
// that differs from what the window's copy (`sdl.uploaded`) holds, after copying them
// into it; true when there was any. Only the rows drawn into since the last look are
// compared; an empty copy takes every row.
template <typename Run>
bool changed_rows(const SDL_Rect& src, Run run)
{
    const size_t row_bytes = size_t(src.w) * 4;
    const size_t size = size_t(src.w) * size_t(src.h);
    const bool all = sdl.uploaded.size() != size || sdl.uploaded_x != src.x || sdl.uploaded_y != src.y;
    if (!all && host.back_buffer_writes == 0)
        return false; // nothing drew into the BackBuffer since the last look
    int first_row = 0, end_row = src.h;
    if (!all) {
        first_row = int(std::clamp<int64_t>(int64_t(host.back_buffer_dirty_first) - src.y, 0, src.h));
        end_row = int(std::clamp<int64_t>(int64_t(host.back_buffer_dirty_end) - src.y, 0, src.h));
    }
    host.back_buffer_writes = 0;
    host.back_buffer_dirty_first = 0xFFFFFFFF;
    host.back_buffer_dirty_end = 0;
    if (all) {
        sdl.uploaded.resize(size);
        sdl.uploaded_x = src.x;
        sdl.uploaded_y = src.y;
    }
    const uint32_t* first = host.back_buffer + size_t(src.y) * back_buffer_width + src.x;
    bool any = false;
    int run_start = -1;
    for (int row = first_row; row <= end_row; ++row) {
        bool changed = false;
        if (row < end_row) {
            const uint32_t* now = first + size_t(row) * back_buffer_width;
            uint32_t* held = sdl.uploaded.data() + size_t(row) * size_t(src.w);
            changed = all || std::memcmp(now, held, row_bytes) != 0;
            if (changed)
                std::memcpy(held, now, row_bytes);
        }
        if (changed && run_start < 0)
            run_start = row;
        if (!changed && run_start >= 0) {
            run(run_start, row - run_start);
            run_start = -1;
            any = true;
        }
    }
    return any;
}

// Uploads the changed rows of `src` (the texture's size) into the picture texture.
bool upload_changed_rows(const SDL_Rect& src)
{
    const uint32_t* first = host.back_buffer + size_t(src.y) * back_buffer_width + src.x;
    return changed_rows(src, [&](int row, int rows) {
        SDL_Rect r{0, row, src.w, rows};
        SDL_UpdateTexture(sdl.picture, &r, first + size_t(row) * back_buffer_width, int(back_buffer_width * 4));
    });
}

// The window's own surface, when the picture can go straight into it: pacing by the timer
// (a display that really waits for its blank keeps the renderer's vsync), nothing drawn
// over the picture, and a scale of 1 or a whole multiple drawn pixel for pixel, which is
// exactly what the renderer would show. The X server is then sent only the rows that
// changed instead of the whole window, and no renderer draws the whole window again.
SDL_Surface* direct_surface(const PresentLayout& layout, int w, int h)
{
    if (sdl.vsync || sdl.no_surface || layout.smooth || layout.scale < 1.0 ||
        std::fabs(layout.scale - std::round(layout.scale)) > 1e-9 || layout.src.w <= 0 || layout.src.h <= 0)
        return nullptr;
    SDL_Surface* s = SDL_GetWindowSurface(sdl.window);
    sdl.no_surface = !s; // a video driver without one (Wayland) is not asked again
    if (!s || s->w != w || s->h != h || s->format->format != SDL_PIXELFORMAT_RGB888 || SDL_MUSTLOCK(s))
        return nullptr;
    return s;
}

// The changed rows of the picture drawn into the window's surface (each pixel a k x k
// block) and only those rows sent to the window; everything when `whole`. The picture's
// rectangle may reach a pixel past the window's edges (rounding when centring): what lies
// outside is left out, as the renderer clips it.
bool present_to_surface(SDL_Surface* s, const PresentLayout& layout, bool whole)
{
    const SDL_Rect src{layout.src.x, layout.src.y, layout.src.w, layout.src.h};
    const int k = int(std::lround(layout.scale));
    const int x0 = std::max(layout.dst.x, 0), x1 = std::min(layout.dst.x + src.w * k, s->w);
    if (x1 <= x0)
        return false;
    if (whole) {
        sdl.uploaded.clear();
        SDL_FillRect(s, nullptr, 0);
    }
    sdl.surface_rects.clear();
    const uint32_t* first = host.back_buffer + size_t(src.y) * back_buffer_width + src.x;
    auto* pixels = static_cast<uint8_t*>(s->pixels);
    const bool changed = changed_rows(src, [&](int row, int rows) {
        const int y0 = std::max(layout.dst.y + row * k, 0), y1 = std::min(layout.dst.y + (row + rows) * k, s->h);
        for (int y = y0; y < y1; ++y) {
            const uint32_t* from = first + size_t((y - layout.dst.y) / k) * back_buffer_width;
            auto* to = reinterpret_cast<uint32_t*>(pixels + size_t(y) * size_t(s->pitch));
            if ((y - layout.dst.y) % k != 0 && y > y0) {
                std::memcpy(to + x0, reinterpret_cast<uint32_t*>(pixels + size_t(y - 1) * size_t(s->pitch)) + x0,
                            size_t(x1 - x0) * 4); // the same picture row again
                continue;
            }
            if (k == 1) {
                std::memcpy(to + x0, from + (x0 - layout.dst.x), size_t(x1 - x0) * 4);
                continue;
            }
            for (int x = x0; x < x1; ++x)
                to[x] = from[(x - layout.dst.x) / k];
        }
        if (y1 > y0)
            sdl.surface_rects.push_back(SDL_Rect{x0, y0, x1 - x0, y1 - y0});
    });
    if (whole)
        SDL_UpdateWindowSurface(sdl.window);
    else if (!sdl.surface_rects.empty())
        SDL_UpdateWindowSurfaceRects(sdl.window, sdl.surface_rects.data(), int(sdl.surface_rects.size()));
    return changed || whole;
}

void present(uint64_t emulation_us)
{
    show_window();
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(sdl.renderer, &w, &h);
    const PresentLayout layout =
        host_present_layout(w, h, int(requested_client_width), int(requested_client_height) + 1,
                            int(back_buffer_width), int(back_buffer_height), PresentScaler(host.present_scaler));
    const SDL_Rect src{layout.src.x, layout.src.y, layout.src.w, layout.src.h};
    const bool picture = src.w > 0 && src.h > 0 && host.back_buffer;
    const bool meter = host.options.meter && !fullscreen && w > 300 && sdl.meter;
    // The interface over the picture is drawn every frame while it shows anything, and once
    // more when it goes, to take it off the picture.
    const bool interface = host_ui_hooks.visible && host_ui_hooks.visible();
    if (interface != sdl.interface_shown)
        sdl.redraw = true;
    sdl.interface_shown = interface;
    const bool resized = w != sdl.presented_w || h != sdl.presented_h;
    sdl.presented_w = w;
    sdl.presented_h = h;
    SDL_Surface* surface = picture && !meter && !interface ? direct_surface(layout, w, h) : nullptr;
    if (surface) {
        // Coming from the renderer the surface holds nothing of the picture yet.
        const bool whole = !sdl.on_surface || sdl.redraw || resized;
        if (!sdl.on_surface)
            sdl.uploaded.clear();
        sdl.on_surface = true;
        sdl.redraw = false;
        present_to_surface(surface, layout, whole);
        return;
    }
    if (sdl.on_surface) {
        // Back to the renderer: its texture is older than the window's copy.
        sdl.on_surface = false;
        sdl.uploaded.clear();
        sdl.redraw = true;
    }
    bool changed = false;
    if (picture) {
        if (!sdl.picture || sdl.picture_width != src.w || sdl.picture_height != src.h) {
            if (sdl.picture)
                SDL_DestroyTexture(sdl.picture);
            sdl.picture = SDL_CreateTexture(sdl.renderer, SDL_PIXELFORMAT_RGB888,
                                            SDL_TEXTUREACCESS_STREAMING, src.w, src.h);
            sdl.picture_width = src.w;
            sdl.picture_height = src.h;
            sdl.uploaded.clear(); // a new texture holds nothing yet
        }
        if (sdl.picture) {
            SDL_SetTextureScaleMode(sdl.picture, layout.smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
            changed = upload_changed_rows(src);
        }
    }
    const bool interface_changed = interface && host_ui_hooks.needs_drawing && host_ui_hooks.needs_drawing();
    if (!changed && !meter && !interface_changed && !sdl.vsync && !sdl.redraw && !resized)
        return; // the window already shows this picture
    sdl.redraw = false;
    SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
    SDL_RenderClear(sdl.renderer);
    if (picture && sdl.picture) {
        const SDL_Rect dst{layout.dst.x, layout.dst.y, layout.dst.w, layout.dst.h};
        SDL_RenderCopy(sdl.renderer, sdl.picture, nullptr, &dst);
    }
    draw_meter(w, emulation_us);
    if (interface)
        host_ui_hooks.draw();
    SDL_RenderPresent(sdl.renderer);
}

void handle_events()
{
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (host_ui_hooks.event && host_ui_hooks.event(&e))
            continue; // the interface's
        switch (e.type) {
        case SDL_QUIT:
            shutdown_host();
        case SDL_WINDOWEVENT:
            sdl.redraw = true; // exposed, resized, shown...: draw the picture again
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                host.keyboard_focus = true;
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                host.keyboard_focus = false;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (host.keyboard_focus)
                KeyState[key_code_from_scancode(uint32_t(e.key.keysym.scancode))] =
                    e.type == SDL_KEYDOWN ? 0x80 : 0;
            break;
        case SDL_DROPFILE:
            if (e.drop.file) {
                host_accept_drop(e.drop.file);
                SDL_free(e.drop.file);
            }
            break;
        default:
            break;
        }
    }
}

void sdl_frame(bool with_audio)
{
    Clock::time_point start = Clock::now();
    uint64_t emulation_us =
        uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(start - sdl.frame_end).count());
    if (sdl.unpaced) {
        present(emulation_us);
    } else if (sdl.vsync) {
        // The present waits for the blank; the play position is read right after it.
        present(emulation_us);
        check_vsync();
        if (with_audio)
            sdl_audio_frame();
        if (!sdl_audio_keeps_time()) {
            // The frames followed the sound device; without its clock the timer paces them.
            sdl.vsync = false;
            SDL_RenderSetVSync(sdl.renderer, 0);
            sdl.next_deadline = Clock::now() + sdl.frame_period;
        }
    } else {
        wait_for_deadline();
        if (with_audio)
            sdl_audio_frame();
        present(emulation_us);
    }
    Clock::time_point presented = Clock::now();
    handle_events();
    if (host_ui_hooks.frame)
        host_ui_hooks.frame();
    sdl.frame_end = Clock::now();
    sdl.presentation_time = sdl.frame_end - presented;
}

void sdl_apply_client_size(uint32_t width, uint32_t height)
{
    if (!sdl.window)
        return;
    if (host.chosen_window_width && host.chosen_window_height) {
        // The size the user chose stays; the picture is scaled into it.
        width = host.chosen_window_width;
        height = host.chosen_window_height;
    }
    if (fullscreen) {
        if (!sdl.in_fullscreen) {
            SDL_GetWindowPosition(sdl.window, &sdl.saved_x, &sdl.saved_y);
            sdl.saved_width = int(width);
            sdl.saved_height = int(height);
            SDL_SetWindowFullscreen(sdl.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
            sdl.in_fullscreen = true;
        }
    } else if (sdl.in_fullscreen) {
        SDL_SetWindowFullscreen(sdl.window, 0);
        SDL_SetWindowSize(sdl.window, sdl.saved_width, sdl.saved_height);
        SDL_SetWindowPosition(sdl.window, sdl.saved_x, sdl.saved_y);
        sdl.in_fullscreen = false;
    } else if (!(SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_MAXIMIZED)) {
        // A maximised window keeps its size, as the user chose it.
        SDL_SetWindowSize(sdl.window, int(width), int(height));
    }
    show_window();
}

void sdl_set_muted(bool muted) { sdl_audio_set_muted(muted); }

// Fast-forward: no vertical sync and no timer between frames; back to both afterwards.
void sdl_set_unpaced(bool unpaced)
{
    if (unpaced == sdl.unpaced || !sdl.renderer)
        return;
    sdl.unpaced = unpaced;
    SDL_RenderSetVSync(sdl.renderer, !unpaced && sdl.vsync ? 1 : 0);
    sdl.next_deadline = Clock::now() + sdl.frame_period;
}

void sdl_set_title(const char* title)
{
    std::snprintf(window_title, sizeof window_title, "%s", title);
    if (sdl.window)
        SDL_SetWindowTitle(sdl.window, window_title);
}

bool sdl_show_error(const char* text)
{
    // Before the machine has shown its window (a missing ROM) the box stands alone.
    if (!sdl.window)
        return false;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "System Error!", text, sdl.shown ? sdl.window : nullptr) == 0;
}

uint32_t sdl_refresh() { return sdl.display_rate > 0 ? uint32_t(sdl.display_rate) * 256 : 0; }

const HostBackend sdl_backend = {
    "sdl", sdl_probe, sdl_open, sdl_close, sdl_frame, sdl_apply_client_size, sdl_set_muted, sdl_show_error, sdl_refresh,
    sdl_set_title, handle_events, sdl_set_unpaced,
};

} // namespace

const HostBackend* const host_sdl_backend = &sdl_backend;

void host_ui_idle_frame()
{
    if (!sdl.window)
        return;
    if (!sdl.vsync)
        wait_for_deadline();
    present(0);
    handle_events();
}

#else

const HostBackend* const host_sdl_backend = nullptr;
void host_ui_idle_frame() {}

#endif
