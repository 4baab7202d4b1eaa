// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

/// Encodes `image` and writes it into the temporary folder as
/// <base name of nameHint><tick count>.<extension>, e.g. "image123456.jpg" for "image.jpg".
/// The file is created exclusively: when two saves meet within one tick the later one gets
/// "_1", "_2", ... before the extension instead of replacing the earlier file.
/// `formatIndex` 0 JPEG, 1 PNG, 2 GIF (-1 means 0); `quality` is used by JPEG only.
/// Returns true and the full path in `outPath`; on failure `outPath` is empty and no file is left.
bool SaveToTemp(const QImage& image, const QString& nameHint, QString& outPath, int formatIndex, int quality);

/// The size in bytes of an existing regular file, -1 when it cannot be opened.
qint64 FileSizeOf(const QString& path);
