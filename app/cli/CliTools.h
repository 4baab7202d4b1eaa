// SPDX-License-Identifier: MIT
#pragma once

#include "app/cli/UploadCliOptions.h"
#include "upload/UploadJob.h"
#include "upload/UploadResult.h"

#include <QList>
#include <QString>
#include <QTextStream>
#include <atomic>
#include <optional>

// The tools of vellmar-upload, one for each thing a command line may ask for. Each prints on
// `out` and `err` and gives the exit status.

/// Prepares and uploads the files; prints their addresses, or the code with --code.
int UploadFiles(const UploadCliOptions& options, const Settings& settings, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop);
/// Prepares the files into the folder of --prepare-only and uploads nothing.
int PrepareOnly(const UploadCliOptions& options, const Settings& settings, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop);
/// Lists the upload history, or prints its code with --history-code.
int ListHistory(const UploadCliOptions& options, QTextStream& out, QTextStream& err);
/// One line per service: its number, its name and where it sends to.
int ListServices(const Settings& settings, QTextStream& out, QTextStream& err);
/// Checks a profile file and adds it to the user's services.
int AddService(const QString& file, QTextStream& out, QTextStream& err);

/// The job the settings describe, changed as the options ask (thumbnail size, hosts, --raw, time
/// limits, jobs, certificate authorities), sending to the service they choose from `catalog`.
MadeUploadJob JobFromOptions(
    const UploadCliOptions& options, Settings settings, const ServiceCatalog& catalog);

/// Prints the code of `type` for `results` with the template and per-row count of the options,
/// ended by a line break.
void PrintCode(std::optional<CodeType> type, const UploadCliOptions& options,
    const QList<UploadResult>& results, QTextStream& out, QTextStream& err);

/// Exit status 2 with `why` and the usage, as for arguments that do not parse.
int UsageError(const QString& why, QTextStream& out, QTextStream& err);
