// The headless backend: no window and no sound device. Frames run as fast as the machine
// can unless --fps asks for a rate; nothing depends on the wall clock otherwise, so a run
// gives the same pictures and samples every time.
#include <chrono>
#include <thread>

#include "host/host_internal.h"

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point next_deadline;
bool paced = false;
Clock::duration frame_period;

bool headless_probe(std::string*) { return true; }

bool headless_open(const HostOptions& options, std::string*)
{
    back_buffer_width = 1200;
    back_buffer_height = 960;
    paced = options.fps_x256 != 0;
    if (paced) {
        frame_period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(uint64_t(1000000000) * 256 / options.fps_x256));
        next_deadline = Clock::now() + frame_period;
    }
    std::printf("Headless: no window, no sound device, %s\n",
                paced ? "frames paced by --fps" : "frames unpaced");
    return true;
}

void headless_close() {}

void headless_frame(bool)
{
    if (!paced)
        return;
    Clock::time_point now = Clock::now();
    if (now < next_deadline)
        std::this_thread::sleep_until(next_deadline);
    // A machine that falls behind by more than a frame starts afresh instead of racing.
    next_deadline = now > next_deadline + frame_period ? now + frame_period : next_deadline + frame_period;
}

void headless_apply_client_size(uint32_t, uint32_t) {}
void headless_set_muted(bool) {}
bool headless_show_error(const char*) { return false; }
uint32_t headless_refresh() { return 0; }

} // namespace

const HostBackend host_headless_backend = {
    "headless",          headless_probe,     headless_open,      headless_close,     headless_frame,
    headless_apply_client_size, headless_set_muted, headless_show_error, headless_refresh, nullptr,
    nullptr,             nullptr,
};
