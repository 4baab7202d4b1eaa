// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

/// The facts about one picture file: where it is, how big, its pixel size and when it changed.
QString FilePropertiesText(const QString& path);
/// Shows FilePropertiesText in a box owned by `owner`.
void ShowFileProperties(QWidget* owner, const QString& path);
