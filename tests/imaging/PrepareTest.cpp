// SPDX-License-Identifier: MIT
#include "imaging/Prepare.h"
#include "imaging/Decode.h"
#include "imaging/TempFolder.h"
#include "imaging/Thumbnail.h"
#include "tests/imaging/ImagingSupport.h"

#include <QImageReader>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr QRgb kGrey = 0xFF808080;

MainPart PngWithoutStamps(int maxWidth = 0, int maxHeight = 0)
{
    MainPart main;
    main.Image.Format = 2;
    main.Image.AddText = 0;
    main.Image.AddLogo = 0;
    main.Image.MaxWidth = maxWidth;
    main.Image.MaxHeight = maxHeight;
    return main;
}

QImage Prepared(const QString& source, const MainPart& main, const AppearancePart& appearance = {})
{
    QString out;
    if (!PrepareImage(source, out, nullptr, 0, main, appearance))
        return {};
    return QImage(out).convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(Prepare, BoundingRules)
{
    const struct
    {
        float w, h;
        int maxW, maxH;
        bool keep;
        TargetSize target;
        QSize pixels;
    } cases[] = {
        {1000, 750, 800, 0, true, {800, 600}, {800, 600}},
        {1000, 2000, 800, 600, true, {800, 1600}, {800, 1600}}, // only the width bound applies
        {2000, 3000, 0, 600, true, {400, 600}, {400, 600}},
        {500, 400, 800, 600, true, {500, 400}, {500, 400}}, // smaller than the bounds
        {600, 600, 300, 300, true, {300, 300}, {300, 300}},
        {500, 400, 800, 0, false, {800, 400}, {800, 400}}, // enlarged without proportions
        {500, 400, 0, 100, false, {500, 100}, {500, 100}},
        {500, 400, 0, 0, true, {500, 400}, {500, 400}}, // no bounds
        {500, 400, -5, -1, false, {500, 400}, {500, 400}},
        {1000, 333, 500, 0, true, {500, 166.5f}, {500, 166}}, // truncated toward zero
        {1000, 15, 100, 0, true, {100, 1.5f}, {100, 1}}, // a one-pixel result
    };
    TestDir dir;
    for (const auto& c : cases) {
        const TargetSize t = BoundedSize(c.w, c.h, c.maxW, c.maxH, c.keep);
        EXPECT_FLOAT_EQ(t.width, c.target.width) << c.w << "x" << c.h;
        EXPECT_FLOAT_EQ(t.height, c.target.height) << c.w << "x" << c.h;
        const QString source = dir.write("source.png", Encode(Solid(int(c.w), int(c.h), kGrey), "png"));
        MainPart main = PngWithoutStamps(c.maxW, c.maxH);
        main.KeepProportions = c.keep;
        EXPECT_EQ(Prepared(source, main).size(), c.pixels) << c.w << "x" << c.h;
    }
}

TEST(Prepare, BoundedPicturesLoseTheirOuterPixelUnboundedOnesStayExact)
{
    TestDir dir;
    QImage framed = Solid(500, 400, qRgb(0, 0, 255));
    for (int x = 0; x < 500; ++x)
        framed.setPixel(x, 0, qRgb(255, 0, 0)), framed.setPixel(x, 399, qRgb(255, 0, 0));
    for (int y = 0; y < 400; ++y)
        framed.setPixel(0, y, qRgb(255, 0, 0)), framed.setPixel(499, y, qRgb(255, 0, 0));
    const QString source = dir.write("framed.png", Encode(framed, "png"));

    EXPECT_EQ(Prepared(source, PngWithoutStamps()), framed);
    // Either bound alone is enough to scale the picture one pixel larger on every side.
    for (const QSize bounds : {QSize(800, 600), QSize(0, 600), QSize(800, 0)}) {
        const QImage bounded = Prepared(source, PngWithoutStamps(bounds.width(), bounds.height()));
        ASSERT_EQ(bounded.size(), QSize(500, 400));
        for (const QPoint p : {QPoint(0, 200), QPoint(499, 200), QPoint(250, 0), QPoint(250, 399)})
            EXPECT_LT(qRed(bounded.pixel(p)), 40)
                << bounds.width() << "x" << bounds.height() << " at " << p.x() << "," << p.y();
    }
}

TEST(Prepare, FormatFollowsTheSettingOrTheSourceExtension)
{
    TestDir dir;
    const QImage picture = Solid(40, 30, kGrey);
    const struct
    {
        const char* name;
        const char* writeAs;
        int setting;
        const char* extension;
        QByteArray signature;
    } cases[] = {
        {"photo.BMP", "bmp", 0, ".jpg", "\xFF\xD8\xFF"},
        {"anim.gif", "png", 0, ".gif", "GIF89a"},
        {"x.png", "png", 0, ".png", "\x89PNG"},
        {"x.png", "png", 1, ".jpg", "\xFF\xD8\xFF"},
        {"x.jpg", "jpeg", 3, ".gif", "GIF89a"},
        {"x.jpg", "jpeg", 9, ".jpg", "\xFF\xD8\xFF"},
        {"X.JPEG", "png", 0, ".jpg", "\xFF\xD8\xFF"},
        {"x.PnG", "png", 0, ".png", "\x89PNG"},
    };
    for (const auto& c : cases) {
        MainPart main;
        main.Image.Format = c.setting;
        QString out;
        ASSERT_TRUE(PrepareImage(dir.write(c.name, Encode(picture, c.writeAs)), out, nullptr, 0, main, {}))
            << c.name;
        EXPECT_TRUE(out.endsWith(c.extension)) << c.name << " " << out.toStdString();
        EXPECT_TRUE(TestDir::read(out).startsWith(c.signature)) << c.name;
    }
}

TEST(Prepare, FaultsWriteNothing)
{
    TestDir dir;
    QDir(dir.path()).mkdir("folder.jpg");
    const QByteArray jpeg = Encode(Solid(64, 48, kGrey), "jpeg", 90);
    const QString sources[] = {dir.file("missing.jpg"), dir.file("folder.jpg"), dir.write("empty.jpg", {}),
        dir.write("cut.jpg", jpeg.left(jpeg.size() - 40)), dir.write("junk.png", "\x89PNG\r\n\x1a\n junk"),
        dir.write("thin.png", Encode(Solid(3000, 10, kGrey), "png"))}; // bounded to 100 x 0.33
    const int before = FileCount(TempFolderPath());
    for (const QString& source : sources) {
        for (int keepAsIs : {0, 1}) {
            MainPart main = PngWithoutStamps(100, 0);
            main.Image.KeepAsIs = keepAsIs;
            QString out = "stale";
            QString thumb = "stale";
            const bool ok = PrepareImage(source, out, &thumb, 160, main, {});
            EXPECT_TRUE(thumb.isEmpty()) << source.toStdString();
            // Kept as is, a file that exists goes up unchanged, decodable or not.
            if (keepAsIs && QFileInfo(source).isFile()) {
                EXPECT_TRUE(ok && out == source) << source.toStdString();
            } else {
                EXPECT_FALSE(ok) << source.toStdString();
                EXPECT_TRUE(out.isEmpty()) << source.toStdString();
            }
        }
    }
    EXPECT_EQ(FileCount(TempFolderPath()), before);
}

TEST(Prepare, KeepAsIsUploadsTheOriginalWithAThumbnailOfItsSize)
{
    TestDir dir;
    const QString source = dir.write("photo.jpg", Encode(Solid(400, 300, kGrey), "jpeg"));
    MainPart main;
    main.Image.KeepAsIs = 1;
    main.Image.MaxWidth = 100;
    QString out, thumb;
    ASSERT_TRUE(PrepareImage(source, out, &thumb, 160, main, {}));
    EXPECT_EQ(out, source);
    const int caption = CaptionHeight(ToQFont(AppearancePart().Thumbs.Font));
    EXPECT_EQ(QImageReader(thumb).size(), QSize(160, 2 + caption + 118));
    EXPECT_TRUE(thumb.endsWith(".jpg"));
}

TEST(Prepare, StampsAndThumbnail)
{
    TestDir dir;
    const QString source = dir.write("tall.png", Encode(Solid(1000, 2000, kGrey), "png"));
    MainPart main = PngWithoutStamps(800, 600);
    main.Image.AddText = 1;
    main.Image.AddLogo = 1;
    AppearancePart appearance; // text "Vellmar" bottom right, no logo file
    auto whiteAndDark = [](const QImage& image, const QRect& area) {
        return CountPixels(image, area, [](QRgb c) { return Near(c, 0xFFFFFFFF, 40); }) > 10
            && CountPixels(image, area, [](QRgb c) { return qGray(c) < 60; }) > 10;
    };

    const QImage textOnly = Prepared(source, main, appearance);
    ASSERT_EQ(textOnly.size(), QSize(800, 1600));
    EXPECT_TRUE(whiteAndDark(textOnly, QRect(650, 1570, 150, 30)));
    EXPECT_EQ(InkBox(textOnly, kGrey, 4),
        InkBox(textOnly.copy(600, 1560, 200, 40), kGrey, 4).translated(600, 1560));

    appearance.Logo.Filename = dir.file("missing.png");
    EXPECT_EQ(Prepared(source, main, appearance), textOnly);

    // The logo is stamped after the text and covers it.
    appearance.Logo.Filename = dir.write("logo.png", Encode(Solid(150, 40, qRgb(255, 0, 0)), "png"));
    appearance.Logo.Position = 5;
    const QImage covered = Prepared(source, main, appearance);
    EXPECT_EQ(InkBox(covered, kGrey, 4), QRect(650, 1560, 150, 40));
    EXPECT_FALSE(whiteAndDark(covered, QRect(650, 1560, 150, 40)));

    // The thumbnail shows the unstamped picture at the bounded proportions.
    QString out, thumb;
    ASSERT_TRUE(PrepareImage(source, out, &thumb, 160, main, appearance));
    const QImage small(thumb);
    EXPECT_EQ(small.size(), QSize(160, 2 + CaptionHeight(ToQFont(appearance.Thumbs.Font)) + 316));
    EXPECT_TRUE(Near(small.pixel(150, 300), kGrey, 2));
}

TEST(Prepare, RunsOnWorkerThreads)
{
    TestDir dir;
    const QString source = dir.write("photo.jpg", Encode(Solid(1200, 900, kGrey), "jpeg"));
    MainPart main;
    main.Image.MaxWidth = 640;
    QString out[2], thumb[2];
    bool ok[2] = {};
    std::thread workers[2];
    for (int i = 0; i < 2; ++i)
        workers[i] = std::thread([&, i] { ok[i] = PrepareImage(source, out[i], &thumb[i], 150, main, {}); });
    for (auto& w : workers)
        w.join();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(ok[i]);
        EXPECT_EQ(QImageReader(out[i]).size(), QSize(640, 480));
        EXPECT_FALSE(thumb[i].isEmpty());
    }
    EXPECT_NE(out[0], out[1]);
    EXPECT_NE(thumb[0], thumb[1]);
}
