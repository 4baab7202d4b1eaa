// SPDX-License-Identifier: MIT
#include "app/core/Version.h"
#include "app/shell/Run.h"
#include "settings/Paths.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    QApplication::setApplicationVersion(QLatin1String(kVellmarVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    return Run(DefaultIniPath());
}
