// SPDX-License-Identifier: MIT
#include "imaging/Encoders.h"

#include "imaging/GifEncoder.h"
#include "settings/Paths.h"

#include <QBuffer>
#include <QImageWriter>

int NormalizeFormat(int formatIndex)
{
    return formatIndex >= 0 && formatIndex <= 2 ? formatIndex : 0;
}

QString FormatExtension(int formatIndex)
{
    switch (NormalizeFormat(formatIndex)) {
    case 1:
        return QStringLiteral("png");
    case 2:
        return QStringLiteral("gif");
    default:
        return QStringLiteral("jpg");
    }
}

int FormatOfExtension(const QString& path)
{
    const QString ext = ExtensionOf(path);
    if (MatchesAny(ext, {QStringLiteral("png")}))
        return 1;
    if (MatchesAny(ext, {QStringLiteral("gif")}))
        return 2;
    return 0;
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

QByteArray EncodeImage(const QImage& image, int formatIndex, int quality)
{
    if (image.isNull())
        return {};
    switch (NormalizeFormat(formatIndex)) {
    case 1:
        return EncodeWithQt(image, "png", -1);
    case 2:
        return EncodeGif(image);
    default:
        // JPEG has no transparency; an opaque copy keeps the writer from guessing.
        return EncodeWithQt(image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image,
            "jpeg", qBound(0, quality, 100));
    }
}
