// SPDX-License-Identifier: MIT
#include "imaging/Prepare.h"
#include "imaging/TempFolder.h"
#include "imaging/Thumbnail.h"
#include "settings/Colors.h"
#include "tests/support/Memory.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kSource = 0xFFC83232; // a thumbnail's picture, unlike its frame and bar

MainPart PngWithoutStamps(int maxWidth = 0, int maxHeight = 0)
{
    MainPart main;
    main.Image.Format = ImageFormat::Png;
    main.Image.AddText = main.Image.AddLogo = 0;
    main.Image.MaxWidth = maxWidth;
    main.Image.MaxHeight = maxHeight;
    return main;
}

QImage Prepared(const QString& source, const MainPart& main, const AppearancePart& appearance = {})
{
    const PreparedImage prepared = PrepareImage(*TestTemp(), source, 0, main, appearance);
    return prepared.ok() ? QImage(prepared.path).convertToFormat(QImage::Format_RGB32) : QImage();
}

int CaptionRows()
{
    return CaptionHeight(ToQFont(AppearancePart().Thumbs.Font));
}

} // namespace

TEST(Prepare, BoundingRules)
{
    // The picture's size, the bounds, whether proportions are kept; the size and its pixels.
    const std::tuple<float, float, int, int, bool, TargetSize, QSize> cases[] = {
        {1000, 750, 800, 0, true, {800, 600}, {800, 600}},
        {1000, 2000, 800, 600, true, {800, 1600}, {800, 1600}}, // only the width bound applies
        {2000, 3000, 0, 600, true, {400, 600}, {400, 600}},
        {500, 400, 800, 600, true, {500, 400}, {500, 400}}, // smaller than the bounds
        {500, 400, 0, 600, true, {500, 400}, {500, 400}}, {500, 400, 800, 0, true, {500, 400}, {500, 400}},
        {500, 400, 800, 0, false, {800, 400}, {800, 400}}, // enlarged without proportions
        {500, 400, 0, 100, false, {500, 100}, {500, 100}},
        {500, 400, 0, 0, true, {500, 400}, {500, 400}}, // no bounds
        {500, 400, -5, -1, false, {500, 400}, {500, 400}},
        {1000, 333, 500, 0, true, {500, 166.5f}, {500, 166}}, // truncated toward zero
        {1000, 15, 100, 0, true, {100, 1.5f}, {100, 1}}, // a one-pixel result
    };
    TestDir dir;
    for (const auto& [w, h, maxW, maxH, keep, target, pixels] : cases) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " in " << maxW << "x" << maxH);
        const TargetSize t = BoundedSize(w, h, maxW, maxH, keep);
        EXPECT_FLOAT_EQ(t.width, target.width);
        EXPECT_FLOAT_EQ(t.height, target.height);
        const QImage source = Framed(int(w), int(h), QColor(0, 0, 255)); // a black border round blue
        MainPart main = PngWithoutStamps(maxW, maxH);
        main.KeepProportions = keep;
        const QImage prepared = Prepared(dir.write("source.png", Encode(source, "png")), main);
        ASSERT_EQ(prepared.size(), pixels);
        if (pixels != source.size())
            continue;
        // At its own size an unbounded picture stays exact, while any bound scales it one pixel
        // larger on every side: the border is cut away.
        if (maxW <= 0 && maxH <= 0)
            EXPECT_EQ(prepared, source);
        else
            for (const QPoint p : {QPoint(0, 200), QPoint(499, 200), QPoint(250, 0), QPoint(250, 399)})
                EXPECT_GT(qBlue(prepared.pixel(p)), 215) << p.x() << "," << p.y();
    }
}

TEST(Prepare, FormatFollowsTheSettingOrTheSourceExtension)
{
    TestDir dir;
    // The source's name and format; the format asked for (none: by the source's extension), the
    // one written.
    using Setting = std::optional<ImageFormat>;
    const std::tuple<const char*, const char*, Setting, const char*, QByteArray> cases[] = {
        {"photo.BMP", "bmp", {}, ".jpg", "\xFF\xD8\xFF"},
        {"anim.gif", "png", {}, ".gif", "GIF89a"},
        {"x.png", "png", ImageFormat::Jpeg, ".jpg", "\xFF\xD8\xFF"},
        {"x.jpg", "jpeg", ImageFormat::Gif, ".gif", "GIF89a"},
        {"x.PnG", "png", {}, ".png", "\x89PNG"},
    };
    for (const auto& [name, writeAs, setting, extension, signature] : cases) {
        MainPart main;
        main.Image.Format = setting;
        const QString source = dir.write(name, Encode(Solid(40, 30, kGrey), writeAs));
        const QString out = PrepareImage(*TestTemp(), source, 0, main, {}).path;
        ASSERT_FALSE(out.isEmpty()) << name;
        EXPECT_TRUE(out.endsWith(extension)) << name << " " << out.toStdString();
        EXPECT_TRUE(TestDir::read(out).startsWith(signature)) << name;
    }
}

TEST(Prepare, FaultsWriteNothingAndSayWhy)
{
    TestDir dir;
    QDir(dir.path()).mkdir("folder.jpg");
    const QByteArray jpeg = Encode(Solid(64, 48, kGrey), "jpeg", 90);
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file("fifo.jpg")).constData(), 0600), 0);
    // The source; why it is refused, and why when it is to be kept as is (empty: the original goes up).
    const std::tuple<QString, const char*, const char*> cases[] = {
        {dir.file("missing.jpg"), "the file does not exist", "the file does not exist"},
        {dir.file("folder.jpg"), "it is a folder, not a picture", "it is a folder, not a picture"},
        {dir.file("fifo.jpg"), "it is not a regular file", "it is not a regular file"},
        {dir.write("empty.jpg", {}), "the file is empty", ""},
        {dir.write("cut.jpg", jpeg.left(jpeg.size() - 40)), "the picture is cut short", ""},
        {dir.write("junk.png", "\x89PNG\r\n\x1a\n junk"), "it cannot be decoded as a picture", ""},
        {dir.write("thin.png", Encode(Solid(3000, 10, kGrey), "png")), // bounded to 100 x 0.33
            "the picture's size leaves nothing to draw", ""},
    };
    const int before = FileCount(TestTemp()->Path());
    for (const auto& [source, whyNot, whyNotAsIs] : cases) {
        for (int keepAsIs : {0, 1}) {
            SCOPED_TRACE(testing::Message() << source.toStdString() << (keepAsIs ? " as is" : ""));
            MainPart main = PngWithoutStamps(100, 0);
            main.Image.KeepAsIs = keepAsIs;
            const PreparedImage prepared = PrepareImage(*TestTemp(), source, 160, main, {});
            EXPECT_TRUE(prepared.thumbPath.isEmpty());
            const char* error = keepAsIs ? whyNotAsIs : whyNot;
            EXPECT_EQ(prepared.error.toStdString(), error);
            EXPECT_EQ(prepared.path, *error ? QString() : source);
        }
    }
    EXPECT_EQ(FileCount(TestTemp()->Path()), before);
}

TEST(Prepare, MemoryStaysBoundedWhateverTheProportionsAndSettings)
{
    TestDir dir;
    const QString strip = dir.write("strip.png", Encode(Solid(1, 10000, kGrey), "png")); // ~100 bytes
    const QString tiny = dir.write("tiny.png", Encode(Solid(16, 12, kGrey), "png"));
    MainPart stamped = PngWithoutStamps();
    stamped.Image.AddText = stamped.Image.AddLogo = 1;
    AppearancePart huge;
    huge.Text.Font = StringToFont(u"Tahoma,1000,b,204"); // the largest size a font string may hold
    huge.Text.Font.height = -16000; // as 12,000 points would give
    huge.Logo.Filename = dir.write("logo.png", Encode(Solid(5000, 5000, qRgb(255, 0, 0)), "png"));
    PreparedImage prepared;
    const qint64 stripGrowth
        = PeakMemoryGrowth([&] { prepared = PrepareImage(*TestTemp(), strip, 160, PngWithoutStamps(), {}); });
    ASSERT_TRUE(prepared.ok()) << prepared.error.toStdString();
    EXPECT_EQ(QImageReader(prepared.thumbPath).size(), QSize(160, 2 + CaptionRows() + 8 * 160));
    EXPECT_LT(stripGrowth, 64 << 20);

    const qint64 textGrowth
        = PeakMemoryGrowth([&] { prepared = PrepareImage(*TestTemp(), tiny, 0, stamped, huge); });
    ASSERT_TRUE(prepared.ok());
    EXPECT_LT(textGrowth, 64 << 20);
    EXPECT_EQ(QImageReader(prepared.path).size(), QSize(16, 12));
}

TEST(Prepare, StampsAndThumbnail)
{
    TestDir dir;
    const QString source = dir.write("tall.png", Encode(Solid(1000, 2000, kGrey), "png"));
    MainPart main = PngWithoutStamps(800, 600);
    main.Image.AddText = main.Image.AddLogo = 1;
    AppearancePart appearance; // text "Vellmar" bottom right, no logo file

    // The text is stamped into the corner of the bounded picture and nowhere else.
    const QImage textOnly = Prepared(source, main, appearance);
    ASSERT_EQ(textOnly.size(), QSize(800, 1600));
    const QRect ink = InkBox(textOnly, kGrey, 4);
    EXPECT_TRUE(QRect(600, 1560, 200, 40).contains(ink)) << ink.x() << "," << ink.y();
    EXPECT_GT(CountPixels(textOnly, ink, [](QRgb c) { return Near(c, 0xFFFFFFFF, 40); }), 10);

    appearance.Logo.Filename = dir.file("missing.png");
    EXPECT_EQ(Prepared(source, main, appearance), textOnly);

    // The logo is stamped after the text and covers it.
    const QRect logo(650, 1560, 150, 40);
    appearance.Logo.Filename = dir.write("logo.png", Encode(Solid(150, 40, qRgb(255, 0, 0)), "png"));
    appearance.Logo.Position = StampPosition::BottomRight;
    const QImage covered = Prepared(source, main, appearance);
    EXPECT_EQ(InkBox(covered, kGrey, 4), logo);
    EXPECT_EQ(CountPixels(covered, logo, [](QRgb c) { return c != qRgb(255, 0, 0); }), 0);

    // The thumbnail shows the unstamped picture at the bounded proportions; kept as is, the
    // original goes up with a thumbnail of the same.
    const QImage small(PrepareImage(*TestTemp(), source, 160, main, appearance).thumbPath);
    EXPECT_EQ(small.size(), QSize(160, 2 + CaptionRows() + 316));
    EXPECT_TRUE(Near(small.pixel(150, 300), kGrey, 2));
    main.Image.KeepAsIs = 1;
    const PreparedImage kept = PrepareImage(*TestTemp(), source, 160, main, appearance);
    EXPECT_EQ(kept.path, source);
    EXPECT_EQ(QImageReader(kept.thumbPath).size(), small.size());
}

// A thumbnail wider than the bounded picture is drawn from the original, not blown up from the
// small copy: a grating that the 20-pixel picture averages away stays visible in it.
TEST(Prepare, AThumbnailWiderThanThePictureComesFromTheOriginal)
{
    TestDir dir;
    QImage grating(800, 1, QImage::Format_RGB32);
    for (int x = 0; x < grating.width(); ++x) {
        const int level = qRound(127.5 + 127.5 * std::sin(x * 2 * M_PI / 40));
        grating.setPixel(x, 0, qRgb(level, level, level));
    }
    const QString source = dir.write("grating.png", Encode(grating.scaled(800, 600), "png"));
    MainPart main = PngWithoutStamps(20, 0);
    main.Thumbs.DrawFrame = main.Thumbs.AddImageSize = 0;
    const PreparedImage prepared = PrepareImage(*TestTemp(), source, 160, main, {});
    ASSERT_TRUE(prepared.ok());
    auto contrast = [](const QImage& thumb) { // across row 40
        const QImage row = thumb.copy(10, 40, 140, 1).convertToFormat(QImage::Format_Grayscale8);
        const auto [darkest, lightest] = std::minmax_element(row.constBits(), row.constBits() + 140);
        return *lightest - *darkest;
    };
    const QImage fromBounded = DrawThumbnail(QImage(prepared.path), 20, 15, 1, 160, main, {});
    EXPECT_LT(contrast(fromBounded), 80); // what the thumbnail would be, drawn from the small copy
    EXPECT_GT(contrast(QImage(prepared.thumbPath)), 160);
}

TEST(Thumbnail, LayoutAndCaptionText)
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

    const std::pair<qint64, const char*> sizes[] = {{0, "0 Bytes"}, {512, "512 Bytes"}, {1023, "1023 Bytes"},
        {1024, "  1 kb"}, {2048, "  2 kb"}, {153600, "150 kb"}, {1048575, "1024 kb"}, {1048576, "  1 mb"},
        {1073741823, "1024 mb"}, {1073741824, "  1 gb"}, {5368709120, "  5 gb"}};
    for (const auto& [bytes, text] : sizes)
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
    for (const QRect edge :
        {QRect(0, 0, 160, 1), QRect(0, h - 1, 160, 1), QRect(0, 0, 1, h), QRect(159, 0, 1, h)})
        EXPECT_EQ(CountPixels(thumb, edge, [frame](QRgb c) { return c != frame; }), 0)
            << edge.x() << "," << edge.y();
    EXPECT_EQ(CountPixels(thumb, QRect(3, 1, 1, 118), [](QRgb c) { return !Near(c, kSource, 2); }), 0);
    // Bar on rows 119 .. h - 2, top colour above, bottom colour below; the caption is white.
    EXPECT_TRUE(Near(thumb.pixel(3, 119), top, step));
    EXPECT_TRUE(Near(thumb.pixel(3, h - 2), ColorRefToArgb(appearance.Thumbs.Color2, 255), step));
    EXPECT_GT(CountPixels(thumb, QRect(1, 119, 158, caption), [](QRgb c) { return qGray(c) > 200; }), 10)
        << "the white caption on the darker bar";
    EXPECT_TRUE(DrawThumbnail(QImage(), 800, 600, 1, 160, main, appearance).isNull());
    EXPECT_TRUE(DrawThumbnail(thumb, 0, 600, 1, 160, main, appearance).isNull());
    EXPECT_FALSE(
        RenderThumbnail(*TestTemp(), QImage(), 800, 600, 1, 160, ImageFormat::Jpeg, main, appearance).ok());

    // Over the picture the bar is translucent and adds no rows; without the size, there is no bar.
    main.Thumbs.DrawFrame = 0;
    appearance.Thumbs.TextOverThumb = 1;
    const QImage over = DrawThumbnail(Solid(800, 600, kSource), 800, 600, -1, 160, main, appearance);
    ASSERT_EQ(over.size(), QSize(160, 120));
    QImage blend = Solid(1, 1, kSource); // the top colour at alpha 120 of 255 over the picture
    QPainter(&blend).fillRect(0, 0, 1, 1, QColor::fromRgba((top & 0xFFFFFF) | (120u << 24)));
    EXPECT_TRUE(Near(over.pixel(3, 120 - caption), blend.pixel(0, 0), step))
        << std::hex << over.pixel(3, 120 - caption);
    EXPECT_TRUE(Near(over.pixel(3, 119 - caption), kSource, 2));
    EXPECT_EQ(qAlpha(over.pixel(3, 119)), 255);
    main.Thumbs.AddImageSize = 0;
    const QImage plain = DrawThumbnail(Solid(800, 600, kSource), 800, 600, -1, 160, main, appearance);
    ASSERT_EQ(plain.size(), QSize(160, 120));
    EXPECT_EQ(InkBox(plain.convertToFormat(QImage::Format_RGB32), kSource, 2), QRect());
}
