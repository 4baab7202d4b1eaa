// SPDX-License-Identifier: MIT
#include "upload/testhost/HostedServices.h"

#include "settings/Settings.h"

#include <QBuffer>
#include <QImage>

namespace {

// How each service's form looks and how its answer carries the two addresses.
struct ServiceForm
{
    QByteArrayView path;
    QByteArrayView fileField;
    QByteArrayView sizeField; ///< empty: the form asks for no thumbnail size
    bool thumbFirst;
    bool lowerCaseTags;
    bool answersWithRefresh;
};

constexpr ServiceForm kForms[] = {
    {"/", "fileupload", "", true, false, false},
    {"/", "pfile", "preview_size", false, false, false},
    {"/action.aspx", "F", "VM", false, false, false},
    {"/upload", "img", "", true, true, false},
    {"/Upload/", "userfile", "thumb_resize", false, false, true},
};
constexpr int kDefaultThumbSize = 150;
constexpr int kMaxThumbSize = 1024;
const QByteArray kRefreshPagePrefix = "/Upload/done/";

QByteArray Answer(QByteArrayView status, QByteArrayView type, const QByteArray& body,
    const QList<QByteArray>& extraHeaders = {})
{
    QByteArray out = "HTTP/1.1 " + status.toByteArray() + "\r\n";
    for (const QByteArray& line : extraHeaders)
        out += line + "\r\n";
    out += "Content-Type: " + type.toByteArray() + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out + body;
}

QByteArray NotFound()
{
    return Answer("404 Not Found", "text/plain", "not found\n");
}

QByteArray SniffType(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return "image/png";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return "image/gif";
    if (bytes.startsWith("BM"))
        return "image/bmp";
    return "application/octet-stream";
}

// A picture that decodes is scaled to fit a square of `size`; anything else is served as it came.
QByteArray MakeThumb(const QByteArray& bytes, int size)
{
    QImage image = QImage::fromData(bytes);
    if (image.isNull())
        return bytes;
    if (image.width() > size || image.height() > size)
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return bytes;
    return out;
}

int FormIndex(const HttpMessage& request, const QList<FormPart>& parts)
{
    const FormPart* file = nullptr;
    for (const FormPart& part : parts) {
        if (part.isFile)
            file = &part;
    }
    if (!file)
        return -1;
    for (int i = 0; i < int(std::size(kForms)); ++i) {
        if (request.target == kForms[i].path && file->name == kForms[i].fileField)
            return i;
    }
    return -1;
}

// Numbers in paths such as "/i/12".
int IdAfter(const QByteArray& target, QByteArrayView prefix)
{
    if (!target.startsWith(prefix))
        return 0;
    bool ok = false;
    const int id = target.mid(prefix.size()).toInt(&ok);
    return ok ? id : 0;
}

} // namespace

QByteArray HttpMessage::Header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (QByteArrayView(key).compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QByteArray BoundaryOf(const QByteArray& contentType)
{
    const qsizetype at = contentType.indexOf("boundary=");
    if (at < 0)
        return {};
    QByteArray value = contentType.mid(at + 9);
    if (const qsizetype semicolon = value.indexOf(';'); semicolon >= 0)
        value.truncate(semicolon);
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    return value;
}

QList<FormPart> ParseMultipart(const QByteArray& body, const QByteArray& boundary)
{
    QList<FormPart> parts;
    if (boundary.isEmpty())
        return parts;
    const QByteArray delimiter = "--" + boundary;
    const QByteArray next = "\r\n" + delimiter;
    qsizetype pos = body.indexOf(delimiter);
    if (pos < 0)
        return parts;
    pos += delimiter.size();
    while (pos + 2 <= body.size() && body.mid(pos, 2) == "\r\n") {
        const qsizetype headEnd = body.indexOf("\r\n\r\n", pos);
        if (headEnd < 0)
            break;
        const qsizetype dataEnd = body.indexOf(next, headEnd + 4);
        if (dataEnd < 0)
            break;
        FormPart part;
        for (const QByteArray& line : body.mid(pos + 2, headEnd - pos - 2).split('\n')) {
            if (!line.trimmed().toLower().startsWith("content-disposition:"))
                continue;
            for (QByteArray param : line.trimmed().split(';')) {
                param = param.trimmed();
                auto unquote = [](QByteArray v) { return v.size() >= 2 ? v.mid(1, v.size() - 2) : v; };
                if (param.startsWith("name="))
                    part.name = unquote(param.mid(5));
                else if (param.startsWith("filename=")) {
                    part.fileName = unquote(param.mid(9));
                    part.isFile = true;
                }
            }
        }
        part.data = body.mid(headEnd + 4, dataEnd - headEnd - 4);
        parts.append(part);
        pos = dataEnd + next.size();
    }
    return parts;
}

QByteArray HostedServices::Respond(const HttpMessage& request, const QByteArray& fallbackHost)
{
    // The Host header goes into pages and a header line; take it only when it can name a server.
    QByteArray host = request.Header("Host");
    if (!IsValidHost(QString::fromLatin1(host)))
        host = fallbackHost;

    if (request.method == "POST")
        return Upload(request, host);
    if (request.method != "GET")
        return Answer("405 Method Not Allowed", "text/plain", "only GET and POST\n");
    if (request.target == "/")
        return Answer("200 OK", "text/html; charset=utf-8", Index());

    std::lock_guard lock(m_mutex);
    const int count = int(m_pictures.size());
    if (const int id = IdAfter(request.target, kRefreshPagePrefix); id > 0 && id <= count)
        return Answer("200 OK", "text/html; charset=utf-8", Page(id, host));
    if (const int id = IdAfter(request.target, "/i/"); id > 0 && id <= count) {
        const QByteArray& bytes = m_pictures[size_t(id - 1)].upload.bytes;
        return Answer("200 OK", SniffType(bytes), bytes);
    }
    if (const int id = IdAfter(request.target, "/t/"); id > 0 && id <= count) {
        const QByteArray& bytes = m_pictures[size_t(id - 1)].upload.thumb;
        return Answer("200 OK", SniffType(bytes), bytes);
    }
    return NotFound();
}

QByteArray HostedServices::Upload(const HttpMessage& request, const QByteArray& host)
{
    const QList<FormPart> parts = ParseMultipart(request.body, BoundaryOf(request.Header("Content-Type")));
    const int service = FormIndex(request, parts);
    if (service < 0)
        return Answer("400 Bad Request", "text/plain", "no upload form of a known service\n");
    const ServiceForm& form = kForms[service];

    Picture picture;
    picture.service = service;
    int thumbSize = kDefaultThumbSize;
    for (const FormPart& part : parts) {
        if (part.isFile) {
            picture.upload.bytes = part.data;
            picture.upload.fileName = part.fileName;
        } else if (!form.sizeField.isEmpty() && part.name == form.sizeField) {
            picture.upload.sizeField = part.data;
            thumbSize = part.data.toInt();
        }
    }
    if (thumbSize < 1 || thumbSize > kMaxThumbSize)
        thumbSize = kDefaultThumbSize;
    picture.upload.thumb = MakeThumb(picture.upload.bytes, thumbSize);

    std::lock_guard lock(m_mutex);
    m_pictures.push_back(std::move(picture));
    const int id = int(m_pictures.size());
    if (form.answersWithRefresh) {
        const QByteArray target = kRefreshPagePrefix + QByteArray::number(id);
        return Answer("200 OK", "text/html; charset=utf-8", "<html><body>Uploaded.</body></html>\n",
            {"Refresh: 0; url=http://" + host + target});
    }
    return Answer("200 OK", "text/html; charset=utf-8", Page(id, host));
}

QByteArray HostedServices::Page(int id, const QByteArray& host) const
{
    const Picture& picture = m_pictures[size_t(id - 1)];
    const ServiceForm& form = kForms[picture.service];
    const QByteArray start = form.lowerCaseTags ? "[img]" : "[IMG]";
    const QByteArray end = form.lowerCaseTags ? "[/img]" : "[/IMG]";
    const QByteArray image = "http://" + host + "/i/" + QByteArray::number(id);
    const QByteArray thumb = "http://" + host + "/t/" + QByteArray::number(id);
    const QByteArray& first = form.thumbFirst ? thumb : image;
    const QByteArray& second = form.thumbFirst ? image : thumb;
    return "<html><body>\n<p>Your picture is stored.</p>\n<textarea>" + start + first + end
        + "</textarea>\n<textarea>" + start + second + end + "</textarea>\n</body></html>\n";
}

QByteArray HostedServices::Index() const
{
    std::lock_guard lock(m_mutex);
    QByteArray page = "<html><body><h1>vellmar-testhost</h1>\n<ul>\n";
    for (size_t i = 0; i < m_pictures.size(); ++i) {
        const QByteArray id = QByteArray::number(qulonglong(i + 1));
        page += "<li><a href=\"/i/" + id + "\"><img src=\"/t/" + id + "\"></a></li>\n";
    }
    return page + "</ul>\n</body></html>\n";
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
        uploads << picture.upload;
    return uploads;
}

StoredUpload HostedServices::Stored(int id) const
{
    std::lock_guard lock(m_mutex);
    return id >= 1 && id <= int(m_pictures.size()) ? m_pictures[size_t(id - 1)].upload : StoredUpload();
}
