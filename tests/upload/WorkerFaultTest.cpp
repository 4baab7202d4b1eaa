// SPDX-License-Identifier: MIT
// What goes wrong during a run: a refused file, a server that stops answering, a stop request,
// files that vanish or cannot be decoded, a service that does not exist.
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/upload/WorkerTestSupport.h"
#include "upload/testhost/TestHost.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono;

namespace {

QString Summary(int uploaded, int total)
{
    return QStringLiteral("Закачка завершена. Всего %1 из %2 файлов было загружено. %3 ошибок.")
        .arg(uploaded)
        .arg(total)
        .arg(total - uploaded);
}

QStringList WriteSources(const TestDir& dir, int count)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << dir.write(QStringLiteral("p%1.png").arg(i + 1), PngOf(40 + 10 * i, 30));
    return files;
}

// An uncompressed 24-bit BMP of w x h, padded with trailing bytes to `size` in all.
QByteArray Bmp(int w, int h, qint64 size)
{
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(quint32(size), bmp.data() + 2);
    qToLittleEndian<quint32>(54, bmp.data() + 10);
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(w, bmp.data() + 18);
    qToLittleEndian<qint32>(h, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);
    qToLittleEndian<quint16>(24, bmp.data() + 28);
    bmp.append(QByteArray(size - 54, '\x40'));
    return bmp;
}

} // namespace

TEST(WorkerFaults, RefusedFileIsCountedAndTheWalkGoesOn)
{
    struct Case
    {
        const char* what;
        TestHost::Fault fault;
        QString reason;
    };
    const Case cases[] = {
        {"server error", TestHost::Fault::ServerError, ""},
        {"connection closed", TestHost::Fault::Close, "the server closed the connection without an answer"},
    };
    for (const Case& c : cases) {
        for (const int service : {2, 4}) {
            SCOPED_TRACE(testing::Message() << c.what << ", service " << service);
            TestDir dir;
            TestHost host;
            ASSERT_TRUE(host.Start());
            host.SetUploadFault(2, c.fault);
            const QStringList files = WriteSources(dir, 3);
            UploadJob job = JobFor(host, service, files);
            // Sent as they are and without thumbnails, so the stored bytes name the file.
            job.main.Image.KeepAsIs = 1;
            job.main.Main.CreateThumbs = 0;

            RecordingListener listener;
            EXPECT_EQ(RunUpload(job, listener, nullptr, nullptr), 2);
            EXPECT_TRUE(listener.completed);
            EXPECT_EQ(listener.summary, Summary(2, 3));
            EXPECT_EQ(listener.progress, QList<int>({0, 1, 2, 3}));
            ASSERT_EQ(listener.failures.size(), 1);
            EXPECT_EQ(listener.failures[0].first, 1);
            if (!c.reason.isEmpty()) {
                EXPECT_EQ(listener.failures[0].second, c.reason);
            }
            ASSERT_EQ(listener.results.size(), 2);
            ASSERT_EQ(host.StoredCount(), 2);
            EXPECT_EQ(host.Uploads()[0].bytes, TestDir::read(files[0]));
            EXPECT_EQ(host.Uploads()[1].bytes, TestDir::read(files[2]));
            EXPECT_EQ(PostCount(host), 3);
        }
    }
}

TEST(WorkerFaults, FailedOwnThumbnailKeepsTheServicesThumbnail)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    host.SetUploadFault(2, TestHost::Fault::ServerError);
    RecordingListener listener;
    EXPECT_EQ(RunUpload(JobFor(host, 1, WriteSources(dir, 2)), listener, nullptr, nullptr), 2);
    ASSERT_EQ(listener.results.size(), 2);
    const QString base = QStringLiteral("http://") + host.HostText();
    // Upload 2 was the first file's thumbnail; the refused upload stored nothing.
    EXPECT_EQ(listener.results[0], UploadResult({base + "/i/1", base + "/t/1"}));
    EXPECT_EQ(listener.results[1], UploadResult({base + "/i/2", base + "/i/3"}));
    EXPECT_EQ(listener.summary, Summary(2, 2));
}

TEST(WorkerFaults, AbortEndsARunWhoseServerStoppedAnswering)
{
    for (const int service : {0, 4}) {
        SCOPED_TRACE(service);
        TestDir dir;
        TestHost host;
        ASSERT_TRUE(host.Start());
        host.SetSilentFrom(2);
        UploadJob job = JobFor(host, service, WriteSources(dir, 3));
        job.main.Main.CreateThumbs = 0;

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
        RecordingListener listener;
        const int uploaded = RunUpload(job, listener, &stop, &abort);
        const auto returned = steady_clock::now();
        pageThread.join();

        const auto reaction = duration_cast<milliseconds>(returned - abortAt);
        RecordProperty("abort_ms_service_" + std::to_string(service), int(reaction.count()));
        EXPECT_GE(reaction.count(), 0) << "ended before the abort";
        EXPECT_LT(reaction.count(), 350) << reaction.count() << " ms";
        EXPECT_EQ(uploaded, 1);
        EXPECT_EQ(listener.results.size(), 1);
        EXPECT_FALSE(listener.completed);
        EXPECT_TRUE(listener.summary.isEmpty());
        EXPECT_EQ(listener.finished, 1);
        EXPECT_EQ(listener.failures, (QList<std::pair<int, QString>>({{1, QStringLiteral("stopped")}})));
        EXPECT_EQ(listener.statuses.size(), 2);
        EXPECT_EQ(PostCount(host), 2);
    }
}

TEST(WorkerFaults, StopDuringTheSecondFileOfFive)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QStringList before = TempFiles();
    std::atomic<bool> stop {false};
    RecordingListener listener;
    listener.onStatus = [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Uploading file 2 of 5")))
            stop = true;
    };
    EXPECT_EQ(RunUpload(JobFor(host, 3, WriteSources(dir, 5)), listener, &stop, nullptr), 2);
    // The second file still went up with its own thumbnail and was recorded.
    EXPECT_EQ(listener.results.size(), 2);
    EXPECT_EQ(host.StoredCount(), 4);
    EXPECT_EQ(listener.progress, QList<int>({0, 1, 2}));
    EXPECT_EQ(listener.statuses.size(), 2);
    EXPECT_FALSE(listener.completed);
    EXPECT_TRUE(listener.summary.isEmpty());
    EXPECT_EQ(listener.calls.last(), QStringLiteral("finished"));
    // Two pictures and two thumbnails prepared; the third file was never touched.
    EXPECT_EQ(TempFiles().size() - before.size(), 4);
}

TEST(WorkerFaults, FilesThatCannotBePreparedOrSent)
{
    enum Kind { Broken, Deleted, Folder, Fifo, Big };
    struct Case
    {
        const char* what;
        Kind kind; ///< what file 2 of 3 is; Deleted: removed while the first file is on its way
        bool keepAsIs;
        int uploaded;
        QString reason;
    };
    const QString tooBig
        = QStringLiteral("the file to send is %1 bytes, more than the 5242880 bytes the services take")
              .arg(kMaxUploadBytes + 1);
    const Case cases[] = {
        {"deleted", Deleted, false, 2, "the file does not exist"},
        {"deleted, sent as is", Deleted, true, 2, "the file does not exist"},
        {"undecodable", Broken, false, 2, "the picture is cut short"},
        // A file sent as it is needs no decoding; the service takes whatever it gets.
        {"undecodable, sent as is", Broken, true, 3, ""},
        {"a folder named like a picture", Folder, false, 2, "it is a folder, not a picture"},
        {"a pipe named like a picture", Fifo, true, 2, "it is not a regular file"},
        // The limit is on what is sent: bounded, the same file is far below it.
        {"over 5 MB, sent as is", Big, true, 2, tooBig},
        {"over 5 MB, bounded", Big, false, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDir dir;
        TestHost host;
        ASSERT_TRUE(host.Start());
        QStringList files = WriteSources(dir, 3);
        switch (c.kind) {
        case Folder:
            files[1] = dir.file(QStringLiteral("folder.jpg"));
            ASSERT_TRUE(QDir().mkdir(files[1]));
            break;
        case Fifo:
            files[1] = dir.file(QStringLiteral("pipe.jpg"));
            ASSERT_EQ(::mkfifo(QFile::encodeName(files[1]).constData(), 0600), 0);
            break;
        case Big: // a BMP whose header and size agree, one byte over the limit with its padding
            files[1] = dir.write(QStringLiteral("big.bmp"), Bmp(1024, 1280, kMaxUploadBytes + 1));
            break;
        default:
            files[1] = dir.write(QStringLiteral("broken.jpg"), "\xFF\xD8\xFF\xE0 not a picture at all");
        }
        UploadJob job = JobFor(host, 2, files);
        job.main.Image.KeepAsIs = c.keepAsIs ? 1 : 0;
        job.main.Image.MaxWidth = 800;
        job.main.Main.CreateThumbs = 0;
        RecordingListener listener;
        listener.onStatus = [&](const QString& text) {
            if (c.kind == Deleted && text.startsWith(QStringLiteral("Uploading file 1 ")))
                QFile::remove(files[1]);
        };
        EXPECT_EQ(RunUpload(job, listener, nullptr, nullptr), c.uploaded);
        EXPECT_EQ(listener.summary, Summary(c.uploaded, 3));
        EXPECT_EQ(listener.progress.last(), 3);
        EXPECT_EQ(PostCount(host), c.uploaded);
        if (c.uploaded == 2) {
            EXPECT_EQ(listener.failures, (QList<std::pair<int, QString>>({{1, c.reason}})));
        } else {
            EXPECT_TRUE(listener.failures.isEmpty());
        }
    }
}

TEST(WorkerFaults, UnknownServiceUploadsNothing)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QStringList files = WriteSources(dir, 2);
    const QStringList before = TempFiles();
    for (const int service : {5, -1, 1000}) {
        SCOPED_TRACE(service);
        RecordingListener listener;
        EXPECT_EQ(RunUpload(JobFor(host, service, files), listener, nullptr, nullptr), 0);
        EXPECT_EQ(listener.calls, QStringList({"engine failure", "finished"}));
        EXPECT_FALSE(listener.completed);
    }
    EXPECT_TRUE(host.Requests().isEmpty());
    EXPECT_EQ(TempFiles(), before);
}

TEST(WorkerFaults, EmptyListStillEndsWithASummary)
{
    TestHost host;
    ASSERT_TRUE(host.Start());
    RecordingListener listener;
    EXPECT_EQ(RunUpload(JobFor(host, 0, {}), listener, nullptr, nullptr), 0);
    EXPECT_EQ(listener.calls, QStringList({"range 0", "progress 0", "finished"}));
    EXPECT_TRUE(listener.completed);
    EXPECT_EQ(listener.summary, Summary(0, 0));
}
