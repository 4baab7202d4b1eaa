// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

// Qt's JPEG, GIF and BMP readers hand back a half-grey or half-empty picture for a file that
// was cut short and only log a warning. Walking the file's own structure first lets the
// decoder refuse such files instead of uploading a broken picture.

/// False when `data` is a JPEG, GIF or BMP file that ends before its structure does.
/// Other formats (and files too short to tell) pass; their readers report truncation themselves.
bool LooksComplete(QByteArrayView data);

bool JpegLooksComplete(QByteArrayView data);
bool GifLooksComplete(QByteArrayView data);
bool BmpLooksComplete(QByteArrayView data);
