// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

/// A single-frame GIF89a of `image` with a 256-colour palette quantised for this picture
/// (libimagequant, dithered). Pixels under half opacity become the transparent colour.
/// Empty when the picture cannot be encoded (null, or a side beyond GIF's 65535).
QByteArray EncodeGif(const QImage& image);
