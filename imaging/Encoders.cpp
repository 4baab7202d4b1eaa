// SPDX-License-Identifier: MIT
#include "imaging/Encoders.h"

#include "imaging/GifEncoder.h"
#include "imaging/WebpCodec.h"
#include "settings/Paths.h"

#include <QBuffer>
#include <QImageWriter>

QString FormatExtension(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png:
        return QStringLiteral("png");
    case ImageFormat::Gif:
        return QStringLiteral("gif");
    case ImageFormat::Webp:
        return QStringLiteral("webp");
    case ImageFormat::Jpeg:
        break;
    }
    return QStringLiteral("jpg");
}

ImageFormat FormatOfExtension(const QString& path)
{
    const QString ext = ExtensionOf(path);
    if (MatchesAny(ext, {QStringLiteral("png")}))
        return ImageFormat::Png;
    if (MatchesAny(ext, {QStringLiteral("gif")}))
        return ImageFormat::Gif;
    if (MatchesAny(ext, {QStringLiteral("webp")}))
        return ImageFormat::Webp;
    return ImageFormat::Jpeg;
}

namespace {

QByteArray EncodeWithQt(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        return {};
    return bytes;
}

} // namespace

QByteArray EncodeImage(const QImage& image, ImageFormat format, int quality)
{
    if (image.isNull())
        return {};
    switch (format) {
    case ImageFormat::Png:
        return EncodeWithQt(image, "png", -1);
    case ImageFormat::Gif:
        return EncodeGif(image);
    case ImageFormat::Webp:
        return EncodeWebp(image, qBound(0, quality, 100));
    case ImageFormat::Jpeg:
        break;
    }
    // JPEG has no transparency; an opaque copy keeps the writer from guessing.
    return EncodeWithQt(image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image, "jpeg",
        qBound(0, quality, 100));
}
