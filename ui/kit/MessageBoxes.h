// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Message boxes with Russian button labels, as the rest of the interface has them.

/// Question with "Да" and "Нет"; true for "Да".
bool AskYesNo(QWidget* owner, const QString& text, const QString& caption);
void ShowInformation(QWidget* owner, const QString& text, const QString& caption);
void ShowWarning(QWidget* owner, const QString& text, const QString& caption);
/// A plain box with an "ОК" button and no icon.
void ShowMessage(QWidget* owner, const QString& text, const QString& caption);
/// One notice for a batch of files that were not added: a line per file with the reason. Shown
/// once control is back in the event loop, so a drop finishes before the box appears.
void ShowRefusedFiles(QWidget* owner, const QStringList& lines);
