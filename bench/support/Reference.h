// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/Prepare.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class TempFolder;

/// The real ImageMagick convert, not a wrapper of the same name earlier on the PATH; empty when
/// it is not installed.
QString MagickProgram();
/// Runs a program to its end, its errors shown; true when it exited with status 0.
bool RunTool(const QString& program, const QStringList& arguments);
/// "WxH".
QString SizeText(QSize size);

/// A plain floating-point separable Lanczos-3 of the rectangle `from` of `original` onto `size`,
/// taps past the edges left out as ImageMagick does.
QImage ReferenceLanczos(const QImage& original, const QRectF& from, QSize size);
/// ImageMagick's Lanczos resize of the whole picture at `path` to `size`, with `crop` taken from
/// it after when valid; also written to `out`. Null when convert fails.
QImage MagickReference(const QString& path, QSize size, const QRect& crop, const QString& out);

/// Vellmar's preparation reduced to the scaling: bounded to `width`, lossless PNG, no stamps, a
/// bare thumbnail `thumbWidth` wide.
PreparedImage PrepareForScoring(TempFolder& temp, const QString& path, int width, int thumbWidth);
/// PSNR of Vellmar's bounded picture of `path` against a Lanczos reference of its geometry (which
/// keeps the outermost half pixel of the photo out); the reference goes to `base`_ref_v.png.
std::optional<double> ScoreVellmarBounded(const QString& path, const QImage& bounded, const QString& base);
/// PSNR of a picture made from the whole of `path` against ImageMagick's Lanczos resize to its
/// size, which goes to `referenceOut`.
std::optional<double> ScoreWholePicture(
    const QString& path, const QImage& picture, const QString& referenceOut);

/// The quality of one photo's bounded picture, Vellmar's and vipsthumbnail's.
struct BoundedQuality
{
    std::optional<double> vellmar; ///< dB against the reference of its own geometry
    std::optional<double> vips; ///< no value when vipsthumbnail or convert is missing
    QSize vellmarSize;
    QSize vipsSize;
};

/// Prepares `path` bounded to `width` with Vellmar and with vipsthumbnail, both lossless, and
/// scores each against a Lanczos reference of its own geometry. Files go to `work`.
BoundedQuality CompareBounded(TempFolder& temp, const QString& path, int width, const QString& work);
