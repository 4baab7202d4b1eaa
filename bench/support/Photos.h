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
