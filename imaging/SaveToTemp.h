// SPDX-License-Identifier: MIT
#pragma once

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
/// the earlier file. `formatIndex` 0 JPEG, 1 PNG, 2 GIF (-1 means 0); `quality` is used by JPEG
/// only. On failure no file is left.
SavedPicture SaveToTemp(
    TempFolder& folder, const QImage& image, const QString& nameHint, int formatIndex, int quality);

/// The size in bytes of an existing regular file, -1 when it cannot be opened.
qint64 FileSizeOf(const QString& path);
