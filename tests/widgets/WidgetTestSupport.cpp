// SPDX-License-Identifier: MIT
#include "tests/widgets/WidgetTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <cstdlib>

QString WriteFramedPicture(
    const QString& dir, const QString& name, int width, int height, QColor fill, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, width - 1, height - 1);
    painter.end();
    const QString path = QDir(dir).filePath(name);
    image.save(path, format, 95);
    return path;
}

bool Near(QRgb a, QColor b, int tolerance)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QRect BoxOf(const QImage& image, QColor colour, int tolerance)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Near(image.pixel(x, y), colour, tolerance))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}
