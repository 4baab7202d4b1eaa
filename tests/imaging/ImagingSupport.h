// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/TempFolder.h"
#include "tests/support/Memory.h"
#include "tests/support/TempDir.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <cstdlib>

inline QImage Solid(int w, int h, QRgb color, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(QColor::fromRgba(color));
    return image;
}

inline QImage Gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 255 - x * 255 / w));
    return image;
}

inline QByteArray Encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

/// Every channel within `tolerance`.
inline bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

/// The mean colour of `area`, alpha ignored.
inline QRgb MeanColour(const QImage& image, const QRect& area)
{
    qint64 r = 0, g = 0, b = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            r += qRed(p);
            g += qGreen(p);
            b += qBlue(p);
        }
    const qint64 n = qMax<qint64>(1, qint64(area.width()) * area.height());
    return qRgb(int(r / n), int(g / n), int(b / n));
}

/// How many pixels of `area` satisfy `test`.
template<class Test> int CountPixels(const QImage& image, const QRect& area, Test test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

/// The bounding box of the pixels that differ from `background`.
inline QRect InkBox(const QImage& image, QRgb background, int tolerance = 24)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixel(x, y), background, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

/// The temporary folder the tests of one program share.
inline TempFolder& TestTemp()
{
    static TempFolder folder;
    return folder;
}

inline int FileCount(const QString& folder)
{
    return static_cast<int>(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks).size());
}
