// SPDX-License-Identifier: MIT
#pragma once

// Inside Resample: the work of its inner loops, done once per instruction set. Each set lives in
// a file of its own, compiled for that set alone, and Resample takes the widest the processor
// runs. Not for use outside imaging/ and its tests.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <cstddef>
#include <cstdint>

namespace resample {

// Weights are fixed point with 14 fractional bits: a pixel times a weight sums in 32 bits with
// room to spare, and a weight fits the 16-bit lanes that SSE2 multiplies pairwise.
constexpr int kBits = 14;
constexpr int kOne = 1 << kBits;
constexpr int kHalf = kOne / 2;

/// The taps of one direction as the inner loops read them: for output pixel i, `count[i]` input
/// pixels from `first[i]` on, weighted by the `count[i]` values at `weights + i * stride`. Plain
/// pointers, so that the loops built for one instruction set share no inline code with the rest.
struct TapsView
{
    const int* first;
    const int* count;
    const std::int16_t* weights;
    int stride;
};

/// The inner loops of one instruction set. Pixels are 32 bits, four 8-bit channels.
struct Kernels
{
    /// Adds the `bytes` bytes of `line` to the 16-bit `sums`, one by one.
    void (*addRow)(const std::uint8_t* line, std::uint16_t* sums, int bytes);
    /// The rounded mean of `n` pixels whose channel sums over `columns` pixels start at `sums`.
    std::uint32_t (*blockMean)(const std::uint16_t* sums, int columns, int n);
    /// Output pixels `from` on of one row of the vertical pass, from the `count` rows in `lines`
    /// weighted by `w`; returns where it stopped (whole vectors only), the scalar set at `width`.
    int (*verticalRow)(const std::uint32_t* const* lines, const std::int16_t* w, int count,
        std::uint32_t* dst, int from, int width, bool premultiplied);
    /// One output row of the horizontal pass from `src`, a row that starts at column `x0`.
    void (*horizontalRow)(const std::uint32_t* src, const TapsView& taps, int x0, std::uint32_t* dst,
        int width, bool premultiplied);
    /// Where set, the vertical pass first widens each row to 16 bits once, in `blocks` of eight
    /// pixels, since a row serves several output rows; up to `maxWideTaps` taps.
    void (*widen)(const std::uint32_t* src, int blocks, std::int16_t* out) = nullptr;
    void (*verticalWide)(const std::int16_t* const* wide, const std::int16_t* w, int count,
        std::uint32_t* dst, int blocks, bool premultiplied)
        = nullptr;
    int maxWideTaps = 0;
};

const Kernels& ScalarKernels();
/// Null where the processor (or the build) lacks the instruction set.
const Kernels* Sse2Kernels();
const Kernels* Avx2Kernels();

// The AVX2 loops, for Avx2Kernels(). The vertical pass widens rows to 16 bits; up to
// kMaxWideTaps taps the rounding of each product cannot add up to a whole step, so flat areas
// stay exact.
namespace avx2 {
constexpr int kMaxWideTaps = 48;
void Widen(const std::uint32_t* src, int blocks, std::int16_t* out);
void VerticalWide(const std::int16_t* const* wide, const std::int16_t* w, int count, std::uint32_t* dst,
    int blocks, bool premultiplied);
void HorizontalRow(const std::uint32_t* src, const TapsView& taps, int x0, std::uint32_t* dst, int width,
    bool premultiplied);
} // namespace avx2

/// Resample with the given kernels instead of the best ones: for comparing them in tests.
QImage ResampleWith(const QImage& source, const QRectF& from, QSize size, const Kernels& kernels);

} // namespace resample
