// SPDX-License-Identifier: MIT
// vellmar-testhost: a local stand-in for hosting services, for trying the program and its
// uploads without the internet.
#include "testhost/TestHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTextStream>
#include <csignal>
#include <pthread.h>
#include <sys/prctl.h>

namespace {

const char kUsage[] = R"(Usage: vellmar-testhost [--port N] [--store DIR] [--log DIR]

A local HTTP server on 127.0.0.1 that answers like the five hosting services:
  POST /              with file field "fileupload"  service 0 (ImageShack)
  POST /              with file field "pfile"       service 1 (Keep4u)
  POST /action.aspx   with file field "F"           service 2 (Radikal)
  POST /upload        with file field "img"         service 3 (Smages)
  POST /Upload/       with file field "userfile"    service 4 (iPicture, answers with Refresh)
Their answer pages carry the picture address /i/<id> and the thumbnail address /t/<id>.

It also answers as public hosts document their interfaces (the key or token is "test-key"):
  POST /user/api.php  reqtype=fileupload, file "fileToUpload"   catbox.moe: the address as text
  POST /              file "file"                               0x0.st: the address, X-Token
  POST /api/1/upload  key, format=json, file "source"           Chevereto API v1: JSON
  POST /api/upload    Authorization header, file "file"         Zipline: {"files":[...]}
  POST /upload        token, file "upload"                      XBackBone: {"url":...}
and as a generic service whose JSON answer holds "url", "thumbnail" and "deletion":
  POST or PUT /api/upload/raw/<file name>   the file's bytes as the body
  POST /api/upload/form                     multipart, file "file"
  any request to /api/echo                  tells its method, content type and length
  GET /d/<id>/<token>                       deletes an upload

Uploads are kept on disk in a private folder, never in memory; the folder is printed at start.
GET / lists them: name, size, address and the file on disk.

To use it from the program, point the [Servers] keys of vellmar.ini at it, e.g.
  Host0=127.0.0.1:8080 ... Host4=127.0.0.1:8080
or give the program a service file for the generic service (./scripts/run --offline does).

Options:
  --port N     port to listen on (default 0: any free port; the port is printed)
  --store DIR  keep the uploads in DIR, made private when new, and leave them there at the end
               (default: a new temporary folder, removed when the host stops)
  --log DIR    write every raw request received to DIR, one file each
  --help       show this text
Stops on Ctrl+C or SIGTERM.
)";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Uploads that are not pictures are served as they came; the decoder need not say so.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments();
    args.removeFirst();

    TestHost host;
    // It may run for hours: what arrives goes to disk, not into a list of requests.
    host.SetKeepRequests(false);
    quint16 port = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << kUsage;
            return 0;
        }
        const bool valued = arg == QLatin1String("--port") || arg == QLatin1String("--log")
            || arg == QLatin1String("--store");
        if (valued && i + 1 < args.size()) {
            const QString value = args[++i];
            if (arg == QLatin1String("--store")) {
                host.SetStoreDir(value);
                continue;
            }
            if (arg == QLatin1String("--log")) {
                if (!QDir().mkpath(value)) {
                    err << "vellmar-testhost: cannot create " << value << "\n";
                    return 2;
                }
                host.SetLogDir(value);
                continue;
            }
            bool ok = false;
            const uint number = value.toUInt(&ok);
            if (ok && number <= 65535) {
                port = quint16(number);
                continue;
            }
        }
        err << "vellmar-testhost: bad argument " << arg << "\n\n" << kUsage;
        return 2;
    }

    // Block the stop signals before any thread starts, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A host started for a test or a session goes with whoever started it, even when that one
    // crashes, instead of holding its port (and anything it inherited) for ever.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);

    if (!host.Start(port)) {
        err << "vellmar-testhost: " << host.ErrorText() << "\n";
        return 1;
    }
    out << "vellmar-testhost listening on " << host.Origin() << "/" << Qt::endl;
    out << "uploads are kept in " << host.StoreDir() << Qt::endl;
    int caught = 0;
    sigwait(&stopSignals, &caught);
    const int received = host.StoredCount();
    host.Stop();
    out << "vellmar-testhost stopped, " << received << " pictures received" << Qt::endl;
    return 0;
}
