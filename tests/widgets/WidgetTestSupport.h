// SPDX-License-Identifier: MIT
#pragma once

#include "tests/support/WaitFor.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>

/// A picture file of `width` x `height`: a flat `fill` with a one-pixel black border, so the
/// edges of a drawn copy can be found.
QString WriteFramedPicture(const QString& dir, const QString& name, int width, int height,
    QColor fill = QColor(30, 120, 200), const char* format = "PNG");
/// The bounding box of pixels within `tolerance` of `colour`.
QRect BoxOf(const QImage& image, QColor colour, int tolerance = 24);
bool Near(QRgb a, QColor b, int tolerance);
