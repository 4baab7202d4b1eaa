// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class SettingsStore;
struct SettingsLocation;

/// The program's life: reads the settings, shows the wizard, runs the event loop until the user
/// leaves, then stops every worker and empties the temporary folder. Returns the exit code: 2
/// after a normal exit, 0 when the window could not be made. A QApplication must exist.
/// `settings` says which file is used and whether it was just copied there, which the user is
/// told. `serviceFile`, when given, is a service profile the uploads of this session go to.
/// `files` (as given on the command line) are opened as if dropped on the window; when this
/// user's program is running already, they go to its window instead and Run returns 0 at once (1
/// when that window did not take them).
int Run(const SettingsLocation& settings, const QString& serviceFile = {}, const QStringList& files = {});

/// At a first start (no settings file yet) uploads go to a shipped service that needs no account
/// and answers today; a settings file keeps its own choice.
void ChooseFirstStartService(SettingsStore& settings);
