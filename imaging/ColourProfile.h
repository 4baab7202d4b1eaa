// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

/// Converts `image` (Format_RGB32, or Format_ARGB32 with straight alpha) from the colour space the
/// ICC profile `icc` describes to sRGB, in place, with the perceptual intent; alpha is left as it
/// is. Profiles that describe sRGB already, CMYK and other kinds than RGB and gray, and profiles
/// that cannot be read leave the pixels untouched. Safe on any thread.
void ConvertToSrgb(QImage& image, QByteArrayView icc);

/// An ICC profile of the RGB space with the given red, green and blue primaries and white point
/// (CIE x and y each) and the sRGB tone curve: how HEIF and AVIF name a colour space by numbers.
QByteArray RgbProfile(const double (&primaries)[6], double whiteX, double whiteY);
