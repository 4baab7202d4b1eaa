// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

/// What the wizard tells the user after service profiles were dropped on it; each text is empty
/// when there is nothing to say.
struct ServiceInstallNotice
{
    QString added; ///< the services added, those converted from the older syntax marked so
    QString refused; ///< why each refused file was refused
};

/// Adds every profile file in `files` to the user's services, as vellmar-upload --add-service
/// does, and words the outcome.
ServiceInstallNotice InstallServiceFiles(const QStringList& files);
