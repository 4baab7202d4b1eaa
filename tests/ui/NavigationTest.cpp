// SPDX-License-Identifier: MIT
#include "settings/SettingsStore.h"
#include "ui/CWizardDlg.h"
#include "ui/wizard/CWizardPage.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Videos.h"
#include "tests/support/Widgets.h"
#include "ui/pages/CVideoGrabber.h"

#include <QAbstractButton>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Expect
{
    int page;
    bool nextVisible;
    bool nextEnabled;
    bool backVisible;
    bool aboutVisible;
    const char* nextText;
    bool header;
};

struct NavCase
{
    const char* name;
    std::vector<std::string> steps;
    Expect expect;
};

// Steps: "next", "back", "pics" (drop two pictures), "video" (drop a video file), "frames" (take
// its frames), "sheet" (hand them on as one sheet), "show:I,B,N" (ShowPage with explicit
// targets), "done" (wait for the upload run to end).
void RunStep(CWizardDlg& frame, const std::string& step, const TestDir& dir)
{
    if (step == "next") {
        frame.OnNext();
    } else if (step == "back") {
        frame.OnBack();
    } else if (step == "pics") {
        frame.DropFiles({WritePicture(dir.path(), QStringLiteral("a.png")),
            WritePicture(dir.path(), QStringLiteral("b.jpg"), 30, 20, "JPEG")});
    } else if (step == "video") {
        frame.DropFiles({SampleVideo(QStringLiteral("h264.mp4"))});
    } else if (step == "frames" || step == "sheet") {
        auto* video = static_cast<CVideoGrabber*>(frame.Page(kVideoPage));
        if (step == "sheet") {
            video->findChild<QRadioButton*>(QStringLiteral("1044"))->setChecked(true);
            return;
        }
        video->OnExtract();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !video->IsExtracting(); }, 30000));
    } else if (step == "done") {
        ASSERT_TRUE(QTest::qWaitFor([&] { return ButtonById(&frame, kExitButton)->isEnabled(); }));
    } else if (step.rfind("show:", 0) == 0) {
        int index = 0, back = 0, next = 0;
        ASSERT_EQ(std::sscanf(step.c_str() + 5, "%d,%d,%d", &index, &back, &next), 3);
        frame.ShowPage(index, back, next);
    } else {
        FAIL() << "unknown step " << step;
    }
}

TEST(Navigation, NextBackAndButtons)
{
    const char* upload = "Загрузить";
    const char* further = "Далее >";
    const char* finish = "Завершить >";
    const NavCase cases[] = {
        {"start", {}, {0, false, true, false, true, further, false}},
        {"next from welcome skips the video page", {"next"}, {2, true, false, true, false, further, false}},
        {"dropped pictures", {"pics"}, {2, true, true, true, false, further, false}},
        {"settings page", {"pics", "next"}, {3, true, true, true, false, upload, true}},
        {"upload page after the run", {"pics", "next", "next", "done"},
            {4, true, true, true, false, finish, true}},
        {"back from upload", {"pics", "next", "next", "done", "back"},
            {3, true, true, true, false, upload, true}},
        {"back to the list", {"pics", "next", "back"}, {2, true, true, true, false, further, false}},
        {"back from the list skips the video page", {"pics", "back"},
            {0, true, true, false, true, further, false}},
        {"video dropped on welcome", {"video"}, {1, true, false, true, false, further, false}},
        {"back from video to welcome", {"video", "back"}, {0, false, true, false, true, further, false}},
        {"video page without frames stays", {"video", "next"}, {1, true, false, true, false, further, false}},
        {"video dropped on the list", {"pics", "video"}, {1, true, false, true, false, further, false}},
        {"back from video to the list", {"pics", "video", "back"},
            {2, true, true, true, false, further, false}},
        {"list after video still goes home", {"pics", "video", "show:2,-1,-1", "back"},
            {0, true, true, false, true, further, false}},
        {"explicit targets are used once", {"pics", "show:1,0,3", "back", "next"},
            {2, true, true, true, false, further, false}},
        {"explicit next target", {"pics", "back", "show:1,0,3", "show:3,-1,-1", "back"},
            {2, true, true, true, false, further, false}},
        // Every way into the settings page with pictures in the list leaves "Загрузить" on.
        {"frames as files", {"video", "frames", "next"}, {3, true, true, true, false, upload, true}},
        {"frames as one sheet", {"video", "frames", "sheet", "next"},
            {3, true, true, true, false, upload, true}},
        {"frames, back and on", {"video", "frames", "next", "back", "next"},
            {3, true, true, true, false, upload, true}},
        {"frames through the list", {"pics", "video", "frames", "next", "next"},
            {3, true, true, true, false, upload, true}},
        {"from the upload back and on", {"pics", "next", "next", "done", "back", "back", "next"},
            {3, true, true, true, false, upload, true}},
    };
    for (const NavCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        // Uploads go to a port nothing listens on: they fail at once and never leave the machine.
        WriteFile(dir.file(QStringLiteral("vellmar.ini")), RefusingServers());
        SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
        CWizardDlg frame(settings);
        for (const std::string& step : c.steps)
            RunStep(frame, step, dir);
        const Expect& e = c.expect;
        EXPECT_EQ(frame.CurrentPage(), e.page);
        QAbstractButton* next = ButtonById(&frame, kNextButton);
        QAbstractButton* back = ButtonById(&frame, kPrevButton);
        QAbstractButton* about = ButtonById(&frame, kAboutButton);
        EXPECT_EQ(next->isVisibleTo(&frame), e.nextVisible);
        EXPECT_EQ(next->isEnabled(), e.nextEnabled);
        EXPECT_EQ(back->isVisibleTo(&frame), e.backVisible);
        EXPECT_EQ(about->isVisibleTo(&frame), e.aboutVisible);
        EXPECT_EQ(next->text(), QString::fromUtf8(e.nextText));
        EXPECT_TRUE(ButtonById(&frame, kExitButton)->isEnabled());
        auto* header = frame.findChild<QLabel*>(QStringLiteral("1084"));
        EXPECT_EQ(header->isVisibleTo(&frame), e.header);
        // Only the current page is visible.
        for (int i = 0; i < kPageCount; ++i) {
            if (CWizardPage* page = frame.Page(i)) {
                EXPECT_EQ(page->PageWnd->isVisibleTo(&frame), i == e.page) << "page " << i;
            }
        }
    }
}

TEST(Navigation, PagesAndHeader)
{
    TestDir dir;
    SettingsStore settings(dir.file(QStringLiteral("vellmar.ini")));
    CWizardDlg frame(settings);
    EXPECT_EQ(frame.objectName(), QStringLiteral("108"));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Vellmar"));
    EXPECT_EQ(frame.size(), frame.minimumSize());
    EXPECT_EQ(frame.size(), frame.maximumSize());

    EXPECT_FALSE(frame.CreatePage(5));
    EXPECT_FALSE(frame.CreatePage(-1));
    frame.ShowPage(7, -1, -1);
    EXPECT_EQ(frame.CurrentPage(), 0);

    ASSERT_TRUE(frame.CreatePage(kUploadPage));
    CWizardPage* upload = frame.Page(kUploadPage);
    EXPECT_EQ(upload->PageWnd->geometry(), QRect(0, kHeaderHeight, frame.width(), kHeaderPageHeight));
    ASSERT_FALSE(upload->HeaderBitmap.isNull());
    EXPECT_EQ(upload->HeaderBitmap.size(), QSize(frame.width(), kHeaderHeight));
    // The band runs from white at the top to light grey at the bottom, the caption in the middle.
    const QImage band = upload->HeaderBitmap.toImage();
    EXPECT_EQ(band.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_NEAR(qRed(band.pixel(0, 49)), 0xEB, 2);
    EXPECT_GT(CountPixels(band, QRect(0, 25, band.width(), 1), [](QRgb p) { return qRed(p) < 0xD0; }), 0)
        << "the caption is drawn";

    ASSERT_TRUE(frame.CreatePage(kFileListPage));
    EXPECT_TRUE(frame.Page(kFileListPage)->HeaderBitmap.isNull());
    EXPECT_EQ(frame.Page(kFileListPage)->PageWnd->pos(), QPoint(0, 0));
}

TEST(Navigation, ExitQuestion)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> steps;
        bool asks;
        const char* answer;
        bool closes;
        void (*exit)(CWizardDlg&) = [](CWizardDlg& frame) { frame.OnExit(); };
    };
    const Case cases[] = {
        {"welcome page leaves at once", {}, false, "", true},
        {"the close box is Exit", {"pics"}, true, "Да", true, [](CWizardDlg& frame) { frame.close(); }},
        {"Escape is Exit", {"pics"}, true, "Нет", false,
            [](CWizardDlg& frame) { QTest::keyClick(&frame, Qt::Key_Escape); }},
        {"file list asks, No stays", {"pics"}, true, "Нет", false},
        {"file list asks, Yes leaves", {"pics"}, true, "Да", true},
        {"video page asks", {"video"}, true, "Да", true},
        {"settings page asks", {"pics", "next"}, true, "Нет", false},
        {"upload page leaves at once", {"pics", "next", "next"}, false, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        const QString ini = dir.file(QStringLiteral("vellmar.ini"));
        SettingsStore settings(ini);
        CWizardDlg frame(settings);
        for (const std::string& step : c.steps)
            RunStep(frame, step, dir);
        frame.WizardSettings().main.Image.MaxWidth = 1234;
        int closedWith = -1;
        QObject::connect(&frame, &CWizardDlg::wizardClosed, &frame, [&](int code) { closedWith = code; });
        {
            ModalAnswer answer(QString::fromUtf8(c.answer));
            frame.show();
            c.exit(frame);
            EXPECT_EQ(answer.Seen(), c.asks);
            if (c.asks) {
                EXPECT_EQ(answer.Text(), QStringLiteral("Вы действительно хотите выйти из Vellmar?"));
                EXPECT_EQ(answer.Caption(), QStringLiteral("Vellmar"));
            }
        }
        EXPECT_EQ(closedWith, c.closes ? 2 : -1);
        // Settings are written exactly when the program is left.
        EXPECT_EQ(QFile::exists(ini), c.closes);
        if (c.closes) {
            Settings saved;
            LoadSettings(ini, saved);
            EXPECT_EQ(saved.main.Image.MaxWidth, 1234);
        }
    }
}

} // namespace
