// SPDX-License-Identifier: MIT
#pragma once

#include "app/tool/CommandLine.h"
#include "video/TileSheet.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <atomic>

// vellmar-grab: frames of a video file as JPEG files, and optionally one tile sheet of them,
// made by the same extraction and sheet code as the wizard's video page.

struct GrabCliOptions
{
    int frames = 8;
    QString outDir = QStringLiteral(".");
    QString sheetPath; ///< empty: no sheet
    TileSheetLayout layout;
    bool deinterlace = false;
    QString video;
};

using ParsedGrabCli = ParsedArguments<GrabCliOptions>;

/// Reads `arguments` (the first one is the program name).
ParsedGrabCli ParseGrabCli(const QStringList& arguments);
QString GrabCliUsage();

/// The whole program: one "path<TAB>HH:MM:SS" line on `out` per frame written, then
/// "sheet<TAB>path" when a sheet was asked for; what went wrong on `err`. Returns 0 when every
/// frame (and the sheet) was written, 1 otherwise, 2 for bad arguments. `stop`, when set, ends
/// the extraction; the frames written so far stay, no sheet is made.
int RunGrabCli(const QStringList& arguments, QTextStream& out, QTextStream& err,
    const std::atomic<bool>* stop = nullptr);
