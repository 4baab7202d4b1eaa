// SPDX-License-Identifier: MIT
#include "app/core/Files.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

// More files of one name than this in a folder mean something is wrong, not a busy user.
constexpr int kMaxNameAttempts = 1000;

} // namespace

UniqueFd::~UniqueFd()
{
    close();
}

UniqueFd::UniqueFd(UniqueFd&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{ }

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int UniqueFd::release()
{
    return std::exchange(m_fd, -1);
}

bool UniqueFd::close()
{
    // A close interrupted by a signal has still released the descriptor on Linux: never retried.
    return m_fd < 0 || ::close(std::exchange(m_fd, -1)) == 0;
}

CreatedFile CreateUniqueFile(
    const QString& stem, const QString& extension, mode_t mode, QChar separator, int firstNumber)
{
    CreatedFile created;
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const QString path = attempt == 0
            ? stem + extension
            : stem + separator + QString::number(firstNumber + attempt - 1) + extension;
        const int fd = ::open(
            QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            created.fd = UniqueFd(fd);
            created.path = path;
            return created;
        }
        if (errno != EEXIST) {
            created.error = QStringLiteral("cannot write into %1: %2")
                                .arg(QFileInfo(path).absolutePath(), ErrnoText(errno));
            return created;
        }
    }
    created.error = QStringLiteral("cannot find a free file name in %1").arg(QFileInfo(stem).absolutePath());
    return created;
}

bool WriteAll(int fd, QByteArrayView bytes)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += written;
        left -= written;
    }
    return true;
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
