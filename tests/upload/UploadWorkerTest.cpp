// SPDX-License-Identifier: MIT
// The whole walk against the local test host: pictures prepared, sent to each service, their own
// thumbnails sent after them, the addresses gathered and turned into code.
#include "upload/UploadWorker.h"
#include "imaging/TempFolder.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "tests/upload/WorkerTestSupport.h"
#include "upload/testhost/TestHost.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

namespace {

struct Source
{
    QString name;
    QByteArray bytes;
    QSize prepared; ///< the size within 400 x 300, proportions kept, truncated
};

QList<Source> ThreeSources()
{
    return {
        {QStringLiteral("wide.png"), PngOf(900, 600), QSize(400, 266)},
        {QStringLiteral("фото.jpg"), JpegOf(640, 480), QSize(400, 300)},
        {QStringLiteral("tall.png"), PngOf(300, 700), QSize(128, 300)},
    };
}

QString Address(const TestHost& host, const char* kind, int id)
{
    return QStringLiteral("http://%1/%2/%3").arg(host.HostText()).arg(QLatin1String(kind)).arg(id);
}

} // namespace

TEST(UploadWorker, ThreePicturesThroughEveryService)
{
    const QString summary
        = QStringLiteral("Закачка завершена. Всего 3 из 3 файлов было загружено. 0 ошибок.");
    for (int service = 0; service < 5; ++service) {
        for (const bool ownThumbs : {true, false}) {
            SCOPED_TRACE(testing::Message()
                << "service " << service << (ownThumbs ? ", own" : ", service's") << " thumbnails");
            TestDir dir;
            TestHost host;
            ASSERT_TRUE(host.Start());
            const QList<Source> sources = ThreeSources();
            QStringList files;
            for (const Source& source : sources)
                files << dir.write(source.name, source.bytes);
            UploadJob job = JobFor(host, service, files);
            job.main.Image.MaxWidth = 400;
            job.main.Image.MaxHeight = 300;
            job.main.Image.AddLogo = 0;
            job.main.Main.ThumbWidth = 120;
            job.main.Thumbs.UserServerThumbs = ownThumbs ? 0 : 1;

            RecordingListener listener;
            EXPECT_EQ(RunUpload(job, listener, nullptr, nullptr), 3);
            EXPECT_EQ(listener.finished, 1);
            EXPECT_TRUE(listener.completed);
            EXPECT_EQ(listener.summary, summary);
            EXPECT_EQ(listener.progress, QList<int>({0, 1, 2, 3}));
            EXPECT_EQ(listener.statuses,
                QStringList({"Uploading file 1 of 3 - \"wide.png\"", "Uploading file 2 of 3 - \"фото.jpg\"",
                    "Uploading file 3 of 3 - \"tall.png\""}));
            EXPECT_TRUE(listener.failures.isEmpty());

            // The service numbers what it stores from 1; own thumbnails are stored as pictures.
            QStringList images;
            QStringList thumbs;
            for (int i = 0; i < 3; ++i) {
                images << Address(host, "i", ownThumbs ? 2 * i + 1 : i + 1);
                thumbs << (ownThumbs ? Address(host, "i", 2 * i + 2) : Address(host, "t", i + 1));
            }
            ASSERT_EQ(listener.results.size(), 3);
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(listener.results[i].ImageUrl, images[i]);
                EXPECT_EQ(listener.results[i].ThumbUrl, thumbs[i]);
            }
            // What reached the server is byte for byte the prepared file in the temporary folder,
            // and the service stored exactly that.
            const QList<StoredUpload> sent = host.Uploads();
            ASSERT_EQ(sent.size(), ownThumbs ? 6 : 3);
            for (int k = 0; k < sent.size(); ++k) {
                SCOPED_TRACE(testing::Message() << "upload " << k + 1);
                const bool isThumb = ownThumbs && k % 2 == 1;
                const Source& source = sources[ownThumbs ? k / 2 : k];
                EXPECT_EQ(
                    TestDir::read(QDir(TestTemp()->Path()).filePath(QString::fromLatin1(sent[k].fileName))),
                    sent[k].bytes);
                const QImage decoded = QImage::fromData(sent[k].bytes, "JPEG");
                ASSERT_FALSE(decoded.isNull());
                if (isThumb) {
                    EXPECT_TRUE(sent[k].fileName.startsWith("thumb")) << sent[k].fileName.constData();
                    EXPECT_EQ(decoded.width(), 120);
                } else {
                    EXPECT_TRUE(sent[k].fileName.startsWith("image")) << sent[k].fileName.constData();
                    EXPECT_EQ(decoded.size(), source.prepared);
                }
                if (service == 1 || service == 2 || service == 4) {
                    EXPECT_EQ(sent[k].sizeField, isThumb ? "160" : "120");
                }
            }
        }
    }
}

TEST(UploadWorker, CallOrderOfARun)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    UploadJob job = JobFor(host, 2,
        {dir.write("a.png", PngOf(50, 40)), dir.file("gone.png"), dir.write("b.png", PngOf(60, 40))});
    RecordingListener listener;
    RunUpload(job, listener, nullptr, nullptr);
    EXPECT_EQ(listener.calls,
        QStringList({"range 3", "progress 0", "status 1", "result", "progress 1", "status 2", "failed 1",
            "progress 2", "status 3", "result", "progress 3", "finished"}));
}

TEST(UploadWorker, ThumbnailWidth)
{
    // Out-of-range settings fall back to 150.
    const std::pair<int, int> widths[]
        = {{0, 150}, {2000, 150}, {-5, 150}, {1025, 150}, {1024, 1024}, {160, 160}};
    for (const auto& [setting, width] : widths)
        EXPECT_EQ(EffectiveThumbWidth(setting), width) << setting;

    enum Thumbs { Own, Services, Off };
    struct Case
    {
        Thumbs thumbs;
        int setting;
        int width;
    };
    const Case cases[] = {{Own, 1025, 150}, {Services, 1024, 1024}, {Off, 160, 160}};
    TestDir dir;
    const QString file = dir.write(QStringLiteral("p.png"), PngOf(1200, 800));
    for (const Case& c : cases) {
        for (const int service : {1, 2, 4}) {
            SCOPED_TRACE(testing::Message() << "thumbnails " << c.thumbs << ", service " << service);
            TestHost host;
            ASSERT_TRUE(host.Start());
            UploadJob job = JobFor(host, service, {file});
            job.main.Main.ThumbWidth = c.setting;
            job.main.Thumbs.UserServerThumbs = c.thumbs == Services;
            job.main.Main.CreateThumbs = c.thumbs != Off;
            RecordingListener run;
            ASSERT_EQ(RunUpload(job, run, nullptr, nullptr), 1);
            ASSERT_EQ(run.results.size(), 1);
            EXPECT_FALSE(run.results[0].ImageUrl.isEmpty());

            // The service is always asked for the width, whoever makes the thumbnail.
            const QList<StoredUpload> sent = host.Uploads();
            ASSERT_EQ(sent.size(), c.thumbs == Own ? 2 : 1);
            EXPECT_EQ(sent[0].sizeField, QByteArray::number(c.width));
            switch (c.thumbs) {
            case Own: // our thumbnail has the width, and goes up itself asking for 160
                EXPECT_EQ(sent[1].sizeField, "160");
                EXPECT_EQ(QImage::fromData(sent[1].bytes).width(), c.width);
                break;
            case Services:
                EXPECT_EQ(run.results[0].ThumbUrl, Address(host, "t", 1));
                EXPECT_EQ(QImage::fromData(sent[0].thumb).width(), c.width);
                break;
            case Off: // no address kept
                EXPECT_TRUE(run.results[0].ThumbUrl.isEmpty());
                break;
            }
        }
    }
}
