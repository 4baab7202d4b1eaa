// SPDX-License-Identifier: MIT
#include "imaging/Thumbnail.h"
#include "settings/Colors.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb kSource = 0xFFC83232;

QRgb Blend(QRgb over, int alpha, QRgb under)
{
    auto mix = [&](int a, int b) { return (a * alpha + b * (255 - alpha) + 127) / 255; };
    return qRgb(
        mix(qRed(over), qRed(under)), mix(qGreen(over), qGreen(under)), mix(qBlue(over), qBlue(under)));
}

} // namespace

TEST(Thumbnail, LayoutRules)
{
    // Settings: frame, size caption, caption over the picture. Layout: frame, inner width,
    // picture height, caption, bar, width, height, bar top, picture height without its bound.
    const std::tuple<const char*, float, float, int, int, int, ThumbnailLayout> cases[] = {
        {"framed with caption", 800, 600, 1, 1, 0, {2, 158, 118, 13, 13, 160, 133, 119, 118}},
        {"unframed", 800, 600, 0, 1, 0, {0, 160, 120, 13, 13, 160, 133, 120, 120}},
        {"caption over the picture", 800, 600, 1, 1, 1, {2, 158, 118, 13, 0, 160, 120, 106, 118}},
        {"no caption", 800, 600, 1, 0, 1, {2, 158, 118, 13, 0, 160, 120, 106, 118}},
        {"wide, 7.9 truncated", 2000, 100, 1, 1, 0, {2, 158, 7, 13, 13, 160, 22, 8, 7}},
        {"tall, up to 8 widths", 100, 1000, 1, 1, 0, {2, 158, 1280, 13, 13, 160, 1295, 1281, 1580}},
        {"a strip of 1 x 10000", 1, 10000, 1, 1, 0, {2, 158, 1280, 13, 13, 160, 1295, 1281, 1580000}},
        {"narrow picture enlarged", 50, 40, 0, 0, 0, {0, 160, 128, 13, 0, 160, 128, 115, 128}},
    };
    for (const auto& [name, w, h, frame, addSize, overThumb, expected] : cases) {
        MainPart main;
        AppearancePart appearance;
        main.Thumbs.DrawFrame = frame;
        main.Thumbs.AddImageSize = addSize;
        appearance.Thumbs.TextOverThumb = overThumb;
        EXPECT_EQ(ThumbnailLayoutFor(w, h, 160, 13, main, appearance), expected) << name;
    }
}

TEST(Thumbnail, FileSizeText)
{
    const std::pair<qint64, const char*> cases[] = {{0, "0 Bytes"}, {512, "512 Bytes"}, {1023, "1023 Bytes"},
        {1024, "  1 kb"}, {2048, "  2 kb"}, {153600, "150 kb"}, {1048575, "1024 kb"}, {1048576, "  1 mb"},
        {1073741823, "1024 mb"}, {1073741824, "  1 gb"}, {5368709120, "  5 gb"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(FormatFileSize(bytes), text) << bytes;
    EXPECT_EQ(ThumbnailCaption(800, 600, 153600), "800x600, 150 kb");
    EXPECT_EQ(ThumbnailCaption(800.9f, 600.99f, -1), "800x600, ");
    EXPECT_EQ(ThumbnailCaption(1, 1, 0), "1x1, ");
}

TEST(Thumbnail, FrameBarAndPictureOnPixels)
{
    MainPart main;
    AppearancePart appearance;
    const int caption = CaptionHeight(ToQFont(appearance.Thumbs.Font));
    ASSERT_GT(caption, 5);
    const int step = 255 / caption; // one row of the bar's gradient
    const QRgb top = ColorRefToArgb(appearance.Thumbs.Color1, 255);
    // Any source resolution is drawn at the target's proportions.
    const QImage thumb = DrawThumbnail(Solid(400, 300, kSource), 800, 600, 153600, 160, main, appearance);
    ASSERT_EQ(thumb.size(), QSize(160, 2 + caption + 118));
    const int h = thumb.height();
    const QRgb frame = ColorRefToArgb(appearance.Thumbs.FrameColor, 255);
    for (int x = 0; x < 160; ++x)
        ASSERT_TRUE(thumb.pixel(x, 0) == frame && thumb.pixel(x, h - 1) == frame) << x;
    for (int y = 0; y < h; ++y)
        ASSERT_TRUE(thumb.pixel(0, y) == frame && thumb.pixel(159, y) == frame) << y;
    for (int y = 1; y <= 118; ++y)
        ASSERT_TRUE(Near(thumb.pixel(3, y), kSource, 2)) << y;
    // Bar on rows 119 .. h - 2, top colour above, bottom colour below; the caption is white.
    EXPECT_TRUE(Near(thumb.pixel(3, 119), top, step));
    EXPECT_TRUE(Near(thumb.pixel(3, h - 2), ColorRefToArgb(appearance.Thumbs.Color2, 255), step));
    EXPECT_GT(
        CountPixels(thumb, QRect(1, 119, 158, caption), [](QRgb c) { return Near(c, 0xFFFFFFFF, 30); }), 10);
    EXPECT_TRUE(DrawThumbnail(QImage(), 800, 600, 1, 160, main, appearance).isNull());
    EXPECT_TRUE(DrawThumbnail(thumb, 0, 600, 1, 160, main, appearance).isNull());
    EXPECT_FALSE(
        RenderThumbnail(*TestTemp(), QImage(), 800, 600, 1, 160, ImageFormat::Jpeg, main, appearance).ok());

    // Over the picture the bar is translucent and adds no rows; without the size, there is no bar.
    main.Thumbs.DrawFrame = 0;
    appearance.Thumbs.TextOverThumb = 1;
    const QImage over = DrawThumbnail(Solid(800, 600, kSource), 800, 600, -1, 160, main, appearance);
    ASSERT_EQ(over.size(), QSize(160, 120));
    EXPECT_TRUE(Near(over.pixel(3, 120 - caption), Blend(top, 120, kSource), step))
        << std::hex << over.pixel(3, 120 - caption);
    EXPECT_TRUE(Near(over.pixel(3, 119 - caption), kSource, 2));
    EXPECT_EQ(qAlpha(over.pixel(3, 119)), 255);
    main.Thumbs.AddImageSize = 0;
    const QImage plain = DrawThumbnail(Solid(800, 600, kSource), 800, 600, -1, 160, main, appearance);
    ASSERT_EQ(plain.size(), QSize(160, 120));
    EXPECT_EQ(InkBox(plain.convertToFormat(QImage::Format_RGB32), kSource, 2), QRect());
}
