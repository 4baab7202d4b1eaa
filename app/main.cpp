// SPDX-License-Identifier: MIT
#include "app/core/Version.h"
#include "app/shell/Run.h"
#include "settings/Paths.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    QApplication::setApplicationVersion(QLatin1String(kVellmarVersion));
    QApplication::setQuitOnLastWindowClosed(false);
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
    parser.addPositionalArgument(QStringLiteral("files"),
        QStringLiteral("Pictures for the list, a video for its frames, or service files (.sxcu)."),
        QStringLiteral("[FILE...]"));
    parser.process(app);
    return Run(DefaultIniPath(), parser.value(serviceFile), parser.positionalArguments());
}
