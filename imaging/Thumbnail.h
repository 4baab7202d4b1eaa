// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/SaveToTemp.h"
#include "settings/Settings.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QtGlobal>

class TempFolder;

/// The picture in a thumbnail is at most this many times as high as the thumbnail is wide; a
/// taller picture (a long strip, a web page) shows its top part. Without a bound a picture of
/// 1 x 10000 pixels would ask for a thumbnail of over a million rows.
inline constexpr int kMaxThumbnailAspect = 8;

/// Where the parts of a thumbnail go, in whole pixels.
struct ThumbnailLayout
{
    int frame = 0; ///< 2 with a frame, else 0
    int innerWidth = 0; ///< requested width minus the frame
    /// innerWidth scaled by the picture's proportions, truncated, at most kMaxThumbnailAspect x width
    int pictureHeight = 0;
    int captionHeight = 0; ///< the caption font's height of "test", plus 1
    int barHeight = 0; ///< rows added below the picture for the caption bar
    int width = 0;
    int height = 0;
    int barTop = 0; ///< first row of the caption bar
    /// pictureHeight without its bound: more means the picture's lower part is cut off
    int fullPictureHeight = 0;

    bool operator==(const ThumbnailLayout&) const = default;
};

/// The height of the caption bar for `font`: "test" measured in it, plus 1, truncated.
int CaptionHeight(const QFont& font);

/// The layout of a `thumbWidth` thumbnail of a targetW x targetH picture.
ThumbnailLayout ThumbnailLayoutFor(float targetW, float targetH, int thumbWidth, int captionHeight,
    const MainPart& main, const AppearancePart& appearance);

/// "<width>x<height>, <file size>"; the size part is empty when `fileSize` is not positive.
QString ThumbnailCaption(float targetW, float targetH, qint64 fileSize);

/// "512 Bytes", "  2 kb", "150 kb", "  3 mb", "  1 gb": whole units, padded to three places.
QString FormatFileSize(qint64 bytes);

/// The thumbnail picture itself: `source` (the picture without stamps, any resolution with the
/// target's proportions) scaled to `thumbWidth`, with caption bar and frame as the settings ask.
/// Null when there is nothing to draw.
QImage DrawThumbnail(const QImage& source, float targetW, float targetH, qint64 fileSize, int thumbWidth,
    const MainPart& main, const AppearancePart& appearance);

/// Draws the thumbnail and saves it as "thumb<tick>" in `folder`, JPEG at quality 90.
SavedPicture RenderThumbnail(TempFolder& folder, const QImage& source, float targetW, float targetH,
    qint64 fileSize, int thumbWidth, int formatIndex, const MainPart& main, const AppearancePart& appearance);
