// SPDX-License-Identifier: MIT
// The upload history at the size a long-time user reaches: how long the window takes to open the
// file, to show its first screen (a page of rows and the previews in sight) and to answer a search
// as the user types, and how many bytes a row costs on disk.
#include "bench/support/BenchRun.h"
#include "history/HistoryStore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {

constexpr int kPageRows = 200; // as the window reads
constexpr int kPreviewsInSight = 20;
constexpr double kTargetMs = 50;

QByteArray SamplePreview()
{
    QImage image(96, 72, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 96, 72);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    painter.drawEllipse(20, 10, 50, 50);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return jpeg;
}

HistoryEntry EntryNumber(int n, const QByteArray& preview)
{
    HistoryEntry entry;
    entry.time = QDateTime::fromSecsSinceEpoch(1700000000 + qint64(n) * 60, Qt::UTC);
    entry.name
        = QStringLiteral("IMG_2024%1_%2.jpg").arg(n % 1231, 4, 10, QChar(u'0')).arg(n, 6, 10, QChar(u'0'));
    entry.source = QStringLiteral("/home/user/Изображения/Поездка %1/").arg(n / 500) + entry.name;
    entry.size = 180000 + n % 90000;
    entry.pixels = QSize(1600, 1200);
    entry.service = QStringLiteral("catbox.moe");
    const QString key = QString::number(qint64(n) * 2654435761 % 1000000007, 36);
    entry.addresses = {QStringLiteral("https://files.catbox.moe/%1.jpg").arg(key),
        QStringLiteral("https://files.catbox.moe/%1t.jpg").arg(key),
        QStringLiteral("https://catbox.moe/user/delete.php?file=%1&key=%2").arg(key, key + key)};
    entry.preview = preview;
    return entry;
}

double Ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void Report(const char* what, double ms)
{
    std::printf("%-44s %8.2f ms  %s\n", what, ms, ms < kTargetMs ? "ok" : "OVER 50 ms");
}

} // namespace

int main(int argc, char** argv)
{
    const BenchRun scratch(argc, argv, "history-bench");
    if (!scratch.ok())
        return 1;
    int rows = 100000;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype at = args.indexOf(QStringLiteral("--rows")); at > 0 && at + 1 < args.size())
        rows = qMax(1, args[at + 1].toInt());
    const QString path = scratch.FilePath(QStringLiteral("vellmar/history.sqlite"));

    const QByteArray preview = SamplePreview();
    QElapsedTimer timer;
    timer.start();
    {
        HistoryStore::Opened opened = HistoryStore::Open(path);
        if (!opened.store) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(opened.notice));
            return 1;
        }
        // Row by row, each in its own transaction, as uploads write them.
        for (int n = 1; n <= rows; ++n)
            if (!opened.store->Add(EntryNumber(n, preview))) {
                std::fprintf(stderr, "row %d: %s\n", n, qPrintable(opened.store->Error()));
                return 1;
            }
    }
    std::printf("%d rows written one transaction each in %.1f s (%.0f µs a row)\n", rows, Ms(timer) / 1000,
        Ms(timer) * 1000 / rows);
    // The last connection closing folds the log into the file: its size is the history's.
    const qint64 bytes = QFileInfo(path).size();
    std::printf("file: %.1f MiB, %.0f bytes a row (a %lld-byte preview included)\n",
        double(bytes) / (1 << 20), double(bytes) / rows, qint64(preview.size()));

    timer.restart();
    HistoryStore::Opened opened = HistoryStore::Open(path);
    Report("open", Ms(timer));
    HistoryStore& store = *opened.store;

    timer.restart();
    const QList<HistoryEntry> first = store.List(QString(), 0, kPageRows);
    for (int i = 0; i < kPreviewsInSight && i < first.size(); ++i)
        store.Preview(first[i].id);
    Report("first screen (200 rows, 20 previews)", Ms(timer));

    timer.restart();
    store.List(QString(), first.last().id, kPageRows);
    Report("next page while scrolling", Ms(timer));

    // As typed: each keystroke runs the search again; the rarer the text, the more rows it reads.
    const HistoryEntry oldest = EntryNumber(1, {});
    const std::pair<const char*, QString> searches[] = {
        {"search \"i\" (every row matches)", QStringLiteral("i")},
        {"search \"img_2024\" (every row)", QStringLiteral("img_2024")},
        {"search \"_0123\" (about 1 row in 1000)", QStringLiteral("_0123")},
        {"search a whole address (one row, the oldest)", oldest.addresses.ImageUrl},
        {"search \"ПОЕЗДКА 7\" (case folded, none in names)", QStringLiteral("ПОЕЗДКА 7")},
        {"search \"zzzz-none\" (no row: the whole file)", QStringLiteral("zzzz-none")},
    };
    for (const auto& [what, text] : searches) {
        timer.restart();
        const QList<HistoryEntry> found = store.List(text, 0, kPageRows);
        const double ms = Ms(timer);
        std::printf("  %d found  ", int(found.size()));
        Report(what, ms);
    }
    return 0;
}
