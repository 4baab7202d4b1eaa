// SPDX-License-Identifier: MIT
#include "upload/profiles/ServiceCatalog.h"

#include "app/core/Files.h"
#include "upload/UploadEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Larger files are not profiles; reading them whole would only cost memory.
constexpr qint64 kMaxProfileFileBytes = 1 << 20;

bool IsBuiltInName(const QString& name)
{
    for (int i = 0; i < kServiceCount; ++i) {
        if (BuiltInProfile(static_cast<ServiceId>(i)).name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Only a regular file is read, and only up to the limit: a link to /dev/zero or a FIFO in the
// folder must not hold the program. Opening does not wait for a FIFO's writer.
QString ReadBounded(const QString& file, QByteArray& bytes, bool& othersMayRead)
{
    const UniqueFd owned(::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const int fd = owned.get();
    if (fd < 0)
        return ErrnoText(errno);
    struct stat st
    { };
    if (::fstat(fd, &st) != 0)
        return ErrnoText(errno);
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a folder, not a service profile");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    if (st.st_size > kMaxProfileFileBytes)
        return QStringLiteral("larger than a service profile can be");
    othersMayRead = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
    bytes.resize(qsizetype(kMaxProfileFileBytes) + 1);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ErrnoText(errno);
        if (n == 0)
            break;
        got += n;
    }
    if (got > kMaxProfileFileBytes)
        return QStringLiteral("larger than a service profile can be");
    bytes.truncate(got);
    return {};
}

// The name of a profile's file: every character a file name may hold stays, only '/', control
// characters and leading dots (a hidden file) go, and it fits a file name's 255 bytes.
QString FileBaseOf(const QString& name)
{
    QString base;
    for (const QChar c : name)
        base += c == u'/' || c.category() == QChar::Other_Control ? u'-' : c;
    base = base.trimmed();
    while (base.startsWith(u'.') || base.startsWith(u'-'))
        base.remove(0, 1);
    while (base.toUtf8().size() > 200)
        base.chop(base.size() >= 2 && base[base.size() - 1].isLowSurrogate() ? 2 : 1);
    return base.isEmpty() ? QStringLiteral("service") : base;
}

QString NameTaken(const QString& file, const QString& name)
{
    return PrintableText(
        file + QStringLiteral(": the name \"%1\" is taken by one of the program's own services").arg(name));
}

QList<ServiceEntry> ProfilesIn(const QString& folder, QStringList* problems, QStringList* warnings = nullptr)
{
    QList<ServiceEntry> found;
    const bool own = folder.startsWith(u':');
    // Every entry is looked at, whatever it is: a device or a FIFO is named, never read.
    const QFileInfoList files
        = QDir(folder).entryInfoList({QStringLiteral("*.sxcu")}, QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo& file : files) {
        bool othersMayRead = false;
        ProfileRead read = own ? ReadServiceProfile([&] {
            QFile resource(file.filePath());
            return resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
        }())
                               : ReadServiceProfileFile(file.filePath(), &othersMayRead);
        if (read.ok() && othersMayRead && warnings)
            warnings->append(PrintableText(file.filePath())
                + QStringLiteral(": other users may read it, and a profile may hold a key; chmod 600 it"));
        if (own && IsBuiltInName(file.completeBaseName()))
            continue;
        if (read.ok() && !own && IsBuiltInName(read.profile.name))
            read.error = NameTaken(file.filePath(), read.profile.name);
        if (read.ok())
            found.append({read.profile.name, std::nullopt, read.profile, file.filePath()});
        else if (problems)
            problems->append(read.error);
    }
    return found;
}

} // namespace

QString UserServiceFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/vellmar/services");
}

ProfileRead ReadServiceProfileFile(const QString& file, bool* othersMayRead)
{
    QByteArray bytes;
    bool shared = false;
    ProfileRead read;
    read.error = ReadBounded(file, bytes, shared);
    if (read.ok())
        read = ReadServiceProfile(bytes);
    if (othersMayRead)
        *othersMayRead = shared;
    if (!read.ok())
        read.error = PrintableText(file + QStringLiteral(": ") + read.error);
    return read;
}

QString PrintableText(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return out;
}

ServiceCatalog ServiceCatalog::Load()
{
    ServiceCatalog catalog;
    for (int i = 0; i < kServiceCount; ++i) {
        const auto id = static_cast<ServiceId>(i);
        catalog.entries.append({BuiltInProfile(id).name, id, BuiltInProfile(id), QString()});
    }
    QList<ServiceEntry> profiles = ProfilesIn(QStringLiteral(":/services"), nullptr);
    QList<ServiceEntry> own = ProfilesIn(UserServiceFolder(), &catalog.problems, &catalog.warnings);
    std::stable_sort(own.begin(), own.end(),
        [](const ServiceEntry& a, const ServiceEntry& b) { return a.name.localeAwareCompare(b.name) < 0; });
    for (ServiceEntry& entry : own) {
        const auto same = std::find_if(profiles.begin(), profiles.end(),
            [&](const ServiceEntry& e) { return e.name.compare(entry.name, Qt::CaseInsensitive) == 0; });
        if (same != profiles.end() && same->origin.startsWith(u':'))
            *same = std::move(entry);
        else if (same == profiles.end())
            profiles.append(std::move(entry));
    }
    catalog.entries += profiles;
    return catalog;
}

const ServiceEntry* ServiceCatalog::Find(const QString& numberOrName) const
{
    bool number = false;
    const int index = numberOrName.toInt(&number);
    if (number)
        return index >= 0 && index < entries.size() ? &entries[index] : nullptr;
    return FindByName(numberOrName);
}

const ServiceEntry* ServiceCatalog::FindByName(const QString& name) const
{
    const QString wanted = name.trimmed();
    for (const ServiceEntry& entry : entries) {
        if (entry.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

AddedService AddUserService(const QString& file)
{
    AddedService added;
    const ProfileRead read = ReadServiceProfileFile(file);
    if (!read.ok()) {
        added.error = read.error;
        return added;
    }
    added.profile = read.profile;
    // A name is how a service is chosen; the program's own must stay unambiguous.
    if (IsBuiltInName(read.profile.name)) {
        added.error = NameTaken(file, read.profile.name);
        return added;
    }
    const QString folder = UserServiceFolder();
    // Profiles hold keys: the folder is the user's alone, and so is every file in it.
    const bool fresh = !QFileInfo(folder).exists();
    if (!QDir().mkpath(folder)) {
        added.error = QStringLiteral("cannot create the folder %1").arg(folder);
        return added;
    }
    if (fresh)
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Same name, same service: the newer file replaces the older, whatever it was called.
    QString target;
    for (const ServiceEntry& entry : ProfilesIn(folder, nullptr)) {
        if (entry.name.compare(read.profile.name, Qt::CaseInsensitive) == 0)
            target = entry.origin;
    }
    // A new name is taken at once, so nothing else can land there; the profile then replaces
    // the empty file in one step, as it would an older profile.
    const bool claimed = target.isEmpty();
    if (claimed) {
        const CreatedFile made = CreateUniqueFile(
            folder + u'/' + FileBaseOf(read.profile.name), QStringLiteral(".sxcu"), 0600, u'-', 2);
        if (!made.ok()) {
            added.error = PrintableText(made.error);
            return added;
        }
        target = made.path;
    }
    // A converted file is kept in the current syntax; any other as its author wrote it.
    QByteArray bytes;
    bool unused = false;
    const QString unread = read.convertedFrom.isEmpty() ? ReadBounded(file, bytes, unused) : QString();
    if (!read.convertedFrom.isEmpty())
        bytes = WriteServiceProfile(read.profile);
    QSaveFile out(target);
    const auto privateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!unread.isEmpty() || !out.open(QIODevice::WriteOnly) || !out.setPermissions(privateFile)
        || out.write(bytes) < 0 || !out.commit() || !QFile::setPermissions(target, privateFile)) {
        added.error = PrintableText(
            QStringLiteral("cannot write %1: %2").arg(target, unread.isEmpty() ? out.errorString() : unread));
        if (claimed)
            QFile::remove(target);
        return added;
    }
    added.path = target;
    added.convertedFrom = read.convertedFrom;
    return added;
}

ChosenService ChooseService(const MainPart::MainKeys& main, const ServiceCatalog& catalog)
{
    ChosenService chosen;
    if (!main.ServiceFile.isEmpty()) {
        ProfileRead read = ReadServiceProfileFile(main.ServiceFile);
        if (read.ok())
            chosen.profile = std::move(read.profile);
        else
            chosen.error = read.error;
        return chosen;
    }
    if (main.Service.isEmpty())
        return chosen;
    const ServiceEntry* entry = catalog.FindByName(main.Service);
    if (!entry)
        chosen.error = QStringLiteral("there is no service named \"%1\" (the user's services are in %2)")
                           .arg(main.Service, UserServiceFolder());
    else if (entry->builtIn)
        chosen.builtIn = entry->builtIn;
    else
        chosen.profile = entry->profile;
    return chosen;
}
