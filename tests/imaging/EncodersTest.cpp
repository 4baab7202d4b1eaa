// SPDX-License-Identifier: MIT
#include "imaging/Encoders.h"
#include "app/core/TickCount.h"
#include "imaging/SaveToTemp.h"
#include "imaging/TempFolder.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// A gradient above three exact patches that no fixed palette holds.
QImage TestPicture()
{
    QImage image = Gradient(120, 90);
    const QRgb patches[] = {qRgb(13, 86, 125), qRgb(201, 7, 99), qRgb(250, 250, 3)};
    for (int y = 60; y < 90; ++y)
        for (int x = 0; x < 120; ++x)
            image.setPixel(x, y, patches[x / 40]);
    return image;
}

} // namespace

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
        const QImage back = QImage::fromData(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(back.size(), picture.size());
        for (const QPoint p :
            {QPoint(5, 5), QPoint(60, 30), QPoint(110, 50), QPoint(20, 75), QPoint(60, 75), QPoint(100, 80)})
            EXPECT_TRUE(Near(back.pixel(p), picture.pixel(p), p.y() < 60 ? tolerance : patchTolerance))
                << int(format) << " at " << p.x() << "," << p.y();
        if (format == ImageFormat::Gif) { // a palette made for the picture
            QSet<QRgb> colours;
            for (int y = 0; y < back.height(); ++y)
                for (int x = 0; x < back.width(); ++x)
                    colours.insert(back.pixel(x, y));
            EXPECT_GT(colours.size(), 64);
            EXPECT_LE(colours.size(), 256);
        }
    }
}

// Large pictures take the quantiser's other code paths; the asan build checks nothing leaks there.
TEST(Encoders, GifOfALargePicture)
{
    const QImage picture = Gradient(2600, 1800);
    const QImage back
        = QImage::fromData(EncodeImage(picture, ImageFormat::Gif, 0)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), picture.size());
    // Dithering moves single pixels; the mean of a block keeps the colour (also across the
    // rows where the picture is remapped in parts).
    for (const QPoint at : {QPoint(100, 100), QPoint(1300, 800), QPoint(2400, 1700)}) {
        const QRect block(at, QSize(24, 24));
        EXPECT_TRUE(Near(MeanColour(back, block), MeanColour(picture, block), 6)) << at.x() << "," << at.y();
    }
}

TEST(Encoders, GifKeepsTransparencyAsOneColour)
{
    QImage picture = Solid(20, 10, qRgba(0, 0, 255, 255), QImage::Format_ARGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            picture.setPixel(x, y, qRgba(255, 0, 0, x < 5 ? 0 : 100));
    const QImage back
        = QImage::fromData(EncodeImage(picture, ImageFormat::Gif, 0)).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(back.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(back.pixel(7, 2)), 0); // under half opacity
    EXPECT_TRUE(Near(back.pixel(15, 5), qRgba(0, 0, 255, 255), 2));
}

TEST(Encoders, JpegHonoursQualityAndTheOthersIgnoreIt)
{
    const QImage picture = TestPicture();
    EXPECT_LT(EncodeImage(picture, ImageFormat::Jpeg, 20).size() * 2,
        EncodeImage(picture, ImageFormat::Jpeg, 95).size());
    EXPECT_EQ(EncodeImage(picture, ImageFormat::Jpeg, 150), EncodeImage(picture, ImageFormat::Jpeg, 100));
    EXPECT_EQ(EncodeImage(picture, ImageFormat::Png, 10), EncodeImage(picture, ImageFormat::Png, 90));
    EXPECT_EQ(EncodeImage(picture, ImageFormat::Gif, 10), EncodeImage(picture, ImageFormat::Gif, 90));
    EXPECT_TRUE(EncodeImage(QImage(), ImageFormat::Png, 0).isEmpty());
}

TEST(SaveToTemp, NamesByHintAndTickAndNeverOverwrites)
{
    TestDir root;
    TempFolder temp(root.path());
    const QString folder = temp.Path();
    ASSERT_FALSE(folder.isEmpty());
    const QImage picture = Solid(16, 16, qRgb(1, 2, 3));
    const QString path = SaveToTemp(temp, picture, "dir/image.jpg", ImageFormat::Jpeg, 80).path;
    EXPECT_TRUE(QRegularExpression("/image-?\\d+\\.jpg$").match(path).hasMatch()) << path.toStdString();
    EXPECT_TRUE(path.startsWith(folder + "/"));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_EQ(FileSizeOf(path), QFileInfo(path).size());

    // Occupy the names of the coming ticks: the save must pick a further number.
    const qint32 tick = static_cast<qint32>(TickCount());
    for (int t = 0; t < 3000; ++t) {
        QFile taken(folder + "/thumb" + QString::number(tick + t) + ".png");
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.write("taken");
    }
    const QString first = SaveToTemp(temp, picture, "thumb", ImageFormat::Png, 0).path;
    const QString second = SaveToTemp(temp, picture, "thumb", ImageFormat::Png, 0).path;
    EXPECT_TRUE(first.endsWith("_1.png")) << first.toStdString();
    EXPECT_NE(first, second);
    EXPECT_EQ(TestDir::read(folder + "/thumb" + QString::number(tick) + ".png"), "taken");
    EXPECT_TRUE(TestDir::read(first).startsWith("\x89PNG"));

    const SavedPicture failed = SaveToTemp(temp, QImage(), "image.jpg", ImageFormat::Jpeg, 80);
    EXPECT_TRUE(failed.path.isEmpty());
    EXPECT_EQ(failed.error, "the picture cannot be encoded as JPG");
    TempFolder nowhere(root.file("missing"));
    EXPECT_EQ(SaveToTemp(nowhere, picture, "image.jpg", ImageFormat::Jpeg, 80).error,
        "the temporary directory " + root.file("missing") + " does not exist");
    EXPECT_EQ(FileSizeOf(folder), -1);
    EXPECT_EQ(FileSizeOf(folder + "/missing"), -1);
}
