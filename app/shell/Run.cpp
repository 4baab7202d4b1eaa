// SPDX-License-Identifier: MIT
#include "app/shell/Run.h"

#include "imaging/TempFolder.h"
#include "ui/CWizardDlg.h"
#include "ui/kit/Dlu.h"
#include "ui/kit/FileDialogs.h"
#include "ui/kit/MessageBoxes.h"
#include "upload/profiles/ServiceCatalog.h"

#include <QApplication>
#include <memory>

int Run(const QString& iniPath, const QString& serviceFile)
{
    int exitCode = 0;
    if (!LoadQtTranslations())
        qWarning("Vellmar: Qt's Russian texts are missing (package qt6-translations-l10n)");
    for (const QString& face : PrepareDialogFonts())
        qWarning(
            "Vellmar: the font %s is missing; the windows are laid out for a substitute", qPrintable(face));
    const auto temp = std::make_shared<TempFolder>();
    {
        auto frame = std::make_unique<CWizardDlg>(iniPath, temp);
        QObject::connect(
            frame.get(), &CWizardDlg::wizardClosed, qApp, [](int code) { QCoreApplication::exit(code); });
        frame->show();
        if (!serviceFile.isEmpty()) {
            if (const ProfileRead read = ReadServiceProfileFile(serviceFile); read.ok())
                frame->UseServiceFileForSession(serviceFile);
            else
                ShowWarning(frame.get(), QStringLiteral("Файл сервиса не прочитан:\n") + read.error,
                    QStringLiteral("Vellmar"));
        }
        // Said at once, not at the first upload, where it would only count as failures.
        if (const QString problem = temp->RootProblem(); !problem.isEmpty()) {
            ShowWarning(frame.get(),
                QStringLiteral(
                    "Временная папка недоступна (%1). Изображения не удастся подготовить к загрузке.")
                    .arg(problem),
                QStringLiteral("Vellmar"));
        }
        exitCode = QApplication::exec();
        // Destroying the frame destroys the pages, and each page waits for its worker, so
        // nothing writes into the temporary folder while it is emptied.
    }
    temp->Empty();
    return exitCode;
}
