// SPDX-License-Identifier: MIT
#include "ui/wizard/CWizardFrame.h"

#include "settings/Paths.h"

QStringList CWizardFrame::AddFilesToList(const QStringList& paths)
{
    QStringList refused;
    for (const QString& path : paths) {
        if (const QString why = AddToFileList(path); !why.isEmpty())
            refused << FileNameOf(path) + QStringLiteral(" — ") + why;
    }
    return refused;
}
