// SPDX-License-Identifier: MIT
#include "app/cli/UploadCli.h"

#include "app/cli/CliTools.h"
#include "imaging/TempFolder.h"
#include "settings/SettingsLocation.h"
#include "upload/profiles/ServiceCatalog.h"

#include <algorithm>

int UsageError(const QString& why, QTextStream& out, QTextStream& err)
{
    return *AnswerWithoutRunning(ParsedUploadCli::Error(why), "vellmar-upload", UploadCliUsage(), out, err);
}

MadeUploadJob JobFromOptions(
    const UploadCliOptions& options, Settings settings, const ServiceCatalog& catalog)
{
    MainPart::MainKeys& main = settings.main.Main;
    main.ServiceFile = options.serviceFile;
    if (options.thumbSize > 0)
        main.ThumbWidth = options.thumbSize;
    for (auto it = options.hosts.cbegin(); it != options.hosts.cend(); ++it)
        settings.servers.Host[size_t(it.key())] = it.value();
    if (options.raw) {
        settings.main.Image.KeepAsIs = true;
        settings.main.Thumbs.UserServerThumbs = true;
    }
    MadeUploadJob made = MakeUploadJob(settings, options.files, std::make_shared<TempFolder>(), catalog);
    UploadJob& job = made.job;
    job.caFile = options.caFile;
    job.jobs = options.jobs;
    job.ownThumbs = !options.raw;
    if (options.timeoutSeconds > 0) {
        job.timeouts.connectMs = long(options.timeoutSeconds) * 1000;
        job.timeouts.stallSeconds = options.timeoutSeconds;
        job.timeouts.answerSeconds = std::max(job.timeouts.answerSeconds, long(options.timeoutSeconds));
    }
    return made;
}

int RunUploadCli(
    const QStringList& arguments, QTextStream& out, QTextStream& err, const std::atomic<bool>* stop)
{
    const ParsedUploadCli parsed = ParseUploadCli(arguments);
    if (const std::optional<int> exitCode
        = AnswerWithoutRunning(parsed, "vellmar-upload", UploadCliUsage(), out, err))
        return *exitCode;
    UploadCliOptions options = parsed.options;
    const SettingsLocation where = LocateSettings(options.iniPath);
    if (!where.copiedFrom.isEmpty())
        err << "vellmar-upload: " << where.copiedFrom << " cannot be written; copied to " << where.iniPath
            << ", where the settings are kept from now on\n"
            << Qt::flush;
    if (!where.problem.isEmpty())
        err << "vellmar-upload: " << where.problem << '\n' << Qt::flush;
    // The tools below read the settings, and find the history, through the file found here.
    options.iniPath = where.iniPath;
    if (options.templatePath.isEmpty())
        options.templatePath = TemplatePathFor(where.iniPath);
    Settings settings;
    const QString problem = LoadSettings(where.iniPath, settings);
    if (options.listServices)
        return ListServices(settings, out, err);
    if (!options.addService.isEmpty())
        return AddService(options.addService, out, err);
    if (options.history || options.historyCode)
        return ListHistory(options, out, err);
    if (!problem.isEmpty())
        err << "vellmar-upload: " << problem << '\n' << Qt::flush;
    if (!options.prepareOnly.isEmpty())
        return PrepareOnly(options, settings, out, err, stop);
    return UploadFiles(options, settings, out, err, stop);
}
