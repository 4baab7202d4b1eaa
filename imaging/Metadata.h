// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

/// What a picture file says about its pixels besides the pixels themselves.
struct PictureMetadata
{
    /// The EXIF orientation, 1 to 8: how the stored pixels are turned and mirrored to stand upright.
    int orientation = 1;
    /// The embedded ICC colour profile; empty when the file has none (the pixels are sRGB then).
    QByteArray iccProfile;
};

/// Reads the orientation and the colour profile of a JPEG, PNG, WebP or TIFF file through the
/// metadata library. Other files, and metadata the library cannot read, give the defaults.
PictureMetadata ReadMetadata(QByteArrayView file);

/// The size of a picture stored as `stored` once it is turned by `orientation`.
QSize OrientedSize(QSize stored, int orientation);

/// `image` turned and mirrored as `orientation` says; the picture itself for orientation 1.
QImage Oriented(QImage image, int orientation);

/// What removing the location from a file that is sent as it is gave.
struct LocationRemoval
{
    enum class Outcome {
        NoLocation, ///< the file carries no location: send it as it is
        Removed, ///< `file` is the same file without its location
        Kept, ///< the file has a location that cannot be removed safely
    };
    Outcome outcome = Outcome::NoLocation;
    QByteArray file;
};

/// Removes the GPS block (and nothing else) from the EXIF and XMP of a JPEG, PNG, WebP or TIFF
/// file, without touching its pixels. HEIF and AVIF files, whose metadata the library reads but
/// does not write, come back as Kept when they carry a location.
LocationRemoval RemoveLocation(QByteArrayView file);
