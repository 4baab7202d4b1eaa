// SPDX-License-Identifier: MIT
#pragma once

#include "settings/Settings.h"
#include "upload/UploadResult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// The ready-to-paste code built from the upload results: BBCode, HTML or plain links, wrapped
// in the user's template. Pure functions, so the page and the command line share them.

/// The code type at `index` of the code-type list; none for an index outside it (no selection).
std::optional<CodeType> CodeTypeOf(int index);

/// The labels of the code-type list; the index is the code type.
QStringList CodeTypeLabels();

/// The images-per-row box read as a signed whole number; text that is not one, or a value
/// below 1, gives 4.
int ImagesPerRow(QStringView boxText);

/// An address as it may stand inside an HTML attribute or a BBCode tag: '"', '<', '>', '[', ']',
/// white space and control characters are percent-encoded (UTF-8), everything else is kept.
QString SafeAddress(QStringView address);

struct CodeTemplate
{
    std::optional<QString> Head; ///< the text before "%images%", or the whole file
    std::optional<QString> Tail; ///< the text behind "%images%"; none without the marker
    QString Problem; ///< why a file that exists was not used; empty otherwise
};

/// Reads a template file: UTF-16LE or UTF-16BE behind their byte-order mark, UTF-8 behind its
/// mark or when it is plainly UTF-8, and otherwise UTF-16LE behind two bytes taken for the mark;
/// the text ends at its first NUL. A missing, empty, unreadable or larger than 1 MiB file gives
/// no head and no tail.
CodeTemplate LoadTemplate(const QString& path);

/// The code of `codeType` (none gives no code, only the template) for
/// `results` in order, `imagesPerRow` per row (below 1: 4), however long it gets: nothing the
/// user uploaded is left out.
QString GenerateCode(const QList<UploadResult>& results, std::optional<CodeType> codeType, int imagesPerRow,
    const CodeTemplate& tmpl);
