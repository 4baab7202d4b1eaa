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

QString TooLarge()
{
    return QStringLiteral("the picture is too large to open (more than %1 MiB of pixels)")
        .arg(kMaxDecodedBytes >> 20);
}

// Reads and checks the file; `configure` sets the reader up once the picture's own size is
// known, or says why the picture is refused.
DecodedImage Decode(
    const QString& path, const std::function<QString(QImageReader&, QSize original)>& configure)
{
    EnsureAllocationLimit();
    DecodedImage result;

    auto fail = [&result](const QString& why) {
        result.error = why;
        return result;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (info.isDir())
        return fail(QStringLiteral("it is a folder, not a picture"));
    if (!info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    if (info.size() <= 0)
        return fail(QStringLiteral("the file is empty"));
    if (info.size() > kMaxFileBytes)
        return fail(QStringLiteral("the file is too large to be a picture that can be opened"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("it cannot be read: %1").arg(file.errorString()));
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty())
        return fail(QStringLiteral("the file is empty"));
    if (!LooksComplete(bytes))
        return fail(QStringLiteral("the picture is cut short"));

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // GDI+ never turned pictures by their EXIF orientation; neither do we.
    reader.setAutoTransform(false);
    const QSize original = reader.size();
    if (original.isValid()) {
        if (!WithinDecodeLimit(original))
            return fail(TooLarge());
        const QString refused = configure(reader, original);
        if (!refused.isEmpty())
            return fail(refused);
    }

    QImage image = reader.read();
    if (image.isNull())
        return fail(QStringLiteral("it cannot be decoded as a picture"));
    if (!WithinDecodeLimit(image.size()))
        return fail(TooLarge());
    result.originalSize = original.isValid() ? original : image.size();
    result.extent = QSizeF(image.size());
    result.image = image.hasAlphaChannel()
        ? std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied)
        : std::move(image).convertToFormat(QImage::Format_RGB32);
    return result;
}

QString NothingToDraw()
{
    return QStringLiteral("the picture's size leaves nothing to draw");
}

} // namespace

DecodedImage DecodeImageScaled(
    const QString& path, const std::function<std::optional<QSize>(QSize original)>& sizeFor)
{
    return Decode(path, [&](QImageReader& reader, QSize original) {
        const std::optional<QSize> wanted = sizeFor ? sizeFor(original) : QSize();
        if (!wanted)
            return NothingToDraw();
        if (!wanted->isEmpty() && *wanted != original) {
            if (!WithinDecodeLimit(*wanted))
                return TooLarge();
            reader.setScaledSize(*wanted);
        }
        return QString();
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
            return NothingToDraw();
        shrink = *wanted >= 8 ? 8 : *wanted >= 4 ? 4 : *wanted >= 2 ? 2 : 1;
        shrunk = QSize(original.width() / shrink, original.height() / shrink);
        if (shrink == 1 || shrunk.isEmpty() || reader.format() != "jpeg")
            return QString();
        // Qt's reader picks the DCT factor from the size asked for and resamples whatever
        // differs; only a size cut to whole blocks of the factor comes out of the DCT untouched.
        if (shrunk * shrink != original)
            reader.setClipRect(QRect(QPoint(0, 0), shrunk * shrink));
        reader.setScaledSize(shrunk);
        return QString();
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
