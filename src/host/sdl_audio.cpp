// The SDL audio device and its ring.
//
// The card's clock is the callback's read position. Between callbacks the true play
// position keeps moving, so a reading adds the time elapsed since the callback last ran
// (at most one callback's chunk); that takes the place of sampling the position at a
// fixed point of the vertical blank.
#include "host/sdl_audio.h"

#ifdef KORVEL_HAVE_SDL

#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "host/host_internal.h"
#include "host/host_ui.h"

namespace {

constexpr uint32_t ring_size = 0x8000;
constexpr uint32_t ring_mask = ring_size - 1;
constexpr uint32_t chunk_samples = 512;
// Device volume: -20 dB (a gain of 0.1 in 1/65536) while playing, silence while muted.
constexpr int32_t playing_gain = 6554;

struct SdlAudio {
    SDL_AudioDeviceID device = 0;
    uint8_t ring[ring_size];
    // Written by the callback, read by the main thread under the device lock.
    uint32_t read_position = 0;
    uint32_t callback_position = 0;
    uint64_t callback_counter = 0;
    uint32_t callback_samples = chunk_samples;
    int32_t gain = playing_gain;
    uint32_t volume = 100; // percent of playing_gain
    bool muted = false;
    AudioSteering steering;
};
SdlAudio audio;

void SDLCALL audio_callback(void*, Uint8* stream, int length)
{
    uint32_t n = uint32_t(length);
    uint32_t pos = audio.read_position;
    audio.callback_position = pos;
    audio.callback_counter = SDL_GetPerformanceCounter();
    audio.callback_samples = n / 4;
    for (uint32_t i = 0; i + 1 < n; i += 2) {
        int16_t s;
        std::memcpy(&s, audio.ring + ((pos + i) & ring_mask), 2);
        s = int16_t((int32_t(s) * audio.gain) >> 16);
        std::memcpy(stream + i, &s, 2);
    }
    audio.read_position = (pos + n) & ring_mask;
}

// The one place that sets how loud the device plays: silent while muted (the monitor,
// fast-forward) and scaled by the volume setting.
int32_t device_gain()
{
    if (host.muted)
        return 0;
    const uint32_t volume = host.volume_percent > 100 ? 100 : host.volume_percent;
    return int32_t(int64_t(playing_gain) * volume / 100);
}

} // namespace

bool sdl_audio_keeps_time() { return !audio.device || audio.steering.keeps_time; }

void sdl_audio_open(uint32_t refresh_x256)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::printf("Sound: no audio device (%s), running without sound\n", SDL_GetError());
        return;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = int(audio_sample_rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = chunk_samples;
    want.callback = audio_callback;
    // No allowed changes: SDL converts to whatever the card really runs.
    audio.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!audio.device) {
        std::printf("Sound: no audio device (%s), running without sound\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    std::printf("Sound: %dHz, %dbit, %d channels\n", have.freq, int(SDL_AUDIO_BITSIZE(have.format)),
                int(have.channels));
    std::printf("Audiobuffer size: 0x%X\n", ring_size);
    std::memset(audio.ring, 0, sizeof audio.ring);
    audio.gain = device_gain();
    audio_steering_init(&audio.steering, refresh_x256, ring_size);
    // The dummy driver takes the samples without playing them: it has no clock to follow.
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver && std::strcmp(driver, "dummy") == 0)
        audio_steering_stop_keeping_time(&audio.steering);
    SDL_PauseAudioDevice(audio.device, 0);
}

void sdl_audio_close()
{
    if (audio.device) {
        SDL_CloseAudioDevice(audio.device);
        audio.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void sdl_audio_set_muted(bool muted)
{
    if (!audio.device)
        return;
    SDL_LockAudioDevice(audio.device);
    audio.gain = muted ? 0 : device_gain();
    SDL_UnlockAudioDevice(audio.device);
    // Unmuting always starts the measurement afresh, muted before or not.
    if (!muted)
        audio.steering.resync_pending = true;
    audio.muted = muted;
}

// The interface's volume setting is the host's one volume.
void host_set_volume(uint32_t percent)
{
    host.volume_percent = percent > 100 ? 100 : percent;
    audio.volume = host.volume_percent;
    if (!audio.device)
        return;
    SDL_LockAudioDevice(audio.device);
    if (!audio.muted)
        audio.gain = device_gain();
    SDL_UnlockAudioDevice(audio.device);
}

uint32_t host_volume() { return host.volume_percent; }

void sdl_audio_frame()
{
    if (!audio.device || audio.muted)
        return;
    AudioSteering& s = audio.steering;
    SDL_LockAudioDevice(audio.device);
    audio.gain = device_gain();
    uint64_t elapsed = audio.callback_counter ? SDL_GetPerformanceCounter() - audio.callback_counter : 0;
    uint64_t moved = elapsed * audio_sample_rate / SDL_GetPerformanceFrequency();
    if (moved > audio.callback_samples)
        moved = audio.callback_samples;
    uint32_t play_position = (audio.callback_position + uint32_t(moved) * 4) & ring_mask;
    uint32_t tick = SDL_GetTicks();
    if (s.resync_pending)
        audio_steering_resync(&s, play_position, tick);
    uint32_t count = samples_this_frame < sample_buffer_pairs ? samples_this_frame : sample_buffer_pairs;
    uint32_t offset = s.lock_offset * 4;
    for (uint32_t i = 0; i < count; ++i, offset = (offset + 4) & ring_mask)
        std::memcpy(audio.ring + offset, &SampleBuffer[i], 4);
    SDL_UnlockAudioDevice(audio.device);

    audio_steering_frame(&s, play_position, tick);
    samples_this_frame = s.samples_this_frame;
    sample_phase = s.sample_phase;
    samples_per_frame_x256 = s.samples_per_frame_x256;
    if (s.frames_lost) {
        s.frames_lost = false;
        host.frames_lost = true;
    }
}

#else

void sdl_audio_open(uint32_t) {}
void sdl_audio_close() {}
void sdl_audio_frame() {}
void sdl_audio_set_muted(bool) {}
void host_set_volume(uint32_t percent) { host.volume_percent = percent > 100 ? 100 : percent; }
uint32_t host_volume() { return host.volume_percent; }
bool sdl_audio_keeps_time() { return true; }

#endif
