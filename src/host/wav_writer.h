// A 48000 Hz 16-bit stereo WAV file written frame by frame; the header's sizes are
// patched when the file is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include "host/host.h"

struct WavWriter {
    FILE* file = nullptr;
    uint32_t data_bytes = 0;
    bool write_failed = false; // a write of the file failed (disk full, device error)
    bool truncated = false;    // the sound went past the 4 GiB a WAV file can hold
};

bool wav_open(WavWriter* w, const char* path);
void wav_append(WavWriter* w, const SamplePair* pairs, uint32_t count);
void wav_append_silence(WavWriter* w, uint32_t count);
// Patches the sizes and closes the file; false when any write of it failed.
bool wav_close(WavWriter* w);
