// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

/// Makes the Windows faces that the settings and the dialog layouts name (Tahoma) available to
/// this process. fontconfig does not look into Wine's font folder, where Debian's fonts-wine puts
/// a metric-compatible Tahoma; without it every layout measured for Tahoma would be drawn in a
/// wider face. Arial needs nothing: fontconfig maps it to Liberation Sans. Call once, after the
/// application object exists; returns the faces it could not find.
QStringList EnsureWindowsFaces();
