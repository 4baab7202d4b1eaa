// SPDX-License-Identifier: MIT
#include "ui/widgets/CImageView.h"
#include "ui/widgets/CMyImage.h"

#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QColor kFill(30, 120, 200);

TEST(ImageView, ViewerSizeFollowsTheScreenLimits)
{
    // The picture, the screen, the viewer's size.
    const std::tuple<QSizeF, QSize, QSize> cases[] = {
        {{2000, 1000}, {1024, 768}, {1014, 508}}, // limited by the width: 1012 x 506
        {{500, 1500}, {1024, 768}, {241, 720}}, // limited by the height: 239.33 x 718
        {{100, 100}, {1024, 768}, {200, 180}}, // small pictures get the minimum window
        {{1012, 718}, {1024, 768}, {1014, 720}}, // exactly at the limits: unchanged
        {{1013, 100}, {1024, 768}, {1014, 180}}, // one pixel too wide: 1012 x 99.9, then the minimum height
        {{3000, 3000}, {1920, 1080}, {1032, 1032}}, // square on a wide screen: 1030 x 1030
    };
    for (const auto& [picture, screen, expected] : cases)
        EXPECT_EQ(CImageView::ViewerSize(picture, screen), expected)
            << picture.width() << "x" << picture.height();
}

TEST(ImageView, ShowsAndHides)
{
    TestDir dir;
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    CImageView viewer(&owner);
    EXPECT_FALSE(viewer.isVisible());
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QString path = WritePicture(dir.path(), QStringLiteral("big.png"), 3000, 900, "PNG", kFill);

    viewer.ShowImage(path);
    ASSERT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.size(), CImageView::ViewerSize(QSizeF(3000, 900), screen));
    EXPECT_EQ(viewer.Image()->geometry(), QRect(QPoint(0, 0), viewer.size()));
    EXPECT_TRUE(viewer.Image()->HasBitmap());
    EXPECT_EQ(viewer.Image()->Bitmap().size(), viewer.size());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(viewer.geometry()));

    QTest::keyClick(&viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());

    viewer.ShowImage(path);
    ASSERT_TRUE(viewer.isVisible());
    QTest::mouseClick(viewer.Image(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(viewer.isVisible()) << "a click on the picture closes it";

    viewer.ShowImage(dir.file(QStringLiteral("missing.png")));
    EXPECT_EQ(viewer.size(), QSize(200, 180));
    QTest::keyClick(&viewer, Qt::Key_Return);
    EXPECT_FALSE(viewer.isVisible());
}

} // namespace
