// SPDX-License-Identifier: MIT
#include "ui/FileProperties.h"

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
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid())
        text += QStringLiteral("Изображение: %1 x %2, %3\n")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(QString::fromLatin1(reader.format()).toUpper());
    text += QStringLiteral("Изменён: %1").arg(russian.toString(info.lastModified(), QLocale::ShortFormat));
    return text;
}

void ShowFileProperties(QWidget* owner, const QString& path)
{
    ShowInformation(owner, FilePropertiesText(path), QStringLiteral("Свойства"));
}
