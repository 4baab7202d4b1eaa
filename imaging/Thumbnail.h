// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QtGlobal>

/// Where the parts of a thumbnail go, in whole pixels.
struct ThumbnailLayout
{
    int frame = 0; ///< 2 with a frame, else 0
    int innerWidth = 0; ///< requested width minus the frame
    int pictureHeight = 0; ///< innerWidth scaled by the picture's proportions, truncated
    int captionHeight = 0; ///< the caption font's height of "test", plus 1
    int barHeight = 0; ///< rows added below the picture for the caption bar
    int width = 0;
    int height = 0;
    int barTop = 0; ///< first row of the caption bar

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

/// Draws the thumbnail and saves it as "thumb<tick>" in the temporary folder, JPEG at quality 90.
/// Returns true with the file's path in `thumbPath`; on failure `thumbPath` is empty.
bool RenderThumbnail(const QImage& source, float targetW, float targetH, qint64 fileSize, int thumbWidth,
    int formatIndex, QString& thumbPath, const MainPart& main, const AppearancePart& appearance);
