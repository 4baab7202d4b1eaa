// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QImage>
#include <QString>
#include <QtGlobal>

class TempFolder;

/// A picture written into the temporary folder: its path, or why there is none.
struct SavedPicture
{
    QString path;
    QString error;

    bool ok() const { return !path.isEmpty(); }
};

/// Encodes `image` and writes it into `folder` as <base name of nameHint><tick count>.<extension>,
/// e.g. "image123456.jpg" for "image.jpg". The file is created exclusively: when two saves meet
/// within one tick the later one gets "_1", "_2", ... before the extension instead of replacing
/// the earlier file. `quality` is used by JPEG only. On failure no file is left.
SavedPicture SaveToTemp(
    TempFolder& folder, const QImage& image, const QString& nameHint, ImageFormat format, int quality);

/// Writes a file's own `bytes` into `folder` under `fileName` (its last path component), or with
/// "_1", "_2", ... before the extension when a file of that name is there already.
SavedPicture SaveFileToTemp(TempFolder& folder, const QByteArray& bytes, const QString& fileName);

/// The size in bytes of an existing regular file, -1 when it cannot be opened.
qint64 FileSizeOf(const QString& path);
