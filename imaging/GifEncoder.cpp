// SPDX-License-Identifier: MIT
#include "imaging/GifEncoder.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <memory>
#include <vector>

namespace {

struct LiqAttrDeleter
{
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqImageDeleter
{
    void operator()(liq_image* p) const { liq_image_destroy(p); }
};
struct LiqResultDeleter
{
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
struct GifFileDeleter
{
    void operator()(GifFileType* p) const
    {
        int error = 0;
        EGifCloseFile(p, &error);
    }
};
struct ColorMapDeleter
{
    void operator()(ColorMapObject* p) const { GifFreeMapObject(p); }
};

using LiqAttr = std::unique_ptr<liq_attr, LiqAttrDeleter>;
using LiqImage = std::unique_ptr<liq_image, LiqImageDeleter>;
using LiqResult = std::unique_ptr<liq_result, LiqResultDeleter>;
using GifFile = std::unique_ptr<GifFileType, GifFileDeleter>;
using ColorMap = std::unique_ptr<ColorMapObject, ColorMapDeleter>;

constexpr int kMaxGifSide = 65535;

int WriteToByteArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

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
    const QImage rgba = ToBinaryAlpha(image);
    const int width = rgba.width();
    const int height = rgba.height();

    LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return {};
    // liq_image_create_rgba wants one contiguous bitmap; QImage rows may be padded.
    std::vector<void*> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    LiqImage liqImage(liq_image_create_rgba_rows(attr.get(), rows.data(), width, height, 0));
    if (!liqImage)
        return {};
    liq_result* rawResult = nullptr;
    if (liq_image_quantize(liqImage.get(), attr.get(), &rawResult) != LIQ_OK || !rawResult)
        return {};
    LiqResult result(rawResult);
    liq_set_dithering_level(result.get(), 1.0f);

    std::vector<GifByteType> indices(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (liq_write_remapped_image(result.get(), liqImage.get(), indices.data(), indices.size()) != LIQ_OK)
        return {};
    const liq_palette* palette = liq_get_palette(result.get());
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
    for (int y = 0; y < height; ++y) {
        if (EGifPutLine(gif.get(), indices.data() + static_cast<size_t>(y) * width, width) == GIF_ERROR)
            return {};
    }
    // Closing writes the trailer; it frees the handle whether or not it succeeds.
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR)
        return {};
    return bytes;
}
