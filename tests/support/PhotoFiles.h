// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <string>
#include <utility>
#include <vector>

// Picture files as phones and cameras write them, made by the formats' own libraries.

using ExifTags = std::vector<std::pair<std::string, std::string>>;

/// `file` (JPEG, PNG, WebP or TIFF) with these metadata values set, e.g. {"Exif.Image.Orientation", "6"},
/// and this ICC colour profile when given.
QByteArray WithMetadata(const QByteArray& file, const ExifTags& tags, const QByteArray& icc = {});
/// A GPS position and a camera name, for the location tests.
ExifTags LocationTags();
/// A HEIC (HEVC) or AVIF file of `image` (even sides) with a thumbnail of 48 pixels, with `exif`
/// in it when given, and its colours said to be in the space of these primaries (a number of
/// ITU-T H.273, 12 for Display P3) or of this ICC profile when given.
QByteArray HeifOf(const QImage& image, bool avif = false, const ExifTags& exif = {}, int primaries = 0,
    const QByteArray& icc = {});
/// An 8-bit RGB TIFF file of `image` with that Orientation tag.
QByteArray TiffOf(const QImage& image, int orientation = 1);
QByteArray JxlOf(const QImage& image);
/// An animated WebP whose frames are `first` and then `second`.
QByteArray AnimatedWebpOf(const QImage& first, const QImage& second);
