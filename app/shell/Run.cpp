// SPDX-License-Identifier: MIT
#include "app/shell/Run.h"

#include "app/shell/Instance.h"
#include "imaging/TempFolder.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"
#include "ui/CWizardDlg.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/FileDialogs.h"
#include "ui/kit/MessageBoxes.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QApplication>
#include <memory>

namespace {

// The program's own five services are kept for settings files that name them.
const char kFirstStartService[] = "catbox.moe";

} // namespace

void ChooseFirstStartService(SettingsStore& settings)
{
    if (settings.IsFirstStart())
        settings.Values().main.Main.Service = QString::fromLatin1(kFirstStartService);
}

int Run(const SettingsLocation& where, const QString& serviceFile, const QStringList& files)
{
    // One window per user: a file manager's "Open with" while it is open adds to it.
    const QString instance = InstanceSocketName();
    const QStringList given = GivenFiles(files);
    switch (HandToRunningWindow(given, instance)) {
    case HandOver::Done:
        return 0;
    case HandOver::Failed:
        qWarning("Vellmar: the window already open did not answer; the files were not opened");
        return 1;
    case HandOver::NoWindow:
        break;
    }
    int exitCode = 0;
    if (!LoadQtTranslations())
        qWarning("Vellmar: Qt's Russian texts are missing (package qt6-translations-l10n)");
    for (const QString& face : PrepareDialogFonts())
        qWarning(
            "Vellmar: the font %s is missing; the windows are laid out for a substitute", qPrintable(face));
    // Read once, before any page can look at them; the frame and its pages share this record.
    SettingsStore settings(where.iniPath);
    if (!where.problem.isEmpty())
        qWarning("Vellmar: %s", qPrintable(where.problem));
    if (!settings.Problem().isEmpty())
        qWarning("Vellmar: %s", qPrintable(settings.Problem()));
    ChooseFirstStartService(settings);
    // A session's profile is used without being stored.
    const ProfileRead sessionService
        = serviceFile.isEmpty() ? ProfileRead() : ReadServiceProfileFile(serviceFile);
    if (!serviceFile.isEmpty() && sessionService.ok())
        settings.Values().main.Main.ServiceFile = serviceFile;
    const auto temp = std::make_shared<TempFolder>();
    {
        auto frame = std::make_unique<CWizardDlg>(settings, temp);
        QObject::connect(
            frame.get(), &CWizardDlg::wizardClosed, qApp, [](int code) { QCoreApplication::exit(code); });
        frame->show();
        // Listening before any message box below, whose wait would otherwise let a second window open.
        const CInstanceServer laterStarts(*frame, instance);
        if (!where.copiedFrom.isEmpty()) {
            ShowInformation(frame.get(),
                QStringLiteral("Файл настроек %1 доступен только для чтения. Его копия сохранена в %2, "
                               "и настройки теперь хранятся там.")
                    .arg(where.copiedFrom, where.iniPath),
                QStringLiteral("Vellmar"));
        } else if (!where.problem.isEmpty()) {
            ShowWarning(frame.get(),
                QStringLiteral("Папка настроек недоступна (%1). Изменения настроек не сохранятся.")
                    .arg(where.problem),
                QStringLiteral("Vellmar"));
        }
        if (!sessionService.ok())
            ShowWarning(frame.get(), QStringLiteral("Файл сервиса не прочитан:\n") + sessionService.error,
                QStringLiteral("Vellmar"));
        // Said at once, not at the first upload, where it would only count as failures.
        if (const QString problem = temp->RootProblem(); !problem.isEmpty()) {
            ShowWarning(frame.get(),
                QStringLiteral(
                    "Временная папка недоступна (%1). Изображения не удастся подготовить к загрузке.")
                    .arg(problem),
                QStringLiteral("Vellmar"));
        }
        if (!given.isEmpty())
            frame->DropFiles(given);
        exitCode = QApplication::exec();
        // Destroying the frame destroys the pages, and each page waits for its worker, so
        // nothing writes into the temporary folder while it is emptied.
    }
    temp->Empty();
    return exitCode;
}
