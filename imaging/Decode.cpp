// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"

#include "imaging/ColourProfile.h"
#include "imaging/Integrity.h"
#include "imaging/LibraryDecoders.h"
#include "imaging/Metadata.h"
#include "imaging/Resample.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

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

// What a consumer wants of a picture, decided from its upright size before any pixel is decoded.
struct Request
{
    QString refused; ///< not empty: no use for the picture
    QSize scaled; ///< upright; empty: whole, or shrunk by `shrink`
    int shrink = 1;
};
using Configure = std::function<Request(QSize upright)>;

// The pixels `size` shrunk by `shrink` fills completely (QSize's own division rounds).
QSize WholePixels(QSize size, int shrink)
{
    return QSize(size.width() / shrink, size.height() / shrink);
}

// Averages blocks of `shrink` x `shrink` pixels into one; the rows and columns left over at the
// right and bottom are left out, as a JPEG decoder's own shrinking leaves them.
QImage ShrinkBy(const QImage& source, int shrink)
{
    QImage out(source.width() / shrink, source.height() / shrink, source.format());
    if (out.isNull())
        return out;
    const int area = shrink * shrink;
    std::vector<quint32> sums(size_t(out.width()) * 4);
    for (int y = 0; y < out.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < shrink; ++dy) {
            const uchar* row = source.constScanLine(y * shrink + dy);
            for (int x = 0; x < out.width(); ++x) {
                const uchar* p = row + size_t(x) * shrink * 4;
                quint32* sum = &sums[size_t(x) * 4];
                for (int dx = 0; dx < shrink; ++dx, p += 4) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                    sum[3] += p[3];
                }
            }
        }
        uchar* target = out.scanLine(y);
        for (size_t i = 0; i < sums.size(); ++i)
            target[i] = static_cast<uchar>((sums[i] + area / 2) / area);
    }
    return out;
}

// Straight alpha to premultiplied in place: also for a picture that lives in a decoder's buffer,
// which Qt's conversion would copy.
void Premultiply(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qPremultiply(row[x]);
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
}

// Where the picture lies in the pixels of its upright copy. A shrunk picture reaches `extent`
// (past its last whole pixels) to the right and downwards as stored; turning it moves that
// fraction to the side the stored right or bottom edge ends on.
QRectF UprightArea(QSizeF extent, QSize pixels, int orientation)
{
    const double left = pixels.width() - extent.width(); // 0 or a fraction below
    const double top = pixels.height() - extent.height();
    switch (orientation) {
    case 2:
        return {QPointF(left, 0), extent};
    case 3:
        return {QPointF(left, top), extent};
    case 4:
        return {QPointF(0, top), extent};
    case 5:
        return {QPointF(0, 0), extent.transposed()};
    case 6:
        return {QPointF(top, 0), extent.transposed()};
    case 7:
        return {QPointF(top, left), extent.transposed()};
    case 8:
        return {QPointF(0, left), extent.transposed()};
    default:
        return {QPointF(0, 0), extent};
    }
}

// Reads and checks the file, decodes it with Qt's readers or a format's own library as
// `configure` asks, then makes the picture what every consumer expects: sRGB, upright, and
// Format_RGB32 or Format_ARGB32_Premultiplied.
DecodedImage Decode(const QString& path, const Configure& configure, bool turnLater = false)
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

    QImage image;
    QSize stored; // the picture's size before it is turned, or empty when the file does not say
    QSizeF extent;
    PictureMetadata metadata;
    int shrink = 1;
    const std::unique_ptr<LibraryDecoder> library = LibraryDecoder::For(bytes);
    if (library) {
        if (!library->Open())
            return fail(library->Error());
        if (!library->TurnsItself())
            metadata = ReadMetadata(bytes);
        stored = library->Size();
        if (!WithinDecodeLimit(stored))
            return fail(TooLarge());
        const Request request = configure(OrientedSize(stored, metadata.orientation));
        if (!request.refused.isEmpty())
            return fail(request.refused);
        shrink = request.scaled.isEmpty() ? request.shrink : 1;
        const QSize wanted
            = shrink > 1 ? WholePixels(stored, shrink) : OrientedSize(request.scaled, metadata.orientation);
        if (!wanted.isEmpty() && !WithinDecodeLimit(wanted))
            return fail(TooLarge());
        // A picture shrunk for the preparation is published: never from a stored thumbnail.
        image = library->Decode(wanted, shrink == 1);
        if (image.isNull())
            return fail(library->Error());
        if (library->TurnsItself())
            metadata.iccProfile = library->IccProfile();
        // A picture with alpha is shrunk premultiplied, so transparent pixels lend it no colour,
        // and so is converted first; an opaque one is converted after shrinking, on fewer pixels.
        const bool alpha = image.hasAlphaChannel();
        if (alpha) {
            ConvertToSrgb(image, metadata.iccProfile);
            Premultiply(image);
        }
        if (wanted.isEmpty() || image.size() == wanted) {
            extent = QSizeF(image.size());
        } else if (shrink > 1 && image.size() == stored) {
            image = ShrinkBy(image, shrink);
            extent = QSizeF(stored) / shrink;
        } else {
            image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            extent = QSizeF(image.size());
        }
        if (image.isNull())
            return fail(QStringLiteral("not enough memory for the picture"));
        if (!alpha)
            ConvertToSrgb(image, metadata.iccProfile);
    } else {
        metadata = ReadMetadata(bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // The orientation is turned below, for every format alike.
        reader.setAutoTransform(false);
        stored = reader.size();
        QSize shrunk;
        if (stored.isValid()) {
            if (!WithinDecodeLimit(stored))
                return fail(TooLarge());
            const Request request = configure(OrientedSize(stored, metadata.orientation));
            if (!request.refused.isEmpty())
                return fail(request.refused);
            if (!request.scaled.isEmpty()) {
                const QSize scaled = OrientedSize(request.scaled, metadata.orientation);
                if (scaled != stored) {
                    if (!WithinDecodeLimit(scaled))
                        return fail(TooLarge());
                    reader.setScaledSize(scaled);
                }
            } else if (request.shrink > 1 && reader.format() == "jpeg") {
                shrink = request.shrink;
                shrunk = WholePixels(stored, shrink);
                // Qt's reader picks the DCT factor from the size asked for and resamples whatever
                // differs; only a size cut to whole blocks of the factor comes out of the DCT untouched.
                if (!shrunk.isEmpty()) {
                    if (shrunk * shrink != stored)
                        reader.setClipRect(QRect(QPoint(0, 0), shrunk * shrink));
                    reader.setScaledSize(shrunk);
                }
            }
        }
        image = reader.read();
        if (image.isNull())
            return fail(QStringLiteral("it cannot be decoded as a picture"));
        if (!WithinDecodeLimit(image.size()))
            return fail(TooLarge());
        if (!stored.isValid())
            stored = image.size();
        extent = shrink > 1 && image.size() == shrunk && shrunk != stored ? QSizeF(stored) / shrink
                                                                          : QSizeF(image.size());
        const bool alpha = image.hasAlphaChannel();
        image = std::move(image).convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        ConvertToSrgb(image, metadata.iccProfile);
        if (alpha)
            image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    // From here on the pixels are sRGB, whatever the reader noted about the file's colours.
    image.setColorSpace(QColorSpace());
    const QSize decoded = image.size();
    if (turnLater)
        result.turn = metadata.orientation;
    result.image = turnLater ? std::move(image) : Oriented(std::move(image), metadata.orientation);
    if (result.image.isNull())
        return fail(QStringLiteral("not enough memory for the picture"));
    result.originalSize = OrientedSize(stored, metadata.orientation);
    const QRectF area = UprightArea(extent, decoded, metadata.orientation);
    result.origin = area.topLeft();
    result.extent = area.size();
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
    return Decode(path, [&](QSize original) {
        Request request;
        const std::optional<QSize> wanted = sizeFor ? sizeFor(original) : QSize();
        if (!wanted)
            request.refused = NothingToDraw();
        else if (!wanted->isEmpty() && *wanted != original && !WithinDecodeLimit(*wanted))
            request.refused = TooLarge();
        else if (*wanted != original)
            request.scaled = *wanted;
        return request;
    });
}

DecodedImage DecodeImageShrunk(
    const QString& path, const std::function<std::optional<int>(QSize original)>& shrinkFor, bool turnLater)
{
    return Decode(
        path,
        [&](QSize original) {
            Request request;
            const std::optional<int> wanted = shrinkFor ? shrinkFor(original) : 1;
            if (!wanted)
                request.refused = NothingToDraw();
            else
                request.shrink = *wanted >= 8 ? 8 : *wanted >= 4 ? 4 : *wanted >= 2 ? 2 : 1;
            return request;
        },
        turnLater);
}

QImage ResampleUpright(const DecodedImage& decoded, const QRectF& from, QSize size)
{
    if (decoded.turn == 1)
        return Resample(decoded.image, from, size);
    // The area in pixels of the picture as stored: each turn or mirror maps edges onto edges.
    const double w = decoded.image.width();
    const double h = decoded.image.height();
    const double x0 = from.left(), x1 = from.right(), y0 = from.top(), y1 = from.bottom();
    QRectF stored;
    switch (decoded.turn) {
    case 2:
        stored = QRectF(QPointF(w - x1, y0), QPointF(w - x0, y1));
        break;
    case 3:
        stored = QRectF(QPointF(w - x1, h - y1), QPointF(w - x0, h - y0));
        break;
    case 4:
        stored = QRectF(QPointF(x0, h - y1), QPointF(x1, h - y0));
        break;
    case 5:
        stored = QRectF(QPointF(y0, x0), QPointF(y1, x1));
        break;
    case 6:
        stored = QRectF(QPointF(y0, h - x1), QPointF(y1, h - x0));
        break;
    case 7:
        stored = QRectF(QPointF(w - y1, h - x1), QPointF(w - y0, h - x0));
        break;
    default: // 8
        stored = QRectF(QPointF(w - y1, x0), QPointF(w - y0, x1));
        break;
    }
    return Oriented(Resample(decoded.image, stored, OrientedSize(size, decoded.turn)), decoded.turn);
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
