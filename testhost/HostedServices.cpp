// SPDX-License-Identifier: MIT
#include "testhost/HostedServices.h"

#include "settings/Settings.h"
#include "testhost/ServiceForms.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kDefaultThumbSize = 150;
constexpr int kMaxThumbSize = 1024;
// The public hosts' fakes and the generic endpoint make thumbnails of one size.
constexpr int kWebThumbSize = 180;
const QByteArray kRefreshPagePrefix = "/Upload/done/";
const QByteArray kRawPrefix = "/api/upload/raw/";

HttpReply Answer(QByteArrayView status, QByteArrayView type, const QByteArray& body,
    const QList<QByteArray>& extraHeaders = {})
{
    QByteArray head = "HTTP/1.1 " + status.toByteArray() + "\r\n";
    for (const QByteArray& line : extraHeaders)
        head += line + "\r\n";
    head += "Content-Type: " + type.toByteArray() + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return {head, body, {}};
}

HttpReply Json(QByteArrayView status, const QJsonObject& object)
{
    return Answer(status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

HttpReply NotFound()
{
    return Answer("404 Not Found", "text/plain", "not found\n");
}

HttpReply FileAnswer(const QByteArray& type, const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return NotFound();
    return {"HTTP/1.1 200 OK\r\nContent-Type: " + type
            + "\r\nContent-Length: " + QByteArray::number(file.size()) + "\r\nConnection: close\r\n\r\n",
        {}, path};
}

// A picture that decodes is scaled to fit a square of `size` and written as PNG to `out`;
// false for anything else, which is then served as it came.
bool MakeThumb(const QString& source, int size, const QString& out)
{
    QImageReader reader(source);
    QImage image = reader.canRead() ? reader.read() : QImage();
    if (image.isNull())
        return false;
    if (image.width() > size || image.height() > size)
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.save(out, "PNG");
}

// A name that is safe as a file name in the folder, whatever the client sent.
QString SafeName(const QByteArray& name)
{
    QString out;
    for (const char c : name.right(80)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '.' || c == '-' || c == '_';
        out += plain ? QChar::fromLatin1(c) : QChar(u'_');
    }
    return out.isEmpty() || out.startsWith(u'.') ? QStringLiteral("upload") + out : out;
}

QByteArray NewToken()
{
    QByteArray token(16, Qt::Uninitialized);
    for (char& c : token)
        c = "0123456789abcdef"[QRandomGenerator::system()->bounded(16)];
    return token;
}

// Numbers in paths such as "/i/12"; what follows the number is left in `rest`.
int IdAfter(const QByteArray& target, QByteArrayView prefix, QByteArray* rest = nullptr)
{
    if (!target.startsWith(prefix))
        return 0;
    QByteArray tail = target.mid(prefix.size());
    const qsizetype slash = tail.indexOf('/');
    if (rest)
        *rest = slash < 0 ? QByteArray() : tail.mid(slash + 1);
    else if (slash >= 0)
        return 0;
    bool ok = false;
    const int id = tail.left(slash < 0 ? tail.size() : slash).toInt(&ok);
    return ok ? id : 0;
}

QByteArray Path(const QByteArray& target)
{
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

} // namespace

struct HostedServices::Addresses
{
    QByteArray image;
    QByteArray thumb;
    QByteArray deletion;
    QByteArray token;
};

QByteArray HttpMessage::Header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HostedServices::HostedServices() = default;

HostedServices::~HostedServices()
{
    Close();
}

bool HostedServices::Open(const QString& dir)
{
    Close();
    std::lock_guard lock(m_mutex);
    if (dir.isEmpty()) {
        // QTemporaryDir makes its folder readable by its owner only.
        auto temp
            = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vellmar-testhost-XXXXXX"));
        if (!temp->isValid())
            return false;
        m_dir = temp->path();
        m_temp = std::move(temp);
    } else {
        const QString path = QDir(dir).absolutePath();
        if (!QDir(path).exists()) {
            if (!QDir().mkpath(path))
                return false;
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        m_dir = path;
    }
    m_runTag = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-"))
        + QString::fromLatin1(NewToken().left(4));
    return true;
}

void HostedServices::Close()
{
    std::lock_guard lock(m_mutex);
    m_pictures.clear();
    m_temp.reset();
    m_dir.clear();
}

bool HostedServices::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return !m_dir.isEmpty();
}

QString HostedServices::StoreDir() const
{
    std::lock_guard lock(m_mutex);
    return m_dir;
}

void HostedServices::SetAccessKey(const QByteArray& key)
{
    std::lock_guard lock(m_mutex);
    m_key = key;
}

std::unique_ptr<IncomingBody> HostedServices::Receive(const HttpMessage& request)
{
    std::lock_guard lock(m_mutex);
    if (m_dir.isEmpty())
        return nullptr;
    const QString prefix = QStringLiteral("%1/.incoming-%2-%3-").arg(m_dir, m_runTag).arg(++m_incoming);
    return std::make_unique<IncomingBody>(prefix, request.Header("Content-Type"));
}

HttpReply HostedServices::Respond(
    const HttpMessage& request, IncomingBody* body, const QByteArray& fallbackHost, bool secure)
{
    // The Host header goes into pages and a header line; take it only when it can name a server.
    QByteArray host = request.Header("Host");
    if (!IsValidHost(QString::fromLatin1(host)))
        host = fallbackHost;
    const QByteArray origin = (secure ? "https://" : "http://") + host;
    const QByteArray path = Path(request.target);

    if (path == "/api/echo") {
        QJsonObject echo {{"method", QString::fromLatin1(request.method)},
            {"contentType", QString::fromLatin1(request.Header("Content-Type"))},
            {"length", request.Header("Content-Length").toLongLong()},
            {"url", QString::fromLatin1(origin + "/api/echo")}};
        return Json("200 OK", echo);
    }
    if ((request.method == "POST" || request.method == "PUT") && path.startsWith(kRawPrefix)) {
        const QByteArray name = QByteArray::fromPercentEncoding(path.mid(kRawPrefix.size()));
        if (!body || body->IsForm() || name.isEmpty() || !body->Finish())
            return Json("400 Bad Request", {{"error", "send the file's bytes as the body"}});
        Picture picture;
        picture.upload.fileName = name;
        const int id = Keep(picture, body->RawPath(), kWebThumbSize);
        if (id == 0)
            return Json("500 Internal Server Error", {{"error", "the upload could not be stored"}});
        const Addresses at = AddressesOf(id, origin);
        return Json("200 OK",
            {{"url", QString::fromLatin1(at.image)}, {"thumbnail", QString::fromLatin1(at.thumb)},
                {"deletion", QString::fromLatin1(at.deletion)}});
    }
    if (request.method == "POST")
        return Upload(request, body, origin);
    if (request.method != "GET")
        return Answer("405 Method Not Allowed", "text/plain", "only GET and POST\n");
    return Get(request.target, origin);
}

HttpReply HostedServices::Get(const QByteArray& target, const QByteArray& origin)
{
    if (target == "/")
        return Answer("200 OK", "text/html; charset=utf-8", Index(origin));

    std::lock_guard lock(m_mutex);
    const int count = int(m_pictures.size());
    auto live = [&](int id) { return id > 0 && id <= count && !m_pictures[size_t(id - 1)].deleted; };
    if (const int id = IdAfter(target, kRefreshPagePrefix);
        live(id) && m_pictures[size_t(id - 1)].service >= 0)
        return Answer("200 OK", "text/html; charset=utf-8", Page(id, origin));
    if (const int id = IdAfter(target, "/i/"); live(id)) {
        const Picture& picture = m_pictures[size_t(id - 1)];
        return FileAnswer(picture.upload.contentType, picture.upload.path);
    }
    if (const int id = IdAfter(target, "/t/"); live(id)) {
        const Picture& picture = m_pictures[size_t(id - 1)];
        const bool own = picture.thumbPath != picture.upload.path;
        return FileAnswer(own ? QByteArray("image/png") : picture.upload.contentType, picture.thumbPath);
    }
    QByteArray token;
    if (const int id = IdAfter(target, "/d/", &token); live(id)) {
        Picture& picture = m_pictures[size_t(id - 1)];
        if (token != picture.token)
            return Answer("403 Forbidden", "text/plain", "wrong deletion token\n");
        QFile::remove(picture.upload.path);
        QFile::remove(picture.thumbPath);
        picture.deleted = true;
        return Answer("200 OK", "text/plain", "upload " + QByteArray::number(id) + " deleted\n");
    }
    return NotFound();
}

HttpReply HostedServices::Upload(const HttpMessage& request, IncomingBody* body, const QByteArray& origin)
{
    const QByteArray path = Path(request.target);
    QByteArray key;
    {
        std::lock_guard lock(m_mutex);
        key = m_key;
    }
    const bool form = body && body->IsForm() && body->Finish();
    const FormPart* file = form ? body->FilePart() : nullptr;
    const QByteArray field = file ? file->name : QByteArray();

    // The hosts that want a key refuse a wrong one before they look at the file.
    const bool xbackbone = path == "/upload" && form && (field == "upload" || !body->Field("token").isNull());
    if (path == "/api/1/upload" && (!form || body->Field("key") != key)) {
        return Json("400 Bad Request",
            {{"status_code", 400}, {"error", QJsonObject {{"message", "Invalid API v1 key."}, {"code", 100}}},
                {"status_txt", "Bad Request"}});
    }
    if (path == "/api/upload" && request.Header("Authorization") != key)
        return Json("401 Unauthorized", {{"error", "Unauthorized"}});
    if (xbackbone && body->Field("token") != key)
        return Json("401 Unauthorized", {{"message", "Token not found."}});

    enum class Kind { Form, Catbox, NullPointer, Chevereto, Zipline, XBackBone, Generic } kind = Kind::Form;
    int service = -1;
    if (!file) {
        return Answer("400 Bad Request", "text/plain", "no upload form of a known service\n");
    } else if (path == "/user/api.php" && field == "fileToUpload" && body->Field("reqtype") == "fileupload") {
        kind = Kind::Catbox;
    } else if (path == "/" && field == "file") {
        kind = Kind::NullPointer;
    } else if (path == "/api/1/upload" && field == "source") {
        kind = Kind::Chevereto;
    } else if (path == "/api/upload" && field == "file") {
        kind = Kind::Zipline;
    } else if (xbackbone && field == "upload") {
        kind = Kind::XBackBone;
    } else if (path == "/api/upload/form" && field == "file") {
        kind = Kind::Generic;
    } else {
        for (int i = 0; i < int(ServiceForms().size()); ++i) {
            if (request.target == ServiceForms()[i].path && field == ServiceForms()[i].fileField)
                service = i;
        }
        if (service < 0)
            return Answer("400 Bad Request", "text/plain", "no upload form of a known service\n");
    }

    Picture picture;
    picture.service = service;
    picture.upload.fileName = file->fileName;
    int thumbSize = service < 0 ? kWebThumbSize : kDefaultThumbSize;
    const QByteArray sizeField = service < 0 ? QByteArray() : ServiceForms()[service].SizeField();
    for (const FormPart& part : body->Parts()) {
        if (part.isFile)
            continue;
        picture.upload.fields.append({part.name, part.value});
        if (!sizeField.isEmpty() && part.name == sizeField) {
            picture.upload.sizeField = part.value;
            thumbSize = part.value.toInt();
        }
    }
    if (thumbSize < 1 || thumbSize > kMaxThumbSize)
        thumbSize = kDefaultThumbSize;
    const int id = Keep(picture, file->path, thumbSize);
    if (id == 0)
        return Answer("500 Internal Server Error", "text/plain", "the upload could not be stored\n");
    const Addresses at = AddressesOf(id, origin);
    auto text = [](const QByteArray& bytes) { return QString::fromLatin1(bytes); };

    switch (kind) {
    case Kind::Catbox:
        return Answer("200 OK", "text/plain", at.image);
    case Kind::NullPointer:
        return Answer("200 OK", "text/plain", at.image + "\n", {"X-Token: " + at.token});
    case Kind::Chevereto:
        return Json("200 OK",
            {{"status_code", 200}, {"success", QJsonObject {{"message", "image uploaded"}, {"code", 200}}},
                {"image",
                    QJsonObject {{"name", QString::fromUtf8(file->fileName)}, {"url", text(at.image)},
                        {"display_url", text(at.image)}, {"thumb", QJsonObject {{"url", text(at.thumb)}}},
                        {"medium", QJsonObject {{"url", text(at.thumb)}}},
                        {"delete_url", text(at.deletion)}}},
                {"status_txt", "OK"}});
    case Kind::Zipline:
        return Json("200 OK", {{"files", QJsonArray {text(at.image)}}});
    case Kind::XBackBone:
        return Json("201 Created", {{"message", "OK"}, {"version", "3.x"}, {"url", text(at.image)}});
    case Kind::Generic:
        return Json("200 OK",
            {{"url", text(at.image)}, {"thumbnail", text(at.thumb)}, {"deletion", text(at.deletion)}});
    case Kind::Form:
        break;
    }
    if (ServiceForms()[service].answersWithRefresh) {
        const QByteArray target = kRefreshPagePrefix + QByteArray::number(id);
        return Answer("200 OK", "text/html; charset=utf-8", "<html><body>Uploaded.</body></html>\n",
            {"Refresh: 0; url=" + origin + target});
    }
    std::lock_guard lock(m_mutex);
    return Answer("200 OK", "text/html; charset=utf-8", Page(id, origin));
}

int HostedServices::Keep(Picture picture, const QString& source, int thumbSize)
{
    const QString thumb = source + QStringLiteral(".thumb");
    const bool ownThumb = MakeThumb(source, thumbSize, thumb);
    picture.upload.size = QFileInfo(source).size();
    picture.upload.contentType
        = QMimeDatabase().mimeTypeForFile(source, QMimeDatabase::MatchContent).name().toLatin1();
    picture.token = NewToken();

    std::lock_guard lock(m_mutex);
    const int id = int(m_pictures.size()) + 1;
    const QString stem = QStringLiteral("%1/%2-%3").arg(m_dir, m_runTag).arg(id);
    picture.upload.path = stem + u'-' + SafeName(picture.upload.fileName);
    picture.thumbPath = ownThumb ? stem + QStringLiteral("-thumb.png") : picture.upload.path;
    if (m_dir.isEmpty() || !QFile::rename(source, picture.upload.path)) {
        QFile::remove(thumb);
        return 0;
    }
    if (ownThumb && !QFile::rename(thumb, picture.thumbPath))
        picture.thumbPath = picture.upload.path;
    m_pictures.push_back(std::move(picture));
    return id;
}

HostedServices::Addresses HostedServices::AddressesOf(int id, const QByteArray& origin) const
{
    std::lock_guard lock(m_mutex);
    const QByteArray number = QByteArray::number(id);
    const QByteArray& token = m_pictures[size_t(id - 1)].token;
    return {origin + "/i/" + number, origin + "/t/" + number, origin + "/d/" + number + "/" + token, token};
}

QByteArray HostedServices::Page(int id, const QByteArray& origin) const
{
    const Picture& picture = m_pictures[size_t(id - 1)];
    const ServiceForm& form = ServiceForms()[picture.service];
    const QByteArray start = form.lowerCaseTags ? "[img]" : "[IMG]";
    const QByteArray end = form.lowerCaseTags ? "[/img]" : "[/IMG]";
    const QByteArray image = origin + "/i/" + QByteArray::number(id);
    const QByteArray thumb = origin + "/t/" + QByteArray::number(id);
    const QByteArray& first = form.thumbFirst ? thumb : image;
    const QByteArray& second = form.thumbFirst ? image : thumb;
    return "<html><body>\n<p>Your picture is stored.</p>\n<textarea>" + start + first + end
        + "</textarea>\n<textarea>" + start + second + end + "</textarea>\n</body></html>\n";
}

QByteArray HostedServices::Index(const QByteArray& origin) const
{
    std::lock_guard lock(m_mutex);
    auto html = [](const QString& text) { return text.toHtmlEscaped().toUtf8(); };
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>vellmar-testhost</title></head><body>\n"
                      "<h1>vellmar-testhost</h1>\n<p>Uploads are kept in "
        + html(m_dir)
        + "</p>\n<table>\n<tr><th></th><th>Name</th><th>Size</th><th>Address</th><th>File</th></tr>\n";
    for (size_t i = 0; i < m_pictures.size(); ++i) {
        const Picture& picture = m_pictures[i];
        if (picture.deleted)
            continue;
        const QByteArray id = QByteArray::number(qulonglong(i + 1));
        const QByteArray address = origin + "/i/" + id;
        page += "<tr><td><a href=\"/i/" + id + "\"><img src=\"/t/" + id + "\" height=\"60\"></a></td><td>"
            + html(QString::fromUtf8(picture.upload.fileName)) + "</td><td>"
            + QByteArray::number(picture.upload.size) + "</td><td><a href=\"" + address + "\">" + address
            + "</a></td><td>" + html(picture.upload.path) + "</td></tr>\n";
    }
    return page + "</table>\n</body></html>\n";
}

StoredUpload HostedServices::Load(const Picture& picture) const
{
    StoredUpload upload = picture.upload;
    auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    if (!picture.deleted) {
        upload.bytes = read(picture.upload.path);
        upload.thumb = read(picture.thumbPath);
    }
    return upload;
}

int HostedServices::StoredCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_pictures.size());
}

QList<StoredUpload> HostedServices::Uploads() const
{
    std::lock_guard lock(m_mutex);
    QList<StoredUpload> uploads;
    for (const Picture& picture : m_pictures)
        uploads << Load(picture);
    return uploads;
}

StoredUpload HostedServices::Stored(int id) const
{
    std::lock_guard lock(m_mutex);
    return id >= 1 && id <= int(m_pictures.size()) ? Load(m_pictures[size_t(id - 1)]) : StoredUpload();
}
