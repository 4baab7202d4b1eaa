// SPDX-License-Identifier: MIT
#pragma once

// SSE2 pieces shared by the SSE2 and the AVX2 kernels. Included only by their files, each
// compiled for its own instruction set, so every function here has internal linkage: a copy
// built for AVX2 can never stand in for the SSE2 one.

#include "imaging/ResampleKernels.h"

#include <cstring>
#include <emmintrin.h>

namespace resample {
namespace {

inline __m128i WeightPair(int a, int b)
{
    return _mm_set1_epi32(int(std::uint32_t(std::uint16_t(a)) | std::uint32_t(std::uint16_t(b)) << 16));
}

// Taps k and k + 1 as one 32-bit lane: adjacent weights in memory already are.
inline __m128i WeightPairAt(const std::int16_t* w)
{
    std::int32_t pair;
    std::memcpy(&pair, w, sizeof pair);
    return _mm_set1_epi32(pair);
}

// Four 32-bit sums per pixel (one per channel) to four pixels of bytes.
inline __m128i Pack(__m128i s0, __m128i s1, __m128i s2, __m128i s3, bool premultiplied)
{
    const __m128i half = _mm_set1_epi32(kHalf);
    s0 = _mm_srai_epi32(_mm_add_epi32(s0, half), kBits);
    s1 = _mm_srai_epi32(_mm_add_epi32(s1, half), kBits);
    s2 = _mm_srai_epi32(_mm_add_epi32(s2, half), kBits);
    s3 = _mm_srai_epi32(_mm_add_epi32(s3, half), kBits);
    __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3));
    if (premultiplied) {
        __m128i alpha = _mm_srli_epi32(bytes, 24);
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
        bytes = _mm_min_epu8(bytes, alpha);
    }
    return bytes;
}

// Adds taps k .. count - 1 of one output pixel, four, two and one at a time.
inline __m128i HorizontalTaps(const std::uint32_t* p, const std::int16_t* w, int k, int count, __m128i s)
{
    const __m128i zero = _mm_setzero_si128();
    for (; k + 4 <= count; k += 4) {
        // p0 p1 p2 p3 -> p0 p2 p1 p3, then bytes of p0/p1 and of p2/p3 interleaved.
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        v = _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0));
        const __m128i pairs = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 8));
        s = _mm_add_epi32(s, _mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), WeightPairAt(w + k)));
        s = _mm_add_epi32(s, _mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), WeightPairAt(w + k + 2)));
    }
    for (; k + 2 <= count; k += 2) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k));
        const __m128i pairs = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 4));
        s = _mm_add_epi32(s, _mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), WeightPairAt(w + k)));
    }
    if (k < count) {
        const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(p[k])), zero);
        s = _mm_add_epi32(s, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), WeightPair(w[k], 0)));
    }
    return s;
}

// One pixel's four channel sums to its 32 bits.
inline std::uint32_t PackOne(__m128i s, bool premultiplied)
{
    const __m128i zero = _mm_setzero_si128();
    return std::uint32_t(_mm_cvtsi128_si32(Pack(s, zero, zero, zero, premultiplied)));
}

} // namespace
} // namespace resample
