// SPDX-License-Identifier: MIT
// vellmar-testhost: a local stand-in for the five hosting services, for trying the program
// and its uploads without the internet.
#include "upload/testhost/TestHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTextStream>
#include <csignal>
#include <pthread.h>

namespace {

const char kUsage[] = R"(Usage: vellmar-testhost [--port N] [--log DIR]

A local HTTP server on 127.0.0.1 that answers like all five hosting services:
  POST /              with file field "fileupload"  service 0 (ImageShack)
  POST /              with file field "pfile"       service 1 (Keep4u)
  POST /action.aspx   with file field "F"           service 2 (Radikal)
  POST /upload        with file field "img"         service 3 (Smages)
  POST /Upload/       with file field "userfile"    service 4 (iPicture, answers with Refresh)
Each upload is kept in memory; the answer page carries the picture address /i/<id> and the
thumbnail address /t/<id> between the service's tags, and both addresses serve the picture.
GET / lists what was uploaded.

To use it from the program, point the [Servers] keys of vellmar.ini at it, e.g.
  Host0=127.0.0.1:8080 ... Host4=127.0.0.1:8080

Options:
  --port N     port to listen on (default 0: any free port; the port is printed)
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
    quint16 port = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << kUsage;
            return 0;
        }
        if ((arg == QLatin1String("--port") || arg == QLatin1String("--log")) && i + 1 < args.size()) {
            const QString value = args[++i];
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

    if (!host.Start(port)) {
        err << "vellmar-testhost: " << host.ErrorText() << "\n";
        return 1;
    }
    out << "vellmar-testhost listening on http://" << host.HostText() << "/" << Qt::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    host.Stop();
    out << "vellmar-testhost stopped, " << host.StoredCount() << " pictures received" << Qt::endl;
    return 0;
}
