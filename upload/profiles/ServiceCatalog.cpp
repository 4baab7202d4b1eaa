// SPDX-License-Identifier: MIT
#include "upload/profiles/ServiceCatalog.h"

#include "upload/UploadEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

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

QString NameTaken(const QString& file, const QString& name)
{
    return file + QStringLiteral(": the name \"%1\" is taken by one of the program's own services").arg(name);
}

QList<ServiceEntry> ProfilesIn(const QString& folder, QStringList* problems)
{
    QList<ServiceEntry> found;
    const QFileInfoList files
        = QDir(folder).entryInfoList({QStringLiteral("*.sxcu")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        ProfileRead read = ReadServiceProfileFile(file.filePath());
        const bool own = folder.startsWith(u':');
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

ProfileRead ReadServiceProfileFile(const QString& file)
{
    QFile in(file);
    ProfileRead read;
    if (QFileInfo(file).size() > kMaxProfileFileBytes)
        read.error = QStringLiteral("larger than a service profile can be");
    else if (!in.open(QIODevice::ReadOnly))
        read.error = in.errorString();
    else
        read = ReadServiceProfile(in.readAll());
    if (!read.ok())
        read.error = file + QStringLiteral(": ") + read.error;
    return read;
}

ServiceCatalog ServiceCatalog::Load()
{
    ServiceCatalog catalog;
    for (int i = 0; i < kServiceCount; ++i) {
        const auto id = static_cast<ServiceId>(i);
        catalog.entries.append({BuiltInProfile(id).name, id, BuiltInProfile(id), QString()});
    }
    QList<ServiceEntry> profiles = ProfilesIn(QStringLiteral(":/services"), nullptr);
    QList<ServiceEntry> own = ProfilesIn(UserServiceFolder(), &catalog.problems);
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
    if (!QDir().mkpath(folder)) {
        added.error = QStringLiteral("cannot create the folder %1").arg(folder);
        return added;
    }
    // Same name, same service: the newer file replaces the older, whatever it was called.
    QString target;
    for (const ServiceEntry& entry : ProfilesIn(folder, nullptr)) {
        if (entry.name.compare(read.profile.name, Qt::CaseInsensitive) == 0)
            target = entry.origin;
    }
    if (target.isEmpty()) {
        QString base = read.profile.name;
        base.replace(QRegularExpression(QStringLiteral(R"([^\w.-]+)")), QStringLiteral("-"));
        // A leading dot would hide the file from the listing.
        base.remove(QRegularExpression(QStringLiteral(R"(^[.-]+|-+$)")));
        base = base.isEmpty() ? QStringLiteral("service") : base.left(100);
        target = folder + u'/' + base + QStringLiteral(".sxcu");
        for (int n = 2; QFileInfo::exists(target); ++n)
            target = folder + u'/' + base + u'-' + QString::number(n) + QStringLiteral(".sxcu");
    }
    QFile in(file);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0
        || !out.commit()) {
        added.error = QStringLiteral("cannot write %1: %2").arg(target, out.errorString());
        return added;
    }
    added.path = target;
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
