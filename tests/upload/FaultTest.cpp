// SPDX-License-Identifier: MIT
// What goes wrong on a real network, and that every such case ends quickly and cleanly.
#include "tests/support/Hosts.h"
#include "tests/support/Memory.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/UploadEngine.h"
#include "upload/testhost/TestHost.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono;

namespace {

struct Outcome
{
    bool ok = false;
    QString image;
    QString error;
    milliseconds elapsed {};
};

Outcome Timed(CUploadEngine& engine, const QString& file)
{
    Outcome o;
    const auto start = steady_clock::now();
    o.ok = engine.UploadFile(file, &o.image, nullptr);
    o.elapsed = duration_cast<milliseconds>(steady_clock::now() - start);
    o.error = engine.LastError();
    return o;
}

} // namespace

TEST(Faults, RefusedConnectionFailsAtOnce)
{
    TestDir dir;
    TestHost host;
    host.SetMode(TestHost::Mode::Refuse);
    ASSERT_TRUE(host.Start());
    for (int service = 0; service < 5; ++service) {
        const auto engine = CreateUploadEngine(ServiceId(service), host.HostText());
        const Outcome o = Timed(*engine, dir.write("p.jpg", "x"));
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.error, QStringLiteral("connection refused"));
        EXPECT_LT(o.elapsed, seconds(2));
    }
}

TEST(Faults, BrokenAnswers)
{
    struct Case
    {
        const char* what;
        QByteArray raw;
        bool ok;
        QString error;
    };
    const Case cases[] = {
        {"closed before any answer", "", false, "the server closed the connection without an answer"},
        {"closed in the middle of the page", "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>[IMG]half",
            false, "the connection closed in the middle of the answer"},
        // What came in is searched, as with any answer.
        {"closed after both addresses",
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n[IMG]http://a[/IMG][IMG]http://b[/IMG]<p>", true,
            ""},
        {"error page", "HTTP/1.1 500 Oops\r\nContent-Length: 3\r\n\r\nsad", false,
            "no addresses in the answer (HTTP status 500)"},
        {"not HTTP at all", "garbage\r\n\r\n", false, ""},
        {"an answer head of 100 KiB",
            "HTTP/1.1 200 OK\r\n" + QByteArray("X-Padding: 0123456789\r\n").repeated(4000) + "\r\n", false,
            "the answer's head is larger than 64 KiB"},
        {"one header line of 200 KiB",
            "HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(200 * 1024, 'p') + "\r\n\r\n", false,
            "the answer's head is larger than 64 KiB"},
    };
    TestDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestHost host;
        host.SetMode(TestHost::Mode::Canned);
        ASSERT_TRUE(host.Start());
        host.SetCannedAnswers({c.raw});
        const auto engine = CreateUploadEngine(ServiceId(2), host.HostText());
        const Outcome o = Timed(*engine, dir.write("p.jpg", "x"));
        EXPECT_EQ(o.ok, c.ok);
        if (!c.error.isEmpty() || c.ok)
            EXPECT_EQ(o.error, c.error);
        else
            EXPECT_FALSE(o.error.isEmpty());
        EXPECT_LT(o.elapsed, seconds(5));
    }
}

TEST(Faults, StopFlagEndsASilentExchangeQuickly)
{
    TestDir dir;
    const QString file = dir.write("p.jpg", QByteArray(100000, 'z'));
    for (const int service : {2, 4}) {
        SCOPED_TRACE(service);
        TestHost host;
        host.SetMode(TestHost::Mode::Silent);
        ASSERT_TRUE(host.Start());
        std::atomic<bool> stop {false};
        const auto engine = CreateUploadEngine(ServiceId(service), host.HostText(), &stop);

        steady_clock::time_point stopAt;
        std::thread stopper([&] {
            // Not a multiple of the poll interval, so the stop lands between two polls.
            std::this_thread::sleep_for(milliseconds(430));
            stopAt = steady_clock::now();
            stop = true;
        });
        const bool ok = engine->UploadFile(file, nullptr, nullptr);
        const auto returned = steady_clock::now();
        stopper.join();

        EXPECT_FALSE(ok);
        EXPECT_EQ(engine->LastError(), QStringLiteral("stopped"));
        // The request was in: the stop ended a transfer that was waiting for an answer.
        EXPECT_EQ(host.Requests().size(), 1);
        const auto reaction = duration_cast<milliseconds>(returned - stopAt);
        RecordProperty("reaction_ms_service_" + std::to_string(service), int(reaction.count()));
        // 200 ms is the promise; the rest is room for a loaded machine and the sanitizers.
        EXPECT_LT(reaction.count(), 200 + 150) << reaction.count() << " ms";
        EXPECT_GE(reaction.count(), 0) << "returned before the stop request";
    }
}

// The body is read from the file while it is sent: a large file costs no more memory than a small one.
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
    bool ok = false;
    const qint64 growth = PeakMemoryGrowth([&] { ok = engine->UploadFile(file, nullptr, nullptr); });
    EXPECT_TRUE(ok) << engine->LastError().toStdString();
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
    struct Case
    {
        const char* what;
        QString host;
        QString file;
        const std::atomic<bool>* stop;
        QString error;
    };
    const Case cases[] = {
        {"missing file", host.HostText(), dir.file("missing.jpg"), nullptr, "the file does not exist"},
        {"a folder", host.HostText(), dir.path(), nullptr, "it is a folder, not a file"},
        {"stop already requested", host.HostText(), dir.write("p.jpg", "x"), &stopped, "stopped"},
        {"host that cannot be a server", "bad host/x", dir.write("p.jpg", "x"), nullptr, "invalid host name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int service = 0; service < 5; ++service) {
            const auto engine = CreateUploadEngine(ServiceId(service), c.host, c.stop);
            QString image = QStringLiteral("untouched");
            EXPECT_FALSE(engine->UploadFile(c.file, &image, nullptr));
            EXPECT_EQ(image, QStringLiteral("untouched"));
            EXPECT_EQ(engine->LastError(), c.error);
        }
    }
    EXPECT_TRUE(host.Requests().isEmpty());
}
