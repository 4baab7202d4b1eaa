// SPDX-License-Identifier: MIT
// What each engine puts on the wire, compared byte for byte with a request built here from
// the services' tables: request line, headers in order, every form part and the file.
#include "app/core/TickCount.h"
#include "testhost/ServiceForms.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/MultipartForm.h"
#include "upload/UploadEngine.h"

#include <QRegularExpression>
#include <climits>
#include <gtest/gtest.h>

namespace {

QByteArray ExpectedPost(const ServiceForm& service, const QByteArray& host, const QByteArray& boundary,
    int thumbSize, const QByteArray& fileName, const QByteArray& file)
{
    QByteArray body;
    for (const auto& [name, value] : service.fields) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n"
            + (value == "%size" ? QByteArray::number(thumbSize) : value) + "\r\n";
    }
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + service.fileField
        + "\"; filename=\"" + fileName + "\"\r\nContent-Type: image/jpeg\r\n\r\n" + file + "\r\n--" + boundary
        + "--\r\n";

    // curl puts Host and User-Agent first and Content-Length last; the lines between are ours.
    QByteArray head
        = "POST " + service.path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + service.agent + "\r\n";
    for (const QByteArray& line : service.headers)
        head += (line == "%referer" ? "Referer: http://" + host + "/" : line) + "\r\n";
    head += "Content-Type: multipart/form-data; boundary=" + boundary + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    return head + body;
}

} // namespace

TEST(RequestBytes, EveryServiceSendsExactlyItsForm)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start()) << host.ErrorText().toStdString();
    const QByteArray hostText = host.HostText().toLatin1();

    const struct
    {
        QString name;
        QByteArray wireName;
        QByteArray bytes;
        int thumbSize;
    } files[] = {
        {"photo.png", "photo.png", PngOf(40, 30), 150},
        {"empty.jpg", "empty.jpg", {}, 150},
        // Windows-1251 holds Cyrillic; the CJK characters become '?'.
        {QString::fromUtf8("Снимок экрана 日本.jpg"),
            "\xD1\xED\xE8\xEC\xEE\xEA \xFD\xEA\xF0\xE0\xED\xE0 ??.jpg", "\xFF\xD8\xFF\xE0 jpeg-ish", 321},
        // Raw, these would end the part header early.
        {"say \"cheese\"\r\nnow.gif", "say %22cheese%22%0D%0Anow.gif", "GIF89a...", 150},
    };
    // Each engine keeps its connection for all its files: a reused connection changes no byte.
    host.SetKeepAlive(true);
    int stored = 0;
    for (int id = 0; id < 5; ++id) {
        const auto engine = CreateUploadEngine(ServiceId(id), host.HostText());
        for (const auto& file : files) {
            SCOPED_TRACE(QStringLiteral("service %1, file %2").arg(id).arg(file.name).toStdString());
            const QString path = dir.write(file.name, file.bytes);
            engine->ThumbSize = file.thumbSize;
            const qsizetype before = host.Requests().size();
            const std::uint32_t tickBefore = TickCount();
            QString image;
            QString thumb;
            ASSERT_TRUE(engine->UploadFile(path, &image, &thumb)) << engine->LastError().toStdString();
            const std::uint32_t tickAfter = TickCount();
            ++stored;

            const QList<QByteArray> requests = host.Requests().mid(before);
            ASSERT_EQ(requests.size(), id == 4 ? 2 : 1);
            const qsizetype typeAt = requests[0].indexOf("\r\nContent-Type: ");
            ASSERT_GE(typeAt, 0);
            const QByteArray boundary = BoundaryOf(
                requests[0].mid(typeAt + 16, requests[0].indexOf("\r\n", typeAt + 2) - typeAt - 16));
            ASSERT_TRUE(
                QRegularExpression("^-{8}[0-9a-f]{8}$").match(QString::fromLatin1(boundary)).hasMatch())
                << boundary.toStdString();
            const std::uint32_t tick = boundary.mid(8).toUInt(nullptr, 16);
            EXPECT_LE(tick - tickBefore, tickAfter - tickBefore);

            EXPECT_EQ(requests[0],
                ExpectedPost(
                    ServiceForms()[id], hostText, boundary, file.thumbSize, file.wireName, file.bytes));
            if (id == 4) {
                EXPECT_EQ(requests[1],
                    "GET /Upload/done/" + QByteArray::number(stored) + " HTTP/1.1\r\nHost: " + hostText
                        + "\r\nUser-Agent: " + ServiceForms()[4].agent + "\r\n\r\n");
            }

            // The addresses lead back to what was sent.
            EXPECT_EQ(image, QStringLiteral("http://%1/i/%2").arg(host.HostText()).arg(stored));
            EXPECT_EQ(thumb, QStringLiteral("http://%1/t/%2").arg(host.HostText()).arg(stored));
            EXPECT_EQ(host.Stored(stored).bytes, file.bytes);
        }
    }
    EXPECT_EQ(host.ConnectionCount(), 5);
}

TEST(RequestBytes, TheHostGoesOutAsConfigured)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    const QString mixed = QStringLiteral("LocalHost:%1").arg(host.Port());
    const auto engine = CreateUploadEngine(ServiceId::Radikal, mixed);
    QString image;
    ASSERT_TRUE(engine->UploadFile(dir.write("p.png", PngOf(4, 4)), &image, nullptr))
        << engine->LastError().toStdString();
    const QByteArray request = host.Requests().value(0);
    EXPECT_TRUE(request.contains("\r\nHost: " + mixed.toLatin1() + "\r\n")) << request.left(200).constData();
    EXPECT_TRUE(request.contains("\r\nReferer: http://" + mixed.toLatin1() + "/\r\n"));
}

TEST(RequestBytes, LongFileNameIsCutWithoutSplittingAnEscape)
{
    // 254 plain characters and a quote: the three-byte escape would pass 255 bytes.
    const QString name = QString(254, u'n') + u'"';
    EXPECT_EQ(FormFileName(QStringLiteral("/some/dir/") + name), QByteArray(254, 'n'));
    EXPECT_EQ(FormFileName(QStringLiteral("/some/dir/") + QString(300, u'x')), QByteArray(255, 'x'));
    EXPECT_EQ(FormFileName(QStringLiteral("no-slash.jpg")), QByteArray("no-slash.jpg"));
}

// Each number names its engine (the forms above, and the walk through every service, show which);
// other numbers leave none.
TEST(Selector, RejectsNumbersNoServiceHas)
{
    CUploadEngineSelector selector(ServersPart {});
    EXPECT_EQ(selector.Engine, nullptr);
    for (const int bad : {5, -1, INT_MIN}) {
        ASSERT_TRUE(selector.Select(ServiceId(2)));
        EXPECT_FALSE(selector.Select(ServiceId(bad)));
        EXPECT_EQ(selector.Engine, nullptr);
        EXPECT_FALSE(selector.Upload(QStringLiteral("/nonexistent"), nullptr, nullptr, 150));
        EXPECT_FALSE(CUploadEngineSelector::HasServerThumbs(ServiceId(bad)));
    }
}
