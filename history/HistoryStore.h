// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryEntry.h"

#include <QList>
#include <QString>
#include <memory>

struct sqlite3;

/// One connection to the upload history, an SQLite file. Every thread and every process opens
/// its own; they all write at once (WAL, a busy timeout, one transaction per row).
class HistoryStore
{
public:
    /// The schema this build writes; older files are brought up to it when opened.
    static constexpr int kSchemaVersion = 2;

    struct Opened;
    /// Opens or makes the file at `path`, readable by the user alone, in a folder made private
    /// when it is made. A file that is no database, is damaged or is newer than this build is
    /// moved aside to "<path>.broken-<time>" and a new one is started.
    static Opened Open(const QString& path);

    /// Moves a damaged file (and its log) to "<path>.broken-<time>"; the new name, or empty when
    /// it could not be moved.
    static QString SetAside(const QString& path);

    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    /// Adds `entry` in a transaction of its own; its id, or 0 when it could not be written.
    qint64 Add(const HistoryEntry& entry);
    /// Up to `limit` entries older than `beforeId` (0: from the newest), newest first, whose name
    /// or one of whose addresses contains `search` in any case (empty: every entry). The
    /// previews are left out.
    QList<HistoryEntry> List(const QString& search, qint64 beforeId, int limit);
    /// The preview of entry `id`; empty when it has none.
    QByteArray Preview(qint64 id);
    bool Remove(const QList<qint64>& ids);
    bool Clear();
    /// Why the last call failed, in a few words.
    QString Error() const { return m_error; }
    /// The last call failed because the file is damaged: it should be set aside.
    bool Damaged() const { return m_damaged; }
    const QString& Path() const { return m_path; }

private:
    HistoryStore(QString path, sqlite3* db);
    bool Exec(const char* sql);
    bool Fail(int code);

    QString m_path;
    sqlite3* m_db = nullptr;
    QString m_error;
    bool m_damaged = false;
};

struct HistoryStore::Opened
{
    std::unique_ptr<HistoryStore> store; ///< none when even a new file could not be made
    /// For the user, once: why the history was not opened, or that a damaged one was set aside
    /// and where it went. Empty when all went well.
    QString notice;
};

/// The text searches compare: `text` case-folded, so that "Ф" finds "ф" as "A" finds "a".
QString HistorySearchKey(const QString& text);
