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

} // namespace

bool SaveToTemp(const QImage& image, const QString& nameHint, QString& outPath, int formatIndex, int quality)
{
    outPath.clear();
    const int format = NormalizeFormat(formatIndex);
    // Encoding first means a picture that cannot be encoded leaves no empty file behind.
    const QByteArray encoded = EncodeImage(image, format, quality);
    if (encoded.isEmpty())
        return false;
    const QString folder = TempFolderPath();
    // The folder is made again if something removed it since the start.
    if (folder.isEmpty() || !EnsurePrivateFolder(folder))
        return false;

    const QString stem
        = folder + u'/' + BaseNameOf(nameHint) + QString::number(static_cast<std::int32_t>(TickCount()));
    const QString extension = u'.' + FormatExtension(format);
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const QString candidate
            = attempt == 0 ? stem + extension : stem + u'_' + QString::number(attempt) + extension;
        const QByteArray native = QFile::encodeName(candidate);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = WriteAll(fd, encoded);
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlink(native.constData());
            return false;
        }
        outPath = candidate;
        return true;
    }
    return false;
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
