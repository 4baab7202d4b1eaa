// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Why a file did not go up, in the window's language. The upload and imaging layers word their
/// reasons in English, which the command-line tools print as they are; the window shows them
/// through this one table. A reason the table does not know (a service's own message, a newer
/// reason) is shown as it came.
QString RussianReason(const QString& reason);
