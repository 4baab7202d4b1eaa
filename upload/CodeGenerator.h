// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadResult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// The ready-to-paste code built from the upload results: BBCode, HTML or plain links, wrapped
// in the user's template. Pure functions, so the page and the command line share them.

inline constexpr int kCodeTypeCount = 7;
/// Longest code in characters (UTF-16 units): a 10,240-unit buffer with its terminator.
inline constexpr int kMaxCodeLength = 10239;

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
};

/// Reads a template file: UTF-16LE or UTF-16BE behind their byte-order mark, UTF-8 behind its
/// mark, and UTF-8 when there is no mark; the text ends at its first NUL. A missing, empty,
/// unreadable or larger than 1 MiB file gives no head and no tail.
CodeTemplate LoadTemplate(const QString& path);
/// "template.txt" beside the executable.
QString DefaultTemplatePath();

struct GeneratedCode
{
    QString Text; ///< never longer than kMaxCodeLength
    int ItemsShown = 0; ///< leading results that made it into Text
    int ItemsTotal = 0; ///< results the code type would show; 0 for an unknown type
    bool TemplateDropped = false; ///< the template left no room for a single result and was left out
    bool Truncated() const { return ItemsShown < ItemsTotal; }
};

/// The code of `codeType` (0..6; any other value gives no code, only the template) for
/// `results` in order, `imagesPerRow` per row (below 1: 4). Longer code loses whole results
/// from the end, each with its separator; HTML tables keep their closing tag.
GeneratedCode GenerateCode(
    const QList<UploadResult>& results, int codeType, int imagesPerRow, const CodeTemplate& tmpl);
