// SPDX-License-Identifier: MIT
#include "upload/HttpClient.h"

#include <cerrno>
#include <curl/curl.h>
#include <mutex>

namespace {

struct EasyDeleter
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter
{
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

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
    bool endedByUs = false; // answer cap reached, or the header was all we wanted
    bool stoppedInCallback = false;

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
    if (!t->readBody) {
        t->endedByUs = true;
        return 0;
    }
    QByteArray& body = t->response->body;
    const size_t room = size_t(HttpClient::kAnswerCap - body.size());
    body.append(data, qsizetype(std::min(room, bytes)));
    if (bytes > room) {
        t->endedByUs = true;
        return 0;
    }
    return bytes;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    HttpResponse& r = *t->response;
    if (line.startsWith("HTTP/")) {
        // A new status line: an interim or redirect answer came before, forget its headers.
        r.headers.clear();
        const QList<QByteArray> parts = line.split(' ');
        r.status = parts.size() > 1 ? parts[1].toLong() : 0;
    } else if (line.isEmpty()) {
        if (!t->readBody && r.status >= 200) {
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

QString ErrorText(CURLcode code, CURL* easy)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return ConnectError(easy);
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("host not found");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("timed out");
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

HttpClient::HttpClient(const std::atomic<bool>* stop)
    : d(std::make_unique<Private>())
{
    d->stop = stop;
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
    const QByteArray origin = "http://" + request.host.toUtf8();
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
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kTimeoutMs);
    curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.constData());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (request.followRedirects) {
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }
    if (request.method == "POST") {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.constData());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);

    Attachment attachment(d->multi.get(), h);
    if (!attachment.ok())
        return fail(QStringLiteral("the HTTP library could not start"));

    // curl's own progress callback comes about once a second on an idle connection; polling in
    // short turns is what keeps a stop request prompt.
    bool stopped = false;
    int running = 1;
    while (running) {
        if (transfer.StopRequested()) {
            stopped = true;
            break;
        }
        if (curl_multi_perform(d->multi.get(), &running) != CURLM_OK)
            return fail(QStringLiteral("the HTTP library failed"));
        if (running && curl_multi_poll(d->multi.get(), nullptr, 0, kPollMs, nullptr) != CURLM_OK)
            return fail(QStringLiteral("the HTTP library failed"));
    }
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
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && transfer.endedByUs)) {
        response.outcome = HttpResponse::Outcome::Completed;
        return response;
    }
    response.outcome = HttpResponse::Outcome::Failed;
    response.error = ErrorText(code, h);
    return response;
}
