// SPDX-License-Identifier: MIT
// Cutting the two addresses out of an answer page: the rules alone, then per service through
// the engines (which address is the picture, tag case) and the cap on the answer size.
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/AnswerParser.h"
#include "upload/HttpClient.h"
#include "upload/UploadEngine.h"
#include "upload/testhost/TestHost.h"

#include <gtest/gtest.h>

namespace {

const QString kUntouched = QStringLiteral("untouched");

struct ExtractionCase
{
    const char* what;
    QByteArray answer;
    bool ok;
    QByteArray first;
    QByteArray second;
};

} // namespace

TEST(AnswerExtraction, Rules)
{
    const QByteArray a300(300, 'a');
    const ExtractionCase cases[] = {
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
    for (const ExtractionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const AnswerAddresses found = ExtractAddresses(c.answer, "[IMG]", "[/IMG]");
        EXPECT_EQ(found.ok, c.ok);
        EXPECT_EQ(found.first, c.first);
        EXPECT_EQ(found.second, c.second);
    }
}

TEST(AnswerExtraction, CopyUntilLeavesTheOutputAloneWithoutTag)
{
    QByteArray out = "before";
    EXPECT_FALSE(CopyUntil("no tag here", "[/IMG]", out));
    EXPECT_EQ(out, "before");
    EXPECT_TRUE(CopyUntil("[/IMG]", "[/IMG]", out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(SkipPast("abc", "[IMG]"), 0);
    EXPECT_EQ(SkipPast("ab[IMG]c", "[IMG]"), 7);
}

namespace {

// The service's own answer for `page`: service 4 sends it behind a Refresh header.
QList<QByteArray> AnswersFor(int service, const TestHost& host, const QByteArray& page)
{
    if (service != 4)
        return {CannedAnswer(page)};
    return {CannedAnswer("", {"Refresh: 0; url=http://" + host.HostText().toLatin1() + "/page"}),
        CannedAnswer(page)};
}

struct Upload
{
    bool ok = false;
    QString image = kUntouched;
    QString thumb = kUntouched;
    QString error;
};

Upload UploadWithAnswer(int service, const QByteArray& page)
{
    TestDir dir;
    TestHost host;
    host.SetMode(TestHost::Mode::Canned);
    Upload result;
    if (!host.Start())
        return result;
    host.SetCannedAnswers(AnswersFor(service, host, page));
    const auto engine = CreateUploadEngine(ServiceId(service), host.HostText());
    result.ok = engine->UploadFile(dir.write("p.jpg", "bytes"), &result.image, &result.thumb);
    result.error = engine->LastError();
    return result;
}

} // namespace

TEST(AnswerExtraction, WhichAddressIsThePicturePerService)
{
    struct Case
    {
        int service;
        QByteArray page;
        bool ok;
        QString image;
        QString thumb;
    };
    const QString t = QStringLiteral("http://h/T");
    const QString p = QStringLiteral("http://h/P");
    const QByteArray upper = "[IMG]http://h/T[/IMG] [IMG]http://h/P[/IMG]";
    const QByteArray lower = "[img]http://h/T[/img] [img]http://h/P[/img]";
    const Case cases[] = {
        {0, upper, true, p, t},
        {1, upper, true, t, p},
        {2, upper, true, t, p},
        {3, lower, true, p, t},
        {4, upper, true, t, p},
        {0, lower, false, kUntouched, kUntouched},
        {1, lower, false, kUntouched, kUntouched},
        {2, lower, false, kUntouched, kUntouched},
        {3, upper, false, kUntouched, kUntouched},
        {4, lower, false, kUntouched, kUntouched},
        // An empty second address fails, with the first one already handed out.
        {0, "[IMG]http://h/T[/IMG][IMG][/IMG]", false, kUntouched, t},
        {1, "[IMG]http://h/T[/IMG][IMG][/IMG]", false, t, kUntouched},
        // Addresses come back as Windows-1251 text.
        {2, "[IMG]http://h/\xEA\xEE\xF2[/IMG]", true, QString::fromUtf8("http://h/кот"),
            QString::fromUtf8("http://h/кот")},
        // Answers are untrusted: only web addresses count, and no control character gets through.
        {2, "[IMG]javascript:alert(1)[/IMG][IMG]http://h/P[/IMG]", false, kUntouched, kUntouched},
        {2, "[IMG]http://h/T[/IMG][IMG]data:image/png,x[/IMG]", false, t, kUntouched},
        {2, "[IMG]ftp://h/T[/IMG]", false, kUntouched, kUntouched},
        {2, "[IMG]http://[/IMG]", false, kUntouched, kUntouched},
        {2, "[IMG]HTTPS://h/T[/IMG]", true, "HTTPS://h/T", "HTTPS://h/T"},
        {2, "[IMG]http://h/T\r\nhttp://forged\t\x7F[/IMG]", true, "http://h/T%0D%0Ahttp://forged%09%7F",
            "http://h/T%0D%0Ahttp://forged%09%7F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("service %1, page %2")
                         .arg(c.service)
                         .arg(QString::fromLatin1(c.page))
                         .toStdString());
        const Upload result = UploadWithAnswer(c.service, c.page);
        EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
        EXPECT_EQ(result.image, c.image);
        EXPECT_EQ(result.thumb, c.thumb);
        EXPECT_EQ(result.error.isEmpty(), c.ok);
    }
}

TEST(AnswerExtraction, OnlyTheFirstBytesOfALargeAnswerCount)
{
    const qsizetype cap = HttpClient::kAnswerCap;
    ASSERT_EQ(cap, 262143);
    const QByteArray tags = "[IMG]http://A[/IMG]";
    struct Case
    {
        const char* what;
        QByteArray page;
        bool ok;
    };
    const Case cases[] = {
        {"tags end on the last kept byte", QByteArray(cap - tags.size(), 'x') + tags, true},
        {"same, with a megabyte behind", QByteArray(cap - tags.size(), 'x') + tags + QByteArray(1 << 20, 'y'),
            true},
        {"end tag cut by the cap", QByteArray(cap - tags.size() + 1, 'x') + tags + QByteArray(1000, 'y'),
            false},
        {"tags far behind the cap", QByteArray(cap * 2, 'x') + tags, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Upload result = UploadWithAnswer(2, c.page);
        EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
        EXPECT_EQ(result.image, c.ok ? QStringLiteral("http://A") : kUntouched);
    }
}

TEST(AnswerExtraction, NullOutputsStillMakeTheWholeExchange)
{
    TestDir dir;
    TestHost host;
    host.SetMode(TestHost::Mode::Canned);
    ASSERT_TRUE(host.Start());
    host.SetCannedAnswers({CannedAnswer("[IMG]http://a[/IMG][IMG]http://b[/IMG]")});
    const auto engine = CreateUploadEngine(ServiceId(1), host.HostText());
    EXPECT_TRUE(engine->UploadFile(dir.write("p.jpg", "x"), nullptr, nullptr));
    host.SetCannedAnswers({CannedAnswer("nothing")});
    EXPECT_FALSE(engine->UploadFile(dir.write("p.jpg", "x"), nullptr, nullptr));
    EXPECT_EQ(engine->LastError(), QStringLiteral("no addresses in the answer"));
    EXPECT_EQ(host.Requests().size(), 2);
}
