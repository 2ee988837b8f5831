// Pixel-exact 32-bit scalers from a machine's line buffer into the BackBuffer, four
// pixels per SSE2 register.
//
// Every result equals the pixel-by-pixel definition in scalers_reference.cpp bit for bit:
// the same masks keep the channels from carrying into each other, 32-bit lanes wrap like
// uint32_t, and the leftover pixels after the last whole group of a row are neither read
// nor written (apart from the one pixel the 4/3 scaler copies after its groups). Whole
// groups that do not fill a vector block go through the reference code.
//
// A row may be widened in place (the destination starting before the source in the same
// buffer, as the machines do with their line buffers) as long as no group's output
// overwrites the input of a later group: each block reads all its input before it writes.
// Without SSE2 the reference code is the implementation.
#include "host/host.h"
#include "host/scalers_reference.h"

#ifdef __SSE2__

#include <emmintrin.h>

namespace {

inline __m128i load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Lanes x[a], x[b], y[c], y[d].
template <int a, int b, int c, int d>
inline __m128i pick(__m128i x, __m128i y)
{
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(x), _mm_castsi128_ps(y), _MM_SHUFFLE(d, c, b, a)));
}

inline __m128i half(__m128i p) { return _mm_and_si128(_mm_srli_epi32(p, 1), _mm_set1_epi32(0x7F7F7F)); }
inline __m128i quarter(__m128i p) { return _mm_and_si128(_mm_srli_epi32(p, 2), _mm_set1_epi32(0x3F3F3F)); }
inline __m128i mean(__m128i a, __m128i b)
{
    const __m128i mask = _mm_set1_epi32(0xFEFEFE);
    return _mm_srli_epi32(_mm_add_epi32(_mm_and_si128(a, mask), _mm_and_si128(b, mask)), 1);
}

// Rows r0..r3 as columns: out[k] holds lane k of r0, r1, r2, r3.
inline void transpose(__m128i r0, __m128i r1, __m128i r2, __m128i r3, __m128i* out)
{
    const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
    const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
    out[0] = _mm_unpacklo_epi64(t0, t1);
    out[1] = _mm_unpackhi_epi64(t0, t1);
    out[2] = _mm_unpacklo_epi64(t2, t3);
    out[3] = _mm_unpackhi_epi64(t2, t3);
}

} // namespace

void filter_rows_x3_scanlines(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                              uint32_t src_skip, uint32_t dst_pitch)
{
    const uint32_t blocks = width / 8, groups = width / 4;
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t* d0 = dst;
        uint32_t* d1 = dst + dst_pitch;
        uint32_t* d2 = dst + 2 * dst_pitch;
        uint32_t x = 0;
        for (uint32_t b = 0; b < blocks; ++b, x += 8) {
            const __m128i p = load(src + x), p4 = load(src + x + 4);
            const __m128i h = half(p), h4 = half(p4);
            store(d0 + x, h);
            store(d0 + x + 4, h4);
            store(d1 + x, p);
            store(d1 + x + 4, p4);
            store(d2 + x, _mm_add_epi32(quarter(p), h));
            store(d2 + x + 4, _mm_add_epi32(quarter(p4), h4));
        }
        if (groups & 1) {
            const __m128i p = load(src + x), h = half(p);
            store(d0 + x, h);
            store(d1 + x, p);
            store(d2 + x, _mm_add_epi32(quarter(p), h));
        }
        src += width + src_skip;
        dst += 3 * dst_pitch;
    }
}

void filter_rows_x2_blend(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                          uint32_t src_skip, uint32_t dst_pitch)
{
    const uint32_t groups = width / 4;
    const uint32_t src_pitch = width + src_skip;
    const __m128i mask = _mm_set1_epi32(0xFCFCFC);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t* below = src + src_pitch; // the caller supplies one extra row
        uint32_t* d1 = dst + dst_pitch;
        for (uint32_t x = 0; x < groups * 4; x += 4) {
            const __m128i p = load(src + x), q = load(below + x);
            store(dst + x, p);
            store(d1 + x, _mm_srli_epi32(_mm_add_epi32(_mm_and_si128(p, mask), _mm_and_si128(q, mask)), 2));
        }
        src += src_pitch;
        dst += 2 * dst_pitch;
    }
}

void filter_rows_x2(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows, uint32_t src_skip,
                    uint32_t dst_pitch)
{
    const uint32_t groups = width / 4;
    for (uint32_t r = 0; r < rows; ++r) {
        uint32_t* d1 = dst + dst_pitch;
        for (uint32_t x = 0; x < groups * 4; x += 4) {
            const __m128i p = load(src + x);
            store(dst + x, p);
            store(d1 + x, p);
        }
        src += width + src_skip;
        dst += 2 * dst_pitch;
    }
}

void filter_cols_5_4(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows, uint32_t src_skip,
                     uint32_t dst_skip)
{
    // Blocks of four groups: transposed so that register k holds source pixel k of each
    // group, the three new pixels are plain lane-wise sums, and the five columns are
    // interleaved back into 20 consecutive pixels.
    const uint32_t groups = src_width / 4, blocks = groups / 4, rest = groups % 4;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t b = 0; b < blocks; ++b, src += 16, dst += 20) {
            const __m128i g0 = load(src), g1 = load(src + 4), g2 = load(src + 8), g3 = load(src + 12);
            const __m128i t0 = _mm_unpacklo_epi32(g0, g1), t1 = _mm_unpacklo_epi32(g2, g3);
            const __m128i t2 = _mm_unpackhi_epi32(g0, g1), t3 = _mm_unpackhi_epi32(g2, g3);
            const __m128i s0 = _mm_unpacklo_epi64(t0, t1), s1 = _mm_unpackhi_epi64(t0, t1);
            const __m128i s2 = _mm_unpacklo_epi64(t2, t3), s3 = _mm_unpackhi_epi64(t2, t3);
            const __m128i o1 = _mm_sub_epi32(_mm_add_epi32(quarter(s0), s1), quarter(s1));
            const __m128i o2 = mean(s1, s2);
            const __m128i o3 = _mm_add_epi32(_mm_sub_epi32(s2, quarter(s2)), quarter(s3));
            // Output pixel 5g + k is column k (s0, o1, o2, o3, s3) of group g.
            store(dst, _mm_unpacklo_epi64(_mm_unpacklo_epi32(s0, o1), _mm_unpacklo_epi32(o2, o3)));
            store(dst + 4, pick<0, 3, 2, 3>(_mm_unpacklo_epi32(s3, s0), _mm_unpacklo_epi32(o1, o2)));
            store(dst + 8, pick<2, 3, 0, 1>(_mm_unpacklo_epi32(o3, s3), _mm_unpackhi_epi32(s0, o1)));
            store(dst + 12, pick<0, 1, 0, 3>(_mm_unpackhi_epi32(o2, o3), _mm_unpackhi_epi32(s3, s0)));
            store(dst + 16, pick<2, 3, 2, 3>(_mm_unpackhi_epi32(o1, o2), _mm_unpackhi_epi32(o3, s3)));
        }
        reference_filter_cols_5_4(src, dst, rest * 4, 1, 0, 0);
        src += rest * 4 + src_width % 4 + src_skip;
        dst += rest * 5 + dst_skip;
    }
}

void filter_cols_4_3(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows, uint32_t src_skip,
                     uint32_t dst_skip)
{
    // One triple a, b, c per register, its channels widened to 16 bits: the weights are
    // x 256 (a copy), x 85 and x 171, each product shifted down on its own. Lanes of the
    // unused top byte get weight 0 in the new pixels, as in the definition. The fourth
    // pixel loaded with a triple is the next triple's a, or the pixel copied after the
    // groups (see the reference for where it comes from).
    const uint32_t groups = src_width / 9;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights_a = _mm_setr_epi16(256, 256, 256, 256, 85, 85, 85, 0);
    const __m128i weights_b_first = _mm_setr_epi16(0, 0, 0, 0, 171, 171, 171, 0);
    const __m128i weights_b_second = _mm_setr_epi16(171, 171, 171, 0, 0, 0, 0, 0);
    const __m128i weights_c = _mm_setr_epi16(85, 85, 85, 0, 256, 256, 256, 256);
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t t = 0; t < groups * 3; ++t, src += 3, dst += 4) {
            const __m128i p = load(src);
            const __m128i ab = _mm_unpacklo_epi8(p, zero), cn = _mm_unpacklo_epi8(_mm_srli_si128(p, 8), zero);
            const __m128i aa = _mm_unpacklo_epi64(ab, ab), bb = _mm_unpackhi_epi64(ab, ab);
            const __m128i cc = _mm_unpacklo_epi64(cn, cn);
            const __m128i first = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(aa, weights_a), 8),
                                                _mm_srli_epi16(_mm_mullo_epi16(bb, weights_b_first), 8));
            const __m128i second = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(bb, weights_b_second), 8),
                                                 _mm_srli_epi16(_mm_mullo_epi16(cc, weights_c), 8));
            store(dst, _mm_packus_epi16(first, second));
        }
        if (src_width) {
            *dst++ = *src++;
            src += src_width % 9 ? src_width % 9 - 1 : 0;
        }
        src += src_skip;
        dst += dst_skip;
    }
}

void filter_cols_3_2(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows, uint32_t src_skip,
                     uint32_t dst_skip)
{
    // One group of four pairs a, b per iteration: the four means come from the a and b
    // lanes gathered into two registers, then are interleaved as a, mean, b.
    const uint32_t groups = src_width / 8;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t g = 0; g < groups; ++g, src += 8, dst += 12) {
            const __m128i x = load(src), y = load(src + 4);
            const __m128i m = mean(pick<0, 2, 0, 2>(x, y), pick<1, 3, 1, 3>(x, y));
            store(dst, pick<0, 1, 1, 2>(_mm_unpacklo_epi32(x, m), x));
            store(dst + 4, pick<0, 2, 0, 2>(pick<1, 1, 3, 3>(m, x), pick<0, 0, 2, 2>(y, m)));
            store(dst + 8, pick<1, 2, 2, 3>(y, _mm_unpackhi_epi32(m, y)));
        }
        src += src_width - groups * 8 + src_skip;
        dst += dst_skip;
    }
}

void filter_cols_15_8(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows, uint32_t src_skip,
                      uint32_t dst_skip)
{
    // Blocks of four groups of 8, transposed so that register k holds source pixel k of
    // each group: all 15 output columns are then lane-wise sums without a shuffle, and
    // four transposes put them back as four runs of pixels per group (the last run,
    // columns 11..14, overlaps the third by one pixel of the same value). Shuffles are
    // what limit the two steps done one after the other; this needs about half as many.
    // The block reads all its 32 pixels before it writes.
    const uint32_t groups = src_width / 8, blocks = groups / 4, rest = groups % 4;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t b = 0; b < blocks; ++b, src += 32, dst += 60) {
            __m128i c[8];
            transpose(load(src), load(src + 8), load(src + 16), load(src + 24), c);
            transpose(load(src + 4), load(src + 12), load(src + 20), load(src + 28), c + 4);
            // The 3/2 step: pixels a, mean, b of each pair.
            __m128i w[12];
            for (int t = 0; t < 4; ++t) {
                w[3 * t] = c[2 * t];
                w[3 * t + 1] = mean(c[2 * t], c[2 * t + 1]);
                w[3 * t + 2] = c[2 * t + 1];
            }
            // The 5/4 step on its three groups s0..s3.
            __m128i o[15];
            for (int j = 0; j < 3; ++j) {
                const __m128i s0 = w[4 * j], s1 = w[4 * j + 1], s2 = w[4 * j + 2], s3 = w[4 * j + 3];
                o[5 * j] = s0;
                o[5 * j + 1] = _mm_sub_epi32(_mm_add_epi32(quarter(s0), s1), quarter(s1));
                o[5 * j + 2] = mean(s1, s2);
                o[5 * j + 3] = _mm_add_epi32(_mm_sub_epi32(s2, quarter(s2)), quarter(s3));
                o[5 * j + 4] = s3;
            }
            __m128i run[4][4];
            transpose(o[0], o[1], o[2], o[3], run[0]);
            transpose(o[4], o[5], o[6], o[7], run[1]);
            transpose(o[8], o[9], o[10], o[11], run[2]);
            transpose(o[11], o[12], o[13], o[14], run[3]);
            for (int g = 0; g < 4; ++g) {
                store(dst + 15 * g, run[0][g]);
                store(dst + 15 * g + 4, run[1][g]);
                store(dst + 15 * g + 8, run[2][g]);
                store(dst + 15 * g + 11, run[3][g]);
            }
        }
        reference_filter_cols_15_8(src, dst, rest * 8, 1, 0, 0);
        src += rest * 8 + src_width % 8 + src_skip;
        dst += rest * 15 + dst_skip;
    }
}

#else // portable build: each scaler is its reference definition

#define KORVEL_REFERENCE_SCALER(name)                                                                  \
    void name(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows, uint32_t src_skip,    \
              uint32_t dst_step)                                                                     \
    {                                                                                                  \
        reference_##name(src, dst, width, rows, src_skip, dst_step);                                   \
    }
KORVEL_REFERENCE_SCALER(filter_rows_x3_scanlines)
KORVEL_REFERENCE_SCALER(filter_rows_x2_blend)
KORVEL_REFERENCE_SCALER(filter_rows_x2)
KORVEL_REFERENCE_SCALER(filter_cols_5_4)
KORVEL_REFERENCE_SCALER(filter_cols_4_3)
KORVEL_REFERENCE_SCALER(filter_cols_3_2)
KORVEL_REFERENCE_SCALER(filter_cols_15_8)
#undef KORVEL_REFERENCE_SCALER

#endif
