// SPDX-License-Identifier: MIT
// Resampling itself: the filter's taps, the block averaging, the two passes and the choice of
// the instruction set their inner loops run in (ResampleKernels.h).
#include "imaging/Resample.h"

#include "imaging/ResampleKernels.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace resample {
namespace {

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
    TapsView view() const { return {first.data(), count.data(), weights.data(), stride}; }
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

// Rows of the picture the filter reads. For large reductions these are averages of whole
// kx x ky blocks, made on demand into a ring of rows just large enough for one output row's
// taps, so the cheap averaging does most of the shrinking and no full-size copy is made.
class Rows
{
public:
    Rows(const QImage& source, int kx, int ky, const Kernels& kernels)
        : m_source(source)
        , m_kernels(kernels)
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
        for (int r = 0; r < rows; ++r)
            m_kernels.addRow(m_source.constScanLine(y0 + r), m_sums.data(), w * 4);
        for (int c = 0; c < m_width; ++c) {
            const int x0 = c * m_kx;
            const int cols = std::min(m_kx, w - x0);
            out[c] = m_kernels.blockMean(m_sums.data() + std::size_t(x0) * 4, cols, cols * rows);
        }
    }

    const QImage& m_source;
    const Kernels& m_kernels;
    const int m_kx;
    const int m_ky;
    const int m_width;
    const int m_height;
    int m_slots = 1;
    std::vector<std::uint32_t> m_ring;
    std::vector<int> m_held;
    std::vector<std::uint16_t> m_sums; // at most 8 rows of 255: fits 16 bits
};

// The vertical pass, one output row at a time, over columns x0 .. x0 + width of the rows.
class Vertical
{
public:
    Vertical(Rows& rows, const Taps& taps, int x0, int width, const Kernels& kernels)
        : m_rows(rows)
        , m_taps(taps)
        , m_kernels(kernels)
        , m_x0(x0)
        , m_width(width)
        , m_lines(taps.maxCount)
    {
        if (kernels.widen && taps.maxCount <= kernels.maxWideTaps) {
            m_blocks = width / 8;
            m_slots = taps.maxCount;
            m_ring.assign(std::size_t(m_slots) * m_blocks * 32, 0);
            m_held.assign(m_slots, -1);
            m_wide.resize(taps.maxCount);
        }
    }

    void row(int y, std::uint32_t* dst, bool premultiplied)
    {
        const int count = m_taps.count[y];
        const std::int16_t* w = m_taps.of(y);
        for (int k = 0; k < count; ++k)
            m_lines[k] = m_rows.row(m_taps.first[y] + k) + m_x0;
        int x = 0;
        if (m_blocks > 0) {
            for (int k = 0; k < count; ++k)
                m_wide[k] = wide(m_taps.first[y] + k, m_lines[k]);
            m_kernels.verticalWide(m_wide.data(), w, count, dst, m_blocks, premultiplied);
            x = 8 * m_blocks;
        }
        x = m_kernels.verticalRow(m_lines.data(), w, count, dst, x, m_width, premultiplied);
        ScalarKernels().verticalRow(m_lines.data(), w, count, dst, x, m_width, premultiplied);
    }

private:
    // Rows are asked for in increasing windows no taller than the ring, as in Rows.
    const std::int16_t* wide(int j, const std::uint32_t* line)
    {
        const int slot = j % m_slots;
        std::int16_t* out = m_ring.data() + std::size_t(slot) * m_blocks * 32;
        if (m_held[slot] != j) {
            m_kernels.widen(line, m_blocks, out);
            m_held[slot] = j;
        }
        return out;
    }

    Rows& m_rows;
    const Taps& m_taps;
    const Kernels& m_kernels;
    const int m_x0;
    const int m_width;
    std::vector<const std::uint32_t*> m_lines;
    int m_blocks = 0;
    int m_slots = 0;
    std::vector<std::int16_t> m_ring;
    std::vector<int> m_held;
    std::vector<const std::int16_t*> m_wide;
};

// Averaging blocks first pays off from an 8x reduction on, where the filter would need more
// taps than the 16-bit vertical pass takes; it stops at 8 so the sums fit 16 bits, and always
// leaves at least a 2x reduction to the filter, which keeps the averaging's softening out of the
// frequencies the result can show.
int BlockFactor(double scale)
{
    return scale >= 8.0 ? std::min(8, int(scale / 2.0)) : 1;
}

} // namespace

QImage ResampleWith(const QImage& source, const QRectF& from, QSize size, const Kernels& kernels)
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
    Rows rows(input, kx, ky, kernels);
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
    Vertical vertical(rows, ty, x0, x1 - x0, kernels);
    const TapsView horizontal = tx.view();
    for (int y = 0; y < size.height(); ++y) {
        vertical.row(y, middle.data(), premultiplied);
        kernels.horizontalRow(middle.data(), horizontal, x0,
            reinterpret_cast<std::uint32_t*>(out.scanLine(y)), size.width(), premultiplied);
    }
    return out;
}

} // namespace resample

QImage Resample(const QImage& source, const QRectF& from, QSize size)
{
    static const resample::Kernels& best = resample::Avx2Kernels() ? *resample::Avx2Kernels()
        : resample::Sse2Kernels()                                  ? *resample::Sse2Kernels()
                                                                   : resample::ScalarKernels();
    return resample::ResampleWith(source, from, size, best);
}

QRectF SourceAreaFor(QSizeF extent, const QRectF& target, QSize size)
{
    if (!(target.width() > 0) || !(target.height() > 0))
        return {};
    const double fx = extent.width() / target.width();
    const double fy = extent.height() / target.height();
    return QRectF(-target.x() * fx, -target.y() * fy, size.width() * fx, size.height() * fy);
}
