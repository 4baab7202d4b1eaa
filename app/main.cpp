// SPDX-License-Identifier: MIT
#include "app/core/Version.h"
#include "app/shell/Run.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    QApplication::setApplicationVersion(QLatin1String(kVellmarVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    // Wayland shells find the launcher's icon and name by the desktop entry's name.
    QGuiApplication::setDesktopFileName(QLatin1String(kVellmarAppId));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prepares pictures and publishes them on image-hosting services."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption serviceFile(QStringLiteral("service-file"),
        QStringLiteral(
            "Upload, for this session only, to the service a custom-uploader file (.sxcu) describes."),
        QStringLiteral("FILE"));
    parser.addOption(serviceFile);
    const QCommandLineOption ini(QStringLiteral("ini"),
        QStringLiteral("Use this settings file instead of vellmar.ini beside the program or in "
                       "~/.config/vellmar."),
        QStringLiteral("PATH"));
    parser.addOption(ini);
    parser.addPositionalArgument(QStringLiteral("files"),
        QStringLiteral("Pictures for the list, a video for its frames, or service files (.sxcu)."),
        QStringLiteral("[FILE...]"));
    parser.process(app);
    return Run(LocateSettings(parser.value(ini)), parser.value(serviceFile), parser.positionalArguments());
}
