// SPDX-License-Identifier: MIT
#include "upload/testhost/TestHost.h"

#include <algorithm>
#include <chrono>

#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
constexpr qsizetype kMaxBodyBytes = 256 * 1024 * 1024;
// A client that sends nothing for this long is dropped, so a stray open socket cannot pin a thread.
constexpr int kIdleMs = 30000;
const QByteArray kServerError = "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n"
                                "Content-Length: 13\r\nConnection: close\r\n\r\nserver error\n";

void SendAll(int fd, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        sent += n;
    }
}

bool ParseHead(const QByteArray& head, HttpMessage& message)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() < 3)
        return false;
    message.method = requestLine[0];
    message.target = requestLine[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (const qsizetype colon = line.indexOf(':'); colon > 0)
            message.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return true;
}

} // namespace

struct TestHost::Connection
{
    std::thread thread;
    std::atomic<bool> done {false};
};

TestHost::TestHost() = default;

TestHost::~TestHost()
{
    Stop();
}

void TestHost::SetCannedAnswers(const QList<QByteArray>& answers)
{
    std::lock_guard lock(m_mutex);
    m_canned = answers;
}

void TestHost::SetUploadFault(int number, Fault fault)
{
    std::lock_guard lock(m_mutex);
    m_faults.insert(number, fault);
}

void TestHost::SetSilentFrom(int number)
{
    std::lock_guard lock(m_mutex);
    m_silentFrom = number;
}

QString TestHost::HostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QList<QByteArray> TestHost::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool TestHost::Start(quint16 port)
{
    Stop();
    auto fail = [this](const QString& what) {
        m_error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        Stop();
        return false;
    };
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return fail(QStringLiteral("pipe"));
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return fail(QStringLiteral("socket"));
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(QStringLiteral("cannot bind 127.0.0.1:%1").arg(port));
    socklen_t length = sizeof address;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    // A bound socket that never listens answers every connection attempt with a reset.
    if (m_mode == Mode::Refuse)
        return true;
    if (::listen(m_listenFd, 16) != 0)
        return fail(QStringLiteral("listen"));
    m_acceptThread = std::thread(&TestHost::AcceptLoop, this);
    return true;
}

void TestHost::Stop()
{
    m_stopping = true;
    if (m_wakePipe[1] >= 0) {
        const char wake = 'x';
        [[maybe_unused]] const ssize_t n = ::write(m_wakePipe[1], &wake, 1);
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto& connection : connections)
        connection->thread.join();
    for (int* fd : {&m_listenFd, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_stopping = false;
}

void TestHost::AcceptLoop()
{
    while (!m_stopping) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ReapFinished();
        std::lock_guard lock(m_mutex);
        auto connection = std::make_unique<Connection>();
        Connection* self = connection.get();
        self->thread = std::thread([this, self, fd] {
            Serve(fd);
            self->done = true;
        });
        m_connections.push_back(std::move(connection));
    }
}

void TestHost::ReapFinished()
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

bool TestHost::ReadRequest(int fd, QByteArray& raw, HttpMessage& message)
{
    qsizetype headEnd = -1;
    qsizetype total = -1;
    qsizetype discarded = 0;
    char chunk[16384];
    while (total < 0 || raw.size() + discarded < total) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, kIdleMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || fds[1].revents)
            return false;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (headEnd >= 0 && m_discardBodies) {
            discarded += n;
            continue;
        }
        raw.append(chunk, n);
        if (headEnd < 0) {
            headEnd = raw.indexOf("\r\n\r\n");
            if (headEnd < 0) {
                if (raw.size() > kMaxHeaderBytes)
                    return false;
                continue;
            }
            if (!ParseHead(raw.left(headEnd), message))
                return false;
            const qsizetype length = message.Header("Content-Length").toLongLong();
            if (length < 0 || length > kMaxBodyBytes)
                return false;
            total = headEnd + 4 + length;
            if (m_discardBodies) {
                discarded = raw.size() - headEnd - 4;
                raw.truncate(headEnd + 4);
            }
        }
    }
    message.body = raw.mid(headEnd + 4, total - headEnd - 4);
    return true;
}

void TestHost::Record(const QByteArray& raw)
{
    std::lock_guard lock(m_mutex);
    m_requests.append(raw);
    if (m_logDir.isEmpty())
        return;
    QFile file(QDir(m_logDir).filePath(
        QStringLiteral("request-%1.http").arg(m_requests.size(), 4, 10, QChar(u'0'))));
    if (file.open(QIODevice::WriteOnly))
        file.write(raw);
}

std::optional<TestHost::Fault> TestHost::FaultFor(const HttpMessage& message)
{
    if (message.method != "POST")
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    const int number = ++m_uploads;
    if (m_silentFrom > 0 && number >= m_silentFrom)
        return Fault::Silent;
    if (const auto it = m_faults.constFind(number); it != m_faults.cend())
        return *it;
    return std::nullopt;
}

void TestHost::HoldSilently(int fd)
{
    // Keep the connection open without a word until the client or Stop() ends it.
    char sink[4096];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno == EINTR)
            continue;
        if (fds[1].revents || ::recv(fd, sink, sizeof sink, 0) <= 0)
            break;
    }
}

void TestHost::Serve(int fd)
{
    QByteArray raw;
    HttpMessage message;
    const bool complete = ReadRequest(fd, raw, message);
    if (!raw.isEmpty())
        Record(raw);
    if (complete) {
        if (m_mode == Mode::Silent) {
            HoldSilently(fd);
        } else if (m_mode == Mode::Canned) {
            QByteArray answer;
            {
                std::lock_guard lock(m_mutex);
                if (!m_canned.isEmpty())
                    answer = m_canned[std::min(m_requests.size(), m_canned.size()) - 1];
            }
            const int pieces = std::max(1, m_tricklePieces.load());
            const qsizetype step = answer.size() / pieces + 1;
            for (qsizetype at = 0; at < answer.size(); at += step) {
                if (at > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(m_tricklePauseMs.load()));
                SendAll(fd, answer.mid(at, step));
            }
        } else if (const std::optional<Fault> fault = FaultFor(message)) {
            if (*fault == Fault::Silent)
                HoldSilently(fd);
            else if (*fault == Fault::ServerError)
                SendAll(fd, kServerError);
        } else {
            SendAll(fd, m_services.Respond(message, HostText().toLatin1()));
        }
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}
