// SPDX-License-Identifier: MIT
#include "settings/IniFile.h"
#include "ui/CMainDlg.h"
#include "ui/CUploadDlg.h"
#include "ui/CWizardDlg.h"
#include "ui/widgets/CThumbsView.h"
#include "upload/testhost/TestHost.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct UploadFixture
{
    TestDir dir;
    TestHost host;
    QString ini;
    QStringList pictures;
    std::unique_ptr<CWizardDlg> frame;

    explicit UploadFixture(const std::function<void(TestHost&)>& setUp = {})
        : ini(dir.file(QStringLiteral("vellmar.ini")))
    {
        if (setUp)
            setUp(host);
        EXPECT_TRUE(host.Start()) << qPrintable(host.ErrorText());
        WriteFile(ini, ServersSection(host.HostText()));
        for (int i = 0; i < 3; ++i)
            pictures << WritePicture(dir.path(), QStringLiteral("p%1.png").arg(i), 120 + i, 90);
    }

    // Drops the pictures and goes on to the upload page, which starts the run.
    CUploadDlg* StartUpload()
    {
        frame = std::make_unique<CWizardDlg>(ini);
        frame->DropFiles(pictures);
        frame->OnNext();
        frame->OnNext();
        EXPECT_EQ(frame->CurrentPage(), kUploadPage);
        return static_cast<CUploadDlg*>(frame->Page(kUploadPage));
    }

    QAbstractButton* Next() const { return ButtonById(frame.get(), kNextButton); }
    QAbstractButton* Exit() const { return ButtonById(frame.get(), kExitButton); }
    bool Finished() const { return Next()->text() == QStringLiteral("Завершить >"); }
};

TEST(UploadPage, RunShowsProgressCodeAndCopies)
{
    UploadFixture f;
    CUploadDlg* page = f.StartUpload();
    EXPECT_EQ(f.Next()->text(), QStringLiteral("Остановить"));
    EXPECT_FALSE(f.Exit()->isEnabled());
    EXPECT_FALSE(ButtonById(f.frame.get(), kPrevButton)->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_TRUE(f.Exit()->isEnabled());
    EXPECT_TRUE(ButtonById(f.frame.get(), kPrevButton)->isEnabled());
    ASSERT_EQ(page->Results.size(), 3);
    auto* progress = page->findChild<QProgressBar*>(QStringLiteral("1049"));
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), 3);
    EXPECT_EQ(f.host.StoredCount(), 6) << "three pictures and three thumbnails";

    // Code type 0: linked thumbnails, four to a row, so three items on one row.
    const QString code = page->CodeText();
    for (const UploadResult& result : page->Results)
        EXPECT_TRUE(code.contains(QStringLiteral("[url=") + result.ImageUrl + u']')) << qPrintable(code);
    EXPECT_EQ(code.count(QStringLiteral("\r\n\r\n")), 0);

    auto* perRow = page->findChild<QLineEdit*>(QStringLiteral("1040"));
    perRow->setText(QStringLiteral("1"));
    EXPECT_EQ(page->CodeText().count(QStringLiteral("\r\n\r\n")), 3) << "one per row";
    perRow->setText(QStringLiteral("0"));
    EXPECT_EQ(page->CodeText(), code) << "0 counts as 4";

    page->CopyAll();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), code);

    auto* type = page->findChild<QComboBox*>(QStringLiteral("1025"));
    type->setCurrentIndex(5);
    EXPECT_TRUE(page->CodeText().startsWith(QStringLiteral("<center><a href=\"")))
        << qPrintable(page->CodeText());
    EXPECT_NE(page->CodeText(), code);

    // Leaving: the code type is kept, the list emptied, the wizard starts over.
    f.Next()->click();
    EXPECT_EQ(f.frame->CurrentPage(), kWelcomePage);
    int stored = -1;
    ReadIniValue(f.ini, u"Upload.Codetype", stored, 0);
    EXPECT_EQ(stored, 5);
    auto* list = static_cast<CMainDlg*>(f.frame->Page(kFileListPage));
    EXPECT_TRUE(list->FileList.Paths().isEmpty());
    EXPECT_EQ(list->View()->count(), 0);
}

// The summary counts the errors; each failed file is also named with its reason.
TEST(UploadPage, FailedFilesAreNamedWithTheirReason)
{
    // Upload 3 is the second picture (each picture is followed by its own thumbnail).
    UploadFixture f([](TestHost& host) { host.SetUploadFault(3, TestHost::Fault::ServerError); });
    CUploadDlg* page = f.StartUpload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_EQ(page->StatusText(),
        QStringLiteral("Закачка завершена. Всего 2 из 3 файлов было загружено. 1 ошибок."));
    const QString failure = QStringLiteral("p1.png: no addresses in the answer (HTTP status 500)");
    EXPECT_EQ(page->Failures, QStringList {failure});
    EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("1050"))->toolTip(), failure);
    QPushButton* details = nullptr;
    for (QPushButton* button : page->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Ошибки..."))
            details = button;
    }
    ASSERT_NE(details, nullptr);
    EXPECT_FALSE(details->isHidden());
    ModalAnswer box(QStringLiteral("ОК"));
    details->click();
    EXPECT_EQ(box.Text(), QStringLiteral("Не загружены:\n\n") + failure);
}

TEST(UploadPage, StoredCodeTypeIsSelected)
{
    const struct
    {
        const char* stored;
        int selected;
    } cases[] = {{"6", 6}, {"7", 0}, {"x", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        TestDir dir;
        const QString ini = dir.file(QStringLiteral("vellmar.ini"));
        WriteFile(ini, RefusingServers() + "[Upload]\nCodetype=" + c.stored + '\n');
        CWizardDlg frame(ini);
        ASSERT_TRUE(frame.CreatePage(kUploadPage));
        auto* type = frame.Page(kUploadPage)->PageWnd->findChild<QComboBox*>(QStringLiteral("1025"));
        EXPECT_EQ(type->count(), 7);
        EXPECT_EQ(type->currentIndex(), c.selected);
    }
}

TEST(UploadPage, SecondStopEndsTheRunAtOnce)
{
    UploadFixture f([](TestHost& host) { host.SetSilentFrom(1); });
    CUploadDlg* page = f.StartUpload();
    QTest::qWait(200);
    f.Next()->click();
    EXPECT_TRUE(page->StopPressed);
    EXPECT_EQ(page->StopCountdown, 5);
    EXPECT_EQ(f.Next()->text(), QStringLiteral("Остановить"));
    EXPECT_EQ(f.frame->CurrentPage(), kUploadPage) << "Stop keeps the page";

    f.Next()->click();
    EXPECT_TRUE(f.Finished());
    EXPECT_FALSE(page->StopPressed);
    EXPECT_TRUE(f.Exit()->isEnabled());
    // The abandoned worker aborts its transfer and ends by itself, promptly.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->IsRunning(); }, 2000));
    EXPECT_TRUE(page->Results.isEmpty());
}

TEST(UploadPage, CountdownEndsAStuckRun)
{
    // Upload 1 is the first picture, 2 its own thumbnail, 3 the second picture.
    UploadFixture f([](TestHost& host) { host.SetSilentFrom(3); });
    CUploadDlg* page = f.StartUpload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Results.size() == 1; }, 20000));
    f.Next()->click();

    QStringList captions;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        if (captions.isEmpty() || captions.last() != f.Next()->text())
            captions << f.Next()->text();
    });
    watch.start(50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 8000));
    watch.stop();
    EXPECT_EQ(captions,
        QStringList({QStringLiteral("Остановить"), QStringLiteral("Остановить (4)"),
            QStringLiteral("Остановить (3)"), QStringLiteral("Остановить (2)"),
            QStringLiteral("Остановить (1)"), QStringLiteral("Завершить >")}));
    EXPECT_LE(page->StopCountdown, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->IsRunning(); }, 2000));
    EXPECT_EQ(page->Results.size(), 1) << "the file in flight gets no record";
}

TEST(UploadPage, StopWaitsForTheCurrentFile)
{
    UploadFixture f;
    CUploadDlg* page = f.StartUpload();
    f.Next()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 8000));
    EXPECT_GT(page->StopCountdown, 0) << "the worker ended by itself, not by the countdown";
    EXPECT_LT(page->Results.size(), 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->IsRunning(); }, 2000));

    // Back and on again: a fresh run of the whole list.
    ButtonById(f.frame.get(), kPrevButton)->click();
    f.Next()->click();
    EXPECT_EQ(f.frame->CurrentPage(), kUploadPage);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_EQ(page->Results.size(), 3);
}

} // namespace
