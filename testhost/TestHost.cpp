// SPDX-License-Identifier: MIT
#include "testhost/TestHost.h"

#include "app/core/Files.h"

#include <algorithm>
#include <chrono>

#include <QDir>
#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
// Bodies go to disk as they arrive, so the limit guards the disk rather than the memory.
constexpr qint64 kMaxBodyBytes = qint64(8) << 30;
// Requests() keeps this much of each body: tests compare small requests whole.
constexpr qsizetype kRecordedBodyBytes = 16 * 1024 * 1024;
// A client that sends nothing for this long is dropped, so a stray open socket cannot pin a thread.
constexpr int kIdleMs = 30000;
const QByteArray kServerError = "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain\r\n"
                                "Content-Length: 13\r\nConnection: close\r\n\r\nserver error\n";

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

// One accepted connection, plain or TLS, on a non-blocking socket: every wait also watches the
// host's wake pipe, so Stop() ends a connection that is stuck anywhere, the handshake included.
class Link
{
public:
    Link(int fd, int wakeFd, SSL_CTX* tls)
        : m_fd(fd)
        , m_wakeFd(wakeFd)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        if (tls) {
            m_ssl.reset(SSL_new(tls));
            if (m_ssl)
                SSL_set_fd(m_ssl.get(), fd);
        }
        m_broken = tls && !m_ssl;
    }

    /// False when a TLS handshake fails; a client that does not trust us ends up here.
    bool Open()
    {
        if (m_broken || !m_ssl)
            return !m_broken;
        for (;;) {
            const int result = SSL_accept(m_ssl.get());
            if (result == 1)
                return true;
            if (!WaitSsl(result, kIdleMs))
                return false;
        }
    }

    /// Bytes read, or 0 when the peer closed, `timeoutMs` passed or the host stops.
    qsizetype Read(char* buffer, qsizetype size, int timeoutMs)
    {
        for (;;) {
            if (m_ssl) {
                size_t n = 0;
                const int result = SSL_read_ex(m_ssl.get(), buffer, size_t(size), &n);
                if (result == 1)
                    return qsizetype(n);
                if (!WaitSsl(result, timeoutMs))
                    return 0;
                continue;
            }
            const ssize_t n = ::recv(m_fd, buffer, size_t(size), 0);
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitFor(POLLIN, timeoutMs))
                return 0;
        }
    }

    bool Write(const char* data, qsizetype size)
    {
        while (size > 0) {
            if (m_ssl) {
                size_t n = 0;
                const int result = SSL_write_ex(m_ssl.get(), data, size_t(size), &n);
                if (result == 1) {
                    data += n;
                    size -= qsizetype(n);
                } else if (!WaitSsl(result, kIdleMs)) {
                    return false;
                }
                continue;
            }
            const ssize_t n = ::send(m_fd, data, size_t(size), MSG_NOSIGNAL);
            if (n >= 0) {
                data += n;
                size -= n;
            } else if (errno != EINTR
                && ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitFor(POLLOUT, kIdleMs))) {
                return false;
            }
        }
        return true;
    }
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }

    /// Ends the sending side; the caller closes the socket.
    void Close()
    {
        if (m_ssl && SSL_is_init_finished(m_ssl.get()))
            SSL_shutdown(m_ssl.get());
        ::shutdown(m_fd, SHUT_WR);
    }

private:
    bool WaitSsl(int result, int timeoutMs)
    {
        switch (SSL_get_error(m_ssl.get(), result)) {
        case SSL_ERROR_WANT_READ:
            return WaitFor(POLLIN, timeoutMs);
        case SSL_ERROR_WANT_WRITE:
            return WaitFor(POLLOUT, timeoutMs);
        default:
            return false;
        }
    }

    bool WaitFor(short events, int timeoutMs)
    {
        for (;;) {
            pollfd fds[2] = {{m_fd, events, 0}, {m_wakeFd, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeoutMs);
            if (ready < 0 && errno == EINTR)
                continue;
            return ready > 0 && !fds[1].revents;
        }
    }

    int m_fd;
    int m_wakeFd;
    UniqueHandle<SSL, SSL_free> m_ssl;
    bool m_broken = false;
};

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

QString TestHost::Origin() const
{
    return (m_tls ? QStringLiteral("https://") : QStringLiteral("http://")) + HostText();
}

QList<QByteArray> TestHost::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool TestHost::Start(quint16 port)
{
    Stop();
    m_tls.reset();
    return Listen(port);
}

bool TestHost::StartTls(const QString& certFile, const QString& keyFile, quint16 port)
{
    Stop();
    m_tls.reset(SSL_CTX_new(TLS_server_method()));
    const QByteArray cert = QFile::encodeName(certFile);
    const QByteArray key = QFile::encodeName(keyFile);
    if (!m_tls || SSL_CTX_use_certificate_chain_file(m_tls.get(), cert.constData()) != 1
        || SSL_CTX_use_PrivateKey_file(m_tls.get(), key.constData(), SSL_FILETYPE_PEM) != 1
        || SSL_CTX_check_private_key(m_tls.get()) != 1) {
        char reason[256] = {};
        ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
        m_error = QStringLiteral("cannot use the certificate %1 and key %2: %3")
                      .arg(certFile, keyFile, QString::fromLatin1(reason));
        ERR_clear_error();
        m_tls.reset();
        return false;
    }
    return Listen(port);
}

bool TestHost::Listen(quint16 port)
{
    auto fail = [this](const QString& what) {
        m_error = what + QStringLiteral(": ") + ErrnoText(errno);
        Stop();
        return false;
    };
    if (!m_services.IsOpen() && !m_services.Open(m_storeDir)) {
        m_error = QStringLiteral("cannot make the folder for uploads %1").arg(m_storeDir);
        return false;
    }
    if (::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return fail(QStringLiteral("pipe"));
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        return fail(QStringLiteral("socket"));
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Accepted connections inherit it: a slow reader's window stays small, as on a slow link.
    if (const int pace = m_paceBytes; pace > 0)
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &pace, sizeof pace);
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
    m_services.Close();
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
        ++m_connectionCount;
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

bool TestHost::ReadRequest(
    Link& link, QByteArray& raw, HttpMessage& message, std::unique_ptr<IncomingBody>& body)
{
    char chunk[65536];
    qsizetype headEnd = -1;
    while (headEnd < 0) {
        const qsizetype n = link.Read(chunk, sizeof chunk, kIdleMs);
        if (n <= 0)
            return false;
        raw.append(chunk, n);
        headEnd = raw.indexOf("\r\n\r\n");
        if (headEnd < 0 && raw.size() > kMaxHeaderBytes)
            return false;
    }
    if (!ParseHead(raw.left(headEnd), message))
        return false;
    const qint64 length = message.Header("Content-Length").toLongLong();
    if (length < 0 || length > kMaxBodyBytes)
        return false;
    const QByteArray early = raw.mid(headEnd + 4);
    raw.truncate(headEnd + 4);

    QFile log;
    {
        std::lock_guard lock(m_mutex);
        const int number = ++m_requestCount;
        if (!m_logDir.isEmpty()) {
            log.setFileName(
                QDir(m_logDir).filePath(QStringLiteral("request-%1.http").arg(number, 4, 10, QChar(u'0'))));
            if (log.open(QIODevice::WriteOnly))
                log.write(raw);
        }
    }
    const bool discard = m_discardBodies;
    if (!discard && m_mode == Mode::Serve)
        body = m_services.Receive(message);
    qint64 received = 0;
    auto take = [&](QByteArrayView bytes) {
        bytes = bytes.first(qsizetype(std::min<qint64>(bytes.size(), length - received)));
        received += bytes.size();
        if (discard)
            return;
        const qsizetype room = kRecordedBodyBytes - (raw.size() - headEnd - 4);
        if (m_keepRequests && room > 0)
            raw.append(bytes.first(std::min(room, bytes.size())));
        if (log.isOpen())
            log.write(bytes.data(), bytes.size());
        if (body)
            body->Feed(bytes);
    };
    take(early);
    const int pace = m_paceBytes;
    while (received < length) {
        if (pace > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_pacePauseMs.load()));
        const qsizetype n
            = link.Read(chunk, pace > 0 ? std::min<qsizetype>(pace, sizeof chunk) : sizeof chunk, kIdleMs);
        if (n <= 0)
            return false;
        take(QByteArrayView(chunk, n));
    }
    return true;
}

void TestHost::Record(const QByteArray& raw)
{
    if (!m_keepRequests)
        return;
    std::lock_guard lock(m_mutex);
    m_requests.append(raw);
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

void TestHost::HoldSilently(Link& link)
{
    // Keep the connection open without a word until the client or Stop() ends it.
    char sink[4096];
    while (link.Read(sink, sizeof sink, -1) > 0) { }
}

void TestHost::Serve(int fd)
{
    Link link(fd, m_wakePipe[0], m_tls.get());
    for (bool open = link.Open(); open;) {
        QByteArray raw;
        HttpMessage message;
        std::unique_ptr<IncomingBody> body;
        const bool complete = ReadRequest(link, raw, message, body);
        if (!raw.isEmpty())
            Record(raw);
        open = complete && Answer(link, message, body.get());
    }
    link.Close();
    ::close(fd);
}

bool TestHost::Answer(Link& link, const HttpMessage& message, IncomingBody* body)
{
    if (m_mode == Mode::Silent) {
        HoldSilently(link);
    } else if (m_mode == Mode::Canned) {
        QByteArray answer;
        {
            std::lock_guard lock(m_mutex);
            const qsizetype number = m_keepRequests ? m_requests.size() : m_requestCount;
            if (!m_canned.isEmpty())
                answer = m_canned[std::clamp<qsizetype>(number, 1, m_canned.size()) - 1];
        }
        const int pieces = std::max(1, m_tricklePieces.load());
        const qsizetype step = answer.size() / pieces + 1;
        for (qsizetype at = 0; at < answer.size(); at += step) {
            if (at > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(m_tricklePauseMs.load()));
            link.Write(answer.mid(at, step));
        }
    } else if (const std::optional<Fault> fault = FaultFor(message)) {
        if (*fault == Fault::Silent)
            HoldSilently(link);
        else if (*fault == Fault::ServerError)
            link.Write(kServerError);
    } else {
        HttpReply reply = m_services.Respond(message, body, HostText().toLatin1(), bool(m_tls));
        const bool keep = m_keepAlive && message.Header("Connection").toLower() != "close";
        if (keep)
            reply.head.replace("Connection: close\r\n", "");
        if (!link.Write(reply.head + reply.body))
            return false;
        if (reply.file.isEmpty())
            return keep;
        // Stored files go out piece by piece; a large one never sits in memory whole.
        QFile file(reply.file);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        char chunk[65536];
        for (qint64 n; (n = file.read(chunk, sizeof chunk)) > 0;) {
            if (!link.Write(chunk, n))
                return false;
        }
        return keep;
    }
    return false;
}
