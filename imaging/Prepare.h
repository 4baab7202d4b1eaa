// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QString>

/// A picture size in single precision, as the preparation computes it; whole pixels are
/// taken by truncation toward zero.
struct TargetSize
{
    float width = 0;
    float height = 0;

    bool operator==(const TargetSize&) const = default;
};

/// The size a W x H picture is bounded to. A bound above 0 is set. With `keepProportions`
/// only one bound applies: the width bound when W exceeds it, else the height bound when H
/// exceeds it. Without, each set bound replaces its side, shrinking or enlarging.
TargetSize BoundedSize(float W, float H, int maxWidth, int maxHeight, bool keepProportions);

/// Prepares one picture for upload; runs on a worker thread.
///
/// With `Image.KeepAsIs` the source itself is the output. Otherwise the picture is decoded
/// (at reduced size when it is bounded), bounded, stamped with text and logo as the
/// appearance asks, and saved in the chosen format into the temporary folder. When
/// `thumbPath` is given and `thumbWidth` is above 0 a thumbnail of that width is saved too.
///
/// Returns true with the file to upload in `outputPath`. On failure (a missing, undecodable or
/// too large source, a size that truncates to nothing, a failed save) it returns false with
/// `outputPath` empty and writes nothing. `thumbPath` is empty whenever no thumbnail was saved.
bool PrepareImage(const QString& sourcePath, QString& outputPath, QString* thumbPath, int thumbWidth,
    const MainPart& main, const AppearancePart& appearance);
