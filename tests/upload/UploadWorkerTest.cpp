// SPDX-License-Identifier: MIT
// The whole walk against the local test host: pictures prepared and sent, own thumbnails after
// them, the addresses gathered; then a refused file, a server that stops answering, a stop
// request, files that vanish or cannot be decoded.
#include "upload/UploadWorker.h"
#include "history/HistoryLog.h"
#include "history/HistoryStore.h"
#include "imaging/TempFolder.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/PhotoFiles.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/PrepareAhead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace std::chrono;

namespace {

using Failures = QList<std::pair<int, QString>>;

// Keeps every report of a run, and the order of the calls as short words.
struct Recorder : UploadListener
{
    void OnProgressRange(int count) override { calls << QStringLiteral("range %1").arg(count); }
    void OnProgress(int position) override
    {
        calls << QStringLiteral("progress %1").arg(position);
        progress << position;
    }
    void OnStatus(const QString& text) override
    {
        calls << QStringLiteral("status %1").arg(statuses.size() + 1);
        statuses << text;
        if (onStatus)
            onStatus(text);
    }
    void OnResult(const UploadResult& result) override
    {
        calls << QStringLiteral("result");
        results << result;
    }
    void OnEngineFailure() override { calls << QStringLiteral("engine failure"); }
    void OnFinished(bool done, const QString& text) override
    {
        calls << QStringLiteral("finished");
        completed = done;
        summary = text;
    }
    void OnFileFailed(int index, const QString& reason) override
    {
        calls << QStringLiteral("failed %1").arg(index);
        failures.append({index, reason});
    }
    void OnLocationKept(const QStringList& names) override { calls << "location " + names.join(u' '); }

    QStringList calls; ///< "range 3", "progress 1", "status 2", "result", "failed 1", "finished"...
    QList<int> progress;
    QStringList statuses;
    QList<UploadResult> results;
    Failures failures;
    bool completed = false;
    QString summary;
    /// Runs inside OnStatus, on the worker's thread, for tests that act during a file.
    std::function<void(const QString&)> onStatus;
};

// A job for service `serverId` at `host` with the defaults of the settings record.
UploadJob JobFor(const TestHost& host, int serverId, const QStringList& files)
{
    UploadJob job;
    job.files = files;
    job.main.Main.ServerID = ServiceId(serverId);
    job.servers.Host.fill(host.HostText());
    job.temp = TestTemp();
    return job;
}

// Every file was tried, and the run said so once, last.
void ExpectCompleted(const Recorder& run, int uploaded, int total)
{
    EXPECT_EQ(run.calls.count(QStringLiteral("finished")), 1);
    EXPECT_EQ(run.calls.last(), QStringLiteral("finished"));
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(run.summary,
        QStringLiteral("Закачка завершена. Всего %1 из %2 файлов было загружено. %3 ошибок.")
            .arg(uploaded)
            .arg(total)
            .arg(total - uploaded));
}

QStringList WriteSources(const TestDir& dir, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << dir.write(QStringLiteral("p%1.png").arg(i + 1), PngOf(40 + 10 * i, 30));
    return files;
}

} // namespace

// How each service answers is the exchange's; here one of the five, with a size field.
TEST(UploadWorker, ThreePicturesPreparedAndSentWithTheirThumbnails)
{
    enum Thumbs { Own, Services, Off };
    // The width asked of the service and given to own thumbnails: below 1 or above 1024, 150 instead.
    // Whose thumbnails, the width setting and the width used.
    const std::tuple<Thumbs, int, int> modes[] = {{Own, 0, 150}, {Services, 1024, 1024}, {Off, 1025, 150}};
    const struct
    {
        QString name;
        QByteArray bytes;
        QSize prepared; ///< within 400 x 300, proportions kept, truncated
    } sources[] = {
        {QStringLiteral("wide.png"), PngOf(900, 600), QSize(400, 266)},
        {QStringLiteral("фото.jpg"), JpegOf(640, 480), QSize(400, 300)},
        {QStringLiteral("tall.png"), PngOf(300, 700), QSize(128, 300)},
    };
    for (const auto& [thumbs, setting, width] : modes) {
        SCOPED_TRACE(testing::Message() << "thumbnails " << thumbs);
        TestDir dir;
        TestHost host;
        ASSERT_TRUE(host.Start());
        QStringList files;
        for (const auto& source : sources)
            files << dir.write(source.name, source.bytes);
        UploadJob job = JobFor(host, 1, files);
        job.main.Image.MaxWidth = 400;
        job.main.Image.MaxHeight = 300;
        job.main.Image.AddLogo = false;
        job.main.Main.ThumbWidth = setting;
        job.main.Main.CreateThumbs = thumbs != Off;
        job.main.Thumbs.UserServerThumbs = thumbs == Services;

        Recorder run;
        EXPECT_EQ(RunUpload(job, run, nullptr, nullptr), 3);
        ExpectCompleted(run, 3, 3);
        EXPECT_TRUE(run.failures.isEmpty());

        // The service numbers what it stores from 1; own thumbnails are stored as pictures, and
        // with thumbnails off no address is kept although the service gave one.
        const bool own = thumbs == Own;
        ASSERT_EQ(run.results.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString thumb = thumbs == Off ? QString()
                : own                           ? StoredAddress(host, 'i', 2 * i + 2)
                                                : StoredAddress(host, 't', i + 1);
            EXPECT_EQ(
                run.results[i], UploadResult({StoredAddress(host, 'i', own ? 2 * i + 1 : i + 1), thumb}));
        }
        // What reached the server is byte for byte the prepared file in the temporary folder.
        const QList<StoredUpload> sent = host.Uploads();
        ASSERT_EQ(sent.size(), own ? 6 : 3);
        for (int k = 0; k < sent.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "upload " << k + 1);
            const bool isThumb = own && k % 2 == 1;
            const QString name = QString::fromLatin1(sent[k].fileName);
            EXPECT_EQ(TestDir::read(QDir(TestTemp()->Path()).filePath(name)), sent[k].bytes);
            EXPECT_TRUE(name.startsWith(isThumb ? "thumb" : "image")) << name.toStdString();
            // A thumbnail has the width; a picture the size of its source, bounded.
            const QSize size = QImage::fromData(sent[k].bytes, "JPEG").size();
            EXPECT_EQ(size, isThumb ? QSize(width, size.height()) : sources[own ? k / 2 : k].prepared);
            EXPECT_EQ(sent[k].sizeField, isThumb ? "160" : QByteArray::number(width));
        }
    }
}

TEST(UploadWorker, CallOrderOfARun)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QStringList files
        = {dir.write("a.png", PngOf(50, 40)), dir.file("gone.png"), dir.write("b.png", PngOf(60, 40))};
    const int tempBefore = FileCount(TestTemp()->Path());
    // A number no service has: nothing is prepared, nothing sent.
    for (const int service : {5, -1, 1000}) {
        SCOPED_TRACE(service);
        Recorder run;
        EXPECT_EQ(RunUpload(JobFor(host, service, files), run, nullptr, nullptr), 0);
        EXPECT_EQ(run.calls, QStringList({"engine failure", "finished"}));
        EXPECT_FALSE(run.completed);
    }
    EXPECT_TRUE(host.Requests().isEmpty());
    EXPECT_EQ(FileCount(TestTemp()->Path()), tempBefore);

    Recorder empty;
    EXPECT_EQ(RunUpload(JobFor(host, 0, {}), empty, nullptr, nullptr), 0);
    EXPECT_EQ(empty.calls, QStringList({"range 0", "progress 0", "finished"}));
    ExpectCompleted(empty, 0, 0);

    // Upload 2, the first file's own thumbnail, is refused: the service's thumbnail stays, and the
    // refused upload stored nothing.
    host.SetUploadFault(2, TestHost::Fault::ServerError);
    Recorder run;
    EXPECT_EQ(RunUpload(JobFor(host, 2, files), run, nullptr, nullptr), 2);
    EXPECT_EQ(run.calls,
        QStringList({"range 3", "progress 0", "status 1", "result", "progress 1", "status 2", "failed 1",
            "progress 2", "status 3", "result", "progress 3", "finished"}));
    EXPECT_EQ(run.statuses.value(1), "Uploading file 2 of 3 - \"gone.png\"");
    ExpectCompleted(run, 2, 3);
    EXPECT_EQ(run.results,
        QList<UploadResult>({{StoredAddress(host, 'i', 1), StoredAddress(host, 't', 1)},
            {StoredAddress(host, 'i', 2), StoredAddress(host, 'i', 3)}}));

    // A stop during the first file lets it go up with its own thumbnail; what was prepared ahead
    // is removed, and nothing more is sent.
    std::atomic<bool> stop {false};
    Recorder stopped;
    stopped.onStatus = [&](const QString&) { stop = true; };
    const int stored = host.StoredCount();
    const int temp = FileCount(TestTemp()->Path());
    EXPECT_EQ(RunUpload(JobFor(host, 3, files), stopped, &stop, nullptr), 1);
    EXPECT_EQ(stopped.calls,
        QStringList({"range 3", "progress 0", "status 1", "result", "progress 1", "finished"}));
    EXPECT_FALSE(stopped.completed);
    EXPECT_EQ(host.StoredCount() - stored, 2);
    EXPECT_EQ(FileCount(TestTemp()->Path()) - temp, 2);
}

TEST(WorkerFaults, AFileThatFailsIsCountedAndTheWalkGoesOn)
{
    enum Kind { ServerError, Closed, Broken, Deleted, BigFile, BigPicture, Located };
    struct Case
    {
        const char* what;
        Kind kind; ///< what file 2 of 3 meets; Deleted: removed while the first file is on its way
        bool keepAsIs;
        int uploaded;
        QString reason;
    };
    const QString tooBig
        = QStringLiteral("the file to send is %1 bytes, more than the 5242880 bytes the services take")
              .arg(kMaxUploadBytes + 1);
    const Case cases[] = {
        // Service 4 then asks for its page anyway, and finds none.
        {"server error", ServerError, true, 2, "no addresses in the answer"},
        {"connection closed", Closed, true, 2, "the server closed the connection without an answer"},
        {"deleted", Deleted, false, 2, "the file does not exist"},
        {"deleted, sent as is", Deleted, true, 2, "the file does not exist"},
        {"undecodable", Broken, false, 2, "the picture is cut short"},
        // A file sent as it is needs no decoding; the service takes whatever it gets. Why the
        // preparation refuses a file is its own test's; here that the reason is passed on.
        {"undecodable, sent as is", Broken, true, 3, ""},
        // The limit is on what is sent: bounded, a picture far over it goes up.
        {"over 5 MB, sent as is", BigFile, true, 2, tooBig},
        {"over 5 MB, bounded", BigPicture, false, 3, ""},
        // Its location cannot be taken out: it goes, and the run says so once, before it ends.
        {"a HEIC with its location, sent as is", Located, true, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDir dir;
        TestHost host;
        ASSERT_TRUE(host.Start());
        QStringList files = WriteSources(dir, 3);
        switch (c.kind) {
        case ServerError:
        case Closed:
            host.SetUploadFault(2, c.kind == Closed ? TestHost::Fault::Close : TestHost::Fault::ServerError);
            break;
        case BigFile: // one byte over the limit
            files[1] = WriteSizedFile(dir.path(), QStringLiteral("big.jpg"), kMaxUploadBytes + 1);
            break;
        case BigPicture:
            files[1] = dir.write(QStringLiteral("big.bmp"), Encode(Gradient(1400, 1300), "BMP"));
            ASSERT_GT(QFileInfo(files[1]).size(), kMaxUploadBytes);
            break;
        case Located:
            files[1]
                = dir.write(QStringLiteral("phone.heic"), HeifOf(Gradient(64, 48), false, LocationTags()));
            break;
        default:
            files[1] = dir.write(QStringLiteral("broken.jpg"), "\xFF\xD8\xFF\xE0 not a picture at all");
        }
        UploadJob job = JobFor(host, c.kind == ServerError ? 4 : 2, files);
        // Read ahead, a file deleted during the upload before it would already be prepared.
        job.jobs = c.kind == Deleted ? 1 : 0;
        job.main.Image.KeepAsIs = c.keepAsIs;
        job.main.Image.MaxWidth = 800;
        job.main.Main.CreateThumbs = false;
        Recorder run;
        run.onStatus = [&](const QString& text) {
            if (c.kind == Deleted && text.startsWith(QStringLiteral("Uploading file 1 ")))
                QFile::remove(files[1]);
        };
        EXPECT_EQ(RunUpload(job, run, nullptr, nullptr), c.uploaded);
        ExpectCompleted(run, c.uploaded, 3);
        EXPECT_EQ(run.progress, QList<int>({0, 1, 2, 3}));
        EXPECT_EQ(run.results.size(), c.uploaded);
        EXPECT_EQ(run.failures, c.uploaded == 3 ? Failures() : Failures({{1, c.reason}}));
        // Only what the server refused was sent; the rest was refused before a request.
        EXPECT_EQ(PostCount(host), c.kind <= Closed ? 3 : c.uploaded);
        // Metadata that cannot be read cannot be cleared of a location either.
        const QStringList located = c.kind == Located ? QStringList {"location phone.heic", "finished"}
            : c.kind == Broken && c.keepAsIs          ? QStringList {"location broken.jpg", "finished"}
                                                      : QStringList {"finished"};
        EXPECT_EQ(run.calls.mid(run.calls.size() - located.size()), located);
    }
}

TEST(WorkerFaults, AbortEndsARunWhoseServerStoppedAnswering)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    host.SetSilentFrom(2);
    UploadJob job = JobFor(host, 4, WriteSources(dir, 3));
    job.main.Main.CreateThumbs = false;

    std::atomic<bool> stop {false};
    std::atomic<bool> abort {false};
    steady_clock::time_point abortAt;
    std::thread pageThread([&] {
        // The page asks first, then ends the transfer when the countdown runs out.
        while (PostCount(host) < 2)
            std::this_thread::sleep_for(milliseconds(10));
        stop = true;
        std::this_thread::sleep_for(milliseconds(330));
        abortAt = steady_clock::now();
        abort = true;
    });
    Recorder run;
    const int uploaded = RunUpload(job, run, &stop, &abort);
    const auto returned = steady_clock::now();
    pageThread.join();

    const auto reaction = duration_cast<milliseconds>(returned - abortAt);
    RecordProperty("abort_ms", int(reaction.count()));
    EXPECT_GE(reaction.count(), 0) << "ended before the abort";
    EXPECT_LT(reaction.count(), 350) << reaction.count() << " ms";
    EXPECT_EQ(uploaded, 1);
    EXPECT_EQ(run.results.size(), 1);
    EXPECT_FALSE(run.completed);
    EXPECT_TRUE(run.summary.isEmpty());
    EXPECT_EQ(run.calls.count(QStringLiteral("finished")), 1);
    EXPECT_EQ(run.failures, Failures({{1, QStringLiteral("stopped")}}));
    EXPECT_EQ(run.statuses.size(), 2);
    EXPECT_EQ(PostCount(host), 2);
}

TEST(UploadWorker, HistoryRowsFileByFileKeptAfterAStop)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    std::atomic<bool> stop {false};
    Recorder run;
    // Each file's row is written as soon as its answer is read, not when the run ends.
    const QString historyPath = dir.file(QStringLiteral("history.sqlite"));
    auto history = std::make_shared<HistoryLog>(historyPath);
    const auto rows = [&] {
        history->Flush();
        return HistoryStore::Open(historyPath).store->List(QString(), 0, 10);
    };
    int rowsAtSecond = -1;
    run.onStatus = [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Uploading file 2 of 5"))) {
            stop = true;
            rowsAtSecond = int(rows().size());
        }
    };
    UploadJob job = JobFor(host, 3, WriteSources(dir, 5));
    WriteFile(job.files[1], PngOf(300, 200));
    job.log = history;
    EXPECT_EQ(RunUpload(job, run, &stop, nullptr), 2);
    EXPECT_EQ(rowsAtSecond, 1);
    const QList<HistoryEntry> kept = rows();
    ASSERT_EQ(kept.size(), 2);
    // Previews fit into 96 x 96 and are never enlarged.
    const QSize pixels[] = {{40, 30}, {300, 200}};
    const QSize previews[] = {{40, 30}, {96, 64}};
    for (int i = 0; i < 2; ++i) {
        const HistoryEntry& entry = kept[1 - i];
        EXPECT_EQ(entry.addresses, run.results[i]);
        EXPECT_EQ(entry.source, job.files[i]);
        EXPECT_EQ(entry.service, QStringLiteral("Smages"));
        EXPECT_EQ(entry.pixels, pixels[i]);
        const QByteArray jpeg = HistoryStore::Open(historyPath).store->Preview(entry.id);
        EXPECT_EQ(QImage::fromData(jpeg, "JPEG").size(), previews[i]);
    }
    EXPECT_EQ(host.StoredCount(), 4);

    // Off: nothing more is kept.
    job.main.History.Keep = false;
    std::atomic<bool> go {false};
    Recorder off;
    EXPECT_EQ(RunUpload(job, off, &go, nullptr), 5);
    EXPECT_EQ(rows().size(), 2);
}

TEST(PrepareAhead, OrderWindowAndStop)
{
    // Later files finish first; they still come out in list order, never more than `jobs` at once,
    // and never more than four per job beyond the one taken are prepared or waiting.
    const QStringList files = {"a", "b", "c", "d", "e", "f", "g"};
    for (const int jobs : {1, 2, 4}) {
        SCOPED_TRACE(jobs);
        std::mutex mutex;
        int running = 0, maxRunning = 0, taken = 0, maxAhead = 0;
        QStringList started;
        CPrepareAhead ahead(files, jobs, [&](const QString& source) {
            {
                const std::lock_guard lock(mutex);
                started << source;
                maxRunning = std::max(maxRunning, ++running);
                maxAhead = std::max(maxAhead, int(started.size()) - taken);
            }
            // The first ones wait for each other, so that a loaded machine still shows them overlap.
            for (int wait = 0; wait < 2000; ++wait) {
                if (const std::lock_guard lock(mutex); started.size() >= jobs)
                    break;
                std::this_thread::sleep_for(milliseconds(1));
            }
            std::this_thread::sleep_for(milliseconds(2 * ('h' - source[0].toLatin1())));
            const std::lock_guard lock(mutex);
            --running;
            return PreparedImage {source + ".out", {}, {}};
        });
        QStringList out;
        for (int i = 0; i < files.size(); ++i) {
            out << ahead.Take(i).path;
            const std::lock_guard lock(mutex);
            taken = i + 1;
        }
        EXPECT_EQ(out, QStringList({"a.out", "b.out", "c.out", "d.out", "e.out", "f.out", "g.out"}));
        EXPECT_EQ(started.size(), files.size()) << "each file prepared once";
        EXPECT_EQ(maxRunning, jobs);
        EXPECT_LE(maxAhead, 4 * jobs + 1);
    }

    // A stop lets no new preparation start; what was prepared ahead and never taken is removed.
    TestDir dir;
    std::atomic<bool> stop {false};
    std::atomic<int> calls {0};
    QStringList many;
    for (char c = 'a'; c <= 'z'; ++c)
        many << QString(QChar(c));
    {
        CPrepareAhead ahead(
            many, 2,
            [&](const QString& source) {
                ++calls;
                // The others run ahead while b, the slow one, takes its time and then asks to stop.
                std::this_thread::sleep_for(milliseconds(source == "b" ? 200 : 5));
                if (source == "b")
                    stop = true;
                return PreparedImage {dir.write(source + ".jpg", "x"), dir.write(source + "-t.jpg", "t"), {}};
            },
            &stop);
        EXPECT_EQ(ahead.Take(0).path, dir.file("a.jpg"));
        EXPECT_EQ(ahead.Take(1).path, dir.file("b.jpg"));
    }
    EXPECT_LE(calls, 10) << "a and b taken, eight prepared ahead at most, the rest never started";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"a-t.jpg", "a.jpg", "b-t.jpg", "b.jpg"}));
    // Stopped before anything started: the file the caller asks for is still prepared, inline.
    stop = true;
    calls = 0;
    CPrepareAhead stopped(
        files, 4,
        [&](const QString& source) {
            ++calls;
            return PreparedImage {source, {}, {}};
        },
        &stop);
    EXPECT_EQ(stopped.Take(0).path, "a");
    EXPECT_EQ(calls, 1);
}
