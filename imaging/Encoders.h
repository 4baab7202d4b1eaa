// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QByteArray>
#include <QImage>
#include <QString>

/// "jpg", "png", "gif" or "webp".
QString FormatExtension(ImageFormat format);

/// PNG for "png", GIF for "gif", WebP for "webp", JPEG for "jpg", "jpeg" and anything else
/// (HEIC and TIFF among them); case-insensitive.
ImageFormat FormatOfExtension(const QString& path);

/// The file contents of `image` in `format`; empty when encoding failed. `quality` (clamped to
/// 0..100) applies to JPEG and WebP only.
QByteArray EncodeImage(const QImage& image, ImageFormat format, int quality);
