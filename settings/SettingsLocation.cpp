// SPDX-License-Identifier: MIT
#include "settings/SettingsLocation.h"

#include "app/core/Files.h"
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kIniName = QStringLiteral("vellmar.ini");

// The user's settings folder: made for this user alone when it is new; an existing one is left
// as the user keeps it.
QString MakeSettingsFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return {};
    const QString parent = QFileInfo(folder).absolutePath();
    if (!QDir().mkpath(parent))
        return QStringLiteral("cannot create the folder %1").arg(parent);
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot create the folder %1: %2").arg(folder, ErrnoText(errno));
    return QFileInfo(folder).isDir() ? QString() : QStringLiteral("%1 is not a folder").arg(folder);
}

// Copies `from` to `to` when `to` does not exist yet. The copy is written under a name of its own
// and linked into place, so another copy of the program starting at the same moment finds either
// no file or a whole one; when that other one was first, its file is the one used.
QString CopyOnce(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(from, in.errorString());
    const QByteArray bytes = in.read(IniDocument::kMaxFileBytes + 1);
    if (bytes.size() > IniDocument::kMaxFileBytes)
        return QStringLiteral("%1 is larger than 1 MiB").arg(from);
    CreatedFile temp = CreateUniqueFile(
        QFileInfo(to).absolutePath() + QStringLiteral("/.") + kIniName, QStringLiteral(".new"), 0666);
    if (!temp.ok())
        return temp.error;
    const QByteArray tempName = QFile::encodeName(temp.path);
    QString why;
    if (!WriteAll(temp.fd.get(), bytes) || ::fsync(temp.fd.get()) != 0 || !temp.fd.close()
        || (::link(tempName.constData(), QFile::encodeName(to).constData()) != 0 && errno != EEXIST))
        why = QStringLiteral("cannot write %1: %2").arg(to, ErrnoText(errno));
    ::unlink(tempName.constData());
    return why;
}

} // namespace

SettingsLocation LocateSettings(
    const QString& explicitPath, const QString& programFolder, const QString& configFolder)
{
    SettingsLocation where;
    if (!explicitPath.isEmpty()) {
        where.iniPath = QFileInfo(explicitPath).absoluteFilePath();
        return where;
    }
    const QString beside = programFolder + u'/' + kIniName;
    const QFileInfo besideInfo(beside);
    if (besideInfo.exists() && SaveOverProblem(beside).isEmpty()) {
        where.iniPath = beside;
        where.portable = true;
        return where;
    }
    where.iniPath = configFolder + u'/' + kIniName;
    const bool copy = besideInfo.isFile() && !QFileInfo::exists(where.iniPath);
    QString why = MakeSettingsFolder(configFolder);
    if (why.isEmpty() && copy)
        why = CopyOnce(beside, where.iniPath);
    if (!why.isEmpty()) {
        where.problem = why;
        // Nothing is lost: this run reads the settings it was given, and the next one tries again.
        if (besideInfo.isFile())
            where.iniPath = beside;
    } else if (copy) {
        where.copiedFrom = beside;
    }
    return where;
}

SettingsLocation LocateSettings(const QString& explicitPath)
{
    return LocateSettings(explicitPath, QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vellmar"));
}

QString TemplatePathFor(const QString& iniPath, const QString& programFolder)
{
    const QString nearSettings = QFileInfo(iniPath).absolutePath() + QStringLiteral("/template.txt");
    const QString nearProgram = programFolder + QStringLiteral("/template.txt");
    return !QFileInfo::exists(nearSettings) && QFileInfo::exists(nearProgram) ? nearProgram : nearSettings;
}

QString TemplatePathFor(const QString& iniPath)
{
    return TemplatePathFor(iniPath, QCoreApplication::applicationDirPath());
}

QString HistoryPathFor(const QString& iniPath)
{
    const QString name = QStringLiteral("history.sqlite");
    const QString folder = QFileInfo(iniPath).absolutePath();
    if (QDir(folder).canonicalPath() == QDir(QCoreApplication::applicationDirPath()).canonicalPath())
        return folder + u'/' + name;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vellmar/")
        + name;
}
