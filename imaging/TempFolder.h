// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <mutex>

/// The folder name inside the system's temporary directory.
inline constexpr char kTempFolderName[] = "pelk_vl_temp";

/// Where this running copy of the program keeps its intermediate pictures: a folder of its own
/// inside the private, shared "pelk_vl_temp", so that two copies never touch each other's files
/// and the one that exits first cannot delete the other's pictures. Safe to use from any thread.
class TempFolder
{
public:
    /// The folder lives under `tempRoot` (the system's temporary directory when empty). Nothing is
    /// made until Path() is first asked for; folders left by copies that no longer run (a crash)
    /// are removed now.
    explicit TempFolder(QString tempRoot = QString());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    /// This copy's folder, made on first use; empty when it cannot be made, and Error() says why.
    QString Path();
    QString Error() const;
    /// Why no folder could be made here, found without making one; empty when all is well.
    QString RootProblem() const;
    /// Deletes this copy's files and its folder. Nothing happens when the folder was never made.
    void Empty();

private:
    QString MakeFolder();

    mutable std::mutex m_mutex;
    QString m_root;
    QString m_base; ///< the shared folder the copies' folders are in
    QString m_path; ///< this copy's folder
    QString m_error;
    int m_lockFd = -1; ///< held while this copy runs; a folder whose lock is free is a leftover
    bool m_tried = false;
    bool m_baseIsOwn = false; ///< the base was made for this copy alone and goes with it
};

/// True when `path` is, or has just been made, a directory owned by this user with mode 0700.
/// Never follows a symbolic link.
bool EnsurePrivateFolder(const QString& path);
