// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Path pieces, cut at the native separator '/'.

/// Up to and including the last separator; empty when there is none.
QString DirectoryOf(QStringView path);
/// Behind the last separator; the whole path when there is none.
QString FileNameOf(QStringView path);
/// Behind the last dot of the last path component; empty when there is none.
QString ExtensionOf(QStringView path);
/// The file name without the text from its last dot on.
QString BaseNameOf(QStringView path);
/// True when `text` equals one of `list`, ignoring case.
bool MatchesAny(QStringView text, const QStringList& list);

/// A picture by its extension: JPEG, PNG, GIF, BMP, TIFF, WebP, HEIF / HEIC, AVIF or JPEG XL.
bool IsImageFile(QStringView path);
bool IsVideoFile(QStringView path);

/// "vellmar.ini" beside the executable.
QString DefaultIniPath();
/// A file beside the executable.
QString PathBesideExecutable(const QString& fileName);
/// Where the upload history of the settings at `iniPath` lives: "history.sqlite" beside a
/// settings file in the executable's folder (a portable copy keeps everything together),
/// otherwise "$XDG_DATA_HOME/vellmar/history.sqlite".
QString HistoryPathFor(const QString& iniPath);
