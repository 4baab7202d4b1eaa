// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

/// A decoded picture together with the size the file itself describes. Pictures come out as they
/// are meant to be seen: turned upright by their EXIF orientation (or the turns HEIF and JPEG XL
/// store), and in sRGB when they carry a colour profile.
struct DecodedImage
{
    /// Format_RGB32, or Format_ARGB32_Premultiplied for pictures with transparency;
    /// null when the file could not be decoded.
    QImage image;
    /// The picture's own size, upright, also when `image` was decoded smaller.
    QSize originalSize;
    /// The whole picture measured in pixels of `image`: its size, except after an exact shrink
    /// (DecodeImageShrunk) that left out the last rows or columns too few to fill a pixel.
    QSizeF extent;
    /// Where the whole picture starts in pixels of `image`: (0, 0), or a fraction of a pixel
    /// before it when turning the picture moved the left-out rows or columns to the left or top.
    QPointF origin;
    /// The EXIF orientation still to apply to `image`: 1 except after DecodeImageShrunk with
    /// `turnLater`, which leaves the turn to ResampleUpright. The sizes above are upright all the same.
    int turn = 1;
    /// Why `image` is null, in words a user understands.
    QString error;

    bool isNull() const { return image.isNull(); }
};

/// The largest picture that opens: 1 GiB of 32-bit pixels (16384 x 16384). Larger claims fail.
inline constexpr qint64 kMaxDecodedBytes = qint64(1) << 30;

/// Decodes a picture file: JPEG, PNG, GIF and BMP through Qt's readers; HEIF and AVIF, WebP (an
/// animation's first frame), TIFF (its first page) and JPEG XL through their own libraries. Missing files,
/// folders, empty, undecodable and truncated files and pictures over kMaxDecodedBytes give a null image. With
/// `fitInto` given, a larger picture is decoded at reduced size (JPEG decodes faster that way), but never
/// smaller than fitting it into the box with its proportions kept needs. Safe on any thread.
DecodedImage DecodeImage(const QString& path, QSize fitInto = {});

/// Like DecodeImage, but the caller picks the decoded size from the picture's own size, width
/// and height independently, before any pixel is decoded: an empty size means full size, no
/// value means the caller has no use for the picture (the result is then null).
DecodedImage DecodeImageScaled(
    const QString& path, const std::function<std::optional<QSize>(QSize original)>& sizeFor);

/// Decodes a picture at 1/`shrink` of its size where that is cheap: JPEG's DCT scaling by 2, 4 or
/// 8 with no resampling after it, WebP's own scaling, and an average of whole blocks for the other
/// formats their libraries decode whole, so a large HEIF photo is never held twice. `shrinkFor`
/// picks the factor from the picture's upright size (no value: no use for the picture). PNG, GIF
/// and BMP, and a factor of 1, decode at full size. When a side is not a multiple of the factor, the last
/// rows or columns that do not fill a whole pixel are left out; `extent` says how far the picture reaches.
/// With `turnLater` the picture stays as stored, and ResampleUpright turns only the resampled
/// result: a large photo stored sideways then costs no more than one stored upright.
DecodedImage DecodeImageShrunk(const QString& path,
    const std::function<std::optional<int>(QSize original)>& shrinkFor, bool turnLater = false);

/// Resamples the area `from` of the upright picture (in its pixels, as `extent` and `origin`
/// measure it) onto an upright picture of `size`, as Resample does, turning the picture by its
/// `turn` after resampling rather than before.
QImage ResampleUpright(const DecodedImage& decoded, const QRectF& from, QSize size);

/// The largest of 8, 4 and 2 by which `original` shrinks, in whole pixels, to at least
/// `atLeast`; 1 when none does.
int ShrinkFactorFor(QSize original, QSize atLeast);

/// True for a size that is not empty and stays within kMaxDecodedBytes.
bool WithinDecodeLimit(QSize size);

/// The smallest size at least as large as `original` scaled to fit into `box`; an empty size
/// when the picture already fits or no box is given.
QSize ReducedSizeFor(QSize original, QSize box);
