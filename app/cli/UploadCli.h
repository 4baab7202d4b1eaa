// SPDX-License-Identifier: MIT
#pragma once

#include "app/cli/UploadCliOptions.h"

#include <QStringList>
#include <QTextStream>
#include <atomic>

// vellmar-upload: the wizard's upload from the command line, for scripts and for trying a
// service without the wizard. Files are prepared and sent by the same worker as the wizard's.

/// The whole program. Without --code, one "picture<TAB>thumbnail[<TAB>deletion]" line on `out`
/// per uploaded file; with it, the generated code once all files are done. One message naming the file on
/// `err` per failure. Returns 0 when every file went up, 1 when one failed, 2 for bad
/// arguments or an unknown service. `stop`, when set, aborts the running upload and skips the rest.
int RunUploadCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop = nullptr);
