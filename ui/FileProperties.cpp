// SPDX-License-Identifier: MIT
#include "ui/FileProperties.h"

#include "imaging/Decode.h"
#include "settings/Paths.h"
#include "ui/kit/MessageBoxes.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

QString FilePropertiesText(const QString& path)
{
    const QFileInfo info(path);
    const QLocale russian(QLocale::Russian);
    QString text = QStringLiteral("Имя: %1\nПапка: %2\n").arg(FileNameOf(path), DirectoryOf(path));
    if (!info.exists())
        return text + QStringLiteral("Файл не найден.");
    text += QStringLiteral("Размер: %1 байт\n").arg(russian.toString(info.size()));
    // The size as the picture is shown, upright; found without decoding a pixel.
    QSize size;
    DecodeImageScaled(path, [&size](QSize upright) -> std::optional<QSize> {
        size = upright;
        return std::nullopt;
    });
    if (size.isValid()) {
        // Qt names the formats its readers know; the others by the file's extension (HEIC, WEBP, ...).
        const QByteArray known = QImageReader(path).format();
        text
            += QStringLiteral("Изображение: %1 x %2, %3\n")
                   .arg(size.width())
                   .arg(size.height())
                   .arg(known.isEmpty() ? ExtensionOf(path).toUpper() : QString::fromLatin1(known).toUpper());
    }
    text += QStringLiteral("Изменён: %1").arg(russian.toString(info.lastModified(), QLocale::ShortFormat));
    return text;
}

void ShowFileProperties(QWidget* owner, const QString& path)
{
    ShowInformation(owner, FilePropertiesText(path), QStringLiteral("Свойства"));
}
