// SPDX-License-Identifier: MIT
#include "tests/support/Videos.h"
#include "tests/ui/TestWizard.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CVideoGrabber.h"
#include "ui/pages/CVideoGrabberParams.h"
#include "ui/widgets/CThumbsView.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct VideoPage : TestWizard
{
    CVideoGrabber* page;

    explicit VideoPage(const QString& video)
    {
        frame.SetVideoFile(video);
        frame.ShowPage(kVideoPage, kWelcomePage, kUploadSettingsPage);
        page = PageAt<CVideoGrabber>(kVideoPage);
    }
    template<class T> T* Control(int id) const { return page->findChild<T*>(QString::number(id)); }
    QString Status() const { return Control<QLabel>(1046)->text(); }
    bool Extract(const QString& count)
    {
        Control<QLineEdit>(1031)->setText(count);
        QTest::mouseClick(Control<QPushButton>(1039), Qt::LeftButton);
        return QTest::qWaitFor([this] { return !page->IsExtracting(); }, 30000);
    }
    bool Enabled(WizardButton button) { return Button(button)->isEnabled(); }
};

// A file that is no video, then frames that arrive and go on as files and as one sheet, then an
// extraction stopped twice.
TEST(VideoPage, FaultFramesAndStops)
{
    VideoPage v {QString()};
    // Not a video: the page's words, FFmpeg's in the tooltip, back to idle without frames.
    v.page->SetVideoFile(v.dir.write(QStringLiteral("notes.avi"), "not a video at all"));
    ASSERT_TRUE(v.Extract(QStringLiteral("3")));
    EXPECT_EQ(v.Status(), QStringLiteral("Невозможно загрузить видео файл."));
    EXPECT_FALSE(v.Control<QLabel>(1046)->toolTip().isEmpty());
    EXPECT_FALSE(v.Enabled(kNextButton));
    EXPECT_TRUE(v.Enabled(kExitButton));

    v.page->SetVideoFile(SampleVideo(QStringLiteral("h264.mp4")));
    for (const bool sheet : {false, true}) {
        SCOPED_TRACE(sheet ? "one sheet" : "one file per frame");
        v.frame.ShowPage(kVideoPage, kWelcomePage, kUploadSettingsPage);
        EXPECT_FALSE(v.Control<QPushButton>(2)->isVisibleTo(v.page));
        ASSERT_TRUE(v.Extract(QStringLiteral("0"))) << "0 takes 5 frames";
        EXPECT_EQ(v.Status(), QStringLiteral("Извлечение видео кадров завершено."));
        ASSERT_EQ(v.page->Frames()->count(), 5);
        EXPECT_EQ(v.Control<QProgressBar>(1038)->value(), 5);
        EXPECT_TRUE(v.Enabled(kNextButton) && v.Enabled(kPrevButton));
        // A 6-second video in 5 slices: frames near 0.48, 1.68, 2.88, 4.08 and 5.28 s.
        EXPECT_EQ(v.page->Frames()->model()->index(4, 0).data().toString(), QStringLiteral("00:00:05"));
        // The second frame is removed; the others go on in their order.
        ASSERT_TRUE(v.page->Frames()->RemoveItem(1));
        QStringList kept;
        for (int i = 0; i < 4; ++i)
            kept << v.page->Frames()->GetFileName(i);
        v.page->Values().layout = CVideoGrabberParams::Corrected({0, 5, 300, -1});
        v.Control<QRadioButton>(sheet ? 1044 : 1043)->setChecked(true);
        v.frame.OnNext();
        EXPECT_EQ(v.frame.CurrentPage(), kUploadSettingsPage);
        EXPECT_EQ(v.page->Frames()->count(), 0);
        // The layout OK gives: 1 column, tiles 200 wide, gaps of 2; frames of 64 x 48.
        EXPECT_EQ(v.frame.WizardSettings().video.VideoGrabber.Columns, 1);
        EXPECT_EQ(v.frame.WizardSettings().video.VideoGrabber.GapHeight, 2);
        auto* list = v.PageAt<CMainDlg>(kFileListPage);
        if (!sheet) {
            EXPECT_EQ(list->FileList.Paths(), kept);
            EXPECT_EQ(QImage(kept.value(0)).size(), QSize(64, 48));
        } else {
            EXPECT_EQ(QImage(list->FileList.Paths().value(4)).size(), QSize(204, 4 * 152 + 2));
        }
    }

    // Stop twice: the page is idle at once; the extraction given up ends by itself.
    v.frame.ShowPage(kVideoPage, -1, -1);
    v.page->SetVideoFile(SampleVideo(QStringLiteral("mpeg4.avi")));
    v.Control<QLineEdit>(1031)->setText(QStringLiteral("100"));
    QTest::mouseClick(v.Control<QPushButton>(1039), Qt::LeftButton);
    ASSERT_TRUE(v.page->IsExtracting());
    EXPECT_TRUE(v.Control<QPushButton>(2)->isVisibleTo(v.page));
    EXPECT_EQ(v.Control<QPushButton>(2)->text(), QStringLiteral("Стоп"));
    EXPECT_FALSE(v.Enabled(kExitButton));
    QTest::mouseClick(v.Control<QPushButton>(2), Qt::LeftButton);
    EXPECT_EQ(v.page->StopCountdown(), 8);
    QTest::mouseClick(v.Control<QPushButton>(2), Qt::LeftButton);
    EXPECT_FALSE(v.page->IsExtracting());
    EXPECT_TRUE(v.Enabled(kExitButton));
    const int frames = v.page->Frames()->count();
    QTest::qWait(300);
    EXPECT_EQ(v.page->Frames()->count(), frames) << "a run given up reports nothing more";
}

} // namespace
