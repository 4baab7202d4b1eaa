// SPDX-License-Identifier: MIT
#include "bench/support/Photos.h"

#include <QDir>
#include <QImageWriter>
#include <cmath>
#include <cstdio>

// Neither flat colour nor pure noise compresses like a photo; gradients with noise on top do.
QImage PhotoLike(std::uint32_t seed)
{
    QImage image(kPhotoWidth, kPhotoHeight, QImage::Format_RGB32);
    std::uint32_t state = seed * 2654435761u + 1;
    const double phase = seed * 0.7;
    for (int y = 0; y < kPhotoHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double wave = std::sin(y / 310.0 + phase) * 40;
        for (int x = 0; x < kPhotoWidth; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = static_cast<int>(state & 31) - 16;
            const double ripple = std::sin((x + y) / 45.0) * 12 + wave;
            line[x] = qRgb(qBound(0, int(x * 200 / kPhotoWidth + 30 + ripple) + noise, 255),
                qBound(0, int(y * 180 / kPhotoHeight + 40 - ripple) + noise, 255),
                qBound(0, int(128 + std::sin(x / 520.0 + phase) * 90) + noise, 255));
        }
    }
    return image;
}

QStringList MakePhotos(const QString& folder, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        if (!writer.write(PhotoLike(static_cast<std::uint32_t>(i + 1)))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return {};
        }
        paths << path;
    }
    return paths;
}

QStringList JpegsIn(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name : dir.entryList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG"}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}
