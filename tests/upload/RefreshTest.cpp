// SPDX-License-Identifier: MIT
// The service that answers its POST with a Refresh header: where its GET goes and what it
// sends; and which services follow redirects.
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/RefreshTarget.h"
#include "upload/UploadEngine.h"
#include "upload/testhost/TestHost.h"

#include <gtest/gtest.h>

namespace {
const QByteArray kMozilla = "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11)";
const QByteArray kPage = "[IMG]http://h/pic[/IMG][IMG]http://h/thumb[/IMG]";
} // namespace

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
        EXPECT_TRUE(requests[0].startsWith("POST /Upload/ HTTP/1.1\r\n"));
        EXPECT_EQ(requests[1],
            "GET " + QByteArray(c.target).replace("%host", hostText) + " HTTP/1.1\r\nHost: " + hostText
                + "\r\nUser-Agent: " + kMozilla + "\r\n\r\n");
    }
}

TEST(Refresh, RequestTargetsHoldNoUnsafeBytes)
{
    const std::pair<QString, QByteArray> cases[] = {
        {QString(), "/"},
        {QStringLiteral("/a b"), "/a%20b"},
        {QStringLiteral("rel"), "/rel"},
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
