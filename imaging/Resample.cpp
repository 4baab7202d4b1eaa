// SPDX-License-Identifier: MIT
#include "imaging/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Wider vectors where the processor has them, chosen at run time.
#if defined(__SSE2__) && defined(__GNUC__)
#define VELLMAR_RESAMPLE_AVX2 1
#include <immintrin.h>
#endif

namespace {

// Weights are fixed point with 14 fractional bits: a pixel times a weight sums in 32 bits with
// room to spare, and a weight fits the 16-bit lanes that SSE2 multiplies pairwise.
constexpr int kBits = 14;
constexpr int kOne = 1 << kBits;
constexpr int kHalf = kOne / 2;
constexpr double kLobes = 3.0;
// A table of weights larger than this means a degenerate request, not a picture.
constexpr std::size_t kMaxWeights = std::size_t(1) << 26;

// For every output pixel along one direction: the first input pixel it reads, how many, and
// their weights, which sum to exactly kOne so flat areas stay exact.
struct Taps
{
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::int16_t> weights; // `stride` per output pixel
    int stride = 0;
    int maxCount = 0;

    const std::int16_t* of(int i) const { return weights.data() + std::size_t(i) * stride; }
};

// Output pixel i is centred on input position start + (i + 0.5) * scale. The picture ends at its
// edges: taps past them are left out and the others reweighted, and a centre outside the picture
// moves onto the nearest edge.
bool MakeTaps(double start, double scale, int outSize, int inSize, Taps& taps)
{
    const double widen = std::min(std::max(scale, 1.0), double(inSize) + 1.0);
    const double radius = kLobes * widen;
    taps.stride = std::min(int(std::ceil(2 * radius)) + 2, inSize);
    if (std::size_t(taps.stride) * std::size_t(outSize) > kMaxWeights)
        return false;
    taps.first.assign(outSize, 0);
    taps.count.assign(outSize, 0);
    taps.weights.assign(std::size_t(taps.stride) * outSize, 0);
    std::vector<double> w(taps.stride);
    struct
    {
        double sin, cos;
    } const step1 {std::sin(std::numbers::pi / widen), std::cos(std::numbers::pi / widen)},
        step3 {std::sin(std::numbers::pi / widen / kLobes), std::cos(std::numbers::pi / widen / kLobes)};
    for (int i = 0; i < outSize; ++i) {
        const double center = std::clamp(start + (i + 0.5) * scale, 0.0, double(inSize));
        const int lo = std::max(0, int(std::ceil(center - radius - 0.5)));
        const int hi = std::min(inSize - 1, int(std::floor(center + radius - 0.5)));
        const int first = lo;
        const int n = hi - lo + 1;
        std::fill(w.begin(), w.end(), 0.0);
        double sum = 0;
        // sin(pi x) and sin(pi x / 3) advance tap by tap as rotations: two sines per output
        // pixel instead of two per tap.
        const double x0 = (lo + 0.5 - center) / widen;
        double s1 = std::sin(std::numbers::pi * x0);
        double c1 = std::cos(std::numbers::pi * x0);
        double s3 = std::sin(std::numbers::pi * x0 / kLobes);
        double c3 = std::cos(std::numbers::pi * x0 / kLobes);
        for (int j = lo; j <= hi; ++j) {
            const double x = (j + 0.5 - center) / widen;
            const double px = std::numbers::pi * x;
            const double v = std::abs(x) < 1e-9 ? 1.0
                : std::abs(x) >= kLobes         ? 0.0
                                                : kLobes * s1 * s3 / (px * px);
            w[j - first] = v;
            sum += v;
            const double t1 = s1 * step1.cos + c1 * step1.sin;
            c1 = c1 * step1.cos - s1 * step1.sin;
            s1 = t1;
            const double t3 = s3 * step3.cos + c3 * step3.sin;
            c3 = c3 * step3.cos - s3 * step3.sin;
            s3 = t3;
        }
        if (!(sum > 1e-9)) {
            std::fill(w.begin(), w.end(), 0.0);
            w[std::clamp(int(center), first, first + n - 1) - first] = sum = 1.0;
        }
        std::int16_t* q = taps.weights.data() + std::size_t(i) * taps.stride;
        int total = 0;
        for (int k = 0; k < n; ++k) {
            q[k] = std::int16_t(std::clamp(std::lround(w[k] / sum * kOne), -32768L, 32767L));
            total += q[k];
        }
        // Rounding may leave the sum a few units off; the largest weight absorbs it.
        std::int16_t* largest = std::max_element(q, q + n);
        *largest = std::int16_t(*largest + (kOne - total));
        // Trim weights that rounded to nothing at both ends.
        int begin = 0;
        int end = n;
        while (end - begin > 1 && q[begin] == 0)
            ++begin;
        while (end - begin > 1 && q[end - 1] == 0)
            --end;
        std::copy(q + begin, q + end, q);
        std::fill(q + (end - begin), q + taps.stride, std::int16_t(0));
        taps.first[i] = first + begin;
        taps.count[i] = end - begin;
        taps.maxCount = std::max(taps.maxCount, end - begin);
    }
    return true;
}

inline std::uint32_t PackScalar(const int s[4], bool premultiplied)
{
    int c[4];
    for (int k = 0; k < 4; ++k)
        c[k] = std::clamp((s[k] + kHalf) >> kBits, 0, 255);
    // Ringing may push a premultiplied colour above its alpha; it must not exceed it.
    if (premultiplied)
        for (int k = 0; k < 3; ++k)
            c[k] = std::min(c[k], c[3]);
    return std::uint32_t(c[0]) | std::uint32_t(c[1]) << 8 | std::uint32_t(c[2]) << 16
        | std::uint32_t(c[3]) << 24;
}

inline void AddScalar(int s[4], std::uint32_t p, int w)
{
    for (int k = 0; k < 4; ++k)
        s[k] += int((p >> (8 * k)) & 0xFF) * w;
}

#if defined(__SSE2__)
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
#endif

// Rows of the picture the filter reads. For large reductions these are averages of whole
// kx x ky blocks, made on demand into a ring of rows just large enough for one output row's
// taps, so the cheap averaging does most of the shrinking and no full-size copy is made.
class Rows
{
public:
    Rows(const QImage& source, int kx, int ky)
        : m_source(source)
        , m_kx(kx)
        , m_ky(ky)
        , m_width((source.width() + kx - 1) / kx)
        , m_height((source.height() + ky - 1) / ky)
    { }

    int width() const { return m_width; }
    int height() const { return m_height; }

    void reserve(int rows)
    {
        if (m_kx == 1 && m_ky == 1)
            return;
        m_slots = std::max(rows, 1);
        m_ring.assign(std::size_t(m_slots) * m_width, 0);
        m_held.assign(m_slots, -1);
        m_sums.assign(std::size_t(m_source.width()) * 4, 0);
    }

    // Rows are asked for in increasing windows no taller than the ring.
    const std::uint32_t* row(int j)
    {
        if (m_kx == 1 && m_ky == 1)
            return reinterpret_cast<const std::uint32_t*>(m_source.constScanLine(j));
        const int slot = j % m_slots;
        std::uint32_t* out = m_ring.data() + std::size_t(slot) * m_width;
        if (m_held[slot] != j) {
            average(j, out);
            m_held[slot] = j;
        }
        return out;
    }

private:
    // Blocks at the right and bottom edges may be partial; they average what they have.
    void average(int j, std::uint32_t* out)
    {
        const int w = m_source.width();
        const int y0 = j * m_ky;
        const int rows = std::min(m_ky, m_source.height() - y0);
        std::fill(m_sums.begin(), m_sums.end(), std::uint16_t(0));
        for (int r = 0; r < rows; ++r) {
            const auto* line = m_source.constScanLine(y0 + r);
            std::uint16_t* sum = m_sums.data();
            int i = 0;
#if defined(__SSE2__)
            const __m128i zero = _mm_setzero_si128();
            for (; i + 16 <= w * 4; i += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i));
                auto* s = reinterpret_cast<__m128i*>(sum + i);
                _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(v, zero)));
                _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(v, zero)));
            }
#endif
            for (; i < w * 4; ++i)
                sum[i] = std::uint16_t(sum[i] + line[i]);
        }
        // Dividing by multiplying with 2^16 / n, rounded down, after adding n / 2: a division per
        // channel would cost more than all the sums. Flat areas stay exact, and no colour
        // exceeds its alpha.
        for (int c = 0; c < m_width; ++c) {
            const int x0 = c * m_kx;
            const int cols = std::min(m_kx, w - x0);
            const int n = cols * rows;
            const std::uint16_t* sum = m_sums.data() + std::size_t(x0) * 4;
#if defined(__SSE2__)
            __m128i total = _mm_set1_epi16(std::int16_t(n / 2));
            for (int x = 0; x < cols; ++x)
                total = _mm_add_epi16(total, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sum + 4 * x)));
            const __m128i mean
                = n == 1 ? total : _mm_mulhi_epu16(total, _mm_set1_epi16(std::int16_t((1u << 16) / n)));
            out[c] = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(mean, mean)));
#else
            std::uint32_t pixel = 0;
            for (int k = 0; k < 4; ++k) {
                std::uint32_t total = n / 2;
                for (int x = 0; x < cols; ++x)
                    total += sum[4 * x + k];
                pixel |= (n == 1 ? total : (total * ((1u << 16) / n)) >> 16) << (8 * k);
            }
            out[c] = pixel;
#endif
        }
    }

    const QImage& m_source;
    const int m_kx;
    const int m_ky;
    const int m_width;
    const int m_height;
    int m_slots = 1;
    std::vector<std::uint32_t> m_ring;
    std::vector<int> m_held;
    std::vector<std::uint16_t> m_sums; // at most 8 rows of 255: fits 16 bits
};

// One output row from the `count` rows in `lines`; returns how many pixels it did, the rest is
// left to narrower code.
#if defined(__SSE2__)
int VerticalRowSse2(const std::uint32_t* const* lines, const std::int16_t* w, int count, std::uint32_t* dst,
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
#endif

#if defined(VELLMAR_RESAMPLE_AVX2)
// Asked on first use: a namespace-scope initializer could run before the processor's features
// are known.
bool HasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

// With AVX2 the vertical pass reads rows widened to 16 bits once, as every row serves several
// output rows: blue and red of eight pixels, then green and alpha, each value shifted left by 7
// so that a rounding 16-bit multiply by a weight keeps 6 fractional bits. Up to kMaxWideTaps
// taps the rounding of each product cannot add up to a whole step, so flat areas stay exact.
constexpr int kMaxWideTaps = 48;

__attribute__((target("avx2"))) void Widen(const std::uint32_t* src, int blocks, std::int16_t* out)
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

__attribute__((target("avx2"))) inline __m256i WideTap(__m256i sum, const std::int16_t* line, __m256i weight)
{
    return _mm256_add_epi16(
        sum, _mm256_mulhrs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(line)), weight));
}

// Blue and red, green and alpha sums of eight pixels back to bytes.
__attribute__((target("avx2"))) inline void StoreWide(
    __m256i even, __m256i odd, std::uint32_t* to, bool premultiplied)
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

__attribute__((target("avx2"))) void VerticalRowWide(const std::int16_t* const* wide, const std::int16_t* w,
    int count, std::uint32_t* dst, int blocks, bool premultiplied)
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
#endif

// The vertical pass, one output row at a time, over columns x0 .. x0 + width of the rows.
class Vertical
{
public:
    Vertical(Rows& rows, const Taps& taps, int x0, int width, bool wideVectors)
        : m_rows(rows)
        , m_taps(taps)
        , m_x0(x0)
        , m_width(width)
        , m_lines(taps.maxCount)
    {
#if defined(VELLMAR_RESAMPLE_AVX2)
        if (wideVectors && taps.maxCount <= kMaxWideTaps) {
            m_blocks = width / 8;
            m_slots = taps.maxCount;
            m_ring.assign(std::size_t(m_slots) * m_blocks * 32, 0);
            m_held.assign(m_slots, -1);
            m_wide.resize(taps.maxCount);
        }
#else
        (void)wideVectors;
#endif
    }

    void row(int y, std::uint32_t* dst, bool premultiplied)
    {
        const int count = m_taps.count[y];
        const std::int16_t* w = m_taps.of(y);
        for (int k = 0; k < count; ++k)
            m_lines[k] = m_rows.row(m_taps.first[y] + k) + m_x0;
        int x = 0;
#if defined(VELLMAR_RESAMPLE_AVX2)
        if (m_blocks > 0) {
            for (int k = 0; k < count; ++k)
                m_wide[k] = wide(m_taps.first[y] + k, m_lines[k]);
            VerticalRowWide(m_wide.data(), w, count, dst, m_blocks, premultiplied);
            x = 8 * m_blocks;
        }
#endif
#if defined(__SSE2__)
        x = VerticalRowSse2(m_lines.data(), w, count, dst, x, m_width, premultiplied);
#endif
        for (; x < m_width; ++x) {
            int s[4] = {};
            for (int k = 0; k < count; ++k)
                AddScalar(s, m_lines[k][x], w[k]);
            dst[x] = PackScalar(s, premultiplied);
        }
    }

private:
#if defined(VELLMAR_RESAMPLE_AVX2)
    // Rows are asked for in increasing windows no taller than the ring, as in Rows.
    const std::int16_t* wide(int j, const std::uint32_t* line)
    {
        const int slot = j % m_slots;
        std::int16_t* out = m_ring.data() + std::size_t(slot) * m_blocks * 32;
        if (m_held[slot] != j) {
            Widen(line, m_blocks, out);
            m_held[slot] = j;
        }
        return out;
    }

    int m_blocks = 0;
    int m_slots = 0;
    std::vector<std::int16_t> m_ring;
    std::vector<int> m_held;
    std::vector<const std::int16_t*> m_wide;
#endif
    Rows& m_rows;
    const Taps& m_taps;
    const int m_x0;
    const int m_width;
    std::vector<const std::uint32_t*> m_lines;
};

#if defined(__SSE2__)
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

void HorizontalRowSse2(
    const std::uint32_t* src, const Taps& taps, int x0, std::uint32_t* dst, int width, bool premultiplied)
{
    const __m128i zero = _mm_setzero_si128();
    for (int x = 0; x < width; ++x) {
        const __m128i s = HorizontalTaps(src + (taps.first[x] - x0), taps.of(x), 0, taps.count[x], zero);
        dst[x] = std::uint32_t(_mm_cvtsi128_si32(Pack(s, zero, zero, zero, premultiplied)));
    }
}
#endif

#if defined(VELLMAR_RESAMPLE_AVX2)
// Eight taps at a time: taps 0-3 in the low half of the vector, 4-7 in the high one.
__attribute__((target("avx2"))) void HorizontalRowAvx2(
    const std::uint32_t* src, const Taps& taps, int x0, std::uint32_t* dst, int width, bool premultiplied)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i firstPairs = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i secondPairs = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t* p = src + (taps.first[x] - x0);
        const std::int16_t* w = taps.of(x);
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
        __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        s = HorizontalTaps(p, w, k, count, s);
        const __m128i none = _mm_setzero_si128();
        dst[x] = std::uint32_t(_mm_cvtsi128_si32(Pack(s, none, none, none, premultiplied)));
    }
}
#endif

// One output row from `src`, a row that starts at column x0.
void HorizontalRow(const std::uint32_t* src, const Taps& taps, int x0, std::uint32_t* dst, int width,
    bool premultiplied, bool wideVectors)
{
#if defined(VELLMAR_RESAMPLE_AVX2)
    if (wideVectors) {
        HorizontalRowAvx2(src, taps, x0, dst, width, premultiplied);
        return;
    }
#else
    (void)wideVectors;
#endif
#if defined(__SSE2__)
    HorizontalRowSse2(src, taps, x0, dst, width, premultiplied);
#else
    for (int x = 0; x < width; ++x) {
        int s[4] = {};
        for (int k = 0; k < taps.count[x]; ++k)
            AddScalar(s, src[taps.first[x] - x0 + k], taps.of(x)[k]);
        dst[x] = PackScalar(s, premultiplied);
    }
#endif
}

// Averaging blocks first pays off from an 8x reduction on, where the filter would need more
// taps than the 16-bit vertical pass takes; it stops at 8 so the sums fit 16 bits, and always
// leaves at least a 2x reduction to the filter, which keeps the averaging's softening out of the
// frequencies the result can show.
int BlockFactor(double scale)
{
    return scale >= 8.0 ? std::min(8, int(scale / 2.0)) : 1;
}

} // namespace

QImage Resample(const QImage& source, const QRectF& from, QSize size, ResampleVectors vectors)
{
    if (source.isNull() || size.isEmpty() || !(from.width() > 0) || !(from.height() > 0)
        || !std::isfinite(from.x()) || !std::isfinite(from.y()) || !std::isfinite(from.right())
        || !std::isfinite(from.bottom()))
        return {};
    const bool premultiplied = source.hasAlphaChannel();
    const QImage::Format format = premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QImage input = source.format() == format ? source : source.convertToFormat(format);
    if (input.isNull())
        return {};
    if (size == input.size() && from == QRectF(QPointF(0, 0), QSizeF(input.size())))
        return input;

    const double sx = from.width() / size.width();
    const double sy = from.height() / size.height();
    const int kx = BlockFactor(sx);
    const int ky = BlockFactor(sy);
    Rows rows(input, kx, ky);
    Taps tx;
    Taps ty;
    if (!MakeTaps(from.x() / kx, sx / kx, size.width(), rows.width(), tx)
        || !MakeTaps(from.y() / ky, sy / ky, size.height(), rows.height(), ty))
        return {};
    rows.reserve(ty.maxCount);

    // Only the columns the horizontal pass reads go through the vertical one.
    int x0 = rows.width();
    int x1 = 0;
    for (int x = 0; x < size.width(); ++x) {
        x0 = std::min(x0, tx.first[x]);
        x1 = std::max(x1, tx.first[x] + tx.count[x]);
    }
    QImage out(size, format);
    if (out.isNull())
        return {};
    // Each row goes through both passes at once: the vertical pass's row stays in the cache
    // and no intermediate picture is made.
    std::vector<std::uint32_t> middle(x1 - x0);
#if defined(VELLMAR_RESAMPLE_AVX2)
    const bool wide = vectors == ResampleVectors::Best && HasAvx2();
#else
    const bool wide = false;
    (void)vectors;
#endif
    Vertical vertical(rows, ty, x0, x1 - x0, wide);
    for (int y = 0; y < size.height(); ++y) {
        vertical.row(y, middle.data(), premultiplied);
        HorizontalRow(middle.data(), tx, x0, reinterpret_cast<std::uint32_t*>(out.scanLine(y)), size.width(),
            premultiplied, wide);
    }
    return out;
}

QRectF SourceAreaFor(QSizeF extent, const QRectF& target, QSize size)
{
    if (!(target.width() > 0) || !(target.height() > 0))
        return {};
    const double fx = extent.width() / target.width();
    const double fy = extent.height() / target.height();
    return QRectF(-target.x() * fx, -target.y() * fy, size.width() * fx, size.height() * fy);
}
