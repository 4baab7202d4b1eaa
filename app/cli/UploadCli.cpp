// SPDX-License-Identifier: MIT
#include "UploadCli.h"

#include "Paths.h"
#include "Settings.h"
#include "UploadEngine.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

constexpr int kMaxThumbSize = 1024;
constexpr int kFallbackThumbSize = 150;

const char kUsage[] = R"(Usage: vellmar-upload [OPTIONS] FILE...

Uploads each FILE to an image-hosting service and prints one line per file:
the address of the picture, a tab, the address of its thumbnail.

Options:
  --server N             service to upload to: 0 ImageShack, 1 Keep4u, 2 Radikal,
                         3 Smages, 4 iPicture (default: Main.ServerID of the settings)
  --thumb-size PX        thumbnail size asked of the service, 1 to 1024
                         (default: Main.ThumbWidth of the settings, 150 when that is
                         below 1 or above 1024)
  --host N=NAME[:PORT]   host of service N for this run, instead of Servers.HostN
                         of the settings; may be given for several services
  --ini PATH             settings file to read (default: vellmar.ini beside the program)
  -h, --help             show this text

A file that cannot be uploaded is named on standard error with the reason.
Exit status: 0 when every file was uploaded, 1 when at least one failed,
2 for bad arguments.
)";

bool ParseInt(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high)
        return false;
    value = number;
    return true;
}

} // namespace

QString UploadCliUsage()
{
    return QString::fromUtf8(kUsage);
}

CliParse ParseUploadCli(const QStringList& arguments, UploadCliOptions& options, QString& error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption server(QStringLiteral("server"), QString(), QStringLiteral("N"));
    const QCommandLineOption thumbSize(QStringLiteral("thumb-size"), QString(), QStringLiteral("PX"));
    const QCommandLineOption host(QStringLiteral("host"), QString(), QStringLiteral("N=NAME[:PORT]"));
    const QCommandLineOption ini(QStringLiteral("ini"), QString(), QStringLiteral("PATH"));
    parser.addOptions({help, server, thumbSize, host, ini});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return CliParse::Error;
    }
    if (parser.isSet(help))
        return CliParse::Help;

    if (parser.isSet(server) && !ParseInt(parser.value(server), 0, kServiceCount - 1, options.serverId)) {
        error = QStringLiteral("--server takes a service number from 0 to %1").arg(kServiceCount - 1);
        return CliParse::Error;
    }
    if (parser.isSet(thumbSize) && !ParseInt(parser.value(thumbSize), 1, kMaxThumbSize, options.thumbSize)) {
        error = QStringLiteral("--thumb-size takes a size from 1 to %1").arg(kMaxThumbSize);
        return CliParse::Error;
    }
    for (const QString& value : parser.values(host)) {
        const qsizetype equals = value.indexOf(u'=');
        int number = -1;
        const QString name = value.mid(equals + 1);
        if (equals < 0 || !ParseInt(value.left(equals), 0, kServiceCount - 1, number) || !IsValidHost(name)) {
            error = QStringLiteral("--host takes N=NAME[:PORT] with N from 0 to %1, not \"%2\"")
                        .arg(kServiceCount - 1)
                        .arg(value);
            return CliParse::Error;
        }
        options.hosts.insert(number, name);
    }
    if (parser.isSet(ini)) {
        options.iniPath = parser.value(ini);
        if (!QFileInfo(options.iniPath).isFile()) {
            error = QStringLiteral("no settings file %1").arg(options.iniPath);
            return CliParse::Error;
        }
    }
    options.files = parser.positionalArguments();
    if (options.files.isEmpty()) {
        error = QStringLiteral("no file to upload");
        return CliParse::Error;
    }
    return CliParse::Run;
}

int RunUploadCli(
    const QStringList& arguments, QTextStream& out, QTextStream& err, const std::atomic<bool>* stop)
{
    UploadCliOptions options;
    QString error;
    switch (ParseUploadCli(arguments, options, error)) {
    case CliParse::Help:
        out << UploadCliUsage() << Qt::flush;
        return 0;
    case CliParse::Error:
        err << "vellmar-upload: " << error << "\n\n" << UploadCliUsage() << Qt::flush;
        return 2;
    case CliParse::Run:
        break;
    }

    Settings settings;
    LoadSettings(options.iniPath.isEmpty() ? DefaultIniPath() : options.iniPath, settings);
    const int serverId = options.serverId >= 0 ? options.serverId : settings.main.Main.ServerID;
    int thumbSize = options.thumbSize;
    if (thumbSize == 0) {
        thumbSize = settings.main.Main.ThumbWidth;
        if (thumbSize < 1 || thumbSize > kMaxThumbSize)
            thumbSize = kFallbackThumbSize;
    }
    ServersPart servers = settings.servers;
    for (auto it = options.hosts.cbegin(); it != options.hosts.cend(); ++it)
        servers.Host[size_t(it.key())] = it.value();

    CUploadEngineSelector selector(servers, stop);
    if (!selector.Select(serverId)) {
        err << "vellmar-upload: the settings name service " << serverId << ", which does not exist\n"
            << Qt::flush;
        return 2;
    }

    int failures = 0;
    for (const QString& file : std::as_const(options.files)) {
        if (stop && stop->load()) {
            err << "vellmar-upload: " << file << ": not uploaded, stopped\n" << Qt::flush;
            ++failures;
            continue;
        }
        QString image;
        QString thumb;
        if (selector.Upload(file, &image, &thumb, thumbSize)) {
            out << image << '\t' << thumb << '\n' << Qt::flush;
        } else {
            err << "vellmar-upload: " << file << ": upload to " << servers.Host[size_t(serverId)]
                << " failed: " << selector.Engine->LastError() << '\n'
                << Qt::flush;
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
