// SPDX-License-Identifier: MIT
#include "app/grab/GrabCli.h"

#include <QDir>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <csignal>

namespace {

std::atomic<bool> g_stop {false};

// The first Ctrl+C ends the extraction cleanly; a second one ends the program at once.
void OnStopSignal(int signal)
{
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

// The sheet's captions need fonts and so a QGuiApplication, but never a window: the offscreen
// platform serves without a display, and a display that cannot be reached falls back to it.
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

int main(int argc, char** argv)
{
    ChoosePlatform();
    // Qt warns at every start without a private runtime folder; standard error is for our messages.
    const QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/vellmar-grab-XXXXXX"));
    if (runtime.isValid() && qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(
            runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.*=false\nqt.gui.imageio*=false"));

    QGuiApplication app(argc, argv);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunGrabCli(QCoreApplication::arguments(), out, err, &g_stop);
}
