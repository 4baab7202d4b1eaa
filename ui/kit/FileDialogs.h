// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

/// Multi-selection open dialog for pictures; empty when cancelled.
QStringList PickImageFiles(QWidget* owner);
/// Single-selection open dialog for the logo picture; empty when cancelled.
QString PickLogoFile(QWidget* owner);
/// Single-selection open dialog for a video file; empty when cancelled.
QString PickVideoFile(QWidget* owner);

/// What the picture dialog lists, by name and patterns; the patterns match any case.
QString ImageFilter();
QString VideoFilter();
