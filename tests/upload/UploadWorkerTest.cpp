// SPDX-License-Identifier: MIT
// The whole walk against the local test host: pictures prepared, sent to each service, their own
// thumbnails sent after them, the addresses gathered and turned into code.
#include "imaging/TempFolder.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestSupport.h"
#include "tests/upload/WorkerTestSupport.h"
#include "upload/CodeGenerator.h"
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
        {QStringLiteral("wide.png"), SamplePng(900, 600), QSize(400, 266)},
        {QStringLiteral("фото.jpg"), SampleJpeg(640, 480), QSize(400, 300)},
        {QStringLiteral("tall.png"), SamplePng(300, 700), QSize(128, 300)},
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
            EXPECT_EQ(GenerateCode(listener.results, 0, 2, {}),
                "[url=" + images[0] + "][img]" + thumbs[0] + "[/img][/url]  [url=" + images[1] + "][img]"
                    + thumbs[1] + "[/img][/url]\r\n\r\n[url=" + images[2] + "][img]" + thumbs[2]
                    + "[/img][/url]  ");
            EXPECT_EQ(GenerateCode(listener.results, 5, 2, CodeTemplate {"<p>", "</p>"}),
                "<p><center><a href=\"" + images[0] + "\"><img src=\"" + thumbs[0]
                    + "\" border=0></a>&nbsp;&nbsp;" + "<a href=\"" + images[1] + "\"><img src=\"" + thumbs[1]
                    + "\" border=0></a><br>&nbsp;<br>" + "<a href=\"" + images[2] + "\"><img src=\""
                    + thumbs[2] + "\" border=0></a>&nbsp;&nbsp;</center></p>");

            // What reached the server is byte for byte the prepared file in the temporary folder,
            // and the service stored exactly that.
            const QList<SentUpload> sent = SentUploads(host);
            ASSERT_EQ(sent.size(), ownThumbs ? 6 : 3);
            for (int k = 0; k < sent.size(); ++k) {
                SCOPED_TRACE(testing::Message() << "upload " << k + 1);
                const bool isThumb = ownThumbs && k % 2 == 1;
                const Source& source = sources[ownThumbs ? k / 2 : k];
                EXPECT_EQ(
                    TestDir::read(QDir(TestTemp()->Path()).filePath(QString::fromLatin1(sent[k].fileName))),
                    sent[k].data);
                EXPECT_EQ(Fetch(Address(host, "i", k + 1)).body, sent[k].data);
                const QImage decoded = QImage::fromData(sent[k].data, "JPEG");
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
        {dir.write("a.png", SamplePng(50, 40)), dir.file("gone.png"), dir.write("b.png", SamplePng(60, 40))});
    RecordingListener listener;
    RunUpload(job, listener, nullptr, nullptr);
    EXPECT_EQ(listener.calls,
        QStringList({"range 3", "progress 0", "status 1", "result", "progress 1", "status 2", "failed 1",
            "progress 2", "status 3", "result", "progress 3", "finished"}));
}

TEST(UploadWorker, ThumbnailWidthRule)
{
    struct Case
    {
        int setting;
        int width;
    };
    const Case cases[] = {{0, 150}, {2000, 150}, {-5, 150}, {1025, 150}, {1024, 1024}, {160, 160}};
    TestDir dir;
    const QString file = dir.write(QStringLiteral("p.png"), SamplePng(1200, 800));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        EXPECT_EQ(EffectiveThumbWidth(c.setting), c.width);
        for (const int service : {1, 2, 4}) {
            SCOPED_TRACE(service);
            const QByteArray asked = QByteArray::number(c.width);

            // Own thumbnails: the service is asked for the width, the thumbnail has it, and the
            // thumbnail itself goes up with 160.
            TestHost own;
            ASSERT_TRUE(own.Start());
            UploadJob job = JobFor(own, service, {file});
            job.main.Main.ThumbWidth = c.setting;
            RecordingListener ownRun;
            ASSERT_EQ(RunUpload(job, ownRun, nullptr, nullptr), 1);
            QList<SentUpload> sent = SentUploads(own);
            ASSERT_EQ(sent.size(), 2);
            EXPECT_EQ(sent[0].sizeField, asked);
            EXPECT_EQ(sent[1].sizeField, "160");
            EXPECT_EQ(QImage::fromData(sent[1].data).width(), c.width);

            // The service's thumbnails: one upload, and the service's thumbnail has the width.
            TestHost theirs;
            ASSERT_TRUE(theirs.Start());
            job = JobFor(theirs, service, {file});
            job.main.Main.ThumbWidth = c.setting;
            job.main.Thumbs.UserServerThumbs = 1;
            RecordingListener theirRun;
            ASSERT_EQ(RunUpload(job, theirRun, nullptr, nullptr), 1);
            sent = SentUploads(theirs);
            ASSERT_EQ(sent.size(), 1);
            EXPECT_EQ(sent[0].sizeField, asked);
            ASSERT_EQ(theirRun.results.size(), 1);
            EXPECT_EQ(QImage::fromData(Fetch(theirRun.results[0].ThumbUrl).body).width(), c.width);

            // Thumbnails off: the service is still asked for the width, but no address is kept.
            TestHost off;
            ASSERT_TRUE(off.Start());
            job = JobFor(off, service, {file});
            job.main.Main.ThumbWidth = c.setting;
            job.main.Main.CreateThumbs = 0;
            RecordingListener offRun;
            ASSERT_EQ(RunUpload(job, offRun, nullptr, nullptr), 1);
            sent = SentUploads(off);
            ASSERT_EQ(sent.size(), 1);
            EXPECT_EQ(sent[0].sizeField, asked);
            ASSERT_EQ(offRun.results.size(), 1);
            EXPECT_FALSE(offRun.results[0].ImageUrl.isEmpty());
            EXPECT_TRUE(offRun.results[0].ThumbUrl.isEmpty());
        }
    }
}
