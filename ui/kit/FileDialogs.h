// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Each dialog opens in `*folder` when it names one that exists, and leaves there the folder it
// was confirmed in; null `folder`: the working folder, nothing kept.

/// Multi-selection open dialog for pictures; empty when cancelled.
QStringList PickImageFiles(QWidget* owner, QString* folder);
/// Single-selection open dialog for the logo picture; empty when cancelled.
QString PickLogoFile(QWidget* owner, QString* folder);
/// Single-selection open dialog for a video file; empty when cancelled.
QString PickVideoFile(QWidget* owner, QString* folder);

/// Puts Qt's own texts (the file, colour and font dialogs, the edits' context menus) into the
/// window's language, once per process; false when the translation is not installed.
bool LoadQtTranslations();

/// What the picture dialog lists, by name and patterns; the patterns match any case.
QString ImageFilter();
QString VideoFilter();
