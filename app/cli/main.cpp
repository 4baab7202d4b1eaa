// SPDX-License-Identifier: MIT
#include "app/cli/UploadCli.h"

#include <QDir>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <csignal>

namespace {

std::atomic<bool> g_stop {false};

// The first Ctrl+C ends the running upload cleanly; a second one ends the program at once.
void OnStopSignal(int signal)
{
    g_stop = true;
    std::signal(signal, SIG_DFL);
}

// Drawing the stamps and thumbnails needs a QGuiApplication, but never a window: without a
// display the offscreen platform serves, and with one its resolution sizes the fonts exactly as
// in the wizard. A display that cannot be reached falls back to offscreen too.
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
    // The prepared pictures go into a folder of this run, removed at its end, so that they never
    // meet the wizard's temporary folder (which the wizard empties when it exits).
    const QTemporaryDir privateTemp(QDir::tempPath() + QStringLiteral("/vellmar-upload-XXXXXX"));
    if (privateTemp.isValid()) {
        qputenv("TMPDIR", QFile::encodeName(privateTemp.path()));
        // Qt warns at every start without a private runtime folder.
        const QString runtime = privateTemp.path() + QStringLiteral("/runtime");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
            && QDir().mkdir(
                runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    // Standard error belongs to the messages about the files: a display that cannot be reached
    // and pictures that cannot be decoded are reported there in our own words, or not at all.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.*=false\nqt.gui.imageio*=false"));

    QGuiApplication app(argc, argv);
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunUploadCli(QCoreApplication::arguments(), out, err, &g_stop);
}
