// SPDX-License-Identifier: MIT
#include "imaging/SaveToTemp.h"

#include "app/core/Files.h"
#include "app/core/TickCount.h"
#include "imaging/Encoders.h"
#include "imaging/TempFolder.h"
#include "settings/Paths.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace {

// The file is created exclusively, so a save never replaces another; a failed write leaves none.
SavedPicture WriteExclusive(const QString& stem, const QString& extension, const QByteArray& bytes)
{
    CreatedFile file = CreateUniqueFile(stem, extension);
    if (!file.ok())
        return {{}, file.error};
    if (!WriteAll(file.fd.get(), bytes) || !file.fd.close()) {
        const int error = errno;
        ::unlink(QFile::encodeName(file.path).constData());
        return {{},
            QStringLiteral("cannot write into %1: %2")
                .arg(QFileInfo(file.path).absolutePath(), ErrnoText(error))};
    }
    return {file.path, {}};
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
    return WriteExclusive(stem, u'.' + FormatExtension(format), encoded);
}

SavedPicture SaveFileToTemp(TempFolder& folder, const QByteArray& bytes, const QString& fileName)
{
    const QString path = folder.Path();
    if (path.isEmpty())
        return {{}, folder.Error()};
    const QString name = FileNameOf(fileName);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return WriteExclusive(path + u'/' + name.left(name.size() - extension.size()), extension, bytes);
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
