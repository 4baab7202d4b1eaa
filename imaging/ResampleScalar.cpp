// SPDX-License-Identifier: MIT
// Resample's inner loops one value at a time: the tails the vectors leave, and every loop where
// the processor has no vectors.
#include "imaging/ResampleKernels.h"

#include <algorithm>

namespace resample {
namespace {

std::uint32_t Pack(const int s[4], bool premultiplied)
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

void Add(int s[4], std::uint32_t p, int w)
{
    for (int k = 0; k < 4; ++k)
        s[k] += int((p >> (8 * k)) & 0xFF) * w;
}

void AddRow(const std::uint8_t* line, std::uint16_t* sums, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        sums[i] = std::uint16_t(sums[i] + line[i]);
}

// Dividing by multiplying with 2^16 / n, rounded down, after adding n / 2: a division per channel
// would cost more than all the sums. Flat areas stay exact, and no colour exceeds its alpha.
std::uint32_t BlockMean(const std::uint16_t* sums, int columns, int n)
{
    std::uint32_t pixel = 0;
    for (int k = 0; k < 4; ++k) {
        std::uint32_t total = n / 2;
        for (int x = 0; x < columns; ++x)
            total += sums[4 * x + k];
        pixel |= (n == 1 ? total : (total * ((1u << 16) / n)) >> 16) << (8 * k);
    }
    return pixel;
}

int VerticalRow(const std::uint32_t* const* lines, const std::int16_t* w, int count, std::uint32_t* dst,
    int from, int width, bool premultiplied)
{
    for (int x = from; x < width; ++x) {
        int s[4] = {};
        for (int k = 0; k < count; ++k)
            Add(s, lines[k][x], w[k]);
        dst[x] = Pack(s, premultiplied);
    }
    return width;
}

void HorizontalRow(
    const std::uint32_t* src, const TapsView& taps, int x0, std::uint32_t* dst, int width, bool premultiplied)
{
    for (int x = 0; x < width; ++x) {
        int s[4] = {};
        for (int k = 0; k < taps.count[x]; ++k)
            Add(s, src[taps.first[x] - x0 + k], (taps.weights + std::size_t(x) * taps.stride)[k]);
        dst[x] = Pack(s, premultiplied);
    }
}

} // namespace

const Kernels& ScalarKernels()
{
    static const Kernels kernels {AddRow, BlockMean, VerticalRow, HorizontalRow};
    return kernels;
}

} // namespace resample
