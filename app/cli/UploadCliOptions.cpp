// SPDX-License-Identifier: MIT
#include "app/cli/UploadCliOptions.h"

#include "upload/CodeGenerator.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <climits>

namespace {

constexpr int kMaxThumbSize = 1024;
constexpr int kMaxTimeoutSeconds = 1000000;
// More preparations at once than this only cost memory.
constexpr int kMaxJobs = 64;

const char kUsage[] = R"(Usage: vellmar-upload [OPTIONS] FILE...

Prepares each FILE as the wizard does (bounds, format, text and logo stamps and
own thumbnails from the settings file), uploads it to an image-hosting service and
prints one line per file: the address of the picture, a tab, the address of its
thumbnail (empty when the settings turn thumbnails off) and, when the service gives
one, a tab and the address that deletes the picture. With --code it prints the
ready-to-paste code for all uploaded files instead.

Options:
  --service NAME|N       service to upload to, by name or by its number in
                         --list-services: 0 ImageShack, 1 Keep4u, 2 Radikal,
                         3 Smages, 4 iPicture, then the service profiles (default:
                         the service chosen in the settings); --server N is the same
  --service-file FILE    upload to the service a custom-uploader file (.sxcu)
                         describes, without adding it
  --list-services        print the services, one per line: number, name, address;
                         files of the user's that cannot be read, or that other
                         users may read, are named on standard error
  --add-service FILE     check a custom-uploader file (.sxcu) and add it to the
                         user's services (in ~/.config/vellmar/services, readable
                         by the user alone); a file in the older $name$ syntax
                         (format version 12.4 to 13.x) is stored converted
  --ca-file FILE         also trust the certificate authorities in FILE (PEM) for
                         https; certificates are always checked
  --thumb-size PX        thumbnail width, 1 to 1024, for own thumbnails and the
                         size asked of the service (default: Main.ThumbWidth of the
                         settings, 150 when that is below 1 or above 1024)
  --host N=NAME[:PORT]   host of service N for this run, instead of Servers.HostN
                         of the settings; may be given for several services
  --ini PATH             settings file to read (default: vellmar.ini beside the
                         program when it can be written there, otherwise
                         ~/.config/vellmar/vellmar.ini; see Files below)
  --raw                  send each file as it is, without preparing it and without
                         an own thumbnail; the thumbnail address is the service's,
                         or empty when it gives none. Its GPS position is still
                         taken out (a copy is sent) unless the settings say
                         Image.StripLocation=0
  --timeout SECONDS      give up a transfer after this long without a single byte
                         moving (sent, received or acknowledged by the server), and
                         a connection that takes longer to open (default: 1000); a
                         slow upload never fails while data flows. Once a file is
                         sent, its answer must end within 120 seconds, or within
                         SECONDS when that is more
  --jobs N               prepare up to N files at once, ahead of the upload (default:
                         one per core); uploads still go one at a time, in order
  --prepare-only DIR     prepare each file as an upload would (bounds, format,
                         stamps, own thumbnail) into DIR and upload nothing; prints
                         the prepared file, a tab and the thumbnail per file
  --code TYPE            print code of this type instead of the address lines:
                         0 BBCode thumbnail table, 1 BBCode thumbnails,
                         2 BBCode pictures, 3 BBCode links, 4 plain links,
                         5 HTML thumbnail table, 6 HTML pictures
  --per-row N            pictures per row in code types 0 and 5 (default 4)
  --template PATH        text around the code, split at "%images%"; UTF-16 or
                         UTF-8 (default with --code: template.txt beside the
                         settings file, when there is one)
  --history              list the uploads kept in the history, newest first, one
                         line per file: time (UTC), service, file name, picture,
                         thumbnail and deletion address, separated by tabs
  --history-code TYPE    print code of this type (as --code) for the uploads kept
                         in the history, oldest first; --per-row and --template
                         apply
  --search TEXT          with --history or --history-code: only the uploads whose
                         file name or an address contains TEXT, in any case
  --limit N              with --history or --history-code: the newest N uploads
  --json                 with --history: a JSON array with every field instead
  -h, --help             show this text

Uploads are kept in the history while the settings say History.Keep=1 (the
default): history.sqlite beside a settings file in the program's folder, otherwise
in $XDG_DATA_HOME/vellmar.

The code is printed as the wizard shows it, lines ended by CR LF, with a final
line break added when it does not end with one.

A file that cannot be uploaded (or prepared) is named on standard error, in
double quotes, with the reason; a service's own error message is that reason.
Files sent as they are with a GPS position that cannot be removed from them
(HEIC, AVIF) are named there too. The files of one run go to a host over one
connection, kept alive between them.
Exit status: 0 when every file was uploaded, 1 when at least one failed,
2 for bad arguments or a service that does not exist.

Files: the settings are vellmar.ini beside the program when that file exists and
can be written (a portable copy), otherwise $XDG_CONFIG_HOME/vellmar/vellmar.ini
(~/.config/vellmar/vellmar.ini); a read-only vellmar.ini beside the program is
copied there once. The user's services are in ~/.config/vellmar/services.
)";

} // namespace

QString UploadCliUsage()
{
    return QString::fromUtf8(kUsage);
}

ParsedUploadCli ParseUploadCli(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption server(QStringList {QStringLiteral("service"), QStringLiteral("server")},
        QString(), QStringLiteral("NAME|N"));
    const QCommandLineOption serviceFile(QStringLiteral("service-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption listServices(QStringLiteral("list-services"));
    const QCommandLineOption addService(QStringLiteral("add-service"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption thumbSize(QStringLiteral("thumb-size"), QString(), QStringLiteral("PX"));
    const QCommandLineOption host(QStringLiteral("host"), QString(), QStringLiteral("N=NAME[:PORT]"));
    const QCommandLineOption ini(QStringLiteral("ini"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption raw(QStringLiteral("raw"));
    const QCommandLineOption code(QStringLiteral("code"), QString(), QStringLiteral("TYPE"));
    const QCommandLineOption perRow(QStringLiteral("per-row"), QString(), QStringLiteral("N"));
    const QCommandLineOption templ(QStringLiteral("template"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption prepareOnly(QStringLiteral("prepare-only"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    const QCommandLineOption history(QStringLiteral("history"));
    const QCommandLineOption historyCode(QStringLiteral("history-code"), QString(), QStringLiteral("TYPE"));
    const QCommandLineOption search(QStringLiteral("search"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption limit(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({help, server, serviceFile, listServices, addService, caFile, thumbSize, host, ini, raw,
        code, perRow, templ, timeout, prepareOnly, jobs, history, historyCode, search, limit, json});
    if (!parser.parse(arguments))
        return ParsedUploadCli::Error(parser.errorText());
    if (parser.isSet(help))
        return ParsedUploadCli::Help();

    ParsedUploadCli parsed;
    UploadCliOptions& options = parsed.options;
    // An option that is given must read as a number within its range.
    const auto number = [&](const QCommandLineOption& option, int low, int high) {
        return parser.isSet(option) ? ParseInt(parser.value(option), low, high) : std::nullopt;
    };
    const auto badNumber = [&](const QCommandLineOption& option, int low, int high) {
        return parser.isSet(option) && !number(option, low, high);
    };

    if (parser.isSet(ini)) {
        options.iniPath = parser.value(ini);
        if (const QString why = NotARegularFile(options.iniPath, QStringLiteral("settings file"));
            !why.isEmpty())
            return ParsedUploadCli::Error(why);
    }
    options.history = parser.isSet(history);
    if (options.history && parser.isSet(historyCode))
        return ParsedUploadCli::Error(QStringLiteral("--history and --history-code choose the same thing"));
    if (parser.isSet(historyCode)) {
        const std::optional<int> type = number(historyCode, 0, kCodeTypeCount - 1);
        if (!type)
            return ParsedUploadCli::Error(
                QStringLiteral("--history-code takes a code type from 0 to %1").arg(kCodeTypeCount - 1));
        options.historyCode = CodeTypeOf(*type);
    }
    const bool listing = options.history || options.historyCode;
    if (!listing && (parser.isSet(search) || parser.isSet(limit) || parser.isSet(json)))
        return ParsedUploadCli::Error(QStringLiteral("--search, --limit and --json go with --history"));
    if (parser.isSet(json) && !options.history)
        return ParsedUploadCli::Error(QStringLiteral("--json goes with --history"));
    if (badNumber(limit, 1, INT_MAX))
        return ParsedUploadCli::Error(QStringLiteral("--limit takes a number of uploads from 1 up"));
    options.search = parser.value(search);
    options.limit = number(limit, 1, INT_MAX).value_or(0);
    options.json = parser.isSet(json);
    if (listing) {
        if ((parser.isSet(perRow) || parser.isSet(templ)) && !options.historyCode)
            return ParsedUploadCli::Error(QStringLiteral("--per-row and --template go with --history-code"));
        if (badNumber(perRow, 1, INT_MAX))
            return ParsedUploadCli::Error(QStringLiteral("--per-row takes a number of pictures from 1 up"));
        options.perRow = number(perRow, 1, INT_MAX).value_or(options.perRow);
        options.templatePath = parser.value(templ);
        if (const QString why = options.templatePath.isEmpty()
                ? QString()
                : NotARegularFile(options.templatePath, QStringLiteral("template file"));
            !why.isEmpty())
            return ParsedUploadCli::Error(why);
        if (!parser.positionalArguments().isEmpty())
            return ParsedUploadCli::Error(QStringLiteral("the history is listed, not files uploaded"));
        return parsed;
    }
    options.listServices = parser.isSet(listServices);
    options.addService = parser.value(addService);
    if (options.listServices || !options.addService.isEmpty())
        return parsed;
    if (parser.isSet(server) && parser.isSet(serviceFile))
        return ParsedUploadCli::Error(QStringLiteral("--service and --service-file choose the same thing"));
    options.service = parser.value(server);
    options.serviceFile = parser.value(serviceFile);
    if (parser.isSet(caFile)) {
        options.caFile = parser.value(caFile);
        if (!QFileInfo(options.caFile).isFile())
            return ParsedUploadCli::Error(QStringLiteral("no certificate file %1").arg(options.caFile));
    }
    if (badNumber(thumbSize, 1, kMaxThumbSize))
        return ParsedUploadCli::Error(
            QStringLiteral("--thumb-size takes a size from 1 to %1").arg(kMaxThumbSize));
    options.thumbSize = number(thumbSize, 1, kMaxThumbSize).value_or(0);
    for (const QString& value : parser.values(host)) {
        const qsizetype equals = value.indexOf(u'=');
        const QString name = value.mid(equals + 1);
        const std::optional<int> id
            = equals < 0 ? std::nullopt : ParseInt(value.left(equals), 0, kServiceCount - 1);
        if (!id || !IsValidHost(name)) {
            return ParsedUploadCli::Error(
                QStringLiteral("--host takes N=NAME[:PORT] with N from 0 to %1, not \"%2\"")
                    .arg(kServiceCount - 1)
                    .arg(value));
        }
        options.hosts.insert(*id, name);
    }
    options.raw = parser.isSet(raw);
    if (badNumber(code, 0, kCodeTypeCount - 1))
        return ParsedUploadCli::Error(
            QStringLiteral("--code takes a code type from 0 to %1").arg(kCodeTypeCount - 1));
    if (const auto type = number(code, 0, kCodeTypeCount - 1))
        options.codeType = CodeTypeOf(*type);
    if ((parser.isSet(perRow) || parser.isSet(templ)) && !options.codeType)
        return ParsedUploadCli::Error(QStringLiteral("--per-row and --template go with --code"));
    if (badNumber(perRow, 1, INT_MAX))
        return ParsedUploadCli::Error(QStringLiteral("--per-row takes a number of pictures from 1 up"));
    options.perRow = number(perRow, 1, INT_MAX).value_or(options.perRow);
    if (parser.isSet(templ)) {
        options.templatePath = parser.value(templ);
        if (const QString why = NotARegularFile(options.templatePath, QStringLiteral("template file"));
            !why.isEmpty())
            return ParsedUploadCli::Error(why);
    }
    if (badNumber(timeout, 1, kMaxTimeoutSeconds))
        return ParsedUploadCli::Error(
            QStringLiteral("--timeout takes a number of seconds from 1 to %1").arg(kMaxTimeoutSeconds));
    options.timeoutSeconds = number(timeout, 1, kMaxTimeoutSeconds).value_or(0);
    if (badNumber(jobs, 1, kMaxJobs))
        return ParsedUploadCli::Error(QStringLiteral("--jobs takes a number from 1 to %1").arg(kMaxJobs));
    options.jobs = number(jobs, 1, kMaxJobs).value_or(0);
    if (parser.isSet(prepareOnly)) {
        options.prepareOnly = parser.value(prepareOnly);
        if (!QFileInfo(options.prepareOnly).isDir())
            return ParsedUploadCli::Error(
                QStringLiteral("no folder %1 to prepare into").arg(options.prepareOnly));
        if (options.raw || options.codeType)
            return ParsedUploadCli::Error(
                QStringLiteral("--prepare-only uploads nothing, so it goes with neither --raw nor --code"));
    }
    options.files = parser.positionalArguments();
    if (options.files.isEmpty())
        return ParsedUploadCli::Error(QStringLiteral("no file to upload"));
    return parsed;
}
