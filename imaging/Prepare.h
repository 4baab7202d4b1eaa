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

class TempFolder;

/// The outcome of preparing one picture.
struct PreparedImage
{
    QString path; ///< the file to upload; empty on failure
    QString thumbPath; ///< the own thumbnail; empty when none was asked for or it could not be made
    QString error; ///< why `path` is empty
    /// The file goes as it is with a GPS position that could not be removed from it.
    bool locationKept = false;

    bool ok() const { return !path.isEmpty(); }
};

/// Prepares one picture for upload; runs on a worker thread.
///
/// With `Image.KeepAsIs` the source itself is the output, or with `Image.StripLocation` a copy
/// of it without its GPS position when it has one. Otherwise the picture is decoded
/// (at reduced size when it is bounded), bounded, stamped with text and logo as the
/// appearance asks, and saved in the chosen format into `temp`. With `thumbWidth` above 0 a
/// thumbnail of that width is drawn from the decoded original (without the stamps) and saved
/// too. On failure nothing is written.
PreparedImage PrepareImage(TempFolder& temp, const QString& sourcePath, int thumbWidth, const MainPart& main,
    const AppearancePart& appearance);
