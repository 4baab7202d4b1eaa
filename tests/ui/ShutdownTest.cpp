// SPDX-License-Identifier: MIT
// The program's life as Run leads it: the settings read at start-up, a first start's service,
// the exit that saves them, the workers stopped and the temporary folder emptied.
#include "app/core/CThreadImpl.h"
#include "app/shell/Run.h"
#include "imaging/TempFolder.h"
#include "settings/SettingsLocation.h"
#include "ui/CWizardDlg.h"
#include "ui/pages/CMainDlg.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Videos.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Drives a real run of the program, given `files` as on its command line: `script` runs once the
// window is up.
int RunWith(const QString& ini, const std::function<void(CWizardDlg&)>& script, const QStringList& files = {})
{
    QTimer::singleShot(0, qApp, [script] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* frame = qobject_cast<CWizardDlg*>(w); frame && frame->isVisible())
                return script(*frame);
        }
        QCoreApplication::exit(99);
    });
    return Run({.iniPath = ini}, {}, files);
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

// A first start uploads to a service that needs no account and says so. The loader still
// drawing, Exit from the list page with Yes: the settings are saved, the loose files of older
// versions go, sub-folders and the folder itself stay. The next start keeps the choice, without
// a note; its settings file cannot be written, which is told once, and the file stays whole.
TEST(Shutdown, TwoRunsFirstStartThenAFileThatCannotBeWritten)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    // Loose files in the shared folder, as older versions left them.
    const QString shared = QDir::tempPath() + QStringLiteral("/pelk_vl_temp");
    ASSERT_TRUE(EnsurePrivateFolder(shared));
    QDir(shared).mkdir(QStringLiteral("subfolder"));
    QStringList leftovers;
    for (const char* name : {"image123.jpg", "thumb456.png", "old_run.gif"})
        WriteFile(leftovers.emplace_back(shared + u'/' + QString::fromLatin1(name)), "x");
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
    EXPECT_TRUE(QDir(shared + QStringLiteral("/subfolder")).exists());
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

// Files on the command line open as dropped; a later start hands its files (relative names made
// whole in the folder it starts in) to the window already open and ends at once.
TEST(Shutdown, FilesOnTheCommandLineAndFromALaterStart)
{
    TestDir dir;
    const QString a = WritePicture(dir.path(), QStringLiteral("a.png"));
    WritePicture(dir.path(), QStringLiteral("b.jpg"), 30, 20, "JPEG");
    WriteFile(dir.file(QStringLiteral("notes.txt")), "x");
    const auto state = [](CWizardDlg& frame) {
        QString shown = QString::number(frame.CurrentPage()) + u':';
        for (const QString& path : frame.FileListPaths())
            shown += QFileInfo(path).fileName() + u' ';
        return shown.toStdString();
    };
    // The files of the first start and the state they lead to, with the warning it gives; the
    // same for the files of a later start.
    using Start = std::tuple<QStringList, const char*, const char*>;
    const std::tuple<const char*, Start, Start> cases[] = {
        {"a picture, then one more", {{a}, "2:a.png ", nullptr}, {{"b.jpg"}, "2:a.png b.jpg ", nullptr}},
        {"a video, then only the window to the front",
            {{SampleVideo(QStringLiteral("h264.mp4"))}, "1:", nullptr}, {{}, "1:", nullptr}},
        {"nothing, then two that are refused and one taken", {{}, "0:", nullptr},
            {{"missing.png", "notes.txt", "b.jpg"}, "2:b.jpg ",
                "missing.png — файл не найден\nnotes.txt — не изображение и не видео"}},
        {"a missing picture, then a relative path leading elsewhere",
            {{dir.file(QStringLiteral("gone.png"))}, "2:", "gone.png — файл не найден"},
            {{"../" + QFileInfo(dir.path()).fileName() + "/a.png"}, "2:a.png ", nullptr}},
    };
    for (const auto& [name, first, later] : cases) {
        SCOPED_TRACE(name);
        int laterCode = -1;
        const int code = RunWith(
            dir.file(QStringLiteral("vellmar.ini")),
            [&](CWizardDlg& frame) {
                for (const Start* start : {&first, &later}) {
                    const auto& [files, expected, told] = *start;
                    ModalAnswer message(QStringLiteral("ОК"));
                    if (start == &later) {
                        QProcess second;
                        second.setWorkingDirectory(dir.path());
                        second.start(QStringLiteral(VELLMAR_EXE), files);
                        EXPECT_TRUE(
                            QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 20000));
                        laterCode = second.exitCode();
                        second.kill();
                    }
                    // Waits for the drop to settle; the checks below say what went wrong.
                    (void)QTest::qWaitFor(
                        [&] { return state(frame) == expected && (!told || message.Seen()); });
                    EXPECT_EQ(state(frame), expected);
                    EXPECT_EQ(message.Seen(), told != nullptr);
                    if (told) {
                        EXPECT_TRUE(message.Text().endsWith(QString::fromUtf8(told)))
                            << message.Text().toStdString();
                    }
                }
                frame.CloseWizard(kNormalExitCode);
            },
            std::get<0>(first));
        EXPECT_EQ(code, kNormalExitCode);
        EXPECT_EQ(laterCode, 0);
    }
}

// A worker caught in work no stop request reaches is waited for up to the limit, then left to
// end on its own with what it shares. (One that heeds the stop ends every page's worker.)
TEST(Shutdown, StopWithinGivesUpOnAWorkerAfterTheLimit)
{
    struct Owner
    {
        int ThreadProc(std::stop_token, std::shared_ptr<std::atomic<int>> state)
        {
            while (*state == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            *state = 2;
            return 0;
        }
        CThreadImpl<Owner> worker {*this};
    } owner;
    auto state = std::make_shared<std::atomic<int>>(0); // 0 working, 1 let go, 2 ended
    ASSERT_TRUE(owner.worker.Start(state));
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(owner.worker.StopWithin(std::chrono::milliseconds(300)));
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_FALSE(owner.worker.IsRunning());
    *state = 1;
    EXPECT_TRUE(QTest::qWaitFor([&] { return *state == 2; }));
}

} // namespace
