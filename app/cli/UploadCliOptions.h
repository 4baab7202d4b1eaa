// SPDX-License-Identifier: MIT
#pragma once

#include "app/tool/CommandLine.h"
#include "settings/Settings.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// What a command line of vellmar-upload asks for, read without acting on any of it.

struct UploadCliOptions
{
    QString service; ///< a number or name as --list-services shows; empty: the settings' choice
    QString serviceFile; ///< a profile file used directly
    QString caFile; ///< extra certificate authorities for https
    bool listServices = false;
    QString addService; ///< a profile file to add to the user's services
    int thumbSize = 0; ///< 0: Main.ThumbWidth of the settings file
    QMap<int, QString> hosts; ///< service number -> "name" or "name:port"
    QString iniPath; ///< empty: the settings file LocateSettings finds
    std::optional<CodeType> codeType; ///< none: address lines instead of code
    int perRow = 4;
    QString templatePath; ///< empty: template.txt beside the settings file (with a code type only)
    bool raw = false; ///< send the files as they are, without own thumbnails
    int timeoutSeconds = 0; ///< 0: the default; how long a transfer may go without a byte moving
    QString prepareOnly; ///< prepare into this folder and upload nothing
    int jobs = 0; ///< files prepared at once; 0: one per core
    QStringList files;
    bool history = false; ///< list the upload history instead of uploading
    std::optional<CodeType> historyCode; ///< print the code of the history's entries
    QString search; ///< only the entries whose name or an address contains this
    int limit = 0; ///< at most this many entries, newest first; 0: all of them
    bool json = false; ///< the listing as JSON, every field
};

using ParsedUploadCli = ParsedArguments<UploadCliOptions>;

/// Reads `arguments` (the first one is the program name). Only the form of each option is
/// checked here, and that a file or folder it names is one; which service a name or a profile
/// file stands for is found when the tool runs.
ParsedUploadCli ParseUploadCli(const QStringList& arguments);
QString UploadCliUsage();
