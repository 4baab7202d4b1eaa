// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <optional>

/// Peak signal-to-noise ratio of `test` against `reference` in dB, over red, green and blue
/// (alpha is ignored; pictures with transparency are compared as stored). Infinity for
/// identical pictures; no value when either is null or their sizes differ.
std::optional<double> Psnr(const QImage& reference, const QImage& test);
