// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"
#include "imaging/GifEncoder.h"
#include "imaging/Integrity.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QBuffer>
#include <QDataStream>
#include <QImageReader>
#include <QImageWriter>
#include <gtest/gtest.h>

namespace {

quint32 Crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A well-formed PNG header (valid CRC) that claims a picture of w x h RGBA pixels.
QByteArray PngClaiming(quint32 w, quint32 h)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QDataStream out(&png, QIODevice::Append);
    auto chunk = [&](const QByteArray& typeAndData) {
        out << quint32(typeAndData.size() - 4);
        out.writeRawData(typeAndData.constData(), int(typeAndData.size()));
        out << Crc32(typeAndData);
    };
    QByteArray ihdr("IHDR");
    QDataStream(&ihdr, QIODevice::Append) << w << h << quint8(8) << quint8(6) << quint8(0) << quint16(0);
    chunk(ihdr); // bit depth 8, RGBA
    chunk("IDAT" + QByteArray(16, 'x'));
    chunk("IEND");
    return png;
}

// A bare BITMAPINFOHEADER claiming any size, with a few bytes of pixels.
QByteArray BmpClaiming(qint32 w, qint32 h, quint16 bitCount)
{
    QByteArray bmp("BM");
    QDataStream out(&bmp, QIODevice::Append);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(70) << quint32(0) << quint32(54) << quint32(40) << w << h << quint16(1) << bitCount;
    return bmp + QByteArray(40, '\0');
}

} // namespace

TEST(Integrity, EveryPrefixOfAFileIsIncompleteAndTheWholeFileIsComplete)
{
    const QImage picture = Gradient(40, 30);
    QByteArray progressive;
    QBuffer buffer(&progressive);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(picture));
    for (const QByteArray& file :
        {Encode(picture, "jpeg", 80), progressive, Encode(picture, "bmp"), EncodeGif(picture)}) {
        ASSERT_FALSE(file.isEmpty());
        EXPECT_TRUE(LooksComplete(file));
        EXPECT_TRUE(LooksComplete(file + "trailing bytes after the end"));
        // From 4 bytes on the signature names the format.
        for (qsizetype cut = 4; cut < file.size(); cut += 3)
            EXPECT_FALSE(LooksComplete(file.left(cut))) << "prefix " << cut << " of " << file.size();
    }
}

// Files refused before they reach a decoder (missing, empty, cut short, ...) are among the
// preparation's faults; these get through to the decoders, or claim too large a picture.
TEST(Decode, FaultsGiveANullPictureWithoutCrashing)
{
    TestDir dir;
    QByteArray corrupt = Encode(Gradient(64, 48), "jpeg", 90);
    for (qsizetype i = 200; i < corrupt.size() - 2; ++i)
        corrupt[i] = static_cast<char>(0xFF); // markers everywhere inside the scan
    const QByteArray png = Encode(Gradient(64, 48), "png");
    const std::pair<const char*, QByteArray> cases[] = {
        {"corrupt.jpg", corrupt},
        {"truncated.png", png.left(png.size() / 2)},
        {"100000x100000.png", PngClaiming(100000, 100000)},
        {"just-over-1GiB.png", PngClaiming(16385, 16384)},
        {"2^31-1-squared.bmp", BmpClaiming(0x7fffffff, 0x7fffffff, 32)},
        {"-2^31-rows.bmp", BmpClaiming(4, -0x7fffffff - 1, 65535)},
    };
    for (const auto& [name, bytes] : cases) {
        const QString path = dir.write(name, bytes);
        EXPECT_TRUE(DecodeImage(path).isNull()) << name;
        EXPECT_TRUE(DecodeImage(path, QSize(170, 120)).isNull()) << name;
    }
}

TEST(Decode, ReducedDecodingKeepsEnoughPixelsAndReportsTheOriginalSize)
{
    TestDir dir;
    const QString photo = dir.write("photo.jpg", Encode(Gradient(1600, 1200), "jpeg", 90));
    const std::pair<QSize, QSize> cases[] = {
        {{}, {1600, 1200}}, {{170, 120}, {160, 120}}, // limited by the height
        {{170, 1000}, {170, 128}}, // limited by the width; 127.5 rounds up, never below the box
        {{4000, 4000}, {1600, 1200}}, // never enlarged
    };
    for (const auto& [box, decoded] : cases) {
        const DecodedImage d = DecodeImage(photo, box);
        EXPECT_EQ(d.image.size(), decoded) << box.width() << "x" << box.height();
        EXPECT_EQ(d.originalSize, QSize(1600, 1200));
        EXPECT_EQ(d.image.format(), QImage::Format_RGB32);
        // Colours survive: the top-right corner of the gradient is red.
        const QRgb corner = d.image.pixel(d.image.width() - 2, 1);
        EXPECT_TRUE(qRed(corner) > 230 && qGreen(corner) < 20) << std::hex << corner;
    }
}

TEST(Decode, PicturesOverQtsDefaultLimitStillOpen)
{
    // 8200 x 8200 x 4 bytes is over Qt's default 256 MiB allocation limit.
    TestDir dir;
    const QString path = dir.write("big.jpg", Encode(Solid(8200, 8200, qRgb(10, 200, 30)), "jpeg", 50));
    const DecodedImage d = DecodeImage(path);
    ASSERT_FALSE(d.isNull());
    EXPECT_EQ(d.originalSize, QSize(8200, 8200));
    EXPECT_TRUE(Near(d.image.pixel(4100, 4100), qRgb(10, 200, 30), 4));
    EXPECT_EQ(QImageReader::allocationLimit(), 1024);
}
