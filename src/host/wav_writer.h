// A 48000 Hz 16-bit stereo WAV file written frame by frame; the header's sizes are
// patched when the file is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include "host/host.h"

struct WavWriter {
    FILE* file = nullptr;
    uint32_t data_bytes = 0;
};

bool wav_open(WavWriter* w, const char* path);
void wav_append(WavWriter* w, const SamplePair* pairs, uint32_t count);
void wav_append_silence(WavWriter* w, uint32_t count);
void wav_close(WavWriter* w);
