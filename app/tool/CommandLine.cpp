// SPDX-License-Identifier: MIT
#include "app/tool/CommandLine.h"

#include "settings/platform/FontFaces.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <csignal>

namespace {

std::atomic<bool> g_stop {false};

void OnStopSignal(int signal)
{
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

// Drawing stamps, thumbnails and captions needs fonts and so a QGuiApplication, but never a
// window: without a display the offscreen platform serves, and with one its resolution sizes the
// fonts exactly as in the wizard. A display that cannot be reached falls back to offscreen too.
void ChoosePlatform()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    QByteArray platforms = "offscreen";
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms = "xcb;" + platforms;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        platforms = "wayland;" + platforms;
    qputenv("QT_QPA_PLATFORM", platforms);
}

} // namespace

std::optional<int> ParseInt(const QString& text, int low, int high)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high)
        return std::nullopt;
    return number;
}

QString Quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out + u'"';
}

QString NotARegularFile(const QString& path, const QString& what)
{
    const QFileInfo info(path);
    if (info.isFile())
        return {};
    if (!info.exists())
        return QStringLiteral("no %1 %2").arg(what, Quoted(path));
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a %2").arg(Quoted(path), what);
    return QStringLiteral("%1 is not a regular file (a FIFO or a device), so it is no %2")
        .arg(Quoted(path), what);
}

int ToolMain(int argc, char** argv, ToolRun run)
{
    ChoosePlatform();
    // Qt warns at every start without a private runtime folder.
    const QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/vellmar-tool-XXXXXX"));
    if (runtime.isValid() && qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(
            runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    // Standard error belongs to the messages about the files: a display that cannot be reached
    // and pictures that cannot be decoded are reported there in our own words, or not at all.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.*=false\nqt.gui.imageio*=false"));

    QGuiApplication app(argc, argv);
    EnsureWindowsFaces(); // the stamps and captions are drawn in the faces the settings name
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(QCoreApplication::arguments(), out, err, &g_stop);
}
