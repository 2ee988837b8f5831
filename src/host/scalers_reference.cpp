// The scalers pixel by pixel: the definition the vector versions in scalers.cpp match.
//
// All three channels are processed in one integer operation: the masks drop the low bits
// that would otherwise carry from one channel into the next. Only whole groups are
// written; pixels after the last whole group of a row are left untouched.
#include "host/scalers_reference.h"

static inline uint32_t half(uint32_t p) { return (p >> 1) & 0x7F7F7F; }
static inline uint32_t quarter(uint32_t p) { return (p >> 2) & 0x3F3F3F; }
static inline uint32_t mean(uint32_t a, uint32_t b) { return ((a & 0xFEFEFE) + (b & 0xFEFEFE)) >> 1; }

// Each channel of a times weight / 256, truncated per channel.
static inline uint32_t weigh(uint32_t p, uint32_t weight)
{
    return ((((p >> 16) & 0xFF) * weight >> 8) << 16) | ((((p >> 8) & 0xFF) * weight >> 8) << 8) |
           ((p & 0xFF) * weight >> 8);
}

void reference_filter_rows_x3_scanlines(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                                        uint32_t src_skip, uint32_t dst_pitch)
{
    uint32_t groups = width / 4;
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t* d0 = dst;
        uint32_t* d1 = dst + dst_pitch;
        uint32_t* d2 = dst + 2 * dst_pitch;
        const uint32_t* s = src;
        for (uint32_t g = 0; g < groups; ++g, s += 4, d0 += 4, d1 += 4, d2 += 4) {
            // The whole group is read before any of it is written, which lets the
            // compiler do the four pixels as one vector (about 4x faster).
            uint32_t p[4], h[4], q[4];
            for (int k = 0; k < 4; ++k) p[k] = s[k];
            for (int k = 0; k < 4; ++k) {
                h[k] = half(p[k]);
                q[k] = quarter(p[k]) + h[k];
            }
            for (int k = 0; k < 4; ++k) d0[k] = h[k];
            for (int k = 0; k < 4; ++k) d1[k] = p[k];
            for (int k = 0; k < 4; ++k) d2[k] = q[k];
        }
        src += width + src_skip;
        dst += 3 * dst_pitch;
    }
}

void reference_filter_rows_x2_blend(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                                    uint32_t src_skip, uint32_t dst_pitch)
{
    uint32_t groups = width / 4;
    uint32_t src_pitch = width + src_skip;
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t* s = src;
        const uint32_t* below = src + src_pitch; // the caller supplies one extra row
        uint32_t* d0 = dst;
        uint32_t* d1 = dst + dst_pitch;
        for (uint32_t g = 0; g < groups; ++g, s += 4, below += 4, d0 += 4, d1 += 4) {
            for (int k = 0; k < 4; ++k) {
                d0[k] = s[k];
                d1[k] = ((s[k] & 0xFCFCFC) + (below[k] & 0xFCFCFC)) >> 2;
            }
        }
        src += src_pitch;
        dst += 2 * dst_pitch;
    }
}

void reference_filter_rows_x2(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                              uint32_t src_skip, uint32_t dst_pitch)
{
    uint32_t groups = width / 4;
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t* s = src;
        uint32_t* d0 = dst;
        uint32_t* d1 = dst + dst_pitch;
        for (uint32_t g = 0; g < groups; ++g, s += 4, d0 += 4, d1 += 4) {
            for (int k = 0; k < 4; ++k) {
                d0[k] = s[k];
                d1[k] = s[k];
            }
        }
        src += width + src_skip;
        dst += 2 * dst_pitch;
    }
}

// Four pixels widened to five, and two to three: the steps of the column scalers.
static inline void widen_4_to_5(const uint32_t* s, uint32_t* d)
{
    const uint32_t s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3];
    d[0] = s0;
    d[1] = quarter(s0) + s1 - quarter(s1);
    d[2] = mean(s1, s2);
    d[3] = s2 - quarter(s2) + quarter(s3);
    d[4] = s3;
}

static inline void widen_2_to_3(const uint32_t* s, uint32_t* d)
{
    const uint32_t a = s[0], b = s[1];
    d[0] = a;
    d[1] = mean(a, b);
    d[2] = b;
}

// Each row: every whole group of `in` source pixels widened to `out` pixels, the leftover
// source pixels skipped with the row.
template <uint32_t in, uint32_t out, void (*widen)(const uint32_t*, uint32_t*)>
static void widen_rows(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows, uint32_t src_skip,
                       uint32_t dst_skip)
{
    const uint32_t groups = src_width / in;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t g = 0; g < groups; ++g, src += in, dst += out)
            widen(src, dst);
        src += src_width - groups * in + src_skip;
        dst += dst_skip;
    }
}

static void widen_8_to_12(const uint32_t* s, uint32_t* d)
{
    for (int t = 0; t < 4; ++t)
        widen_2_to_3(s + 2 * t, d + 3 * t);
}

// The 12 pixels the 3/2 step makes of a group of 8 are exactly three groups of the 5/4 step,
// so each group of 8 is finished on its own.
static void widen_8_to_15(const uint32_t* s, uint32_t* d)
{
    uint32_t wide[12];
    widen_8_to_12(s, wide);
    for (int t = 0; t < 3; ++t)
        widen_4_to_5(wide + 4 * t, d + 5 * t);
}

void reference_filter_cols_5_4(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip)
{
    widen_rows<4, 5, widen_4_to_5>(src, dst, src_width, rows, src_skip, dst_skip);
}

void reference_filter_cols_4_3(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip)
{
    // Every whole group is scaled, then the pixel after the last group is copied: the
    // first leftover pixel, or, when the row is whole groups only, the one pixel the
    // caller supplies after the row (which the source then steps over).
    uint32_t groups = src_width / 9;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t g = 0; g < groups; ++g) {
            for (int t = 0; t < 3; ++t, src += 3, dst += 4) {
                uint32_t a = src[0], b = src[1], c = src[2];
                dst[0] = a;
                dst[1] = weigh(a, 85) + weigh(b, 171);
                dst[2] = weigh(b, 171) + weigh(c, 85);
                dst[3] = c;
            }
        }
        if (src_width) {
            *dst++ = *src++;
            src += src_width % 9 ? src_width % 9 - 1 : 0;
        }
        src += src_skip;
        dst += dst_skip;
    }
}

void reference_filter_cols_3_2(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip)
{
    widen_rows<8, 12, widen_8_to_12>(src, dst, src_width, rows, src_skip, dst_skip);
}

void reference_filter_cols_15_8(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                                uint32_t src_skip, uint32_t dst_skip)
{
    widen_rows<8, 15, widen_8_to_15>(src, dst, src_width, rows, src_skip, dst_skip);
}
