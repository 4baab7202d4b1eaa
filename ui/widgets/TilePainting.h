// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QRectF>
#include <QSizeF>

class QPainter;

// The look shared by the thumbnail tiles and the viewer: a dark frame around a light
// diagonal gradient, and a red-to-black notice for files that do not decode.

inline constexpr QRgb kTileBackground = 0xFF4B4B4B;

/// The light box: white at the upper right fading to 0xD2D2D2 at the lower left of `gradientRect`,
/// filled into `box`.
void FillGradientBox(QPainter& painter, const QRectF& box, const QRectF& gradientRect);

/// "Not supported format" in Arial 12 points bold, centred in `rect`, red fading to black.
void DrawNotSupported(QPainter& painter, const QRectF& rect);

/// `picture` fitted into `box` without enlarging it: the wider side decides which bound applies.
QSizeF FitWithin(const QSizeF& picture, const QSizeF& box);
