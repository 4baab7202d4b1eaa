// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

/// Blends adjacent lines of an interlaced frame: scaled smoothly to half its height and back
/// up. Pictures less than 2 lines high come back unchanged.
QImage Deinterlace(const QImage& image);
