// SPDX-License-Identifier: MIT
// The program's life as Run leads it: the settings read at start-up, a first start's service,
// the exit that saves them, the workers stopped and the temporary folder emptied.
#include "app/core/CThreadImpl.h"
#include "app/shell/Run.h"
#include "imaging/TempFolder.h"
#include "ui/CWizardDlg.h"
#include "ui/pages/CMainDlg.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Drives a real run of the program: `script` runs once the window is up.
int RunWith(const QString& ini, const std::function<void(CWizardDlg&)>& script)
{
    QTimer::singleShot(0, qApp, [script] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* frame = qobject_cast<CWizardDlg*>(w); frame && frame->isVisible())
                return script(*frame);
        }
        QCoreApplication::exit(99);
    });
    return Run(ini);
}

// The service the settings page shows as chosen, and the note under the list.
QString ServiceChoice(CWizardDlg& frame)
{
    frame.CreatePage(kUploadSettingsPage);
    QWidget* page = frame.Page(kUploadSettingsPage)->PageWnd;
    QString choice = page->findChild<QComboBox*>(QStringLiteral("1026"))->currentText() + u'|';
    for (QLabel* label : page->findChildren<QLabel*>())
        choice += label->text().startsWith(QStringLiteral("Выбран")) ? label->text() : QString();
    return choice;
}

// Loose files in the shared folder, as older versions left them; an exit without another copy
// running removes them.
QStringList PutLeftovers()
{
    const QString temp = QDir::tempPath() + QStringLiteral("/pelk_vl_temp");
    EXPECT_TRUE(EnsurePrivateFolder(temp));
    QDir(temp).mkdir(QStringLiteral("subfolder"));
    QStringList files;
    for (const char* name : {"image123.jpg", "thumb456.png", "old_run.gif"})
        WriteFile(files.emplace_back(temp + u'/' + QString::fromLatin1(name)), "x");
    return files;
}

// A first start uploads to a service that needs no account and says so. The loader still
// drawing, Exit from the list page with Yes: the settings are saved, the loose files of older
// versions go, sub-folders and the folder itself stay. The next start keeps the choice, without
// a note; its settings file cannot be written, which is told once, and the file stays whole.
TEST(Shutdown, TwoRunsFirstStartThenAFileThatCannotBeWritten)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    const QStringList leftovers = PutLeftovers();
    bool loaderWasRunning = false;
    const int firstCode = RunWith(ini, [&](CWizardDlg& frame) {
        EXPECT_EQ(ServiceChoice(frame),
            QStringLiteral(" catbox.moe|Выбран catbox.moe: бесплатно и без регистрации. "
                           "Можно выбрать другой."));
        // Another choice, and the note has nothing to say.
        frame.Page(kUploadSettingsPage)
            ->PageWnd->findChild<QComboBox*>(QStringLiteral("1026"))
            ->setCurrentIndex(0);
        EXPECT_EQ(ServiceChoice(frame), QStringLiteral(" imageshack.us|"));
        frame.WizardSettings().main.Image.Quality = 42;
        frame.DropFiles(SharedPictures(300));
        loaderWasRunning = static_cast<CMainDlg*>(frame.Page(kFileListPage))->View()->IsRunning();
        ModalAnswer yes(QStringLiteral("Да"));
        ButtonById(&frame, kExitButton)->click();
        EXPECT_TRUE(yes.Seen());
    });
    EXPECT_EQ(firstCode, 2);
    EXPECT_TRUE(loaderWasRunning);
    for (const QString& f : leftovers)
        EXPECT_FALSE(QFile::exists(f)) << qPrintable(f);
    EXPECT_TRUE(QDir(QDir::tempPath() + QStringLiteral("/pelk_vl_temp/subfolder")).exists());
    const QByteArray saved = TestDir::read(ini);
    EXPECT_TRUE(saved.contains("Quality=42\n") && saved.contains("Service=catbox.moe\n"));

    ASSERT_TRUE(QFile::setPermissions(ini, QFileDevice::ReadOwner));
    QString told;
    const int secondCode = RunWith(ini, [&](CWizardDlg& frame) {
        EXPECT_EQ(ServiceChoice(frame), QStringLiteral(" catbox.moe|"));
        frame.WizardSettings().main.Image.Quality = 55;
        ModalAnswer ok(QStringLiteral("ОК"));
        frame.OnExit();
        told = ok.Text();
    });
    EXPECT_EQ(secondCode, 2);
    EXPECT_TRUE(told.startsWith(QStringLiteral("Не удалось сохранить настройки (") + ini + " is read-only)"))
        << told.toStdString();
    EXPECT_EQ(TestDir::read(ini), saved);
}

// A worker that heeds the stop is waited for; one caught in work no stop reaches is left to end
// on its own once the limit has passed, with what it shares.
TEST(Shutdown, StopWithinWaitsForAWorkerUpToTheLimit)
{
    struct Owner
    {
        // `state`: 0 working, 1 let go by the test, 2 ended.
        int ThreadProc(std::stop_token stop, bool heeds, std::shared_ptr<std::atomic<int>> state)
        {
            while (*state == 0 && !(heeds && stop.stop_requested()))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            *state = 2;
            return 0;
        }
        CThreadImpl<Owner> worker {*this};
    };
    for (const bool heeds : {true, false}) {
        Owner owner;
        auto state = std::make_shared<std::atomic<int>>(0);
        ASSERT_TRUE(owner.worker.Start(heeds, state));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(owner.worker.StopWithin(std::chrono::milliseconds(300)), heeds);
        EXPECT_EQ(*state == 2, heeds);
        EXPECT_EQ(clock.elapsed() >= 300, !heeds);
        EXPECT_FALSE(owner.worker.IsRunning());
        if (!heeds)
            *state = 1;
        EXPECT_TRUE(QTest::qWaitFor([&] { return *state == 2; }));
    }
}

} // namespace
