// SPDX-License-Identifier: MIT
// Resample's inner loops with AVX2: eight taps of the horizontal pass at a time, and a vertical
// pass on rows widened to 16 bits. Compiled for AVX2 and called only where the processor has it;
// the check lives with the SSE2 kernels, which are built for every x86-64 processor.
#include "imaging/ResampleSse2.h"

#include <immintrin.h>

namespace resample {
namespace {

inline __m256i WideTap(__m256i sum, const std::int16_t* line, __m256i weight)
{
    return _mm256_add_epi16(
        sum, _mm256_mulhrs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(line)), weight));
}

// Blue and red, green and alpha sums of eight pixels back to bytes.
inline void StoreWide(__m256i even, __m256i odd, std::uint32_t* to, bool premultiplied)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i half = _mm256_set1_epi16(32);
    const __m256i top = _mm256_set1_epi16(255);
    even = _mm256_min_epi16(_mm256_max_epi16(_mm256_srai_epi16(_mm256_add_epi16(even, half), 6), zero), top);
    odd = _mm256_min_epi16(_mm256_max_epi16(_mm256_srai_epi16(_mm256_add_epi16(odd, half), 6), zero), top);
    if (premultiplied) {
        __m256i alpha = _mm256_srli_epi32(odd, 16);
        alpha = _mm256_or_si256(alpha, _mm256_slli_epi32(alpha, 16));
        even = _mm256_min_epi16(even, alpha);
        odd = _mm256_min_epi16(odd, alpha);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_or_si256(even, _mm256_slli_epi16(odd, 8)));
}

} // namespace

namespace avx2 {

// Each value shifted left by 7, so that a rounding 16-bit multiply by a weight keeps 6 fractional
// bits: blue and red of eight pixels, then green and alpha.
void Widen(const std::uint32_t* src, int blocks, std::int16_t* out)
{
    const __m256i mask = _mm256_set1_epi16(0x7F80);
    for (int b = 0; b < blocks; ++b) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 8 * b));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out + 32 * b), _mm256_and_si256(_mm256_slli_epi16(v, 7), mask));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out + 32 * b + 16), _mm256_and_si256(_mm256_srli_epi16(v, 1), mask));
    }
}

void VerticalWide(const std::int16_t* const* wide, const std::int16_t* w, int count, std::uint32_t* dst,
    int blocks, bool premultiplied)
{
    __m256i weights[kMaxWideTaps];
    for (int k = 0; k < count; ++k)
        weights[k] = _mm256_set1_epi16(w[k]);
    const __m256i zero = _mm256_setzero_si256();
    // Two blocks of eight pixels at a time, so each weight is loaded once for both.
    int b = 0;
    for (; b + 2 <= blocks; b += 2) {
        __m256i e0 = zero, o0 = zero, e1 = zero, o1 = zero;
        for (int k = 0; k < count; ++k) {
            const std::int16_t* line = wide[k] + 32 * b;
            e0 = WideTap(e0, line, weights[k]);
            o0 = WideTap(o0, line + 16, weights[k]);
            e1 = WideTap(e1, line + 32, weights[k]);
            o1 = WideTap(o1, line + 48, weights[k]);
        }
        StoreWide(e0, o0, dst + 8 * b, premultiplied);
        StoreWide(e1, o1, dst + 8 * b + 8, premultiplied);
    }
    if (b < blocks) {
        __m256i e0 = zero, o0 = zero;
        for (int k = 0; k < count; ++k) {
            e0 = WideTap(e0, wide[k] + 32 * b, weights[k]);
            o0 = WideTap(o0, wide[k] + 32 * b + 16, weights[k]);
        }
        StoreWide(e0, o0, dst + 8 * b, premultiplied);
    }
}

// Eight taps at a time: taps 0-3 in the low half of the vector, 4-7 in the high one.
void HorizontalRow(
    const std::uint32_t* src, const TapsView& taps, int x0, std::uint32_t* dst, int width, bool premultiplied)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i firstPairs = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i secondPairs = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = src + (taps.first[x] - x0);
        const std::int16_t* w = taps.weights + std::size_t(x) * taps.stride;
        const int count = taps.count[x];
        __m256i acc = zero;
        int k = 0;
        for (; k + 8 <= count; k += 8) {
            __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
            v = _mm256_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0));
            const __m256i pairs = _mm256_unpacklo_epi8(v, _mm256_srli_si256(v, 8));
            const __m256i weights
                = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k)));
            acc = _mm256_add_epi32(acc,
                _mm256_madd_epi16(
                    _mm256_unpacklo_epi8(pairs, zero), _mm256_permutevar8x32_epi32(weights, firstPairs)));
            acc = _mm256_add_epi32(acc,
                _mm256_madd_epi16(
                    _mm256_unpackhi_epi8(pairs, zero), _mm256_permutevar8x32_epi32(weights, secondPairs)));
        }
        const __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        dst[x] = PackOne(HorizontalTaps(p, w, k, count, s), premultiplied);
    }
}

} // namespace avx2
} // namespace resample
