// SPDX-License-Identifier: MIT
#include "tests/support/Pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdlib>

QImage Solid(int w, int h, QRgb color, QImage::Format format)
{
    QImage image(w, h, format);
    image.fill(QColor::fromRgba(color));
    return image;
}

QImage Gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 255 - x * 255 / w));
    return image;
}

QImage Framed(int w, int h, QColor fill)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, w - 1, h - 1);
    return image;
}

QByteArray Encode(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray PngOf(int w, int h)
{
    return Encode(Gradient(w, h), "PNG");
}

QByteArray JpegOf(int w, int h)
{
    return Encode(Gradient(w, h), "JPEG", 90);
}

QString WritePicture(const QString& dir, const QString& name, int w, int h, const char* format, QColor fill)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(Encode(fill.isValid() ? Framed(w, h, fill) : Gradient(w, h), format, 95));
    return path;
}

QColor SharedColour(int index)
{
    return QColor::fromHsv((index * 37) % 360, 220, 230);
}

QStringList SharedPictures(int count)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/shared-pictures-XXXXXX"));
    static QStringList written;
    for (int i = int(written.size()); i < count; ++i)
        written << WritePicture(dir.path(), QStringLiteral("p%1.png").arg(i, 3, 10, QLatin1Char('0')), 400,
            300, "PNG", SharedColour(i));
    return written.mid(0, count);
}

QString WriteSizedFile(const QString& dir, const QString& name, qint64 size)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QByteArray bytes(size, '\0');
        if (size >= 2) {
            bytes[0] = char(0xFF);
            bytes[1] = char(0xD8);
        }
        file.write(bytes);
    }
    return path;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

QRgb MeanColour(const QImage& image, const QRect& area)
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

QRect BoxOf(const QImage& image, QRgb colour, int tolerance)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Near(image.pixel(x, y) | 0xFF000000, colour | 0xFF000000, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

QRect InkBox(const QImage& image, QRgb background, int tolerance)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixel(x, y), background, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

int FileCount(const QString& folder)
{
    return static_cast<int>(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks).size());
}
