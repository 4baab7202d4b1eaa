// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"
#include "imaging/GifEncoder.h"
#include "imaging/Integrity.h"
#include "tests/support/Memory.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>
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

QByteArray PngChunk(const char* type, const QByteArray& data)
{
    QByteArray body = QByteArray(type) + data;
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), chunk.data());
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(Crc32(body), crc.data());
    return chunk + body + crc;
}

// A well-formed PNG header (valid CRC) that claims a picture of w x h RGBA pixels.
QByteArray PngClaiming(quint32 w, quint32 h)
{
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(w, ihdr.data());
    qToBigEndian<quint32>(h, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", QByteArray(16, 'x'))
        + PngChunk("IEND", {});
}

// A bare BITMAPINFOHEADER claiming any size, with a few bytes of pixels.
QByteArray BmpClaiming(qint32 w, qint32 h, quint16 bitCount)
{
    QByteArray bmp(54 + 16, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(quint32(bmp.size()), bmp.data() + 2);
    qToLittleEndian<quint32>(54, bmp.data() + 10);
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(w, bmp.data() + 18);
    qToLittleEndian<qint32>(h, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);
    qToLittleEndian<quint16>(bitCount, bmp.data() + 28);
    return bmp;
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

TEST(Decode, FaultsGiveANullPictureWithoutCrashing)
{
    TestDir dir;
    const QByteArray jpeg = Encode(Gradient(64, 48), "jpeg", 90);
    const QByteArray png = Encode(Gradient(64, 48), "png");
    QByteArray corrupt = jpeg;
    for (qsizetype i = 200; i < corrupt.size() - 2; ++i)
        corrupt[i] = static_cast<char>(0xFF); // markers everywhere inside the scan
    QDir(dir.path()).mkdir("folder.jpg");
    const struct
    {
        const char* name;
        QString path;
    } cases[] = {
        {"missing", dir.file("missing.jpg")},
        {"folder", dir.file("folder.jpg")},
        {"zero bytes", dir.write("empty.jpg", {})},
        {"not a picture", dir.write("text.jpg", "just some text, not a picture")},
        {"corrupt jpeg", dir.write("corrupt.jpg", corrupt)},
        {"truncated jpeg", dir.write("cut.jpg", jpeg.left(jpeg.size() / 2))},
        {"truncated png", dir.write("cut.png", png.left(png.size() / 2))},
        {"truncated bmp", dir.write("cut.bmp", Encode(Gradient(64, 48), "bmp").left(2000))},
        {"png claiming 100000 x 100000", dir.write("huge.png", PngClaiming(100000, 100000))},
        {"png claiming just over 1 GiB", dir.write("over.png", PngClaiming(16385, 16384))},
        {"bmp claiming 2^31 - 1 squared", dir.write("huge.bmp", BmpClaiming(0x7fffffff, 0x7fffffff, 32))},
        {"bmp claiming -2^31 rows", dir.write("neg.bmp", BmpClaiming(4, -0x7fffffff - 1, 65535))},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(DecodeImage(c.path).isNull()) << c.name;
        EXPECT_TRUE(DecodeImage(c.path, QSize(170, 120)).isNull()) << c.name;
    }
}

TEST(Decode, ReducedDecodingKeepsEnoughPixelsAndReportsTheOriginalSize)
{
    TestDir dir;
    const QString photo = dir.write("photo.jpg", Encode(Gradient(1600, 1200), "jpeg", 90));
    const struct
    {
        QSize box;
        QSize decoded;
    } cases[] = {
        {{}, {1600, 1200}}, {{170, 120}, {160, 120}}, // limited by the height
        {{170, 1000}, {170, 128}}, // limited by the width; 127.5 rounds up, never below the box
        {{4000, 4000}, {1600, 1200}}, // never enlarged
    };
    for (const auto& c : cases) {
        const DecodedImage d = DecodeImage(photo, c.box);
        EXPECT_EQ(d.image.size(), c.decoded) << c.box.width() << "x" << c.box.height();
        EXPECT_EQ(d.originalSize, QSize(1600, 1200));
        EXPECT_EQ(d.image.format(), QImage::Format_RGB32);
    }
    // Colours survive the reduced decode: the top-right corner of the gradient is red.
    const QImage small = DecodeImage(photo, QSize(170, 120)).image;
    EXPECT_GT(qRed(small.pixel(158, 1)), 230);
    EXPECT_LT(qGreen(small.pixel(158, 1)), 20);
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
