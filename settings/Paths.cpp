// SPDX-License-Identifier: MIT
#include "settings/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
constexpr QChar kSeparator = u'/';
}

QString DirectoryOf(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(kSeparator);
    return slash < 0 ? QString() : path.left(slash + 1).toString();
}

QString FileNameOf(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(kSeparator);
    return path.mid(slash + 1).toString();
}

QString ExtensionOf(QStringView path)
{
    const QString name = FileNameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString BaseNameOf(QStringView path)
{
    const QString name = FileNameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

bool MatchesAny(QStringView text, const QStringList& list)
{
    for (const QString& entry : list) {
        if (text.compare(entry, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool IsImageFile(QStringView path)
{
    static const QStringList kImages {
        "jpg", "jpeg", "png", "bmp", "gif", "tif", "tiff", "webp", "heic", "heif", "hif", "avif", "jxl"};
    const QString ext = ExtensionOf(path);
    return !ext.isEmpty() && MatchesAny(ext, kImages);
}

bool IsVideoFile(QStringView path)
{
    static const QStringList kVideos {
        "avi", "mpg", "mpeg", "vob", "divx", "flv", "wmv", "asf", "mkv", "mp2", "mp4"};
    const QString ext = ExtensionOf(path);
    return !ext.isEmpty() && MatchesAny(ext, kVideos);
}

QString PathBesideExecutable(const QString& fileName)
{
    return QCoreApplication::applicationDirPath() + kSeparator + fileName;
}

QString DefaultIniPath()
{
    return PathBesideExecutable(QStringLiteral("vellmar.ini"));
}

QString HistoryPathFor(const QString& iniPath)
{
    const QString name = QStringLiteral("history.sqlite");
    const QString folder = QFileInfo(iniPath).absolutePath();
    if (QDir(folder).canonicalPath() == QDir(QCoreApplication::applicationDirPath()).canonicalPath())
        return folder + kSeparator + name;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vellmar/")
        + name;
}
