// SPDX-License-Identifier: MIT
#include "app/cli/CliTools.h"
#include "history/HistoryStore.h"
#include "settings/Paths.h"
#include "settings/SettingsLocation.h"
#include "upload/CodeGenerator.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

QString TimeText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QJsonObject JsonOf(const HistoryEntry& entry)
{
    return {
        {QStringLiteral("id"), entry.id},
        {QStringLiteral("time"), TimeText(entry.time)},
        {QStringLiteral("source"), entry.source},
        {QStringLiteral("name"), entry.name},
        {QStringLiteral("size"), entry.size},
        {QStringLiteral("width"), entry.pixels.width() > 0 ? entry.pixels.width() : 0},
        {QStringLiteral("height"), entry.pixels.height() > 0 ? entry.pixels.height() : 0},
        {QStringLiteral("service"), entry.service},
        {QStringLiteral("image_url"), entry.addresses.ImageUrl},
        {QStringLiteral("thumb_url"), entry.addresses.ThumbUrl},
        {QStringLiteral("deletion_url"), entry.addresses.DeletionUrl},
    };
}

} // namespace

int ListHistory(const UploadCliOptions& options, QTextStream& out, QTextStream& err)
{
    const QString path = HistoryPathFor(options.iniPath);
    QList<HistoryEntry> entries;
    // Listing never makes a history that is not there.
    if (QFileInfo::exists(path)) {
        HistoryStore::Opened opened = HistoryStore::Open(path);
        if (!opened.notice.isEmpty())
            err << "vellmar-upload: " << opened.notice << '\n' << Qt::flush;
        if (!opened.store)
            return 1;
        entries = opened.store->List(options.search, 0, options.limit > 0 ? options.limit : -1);
        if (!opened.store->Error().isEmpty()) {
            err << "vellmar-upload: the history could not be read: " << opened.store->Error() << '\n'
                << Qt::flush;
            return 1;
        }
    }

    if (options.historyCode) {
        // Code reads in the order the pictures went up.
        QList<UploadResult> results;
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            results.append(it->addresses);
        PrintCode(options.historyCode, options, results, out, err);
    } else if (options.json) {
        QJsonArray array;
        for (const HistoryEntry& entry : entries)
            array.append(JsonOf(entry));
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        for (const HistoryEntry& entry : entries)
            out << TimeText(entry.time) << '\t' << entry.service << '\t' << entry.name << '\t'
                << entry.addresses.ImageUrl << '\t' << entry.addresses.ThumbUrl << '\t'
                << entry.addresses.DeletionUrl << '\n';
    }
    out << Qt::flush;
    return 0;
}
