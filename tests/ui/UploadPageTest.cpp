// SPDX-License-Identifier: MIT
#include "testhost/TestHost.h"
#include "tests/ui/TestWizard.h"
#include "ui/pages/CUploadDlg.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct UploadFixture
{
    TestHost host;
    std::unique_ptr<TestWizard> w;
    CWizardDlg* frame = nullptr;
    QStringList pictures;

    explicit UploadFixture(const std::function<void(TestHost&)>& setUp = {})
    {
        if (setUp)
            setUp(host);
        EXPECT_TRUE(host.Start()) << qPrintable(host.ErrorText());
        w = std::make_unique<TestWizard>(ServersSection(host.HostText()));
        frame = &w->frame;
        for (int i = 0; i < 3; ++i)
            pictures << WritePicture(w->dir.path(), QStringLiteral("p%1.png").arg(i), 120 + i, 90);
    }

    // Drops the pictures and goes on to the upload page, which starts the run.
    CUploadDlg* StartUpload()
    {
        frame->DropFiles(pictures);
        frame->OnNext();
        frame->OnNext();
        EXPECT_EQ(frame->CurrentPage(), kUploadPage);
        return w->PageAt<CUploadDlg>(kUploadPage);
    }

    QAbstractButton* Next() const { return w->Button(kNextButton); }
    QAbstractButton* Exit() const { return w->Button(kExitButton); }
    bool Finished() const { return Next()->text() == QStringLiteral("Завершить >"); }
};

// A failed file is named on the page with its reason in Russian, can be sent again at once,
// and stays in the list for later when the user finishes; the code keeps the files already sent.
TEST(UploadPage, FailedFilesAreListedRetriedAndKept)
{
    // Uploads 1, 2: the first picture and its thumbnail; 3: the second picture, which fails again
    // as upload 6 when it is retried; 4, 5: the third picture.
    UploadFixture f([](TestHost& host) {
        host.SetUploadFault(3, TestHost::Fault::ServerError);
        host.SetUploadFault(6, TestHost::Fault::ServerError);
    });
    CUploadDlg* page = f.StartUpload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_EQ(page->StatusText(),
        QStringLiteral("Закачка завершена. Всего 2 из 3 файлов было загружено. 1 ошибок."));
    const QString reason = QStringLiteral("в ответе сервиса нет адресов (код HTTP 500)");
    EXPECT_EQ(page->Failures, QStringList {"p1.png: " + reason});
    auto* listed = page->findChild<QTreeWidget*>();
    ASSERT_TRUE(listed && listed->isVisibleTo(page));
    ASSERT_EQ(listed->topLevelItemCount(), 1);
    EXPECT_EQ(listed->topLevelItem(0)->text(1), reason);
    QPushButton* retry = nullptr;
    for (QPushButton* button : page->findChildren<QPushButton*>())
        retry = button->text() == QStringLiteral("Повторить неудачные") ? button : retry;
    ASSERT_TRUE(retry && retry->isVisibleTo(page));

    // The retry sends only the failed file; failing again, the status says why.
    QTest::mouseClick(retry, Qt::LeftButton);
    EXPECT_EQ(f.frame->FileListPaths(), QStringList {f.pictures[1]});
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_EQ(page->StatusText(), "Файл не загружен: " + reason + '.');
    EXPECT_EQ(page->Results.size(), 2);

    // Finishing keeps it in the list; the next run sends it, and nothing else.
    f.Next()->click();
    EXPECT_EQ(f.frame->CurrentPage(), kWelcomePage);
    EXPECT_EQ(f.frame->FileListPaths(), QStringList {f.pictures[1]});
    for (int i = 0; i < 3; ++i)
        f.Next()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 30000));
    EXPECT_EQ(page->Results.size(), 1);
    EXPECT_FALSE(retry->isVisibleTo(page));
    f.Next()->click();
    EXPECT_TRUE(f.frame->FileListPaths().isEmpty());
}

// Stop asks the worker to stop before its next file. On a stuck upload the caption counts five
// seconds down and the run is given up then, or at a second press; the file in flight gets no record.
TEST(UploadPage, StopsPolitelyOrByForce)
{
    // Upload 1 is the first picture, 2 its own thumbnail, 3 the second picture.
    UploadFixture f([](TestHost& host) { host.SetSilentFrom(3); });
    CUploadDlg* page = f.StartUpload();
    const auto ended = [&] { return QTest::qWaitFor([&] { return !page->IsRunning(); }, 2000); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Results.size() == 1; }, 20000));
    f.Next()->click();
    EXPECT_EQ(f.frame->CurrentPage(), kUploadPage) << "Stop keeps the page";
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
    EXPECT_TRUE(ended());
    EXPECT_EQ(page->Results.size(), 1);

    // Back and on: a fresh run, stuck at once, which a second press ends at once.
    f.w->Button(kPrevButton)->click();
    f.Next()->click();
    QTest::qWait(200);
    f.Next()->click();
    EXPECT_EQ(page->StopCountdown, 5);
    f.Next()->click();
    EXPECT_TRUE(f.Finished());
    EXPECT_TRUE(f.Exit()->isEnabled());
    EXPECT_TRUE(ended()) << "the worker given up aborts its transfer and ends by itself";
    EXPECT_TRUE(page->Results.isEmpty());

    // The host answering again: the worker finishes its file and ends the run by itself.
    f.host.SetSilentFrom(0);
    f.w->Button(kPrevButton)->click();
    f.Next()->click();
    f.Next()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Finished(); }, 8000));
    EXPECT_GT(page->StopCountdown, 0) << "not by the countdown";
    EXPECT_LT(page->Results.size(), 3);
    EXPECT_TRUE(ended());
}

} // namespace
