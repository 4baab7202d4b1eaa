// SPDX-License-Identifier: MIT
#include "video/Deinterlace.h"

QImage Deinterlace(const QImage& image)
{
    const int halfHeight = image.height() / 2;
    if (image.isNull() || halfHeight < 1)
        return image;
    return image.scaled(image.width(), halfHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}
