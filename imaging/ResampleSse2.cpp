// SPDX-License-Identifier: MIT
// Resample's inner loops with SSE2, four pixels or four taps at a time.
#include "imaging/ResampleSse2.h"

namespace resample {
namespace {

void AddRow(const std::uint8_t* line, std::uint16_t* sums, int bytes)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i));
        auto* s = reinterpret_cast<__m128i*>(sums + i);
        _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(v, zero)));
        _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(v, zero)));
    }
    for (; i < bytes; ++i)
        sums[i] = std::uint16_t(sums[i] + line[i]);
}

// The four channels at once, divided as the scalar mean divides them.
std::uint32_t BlockMean(const std::uint16_t* sums, int columns, int n)
{
    __m128i total = _mm_set1_epi16(std::int16_t(n / 2));
    for (int x = 0; x < columns; ++x)
        total = _mm_add_epi16(total, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * x)));
    const __m128i mean
        = n == 1 ? total : _mm_mulhi_epu16(total, _mm_set1_epi16(std::int16_t((1u << 16) / n)));
    return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(mean, mean)));
}

int VerticalRow(const std::uint32_t* const* lines, const std::int16_t* w, int count, std::uint32_t* dst,
    int from, int width, bool premultiplied)
{
    const __m128i zero = _mm_setzero_si128();
    int x = from;
    for (; x + 4 <= width; x += 4) {
        __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        for (int k = 0; k < count; k += 2) {
            const bool pair = k + 1 < count;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k] + x));
            const __m128i b
                = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k + 1] + x)) : zero;
            const __m128i wp = WeightPair(w[k], pair ? w[k + 1] : 0);
            // Same channel of the two rows side by side, so one multiply-add takes both taps.
            const __m128i lo = _mm_unpacklo_epi8(a, b);
            const __m128i hi = _mm_unpackhi_epi8(a, b);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wp));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wp));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wp));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wp));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), Pack(s0, s1, s2, s3, premultiplied));
    }
    return x;
}

void HorizontalRow(
    const std::uint32_t* src, const TapsView& taps, int x0, std::uint32_t* dst, int width, bool premultiplied)
{
    for (int x = 0; x < width; ++x) {
        const __m128i s = HorizontalTaps(src + (taps.first[x] - x0),
            (taps.weights + std::size_t(x) * taps.stride), 0, taps.count[x], _mm_setzero_si128());
        dst[x] = PackOne(s, premultiplied);
    }
}

} // namespace

// Every x86-64 processor has SSE2.
const Kernels* Sse2Kernels()
{
    static const Kernels kernels {AddRow, BlockMean, VerticalRow, HorizontalRow};
    return &kernels;
}

// Asked here, in code built for any x86-64 processor, and on first use: a namespace-scope
// initializer could run before the processor's features are known. The block averaging and the
// vertical tails stay SSE2's.
const Kernels* Avx2Kernels()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    static const Kernels kernels {AddRow, BlockMean, VerticalRow, avx2::HorizontalRow, avx2::Widen,
        avx2::VerticalWide, avx2::kMaxWideTaps};
    return has ? &kernels : nullptr;
}

} // namespace resample
