// SPDX-License-Identifier: MIT
#include "app/shell/Run.h"
#include "imaging/TempFolder.h"
#include "ui/CMainDlg.h"
#include "ui/CWizardDlg.h"
#include "ui/widgets/CThumbsView.h"

#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
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

void PutLeftovers(QStringList& files)
{
    // Loose files in the shared folder, as older versions left them.
    const QString temp = QDir::tempPath() + QStringLiteral("/pelk_vl_temp");
    ASSERT_TRUE(EnsurePrivateFolder(temp));
    for (const char* name : {"image123.jpg", "thumb456.png", "old_run.gif"}) {
        QFile f(temp + u'/' + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        files << f.fileName();
    }
    QDir(temp).mkdir(QStringLiteral("subfolder"));
}

TEST(Shutdown, ExitFromWelcomeSavesAndEmptiesTheTemporaryFolder)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    QStringList leftovers;
    PutLeftovers(leftovers);

    const int code = RunWith(ini, [](CWizardDlg& frame) {
        frame.WizardSettings().main.Image.Quality = 42;
        ButtonById(&frame, kExitButton)->click();
    });
    EXPECT_EQ(code, 2);
    for (const QString& f : leftovers)
        EXPECT_FALSE(QFile::exists(f)) << qPrintable(f);
    // Sub-folders and the folder itself stay.
    EXPECT_TRUE(QDir(QDir::tempPath() + QStringLiteral("/pelk_vl_temp/subfolder")).exists());
    Settings saved;
    LoadSettings(ini, saved);
    EXPECT_EQ(saved.main.Image.Quality, 42);
}

TEST(Shutdown, ClosingWhileTheLoaderRuns)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    QStringList pictures;
    for (int i = 0; i < 150; ++i)
        pictures << WritePicture(dir.path(), QStringLiteral("p%1.jpg").arg(i), 1600, 1200, "JPEG");
    QStringList leftovers;
    PutLeftovers(leftovers);

    bool loaderWasRunning = false;
    const int code = RunWith(ini, [&](CWizardDlg& frame) {
        frame.DropFiles(pictures);
        auto* list = static_cast<CMainDlg*>(frame.Page(kFileListPage));
        loaderWasRunning = list->View()->IsRunning();
        ModalAnswer yes(QStringLiteral("Да"));
        frame.OnExit();
        EXPECT_TRUE(yes.Seen());
    });
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(loaderWasRunning);
    for (const QString& f : leftovers)
        EXPECT_FALSE(QFile::exists(f)) << qPrintable(f);
    EXPECT_TRUE(QFile::exists(ini));
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

TEST(Shutdown, NoMeansTheProgramGoesOn)
{
    TestDir dir;
    const QString ini = dir.file(QStringLiteral("vellmar.ini"));
    const QString picture = WritePicture(dir.path(), QStringLiteral("a.png"));
    bool stillShown = false;
    const int code = RunWith(ini, [&](CWizardDlg& frame) {
        frame.DropFiles({picture});
        {
            ModalAnswer no(QStringLiteral("Нет"));
            frame.OnExit();
        }
        stillShown = frame.isVisible() && !QFile::exists(ini);
        ModalAnswer yes(QStringLiteral("Да"));
        frame.OnExit();
    });
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(code, 2);
}

} // namespace
