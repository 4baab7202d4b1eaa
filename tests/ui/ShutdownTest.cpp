// SPDX-License-Identifier: MIT
#include "app/shell/Run.h"
#include "imaging/TempFolder.h"
#include "ui/CWizardDlg.h"
#include "ui/pages/CMainDlg.h"
#include "ui/pages/CUploadDlg.h"
#include "ui/widgets/CThumbsView.h"
#include "upload/testhost/TestHost.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

CWizardDlg* RunningFrame()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* frame = qobject_cast<CWizardDlg*>(w); frame && frame->isVisible())
            return frame;
    }
    return nullptr;
}

// Drives a real run of the program: `script` runs once the window is up.
int RunWith(const QString& ini, const std::function<void(CWizardDlg&)>& script)
{
    QTimer::singleShot(0, qApp, [script] {
        if (CWizardDlg* frame = RunningFrame())
            script(*frame);
        else
            QCoreApplication::exit(99);
    });
    return Run(ini);
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

void ExpectGone(const QStringList& files)
{
    for (const QString& f : files)
        EXPECT_FALSE(QFile::exists(f)) << qPrintable(f);
}

// The loader still drawing, Exit from the list page with Yes: the settings are saved, the
// loose files of older versions go, sub-folders and the folder itself stay.
TEST(Shutdown, ExitWhileTheLoaderRunsSavesAndEmptiesTheTemporaryFolder)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    const QStringList leftovers = PutLeftovers();
    bool loaderWasRunning = false;
    const int code = RunWith(ini, [&](CWizardDlg& frame) {
        frame.WizardSettings().main.Image.Quality = 42;
        frame.DropFiles(SharedPictures(300));
        loaderWasRunning = static_cast<CMainDlg*>(frame.Page(kFileListPage))->View()->IsRunning();
        ModalAnswer yes(QStringLiteral("Да"));
        ButtonById(&frame, kExitButton)->click();
        EXPECT_TRUE(yes.Seen());
    });
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(loaderWasRunning);
    ExpectGone(leftovers);
    EXPECT_TRUE(QDir(QDir::tempPath() + QStringLiteral("/pelk_vl_temp/subfolder")).exists());
    Settings saved;
    LoadSettings(ini, saved);
    EXPECT_EQ(saved.main.Image.Quality, 42);
}

// A settings file that cannot be written is told once; the old file stays whole.
TEST(Shutdown, AFailedSaveIsToldAndTheOldFileKept)
{
    TestDir dir;
    const QString ini = dir.write(QStringLiteral("vellmar.ini"), "[Image]\nQuality=55\n");
    ASSERT_TRUE(QFile::setPermissions(ini, QFileDevice::ReadOwner));
    QString told;
    const int code = RunWith(ini, [&](CWizardDlg& frame) {
        frame.WizardSettings().main.Image.Quality = 42;
        ModalAnswer ok(QStringLiteral("ОК"));
        frame.OnExit();
        told = ok.Text();
    });
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(told.startsWith(QStringLiteral("Не удалось сохранить настройки (") + ini + " is read-only)"))
        << told.toStdString();
    EXPECT_EQ(TestDir::read(ini), QByteArray("[Image]\nQuality=55\n"));
}

} // namespace
