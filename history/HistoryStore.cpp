// SPDX-License-Identifier: MIT
#include "history/HistoryStore.h"

#include "app/core/UniqueHandle.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Statement = UniqueHandle<sqlite3_stmt, sqlite3_finalize>;

// Another copy of the program, or the command line, may hold the write lock for one row.
constexpr int kBusyTimeoutMs = 5000;

constexpr char kColumns[]
    = "id, time, source, name, size, width, height, service, image_url, thumb_url, deletion_url";

// Version 1 kept no search text; searches then had to fold the case of every row as they ran.
// Version 2 keeps it, case-folded, in a narrow table of its own: a search that finds little reads
// every row of it, and a few bytes a row make that fast.
constexpr const char* kVersion1[] = {
    "CREATE TABLE uploads (id INTEGER PRIMARY KEY, time INTEGER NOT NULL, source TEXT NOT NULL,"
    " name TEXT NOT NULL, size INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,"
    " service TEXT NOT NULL, image_url TEXT NOT NULL, thumb_url TEXT NOT NULL,"
    " deletion_url TEXT NOT NULL)",
    // Apart from the rows, so that a search scans the rows alone.
    "CREATE TABLE previews (id INTEGER PRIMARY KEY, jpeg BLOB NOT NULL)",
};

bool IsDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

QString SearchTextOf(const QString& name, const UploadResult& addresses)
{
    return HistorySearchKey(
        name + u'\n' + addresses.ImageUrl + u'\n' + addresses.ThumbUrl + u'\n' + addresses.DeletionUrl);
}

void Bind(sqlite3_stmt* statement, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString TextAt(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
        sqlite3_column_bytes(statement, column));
}

// A folder made here is the user's alone; one that was there (a portable copy's own folder) is
// left as it is.
bool MakeFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    return ::chmod(Native(folder).constData(), S_IRWXU) == 0;
}

// SQLite gives the WAL and shared-memory files the database file's mode, so the file is made
// 0600 before SQLite sees it.
bool MakePrivateFile(const QString& path)
{
    const QByteArray name = Native(path);
    const int fd = ::open(name.constData(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    struct stat info
    { };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && (info.st_mode & 0077) && info.st_uid == ::getuid())
        ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QString HistoryStore::SetAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".broken-%1-%2").arg(stamp).arg(n);
    if (::rename(Native(path).constData(), Native(target).constData()) != 0)
        return QString();
    // The log of a damaged file is no use to a new one, and would be read into it.
    ::rename(Native(path + QStringLiteral("-wal")).constData(),
        Native(target + QStringLiteral("-wal")).constData());
    ::unlink(Native(path + QStringLiteral("-shm")).constData());
    return target;
}

QString HistorySearchKey(const QString& text)
{
    return text.toCaseFolded();
}

HistoryStore::HistoryStore(QString path, sqlite3* db)
    : m_path(std::move(path))
    , m_db(db)
{ }

HistoryStore::~HistoryStore()
{
    sqlite3_close_v2(m_db);
}

bool HistoryStore::Fail(int code)
{
    m_error = QString::fromUtf8(sqlite3_errstr(code));
    if (m_db && sqlite3_errcode(m_db) == code)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    m_damaged = IsDamage(code);
    return false;
}

bool HistoryStore::Exec(const char* sql)
{
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK || Fail(code);
}

namespace {

// Brings the file up to the current schema, in one transaction that waits for any other copy
// doing the same. Returns SQLITE_OK, or the code of what failed; SQLITE_TOOBIG for a newer file.
int Migrate(sqlite3* db)
{
    int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        return code;
    const auto rollback = [db](int failed) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return failed;
    };
    int version = 0;
    {
        sqlite3_stmt* raw = nullptr;
        code = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr);
        const Statement statement(raw);
        if (code != SQLITE_OK || (code = sqlite3_step(raw)) != SQLITE_ROW)
            return rollback(code);
        version = sqlite3_column_int(raw, 0);
    }
    if (version > HistoryStore::kSchemaVersion)
        return rollback(SQLITE_TOOBIG);
    if (version == HistoryStore::kSchemaVersion)
        return rollback(SQLITE_OK);
    if (version < 1) {
        for (const char* sql : kVersion1)
            if ((code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) != SQLITE_OK)
                return rollback(code);
    }
    if (version < 2) {
        code = sqlite3_exec(db, "CREATE TABLE searches (id INTEGER PRIMARY KEY, text TEXT NOT NULL)", nullptr,
            nullptr, nullptr);
        if (code != SQLITE_OK)
            return rollback(code);
        // The folding is Unicode's, which SQLite's lower() does not know: done here, row by row.
        sqlite3_stmt* rawRead = nullptr;
        sqlite3_stmt* rawWrite = nullptr;
        sqlite3_prepare_v2(
            db, "SELECT id, name, image_url, thumb_url, deletion_url FROM uploads", -1, &rawRead, nullptr);
        const Statement read(rawRead);
        sqlite3_prepare_v2(db, "INSERT INTO searches (text, id) VALUES (?1, ?2)", -1, &rawWrite, nullptr);
        const Statement write(rawWrite);
        if (!read || !write)
            return rollback(sqlite3_errcode(db));
        while ((code = sqlite3_step(rawRead)) == SQLITE_ROW) {
            Bind(rawWrite, 1,
                SearchTextOf(
                    TextAt(rawRead, 1), {TextAt(rawRead, 2), TextAt(rawRead, 3), TextAt(rawRead, 4)}));
            sqlite3_bind_int64(rawWrite, 2, sqlite3_column_int64(rawRead, 0));
            if ((code = sqlite3_step(rawWrite)) != SQLITE_DONE)
                return rollback(code);
            sqlite3_reset(rawWrite);
        }
        if (code != SQLITE_DONE)
            return rollback(code);
    }
    const QByteArray setVersion = "PRAGMA user_version = " + QByteArray::number(HistoryStore::kSchemaVersion);
    if ((code = sqlite3_exec(db, setVersion.constData(), nullptr, nullptr, nullptr)) != SQLITE_OK)
        return rollback(code);
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

// Opens the file as it is: SQLITE_OK, or why not.
int OpenFile(const QString& path, sqlite3** db)
{
    if (!MakePrivateFile(path))
        return SQLITE_CANTOPEN;
    int code
        = sqlite3_open_v2(Native(path).constData(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK)
        return code;
    sqlite3_busy_timeout(*db, kBusyTimeoutMs);
    // The first statement reads the file's header: a file that is no database fails here.
    if ((code = sqlite3_exec(*db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr)) != SQLITE_OK)
        return code;
    // A committed row survives a crash of the program; a power cut may lose the last few.
    if ((code = sqlite3_exec(*db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr)) != SQLITE_OK)
        return code;
    return Migrate(*db);
}

// Two copies opening a new file at the same moment: its switch to WAL wants the file alone, and
// SQLite says busy without waiting for it. Tried again for as long as a lock is waited for.
int OpenFileWaiting(const QString& path, sqlite3** db)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const int code = OpenFile(path, db);
        const int primary = code & 0xff;
        if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) || waited.elapsed() >= kBusyTimeoutMs)
            return code;
        sqlite3_close_v2(*db);
        *db = nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

HistoryStore::Opened HistoryStore::Open(const QString& path)
{
    Opened opened;
    if (!MakeFolder(QFileInfo(path).absolutePath())) {
        opened.notice = QStringLiteral("Не удалось создать папку для истории загрузок: %1")
                            .arg(QFileInfo(path).absolutePath());
        return opened;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* db = nullptr;
        const int code = OpenFileWaiting(path, &db);
        if (code == SQLITE_OK) {
            opened.store.reset(new HistoryStore(path, db));
            return opened;
        }
        const QString why = QString::fromUtf8(
            db && sqlite3_errcode(db) == code ? sqlite3_errmsg(db) : sqlite3_errstr(code));
        sqlite3_close_v2(db);
        if (code == SQLITE_TOOBIG) {
            opened.notice = QStringLiteral("История загрузок %1 создана более новой версией программы; "
                                           "загрузки не будут в неё записаны.")
                                .arg(path);
            return opened;
        }
        // A file SQLite cannot use at all is set aside; a lock or a full disk is not the file's fault.
        const bool unusable = IsDamage(code) || (code & 0xff) == SQLITE_CANTOPEN;
        const QString target
            = unusable && attempt == 0 && QFileInfo(path).isFile() ? SetAside(path) : QString();
        if (target.isEmpty()) {
            opened.notice = QStringLiteral("Не удалось открыть историю загрузок %1: %2").arg(path, why);
            return opened;
        }
        opened.notice = QStringLiteral("История загрузок была повреждена (%1). Файл перемещён в %2, "
                                       "начата новая история.")
                            .arg(why, target);
    }
    return opened;
}

qint64 HistoryStore::Add(const HistoryEntry& entry)
{
    m_damaged = false;
    if (!Exec("BEGIN IMMEDIATE"))
        return 0;
    sqlite3_stmt* raw = nullptr;
    int code = sqlite3_prepare_v2(m_db,
        "INSERT INTO uploads (time, source, name, size, width, height, service, image_url, thumb_url,"
        " deletion_url) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
        -1, &raw, nullptr);
    Statement insert(raw);
    if (code == SQLITE_OK) {
        sqlite3_bind_int64(raw, 1, entry.time.toMSecsSinceEpoch());
        Bind(raw, 2, entry.source);
        Bind(raw, 3, entry.name);
        sqlite3_bind_int64(raw, 4, entry.size);
        sqlite3_bind_int(raw, 5, entry.pixels.isValid() ? entry.pixels.width() : 0);
        sqlite3_bind_int(raw, 6, entry.pixels.isValid() ? entry.pixels.height() : 0);
        Bind(raw, 7, entry.service);
        Bind(raw, 8, entry.addresses.ImageUrl);
        Bind(raw, 9, entry.addresses.ThumbUrl);
        Bind(raw, 10, entry.addresses.DeletionUrl);
        code = sqlite3_step(raw);
    }
    const qint64 id = code == SQLITE_DONE ? sqlite3_last_insert_rowid(m_db) : 0;
    if (id) {
        raw = nullptr;
        code = sqlite3_prepare_v2(m_db, "INSERT INTO searches (id, text) VALUES (?1, ?2)", -1, &raw, nullptr);
        insert.reset(raw);
        if (code == SQLITE_OK) {
            sqlite3_bind_int64(raw, 1, id);
            Bind(raw, 2, SearchTextOf(entry.name, entry.addresses));
            code = sqlite3_step(raw);
        }
    }
    if (code == SQLITE_DONE && !entry.preview.isEmpty()) {
        raw = nullptr;
        code = sqlite3_prepare_v2(m_db, "INSERT INTO previews (id, jpeg) VALUES (?1, ?2)", -1, &raw, nullptr);
        insert.reset(raw);
        if (code == SQLITE_OK) {
            sqlite3_bind_int64(raw, 1, id);
            sqlite3_bind_blob(raw, 2, entry.preview.constData(), int(entry.preview.size()), SQLITE_STATIC);
            code = sqlite3_step(raw);
        }
    }
    insert.reset();
    if (code != SQLITE_DONE) {
        Fail(code);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return 0;
    }
    return Exec("COMMIT") ? id : 0;
}

QList<HistoryEntry> HistoryStore::List(const QString& search, qint64 beforeId, int limit)
{
    m_damaged = false;
    QList<HistoryEntry> entries;
    const QString key = HistorySearchKey(search);
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM uploads WHERE "
        + (key.isEmpty() ? "id < ?1"
                         : "id IN (SELECT id FROM searches WHERE id < ?1 AND instr(text, ?3) > 0"
                           " ORDER BY id DESC LIMIT ?2)")
        + " ORDER BY id DESC LIMIT ?2";
    sqlite3_stmt* raw = nullptr;
    int code = sqlite3_prepare_v2(m_db, sql.constData(), -1, &raw, nullptr);
    const Statement statement(raw);
    if (code != SQLITE_OK) {
        Fail(code);
        return entries;
    }
    sqlite3_bind_int64(raw, 1, beforeId > 0 ? beforeId : LLONG_MAX);
    sqlite3_bind_int(raw, 2, limit);
    if (!key.isEmpty())
        Bind(raw, 3, key);
    while ((code = sqlite3_step(raw)) == SQLITE_ROW) {
        HistoryEntry entry;
        entry.id = sqlite3_column_int64(raw, 0);
        entry.time = QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(raw, 1), Qt::UTC);
        entry.source = TextAt(raw, 2);
        entry.name = TextAt(raw, 3);
        entry.size = sqlite3_column_int64(raw, 4);
        const QSize pixels(sqlite3_column_int(raw, 5), sqlite3_column_int(raw, 6));
        entry.pixels = pixels.isEmpty() ? QSize() : pixels;
        entry.service = TextAt(raw, 7);
        entry.addresses = {TextAt(raw, 8), TextAt(raw, 9), TextAt(raw, 10)};
        entries.append(entry);
    }
    if (code != SQLITE_DONE)
        Fail(code);
    return entries;
}

QByteArray HistoryStore::Preview(qint64 id)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT jpeg FROM previews WHERE id = ?1", -1, &raw, nullptr) != SQLITE_OK)
        return {};
    const Statement statement(raw);
    sqlite3_bind_int64(raw, 1, id);
    if (sqlite3_step(raw) != SQLITE_ROW)
        return {};
    return QByteArray(static_cast<const char*>(sqlite3_column_blob(raw, 0)), sqlite3_column_bytes(raw, 0));
}

bool HistoryStore::Remove(const QList<qint64>& ids)
{
    m_damaged = false;
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    for (const char* sql : {"DELETE FROM uploads WHERE id = ?1", "DELETE FROM searches WHERE id = ?1",
             "DELETE FROM previews WHERE id = ?1"}) {
        sqlite3_stmt* raw = nullptr;
        int code = sqlite3_prepare_v2(m_db, sql, -1, &raw, nullptr);
        const Statement statement(raw);
        for (qsizetype i = 0; code == SQLITE_OK && i < ids.size(); ++i) {
            sqlite3_bind_int64(raw, 1, ids[i]);
            code = sqlite3_step(raw) == SQLITE_DONE ? sqlite3_reset(raw) : sqlite3_errcode(m_db);
        }
        if (code != SQLITE_OK) {
            Fail(code);
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    return Exec("COMMIT");
}

bool HistoryStore::Clear()
{
    m_damaged = false;
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    if (!Exec("DELETE FROM uploads") || !Exec("DELETE FROM searches") || !Exec("DELETE FROM previews")) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return Exec("COMMIT");
}
