// SPDX-License-Identifier: MIT
#include "imaging/Integrity.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::uint8_t At(QByteArrayView data, qsizetype i)
{
    return static_cast<std::uint8_t>(data[i]);
}

std::uint32_t Le16(QByteArrayView data, qsizetype i)
{
    return At(data, i) | (At(data, i + 1) << 8);
}

std::uint32_t Le32(QByteArrayView data, qsizetype i)
{
    return Le16(data, i) | (Le16(data, i + 2) << 16);
}

bool StartsWith(QByteArrayView data, const char* magic)
{
    const auto length = static_cast<qsizetype>(std::strlen(magic));
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

// Entropy-coded data ends at the first 0xFF that is followed by a real marker: 0x00 is a
// stuffed byte and D0..D7 are restart markers that belong to the scan.
qsizetype SkipScanData(QByteArrayView data, qsizetype pos)
{
    const qsizetype n = data.size();
    while (pos < n) {
        const void* ff = std::memchr(data.data() + pos, 0xFF, static_cast<size_t>(n - pos));
        if (!ff)
            return n;
        pos = static_cast<const char*>(ff) - data.data();
        if (pos + 1 >= n)
            return n;
        const std::uint8_t next = At(data, pos + 1);
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF)
            pos += next == 0xFF ? 1 : 2;
        else
            return pos;
    }
    return n;
}

// GIF data sub-blocks: a length byte, that many bytes, until a length of 0.
qsizetype SkipSubBlocks(QByteArrayView data, qsizetype pos)
{
    while (pos < data.size()) {
        const std::uint8_t length = At(data, pos++);
        if (length == 0)
            return pos;
        pos += length;
    }
    return -1;
}

} // namespace

bool JpegLooksComplete(QByteArrayView data)
{
    const qsizetype n = data.size();
    if (n < 4 || At(data, 0) != 0xFF || At(data, 1) != 0xD8)
        return false;
    qsizetype pos = 2;
    while (pos < n) {
        if (At(data, pos) != 0xFF)
            return false;
        while (pos < n && At(data, pos) == 0xFF)
            ++pos;
        if (pos >= n)
            return false;
        const std::uint8_t marker = At(data, pos++);
        if (marker == 0xD9)
            return true;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        if (pos + 2 > n)
            return false;
        const qsizetype length = (At(data, pos) << 8) | At(data, pos + 1);
        if (length < 2)
            return false;
        pos += length;
        if (pos > n)
            return false;
        if (marker == 0xDA)
            pos = SkipScanData(data, pos);
    }
    return false;
}

bool GifLooksComplete(QByteArrayView data)
{
    if (data.size() < 13 || !(StartsWith(data, "GIF87a") || StartsWith(data, "GIF89a")))
        return false;
    const std::uint8_t screenFlags = At(data, 10);
    qsizetype pos = 13;
    if (screenFlags & 0x80)
        pos += 3 * (qsizetype(2) << (screenFlags & 7));
    while (pos >= 0 && pos < data.size()) {
        const std::uint8_t introducer = At(data, pos++);
        if (introducer == 0x3B)
            return true;
        if (introducer == 0x21) {
            pos = SkipSubBlocks(data, pos + 1);
        } else if (introducer == 0x2C) {
            if (pos + 10 > data.size())
                return false;
            const std::uint8_t imageFlags = At(data, pos + 8);
            pos += 9;
            if (imageFlags & 0x80)
                pos += 3 * (qsizetype(2) << (imageFlags & 7));
            pos = SkipSubBlocks(data, pos + 1); // +1: the LZW minimum code size
        } else {
            return false;
        }
    }
    return false;
}

bool BmpLooksComplete(QByteArrayView data)
{
    if (data.size() < 26 || !StartsWith(data, "BM"))
        return false;
    const std::uint32_t pixelOffset = Le32(data, 10);
    const std::uint32_t headerSize = Le32(data, 14);
    if (headerSize < 40) // the old OS/2 header: leave it to the reader
        return true;
    if (data.size() < 34)
        return false;
    const auto width = static_cast<std::int32_t>(Le32(data, 18));
    const auto height = static_cast<std::int32_t>(Le32(data, 22));
    const std::uint32_t bitCount = Le16(data, 28);
    const std::uint32_t compression = Le32(data, 30);
    // Only uncompressed rows have a size known in advance; RLE readers stop at the data's end.
    if (compression != 0 && compression != 3)
        return true;
    const qint64 rowBytes = (std::abs(qint64(width)) * bitCount + 31) / 32 * 4;
    const qint64 rows = std::abs(qint64(height));
    if (qint64(pixelOffset) > data.size())
        return false;
    // Divided rather than multiplied: a header may claim sizes whose product overflows 64 bits.
    return rows == 0 || rowBytes <= (data.size() - qint64(pixelOffset)) / rows;
}

bool LooksComplete(QByteArrayView data)
{
    if (data.size() >= 2 && At(data, 0) == 0xFF && At(data, 1) == 0xD8)
        return JpegLooksComplete(data);
    if (StartsWith(data, "GIF8"))
        return GifLooksComplete(data);
    if (StartsWith(data, "BM"))
        return BmpLooksComplete(data);
    return true;
}
