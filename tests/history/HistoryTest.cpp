// SPDX-License-Identifier: MIT
// The history's file: what a row keeps and finds, files it cannot use, older files, writers at
// once; and the window over it. What an upload run writes into it is tried with the worker.
#include "history/HistoryStore.h"
#include "tests/support/TempDir.h"
#include "tests/support/Widgets.h"
#include "ui/CHistoryWindow.h"
#include "ui/HistoryModel.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace {

HistoryEntry Entry(const QString& name, const QString& image, const QString& deletion = {})
{
    HistoryEntry entry;
    entry.time = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    entry.source = QStringLiteral("/pictures/") + name;
    entry.name = name;
    entry.size = 1234;
    entry.pixels = QSize(640, 480);
    entry.service = QStringLiteral("catbox");
    entry.addresses = {image, image + QStringLiteral("?thumb"), deletion};
    entry.preview = "\xFF\xD8 jpeg";
    return entry;
}

QStringList Names(const QList<HistoryEntry>& entries)
{
    QStringList names;
    for (const HistoryEntry& entry : entries)
        names << entry.name;
    return names;
}

int Mode(const QString& path)
{
    struct stat info
    { };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

void Sql(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

} // namespace

TEST(History, RowsKeptFoundRemovedAndClearedInAPrivateFile)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("data/vellmar/history.sqlite"));
    HistoryStore::Opened opened = HistoryStore::Open(path);
    ASSERT_TRUE(opened.store) << opened.notice.toStdString();
    EXPECT_TRUE(opened.notice.isEmpty());
    HistoryStore& store = *opened.store;
    EXPECT_EQ(Mode(QFileInfo(path).absolutePath()), 0700);
    EXPECT_EQ(Mode(path), 0600);

    const HistoryEntry first = Entry(
        QStringLiteral("Фото.jpg"), QStringLiteral("https://h/a.jpg"), QStringLiteral("https://h/delete?a"));
    ASSERT_GT(store.Add(first), 0);
    ASSERT_GT(store.Add(Entry(QStringLiteral("b.png"), QStringLiteral("https://h/B.png"))), 0);
    ASSERT_GT(store.Add(Entry(QStringLiteral("c.gif"), QStringLiteral("https://h/c.gif"))), 0);
    EXPECT_EQ(Mode(path + QStringLiteral("-wal")), 0600);

    const QList<HistoryEntry> all = store.List(QString(), 0, 10);
    EXPECT_EQ(Names(all), QStringList({"c.gif", "b.png", "Фото.jpg"}));
    HistoryEntry back = all.last();
    EXPECT_EQ(back.id, 1);
    EXPECT_EQ(store.Preview(back.id), first.preview);
    back.id = 0;
    back.preview = first.preview;
    EXPECT_EQ(back, first);

    const std::pair<const char*, QStringList> searches[] = {
        {"фОТО", {"Фото.jpg"}}, // any case, any alphabet
        {"B.PNG", {"b.png"}}, {"delete?a", {"Фото.jpg"}}, // the deletion address
        {"thumb", {"c.gif", "b.png", "Фото.jpg"}}, {"%", {}}, // no pattern characters
    };
    for (const auto& [text, names] : searches)
        EXPECT_EQ(Names(store.List(QString::fromUtf8(text), 0, 10)), names) << text;
    // A page goes on below the last id of the one before.
    EXPECT_EQ(Names(store.List(QString(), all[0].id, 1)), QStringList({"b.png"}));

    ASSERT_TRUE(store.Remove({all[1].id}));
    EXPECT_EQ(Names(store.List(QString(), 0, 10)), QStringList({"c.gif", "Фото.jpg"}));
    EXPECT_TRUE(store.Preview(all[1].id).isEmpty());
    ASSERT_TRUE(store.Clear());
    EXPECT_TRUE(store.List(QString(), 0, 10).isEmpty());
}

// A file that is no database is set aside and a new one made; an older schema is brought up to
// date with its rows; a file of a newer program is neither used nor touched.
TEST(History, DamagedOlderAndNewerFiles)
{
    enum Outcome { SetAside, Migrated, Refused };
    const std::pair<Outcome, const char*> cases[] = {
        {SetAside, nullptr},
        {Migrated,
            "CREATE TABLE uploads (id INTEGER PRIMARY KEY, time INTEGER NOT NULL, source TEXT NOT NULL,"
            " name TEXT NOT NULL, size INTEGER NOT NULL, width INTEGER NOT NULL, height INTEGER NOT NULL,"
            " service TEXT NOT NULL, image_url TEXT NOT NULL, thumb_url TEXT NOT NULL,"
            " deletion_url TEXT NOT NULL);"
            "CREATE TABLE previews (id INTEGER PRIMARY KEY, jpeg BLOB NOT NULL);"
            "INSERT INTO uploads VALUES (7, 0, '/p/ÄRGER.png', 'ÄRGER.png', 5, 2, 3, 's', 'http://x/1', '', "
            "'');"
            "PRAGMA user_version = 1;"},
        {Refused, "CREATE TABLE future (x); PRAGMA user_version = 99;"},
    };
    for (const auto& [outcome, sql] : cases) {
        SCOPED_TRACE(outcome);
        TestDir dir;
        const QString path = dir.file(QStringLiteral("history.sqlite"));
        const QByteArray garbage(5000, 'x');
        if (sql)
            Sql(path, sql);
        else
            dir.write(QStringLiteral("history.sqlite"), garbage);
        HistoryStore::Opened opened = HistoryStore::Open(path);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        switch (outcome) {
        case SetAside: {
            ASSERT_TRUE(opened.store);
            EXPECT_GT(opened.store->Add(Entry(QStringLiteral("n.png"), QStringLiteral("http://n"))), 0);
            const QStringList broken = files.filter(QStringLiteral("history.sqlite.broken-"));
            ASSERT_EQ(broken.size(), 1) << files.join(u' ').toStdString();
            EXPECT_EQ(TestDir::read(dir.file(broken[0])), garbage);
            EXPECT_TRUE(opened.notice.contains(broken[0])) << opened.notice.toStdString();
            break;
        }
        case Migrated: {
            ASSERT_TRUE(opened.store) << opened.notice.toStdString();
            EXPECT_TRUE(opened.notice.isEmpty());
            const QList<HistoryEntry> found = opened.store->List(QStringLiteral("ärger"), 0, 10);
            ASSERT_EQ(found.size(), 1);
            EXPECT_EQ(found[0].id, 7);
            EXPECT_EQ(found[0].pixels, QSize(2, 3));
            EXPECT_GT(opened.store->Add(Entry(QStringLiteral("n.png"), QStringLiteral("http://n"))), 7);
            break;
        }
        case Refused:
            EXPECT_FALSE(opened.store);
            EXPECT_FALSE(opened.notice.isEmpty());
            EXPECT_EQ(files, QStringList({"history.sqlite"}));
            break;
        }
    }
}

TEST(History, TwoThreadsWriteAtOnceWithoutLosingARow)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("history.sqlite"));
    constexpr int kRows = 150;
    const auto writer = [&](const QString& prefix) {
        HistoryStore::Opened opened = HistoryStore::Open(path);
        ASSERT_TRUE(opened.store) << opened.notice.toStdString();
        for (int i = 0; i < kRows; ++i)
            ASSERT_GT(opened.store->Add(Entry(prefix + QString::number(i), QStringLiteral("http://x"))), 0)
                << opened.store->Error().toStdString();
    };
    std::thread one(writer, QStringLiteral("one"));
    std::thread two(writer, QStringLiteral("two"));
    one.join();
    two.join();
    HistoryStore::Opened opened = HistoryStore::Open(path);
    EXPECT_EQ(opened.store->List(QStringLiteral("one"), 0, 1000).size(), kRows);
    EXPECT_EQ(opened.store->List(QStringLiteral("two"), 0, 1000).size(), kRows);
}

TEST(History, WindowSearchesCopiesAndRemoves)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("history.sqlite"));
    {
        HistoryStore::Opened opened = HistoryStore::Open(path);
        // More than a page, so the list reads on as it scrolls.
        for (int i = 0; i < HistoryModel::kPageRows + 5; ++i) {
            HistoryEntry entry
                = Entry(QStringLiteral("pic%1.png").arg(i), QStringLiteral("http://h/%1").arg(i),
                    i == 1 ? QStringLiteral("http://h/delete/1") : QString());
            entry.preview.clear();
            opened.store->Add(entry);
        }
    }
    CHistoryWindow window(path, CodeType::BbLinks, QString(), {}, nullptr);
    QList<QUrl> opened;
    window.UrlOpener = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    QTreeView* list = window.List();
    HistoryModel* model = window.Model();
    EXPECT_EQ(model->rowCount(), HistoryModel::kPageRows);
    window.show();
    list->scrollToBottom();
    QCoreApplication::processEvents();
    EXPECT_EQ(model->rowCount(), HistoryModel::kPageRows + 5);

    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window.Search()->hasFocus());
    QTest::keyClicks(window.Search(), QStringLiteral("PIC1"));
    // pic1, pic10..19, pic100..199: newest first.
    ASSERT_EQ(model->rowCount(), 111);
    EXPECT_EQ(model->Entry(0).name, QStringLiteral("pic199.png"));
    QTest::keyClicks(window.Search(), QStringLiteral(".p"));
    ASSERT_EQ(model->rowCount(), 1);

    QTest::keyClick(window.Search(), Qt::Key_Down);
    EXPECT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("[url]http://h/1[/url]\r\n"));
    window.OpenDeletionAddress();
    window.OpenPicture();
    EXPECT_EQ(
        opened, QList<QUrl>({QUrl(QStringLiteral("http://h/delete/1")), QUrl(QStringLiteral("http://h/1"))}));

    window.Search()->clear();
    list->setFocus();
    list->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.CopyCode();
    // Two entries, in the order they went up.
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
        QStringLiteral("[url]http://h/203[/url]\r\n[url]http://h/204[/url]\r\n"));
    window.CopyAddresses();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://h/204\nhttp://h/203"));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(model->Entry(0).name, QStringLiteral("pic202.png"));
    // Gone from the file, not only from the list.
    HistoryStore::Opened again = HistoryStore::Open(path);
    EXPECT_EQ(again.store->List(QStringLiteral("pic204"), 0, 10).size(), 0);
    // A row written meanwhile (an upload running) comes in on top of the rows shown.
    const int rows = model->rowCount();
    again.store->Add(Entry(QStringLiteral("new.png"), QStringLiteral("http://h/new")));
    model->TakeNewer();
    EXPECT_EQ(model->rowCount(), rows + 1);
    EXPECT_EQ(model->Entry(0).name, QStringLiteral("new.png"));
    EXPECT_EQ(model->Entry(1).name, QStringLiteral("pic202.png"));

    {
        ModalAnswer no(QStringLiteral("Нет"));
        window.ClearAll();
        EXPECT_TRUE(no.Seen());
    }
    EXPECT_GT(model->rowCount(), 0);
    ModalAnswer yes(QStringLiteral("Да"));
    window.ClearAll();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_TRUE(again.store->List(QString(), 0, 10).isEmpty());
}
