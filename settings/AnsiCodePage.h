// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The 8-bit code page that form fields, file names and old settings files use: Windows-1251.

/// Each character that Windows-1251 cannot hold becomes one '?'.
QByteArray ToAnsi(QStringView text);
QString FromAnsi(QByteArrayView bytes);
