// SPDX-License-Identifier: MIT
#include "imaging/Decode.h"
#include "imaging/Encoders.h"
#include "imaging/GifEncoder.h"
#include "imaging/Integrity.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QBuffer>
#include <QDataStream>
#include <QImageWriter>
#include <QPainter>
#include <QSet>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

quint32 Crc32(const QByteArray& data)
{
    quint32 crc = ~0u;
    for (const char c : data)
        for (int k = 0, bits = quint8(c); k < 8; ++k, bits >>= 1)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ bits) & 1u)));
    return ~crc;
}

// A real PNG whose header (CRC and all) claims a picture of w x h pixels.
QByteArray PngClaiming(quint32 w, quint32 h)
{
    QByteArray png = Encode(Solid(1, 1, 0), "png"); // the IHDR chunk's data starts at byte 16
    qToBigEndian(w, png.data() + 16);
    qToBigEndian(h, png.data() + 20);
    qToBigEndian(Crc32(png.mid(12, 17)), png.data() + 29);
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

// A gradient above three exact patches that no fixed palette holds.
QImage TestPicture()
{
    QImage image = Gradient(120, 90);
    const QRgb patches[] = {qRgb(13, 86, 125), qRgb(201, 7, 99), qRgb(250, 250, 3)};
    for (int i = 0; i < 3; ++i)
        QPainter(&image).fillRect(40 * i, 60, 40, 30, QColor(patches[i]));
    return image;
}

} // namespace

// A file cut short is refused before it reaches a decoder: every prefix of a file looks incomplete,
// the whole file complete. Other faults (missing, empty, ...) are among the preparation's; these
// get through to the decoders, or claim too large a picture.
TEST(Decode, FaultsGiveANullPictureWithoutCrashing)
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

    TestDir dir;
    QByteArray corrupt = Encode(Gradient(64, 48), "jpeg", 90);
    for (qsizetype i = 200; i < corrupt.size() - 2; ++i)
        corrupt[i] = static_cast<char>(0xFF); // markers everywhere inside the scan
    const QByteArray png = Encode(Gradient(64, 48), "png");
    const std::pair<const char*, QByteArray> cases[] = {
        {"corrupt.jpg", corrupt},
        {"truncated.png", png.left(png.size() / 2)},
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

TEST(Decode, ReducedAndShrunkDecodingKeepEnoughPixelsAndLargePicturesOpen)
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

    // 8200 x 8200 x 4 bytes is over Qt's default 256 MiB allocation limit, and still opens.
    const DecodedImage big
        = DecodeImage(dir.write("big.jpg", Encode(Solid(8200, 8200, qRgb(10, 200, 30)), "jpeg", 50)));
    ASSERT_FALSE(big.isNull());
    EXPECT_EQ(big.originalSize, QSize(8200, 8200));
    EXPECT_TRUE(Near(big.image.pixel(4100, 4100), qRgb(10, 200, 30), 4));

    // JPEG shrinks exactly by whole blocks, leaving out the last rows and columns too few to fill a
    // pixel; other formats decode whole.
    const QString jpeg = dir.write("odd.jpg", Encode(Gradient(1001, 601), "jpeg", 90));
    const QString png = dir.write("odd.png", Encode(Gradient(1001, 601), "png"));
    const std::tuple<QString, int, QSize, QSizeF> shrinks[] = {
        {jpeg, 4, {250, 150}, {250.25, 150.25}},
        {jpeg, 2, {500, 300}, {500.5, 300.5}},
        {jpeg, 1, {1001, 601}, {1001, 601}},
        {png, 4, {1001, 601}, {1001, 601}},
    };
    for (const auto& [path, shrink, decoded, extent] : shrinks) {
        const DecodedImage d = DecodeImageShrunk(path, [shrink](QSize) { return shrink; });
        EXPECT_EQ(d.image.size(), decoded) << path.toStdString() << " /" << shrink;
        EXPECT_EQ(d.extent, extent) << path.toStdString() << " /" << shrink;
        EXPECT_EQ(d.originalSize, QSize(1001, 601));
    }
    EXPECT_TRUE(DecodeImageShrunk(jpeg, [](QSize) { return std::optional<int>(); }).isNull());

    EXPECT_EQ(ShrinkFactorFor(QSize(6000, 4000), QSize(2052, 1368)), 2);
    EXPECT_EQ(ShrinkFactorFor(QSize(6000, 4000), QSize(362, 1)), 8);
    EXPECT_EQ(ShrinkFactorFor(QSize(4103, 3000), QSize(2052, 1368)), 1); // 2051 is one short
    EXPECT_EQ(ShrinkFactorFor(QSize(800, 600), QSize(1604, 1204)), 1);
}

TEST(Encoders, EachFormatWritesItsSignatureAndDecodesBack)
{
    const QImage picture = TestPicture();
    // The tolerance on the gradient, which GIF dithers, and on the exact patches below it: they are
    // in GIF's palette, where a fixed palette would be off by far more.
    const std::tuple<ImageFormat, QByteArray, int, int> cases[] = {
        {ImageFormat::Jpeg, "\xFF\xD8\xFF", 12, 12},
        {ImageFormat::Png, "\x89PNG\r\n\x1a\n", 0, 0},
        {ImageFormat::Gif, "GIF89a", 40, 2},
    };
    for (const auto& [format, signature, tolerance, patchTolerance] : cases) {
        const QByteArray file = EncodeImage(picture, format, 90);
        ASSERT_TRUE(file.startsWith(signature)) << int(format);
        if (format != ImageFormat::Jpeg) { // only JPEG has a quality
            EXPECT_EQ(EncodeImage(picture, format, 10), file);
        }
        const QImage back = QImage::fromData(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), picture.size());
        for (const QPoint p :
            {QPoint(5, 5), QPoint(60, 30), QPoint(110, 50), QPoint(20, 75), QPoint(60, 75), QPoint(100, 80)})
            EXPECT_TRUE(Near(back.pixel(p), picture.pixel(p), p.y() < 60 ? tolerance : patchTolerance))
                << int(format) << " at " << p.x() << "," << p.y();
        if (format == ImageFormat::Gif) { // a palette made for the picture
            const auto* pixels = reinterpret_cast<const QRgb*>(back.constBits());
            const QSet<QRgb> colours(pixels, pixels + back.width() * back.height());
            EXPECT_GT(colours.size(), 64);
            EXPECT_LE(colours.size(), 256);
        }
    }
    EXPECT_LT(EncodeImage(picture, ImageFormat::Jpeg, 20).size() * 2,
        EncodeImage(picture, ImageFormat::Jpeg, 95).size());
    EXPECT_EQ(EncodeImage(picture, ImageFormat::Jpeg, 150), EncodeImage(picture, ImageFormat::Jpeg, 100));
    EXPECT_TRUE(EncodeImage(QImage(), ImageFormat::Png, 0).isEmpty());

    // Large pictures take the GIF quantiser's other code paths (the asan build checks nothing leaks
    // there). Dithering moves single pixels; the mean of a block keeps the colour, also across the
    // rows where the picture is remapped in parts.
    const QImage large = Gradient(2600, 1800);
    const QImage back
        = QImage::fromData(EncodeImage(large, ImageFormat::Gif, 0)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), large.size());
    for (const QPoint at : {QPoint(100, 100), QPoint(1300, 800), QPoint(2400, 1700)}) {
        const QRect block(at, QSize(24, 24));
        EXPECT_TRUE(Near(MeanColour(back, block), MeanColour(large, block), 6)) << at.x() << "," << at.y();
    }

    // Transparency becomes one colour of the palette, and so does anything under half opacity.
    QImage translucent = Solid(20, 10, qRgba(0, 0, 255, 255), QImage::Format_ARGB32);
    for (int i = 0; i < 100; ++i)
        translucent.setPixel(i % 10, i / 10, qRgba(255, 0, 0, i % 10 < 5 ? 0 : 100));
    const QImage clear = QImage::fromData(EncodeImage(translucent, ImageFormat::Gif, 0))
                             .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(clear.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(clear.pixel(7, 2)), 0);
    EXPECT_TRUE(Near(clear.pixel(15, 5), qRgba(0, 0, 255, 255), 2));
}
