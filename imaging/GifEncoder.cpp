// SPDX-License-Identifier: MIT
#include "imaging/GifEncoder.h"

#include "app/core/UniqueHandle.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

namespace {

void CloseGif(GifFileType* gif)
{
    int error = 0;
    EGifCloseFile(gif, &error);
}

using LiqAttr = UniqueHandle<liq_attr, liq_attr_destroy>;
using LiqImage = UniqueHandle<liq_image, liq_image_destroy>;
using LiqResult = UniqueHandle<liq_result, liq_result_destroy>;
using GifFile = UniqueHandle<GifFileType, CloseGif>;
using ColorMap = UniqueHandle<ColorMapObject, GifFreeMapObject>;

constexpr int kMaxGifSide = 65535;

int WriteToByteArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// Below the quantiser's low-memory threshold (2^26 bytes of four-float pixels), with room to spare.
constexpr qint64 kMaxLiqPixels = qint64(1) << 21;

// Every n-th pixel of every n-th row, n chosen so the copy stays under kMaxLiqPixels.
QImage SampleForPalette(const QImage& rgba)
{
    const double step = std::sqrt(double(rgba.width()) * rgba.height() / double(kMaxLiqPixels));
    const int w = std::max(1, static_cast<int>(rgba.width() / step));
    const int h = std::max(1, static_cast<int>(rgba.height() / step));
    return rgba.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The nearest opaque palette entry of every colour, found once per 4 x 4 x 4 cell that is used.
class NearestColour
{
public:
    explicit NearestColour(const liq_palette& palette)
        : m_palette(palette)
        , m_cells(64 * 64 * 64, -1)
    { }

    int Of(int r, int g, int b)
    {
        int& cell = m_cells[static_cast<size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2))];
        if (cell < 0)
            cell = Search(r | 2, g | 2, b | 2);
        return cell;
    }

private:
    int Search(int r, int g, int b) const
    {
        int best = 0;
        int bestDistance = INT_MAX;
        for (unsigned i = 0; i < m_palette.count; ++i) {
            const liq_color& c = m_palette.entries[i];
            if (c.a < 128)
                continue;
            const int dr = c.r - r, dg = c.g - g, db = c.b - b;
            const int distance = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int>(i);
            }
        }
        return best;
    }

    const liq_palette& m_palette;
    std::vector<int> m_cells;
};

// Floyd-Steinberg error diffusion onto a fixed palette, row after row, in alternating directions
// so no drift builds up along the rows. Transparent pixels take the palette's transparent entry
// and pass no error on. Only two rows of errors are kept, so a picture is remapped as it is written.
class DitherRemapper
{
public:
    DitherRemapper(const liq_palette& palette, int width)
        : m_palette(palette)
        , m_nearest(palette)
        , m_width(width)
        , m_current(static_cast<size_t>(width + 2) * 3, 0)
        , m_next(m_current.size(), 0)
    {
        for (unsigned i = 0; i < palette.count; ++i) {
            if (palette.entries[i].a < 128) {
                m_transparent = static_cast<int>(i);
                break;
            }
        }
    }

    // Row `y` of RGBA pixels into palette indices.
    void Row(const uchar* line, int y, GifByteType* out)
    {
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        std::fill(m_next.begin(), m_next.end(), 0);
        for (int i = 0; i < m_width; ++i) {
            const int x = leftToRight ? i : m_width - 1 - i;
            const uchar* p = line + 4 * x;
            if (p[3] < 128) {
                out[x] = static_cast<GifByteType>(m_transparent);
                continue;
            }
            int* err = &m_current[static_cast<size_t>(x + 1) * 3];
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(p[c] + err[c] / 16, 0, 255);
            const int index = m_nearest.Of(want[0], want[1], want[2]);
            out[x] = static_cast<GifByteType>(index);
            const liq_color& got = m_palette.entries[index];
            const int diff[3] = {want[0] - got.r, want[1] - got.g, want[2] - got.b};
            int* ahead = &m_current[static_cast<size_t>(x + 1 + step) * 3];
            int* below = &m_next[static_cast<size_t>(x + 1) * 3];
            for (int c = 0; c < 3; ++c) {
                ahead[c] += diff[c] * 7;
                below[c - 3 * step] += diff[c] * 3;
                below[c] += diff[c] * 5;
                below[c + 3 * step] += diff[c];
            }
        }
        std::swap(m_current, m_next);
    }

private:
    const liq_palette& m_palette;
    NearestColour m_nearest;
    int m_width;
    int m_transparent = 0;
    // Errors of this row and the next, in 1/16 units, with a pixel of margin on each side.
    std::vector<int> m_current;
    std::vector<int> m_next;
};

// GIF stores one bit of transparency: everything under half opacity becomes one fully
// transparent colour, the rest opaque, so the quantiser spends its palette on real colours.
QImage ToBinaryAlpha(const QImage& image)
{
    QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (!image.hasAlphaChannel())
        return rgba;
    for (int y = 0; y < rgba.height(); ++y) {
        uchar* p = rgba.scanLine(y);
        for (int x = 0; x < rgba.width(); ++x, p += 4) {
            if (p[3] < 128)
                p[0] = p[1] = p[2] = p[3] = 0;
            else
                p[3] = 255;
        }
    }
    return rgba;
}

} // namespace

QByteArray EncodeGif(const QImage& image)
{
    if (image.isNull() || image.width() > kMaxGifSide || image.height() > kMaxGifSide)
        return {};
    const int width = image.width();
    const int height = image.height();

    LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return {};
    // The quantiser switches to a low-memory path for pictures above about four million pixels
    // and leaks a row buffer there on every call. So it never sees more than kMaxLiqPixels: a
    // larger picture gets its palette from an evenly sampled copy (nearest pixels, so exact
    // colours and the one-bit alpha survive) and is remapped here band by band while it is
    // written, so it is never held twice.
    const bool direct = qint64(width) * height <= kMaxLiqPixels;
    const QImage sample = ToBinaryAlpha(direct ? image : SampleForPalette(image));
    LiqImage liqImage(liq_image_create_rgba(
        attr.get(), const_cast<uchar*>(sample.constBits()), sample.width(), sample.height(), 0));
    if (!liqImage)
        return {};
    liq_result* rawResult = nullptr;
    if (liq_image_quantize(liqImage.get(), attr.get(), &rawResult) != LIQ_OK || !rawResult)
        return {};
    LiqResult result(rawResult);
    liq_set_dithering_level(result.get(), 1.0f);

    std::vector<GifByteType> indices;
    const liq_palette* palette = nullptr;
    if (direct) {
        indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        if (liq_write_remapped_image(result.get(), liqImage.get(), indices.data(), indices.size()) != LIQ_OK)
            return {};
        // Remapping refines the palette; the indices refer to the refined one.
        palette = liq_get_palette(result.get());
    } else {
        palette = liq_get_palette(result.get());
    }
    if (!palette || palette->count == 0)
        return {};

    // A GIF colour table has a power-of-two size of at least 2 entries.
    int tableSize = 2;
    while (tableSize < static_cast<int>(palette->count))
        tableSize *= 2;
    ColorMap colorMap(GifMakeMapObject(tableSize, nullptr));
    if (!colorMap)
        return {};
    int transparentIndex = -1;
    for (int i = 0; i < tableSize; ++i) {
        GifColorType& entry = colorMap->Colors[i];
        if (i < static_cast<int>(palette->count)) {
            const liq_color& c = palette->entries[i];
            entry = {c.r, c.g, c.b};
            if (c.a < 128 && transparentIndex < 0)
                transparentIndex = i;
        } else {
            entry = {0, 0, 0};
        }
    }

    QByteArray bytes;
    int error = 0;
    GifFile gif(EGifOpen(&bytes, WriteToByteArray, &error));
    if (!gif)
        return {};
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, colorMap.get()) == GIF_ERROR)
        return {};
    if (transparentIndex >= 0) {
        GraphicsControlBlock control {};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.DelayTime = 0;
        control.TransparentColor = transparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension)
            == GIF_ERROR)
            return {};
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) == GIF_ERROR)
        return {};
    if (direct) {
        for (int y = 0; y < height; ++y) {
            if (EGifPutLine(gif.get(), indices.data() + static_cast<size_t>(y) * width, width) == GIF_ERROR)
                return {};
        }
    } else {
        constexpr int kBandRows = 64;
        DitherRemapper remap(*palette, width);
        std::vector<GifByteType> row(static_cast<size_t>(width));
        for (int top = 0; top < height; top += kBandRows) {
            const QImage band = ToBinaryAlpha(image.copy(0, top, width, std::min(kBandRows, height - top)));
            for (int y = 0; y < band.height(); ++y) {
                remap.Row(band.constScanLine(y), top + y, row.data());
                if (EGifPutLine(gif.get(), row.data(), width) == GIF_ERROR)
                    return {};
            }
        }
    }
    // Closing writes the trailer; it frees the handle whether or not it succeeds.
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR)
        return {};
    return bytes;
}
