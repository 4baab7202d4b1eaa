// SPDX-License-Identifier: MIT
// Every request an engine sends, byte for byte: the forms of the program's five services from
// the one table the local host answers by (file names in the ANSI code page, the GET behind a
// Refresh header, the host as configured), and each body kind a service profile can describe.
#include "app/core/TickCount.h"
#include "app/core/Version.h"
#include "testhost/ServiceForms.h"
#include "testhost/TestHost.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/MultipartForm.h"
#include "upload/ServiceEngines.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>

namespace {

// A profile sending to "/api/echo" of the host, whose answer names the request's address.
QByteArray EchoProfile(const QByteArray& members)
{
    return R"({"RequestURL": "http://HOST/api/echo?x=1", "Parameters": {"key": "a b"}, "FileFormName": "upload",
        "Headers": {"X-Token": "s3", "User-Agent": "Agent/1", "X-Empty": ""}, "URL": "{json:url}", )"
        + members + "}";
}

QByteArray Part(const QByteArray& boundary, const QByteArray& name, const QByteArray& value)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value
        + "\r\n";
}

QByteArray FilePart(const QByteArray& boundary, const QByteArray& field, const QByteArray& name,
    const QByteArray& type, const QByteArray& file)
{
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + field + "\"; filename=\"" + name
        + "\"\r\nContent-Type: " + type + "\r\n\r\n" + file + "\r\n--" + boundary + "--\r\n";
}

// The POST of one of the five services, as their table describes it. curl puts Host and
// User-Agent first and Content-Length last; the lines between are the service's.
QByteArray ExpectedPost(const ServiceForm& form, const QByteArray& host, const QByteArray& boundary,
    int thumbSize, const QByteArray& fileName, const QByteArray& file)
{
    QByteArray body;
    for (const auto& [name, value] : form.fields)
        body += Part(boundary, name, value == "%size" ? QByteArray::number(thumbSize) : value);
    body += FilePart(boundary, form.fileField, fileName, "image/jpeg", file);
    QByteArray head
        = "POST " + form.path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + form.agent + "\r\n";
    for (const QByteArray& line : form.headers)
        head += (line == "%referer" ? "Referer: http://" + host + "/" : line) + "\r\n";
    return head + "Content-Type: multipart/form-data; boundary=" + boundary
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray BoundaryIn(const QByteArray& request)
{
    const QRegularExpressionMatch m = QRegularExpression("boundary=(-{8}[0-9a-f]{8})\r\n").match(request);
    return m.captured(1).toLatin1();
}

} // namespace

TEST(WireBytes, EveryRequestByteForByte)
{
    struct Row
    {
        const char* what;
        int service; ///< one of the five, or -1 for `profile`
        QString fileName;
        QByteArray file;
        QByteArray
            wire; ///< the five: the file name in the form; a profile: the request ("%h" host, "%b" boundary)
        int thumbSize = 150;
        QByteArray profile = {};
        QList<QByteArray> canned = {}; ///< answers of a host of its own (service 4: the Refresh header first)
        QByteArray get = {}; ///< service 4: the target of the GET for its page ("%n": the upload's number)
    };
    const QByteArray jpeg = "\xFF\xD8\xFF\xE0 jpeg-ish";
    const QByteArray page = CannedAnswer("[IMG]http://h/p[/IMG][IMG]http://h/t[/IMG]");
    // The request line's target and the header lines of EchoProfile.
    const QByteArray echo = " /api/echo?x=1&key=a%20b HTTP/1.1\r\nHost: %h\r\nUser-Agent: "
                            "Agent/1\r\nX-Token: s3\r\nX-Empty:\r\n";
    const Row rows[] = {
        {"service 0", 0, "photo.png", PngOf(40, 30), "photo.png"},
        // Windows-1251 holds Cyrillic; the CJK characters become '?'.
        {"service 1, a name in the code page", 1, QString::fromUtf8("Снимок экрана 日本.jpg"), jpeg,
            "\xD1\xED\xE8\xEC\xEE\xEA \xFD\xEA\xF0\xE0\xED\xE0 ??.jpg", 321},
        {"service 2, an empty file", 2, "empty.jpg", {}, "empty.jpg"},
        // Raw, these would end the part header early.
        {"service 3, a name that would break the form", 3, "say \"cheese\"\r\nnow.gif", "GIF89a...",
            "say %22cheese%22%0D%0Anow.gif"},
        {"service 4 and its page", 4, "photo.png", PngOf(40, 30), "photo.png", 150, {}, {},
            "/Upload/done/%n"},
        // 254 plain characters and a quote: its three-byte escape would pass 255 bytes.
        {"a long name cut before an escape", 0, QString(254, u'n') + u'"', "x", QByteArray(254, 'n')},
        {"the Refresh value behind the marker", 4, "p.jpg", "x", "p.jpg", 150, {},
            {CannedAnswer("[IMG]wrong[/IMG]", {"Refresh: 0; url=http://%h/show?id=7"}), page}, "/show?id=7"},
        {"a Refresh value that ends at the marker", 4, "p.jpg", "x", "p.jpg", 150, {},
            {CannedAnswer("", {"Refresh: 0; url=http://%h"}), page}, "/"},
        {"no Refresh header", 4, "p.jpg", "x", "p.jpg", 150, {}, {CannedAnswer(""), page}, "/"},
        {"a Refresh to another host: the whole value", 4, "p.jpg", "x", "p.jpg", 150, {},
            {CannedAnswer("", {"Refresh: 0; url=http://elsewhere.example/x"}), page},
            "/0;%20url=http://elsewhere.example/x"},
        {"a marker of another case: the whole value", 4, "p.jpg", "x", "p.jpg", 150, {},
            {CannedAnswer("", {"Refresh: 0; URL=http://%h/p"}), page}, "/0;%20URL=http://%h/p"},
        {"an 8-bit Refresh value is escaped", 4, "p.jpg", "x", "p.jpg", 150, {},
            {CannedAnswer("", {"Refresh: 0; url=http://%h/\xEA\xEE\xF2 1"}), page}, "/%EA%EE%F2%201"},
        {"a form", -1, "pic.png", "PNGDATA",
            "POST" + echo + "Content-Type: multipart/form-data; boundary=%b\r\n\r\n"
                + Part("%b", "album", "7") + Part("%b", "name", "pic.png")
                + FilePart("%b", "upload", "pic.png", "image/png", "PNGDATA"),
            0, EchoProfile(R"("Arguments": {"album": "7", "name": "{filename}"})")},
        {"URL-encoded", -1, "pic.png", "PNGDATA",
            "PATCH" + echo + "Content-Type: application/x-www-form-urlencoded\r\n\r\nalbum=7&name=pic.png", 0,
            EchoProfile(
                R"("Arguments": {"album": "7", "name": "{filename}"}, "Body": "FormURLEncoded", "RequestMethod": "PATCH")")},
        {"JSON", -1, "pic.png", "PNGDATA",
            "POST" + echo + "Content-Type: application/json\r\n\r\n{\"file\": \"pic.png\", \"tag\": \"a|b\"}",
            0, EchoProfile(R"("Body": "JSON", "Data": "{\"file\": \"{filename}\", \"tag\": \"a\\|b\"}")")},
        {"the file alone", -1, "pic.png", "PNGDATA", "PUT" + echo + "Content-Type: image/png\r\n\r\nPNGDATA",
            0, EchoProfile(R"("Body": "Binary", "RequestMethod": "PUT")")},
        // A file name goes into the address, the query and a JSON body, each written its own way.
        {"a name in the address, the query and JSON", -1, "a b#\"c%.png", "x",
            "PUT /api/upload/raw/a%20b%23%22c%25.png?k=x%2By%26z HTTP/1.1\r\nHost: %h\r\nUser-Agent: Vellmar/"
                + QByteArray(kVellmarVersion)
                + "\r\nContent-Type: application/json\r\n\r\n{\"f\": \"a b#\\\"c%.png\"}",
            0,
            R"({"RequestURL": "http://HOST/api/upload/raw/{filename}", "Parameters": {"k": "x+y&z"}, "RequestMethod":
                "PUT", "Body": "JSON", "Data": "{\"f\": \"{filename}\"}", "URL": "{json:url}"})"},
    };

    TestDir dir;
    TestHost served;
    // Each of the five keeps one engine, and so one connection, for all its rows: a reused
    // connection changes no byte.
    served.SetKeepAlive(true);
    ASSERT_TRUE(served.Start()) << served.ErrorText().toStdString();
    std::map<int, std::unique_ptr<CUploadEngine>> engines;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestHost canned;
        canned.SetMode(TestHost::Mode::Canned);
        TestHost& host = row.canned.isEmpty() ? served : canned;
        if (&host == &canned) {
            ASSERT_TRUE(canned.Start());
        }
        const QByteArray hostText = host.HostText().toLatin1();
        QList<QByteArray> answers = row.canned;
        for (QByteArray& answer : answers)
            answer.replace("%h", hostText);
        canned.SetCannedAnswers(answers);

        std::unique_ptr<CUploadEngine> own;
        if (row.service < 0) {
            const ProfileRead read = ReadServiceProfile(QByteArray(row.profile).replace("HOST", hostText));
            ASSERT_TRUE(read.ok()) << read.error.toStdString();
            own = std::make_unique<CProfileEngine>(read.profile, QMap<QString, QString>(), EngineContext());
        } else if (&host == &canned) {
            own = CreateUploadEngine(ServiceId(row.service), host.HostText());
        } else if (!engines.count(row.service)) {
            engines[row.service] = CreateUploadEngine(ServiceId(row.service), host.HostText());
        }
        CUploadEngine& engine = own ? *own : *engines[row.service];

        const qsizetype before = host.Requests().size();
        const std::uint32_t tickBefore = TickCount();
        const UploadOutcome outcome = engine.UploadFile(dir.write(row.fileName, row.file), row.thumbSize);
        const std::uint32_t tickAfter = TickCount();
        EXPECT_TRUE(outcome.ok()) << outcome.error.toStdString();
        const QList<QByteArray> requests = host.Requests().mid(before);
        ASSERT_EQ(requests.size(), row.service == 4 ? 2 : 1);
        // The boundary is eight hyphens and the tick count of the upload in hexadecimal.
        const QByteArray boundary = BoundaryIn(requests[0]);
        if (row.service >= 0 || row.wire.contains("%b")) {
            ASSERT_FALSE(boundary.isEmpty()) << requests[0].left(300).constData();
            EXPECT_LE(boundary.mid(8).toUInt(nullptr, 16) - tickBefore, tickAfter - tickBefore);
        }
        QByteArray expected = row.wire;
        if (row.service >= 0) {
            expected = ExpectedPost(
                ServiceForms()[row.service], hostText, boundary, row.thumbSize, row.wire, row.file);
        } else {
            expected.replace("%h", hostText).replace("%b", boundary);
            const qsizetype end = expected.indexOf("\r\n\r\n");
            expected.insert(
                end + 2, "Content-Length: " + QByteArray::number(expected.size() - end - 4) + "\r\n");
        }
        EXPECT_EQ(requests[0], expected);
        if (row.service == 4) {
            const QByteArray target = QByteArray(row.get)
                                          .replace("%h", hostText)
                                          .replace("%n", QByteArray::number(served.StoredCount()));
            EXPECT_EQ(requests[1],
                "GET " + target + " HTTP/1.1\r\nHost: " + hostText
                    + "\r\nUser-Agent: " + ServiceForms()[4].agent + "\r\n\r\n");
        }
    }
    EXPECT_EQ(served.ConnectionCount(), 5 + 5); // the five engines and one per profile

    // The host goes out as configured, in the Host and the Referer line; a URL parser would
    // change its case.
    const QString mixed = QStringLiteral("LocalHost:%1").arg(served.Port());
    const auto engine = CreateUploadEngine(ServiceId::Radikal, mixed);
    ASSERT_TRUE(engine->UploadFile(dir.write("p.png", PngOf(4, 4)), 150).ok());
    EXPECT_EQ(served.Requests().last(),
        ExpectedPost(ServiceForms()[2], mixed.toLatin1(), BoundaryIn(served.Requests().last()), 150, "p.png",
            PngOf(4, 4)));
    // No file name is longer than 255 bytes.
    EXPECT_EQ(FormFileName(QStringLiteral("/some/dir/") + QString(300, u'x')), QByteArray(255, 'x'));
}
