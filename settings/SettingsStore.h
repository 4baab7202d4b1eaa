// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"

#include <QString>

/// The settings of a running program: the record, read from its file once at start-up, and the
/// one way back into that file. Whoever edits or saves the settings holds the store by reference.
class SettingsStore
{
public:
    /// Reads the file at `iniPath`; a missing file gives the defaults.
    explicit SettingsStore(const QString& iniPath);
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    Settings& Values() { return m_values; }
    const Settings& Values() const { return m_values; }
    const QString& Path() const { return m_path; }
    /// There was no settings file: what the record holds is the program's own choice.
    bool IsFirstStart() const { return m_firstStart; }
    /// Why the file could not be read (too large, unreadable); empty when it was read or is missing.
    const QString& Problem() const { return m_problem; }

    /// Writes the keys of `group`, keeping the rest of the file. On failure the old file stays
    /// whole and the result says why.
    IoResult Save(SettingsGroup group = SettingsGroup::AtExit) const;

private:
    QString m_path;
    Settings m_values;
    bool m_firstStart = false;
    QString m_problem;
};
