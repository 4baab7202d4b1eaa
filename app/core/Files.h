// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <sys/types.h>

// Low-level file work shared by the subsystems: descriptors that close themselves, new files
// that never replace another, and complete writes.

/// An open file descriptor, closed when it goes.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    { }
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    /// Hands the descriptor over; this one then owns none.
    int release();
    /// Closes it now: false, with errno set, when closing reports a failed write.
    bool close();

private:
    int m_fd = -1;
};

/// A file made by CreateUniqueFile: open for writing, or why there is none.
struct CreatedFile
{
    UniqueFd fd;
    QString path;
    QString error;

    bool ok() const { return bool(fd); }
};

/// Creates the new file `stem` + `extension`, or, while that name is taken, `stem` + `separator`
/// + n + `extension` for n = `firstNumber`, `firstNumber` + 1, ... Each name is created in one
/// step (O_CREAT | O_EXCL), so no file is ever replaced and no one can take the name between a
/// look and the creation; a symbolic link is never followed. `mode` goes through the umask.
CreatedFile CreateUniqueFile(const QString& stem, const QString& extension, mode_t mode = 0600,
    QChar separator = u'_', int firstNumber = 1);

/// Writes all of `bytes` to `fd`, going on after interruptions and short writes; false, with
/// errno set, when a write fails.
bool WriteAll(int fd, QByteArrayView bytes);

/// The system's words for an errno value.
QString ErrnoText(int error);
