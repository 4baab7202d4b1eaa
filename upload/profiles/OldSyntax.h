// SPDX-License-Identifier: MIT
#pragma once

#include "upload/profiles/JsonText.h"

#include <QString>

// Custom-uploader files of format versions 12.4 up to 13.x wrote dynamic values as $name:arg$,
// kept regular expressions apart in a RegexList and named some keys differently. They are
// converted to the current syntax as they are read, as the format's own program does.

/// Whether a file of `version` ("12.4.1"; empty when the file names none) is converted.
bool IsOldSyntaxVersion(const QString& version);

/// Rewrites `root` in the current syntax. Empty, or why it cannot be: "line L, field F: reason".
QString ConvertOldSyntax(JsonValue& root);
