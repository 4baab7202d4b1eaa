// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

// Pictures the tests make, and checks of the pixels the code under test draws.

QImage Solid(int w, int h, QRgb color, QImage::Format format = QImage::Format_RGB32);
/// Red rising to the right, green downwards, blue falling to the right: every region its own colour.
QImage Gradient(int w, int h);
/// A flat `fill` with a one-pixel black border, so the edges of a drawn copy can be found.
QImage Framed(int w, int h, QColor fill);
QByteArray Encode(const QImage& image, const char* format, int quality = -1);
/// The gradient of `w` x `h` as a PNG or a JPEG file's contents.
QByteArray PngOf(int w, int h);
QByteArray JpegOf(int w, int h);

/// A picture file in `dir`: the gradient, or `fill` framed when a colour is given.
QString WritePicture(const QString& dir, const QString& name, int w = 64, int h = 48,
    const char* format = "PNG", QColor fill = QColor());
/// The first `count` (at most 500) of one set of 400 x 300 PNG files, written once per test
/// program and shared by its tests: picture i is framed SharedColour(i). Read them, never change them.
QStringList SharedPictures(int count);
QColor SharedColour(int index);

/// A file of exactly `size` bytes that starts like a JPEG.
QString WriteSizedFile(const QString& dir, const QString& name, qint64 size);

/// Every channel within `tolerance`.
bool Near(QRgb a, QRgb b, int tolerance);
inline bool Near(QRgb a, const QColor& b, int tolerance)
{
    return Near(a, b.rgba(), tolerance);
}
/// The mean colour of `area`, alpha ignored.
QRgb MeanColour(const QImage& image, const QRect& area);
/// The bounding box of the pixels within `tolerance` of `colour`.
QRect BoxOf(const QImage& image, QRgb colour, int tolerance = 24);
inline QRect BoxOf(const QImage& image, const QColor& colour, int tolerance = 24)
{
    return BoxOf(image, colour.rgba(), tolerance);
}
/// The bounding box of the pixels that differ from `background`.
QRect InkBox(const QImage& image, QRgb background, int tolerance = 24);

/// How many pixels of `area` satisfy `test`.
template<class Test> int CountPixels(const QImage& image, const QRect& area, Test test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixel(x, y)) ? 1 : 0;
    return count;
}

/// The regular files in `folder`, hidden ones too.
int FileCount(const QString& folder);
