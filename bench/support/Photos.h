// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>

/// The size of the generated photos: a 24-megapixel camera's.
constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

/// A 6000 x 4000 picture that compresses like a camera photo: soft gradients and broad waves with
/// fine noise on top. Each seed gives another picture.
QImage PhotoLike(std::uint32_t seed);

/// Writes `count` photo-like JPEGs (quality 92) named photo00.jpg, photo01.jpg, ... into `folder`
/// and returns their paths; empty when one cannot be written (the reason is on standard error).
QStringList MakePhotos(const QString& folder, int count);

/// The JPEG files directly in `folder`, by name.
QStringList JpegsIn(const QString& folder);

/// Writes `image` as a HEIC file (HEVC, quality 85), as a phone stores its photos.
bool WriteHeic(const QImage& image, const QString& path);

/// Sets the EXIF orientation of a JPEG file, as a phone held upright tags its sideways pixels.
bool TagOrientation(const QString& path, int orientation);

/// Writes `count` JPEGs of two sizes taking turns, large (5640 x 3172) then small (2560 x 1920),
/// as photo00.jpg, photo01.jpg, ... into `folder`; empty when one cannot be written.
QStringList MakeMixedPhotos(const QString& folder, int count);
