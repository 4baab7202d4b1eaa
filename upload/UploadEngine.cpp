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
#include <new>

namespace {

// The size went into a 32-bit field on the original platform; larger files are refused
// rather than sent cut short.
constexpr qint64 kMaxFileSize = 0xFFFFFFFFLL - 1024;

QString AddressText(const QByteArray& bytes)
{
    return FromAnsi(bytes).left(int(kMaxAddressBytes));
}

} // namespace

CUploadEngine::CUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : m_host(host)
    , m_stop(stop)
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

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("cannot open the file");
        return false;
    }
    const qint64 size = file.size();
    if (size > kMaxFileSize) {
        m_lastError = QStringLiteral("the file is too large");
        return false;
    }
    QByteArray body;
    bool written = false;
    try {
        body.reserve(qsizetype(size) + 1024);
        written = writeBody(body, boundary, FormFileName(path), file, size);
    } catch (const std::bad_alloc&) {
        m_lastError = QStringLiteral("out of memory");
        return false;
    }
    file.close();
    if (!written) {
        m_lastError = QStringLiteral("cannot read the file");
        return false;
    }

    long status = 0;
    const QByteArray answer = FetchAnswer(service, body, boundary, status);
    body.clear();

    const AnswerAddresses found = ExtractAddresses(answer, service.startTag, service.endTag);
    QString* firstOut = service.firstIsThumb ? thumbUrl : imageUrl;
    QString* secondOut = service.firstIsThumb ? imageUrl : thumbUrl;
    if (!found.first.isEmpty() && firstOut)
        *firstOut = AddressText(found.first);
    if (found.ok) {
        if (secondOut)
            *secondOut = AddressText(found.second);
        // The page may have come in whole before the connection broke.
        m_lastError.clear();
        return true;
    }
    if (m_lastError.isEmpty()) {
        m_lastError = found.first.isEmpty() ? QStringLiteral("no addresses in the answer")
                                            : QStringLiteral("an empty address in the answer");
        if (status >= 400)
            m_lastError += QStringLiteral(" (HTTP status %1)").arg(status);
    }
    return false;
}

QByteArray CUploadEngine::FetchAnswer(
    const Service& service, const QByteArray& body, const QByteArray& boundary, long& status)
{
    HttpClient client(m_stop);
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

CUploadEngineSelector::CUploadEngineSelector(const ServersPart& servers, const std::atomic<bool>* stop)
    : m_servers(servers)
    , m_stop(stop)
{ }

bool CUploadEngineSelector::Select(int serverId)
{
    Engine.reset();
    if (serverId < 0 || serverId >= kServiceCount)
        return false;
    Engine = CreateUploadEngine(serverId, m_servers.Host[size_t(serverId)], m_stop);
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
    int serverId, const QString& host, const std::atomic<bool>* stop)
{
    switch (serverId) {
    case 0:
        return std::make_unique<CImageshackUploadEngine>(host, stop);
    case 1:
        return std::make_unique<CKeep4uUploadEngine>(host, stop);
    case 2:
        return std::make_unique<CRadikalUploadEngine>(host, stop);
    case 3:
        return std::make_unique<CSmagesUploadEngine>(host, stop);
    case 4:
        return std::make_unique<CIpictureUploadEngine>(host, stop);
    default:
        return nullptr;
    }
}
