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

namespace {

// Reads and checks the file; `configure` sets the reader up once the picture's own size is
// known, or refuses the picture.
DecodedImage Decode(const QString& path, const std::function<bool(QImageReader&, QSize original)>& configure)
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
    if (original.isValid() && (!WithinDecodeLimit(original) || !configure(reader, original)))
        return result;

    QImage image = reader.read();
    if (image.isNull() || !WithinDecodeLimit(image.size()))
        return result;
    result.originalSize = original.isValid() ? original : image.size();
    result.extent = QSizeF(image.size());
    result.image = image.hasAlphaChannel()
        ? std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied)
        : std::move(image).convertToFormat(QImage::Format_RGB32);
    return result;
}

} // namespace

DecodedImage DecodeImageScaled(
    const QString& path, const std::function<std::optional<QSize>(QSize original)>& sizeFor)
{
    return Decode(path, [&](QImageReader& reader, QSize original) {
        const std::optional<QSize> wanted = sizeFor ? sizeFor(original) : QSize();
        if (!wanted)
            return false;
        if (!wanted->isEmpty() && *wanted != original) {
            if (!WithinDecodeLimit(*wanted))
                return false;
            reader.setScaledSize(*wanted);
        }
        return true;
    });
}

DecodedImage DecodeImageShrunk(
    const QString& path, const std::function<std::optional<int>(QSize original)>& shrinkFor)
{
    int shrink = 1;
    QSize shrunk;
    DecodedImage result = Decode(path, [&](QImageReader& reader, QSize original) {
        const std::optional<int> wanted = shrinkFor ? shrinkFor(original) : 1;
        if (!wanted)
            return false;
        shrink = *wanted >= 8 ? 8 : *wanted >= 4 ? 4 : *wanted >= 2 ? 2 : 1;
        shrunk = QSize(original.width() / shrink, original.height() / shrink);
        if (shrink == 1 || shrunk.isEmpty() || reader.format() != "jpeg")
            return true;
        // Qt's reader picks the DCT factor from the size asked for and resamples whatever
        // differs; only a size cut to whole blocks of the factor comes out of the DCT untouched.
        if (shrunk * shrink != original)
            reader.setClipRect(QRect(QPoint(0, 0), shrunk * shrink));
        reader.setScaledSize(shrunk);
        return true;
    });
    if (!result.isNull() && shrink > 1 && result.image.size() == shrunk && shrunk != result.originalSize)
        result.extent = QSizeF(result.originalSize) / shrink;
    return result;
}

int ShrinkFactorFor(QSize original, QSize atLeast)
{
    for (const int shrink : {8, 4, 2})
        if (original.width() / shrink >= std::max(1, atLeast.width())
            && original.height() / shrink >= std::max(1, atLeast.height()))
            return shrink;
    return 1;
}

DecodedImage DecodeImage(const QString& path, QSize fitInto)
{
    return DecodeImageScaled(path,
        [fitInto](QSize original) -> std::optional<QSize> { return ReducedSizeFor(original, fitInto); });
}
