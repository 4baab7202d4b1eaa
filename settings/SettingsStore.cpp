// SPDX-License-Identifier: MIT
#include "settings/SettingsStore.h"

#include <QFileInfo>

SettingsStore::SettingsStore(const QString& iniPath)
    : m_path(iniPath)
    , m_firstStart(!QFileInfo::exists(iniPath))
{
    m_problem = LoadSettings(m_path, m_values);
}

IoResult SettingsStore::Save(SettingsGroup group) const
{
    return SaveSettings(m_path, m_values, group);
}
