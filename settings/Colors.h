// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QRgb>

// Colours are stored as Windows colour references: 0x00BBGGRR, red in the lowest byte.

inline QRgb ColorRefToArgb(int colorRef, int alpha)
{
    const auto ref = static_cast<unsigned>(colorRef);
    return qRgba(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF, alpha & 0xFF);
}

inline QColor ColorRefToColor(int colorRef, int alpha = 255)
{
    return QColor::fromRgba(ColorRefToArgb(colorRef, alpha));
}

inline int ColorToColorRef(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}
