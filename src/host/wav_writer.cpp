// WAV writer: RIFF header with little-endian fields, sizes patched on close.
#include "host/wav_writer.h"

#include <cerrno>
#include <cstring>

static void put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

static void put32(uint8_t* p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

static void make_header(uint8_t (&h)[44], uint32_t data_bytes)
{
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data_bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);          // format chunk size
    put16(h + 20, 1);           // PCM
    put16(h + 22, 2);           // channels
    put32(h + 24, 48000);       // sample rate
    put32(h + 28, 48000 * 4);   // bytes per second
    put16(h + 32, 4);           // block
    put16(h + 34, 16);          // bits
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data_bytes);
}

// The RIFF sizes are 32-bit: the data stops short of 4 GiB, in whole sample pairs.
static constexpr uint32_t max_data_bytes = (0xFFFFFFFFu - 36) & ~3u;

bool wav_open(WavWriter* w, const char* path)
{
    w->file = std::fopen(path, "wb");
    w->data_bytes = 0;
    w->write_failed = false;
    w->truncated = false;
    if (!w->file)
        return false;
    uint8_t header[44];
    make_header(header, 0);
    // Written through at once so that an unwritable target (a full disk) shows at start.
    if (std::fwrite(header, 1, sizeof header, w->file) != sizeof header || std::fflush(w->file) != 0) {
        int error = errno;
        std::fclose(w->file);
        w->file = nullptr;
        errno = error;
        return false;
    }
    return true;
}

void wav_append(WavWriter* w, const SamplePair* pairs, uint32_t count)
{
    if (!w->file)
        return;
    uint8_t chunk[4 * 256];
    if (count > (max_data_bytes - w->data_bytes) / 4) {
        count = (max_data_bytes - w->data_bytes) / 4;
        w->truncated = true;
    }
    while (count) {
        uint32_t n = count < 256 ? count : 256;
        for (uint32_t i = 0; i < n; ++i) {
            put16(chunk + 4 * i, uint16_t(pairs[i].left));
            put16(chunk + 4 * i + 2, uint16_t(pairs[i].right));
        }
        if (std::fwrite(chunk, 4, n, w->file) != n)
            w->write_failed = true;
        w->data_bytes += 4 * n;
        pairs += n;
        count -= n;
    }
}

void wav_append_silence(WavWriter* w, uint32_t count)
{
    static const SamplePair zeros[256] = {};
    while (count) {
        uint32_t n = count < 256 ? count : 256;
        wav_append(w, zeros, n);
        count -= n;
    }
}

bool wav_close(WavWriter* w)
{
    if (!w->file)
        return true;
    uint8_t header[44];
    make_header(header, w->data_bytes);
    bool ok = !w->write_failed;
    if (std::fseek(w->file, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, w->file) != sizeof header)
        ok = false;
    if (std::fclose(w->file) != 0)
        ok = false;
    w->file = nullptr;
    return ok;
}
