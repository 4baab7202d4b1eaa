// SPDX-License-Identifier: MIT
#include "ui/widgets/CImageView.h"
#include "ui/widgets/CMyImage.h"
#include "ui/widgets/CThumbsModel.h"
#include "ui/widgets/CThumbsView.h"
#include "ui/widgets/TilePainting.h"

#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QColor kFill(30, 120, 200);

// A distinct colour per file, so a tile can be matched to the file it was drawn from.
QColor ColourOf(int i)
{
    return QColor::fromHsv((i * 37) % 360, 220, 230);
}

QImage TileOf(const CThumbsView& view, int index)
{
    return view.Tile(index).toImage().convertToFormat(QImage::Format_RGB32);
}

std::vector<int> ImageIndexes(const CThumbsView& view)
{
    std::vector<int> indexes;
    for (int i = 0; i < view.count(); ++i)
        indexes.push_back(view.ImageIndexOf(i));
    return indexes;
}

std::vector<int> OneTo(int n)
{
    std::vector<int> indexes;
    for (int i = 1; i <= n; ++i)
        indexes.push_back(i);
    return indexes;
}

bool LoaderDone(const CThumbsView& view)
{
    if (view.IsRunning())
        return false;
    for (int i = 0; i < view.count(); ++i) {
        if (view.ImageIndexOf(i) != i + 1)
            return false;
    }
    return true;
}

struct ViewFixture
{
    TestDir dir;
    CThumbsModel model;
    QWidget page;
    CThumbsView* view;
    QStringList files;

    ViewFixture()
        : view(new CThumbsView(&page))
    {
        page.resize(800, 600);
        view->setGeometry(0, 0, 780, 580);
        view->Init(&model);
        page.show();
    }

    void AddPictures(int n, QSize size = {64, 48})
    {
        for (int i = 0; i < n; ++i) {
            const int number = files.size();
            const QString path = WritePicture(dir.path(), QStringLiteral("p%1.png").arg(number), size.width(),
                size.height(), "PNG", ColourOf(number));
            files << path;
            view->AddFile(path, QStringLiteral("p%1.png").arg(number));
        }
    }

    QPoint CentreOf(int index) const { return view->ItemRect(index).center(); }
};

TEST(ThumbsView, TileGeometry)
{
    struct Case
    {
        QSizeF source;
        QRect drawn;
    };
    const Case cases[] = {
        {{340, 120}, {1, 31, 168, 58}}, // wide: bounded by the width, minus 2
        {{100, 50}, {36, 36, 98, 48}}, // small: kept, minus 2, centred
        {{120, 240}, {56, 1, 58, 118}}, // tall: bounded by the height
        {{170, 120}, {1, 1, 168, 118}}, // exactly the box
        {{1000, 1000}, {26, 1, 118, 118}}, {{6000, 4000}, {1, 4, 168, 111}}, // 170 x 113.33 -> 168 x 111.33
        {{2, 2}, {85, 60, 0, 0}}, // nothing left after the frame
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source.width() << "x" << c.source.height());
        EXPECT_EQ(CThumbsView::TilePictureRect(c.source), c.drawn);
        QImage picture(c.source.toSize(), QImage::Format_RGB32);
        picture.fill(kFill);
        const QImage tile = CThumbsView::RenderTile(picture, c.source, false);
        ASSERT_EQ(tile.size(), QSize(170, 120));
        EXPECT_EQ(BoxOf(tile, kFill, 8), c.drawn.isEmpty() ? QRect() : c.drawn);
        EXPECT_EQ(tile.pixel(0, 0), kTileBackground);
        EXPECT_EQ(tile.pixel(169, 119), kTileBackground);
    }
}

TEST(ThumbsView, PlaceholderAndNotSupportedTiles)
{
    const QImage placeholder = CThumbsView::RenderTile({}, {}, true);
    EXPECT_EQ(placeholder.pixel(0, 0), kTileBackground);
    EXPECT_EQ(placeholder.pixel(169, 119), kTileBackground) << "the box ends at 168 x 118";
    EXPECT_TRUE(Near(placeholder.pixel(168, 1), QColor(255, 255, 255), 4));
    EXPECT_TRUE(Near(placeholder.pixel(1, 118), QColor(0xD2, 0xD2, 0xD2), 4));

    const QImage broken = CThumbsView::RenderTile({}, {}, false);
    EXPECT_EQ(broken.pixel(1, 1), kTileBackground) << "no box behind the notice";
    int reddish = 0;
    for (int x = 0; x < 170; ++x) {
        const QRgb p = broken.pixel(x, 60);
        if (qRed(p) > qGreen(p) + 20)
            ++reddish;
    }
    EXPECT_GT(reddish, 5) << "red-to-black text across the middle";
}

TEST(ThumbsView, LoaderDrawsEveryItemInOrder)
{
    ViewFixture f;
    f.view->AddFile(QString(), QStringLiteral("none"));
    EXPECT_EQ(f.view->count(), 0) << "a null path adds nothing";

    f.AddPictures(4);
    QFile junk(f.dir.file(QStringLiteral("junk.jpg")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("definitely not a jpeg");
    junk.close();
    f.view->AddFile(junk.fileName(), QStringLiteral("junk.jpg"));
    EXPECT_EQ(ImageIndexes(*f.view), std::vector<int>(5, 0)) << "everything waits on the placeholder";
    EXPECT_EQ(f.model.index(0).data(Qt::DisplayRole).toString(), QStringLiteral("p0.png"));

    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }));
    EXPECT_EQ(ImageIndexes(*f.view), OneTo(5)) << "the undecodable file gets a real index too";
    for (int i = 0; i < 4; ++i) {
        const QImage tile = TileOf(*f.view, i);
        EXPECT_TRUE(Near(tile.pixel(85, 60), ColourOf(i), 12)) << "item " << i << " shows its own file";
        EXPECT_EQ(f.view->GetFileName(i), f.files[i]);
    }
    EXPECT_EQ(f.view->GetFileName(5), QString());
    EXPECT_TRUE(f.view->GetFileName(5).isNull());
    EXPECT_EQ(TileOf(*f.view, 4).pixel(1, 1), kTileBackground) << "the junk file says so";
}

TEST(ThumbsView, RemovalRenumbers)
{
    struct Case
    {
        const char* name;
        std::function<void(ViewFixture&)> act;
        std::vector<int> remaining; // original numbers of the files left
    };
    const Case cases[] = {
        {"middle click on an item",
            [](ViewFixture& f) {
                QTest::mouseClick(f.view->viewport(), Qt::MiddleButton, {}, f.CentreOf(2));
            },
            {0, 1, 3, 4}},
        {"Delete key",
            [](ViewFixture& f) {
                f.view->SetSelected(2, true);
                QTest::keyClick(f.view, Qt::Key_Delete);
            },
            {0, 1, 3, 4}},
        {"middle click on an unselected item leaves the selection",
            [](ViewFixture& f) {
                f.view->SetSelected(0, true);
                f.view->SetSelected(4, true);
                QTest::mouseClick(f.view->viewport(), Qt::MiddleButton, {}, f.CentreOf(2));
            },
            {0, 1, 3, 4}},
        {"middle click on a selected item removes the selection",
            [](ViewFixture& f) {
                f.view->SetSelected(1, true);
                f.view->SetSelected(3, true);
                QTest::mouseClick(f.view->viewport(), Qt::MiddleButton, {}, f.CentreOf(3));
            },
            {0, 2, 4}},
        {"Ctrl+A then Delete",
            [](ViewFixture& f) {
                QTest::keyClick(f.view, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(f.view, Qt::Key_Delete);
            },
            {}},
        {"other keys do nothing",
            [](ViewFixture& f) {
                f.view->SetSelected(2, true);
                QTest::keyClick(f.view, Qt::Key_Backspace);
                QTest::keyClick(f.view, Qt::Key_Right);
            },
            {0, 1, 2, 3, 4}},
        {"RemoveItem out of range",
            [](ViewFixture& f) {
                EXPECT_FALSE(f.view->RemoveItem(-1));
                EXPECT_FALSE(f.view->RemoveItem(5));
                EXPECT_TRUE(f.view->RemoveItem(4));
                f.view->RenumberImages();
            },
            {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewFixture f;
        f.AddPictures(5);
        f.view->StartLoader();
        ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }));
        c.act(f);

        ASSERT_EQ(f.view->count(), int(c.remaining.size()));
        EXPECT_EQ(ImageIndexes(*f.view), OneTo(int(c.remaining.size())));
        for (int i = 0; i < f.view->count(); ++i) {
            const int original = c.remaining[i];
            EXPECT_EQ(f.view->GetFileName(i), f.files[original]);
            EXPECT_TRUE(Near(TileOf(*f.view, i).pixel(85, 60), ColourOf(original), 12));
        }
    }
}

TEST(ThumbsView, ClearKeepsTheLargestSizes)
{
    ViewFixture f;
    EXPECT_EQ(f.view->maxImageWidth(), 0);
    f.files << WritePicture(f.dir.path(), QStringLiteral("wide.png"), 340, 120, "PNG", QColor(30, 120, 200))
            << WritePicture(f.dir.path(), QStringLiteral("tall.png"), 120, 240, "PNG", QColor(30, 120, 200));
    for (const QString& file : f.files)
        f.view->AddFile(file, file);
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }));
    EXPECT_EQ(f.view->maxImageWidth(), 340);
    EXPECT_EQ(f.view->maxImageHeight(), 240);

    f.view->Clear();
    EXPECT_EQ(f.view->count(), 0);
    EXPECT_EQ(f.model.Count(), 0);
    EXPECT_EQ(f.view->maxImageWidth(), 340);
    EXPECT_EQ(f.view->maxImageHeight(), 240);

    // Decoded frames are drawn at once, without the loader.
    QImage frame(400, 300, QImage::Format_RGB32);
    frame.fill(kFill);
    f.view->AddFile(f.dir.file(QStringLiteral("frame.jpg")), QStringLiteral("00:00:01"), frame);
    EXPECT_EQ(f.view->ImageIndexOf(0), 1);
    EXPECT_FALSE(f.view->IsRunning());
    EXPECT_EQ(f.view->maxImageWidth(), 400);
    EXPECT_EQ(f.view->maxImageHeight(), 300);
}

TEST(ThumbsView, StoppedLoaderLeavesTheRestWaiting)
{
    ViewFixture f;
    f.AddPictures(40, QSize(900, 700));
    f.view->StartLoader();
    f.view->RequestStop();
    f.view->StartLoader(); // still finishing: starts nothing
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.view->IsRunning(); }));
    QTest::qWait(50);
    const std::vector<int> indexes = ImageIndexes(*f.view);
    EXPECT_EQ(indexes.back(), 0) << "the last items are still waiting";

    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }));
}

TEST(ThumbsView, AddingAndRemovingWhileLoading)
{
    ViewFixture f;
    f.AddPictures(70, QSize(640, 480));
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->ImageIndexOf(3) > 0; }));

    QStringList expected = f.files;
    // Remove some drawn items, some waiting ones, and the one most likely being drawn.
    for (int index : {60, 40, 5, 4, 0}) {
        ASSERT_TRUE(f.view->RemoveItem(index));
        expected.removeAt(index);
    }
    f.view->RenumberImages();
    const int before = f.files.size();
    f.AddPictures(10, QSize(640, 480));
    expected.append(f.files.mid(before));
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }, 60000));

    ASSERT_EQ(f.view->count(), expected.size());
    for (int i = 0; i < f.view->count(); ++i) {
        ASSERT_EQ(f.view->GetFileName(i), expected[i]);
        const int original = f.files.indexOf(expected[i]);
        EXPECT_TRUE(Near(TileOf(*f.view, i).pixel(85, 60), ColourOf(original), 12)) << "item " << i;
    }
}

TEST(ThumbsView, DestroyedWhileLoading)
{
    TestDir dir;
    QStringList files;
    for (int i = 0; i < 60; ++i)
        files << WritePicture(dir.path(), QStringLiteral("p%1.jpg").arg(i), 800, 600, "JPEG", ColourOf(i));
    CThumbsModel model;
    for (int round = 0; round < 3; ++round) {
        auto view = std::make_unique<CThumbsView>();
        view->Init(&model);
        for (const QString& file : files)
            view->AddFile(file, file);
        view->StartLoader();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->ImageIndexOf(round) > 0; }));
        EXPECT_TRUE(view->IsRunning());
        view.reset(); // waits for the loader; its posted tiles die with the view
        QTest::qWait(20);
        model.Clear();
    }
}

TEST(ThumbsView, FiveHundredPicturesKeepTheWindowResponsive)
{
    ViewFixture f;
    f.AddPictures(500, QSize(400, 300));

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(
        &ticker, &QTimer::timeout, &ticker, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(5);
    sinceTick.start();
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }, 120000));
    ticker.stop();

#if defined(__SANITIZE_ADDRESS__)
    // Sanitizers slow every step of the event loop itself several times over.
    constexpr qint64 kAllowedGap = 200;
#else
    constexpr qint64 kAllowedGap = 50;
#endif
    EXPECT_LT(longestGap, kAllowedGap) << "the user-interface thread was blocked";
    RecordProperty("longest_gap_ms", int(longestGap));
}

TEST(ThumbsView, DoubleClickOpensTheViewer)
{
    ViewFixture f;
    f.AddPictures(2, QSize(300, 200));
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return LoaderDone(*f.view); }));
    ASSERT_FALSE(f.view->Viewer()->isVisible());
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, f.CentreOf(1));
    ASSERT_TRUE(f.view->Viewer()->isVisible());
    EXPECT_EQ(f.view->Viewer()->size(), QSize(302, 202));
    const QImage shown = f.view->Viewer()->Image()->Bitmap();
    EXPECT_TRUE(Near(shown.pixel(150, 100), ColourOf(1), 12)) << "the clicked item's picture";
    f.view->Viewer()->hide();
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, QPoint(770, 570));
    EXPECT_FALSE(f.view->Viewer()->isVisible()) << "nothing under the pointer";
}

} // namespace
