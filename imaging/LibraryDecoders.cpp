// SPDX-License-Identifier: MIT
#include "imaging/LibraryDecoders.h"

#include <jxl/decode.h>
#include <libheif/heif.h>

#include <QtEndian>
#include <cstdint>
#include <cstring>

LibraryDecoder::~LibraryDecoder() = default;

std::unique_ptr<LibraryDecoder> LibraryDecoder::For(QByteArrayView file)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const int length = static_cast<int>(std::min<qsizetype>(file.size(), 64));
    if (file.size() >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0)
        return MakeWebpDecoder(file);
    if (file.size() >= 4
        && (std::memcmp(bytes, "II*\0", 4) == 0 || std::memcmp(bytes, "MM\0*", 4) == 0
            || std::memcmp(bytes, "II+\0", 4) == 0 || std::memcmp(bytes, "MM\0+", 4) == 0))
        return MakeTiffDecoder(file);
    const JxlSignature jxl = JxlSignatureCheck(bytes, static_cast<size_t>(length));
    if (jxl == JXL_SIG_CODESTREAM || jxl == JXL_SIG_CONTAINER)
        return MakeJxlDecoder(file);
    // HEIF and AVIF: an ISO media file whose brands name a picture, not a video.
    if (length >= 12 && heif_check_filetype(bytes, length) != heif_filetype_no)
        return MakeHeifDecoder(file);
    return nullptr;
}

void RgbaToArgb32(uchar* data, int width, int height, qsizetype bytesPerLine, bool opaque)
{
    const quint32 alpha = opaque ? 0xFF000000u : 0;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<quint32*>(data + y * bytesPerLine);
        for (int x = 0; x < width; ++x) {
            quint32 v = row[x];
            if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
                v = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu); // R and B swap places
            else
                v = (v >> 8) | (v << 24); // RGBA read big-endian is ARGB turned one byte
            row[x] = v | alpha;
        }
    }
}
