// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"

#include "imaging/Integrity.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Qt refuses pictures over 256 MB of pixels by default, which an ordinary 8000 x 8000 photo
// already exceeds. The limit is process-wide, so it is set here, on the only path that reads
// pictures, rather than left to every program entry point to remember.
void EnsureAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(static_cast<int>(kMaxDecodedBytes >> 20)); });
}

// A compressed file larger than the largest picture it may hold is not worth reading.
constexpr qint64 kMaxFileBytes = 2 * kMaxDecodedBytes;

} // namespace

bool WithinDecodeLimit(QSize size)
{
    return size.width() > 0 && size.height() > 0
        && qint64(size.width()) * size.height() * 4 <= kMaxDecodedBytes;
}

QSize ReducedSizeFor(QSize original, QSize box)
{
    if (box.isEmpty() || original.isEmpty()
        || (original.width() <= box.width() && original.height() <= box.height()))
        return {};
    const double scale
        = std::min(double(box.width()) / original.width(), double(box.height()) / original.height());
    return QSize(std::max(1, int(std::ceil(original.width() * scale))),
        std::max(1, int(std::ceil(original.height() * scale))));
}

DecodedImage DecodeImageScaled(
    const QString& path, const std::function<std::optional<QSize>(QSize original)>& sizeFor)
{
    EnsureAllocationLimit();
    DecodedImage result;

    const QFileInfo info(path);
    if (!info.isFile() || info.size() <= 0 || info.size() > kMaxFileBytes)
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty() || !LooksComplete(bytes))
        return result;

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // GDI+ never turned pictures by their EXIF orientation; neither do we.
    reader.setAutoTransform(false);
    const QSize original = reader.size();
    if (original.isValid()) {
        if (!WithinDecodeLimit(original))
            return result;
        const std::optional<QSize> wanted = sizeFor ? sizeFor(original) : QSize();
        if (!wanted)
            return result;
        if (!wanted->isEmpty() && *wanted != original) {
            if (!WithinDecodeLimit(*wanted))
                return result;
            reader.setScaledSize(*wanted);
        }
    }

    QImage image = reader.read();
    if (image.isNull() || !WithinDecodeLimit(image.size()))
        return result;
    result.originalSize = original.isValid() ? original : image.size();
    result.image = image.hasAlphaChannel()
        ? std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied)
        : std::move(image).convertToFormat(QImage::Format_RGB32);
    return result;
}

DecodedImage DecodeImage(const QString& path, QSize fitInto)
{
    return DecodeImageScaled(path,
        [fitInto](QSize original) -> std::optional<QSize> { return ReducedSizeFor(original, fitInto); });
}
