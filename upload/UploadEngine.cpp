// SPDX-License-Identifier: MIT
#include "upload/UploadEngine.h"

#include "app/core/TickCount.h"
#include "app/core/Version.h"
#include "settings/AnsiCodePage.h"
#include "settings/Paths.h"
#include "upload/AnswerParser.h"
#include "upload/FailureReasons.h"
#include "upload/MultipartForm.h"
#include "upload/RefreshTarget.h"
#include "upload/ServiceEngines.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>
#include <array>
#include <limits>

namespace {

// The size went into a 32-bit field on the original platform; larger files are refused
// rather than sent cut short.
constexpr qint64 kMaxFileSize = 0xFFFFFFFFLL - 1024;
// Longest address kept from a user's service; the program's own cut theirs at 255 bytes.
constexpr qsizetype kMaxAddressChars = 4096;
constexpr qsizetype kMaxReasonChars = 300;

const char* const kBuiltInFiles[kServiceCount] = {"imageshack", "keep4u", "radikal", "smages", "ipicture"};

bool Is(const QString& name, QLatin1StringView wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

QByteArray ContentTypeOf(const QString& path)
{
    return QMimeDatabase().mimeTypeForFile(path).name().toLatin1();
}

QByteArray UrlEncoded(const QList<std::pair<QString, QString>>& pairs)
{
    QByteArray out;
    for (const auto& [name, value] : pairs) {
        if (!out.isEmpty())
            out += '&';
        out += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return out;
}

} // namespace

CUploadEngine::~CUploadEngine() = default;

// The answer the addresses are read from: the page that holds them, and how the exchange went.
struct CProfileEngine::Answer
{
    HttpResponse response;
    QString error; ///< a transport failure, when there was one
};

CProfileEngine::CProfileEngine(
    ServiceProfile profile, QMap<QString, QString> variables, EngineContext context, bool ownService)
    : m_profile(std::move(profile))
    , m_variables(std::move(variables))
    , m_context(std::move(context))
    , m_ownService(ownService)
{ }

CProfileEngine::Answer CProfileEngine::Send(const QString& path, const AnswerContext& request)
{
    Answer answer;
    const auto value = [&request](const QString& expression, DynamicEscape escape = DynamicEscape::None) {
        return EvaluateDynamic(expression, request, escape);
    };
    const QUrl url(value(m_profile.requestUrl, DynamicEscape::Url), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        answer.error = QStringLiteral("the service's address is not an http or https address");
        return answer;
    }

    HttpRequest send;
    send.method = m_profile.method.toUpper().toLatin1();
    send.scheme = scheme.toLatin1();
    // The host goes out as configured; a URL parser would change its case.
    send.host = m_variables.contains(QStringLiteral("host")) ? m_variables.value(QStringLiteral("host"))
                                                             : url.authority(QUrl::FullyEncoded);
    send.target = url.path(QUrl::FullyEncoded).toLatin1();
    if (send.target.isEmpty())
        send.target = "/";
    // Names and values are encoded whole: a '+' or '&' in a key must arrive as itself.
    QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
    for (const ProfileEntry& parameter : m_profile.parameters) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(parameter.name) + '='
            + QUrl::toPercentEncoding(value(parameter.value));
    }
    if (!query.isEmpty())
        send.target += '?' + query;
    send.followRedirects = m_profile.followRedirects;
    send.readBody = m_profile.answerPage.isEmpty();
    send.caFile = m_context.caFile;
    send.userAgent = "Vellmar/" + QByteArray(kVellmarVersion);
    bool ownContentType = false;
    for (const ProfileEntry& header : m_profile.headers) {
        if (Is(header.name, QLatin1StringView("User-Agent"))) {
            send.userAgent = value(header.value).remove(u'\r').remove(u'\n').toUtf8();
            continue;
        }
        // The boundary of a form is ours to name.
        const bool type = Is(header.name, QLatin1StringView("Content-Type"));
        if (type && m_profile.body == ProfileBody::MultipartForm)
            continue;
        ownContentType = ownContentType || type;
        // A value drawn from a file name must not start a header line of its own. An empty value
        // is sent as an empty header ("Name;" is how curl is told so).
        const QByteArray text = value(header.value).remove(u'\r').remove(u'\n').toUtf8();
        send.headers << header.name.toUtf8() + (text.trimmed().isEmpty() ? ";" : ": " + text);
    }

    QByteArray contentType;
    const qint64 size = QFileInfo(path).size();
    switch (m_profile.body) {
    case ProfileBody::MultipartForm: {
        const QByteArray boundary = MakeBoundary(TickCount());
        for (const ProfileEntry& argument : m_profile.arguments)
            AppendFormField(send.body.head, boundary, argument.name.toUtf8(), value(argument.value).toUtf8());
        AppendFileHead(send.body.head, boundary, m_profile.fileFormName.toUtf8(),
            FormFileName(path, m_profile.fileNameAnsi),
            m_profile.fileContentType.isEmpty() ? ContentTypeOf(path) : m_profile.fileContentType.toLatin1());
        AttachFileAndClose(send.body, boundary, path, size);
        contentType = "multipart/form-data; boundary=" + boundary;
        ownContentType = false;
        break;
    }
    case ProfileBody::FormUrlEncoded: {
        QList<std::pair<QString, QString>> fields;
        for (const ProfileEntry& argument : m_profile.arguments)
            fields.append({argument.name, value(argument.value)});
        send.body.head = UrlEncoded(fields);
        contentType = "application/x-www-form-urlencoded";
        break;
    }
    case ProfileBody::Json:
        send.body.head = value(m_profile.data, DynamicEscape::Json).toUtf8();
        contentType = "application/json";
        break;
    case ProfileBody::Binary:
        send.body.filePath = path;
        send.body.fileSize = size;
        contentType = m_profile.fileContentType.isEmpty() ? ContentTypeOf(path)
                                                          : m_profile.fileContentType.toLatin1();
        break;
    case ProfileBody::None:
        break;
    }
    if (!contentType.isEmpty() && !ownContentType)
        send.headers << "Content-Type: " + contentType;

    if (!m_client)
        m_client = std::make_unique<HttpClient>(m_context.stop, m_context.timeouts);
    HttpClient& client = *m_client;
    answer.response = client.Perform(send);
    if (answer.response.outcome != HttpResponse::Outcome::Completed)
        answer.error = answer.response.error;
    if (m_profile.answerPage.isEmpty())
        return answer;

    // The answer is a page the first answer points to, read with a GET of its own.
    if (answer.response.outcome == HttpResponse::Outcome::Stopped || answer.response.status == 0)
        return answer;
    AnswerContext first = request;
    first.body = answer.response.body;
    first.headers = answer.response.headers;
    first.responseUrl = answer.response.url;
    const QString page = EvaluateDynamic(m_profile.answerPage, first);
    HttpRequest get;
    get.scheme = send.scheme;
    get.host = send.host;
    get.userAgent = send.userAgent;
    get.caFile = send.caFile;
    if (const QUrl elsewhere(page);
        page.startsWith(QLatin1String("http://")) || page.startsWith(QLatin1String("https://"))) {
        get.scheme = elsewhere.scheme().toLatin1();
        get.host = elsewhere.authority(QUrl::FullyEncoded);
        get.target = RequestTargetOf(elsewhere.path(QUrl::FullyEncoded)
            + (elsewhere.hasQuery() ? u'?' + elsewhere.query(QUrl::FullyEncoded) : QString()));
    } else {
        get.target = RequestTargetOf(page);
    }
    answer.response = client.Perform(get);
    answer.error
        = answer.response.outcome == HttpResponse::Outcome::Completed ? QString() : answer.response.error;
    return answer;
}

UploadOutcome CProfileEngine::UploadFile(const QString& path, int thumbSize)
{
    UploadOutcome out;
    const auto fail = [&out](const QString& why) {
        out.error = why;
        return out;
    };
    // The host ends up in the URL, the Referer line and the Refresh marker.
    if (m_variables.contains(QStringLiteral("host"))
        && !IsValidHost(m_variables.value(QStringLiteral("host"))))
        return fail(QStringLiteral("invalid host name"));
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        return fail(info.isDir() ? QStringLiteral("it is a folder, not a file")
                                 : QStringLiteral("it is not a regular file"));
    if (QFile file(path); !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open the file"));
    if (info.size() > kMaxFileSize)
        return fail(QStringLiteral("the file is too large"));
    if (m_context.stop && m_context.stop->load())
        return fail(QStringLiteral("stopped"));

    AnswerContext context;
    context.stop = m_context.stop;
    context.fileName = FileNameOf(path);
    context.variables = m_variables;
    context.variables.insert(QStringLiteral("thumbsize"), QString::number(thumbSize));
    const Answer answer = Send(path, context);
    const long status = answer.response.status;
    context.body = answer.response.body;
    context.headers = answer.response.headers;
    context.responseUrl = answer.response.url;

    const auto failWith = [&](const QString& why) {
        // A transport failure says more than what its half answer lacked, and so does an answer
        // cut at the size the program reads.
        out.error = !answer.error.isEmpty() ? answer.error
            : answer.response.cut           ? Reasons::AnswerTooLarge()
                                            : why;
        if (answer.error.isEmpty() && status >= 400)
            out.error += QStringLiteral(" (HTTP status %1)").arg(status);
        return out;
    };
    // A service that says why it refused is taken at its word. Its words reach a terminal and
    // the window: one line, no control characters, not a page.
    const auto serviceSays = [&] {
        if (m_profile.errorMessage.isEmpty() || !answer.error.isEmpty())
            return QString();
        QString said = EvaluateDynamic(m_profile.errorMessage, context);
        said.removeIf([](QChar c) { return c.category() == QChar::Other_Control && !c.isSpace(); });
        return said.simplified().left(kMaxReasonChars);
    };
    const auto refused = [&](const QString& why) {
        const QString said = serviceSays();
        return said.isEmpty() ? failWith(why) : fail(said);
    };
    // The program's own services answered with pages whatever the status; others mean it.
    if (status >= 400 && !m_ownService)
        return refused(QStringLiteral("the service refused the upload"));
    // A rule whose value finds nothing gives no address at all, never the text around it.
    QString emptyRule;
    const auto address = [&](const QString& expression, const char* field) {
        bool nothing = false;
        const QString text = expression.isEmpty() ? QString::fromUtf8(context.body)
                                                  : EvaluateDynamic(expression, context, {}, &nothing);
        if (nothing && !m_ownService) {
            if (emptyRule.isEmpty())
                emptyRule = QLatin1String(field);
            return QString();
        }
        return (m_ownService ? text : text.trimmed()).left(kMaxAddressChars);
    };
    const QString image = address(m_profile.url, "URL");
    const QString thumb
        = m_profile.thumbnailUrl.isEmpty() ? QString() : address(m_profile.thumbnailUrl, "ThumbnailURL");
    const QString deletion
        = m_profile.deletionUrl.isEmpty() ? QString() : address(m_profile.deletionUrl, "DeletionURL");
    if (!emptyRule.isEmpty())
        return refused(Reasons::RuleFoundNothing(emptyRule));
    if (image.isEmpty() && (thumb.isEmpty() || !m_ownService))
        return refused(QStringLiteral("no addresses in the answer"));
    // Addresses are handed out in the order the answer gives them, up to the first bad one.
    std::array<std::pair<QString, QString*>, 2> found {
        {{image, &out.addresses.ImageUrl}, {thumb, &out.addresses.ThumbUrl}}};
    const auto offset = [&context](const QString& text) {
        qsizetype at = text.isEmpty() ? -1 : context.body.indexOf(text.toUtf8());
        if (at < 0 && !text.isEmpty())
            at = context.body.indexOf(ToAnsi(text));
        return at < 0 ? std::numeric_limits<qsizetype>::max() : at;
    };
    if (offset(thumb) < offset(image))
        std::swap(found[0], found[1]);
    for (const auto& [text, to] : found) {
        if (text.isEmpty()) {
            if (m_ownService)
                return failWith(QStringLiteral("an empty address in the answer"));
            continue;
        }
        const QString web = WebAddress(text);
        if (web.isEmpty())
            return failWith(QStringLiteral("the answer's address is not a web address"));
        *to = web;
    }
    out.addresses.DeletionUrl = deletion.isEmpty() ? QString() : WebAddress(deletion);
    // The page may have come in whole before the connection broke: no error then.
    return out;
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

const ServiceProfile& BuiltInProfile(ServiceId service)
{
    // Read once from the program's own data; a broken one would be a build fault, so it shows.
    static const std::array<ServiceProfile, kServiceCount> profiles = [] {
        std::array<ServiceProfile, kServiceCount> read;
        for (int i = 0; i < kServiceCount; ++i) {
            QFile file(QStringLiteral(":/services/%1.sxcu").arg(QLatin1String(kBuiltInFiles[i])));
            const ProfileRead loaded
                = ReadServiceProfile(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
            Q_ASSERT_X(loaded.ok(), "BuiltInProfile", qPrintable(loaded.error));
            read[size_t(i)] = loaded.profile;
        }
        return read;
    }();
    const auto number = static_cast<size_t>(service);
    Q_ASSERT(number < profiles.size());
    return profiles[number];
}

CUploadEngineSelector::CUploadEngineSelector(const ServersPart& servers, EngineContext context)
    : m_servers(servers)
    , m_context(std::move(context))
{ }

bool CUploadEngineSelector::Select(ServiceId service)
{
    Engine.reset();
    const int number = static_cast<int>(service);
    if (number < 0 || number >= kServiceCount)
        return false;
    Engine = CreateUploadEngine(service, m_servers.Host[size_t(number)], m_context);
    return Engine != nullptr;
}

void CUploadEngineSelector::Select(const ServiceProfile& profile)
{
    Engine = std::make_unique<CProfileEngine>(profile, QMap<QString, QString>(), m_context);
}

UploadOutcome CUploadEngineSelector::Upload(const QString& path, int thumbSize)
{
    if (!Engine)
        return {{}, QStringLiteral("no service is selected")};
    return Engine->UploadFile(path, thumbSize);
}

bool CUploadEngineSelector::HasServerThumbs(ServiceId service)
{
    return static_cast<unsigned>(service) < unsigned(kServiceCount);
}

bool CUploadEngineSelector::HasServerThumbs(const ServiceProfile& profile)
{
    return !profile.thumbnailUrl.isEmpty();
}

std::unique_ptr<CUploadEngine> CreateUploadEngine(
    ServiceId service, const QString& host, EngineContext context)
{
    switch (service) {
    case ServiceId::ImageShack:
        return std::make_unique<CImageshackUploadEngine>(host, context);
    case ServiceId::Keep4u:
        return std::make_unique<CKeep4uUploadEngine>(host, context);
    case ServiceId::Radikal:
        return std::make_unique<CRadikalUploadEngine>(host, context);
    case ServiceId::Smages:
        return std::make_unique<CSmagesUploadEngine>(host, context);
    case ServiceId::IPicture:
        return std::make_unique<CIpictureUploadEngine>(host, context);
    }
    return nullptr;
}
