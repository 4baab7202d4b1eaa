// SPDX-License-Identifier: MIT
#include "upload/UploadEngine.h"

#include "app/core/TickCount.h"
#include "settings/AnsiCodePage.h"
#include "upload/AnswerParser.h"
#include "upload/HttpClient.h"
#include "upload/MultipartForm.h"
#include "upload/RefreshTarget.h"
#include "upload/ServiceEngines.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The size went into a 32-bit field on the original platform; larger files are refused
// rather than sent cut short.
constexpr qint64 kMaxFileSize = 0xFFFFFFFFLL - 1024;

QString AddressText(const QByteArray& bytes)
{
    return FromAnsi(bytes).left(int(kMaxAddressBytes));
}

} // namespace

CUploadEngine::CUploadEngine(const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : m_host(host)
    , m_stop(stop)
    , m_timeouts(timeouts)
{ }

CUploadEngine::~CUploadEngine() = default;

QByteArray CUploadEngine::RefererLine() const
{
    return "Referer: http://" + m_host.toUtf8() + "/";
}

bool CUploadEngine::Exchange(const QString& path, const Service& service, const BodyWriter& writeBody,
    QString* imageUrl, QString* thumbUrl)
{
    m_lastError.clear();
    // The host ends up in the URL, the Referer line and the Refresh marker.
    if (!IsValidHost(m_host)) {
        m_lastError = QStringLiteral("invalid host name");
        return false;
    }
    const QByteArray boundary = MakeBoundary(TickCount());

    const QFileInfo info(path);
    if (!info.exists()) {
        m_lastError = QStringLiteral("the file does not exist");
        return false;
    }
    if (!info.isFile()) {
        m_lastError = info.isDir() ? QStringLiteral("it is a folder, not a file")
                                   : QStringLiteral("it is not a regular file");
        return false;
    }
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("cannot open the file");
        return false;
    }
    const qint64 size = info.size();
    if (size > kMaxFileSize) {
        m_lastError = QStringLiteral("the file is too large");
        return false;
    }
    HttpBody body;
    writeBody(body, boundary, FormFileName(path), path, size);

    long status = 0;
    const QByteArray answer = FetchAnswer(service, body, boundary, status);

    auto failWith = [&](const QString& why) {
        // A transport failure says more than what its half answer lacked.
        if (m_lastError.isEmpty()) {
            m_lastError = why;
            if (status >= 400)
                m_lastError += QStringLiteral(" (HTTP status %1)").arg(status);
        }
        return false;
    };
    const AnswerAddresses found = ExtractAddresses(answer, service.startTag, service.endTag);
    if (found.first.isEmpty())
        return failWith(QStringLiteral("no addresses in the answer"));
    const QString first = WebAddress(AddressText(found.first));
    if (first.isEmpty())
        return failWith(QStringLiteral("the answer's address is not a web address"));
    QString* firstOut = service.firstIsThumb ? thumbUrl : imageUrl;
    QString* secondOut = service.firstIsThumb ? imageUrl : thumbUrl;
    if (firstOut)
        *firstOut = first;
    if (!found.ok)
        return failWith(QStringLiteral("an empty address in the answer"));
    const QString second = WebAddress(AddressText(found.second));
    if (second.isEmpty())
        return failWith(QStringLiteral("the answer's address is not a web address"));
    if (secondOut)
        *secondOut = second;
    // The page may have come in whole before the connection broke.
    m_lastError.clear();
    return true;
}

QString WebAddress(const QString& address)
{
    QString out;
    out.reserve(address.size());
    for (const QChar c : address) {
        if (c.category() != QChar::Other_Control) {
            out += c;
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            out += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QChar(u'0')).toUpper();
    }
    for (const QLatin1StringView scheme : {QLatin1StringView("http://"), QLatin1StringView("https://")}) {
        if (out.startsWith(scheme, Qt::CaseInsensitive) && out.size() > scheme.size())
            return out;
    }
    return {};
}

QByteArray CUploadEngine::FetchAnswer(
    const Service& service, const HttpBody& body, const QByteArray& boundary, long& status)
{
    HttpClient client(m_stop, m_timeouts);
    HttpRequest post;
    post.method = "POST";
    post.host = m_host;
    post.target = service.path;
    post.userAgent = service.userAgent;
    post.headers = service.headers;
    post.headers << "Content-Type: multipart/form-data; boundary=" + boundary;
    post.body = body;
    post.followRedirects = service.followRedirects;
    post.readBody = !service.answerViaRefresh;
    HttpResponse posted = client.Perform(post);
    status = posted.status;
    if (posted.outcome != HttpResponse::Outcome::Completed)
        m_lastError = posted.error;
    if (!service.answerViaRefresh)
        return posted.body;
    if (posted.outcome == HttpResponse::Outcome::Stopped || posted.status == 0)
        return {};

    QString refresh = FromAnsi(posted.Header("Refresh"));
    if (refresh.size() > kMaxRefreshChars)
        refresh.clear();
    HttpRequest get;
    get.host = m_host;
    get.target = RequestTargetOf(RefreshObjectPath(refresh, m_host));
    get.userAgent = service.userAgent;
    const HttpResponse page = client.Perform(get);
    status = page.status;
    m_lastError = page.outcome == HttpResponse::Outcome::Completed ? QString() : page.error;
    return page.body;
}

CUploadEngineSelector::CUploadEngineSelector(
    const ServersPart& servers, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : m_servers(servers)
    , m_stop(stop)
    , m_timeouts(timeouts)
{ }

bool CUploadEngineSelector::Select(int serverId)
{
    Engine.reset();
    if (serverId < 0 || serverId >= kServiceCount)
        return false;
    Engine = CreateUploadEngine(serverId, m_servers.Host[size_t(serverId)], m_stop, m_timeouts);
    ServerId = serverId;
    return Engine != nullptr;
}

bool CUploadEngineSelector::Upload(const QString& path, QString* imageUrl, QString* thumbUrl, int thumbSize)
{
    if (!Engine)
        return false;
    Engine->ThumbSize = thumbSize;
    return Engine->UploadFile(path, imageUrl, thumbUrl);
}

bool CUploadEngineSelector::HasServerThumbs(int serverId)
{
    return static_cast<unsigned>(serverId) <= 4u;
}

std::unique_ptr<CUploadEngine> CreateUploadEngine(
    int serverId, const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
{
    switch (serverId) {
    case 0:
        return std::make_unique<CImageshackUploadEngine>(host, stop, timeouts);
    case 1:
        return std::make_unique<CKeep4uUploadEngine>(host, stop, timeouts);
    case 2:
        return std::make_unique<CRadikalUploadEngine>(host, stop, timeouts);
    case 3:
        return std::make_unique<CSmagesUploadEngine>(host, stop, timeouts);
    case 4:
        return std::make_unique<CIpictureUploadEngine>(host, stop, timeouts);
    default:
        return nullptr;
    }
}
