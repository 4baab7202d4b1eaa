// SPDX-License-Identifier: MIT
#include "imaging/TempFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool EnsurePrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opening without following links and checking the opened directory itself leaves no
    // window in which the name could be swapped for a link between the check and the use.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    { };
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 07777) != 0700)
        ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

QString ResolveTempFolder(const QString& tempRoot)
{
    QString root = QDir::cleanPath(tempRoot);
    if (root.isEmpty())
        return {};
    if (!root.endsWith(u'/'))
        root += u'/';
    const QString preferred = root + QLatin1String(kTempFolderName);
    if (EnsurePrivateFolder(preferred))
        return preferred;
    // Someone else holds the name; a folder of our own that nobody can predict is safe.
    QByteArray pattern = QFile::encodeName(preferred + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        return {};
    return QFile::decodeName(pattern);
}

QString TempFolderPath()
{
    static const QString path = ResolveTempFolder(QDir::tempPath());
    return path;
}

void EmptyTempFolder()
{
    const QString folder = TempFolderPath();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : files)
        QFile::remove(dir.filePath(name));
}
