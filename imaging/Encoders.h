// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Output formats by index: 0 JPEG, 1 PNG, 2 GIF.

/// The index itself for 0..2; -1 and any other value mean JPEG.
int NormalizeFormat(int formatIndex);

/// "jpg", "png" or "gif".
QString FormatExtension(int formatIndex);

/// 0 for "jpg" and "jpeg", 1 for "png", 2 for "gif", 0 for anything else; case-insensitive.
int FormatOfExtension(const QString& path);

/// The file contents of `image` in the given format; empty when encoding failed.
/// `quality` (clamped to 0..100) applies to JPEG only.
QByteArray EncodeImage(const QImage& image, int formatIndex, int quality);
