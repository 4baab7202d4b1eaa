// SPDX-License-Identifier: MIT
#include "upload/HttpClient.h"

#include "app/core/UniqueHandle.h"
#include "upload/FailureReasons.h"

#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <curl/curl.h>
#include <linux/tcp.h>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using EasyHandle = UniqueHandle<CURL, curl_easy_cleanup>;
using MultiHandle = UniqueHandle<CURLM, curl_multi_cleanup>;
using HeaderList = UniqueHandle<curl_slist, curl_slist_free_all>;

// Removes the easy handle from the multi handle before either is cleaned up.
class Attachment
{
public:
    Attachment(CURLM* multi, CURL* easy)
        : m_multi(multi)
        , m_easy(easy)
        , m_attached(curl_multi_add_handle(multi, easy) == CURLM_OK)
    { }
    ~Attachment()
    {
        if (m_attached)
            curl_multi_remove_handle(m_multi, m_easy);
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    bool ok() const { return m_attached; }

private:
    CURLM* m_multi;
    CURL* m_easy;
    bool m_attached;
};

constexpr long kPollMs = 50;

bool InitCurlOnce()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

// State the callbacks share with Perform.
struct Transfer
{
    HttpResponse* response;
    const std::atomic<bool>* stop;
    bool readBody;
    const HttpBody* body = nullptr;
    QFile* file = nullptr;
    qint64 sent = 0; // bytes of the body handed to curl so far
    bool endedByUs = false; // answer cap reached, or the header was all we wanted
    bool cut = false; // the answer went on beyond the cap
    qsizetype skipped = 0; // bytes of an unwanted body read and thrown away
    bool stoppedInCallback = false;
    bool fileChanged = false;
    qsizetype headBytes = 0;
    bool headTooLarge = false;
    bool headDone = false; // the blank line after the final answer's header lines has come

    bool StopRequested()
    {
        if (stop && stop->load()) {
            stoppedInCallback = true;
            return true;
        }
        return false;
    }
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (t->StopRequested())
        return 0;
    // A body that is not wanted is still read to its end, so the connection can serve the next
    // request, unless it is longer than any page worth waiting for.
    if (!t->readBody) {
        t->skipped += qsizetype(bytes);
        if (t->skipped <= HttpClient::kAnswerCap)
            return bytes;
        t->endedByUs = true;
        return 0;
    }
    QByteArray& body = t->response->body;
    const size_t room = size_t(HttpClient::kAnswerCap - body.size());
    body.append(data, qsizetype(std::min(room, bytes)));
    if (bytes > room) {
        t->endedByUs = true;
        t->cut = true;
        return 0;
    }
    return bytes;
}

// Hands curl the next piece of the body: head, file, tail. A file that ends early (it changed
// since it was measured) aborts the request rather than sending a body of the wrong length.
size_t OnRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->StopRequested())
        return CURL_READFUNC_ABORT;
    const HttpBody& body = *t->body;
    const qint64 room = qint64(size * count);
    const qint64 fileSize = body.filePath.isEmpty() ? 0 : body.fileSize;
    qint64 done = 0;
    auto copy = [&](const QByteArray& bytes, qint64 at) {
        const qint64 n = std::min(room - done, qint64(bytes.size()) - at);
        std::memcpy(buffer + done, bytes.constData() + at, size_t(n));
        done += n;
        t->sent += n;
    };
    while (done < room) {
        const qint64 at = t->sent;
        if (at < body.head.size()) {
            copy(body.head, at);
        } else if (at < body.head.size() + fileSize) {
            const qint64 want = std::min(room - done, body.head.size() + fileSize - at);
            const qint64 got = t->file->read(buffer + done, want);
            if (got <= 0) {
                t->fileChanged = true;
                return CURL_READFUNC_ABORT;
            }
            done += got;
            t->sent += got;
        } else if (at < body.Size()) {
            copy(body.tail, at - body.head.size() - fileSize);
        } else {
            break;
        }
    }
    return size_t(done);
}

// Back to `offset` of the body, so that a redirect that keeps the method (307, 308) or a retry
// on a reused connection that the server had closed sends the same body again.
int OnSeek(void* user, curl_off_t offset, int origin)
{
    auto* t = static_cast<Transfer*>(user);
    const HttpBody& body = *t->body;
    if (origin != SEEK_SET || offset < 0 || offset > body.Size())
        return CURL_SEEKFUNC_CANTSEEK;
    if (t->file) {
        const qint64 inFile = std::clamp<qint64>(offset - body.head.size(), 0, body.fileSize);
        if (!t->file->seek(inFile))
            return CURL_SEEKFUNC_FAIL;
    }
    t->sent = offset;
    return CURL_SEEKFUNC_OK;
}

// Bytes the peer has acknowledged and bytes received on the connection's socket: they keep
// moving while the system's send buffer drains, when curl hands over nothing new.
struct SocketCounts
{
    qint64 acked = 0;
    qint64 received = 0;
};

// curl names a transfer's socket only once the transfer is done, so the client keeps the sockets
// it opened itself and finds the transfer's by its local port.
using Sockets = std::vector<curl_socket_t>;

curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    const curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd != CURL_SOCKET_BAD)
        static_cast<Sockets*>(user)->push_back(fd);
    return fd;
}

int OnCloseSocket(void* user, curl_socket_t fd)
{
    std::erase(*static_cast<Sockets*>(user), fd);
    return ::close(fd);
}

SocketCounts CountsOf(CURL* easy, const Sockets& sockets)
{
    long port = 0;
    if (curl_easy_getinfo(easy, CURLINFO_LOCAL_PORT, &port) != CURLE_OK || port <= 0)
        return {};
    for (const curl_socket_t fd : sockets) {
        sockaddr_storage local {};
        socklen_t size = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0)
            continue;
        const in_port_t own = local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                                                          : reinterpret_cast<sockaddr_in*>(&local)->sin_port;
        if (ntohs(own) != port)
            continue;
        tcp_info info {};
        socklen_t length = sizeof info;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
            || length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
            return {};
        return {qint64(info.tcpi_bytes_acked), qint64(info.tcpi_bytes_received)};
    }
    return {};
}

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t->headBytes += qsizetype(bytes);
    if (t->headBytes > HttpClient::kHeadCap) {
        t->headTooLarge = true;
        return 0;
    }
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    HttpResponse& r = *t->response;
    if (line.startsWith("HTTP/")) {
        // A new status line: an interim or redirect answer came before, forget its headers.
        r.headers.clear();
        const QList<QByteArray> parts = line.split(' ');
        r.status = parts.size() > 1 ? parts[1].toLong() : 0;
    } else if (line.isEmpty()) {
        if (r.status >= 200)
            t->headDone = true;
        // An unwanted body that ends only when the server closes is not waited for.
        if (!t->readBody && r.status >= 200 && r.Header("Content-Length").isNull()
            && !r.Header("Transfer-Encoding").toLower().contains("chunked")) {
            t->endedByUs = true;
            return 0;
        }

    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        r.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->StopRequested() ? 1 : 0;
}

QString ConnectError(CURL* easy)
{
    long osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    return osErrno == ECONNREFUSED ? QStringLiteral("connection refused") : QStringLiteral("cannot connect");
}

QString TimeoutText(CURL* easy, const HttpTimeouts& timeouts)
{
    curl_off_t connected = 0;
    curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
    if (connected == 0)
        return QStringLiteral("the server could not be reached within %1 seconds")
            .arg(timeouts.connectMs / 1000.0);
    return QStringLiteral("no data moved for %1 seconds").arg(timeouts.stallSeconds);
}

QString ErrorText(CURLcode code, CURL* easy)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return ConnectError(easy);
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("host not found");
    case CURLE_GOT_NOTHING:
        return QStringLiteral("the server closed the connection without an answer");
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        return QStringLiteral("the connection closed in the middle of the answer");
    case CURLE_SEND_ERROR:
        return QStringLiteral("the connection closed while sending");
    case CURLE_TOO_MANY_REDIRECTS:
        return QStringLiteral("too many redirects");
    default:
        return QString::fromUtf8(curl_easy_strerror(code));
    }
}

// Proxies configured in the environment are honoured, as the system settings were, but loopback
// addresses never go through one.
QByteArray NoProxyList()
{
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty())
        list = qgetenv("NO_PROXY");
    if (list.trimmed() == "*")
        return "*";
    if (!list.isEmpty())
        list += ',';
    return list + "localhost,127.0.0.1,::1";
}

bool HasLineBreak(const QByteArray& text)
{
    return text.contains('\r') || text.contains('\n');
}

} // namespace

struct HttpClient::Private
{
    const std::atomic<bool>* stop = nullptr;
    HttpTimeouts timeouts;
    Sockets sockets; ///< before `multi`: its cached connections close theirs when it goes
    MultiHandle multi;
    bool initialised = false;
};

QByteArray HttpResponse::Header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpClient::HttpClient(const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : d(std::make_unique<Private>())
{
    d->stop = stop;
    d->timeouts = timeouts;
    d->initialised = InitCurlOnce();
    if (d->initialised)
        d->multi.reset(curl_multi_init());
}

HttpClient::~HttpClient() = default;

HttpResponse HttpClient::Perform(const HttpRequest& request)
{
    HttpResponse response;
    auto fail = [&response](const QString& why) {
        response.outcome = HttpResponse::Outcome::Failed;
        response.error = why;
        return response;
    };
    if (d->stop && d->stop->load()) {
        response.outcome = HttpResponse::Outcome::Stopped;
        response.error = QStringLiteral("stopped");
        return response;
    }
    if (!d->multi)
        return fail(QStringLiteral("the HTTP library could not start"));
    if (HasLineBreak(request.target) || HasLineBreak(request.userAgent) || request.target.contains(' '))
        return fail(QStringLiteral("invalid request"));

    EasyHandle easy(curl_easy_init());
    if (!easy)
        return fail(QStringLiteral("the HTTP library could not start"));
    CURL* h = easy.get();

    // Empty values remove what curl would send on its own.
    HeaderList headers;
    QList<QByteArray> lines = request.headers;
    lines << "Accept:"
          << "Expect:";
    for (const QByteArray& line : lines) {
        if (HasLineBreak(line))
            return fail(QStringLiteral("invalid request"));
        curl_slist* next = curl_slist_append(headers.get(), line.constData());
        if (!next)
            return fail(QStringLiteral("out of memory"));
        (void)headers.release();
        headers.reset(next);
    }

    Transfer transfer {&response, d->stop, request.readBody};
    const bool sendsBody = request.method != "GET";
    if (!QList<QByteArray> {"GET", "POST", "PUT", "PATCH"}.contains(request.method)
        || (request.scheme != "http" && request.scheme != "https"))
        return fail(QStringLiteral("invalid request"));
    QFile file(request.body.filePath);
    if (sendsBody && !request.body.filePath.isEmpty()) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot open the file"));
        transfer.file = &file;
    }
    transfer.body = &request.body;
    const QByteArray origin = request.scheme + "://" + request.host.toUtf8();
    // A fixed request target would be reused for every redirect, so redirected requests name
    // their path in the URL and curl rewrites it as it follows.
    const QByteArray url = request.followRedirects ? origin + request.target : origin + "/";
    const QByteArray noProxy = NoProxyList();

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    if (!request.followRedirects)
        curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, request.target.constData());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.constData());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Per operation, never for the whole exchange: connecting, and then no byte moving at all.
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, d->timeouts.connectMs);
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.constData());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (request.followRedirects) {
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }
    if (sendsBody) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.Size()));
        curl_easy_setopt(h, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(h, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, OnSeek);
        curl_easy_setopt(h, CURLOPT_SEEKDATA, &transfer);
        if (request.method != "POST") // the body is sent the same way; only the method's name differs
            curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, request.method.constData());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &d->sockets);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, &d->sockets);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    // Certificates are always checked; a private authority may stand in for the system's list.
    const QByteArray caFile = QFile::encodeName(request.caFile);
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    char errorDetail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorDetail);

    Attachment attachment(d->multi.get(), h);
    if (!attachment.ok())
        return fail(QStringLiteral("the HTTP library could not start"));

    // curl's own progress callback comes about once a second on an idle connection; polling in
    // short turns is what keeps a stop request prompt.
    // The stall limit is kept here rather than by curl's low-speed check, which averages over
    // several seconds, answers late for a short limit and sees only what curl hands the socket.
    using Clock = std::chrono::steady_clock;
    bool stopped = false;
    bool stalled = false;
    bool tooSlow = false;
    int running = 1;
    std::optional<Clock::time_point> lastMove;
    std::optional<Clock::time_point> delivered; // the peer has had the whole request since then
    qint64 moved = -1;
    qint64 acked = -1;
    const qint64 bodySize = sendsBody ? request.body.Size() : 0;
    while (running) {
        if (transfer.StopRequested()) {
            stopped = true;
            break;
        }
        if (curl_multi_perform(d->multi.get(), &running) != CURLM_OK)
            return fail(QStringLiteral("the HTTP library failed"));
        curl_off_t connected = 0, up = 0, down = 0;
        curl_easy_getinfo(h, CURLINFO_CONNECT_TIME_T, &connected);
        curl_easy_getinfo(h, CURLINFO_SIZE_UPLOAD_T, &up);
        curl_easy_getinfo(h, CURLINFO_SIZE_DOWNLOAD_T, &down);
        const SocketCounts socket = running ? CountsOf(h, d->sockets) : SocketCounts();
        const auto now = Clock::now();
        const qint64 total = qint64(up + down) + transfer.headBytes + socket.acked + socket.received;
        if (connected > 0 && total != moved) {
            moved = total;
            lastMove = now;
        }
        // The answer's time starts once the body is handed over and no longer being acknowledged.
        if (connected > 0 && up >= bodySize && (!delivered || socket.acked != acked))
            delivered = now;
        acked = socket.acked;
        if (running && lastMove && now - *lastMove > std::chrono::seconds(d->timeouts.stallSeconds)) {
            stalled = true;
            break;
        }
        if (running && delivered && now - *delivered > std::chrono::seconds(d->timeouts.answerSeconds)) {
            tooSlow = true;
            break;
        }
        if (running && curl_multi_poll(d->multi.get(), nullptr, 0, kPollMs, nullptr) != CURLM_OK)
            return fail(QStringLiteral("the HTTP library failed"));
    }
    if (stalled)
        return fail(QStringLiteral("no data moved for %1 seconds").arg(d->timeouts.stallSeconds));
    if (tooSlow)
        return fail(Reasons::AnswerTooSlow(d->timeouts.answerSeconds));
    if (stopped || transfer.stoppedInCallback) {
        response.outcome = HttpResponse::Outcome::Stopped;
        response.error = QStringLiteral("stopped");
        return response;
    }

    CURLcode code = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(d->multi.get(), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            code = message->data.result;
    }
    if (const char* last = nullptr; curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &last) == CURLE_OK && last)
        response.url = QString::fromUtf8(last);
    response.cut = transfer.cut;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && transfer.endedByUs)) {
        response.outcome = HttpResponse::Outcome::Completed;
        return response;
    }
    response.outcome = HttpResponse::Outcome::Failed;
    // A single header line beyond curl's own limit ends the transfer, as "out of memory", before
    // our callback sees the line.
    if (transfer.headTooLarge || (code == CURLE_OUT_OF_MEMORY && !transfer.headDone))
        response.error = QStringLiteral("the answer's head is larger than %1 KiB").arg(kHeadCap / 1024);
    else if (transfer.fileChanged)
        response.error = QStringLiteral("the file changed while it was being sent");
    else if (code == CURLE_OPERATION_TIMEDOUT)
        response.error = TimeoutText(h, d->timeouts);
    else if (code == CURLE_PEER_FAILED_VERIFICATION)
        response.error = QStringLiteral("the server's certificate is not trusted: %1")
                             .arg(QString::fromUtf8(errorDetail));
    else if (code == CURLE_SSL_CONNECT_ERROR || code == CURLE_SSL_CACERT_BADFILE)
        response.error = QStringLiteral("no secure connection: %1").arg(QString::fromUtf8(errorDetail));
    else
        response.error = ErrorText(code, h);
    return response;
}
