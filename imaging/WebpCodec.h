// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

/// A lossy WebP file of `image` at `quality` (0 to 100), transparency kept; empty on failure.
QByteArray EncodeWebp(const QImage& image, int quality);
