// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Which settings file a run uses, and what finding it did.
struct SettingsLocation
{
    QString iniPath; ///< the settings file to read and to save into
    /// The file beside the program: a portable copy that keeps its settings (and whatever else the
    /// program keeps) with it, rather than in the user's folders.
    bool portable = false;
    /// A read-only file beside the program that was copied to `iniPath` at this start.
    QString copiedFrom;
    /// Why the user's settings folder could not be made or the copy failed (the read-only file
    /// is then read as it is); empty otherwise.
    QString problem;
};

/// Decides where the settings live. `explicitPath` (a command line's --ini) is used as given.
/// Otherwise "vellmar.ini" in `programFolder` when it exists and can be saved over; else
/// "vellmar.ini" in `configFolder`, which is made (mode 0700) when missing. A read-only
/// "vellmar.ini" beside the program is copied there once, when the user has none yet.
SettingsLocation LocateSettings(
    const QString& explicitPath, const QString& programFolder, const QString& configFolder);
/// The same for this program: its own folder, and "vellmar" in $XDG_CONFIG_HOME (~/.config).
SettingsLocation LocateSettings(const QString& explicitPath = {});

/// "template.txt" beside the settings file `iniPath`, or beside the program when only that one
/// exists (a read-only folder the settings were copied out of).
QString TemplatePathFor(const QString& iniPath, const QString& programFolder);
QString TemplatePathFor(const QString& iniPath);

/// Where the upload history of the settings at `iniPath` lives: "history.sqlite" beside a
/// portable copy's settings (in the program's folder), so that it keeps everything together;
/// otherwise "$XDG_DATA_HOME/vellmar/history.sqlite".
QString HistoryPathFor(const QString& iniPath);
