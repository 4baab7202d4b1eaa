// SPDX-License-Identifier: MIT
// One exchange of an engine with its service: the addresses cut out of the answer (the rules of
// the five services, then of profiles), redirects, and what goes wrong on a real network, which
// must end quickly.
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Memory.h"
#include "tests/support/TempDir.h"
#include "upload/AnswerParser.h"
#include "upload/HttpClient.h"
#include "upload/UploadEngine.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

const QByteArray kPage = "[IMG]http://h/pic[/IMG][IMG]http://h/thumb[/IMG]";

struct Exchange
{
    UploadOutcome outcome;
    milliseconds elapsed {};
    QList<QByteArray> requests;
};

// One upload of a small file to `service` (or with `profile`, whose "HOST" stands for the host)
// at a host that gives `answers` in turn; "%host" in them stands for the host.
Exchange Upload(int service, QList<QByteArray> answers, TestHost::Mode mode = TestHost::Mode::Canned,
    const QByteArray& profile = {})
{
    TestDir dir;
    TestHost host;
    host.SetMode(mode);
    if (!host.Start())
        return {};
    const QByteArray hostText = host.HostText().toLatin1();
    for (QByteArray& answer : answers)
        answer.replace("%host", hostText);
    host.SetCannedAnswers(answers);
    const ProfileRead read = ReadServiceProfile(QByteArray(profile).replace("HOST", hostText));
    const std::unique_ptr<CUploadEngine> engine = profile.isEmpty()
        ? CreateUploadEngine(ServiceId(service), host.HostText())
        : std::make_unique<CProfileEngine>(read.profile, QMap<QString, QString>(), EngineContext());
    const auto start = steady_clock::now();
    Exchange result {engine->UploadFile(dir.write("p.jpg", "bytes"), 150)};
    result.elapsed = duration_cast<milliseconds>(steady_clock::now() - start);
    result.requests = host.Requests();
    return result;
}

// The service's own answer carrying `page`: service 4 sends it behind a Refresh header.
Exchange UploadWithPage(int service, const QByteArray& page)
{
    QList<QByteArray> answers = {CannedAnswer(page)};
    if (service == 4)
        answers.prepend(CannedAnswer("", {"Refresh: 0; url=http://%host/page"}));
    return Upload(service, answers);
}

} // namespace

TEST(AnswerExtraction, Rules)
{
    // The answer; whether both addresses were found, the first and the second.
    const QByteArray a300(300, 'a');
    const std::tuple<const char*, QByteArray, bool, QByteArray, QByteArray> cases[] = {
        {"two addresses", "<p>[IMG]http://a[/IMG]</p><p>[IMG]http://b[/IMG]</p>", true, "http://a",
            "http://b"},
        {"one address serves twice", "x[IMG]A[/IMG]y", true, "A", "A"},
        {"no tags", "<html>nothing here</html>", false, "", ""},
        {"start tag without end tag", "[IMG]A and no end", false, "", ""},
        {"end tag without start tag", "head[/IMG]tail", true, "head", "head"},
        {"empty first address", "[IMG][/IMG][IMG]B[/IMG]", false, "", ""},
        {"empty second address", "[IMG]A[/IMG][IMG][/IMG]", false, "A", ""},
        {"dangling second start tag", "[IMG]A[/IMG] then [IMG]B", true, "A", "A"},
        {"second search starts behind the first start tag", "[IMG]A[/IMG]junk[/IMG][IMG]C[/IMG]", true, "A",
            "C"},
        {"nested start tags taken verbatim", "[IMG][IMG]A[/IMG][/IMG]", true, "[IMG]A", "A"},
        {"300 bytes cut to 255", "[IMG]" + a300 + "[/IMG]", true, a300.left(255), a300.left(255)},
        {"no trimming or decoding", "[IMG] a&amp;b [/IMG]", true, " a&amp;b ", " a&amp;b "},
        {"search ends at the first NUL", QByteArray("[IMG]A[/IMG]\0[IMG]B[/IMG]", 25), true, "A", "A"},
        {"NUL inside an address", QByteArray("[IMG]A\0[/IMG]", 13), false, "", ""},
        {"tags are case-sensitive", "[img]A[/img][img]B[/img]", false, "", ""},
    };
    for (const auto& [what, answer, ok, first, second] : cases) {
        SCOPED_TRACE(what);
        const AnswerAddresses found = ExtractAddresses(answer, "[IMG]", "[/IMG]");
        EXPECT_EQ(found.ok, ok);
        EXPECT_EQ(found.first, first);
        EXPECT_EQ(found.second, second);
    }
}

// What answers may hold, for the five services (which address each takes for the picture shows
// against the local host) and for profiles.
TEST(AnswerExtraction, WhatAnAnswerMayHold)
{
    const QString t = QStringLiteral("http://h/T");
    const QString aa = QStringLiteral("http://A");
    const QByteArray a = "[IMG]http://A[/IMG]";
    // Only the first bytes of a large answer count.
    const qsizetype cap = HttpClient::kAnswerCap;
    const QString notWeb = QStringLiteral("the answer's address is not a web address");
    const QString tooLarge = QStringLiteral("the answer is larger than 256 KiB");
    const QByteArray rules = R"("URL": "{json:data.url}", "ThumbnailURL": "{json:data.thumb}",
        "DeletionURL": "{json:data.del}", "ErrorMessage": "{json:error.message}")";
    const QByteArray binary = R"("Body": "Binary")";
    const QByteArray rule = R"("URL": "https://i/{regex:id=(\\\\w+)|1}")";
    const struct
    {
        int service; ///< one of the five, or -1: a profile of `members`
        QByteArray answer; ///< the five: the page
        QString image;
        QString thumb;
        QString error = {}; ///< empty: success
        QByteArray members = {};
        QString deletion = {};
    } cases[] = {
        // An empty second address fails, with the first one already found.
        {0, "[IMG]http://h/T[/IMG][IMG][/IMG]", {}, t, "an empty address in the answer"},
        {1, "[IMG]http://h/T[/IMG][IMG][/IMG]", t, {}, "an empty address in the answer"},
        // Addresses come back as Windows-1251 text.
        {2, "[IMG]http://h/\xEA\xEE\xF2[/IMG]", QString::fromUtf8("http://h/кот"),
            QString::fromUtf8("http://h/кот")},
        // Answers are untrusted: only web addresses count, and no control character gets through.
        {2, "[IMG]javascript:alert(1)[/IMG][IMG]http://h/P[/IMG]", {}, {}, notWeb},
        {2, "[IMG]http://h/T[/IMG][IMG]data:image/png,x[/IMG]", t, {}, notWeb},
        {2, "[IMG]http://[/IMG]", {}, {}, notWeb},
        {2, "[IMG]HTTPS://h/T[/IMG]", "HTTPS://h/T", "HTTPS://h/T"},
        // Taken as they come, blanks and line breaks included.
        {2, "[IMG] http://h/T[/IMG]", {}, {}, notWeb},
        {2, "[IMG]http://h/T\r\nhttp://forged\t\x7F[/IMG]", "http://h/T%0D%0Ahttp://forged%09%7F",
            "http://h/T%0D%0Ahttp://forged%09%7F"},
        // The tags end on the last byte kept, also with a megabyte behind; cut by the cap; far behind it.
        {2, QByteArray(cap - a.size(), 'x') + a, aa, aa},
        {2, QByteArray(cap - a.size(), 'x') + a + QByteArray(1 << 20, 'y'), aa, aa},
        {2, QByteArray(cap - a.size() + 1, 'x') + a + QByteArray(1000, 'y'), {}, {}, tooLarge},
        {2, QByteArray(cap * 2, 'x') + a, {}, {}, tooLarge},
        // Tags in the other case are no tags.
        {3, "[IMG]http://h/T[/IMG] [IMG]http://h/P[/IMG]", {}, {}, "no addresses in the answer"},
        {4, "[img]http://h/T[/img] [img]http://h/P[/img]", {}, {}, "no addresses in the answer"},
        {-1,
            CannedAnswer(R"({"data": {"url": "https://i/p", "thumb": "https://i/t", "del": "https://i/d"}})"),
            "https://i/p", "https://i/t", {}, rules, "https://i/d"},
        {-1, CannedAnswer("  https://i/raw.png\n"), "https://i/raw.png", {}, {}, binary},
        // A refusal is told in the service's own words, on one line; without them, by its status.
        {-1,
            CannedAnswer(
                R"({"error": {"message": "Invalid API\u001b[2J\n v1 key."}})", {}, "400 Bad Request"),
            {}, {}, "Invalid API[2J v1 key.", rules},
        {-1, CannedAnswer("oops", {}, "500 Internal Server Error"), {}, {},
            "the service refused the upload (HTTP status 500)", rules},
        {-1, CannedAnswer(R"({"error": {"message": "Over quota"}})"), {}, {}, "Over quota", rules},
        {-1, CannedAnswer("https://i/x", {}, "404 Not Found"), {}, {},
            "the service refused the upload (HTTP status 404)", binary},
        // A rule whose value finds nothing gives no address at all, never the text around it.
        {-1, CannedAnswer("id=ab"), "https://i/ab", {}, {}, rule},
        {-1, CannedAnswer("no id"), {}, {}, "the URL rule found nothing in the answer", rule},
        {-1, CannedAnswer("javascript:alert(1)"), {}, {}, notWeb, binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "service " << c.service << ": " << c.answer.left(60).constData()
                                        << " of " << c.answer.size() << " bytes");
        const Exchange x = c.service >= 0
            ? UploadWithPage(c.service, c.answer)
            : Upload(-1, {c.answer}, TestHost::Mode::Canned,
                R"({"RequestURL": "http://HOST/up", "FileFormName": "f", )" + c.members + "}");
        EXPECT_EQ(x.outcome.error, c.error);
        EXPECT_EQ(x.outcome.addresses, (UploadResult {c.image, c.thumb, c.deletion}));
    }
}

TEST(Refresh, OnlyTheFirstFourServicesFollowRedirects)
{
    // 302 asks again with GET; 307 and 308 keep the method, so the same body is sent again.
    for (const QByteArray status : {"302 Found", "307 Temporary Redirect", "308 Permanent Redirect"}) {
        for (int service = 0; service < 5; ++service) {
            SCOPED_TRACE(testing::Message() << status.constData() << ", service " << service);
            const Exchange x = Upload(service,
                {CannedAnswer("moved", {"Location: /done"}, status),
                    CannedAnswer(service == 3 ? kPage.toLower() : kPage)});
            EXPECT_EQ(x.outcome.error, QString());
            ASSERT_EQ(x.requests.size(), 2);
            // Service 4 ignores Location and, with no Refresh header, asks for the root.
            const bool again = service < 4 && !status.startsWith("302");
            EXPECT_TRUE(x.requests[1].startsWith(service == 4 ? "GET / HTTP/1.1\r\n"
                    : again                                   ? "POST /done HTTP/1.1\r\n"
                                                              : "GET /done HTTP/1.1\r\n"))
                << x.requests[1].toStdString();
            if (again) {
                EXPECT_EQ(x.requests[1].mid(x.requests[1].indexOf("\r\n\r\n")),
                    x.requests[0].mid(x.requests[0].indexOf("\r\n\r\n")));
            }
        }
    }
}

TEST(Faults, BrokenAnswers)
{
    // What the server sends; the reason (empty: success, null: any, in the transfer library's words).
    const QString bigHead = QStringLiteral("the answer's head is larger than 64 KiB");
    const std::tuple<const char*, QByteArray, QString> cases[] = {
        {"closed before any answer", "", "the server closed the connection without an answer"},
        {"closed in the middle of the page", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>[IMG]half",
            "the connection closed in the middle of the answer"},
        // What came in is searched, as with any answer.
        {"closed after both addresses",
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n[IMG]http://a[/IMG][IMG]http://b[/IMG]<p>", ""},
        {"error page", "HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\nsad",
            "no addresses in the answer (HTTP status 500)"},
        {"not HTTP at all", "garbage\r\n\r\n", QString()},
        {"an answer head of 100 KiB",
            "HTTP/1.1 200 OK\r\n" + QByteArray("X-Padding: 0123456789\r\n").repeated(4000) + "\r\n", bigHead},
        {"one header line of 200 KiB",
            "HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(200 * 1024, 'p') + "\r\n\r\n", bigHead},
    };
    for (const auto& [what, raw, error] : cases) {
        SCOPED_TRACE(what);
        const Exchange o = Upload(2, {raw});
        EXPECT_TRUE(error.isNull() ? !o.outcome.error.isEmpty() : o.outcome.error == error)
            << o.outcome.error.toStdString();
        EXPECT_LT(o.elapsed, seconds(5));
    }
    // An answer that keeps trickling must still end within its limit.
    TestDir dir;
    TestHost slow;
    slow.SetMode(TestHost::Mode::Canned);
    slow.SetCannedAnswers({CannedAnswer(QByteArray(200, 'x') + kPage)});
    slow.SetTrickle(50, 100);
    ASSERT_TRUE(slow.Start());
    HttpTimeouts limits;
    limits.answerSeconds = 1;
    const auto engine = CreateUploadEngine(ServiceId(2), slow.HostText(), {nullptr, limits});
    const auto start = steady_clock::now();
    EXPECT_EQ(engine->UploadFile(dir.write("p.jpg", "x"), 150).error,
        "the answer did not end within 1 seconds of the upload");
    EXPECT_LT(steady_clock::now() - start, seconds(3));
    // A refused connection fails at once.
    const Exchange refused = Upload(2, {}, TestHost::Mode::Refuse);
    EXPECT_EQ(refused.outcome.error, QStringLiteral("connection refused"));
    EXPECT_LT(refused.elapsed, seconds(2));
}

// The body is read from the file while it is sent: a large file costs no more memory than a
// small one.
TEST(Faults, AnUploadsMemoryDoesNotGrowWithTheFile)
{
    TestDir dir;
    TestHost host;
    host.SetMode(TestHost::Mode::Canned);
    host.SetDiscardBodies(true);
    host.SetCannedAnswers({CannedAnswer("[IMG]http://h/a[/IMG][IMG]http://h/b[/IMG]")});
    ASSERT_TRUE(host.Start());
    const QString file = dir.write("large.jpg", QByteArray(64 << 20, 'x'));
    const auto engine = CreateUploadEngine(ServiceId(2), host.HostText());
    UploadOutcome outcome;
    const qint64 growth = PeakMemoryGrowth([&] { outcome = engine->UploadFile(file, 150); });
    EXPECT_TRUE(outcome.ok()) << outcome.error.toStdString();
    EXPECT_LT(growth, 16 << 20);
    ASSERT_EQ(host.Requests().size(), 1);
    const qsizetype at = host.Requests()[0].indexOf("Content-Length: ");
    const qint64 length = host.Requests()[0].mid(at + 16, 12).split('\r').value(0).toLongLong();
    EXPECT_TRUE(length > (64 << 20) && length < (64 << 20) + 1024) << length;
}

TEST(Faults, NothingIsSentWhenTheUploadCannotStart)
{
    TestDir dir;
    TestHost host;
    ASSERT_TRUE(host.Start());
    std::atomic<bool> stopped {true};
    // The host, the file, the stop flag; why nothing was sent.
    const std::tuple<QString, QString, const std::atomic<bool>*, QString> cases[] = {
        {host.HostText(), dir.file("missing.jpg"), nullptr, "the file does not exist"},
        {host.HostText(), dir.path(), nullptr, "it is a folder, not a file"},
        {host.HostText(), dir.write("p.jpg", "x"), &stopped, "stopped"},
        {"bad host/x", dir.write("p.jpg", "x"), nullptr, "invalid host name"},
    };
    for (const auto& [hostText, file, stop, error] : cases) {
        const UploadOutcome outcome
            = CreateUploadEngine(ServiceId::Radikal, hostText, {stop})->UploadFile(file, 150);
        EXPECT_EQ(outcome.addresses, UploadResult());
        EXPECT_EQ(outcome.error, error);
    }
    EXPECT_TRUE(host.Requests().isEmpty());
}
