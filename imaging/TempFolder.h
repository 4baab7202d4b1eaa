// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

/// The folder name inside the system's temporary directory.
inline constexpr char kTempFolderName[] = "pelk_vl_temp";

/// The private folder every intermediate picture goes to, resolved once per process from
/// QDir::tempPath() and safe to call from any thread. Empty when no private folder could be made.
QString TempFolderPath();

/// The private folder under `tempRoot`: `tempRoot`/pelk_vl_temp when that is (or can be made)
/// a real directory of ours with mode 0700; otherwise, when the name is taken by another user,
/// a symbolic link or a file, a fresh folder from mkdtemp beside it. Empty on failure.
QString ResolveTempFolder(const QString& tempRoot);

/// True when `path` is, or has just been made, a directory owned by this user with mode 0700.
/// Never follows a symbolic link.
bool EnsurePrivateFolder(const QString& path);

/// Deletes every regular file in the temporary folder; sub-folders, links and the folder
/// itself stay, and failures are ignored. Called once at exit.
void EmptyTempFolder();
