// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// Uploads `files` small pictures as they are (--raw) to a local host behind a proxy that holds
/// every byte `delayMs` in each direction, over http and over https: vellmar-upload (`upload`)
/// in one run against one curl per file. Prints the connections each opened and the time per
/// file; `dir` is a scratch folder. False when a run failed.
bool RunProxyCase(const QString& upload, const QString& dir, int files, int delayMs);
