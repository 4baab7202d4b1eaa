// SPDX-License-Identifier: MIT
#include "app/cli/CliListener.h"
#include "app/cli/CliTools.h"
#include "history/HistoryLog.h"
#include "settings/Paths.h"
#include "settings/SettingsLocation.h"
#include "upload/CodeGenerator.h"
#include "upload/profiles/ServiceCatalog.h"

void PrintCode(std::optional<CodeType> type, const UploadCliOptions& options,
    const QList<UploadResult>& results, QTextStream& out, QTextStream& err)
{
    const CodeTemplate tmpl = LoadTemplate(options.templatePath);
    if (!tmpl.Problem.isEmpty())
        err << "vellmar-upload: " << tmpl.Problem << '\n' << Qt::flush;
    const QString code = GenerateCode(results, type, options.perRow, tmpl);
    out << code;
    if (!code.endsWith(u'\n'))
        out << '\n';
    out << Qt::flush;
}

int UploadFiles(const UploadCliOptions& options, const Settings& settings, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop)
{
    const ServiceCatalog catalog = ServiceCatalog::Load();
    Settings chosen = settings;
    // Chosen by its number or name, a service is named like a choice kept in the settings.
    if (!options.service.isEmpty()) {
        const ServiceEntry* entry = catalog.Find(options.service);
        if (!entry)
            return UsageError(
                QStringLiteral("there is no service \"%1\"; --list-services shows them").arg(options.service),
                out, err);
        chosen.main.Main.Service = entry->name;
    }
    MadeUploadJob made = JobFromOptions(options, chosen, catalog);
    if (!made.error.isEmpty()) {
        // A profile file given on the command line is one of the arguments; a choice the settings
        // keep is not.
        if (!options.serviceFile.isEmpty())
            return UsageError(made.error, out, err);
        err << "vellmar-upload: " << made.error << '\n' << Qt::flush;
        return 2;
    }

    std::shared_ptr<HistoryLog> history;
    if (settings.main.History.Keep) {
        history = std::make_shared<HistoryLog>(HistoryPathFor(options.iniPath),
            [&err](const QString& notice) { err << "vellmar-upload: " << notice << '\n'
                                                << Qt::flush; });
        made.job.log = history;
    }
    const bool printCode = options.codeType.has_value();
    CliListener listener(options.files, CliListener::Run::Upload, !printCode, out, err);
    // Ctrl+C ends the running transfer at once; nothing is worth finishing then.
    RunUpload(made.job, listener, stop, stop);
    // Every row is in the file before the program ends, and before its prepared files go.
    if (history)
        history->Flush();
    if (listener.engineFailed) {
        err << "vellmar-upload: the settings name service " << static_cast<int>(made.job.main.Main.ServerID)
            << ", which does not exist\n"
            << Qt::flush;
        return 2;
    }
    listener.ReportUnhandled();
    if (printCode)
        PrintCode(options.codeType, options, listener.results, out, err);
    return listener.failures == 0 ? 0 : 1;
}
