// SPDX-License-Identifier: MIT
#include "imaging/TempFolder.h"

#include "app/core/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kLockName[] = ".lock";
constexpr char kRunPrefix[] = "run-";
// A copy's folder without a lock file is one being made right now, unless it is older than this.
constexpr time_t kUnlockedGraceSeconds = 60;

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// A real directory (not a link) that belongs to this user.
bool IsOwnFolder(const QString& path)
{
    struct stat st
    { };
    return ::lstat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

QStringList EntriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Removes everything but sub-folders from `folder`, then the folder itself if it is empty.
void RemoveFolderFiles(const QString& folder, bool removeFolder)
{
    for (const QString& name : EntriesOf(folder)) {
        const QString path = folder + u'/' + name;
        struct stat st
        { };
        if (::lstat(Native(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            ::unlink(Native(path).constData());
    }
    if (removeFolder)
        ::rmdir(Native(folder).constData());
}

// A copy's folder whose lock nobody holds belongs to a copy that has ended without cleaning up.
void RemoveIfLeftOver(const QString& run)
{
    const int fd = ::open(
        Native(run + u'/' + QLatin1String(kLockName)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        if (held)
            return;
    } else {
        struct stat st
        { };
        if (::lstat(Native(run).constData(), &st) != 0
            || std::time(nullptr) - st.st_mtime < kUnlockedGraceSeconds)
            return;
    }
    RemoveFolderFiles(run, true);
}

void RemoveLeftOvers(const QString& base)
{
    if (!IsOwnFolder(base))
        return;
    for (const QString& name : EntriesOf(base)) {
        if (name.startsWith(QLatin1String(kRunPrefix)) && IsOwnFolder(base + u'/' + name))
            RemoveIfLeftOver(base + u'/' + name);
    }
}

bool HasRunFolders(const QString& base)
{
    for (const QString& name : EntriesOf(base)) {
        if (name.startsWith(QLatin1String(kRunPrefix)))
            return true;
    }
    return false;
}

QString RootOf(const QString& given)
{
    // The system's answer is empty for a TMPDIR that does not exist; the folder it names is
    // still the one to report.
    QString system = QDir::tempPath();
    if (system.isEmpty())
        system = qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp"));
    QString root = QDir::cleanPath(given.isEmpty() ? system : given);
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    return root;
}

// The second choice when another user holds the shared name, stable so it does not pile up.
QString PerUserName(const QString& root)
{
    return root + u'/' + QLatin1String(kTempFolderName) + u'-' + QString::number(::geteuid());
}

} // namespace

bool EnsurePrivateFolder(const QString& path)
{
    const QByteArray native = Native(path);
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

TempFolder::TempFolder(QString tempRoot)
    : m_root(RootOf(tempRoot))
{
    RemoveLeftOvers(m_root + u'/' + QLatin1String(kTempFolderName));
    RemoveLeftOvers(PerUserName(m_root));
    // Folders made for a single copy when both names were taken; a crash can leave one behind.
    const QString prefix = QFileInfo(PerUserName(m_root)).fileName() + u'-';
    for (const QString& name : QDir(m_root).entryList({prefix + u'*'}, QDir::Dirs | QDir::Hidden)) {
        const QString base = m_root + u'/' + name;
        RemoveLeftOvers(base);
        if (IsOwnFolder(base) && EntriesOf(base).isEmpty())
            ::rmdir(Native(base).constData());
    }
}

TempFolder::~TempFolder()
{
    Empty();
}

QString TempFolder::Path()
{
    const std::lock_guard lock(m_mutex);
    if (!m_tried) {
        m_tried = true;
        m_path = MakeFolder();
    }
    return m_path;
}

QString TempFolder::Error() const
{
    const std::lock_guard lock(m_mutex);
    return m_error;
}

QString TempFolder::RootProblem() const
{
    const QByteArray root = Native(m_root);
    struct stat st
    { };
    if (::stat(root.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return QStringLiteral("the temporary directory %1 does not exist").arg(m_root);
    if (::access(root.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the temporary directory %1 is not writable").arg(m_root);
    return {};
}

QString TempFolder::MakeFolder()
{
    m_error = RootProblem();
    if (!m_error.isEmpty())
        return {};

    const QString shared = m_root + u'/' + QLatin1String(kTempFolderName);
    if (EnsurePrivateFolder(shared)) {
        m_base = shared;
    } else if (EnsurePrivateFolder(PerUserName(m_root))) {
        m_base = PerUserName(m_root);
    } else {
        // Both names are held by someone else: a folder nobody can predict, removed at exit.
        QByteArray pattern = Native(PerUserName(m_root) + QStringLiteral("-XXXXXX"));
        if (!::mkdtemp(pattern.data())) {
            m_error
                = QStringLiteral("cannot make a temporary folder in %1: %2").arg(m_root, ErrnoText(errno));
            return {};
        }
        m_base = QFile::decodeName(pattern);
        m_baseIsOwn = true;
    }

    QByteArray run = Native(
        m_base + u'/' + QLatin1String(kRunPrefix) + QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(run.data())) {
        m_error = QStringLiteral("cannot make a temporary folder in %1: %2").arg(m_base, ErrnoText(errno));
        return {};
    }
    m_lockFd = ::open((run + '/' + kLockName).constData(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        m_error = QStringLiteral("cannot lock the temporary folder %1: %2")
                      .arg(QFile::decodeName(run), ErrnoText(errno));
        if (m_lockFd >= 0)
            ::close(m_lockFd);
        m_lockFd = -1;
        RemoveFolderFiles(QFile::decodeName(run), true);
        return {};
    }
    m_error.clear();
    return QFile::decodeName(run);
}

void TempFolder::Empty()
{
    const std::lock_guard lock(m_mutex);
    m_tried = false;
    if (!m_path.isEmpty()) {
        RemoveFolderFiles(m_path, true);
        if (m_lockFd >= 0)
            ::close(m_lockFd);
        m_lockFd = -1;
        m_path.clear();
    }
    // Loose files beside the copies' folders were left by older versions; they go once no copy
    // runs. Nothing is made here: a copy that saved nothing leaves no trace.
    const QString base = m_base.isEmpty() ? m_root + u'/' + QLatin1String(kTempFolderName) : m_base;
    if (IsOwnFolder(base) && !HasRunFolders(base))
        RemoveFolderFiles(base, m_baseIsOwn);
}
