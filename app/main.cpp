// SPDX-License-Identifier: MIT
#include "app/shell/Run.h"
#include "settings/Paths.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setQuitOnLastWindowClosed(false);
    return Run(DefaultIniPath());
}
