// SPDX-License-Identifier: MIT
#include "imaging/WebpCodec.h"

#include "app/core/UniqueHandle.h"
#include "imaging/LibraryDecoders.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <cstring>
#include <memory>

namespace {

// Qt's 32-bit pixels are blue, green, red, alpha in memory on little-endian machines.
constexpr WEBP_CSP_MODE kQtOrder = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;

class WebpDecoder final : public LibraryDecoder
{
public:
    using LibraryDecoder::LibraryDecoder;

    bool Open() override
    {
        const VP8StatusCode status = WebPGetFeatures(Bytes(), Length(), &m_features);
        if (status != VP8_STATUS_OK)
            return Fail(Problem(status));
        return true;
    }

    QSize Size() const override { return QSize(m_features.width, m_features.height); }

    QImage Decode(QSize wanted, bool) override
    {
        if (m_features.has_animation)
            return FirstFrame();
        // WebP scales while it decodes, so a small picture never needs the large one's memory.
        const QSize size = wanted.isEmpty() || wanted == Size() ? Size() : wanted;
        QImage image(size, m_features.has_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull()) {
            Fail(QStringLiteral("not enough memory for the WebP picture"));
            return {};
        }
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config)) {
            Fail(QStringLiteral("the WebP library cannot be used"));
            return {};
        }
        if (size != Size()) {
            config.options.use_scaling = 1;
            config.options.scaled_width = size.width();
            config.options.scaled_height = size.height();
        }
        config.output.colorspace = kQtOrder;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = image.bits();
        config.output.u.RGBA.stride = static_cast<int>(image.bytesPerLine());
        config.output.u.RGBA.size = static_cast<size_t>(image.sizeInBytes());
        const VP8StatusCode status = WebPDecode(Bytes(), Length(), &config);
        WebPFreeDecBuffer(&config.output);
        if (status != VP8_STATUS_OK) {
            Fail(Problem(status));
            return {};
        }
        return image;
    }

private:
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(m_file.data()); }
    size_t Length() const { return static_cast<size_t>(m_file.size()); }

    static QString Problem(VP8StatusCode status)
    {
        switch (status) {
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return QStringLiteral("the WebP file is cut short");
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return QStringLiteral("the WebP file uses a feature that cannot be decoded");
        case VP8_STATUS_OUT_OF_MEMORY:
            return QStringLiteral("not enough memory for the WebP picture");
        default:
            return QStringLiteral("the WebP file is damaged");
        }
    }

    // An animation shows its first frame, composed on the canvas as a viewer shows it at the start.
    QImage FirstFrame()
    {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) {
            Fail(QStringLiteral("the WebP library cannot be used"));
            return {};
        }
        options.color_mode = kQtOrder;
        options.use_threads = 0;
        const WebPData data {Bytes(), Length()};
        const UniqueHandle<WebPAnimDecoder, WebPAnimDecoderDelete> decoder(
            WebPAnimDecoderNew(&data, &options));
        WebPAnimInfo info;
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)
            || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
            Fail(QStringLiteral("the WebP animation is damaged"));
            return {};
        }
        QImage image(int(info.canvas_width), int(info.canvas_height), QImage::Format_ARGB32);
        if (image.isNull()) {
            Fail(QStringLiteral("not enough memory for the WebP picture"));
            return {};
        }
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(image.scanLine(y), canvas + size_t(y) * info.canvas_width * 4, info.canvas_width * 4);
        return image;
    }

    WebPBitstreamFeatures m_features {};
};

} // namespace

std::unique_ptr<LibraryDecoder> MakeWebpDecoder(QByteArrayView file)
{
    return std::make_unique<WebpDecoder>(file);
}

QByteArray EncodeWebp(const QImage& image, int quality)
{
    if (image.isNull())
        return {};
    // Bytes in the order the encoder reads on any machine; straight alpha, and none at all for an
    // opaque picture, so that the file says it has none.
    const bool alpha = image.hasAlphaChannel();
    const QImage source = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const auto encode = alpha ? &WebPEncodeRGBA : &WebPEncodeRGB;
    uint8_t* output = nullptr;
    const size_t size = encode(source.constBits(), source.width(), source.height(),
        static_cast<int>(source.bytesPerLine()), static_cast<float>(qBound(0, quality, 100)), &output);
    const UniqueHandle<uint8_t, WebPFree> owned(output);
    return size && output ? QByteArray(reinterpret_cast<const char*>(output), static_cast<qsizetype>(size))
                          : QByteArray();
}
