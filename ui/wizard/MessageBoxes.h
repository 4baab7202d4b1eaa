// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

// Message boxes with Russian button labels, as the rest of the interface has them.

/// Question with "Да" and "Нет"; true for "Да".
bool AskYesNo(QWidget* owner, const QString& text, const QString& caption);
void ShowInformation(QWidget* owner, const QString& text, const QString& caption);
void ShowWarning(QWidget* owner, const QString& text, const QString& caption);
/// A plain box with an "ОК" button and no icon.
void ShowMessage(QWidget* owner, const QString& text, const QString& caption);
