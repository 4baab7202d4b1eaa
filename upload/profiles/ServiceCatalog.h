// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/profiles/ServiceProfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Every service a run can choose: the program's five, the profiles it ships, and the ones the
// user added, which live as .sxcu files in a folder of the user's configuration.

/// "$XDG_CONFIG_HOME/vellmar/services" (by default under ~/.config).
QString UserServiceFolder();

struct ServiceEntry
{
    QString name;
    /// Set for the program's own five services; their profile's {host} comes from the settings.
    std::optional<ServiceId> builtIn;
    ServiceProfile profile;
    /// Where the profile was read from: a file of the user's, or the program's own data.
    QString origin;
};

/// The services in the order they are listed and numbered: the five, then the shipped
/// profiles, then the user's by name. A user's profile with the name of a shipped one replaces it.
struct ServiceCatalog
{
    QList<ServiceEntry> entries;
    /// One line per file of the user's folder that could not be read: "file: reason".
    QStringList problems;
    /// One line per profile that was read but should be kept otherwise: "file: advice".
    QStringList warnings;

    static ServiceCatalog Load();
    /// By list number, or by name ignoring case; null when none matches.
    const ServiceEntry* Find(const QString& numberOrName) const;
    /// By name alone, ignoring case; null when none matches.
    const ServiceEntry* FindByName(const QString& name) const;
};

/// Reads `file` and, when it is a sound profile, copies it into the user's folder (replacing a
/// profile of the same name). The added profile, or why it was refused.
struct AddedService
{
    ServiceProfile profile;
    QString path; ///< the copy in the user's folder, readable by the user alone
    QString error;
    QString convertedFrom; ///< the format version it was converted from; empty: copied as it was
};
AddedService AddUserService(const QString& file);

/// Reads a profile file, when it is a regular file of a profile's size: the profile, or
/// "file: reason". `othersMayRead` tells whether users other than its owner may read it.
ProfileRead ReadServiceProfileFile(const QString& file, bool* othersMayRead = nullptr);

/// `text` with every control character replaced by '?', fit for a terminal or a window.
QString PrintableText(const QString& text);

/// The profile a run sends with, from the choice in `main`: a session's profile file, else a
/// service chosen by name, else none (the program's own service of ServerID). `error` says why
/// a chosen one cannot be used.
struct ChosenService
{
    std::optional<ServiceProfile> profile;
    std::optional<ServiceId> builtIn; ///< a name that is one of the program's five
    QString error;
};
ChosenService ChooseService(const MainPart::MainKeys& main, const ServiceCatalog& catalog);
