// SPDX-License-Identifier: MIT
#pragma once

#include "app/tool/CommandLine.h"
#include "settings/Settings.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <optional>

// vellmar-upload: the wizard's upload from the command line, for scripts and for trying a
// service without the wizard. Files are prepared and sent by the same worker as the wizard's.

struct UploadCliOptions
{
    QString service; ///< a number or name as --list-services shows; empty: the settings' choice
    QString serviceFile; ///< a profile file used directly
    QString caFile; ///< extra certificate authorities for https
    bool listServices = false;
    QString addService; ///< a profile file to add to the user's services
    int thumbSize = 0; ///< 0: Main.ThumbWidth of the settings file
    QMap<int, QString> hosts; ///< service number -> "name" or "name:port"
    QString iniPath; ///< empty: vellmar.ini beside the executable
    std::optional<CodeType> codeType; ///< none: address lines instead of code
    int perRow = 4;
    QString templatePath; ///< empty: template.txt beside the executable (with a code type only)
    bool raw = false; ///< send the files as they are, without own thumbnails
    int timeoutSeconds = 0; ///< 0: the default; how long a transfer may go without a byte moving
    QString prepareOnly; ///< prepare into this folder and upload nothing
    int jobs = 0; ///< files prepared at once; 0: one per core
    QStringList files;
};

using ParsedUploadCli = ParsedArguments<UploadCliOptions>;

/// Reads `arguments` (the first one is the program name).
ParsedUploadCli ParseUploadCli(const QStringList& arguments);
QString UploadCliUsage();

/// The whole program. Without --code, one "picture<TAB>thumbnail[<TAB>deletion]" line on `out`
/// per uploaded file; with it, the generated code once all files are done. One message naming the file on
/// `err` per failure. Returns 0 when every file went up, 1 when one failed, 2 for bad
/// arguments or an unknown service. `stop`, when set, aborts the running upload and skips the rest.
int RunUploadCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop = nullptr);
