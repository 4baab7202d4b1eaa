// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

/// The program icon at 16, 32, 48 and 256 pixels.
QIcon ProgramIcon();
