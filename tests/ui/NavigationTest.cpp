// SPDX-License-Identifier: MIT
// Which page follows which, what the frame shows around each, where dropped files go, and the
// exit question.
#include "tests/ui/TestWizard.h"
#include "ui/DropRoute.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CVideoGrabber.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/Videos.h"

#include <QApplication>
#include <QLabel>
#include <QMimeData>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

TEST(DropRoute, ByKindOfFileAndPage)
{
    // One letter per dropped file: L to the file list, V the video page, S a service to add,
    // R refused and named, - passed over.
    const QString deep = QStringLiteral("/d") + QString(300, u'e') + QStringLiteral("/deep.png");
    const QString impossible = u'/' + QString(5000, u'x') + QStringLiteral(".png");
    const std::tuple<const char*, int, QStringList, const char*> cases[] = {
        {"pictures on the welcome page", kWelcomePage, {"a.png", "b.JPEG", "c.gif", "d.tiff"}, "LLLL"},
        {"neither picture nor video", kWelcomePage, {"x.psd", "notes.txt", "noext"}, "RRR"},
        {"the first video, nothing after it", kWelcomePage, {"a.png", "clip.mkv", "b.jpg", "c.avi"}, "LV--"},
        {"a profile after the video still counts", kFileListPage, {"clip.MP4", "mine.sxcu"}, "VS"},
        {"the video page takes another video only", kVideoPage, {"a.png", "x.psd", "clip.avi"}, "--V"},
        {"the settings page takes profiles only", kUploadSettingsPage, {"a.png", "clip.avi", "m.SXCU"},
            "--S"},
        {"the upload page takes nothing", kUploadPage, {"mine.sxcu", "a.png"}, "--"},
        {"no name, one too long for a path, a deep one", kWelcomePage, {"", impossible, deep}, "--L"},
    };
    for (const auto& [name, page, dropped, expected] : cases) {
        const QList<DroppedFile> route = RouteDrop(dropped, page);
        ASSERT_EQ(route.size(), dropped.size()) << name;
        std::string letters;
        for (int i = 0; i < route.size(); ++i) {
            EXPECT_EQ(route[i].path, dropped[i]) << name;
            letters += "LVSR-"[static_cast<int>(route[i].action)];
        }
        EXPECT_EQ(letters, expected) << name;
    }
}

// Files dropped on the window as a file manager drops them, with an address that is no file.
void DropOnWindow(QWidget& window, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls {QUrl(QStringLiteral("https://example.invalid/b.png"))};
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

// Steps: "next", "back", "pics" (drop two pictures on the window), "video" (drop a video file),
// "add" and "import" (the file list's buttons for a picture and a video), "frames" (take its frames), "sheet"
// (hand them on as one sheet), "show:I,B,N" (ShowPage with explicit targets), "done" (wait for the upload run
// to end), and "exit:A", "escape:A", "closebox:A" (leave by the Exit button, Escape or the close box,
// answering A to the exit question, or "-" when none may come).
void RunSteps(TestWizard& w, const QString& steps)
{
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        if (step == "next") {
            w.frame.OnNext();
        } else if (step == "back") {
            w.frame.OnBack();
        } else if (step == "pics") {
            DropOnWindow(w.frame,
                {WritePicture(w.dir.path(), QStringLiteral("a.png")),
                    WritePicture(w.dir.path(), QStringLiteral("b.jpg"), 30, 20, "JPEG")});
        } else if (step == "video") {
            w.frame.DropFiles({SampleVideo(QStringLiteral("h264.mp4"))});
        } else if (step == "add" || step == "import") {
            auto* list = w.PageAt<CMainDlg>(kFileListPage);
            list->ImagePicker = [&](QWidget*) { return QStringList {WritePicture(w.dir.path(), "c.png")}; };
            list->VideoPicker = [](QWidget*) { return SampleVideo(QStringLiteral("h264.mp4")); };
            ButtonById(list, step == "add" ? 1000 : 1001)->click();
        } else if (step == "sheet") {
            w.Control<QRadioButton>(kVideoPage, 1044)->setChecked(true);
        } else if (step == "frames") {
            auto* video = w.PageAt<CVideoGrabber>(kVideoPage);
            video->OnExtract();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !video->IsExtracting(); }, 30000));
        } else if (step == "done") {
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.Button(kExitButton)->isEnabled(); }));
        } else if (const QString answer = step.section(u':', 1);
                   step.contains(u':') && !step.startsWith("show")) {
            ModalAnswer reply(answer);
            w.frame.show();
            if (step.startsWith("escape"))
                QTest::keyClick(&w.frame, Qt::Key_Escape);
            else if (step.startsWith("closebox"))
                w.frame.close();
            else
                w.frame.OnExit();
            EXPECT_EQ(reply.Seen() ? reply.Caption() + u':' + reply.Text() : QStringLiteral("-"),
                answer == u'-' ? QStringLiteral("-")
                               : QStringLiteral("Vellmar:Вы действительно хотите выйти из Vellmar?"));
        } else if (const QStringList show = step.mid(5).split(u','); step.startsWith("show:")) {
            w.frame.ShowPage(show.value(0).toInt(), show.value(1).toInt(), show.value(2).toInt());
        } else {
            FAIL() << "unknown step " << step.toStdString();
        }
    }
}

// The frame as the user sees it: the page; Next as N, n when it is off, - when hidden; Back as
// B; About as A; the header band as H; then the Next button's caption.
QString StateOf(TestWizard& w)
{
    const auto shown = [&](QWidget* control, char letter) {
        return control->isVisibleTo(&w.frame) ? QChar::fromLatin1(letter) : QChar(u'-');
    };
    QAbstractButton* next = w.Button(kNextButton);
    return QString::number(w.frame.CurrentPage()) + u' ' + shown(next, next->isEnabled() ? 'N' : 'n')
        + shown(w.Button(kPrevButton), 'B') + shown(w.Button(kAboutButton), 'A')
        + shown(w.frame.findChild<QLabel*>(QStringLiteral("1084")), 'H') + u' ' + next->text();
}

TEST(Navigation, NextBackAndWhatTheFrameShows)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"start", "", "0 --A- Далее >"},
        {"next from welcome skips the video page", "next", "2 nB-- Далее >"},
        {"dropped pictures", "pics", "2 NB-- Далее >"},
        {"settings page", "pics next", "3 NB-H Загрузить"},
        {"upload page after the run", "pics next next done", "4 NB-H Завершить >"},
        {"back to the list", "pics next back", "2 NB-- Далее >"},
        {"back from the list skips the video page", "pics back", "0 N-A- Далее >"},
        {"and next leads to it again", "pics back next", "2 NB-- Далее >"},
        {"video dropped on welcome", "video", "1 nB-- Далее >"},
        {"back from video to welcome", "video back", "0 --A- Далее >"},
        {"video page without frames stays", "video next", "1 nB-- Далее >"},
        {"back from video to the list", "pics video back", "2 NB-- Далее >"},
        {"the list's picture button", "next add", "2 NB-- Далее >"},
        {"back from the list's video", "pics import back", "2 NB-- Далее >"},
        {"on from the list's video", "pics import frames next", "2 NB-- Далее >"},
        {"list after video still goes home", "pics video show:2,-1,-1 back", "0 N-A- Далее >"},
        {"explicit next target", "pics back show:1,0,3 show:3,-1,-1 back", "2 NB-- Далее >"},
        // Every way into the settings page with pictures in the list leaves "Загрузить" on.
        {"frames as one sheet", "video frames sheet next", "3 NB-H Загрузить"},
        {"frames, back and on", "video frames next back next", "3 NB-H Загрузить"},
        {"frames through the list", "pics video frames next next", "3 NB-H Загрузить"},
        {"from the upload back and on", "pics next next done back back next", "3 NB-H Загрузить"},
        // Leaving asks on pages 1 to 3; the settings are written exactly when the program is left.
        {"welcome page leaves at once", "exit:-", "closed"},
        {"the close box is Exit", "pics closebox:Да", "closed"},
        {"Escape is Exit, and No stays", "pics escape:Нет", "2 NB-- Далее >"},
        {"video page asks", "video exit:Да", "closed"},
        {"settings page asks", "pics next exit:Нет", "3 NB-H Загрузить"},
        {"upload page leaves at once", "pics next next done exit:-", "closed"},
    };
    for (const auto& [name, steps, state] : cases) {
        SCOPED_TRACE(name);
        // Uploads go to a port nothing listens on: they fail at once and never leave the machine.
        TestWizard w(RefusingServers());
        w.frame.WizardSettings().main.Image.MaxWidth = 1234;
        int closedWith = -1;
        QObject::connect(&w.frame, &CWizardDlg::wizardClosed, &w.frame, [&](int code) { closedWith = code; });
        RunSteps(w, QString::fromUtf8(steps));
        EXPECT_EQ(closedWith >= 0 ? QStringLiteral("closed") : StateOf(w), QString::fromUtf8(state));
        EXPECT_EQ(closedWith, closedWith >= 0 ? 2 : -1);
        EXPECT_EQ(SettingsStore(w.settings.Path()).Values().main.Image.MaxWidth, closedWith >= 0 ? 1234 : 0);
        if (closedWith >= 0)
            continue;
        EXPECT_TRUE(w.Button(kExitButton)->isEnabled());
        // Only the current page is visible, below the header band when it has one.
        for (int i = 0; i < kPageCount; ++i) {
            if (CWizardPage* page = w.frame.Page(i)) {
                EXPECT_EQ(page->PageWnd->isVisibleTo(&w.frame), i == w.frame.CurrentPage()) << "page " << i;
            }
        }
        const QImage band = w.frame.findChild<QLabel*>(QStringLiteral("1084"))->pixmap().toImage();
        const bool header = StateOf(w).contains(u'H');
        EXPECT_EQ(w.frame.Page(w.frame.CurrentPage())->PageWnd->y(), header ? kHeaderHeight : 0);
        if (header) {
            // White at the top, light grey at the bottom, the caption across the middle.
            ASSERT_EQ(band.size(), QSize(w.frame.width(), kHeaderHeight));
            EXPECT_EQ(band.pixel(0, 0), 0xFFFFFFFFu);
            EXPECT_NEAR(qRed(band.pixel(0, kHeaderHeight - 1)), 0xEB, 2);
            EXPECT_GT(
                CountPixels(band, QRect(0, 25, band.width(), 1), [](QRgb p) { return qRed(p) < 0xD0; }), 0);
        }
    }
    TestWizard w;
    EXPECT_FALSE(w.frame.CreatePage(kPageCount));
    EXPECT_FALSE(w.frame.CreatePage(-1));
    w.frame.ShowPage(7, -1, -1);
    EXPECT_EQ(w.frame.CurrentPage(), kWelcomePage);
}

} // namespace
