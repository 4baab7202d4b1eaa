// SPDX-License-Identifier: MIT
// What each engine puts on the wire, compared byte for byte with a request built here from
// the services' tables: request line, headers in order, every form part and the file; the GET
// of the service that answers with a Refresh header, and which services follow redirects; and
// which engine each service number makes.
#include "app/core/TickCount.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/MultipartForm.h"
#include "upload/RefreshTarget.h"
#include "upload/ServiceEngines.h"
#include "upload/UploadEngine.h"
#include "upload/testhost/TestHost.h"

#include <QRegularExpression>
#include <climits>
#include <gtest/gtest.h>
#include <typeinfo>

namespace {

struct ServiceTable
{
    QByteArray path;
    QByteArray agent;
    QList<QByteArray> headers; ///< "%referer" stands for the Referer line
    QList<std::pair<QByteArray, QByteArray>> fields; ///< "%size" stands for ThumbSize
    QByteArray fileField;
};

const QByteArray kWinInet = "WinInet Test";
const QByteArray kMozilla = "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11)";
const QByteArray kPage = "[IMG]http://h/pic[/IMG][IMG]http://h/thumb[/IMG]";

const ServiceTable kServices[] = {
    {"/", kWinInet, {}, {{"uploadtype", "on"}}, "fileupload"},
    {"/", kWinInet, {"Keep-Alive: 300", "%referer"},
        {{"disable_effects", "on"}, {"preview", "yes"}, {"preview_size", "%size"}, {"sbmt", ""}}, "pfile"},
    {"/action.aspx", kWinInet, {"Keep-Alive: 300", "%referer"},
        {{"upload", "yes"}, {"CP", "on"}, {"VM", "%size"}, {"IM", "7"}, {"Submit", ""}}, "F"},
    {"/upload", kWinInet, {"Keep-Alive: 300", "%referer"}, {{"Submit", ""}}, "img"},
    {"/Upload/", kMozilla, {"Connection: keep-alive", "Keep-Alive: 300", "%referer"},
        {{"rotate", "0"}, {"thumb_resize_on", "on"}, {"galleries", "12"}, {"status", "on"},
            {"thumb_resize", "%size"}},
        "userfile"},
};

QByteArray ExpectedPost(const ServiceTable& service, const QByteArray& host, const QByteArray& boundary,
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

struct FileCase
{
    QString name;
    QByteArray wireName;
    QByteArray bytes;
    int thumbSize;
};

} // namespace

TEST(RequestBytes, EveryServiceSendsExactlyItsForm)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start()) << host.ErrorText().toStdString();
    const QByteArray hostText = host.HostText().toLatin1();

    const FileCase files[] = {
        {"photo.png", "photo.png", PngOf(40, 30), 150},
        {"empty.jpg", "empty.jpg", {}, 150},
        // Windows-1251 holds Cyrillic; the CJK characters become '?'.
        {QString::fromUtf8("Снимок экрана 日本.jpg"),
            "\xD1\xED\xE8\xEC\xEE\xEA \xFD\xEA\xF0\xE0\xED\xE0 ??.jpg", "\xFF\xD8\xFF\xE0 jpeg-ish", 321},
        // Raw, these would end the part header early.
        {"say \"cheese\"\r\nnow.gif", "say %22cheese%22%0D%0Anow.gif", "GIF89a...", 150},
    };
    int stored = 0;
    for (int id = 0; id < 5; ++id) {
        for (const FileCase& file : files) {
            SCOPED_TRACE(QStringLiteral("service %1, file %2").arg(id).arg(file.name).toStdString());
            const QString path = dir.write(file.name, file.bytes);
            const auto engine = CreateUploadEngine(ServiceId(id), host.HostText());
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
                ExpectedPost(kServices[id], hostText, boundary, file.thumbSize, file.wireName, file.bytes));
            if (id == 4) {
                EXPECT_EQ(requests[1],
                    "GET /Upload/done/" + QByteArray::number(stored) + " HTTP/1.1\r\nHost: " + hostText
                        + "\r\nUser-Agent: " + kMozilla + "\r\n\r\n");
            }

            // The addresses lead back to what was sent.
            EXPECT_EQ(image, QStringLiteral("http://%1/i/%2").arg(host.HostText()).arg(stored));
            EXPECT_EQ(thumb, QStringLiteral("http://%1/t/%2").arg(host.HostText()).arg(stored));
            EXPECT_EQ(host.Stored(stored).bytes, file.bytes);
        }
    }
}

TEST(RequestBytes, LongFileNameIsCutWithoutSplittingAnEscape)
{
    // 254 plain characters and a quote: the three-byte escape would pass 255 bytes.
    const QString name = QString(254, u'n') + u'"';
    EXPECT_EQ(FormFileName(QStringLiteral("/some/dir/") + name), QByteArray(254, 'n'));
    EXPECT_EQ(FormFileName(QStringLiteral("/some/dir/") + QString(300, u'x')), QByteArray(255, 'x'));
    EXPECT_EQ(FormFileName(QStringLiteral("no-slash.jpg")), QByteArray("no-slash.jpg"));
}

TEST(Refresh, TheGetFollowsTheRefreshValue)
{
    struct Case
    {
        const char* what;
        QByteArray refresh; ///< "%host" stands for the configured host; empty: no header
        QByteArray target;
    };
    const Case cases[] = {
        {"marker and path", "0; url=http://%host/show?id=7", "/show?id=7"},
        {"value ends at the marker", "0; url=http://%host", "/"},
        {"no Refresh header", "", "/"},
        {"another host: the whole value", "0; url=http://elsewhere.example/x",
            "/0;%20url=http://elsewhere.example/x"},
        {"marker case differs: the whole value", "0; URL=http://%host/p", "/0;%20URL=http://%host/p"},
        {"8-bit path is escaped", "0; url=http://%host/\xEA\xEE\xF2 1", "/%EA%EE%F2%201"},
    };
    TestDir dir;
    const QString file = dir.write("p.jpg", "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost host;
        host.SetMode(TestHost::Mode::Canned);
        ASSERT_TRUE(host.Start());
        const QByteArray hostText = host.HostText().toLatin1();
        QList<QByteArray> headers;
        if (!c.refresh.isEmpty())
            headers << "Refresh: " + QByteArray(c.refresh).replace("%host", hostText);
        // The POST's own page must not be read: its tags would give other addresses.
        host.SetCannedAnswers({CannedAnswer("[IMG]wrong[/IMG]", headers), CannedAnswer(kPage)});

        const auto engine = CreateUploadEngine(ServiceId(4), host.HostText());
        QString image;
        QString thumb;
        EXPECT_TRUE(engine->UploadFile(file, &image, &thumb)) << engine->LastError().toStdString();
        EXPECT_EQ(image, QStringLiteral("http://h/pic"));
        EXPECT_EQ(thumb, QStringLiteral("http://h/thumb"));
        const QList<QByteArray> requests = host.Requests();
        ASSERT_EQ(requests.size(), 2);
        EXPECT_EQ(requests[1],
            "GET " + QByteArray(c.target).replace("%host", hostText) + " HTTP/1.1\r\nHost: " + hostText
                + "\r\nUser-Agent: " + kMozilla + "\r\n\r\n");
    }
}

TEST(Refresh, RequestTargetsHoldNoUnsafeBytes)
{
    const std::pair<QString, QByteArray> cases[] = {
        {QStringLiteral("/tab\there\r\n"), "/tab%09here%0D%0A"},
        {QStringLiteral("/del\x7f"), "/del%7F"},
        {QStringLiteral("/%41?q=1#f"), "/%41?q=1#f"},
    };
    for (const auto& [path, target] : cases)
        EXPECT_EQ(RequestTargetOf(path), target) << path.toStdString();
    EXPECT_EQ(RefreshObjectPath(QStringLiteral("0; url=http://h:1/x"), QStringLiteral("h:1")),
        QStringLiteral("/x"));
    EXPECT_EQ(RefreshObjectPath(QStringLiteral("0; url=http://h:1/x"), QStringLiteral("h")),
        QStringLiteral(":1/x"));
}

TEST(Refresh, OnlyTheFirstFourServicesFollowRedirects)
{
    TestDir dir;
    const QString file = dir.write("p.jpg", "x");
    for (int service = 0; service < 5; ++service) {
        SCOPED_TRACE(service);
        TestHost host;
        host.SetMode(TestHost::Mode::Canned);
        ASSERT_TRUE(host.Start());
        const QByteArray page = service == 3 ? kPage.toLower() : kPage;
        host.SetCannedAnswers({CannedAnswer("moved", {"Location: /done"}, "302 Found"), CannedAnswer(page)});
        const auto engine = CreateUploadEngine(ServiceId(service), host.HostText());
        EXPECT_TRUE(engine->UploadFile(file, nullptr, nullptr)) << engine->LastError().toStdString();
        const QList<QByteArray> requests = host.Requests();
        ASSERT_EQ(requests.size(), 2);
        // Service 4 ignores Location and, with no Refresh header, asks for the root.
        EXPECT_TRUE(requests[1].startsWith(service == 4 ? "GET / HTTP/1.1\r\n" : "GET /done HTTP/1.1\r\n"))
            << requests[1].toStdString();
    }
}

TEST(Selector, CreatesTheEngineOfEachServiceAndRejectsOthers)
{
    CUploadEngineSelector selector(ServersPart {});
    EXPECT_EQ(selector.Engine, nullptr);
    const std::type_info* types[] = {&typeid(CImageshackUploadEngine), &typeid(CKeep4uUploadEngine),
        &typeid(CRadikalUploadEngine), &typeid(CSmagesUploadEngine), &typeid(CIpictureUploadEngine)};
    for (int id = 0; id < 5; ++id) {
        ASSERT_TRUE(selector.Select(ServiceId(id)));
        ASSERT_NE(selector.Engine, nullptr);
        EXPECT_EQ(typeid(*selector.Engine), *types[id]);
        EXPECT_TRUE(CUploadEngineSelector::HasServerThumbs(ServiceId(id)));
    }
    for (const int bad : {5, -1, INT_MIN}) {
        ASSERT_TRUE(selector.Select(ServiceId(2)));
        EXPECT_FALSE(selector.Select(ServiceId(bad)));
        EXPECT_EQ(selector.Engine, nullptr);
        EXPECT_FALSE(selector.Upload(QStringLiteral("/nonexistent"), nullptr, nullptr, 150));
        EXPECT_FALSE(CUploadEngineSelector::HasServerThumbs(ServiceId(bad)));
    }
}
