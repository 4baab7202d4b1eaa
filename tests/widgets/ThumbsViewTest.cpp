// SPDX-License-Identifier: MIT
#include "ui/widgets/CImageView.h"
#include "ui/widgets/CMyImage.h"
#include "ui/widgets/CThumbsModel.h"
#include "ui/widgets/CThumbsView.h"
#include "ui/widgets/TilePainting.h"

#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <numeric>

namespace {

const QColor kFill(30, 120, 200);

struct ViewFixture
{
    CThumbsModel model;
    QWidget page;
    CThumbsView* view;
    QStringList files;

    explicit ViewFixture(int pictures = 0)
        : view(new CThumbsView(&page))
    {
        page.resize(800, 600);
        view->setGeometry(0, 0, 780, 580);
        view->Init(&model);
        page.show();
        Add(SharedPictures(pictures));
    }

    void Add(const QStringList& paths)
    {
        for (const QString& path : paths) {
            files << path;
            view->AddFile(path, QFileInfo(path).fileName());
        }
    }

    /// Every item drawn, numbered 1..n in list order.
    bool Loaded() const
    {
        if (view->IsRunning())
            return false;
        for (int i = 0; i < view->count(); ++i) {
            if (view->ImageIndexOf(i) != i + 1)
                return false;
        }
        return true;
    }
    bool Load(int timeoutMs = 10000)
    {
        view->StartLoader();
        return QTest::qWaitFor([this] { return Loaded(); }, timeoutMs);
    }

    /// Item `index` shows the shared picture `original`.
    bool Shows(int index, int original) const
    {
        return view->GetFileName(index) == files[original]
            && Near(view->Tile(index).toImage().pixel(85, 60), SharedColour(original), 12);
    }
    QPoint CentreOf(int index) const { return view->ItemRect(index).center(); }
};

TEST(ThumbsView, TileGeometry)
{
    // The picture's size, where it is drawn in the tile.
    const std::pair<QSizeF, QRect> cases[] = {
        {{340, 120}, {1, 31, 168, 58}}, // wide: bounded by the width, minus 2
        {{100, 50}, {36, 36, 98, 48}}, // small: kept, minus 2, centred
        {{120, 240}, {56, 1, 58, 118}}, // tall: bounded by the height
        {{170, 120}, {1, 1, 168, 118}}, // exactly the box
        {{1000, 1000}, {26, 1, 118, 118}}, {{6000, 4000}, {1, 4, 168, 111}}, // 170 x 113.33 -> 168 x 111.33
        {{2, 2}, {85, 60, 0, 0}}, // nothing left after the frame
    };
    for (const auto& [source, drawn] : cases) {
        SCOPED_TRACE(testing::Message() << source.width() << "x" << source.height());
        EXPECT_EQ(CThumbsView::TilePictureRect(source), drawn);
        const QSize size = source.toSize();
        const QImage tile
            = CThumbsView::RenderTile(Solid(size.width(), size.height(), kFill.rgb()), source, false);
        ASSERT_EQ(tile.size(), QSize(170, 120));
        EXPECT_EQ(BoxOf(tile, kFill, 8), drawn.isEmpty() ? QRect() : drawn);
        EXPECT_EQ(tile.pixel(0, 0), kTileBackground);
        EXPECT_EQ(tile.pixel(169, 119), kTileBackground);
    }
    // The placeholder's box runs from white at the upper right to 0xD2D2D2 at the lower left.
    const QImage placeholder = CThumbsView::RenderTile({}, {}, true);
    EXPECT_TRUE(Near(placeholder.pixel(168, 1), QColor(255, 255, 255), 4));
    EXPECT_TRUE(Near(placeholder.pixel(1, 118), QColor(0xD2, 0xD2, 0xD2), 4));
}

// The loader draws every item in order, and a double click shows one in the viewer; Clear keeps
// the largest sizes drawn, which the sheet of video frames is laid out with.
TEST(ThumbsView, LoaderDrawsEveryItemInOrderAndClearKeepsTheLargestSizes)
{
    TestDir dir;
    ViewFixture f;
    f.view->AddFile(QString(), QStringLiteral("none"));
    EXPECT_EQ(f.view->count(), 0) << "a null path adds nothing";

    f.Add(SharedPictures(4));
    f.Add({dir.write(QStringLiteral("junk.jpg"), "definitely not a jpeg")});
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(f.view->ImageIndexOf(i), 0) << "everything waits on the placeholder";
    EXPECT_EQ(f.model.index(0).data(Qt::DisplayRole).toString(), QStringLiteral("p000.png"));

    ASSERT_TRUE(f.Load()) << "the undecodable file gets a real index too";
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(f.Shows(i, i)) << "item " << i << " shows its own file";
    // The junk file says so: red-to-black words across the middle, on no box.
    const QImage junk = f.view->Tile(4).toImage();
    EXPECT_EQ(junk.pixel(1, 1), kTileBackground);
    EXPECT_GT(CountPixels(junk, QRect(0, 60, 170, 1), [](QRgb p) { return qRed(p) > qGreen(p) + 20; }), 5);
    EXPECT_TRUE(f.view->GetFileName(5).isNull());
    // A double click opens the viewer on the item's picture; where there is none, nothing.
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, f.CentreOf(1));
    ASSERT_TRUE(f.view->Viewer()->isVisible());
    EXPECT_EQ(f.view->Viewer()->size(), QSize(402, 302));
    EXPECT_TRUE(Near(f.view->Viewer()->Image()->Bitmap().pixel(200, 150), SharedColour(1), 12));
    f.view->Viewer()->hide();
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, QPoint(770, 570));
    EXPECT_FALSE(f.view->Viewer()->isVisible());
    const auto largest = [&] { return std::pair(f.view->maxImageWidth(), f.view->maxImageHeight()); };
    EXPECT_EQ(largest(), std::pair(400, 300));
    f.view->Clear();
    EXPECT_EQ(f.model.Count(), 0);
    EXPECT_EQ(largest(), std::pair(400, 300));
    // Decoded frames are drawn at once, without the loader.
    f.view->AddFile(
        dir.file(QStringLiteral("frame.jpg")), QStringLiteral("00:00:01"), Solid(500, 200, kFill.rgb()));
    EXPECT_EQ(f.view->ImageIndexOf(0), 1);
    EXPECT_FALSE(f.view->IsRunning());
    EXPECT_EQ(largest(), std::pair(500, 300));
}

TEST(ThumbsView, RemovalRenumbers)
{
    // The items selected, what the user does, and the original numbers of the files left.
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = {}) {
        return [=](ViewFixture& f) { QTest::keyClick(f.view, k, m); };
    };
    const auto middleClick = [](int index) {
        return [=](ViewFixture& f) {
            QTest::mouseClick(f.view->viewport(), Qt::MiddleButton, {}, f.CentreOf(index));
        };
    };
    const std::tuple<const char*, std::vector<int>, std::function<void(ViewFixture&)>, std::vector<int>>
        cases[] = {
            {"Delete key", {2}, key(Qt::Key_Delete), {0, 1, 3, 4}},
            {"middle click on an unselected item: the selection stays", {0, 4}, middleClick(2), {0, 1, 3, 4}},
            {"middle click on a selected item: the selection goes", {1, 3}, middleClick(3), {0, 2, 4}},
            {"Ctrl+A then Delete", {},
                [&](ViewFixture& f) {
                    key(Qt::Key_A, Qt::ControlModifier)(f);
                    key(Qt::Key_Delete)(f);
                },
                {}},
            {"other keys do nothing", {2}, key(Qt::Key_Backspace), {0, 1, 2, 3, 4}},
        };
    for (const auto& [name, selected, act, remaining] : cases) {
        SCOPED_TRACE(name);
        ViewFixture f(5);
        ASSERT_TRUE(f.Load());
        for (const int index : selected)
            f.view->SetSelected(index, true);
        act(f);
        ASSERT_EQ(f.view->count(), int(remaining.size()));
        EXPECT_TRUE(f.Loaded()) << "numbered 1..n again";
        for (int i = 0; i < f.view->count(); ++i)
            EXPECT_TRUE(f.Shows(i, remaining[i])) << "item " << i;
    }
}

TEST(ThumbsView, StoppingAddingAndRemovingWhileLoading)
{
    ViewFixture f(70);
    f.view->StartLoader();
    f.view->RequestStop();
    f.view->StartLoader(); // still finishing: starts nothing
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.view->IsRunning(); }));
    QTest::qWait(50);
    EXPECT_EQ(f.view->ImageIndexOf(69), 0) << "the last items are still waiting";
    f.view->StartLoader();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.view->ImageIndexOf(3) > 0; }));

    std::vector<int> expected(70);
    std::iota(expected.begin(), expected.end(), 0);
    // Remove some drawn items, some waiting ones, and the one most likely being drawn.
    for (int index : {60, 40, 5, 4, 0}) {
        ASSERT_TRUE(f.view->RemoveItem(index));
        expected.erase(expected.begin() + index);
    }
    f.view->RenumberImages();
    f.Add(SharedPictures(80).mid(70));
    for (int i = 70; i < 80; ++i)
        expected.push_back(i);
    ASSERT_TRUE(f.Load(60000));

    ASSERT_EQ(f.view->count(), int(expected.size()));
    for (int i = 0; i < f.view->count(); ++i)
        EXPECT_TRUE(f.Shows(i, expected[i])) << "item " << i;
}

} // namespace
