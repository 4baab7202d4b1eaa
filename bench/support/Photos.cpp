// SPDX-License-Identifier: MIT
#include "bench/support/Photos.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

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

bool WriteHeic(const QImage& image, const QString& path)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* picture = nullptr;
    heif_image_handle* handle = nullptr;
    bool ok
        = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok
        && heif_image_create(
               image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture)
                .code
            == heif_error_Ok
        && heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8).code
            == heif_error_Ok;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 85);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < rgb.height(); ++y)
            std::copy_n(rgb.constScanLine(y), rgb.width() * 3, plane + y * stride);
        ok = heif_context_encode_image(context, picture, encoder, nullptr, &handle).code == heif_error_Ok
            && heif_context_write_to_file(context, QFile::encodeName(path).constData()).code == heif_error_Ok;
    }
    if (handle)
        heif_image_handle_release(handle);
    if (picture)
        heif_image_release(picture);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return ok;
}

bool TagOrientation(const QString& path, int orientation)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        image->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
        image->writeMetadata();
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot tag %s: %s\n", qPrintable(path), e.what());
        return false;
    }
}

QStringList MakeMixedPhotos(const QString& folder, int count)
{
    // Cut from the generated photo, so both keep its fine noise, which decides the decoding time.
    const QImage photo = PhotoLike(7);
    const QImage large = photo.copy(0, 0, 5640, 3172);
    const QImage small = photo.copy(1000, 1000, 2560, 1920);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
        QImageWriter writer(path, "jpeg");
        writer.setQuality(92);
        if (!writer.write(i % 2 == 0 ? large : small)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return {};
        }
        paths << path;
    }
    return paths;
}
