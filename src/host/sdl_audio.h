// The SDL audio device behind the window backend: a 0x8000-byte ring that end_frame fills
// and the device's callback drains. The callback's read position is the play clock that
// the steering measures. Only the SDL backend uses this.
#pragma once

#include <cstdint>

// Opens the device for the frame rate; without a device logs a line and stays silent.
void sdl_audio_open(uint32_t refresh_x256);
void sdl_audio_close();
// Streams the frame's samples and steers the next frame's count (nothing while muted or
// without a device).
void sdl_audio_frame();
void sdl_audio_set_muted(bool muted);
// False when the device does not play in real time (a dummy driver, or a whole second in
// which the steering could not synchronise): the backend then paces frames by its clock.
bool sdl_audio_keeps_time();
