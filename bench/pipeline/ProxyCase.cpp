// SPDX-License-Identifier: MIT
// A link with a round trip of its own on the loopback: a proxy that holds every byte for a while
// in each direction. What keeping one connection for a run saves shows there, as it would on a
// real network: a TCP handshake and, over https, a TLS handshake per file.
#include "bench/pipeline/ProxyCase.h"

#include "bench/support/Spawn.h"
#include "testhost/TestCertificates.h"
#include "testhost/TestHost.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One direction of one connection: what is read is written again `delay` later, in order, and
// nothing before `open` (when the TCP handshake of a real link would have ended).
class DelayedPipe
{
public:
    DelayedPipe(int from, int to, std::chrono::milliseconds delay, Clock::time_point open)
        : m_from(from)
        , m_to(to)
        , m_delay(delay)
        , m_open(open)
    {
        m_reader = std::thread([this] { Read(); });
        m_writer = std::thread([this] { Write(); });
    }
    ~DelayedPipe()
    {
        m_reader.join();
        m_writer.join();
    }

private:
    void Read()
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_from, buffer, sizeof buffer, 0);
            const std::lock_guard lock(m_mutex);
            if (n <= 0) {
                m_ended = true;
                m_changed.notify_all();
                return;
            }
            m_queue.push_back({Clock::now() + m_delay, QByteArray(buffer, qsizetype(n))});
            m_changed.notify_all();
        }
    }

    void Write()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ended || !m_queue.empty(); });
            if (m_queue.empty()) {
                ::shutdown(m_to, SHUT_WR);
                return;
            }
            const auto [due, bytes] = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            std::this_thread::sleep_until(std::max(due, m_open));
            for (qsizetype at = 0; at < bytes.size();) {
                const ssize_t n
                    = ::send(m_to, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
                if (n <= 0) {
                    ::shutdown(m_from, SHUT_RD);
                    return;
                }
                at += n;
            }
        }
    }

    int m_from;
    int m_to;
    std::chrono::milliseconds m_delay;
    Clock::time_point m_open;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<Clock::time_point, QByteArray>> m_queue;
    bool m_ended = false;
    std::thread m_reader;
    std::thread m_writer;
};

class DelayProxy
{
public:
    DelayProxy(quint16 target, std::chrono::milliseconds delay)
        : m_target(target)
        , m_delay(delay)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::listen(m_listen, 16) != 0
            || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_accepter = std::thread([this] { Accept(); });
    }
    ~DelayProxy()
    {
        m_stopping = true;
        ::shutdown(m_listen, SHUT_RDWR);
        if (m_accepter.joinable())
            m_accepter.join();
        ::close(m_listen);
        for (Link& link : m_links) {
            ::shutdown(link.client, SHUT_RDWR);
            ::shutdown(link.server, SHUT_RDWR);
        }
        m_links.clear();
    }

    quint16 Port() const { return m_port; }
    int Connections() const { return m_connections; }

private:
    struct Link
    {
        int client;
        int server;
        std::unique_ptr<DelayedPipe> up;
        std::unique_ptr<DelayedPipe> down;
        ~Link()
        {
            up.reset();
            down.reset();
            ::close(client);
            ::close(server);
        }
    };

    static sockaddr_in Loopback(quint16 port)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    void Accept()
    {
        while (!m_stopping) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in target = Loopback(m_target);
            if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            ++m_connections;
            // The loopback answers a connection at once; a real link takes a round trip for it.
            const Clock::time_point open = Clock::now() + 2 * m_delay;
            Link& link = m_links.emplace_back();
            link.client = client;
            link.server = server;
            link.up = std::make_unique<DelayedPipe>(client, server, m_delay, open);
            link.down = std::make_unique<DelayedPipe>(server, client, m_delay, open);
        }
    }

    quint16 m_target;
    std::chrono::milliseconds m_delay;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping {false};
    std::atomic<int> m_connections {0};
    std::list<Link> m_links;
    std::thread m_accepter;
};

QStringList SmallPictures(const QString& dir, int count)
{
    QStringList files;
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        QImage picture(800, 600, QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.fillRect(picture.rect(), QColor::fromHsv(i * 37 % 360, 120, 200));
        for (int n = 0; n < 400; ++n)
            painter.fillRect(QRandomGenerator::global()->bounded(800),
                QRandomGenerator::global()->bounded(600), 20, 20,
                QColor::fromRgb(QRandomGenerator::global()->generate()));
        painter.end();
        const QString file = dir + QStringLiteral("/small-%1.jpg").arg(i);
        if (picture.save(file, "JPEG", 85))
            files << file;
    }
    return files;
}

bool WriteProfile(const QString& path, const QString& origin)
{
    QFile in(QStringLiteral(VELLMAR_OFFLINE_PROFILE));
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = in.readAll().replace("http://127.0.0.1:@PORT@", origin.toUtf8());
    return out.write(text) == text.size();
}

} // namespace

bool RunProxyCase(const QString& upload, const QString& dir, int files, int delayMs)
{
    const QStringList pictures = SmallPictures(dir + QStringLiteral("/small"), files);
    const TestCertificates certificates = MakeTestCertificates(dir);
    if (pictures.size() != files || !certificates.ok()) {
        std::fprintf(stderr, "cannot make the pictures or certificates for the proxy case\n");
        return false;
    }
    std::printf("\nUpload of %d pictures of 800 x 600 as they are (--raw), through a proxy that adds %d ms "
                "each way (a round trip of %d ms):\n",
        files, delayMs, 2 * delayMs);
    bool ok = true;
    for (const bool tls : {false, true}) {
        TestHost host;
        host.SetKeepRequests(false);
        host.SetKeepAlive(true);
        if (!(tls ? host.StartTls(certificates.certFile, certificates.keyFile) : host.Start()))
            return false;
        const QString scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
        const auto measure = [&](const char* name,
                                 const std::function<QStringList(const QString&)>& command) {
            DelayProxy proxy(host.Port(), std::chrono::milliseconds(delayMs));
            const QString origin = scheme + QStringLiteral("://127.0.0.1:") + QString::number(proxy.Port());
            const Measure m = Spawn(command(origin));
            std::printf("  %-5s %-40s %s %6.0f ms per file, %2d connections\n", qPrintable(scheme), name,
                m.ok ? "     " : "FAILED", 1000 * m.seconds / files, proxy.Connections());
            ok = ok && m.ok;
            return m;
        };
        const QString profile = dir + QStringLiteral("/proxy.sxcu");
        const Measure ours = measure("vellmar-upload --raw, one run", [&](const QString& origin) {
            WriteProfile(profile, origin);
            QStringList command = {upload, "--raw", "--service-file", profile};
            if (tls)
                command << "--ca-file" << certificates.caFile;
            return command + pictures;
        });
        const Measure curl = measure("curl -F per file", [&](const QString& origin) {
            return QStringList {"sh", "-c",
                       "url=$1; ca=$2; shift 2; for f; do curl -sf ${ca:+--cacert \"$ca\"} -F \"file=@$f\" "
                       "\"$url\" >/dev/null || exit 1; done",
                       "sh", origin + QStringLiteral("/api/upload/form"),
                       tls ? certificates.caFile : QString()}
            + pictures;
        });
        if (ours.ok && curl.ok)
            std::printf("  %-5s curl takes %.2fx vellmar-upload's time per file\n", qPrintable(scheme),
                curl.seconds / ours.seconds);
    }
    return ok;
}
