// SPDX-License-Identifier: MIT
#include "imaging/SaveToTemp.h"

#include "app/core/TickCount.h"
#include "imaging/Encoders.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kMaxNameAttempts = 1000;

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
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

} // namespace

namespace {

// Writes `bytes` to <stem><extension>, or to <stem>_1<extension>, ... when that exists already;
// the file is created exclusively, so a save never replaces another.
SavedPicture WriteExclusive(
    const QString& folder, const QString& stem, const QString& extension, const QByteArray& bytes)
{
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const QString candidate
            = attempt == 0 ? stem + extension : stem + u'_' + QString::number(attempt) + extension;
        const QByteArray native = QFile::encodeName(candidate);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {{}, QStringLiteral("cannot write into %1: %2").arg(folder, ErrnoText(errno))};
        }
        bool ok = WriteAll(fd, bytes);
        int error = ok ? 0 : errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            error = errno;
        }
        if (!ok) {
            ::unlink(native.constData());
            return {{}, QStringLiteral("cannot write into %1: %2").arg(folder, ErrnoText(error))};
        }
        return {candidate, {}};
    }
    return {{}, QStringLiteral("cannot find a free file name in %1").arg(folder)};
}

} // namespace

SavedPicture SaveToTemp(
    TempFolder& folder, const QImage& image, const QString& nameHint, ImageFormat format, int quality)
{
    // Encoding first means a picture that cannot be encoded leaves no empty file behind.
    const QByteArray encoded = EncodeImage(image, format, quality);
    if (encoded.isEmpty())
        return {
            {}, QStringLiteral("the picture cannot be encoded as %1").arg(FormatExtension(format).toUpper())};
    const QString path = folder.Path();
    if (path.isEmpty())
        return {{}, folder.Error()};
    const QString stem
        = path + u'/' + BaseNameOf(nameHint) + QString::number(static_cast<std::int32_t>(TickCount()));
    return WriteExclusive(path, stem, u'.' + FormatExtension(format), encoded);
}

SavedPicture SaveFileToTemp(TempFolder& folder, const QByteArray& bytes, const QString& fileName)
{
    const QString path = folder.Path();
    if (path.isEmpty())
        return {{}, folder.Error()};
    const QString name = FileNameOf(fileName);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return WriteExclusive(path, path + u'/' + name.left(name.size() - extension.size()), extension, bytes);
}

qint64 FileSizeOf(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.size();
}
