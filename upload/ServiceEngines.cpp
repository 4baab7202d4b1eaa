// SPDX-License-Identifier: MIT
#include "upload/ServiceEngines.h"

#include "upload/MultipartForm.h"

namespace {

const QByteArray kWinInetAgent = "WinInet Test";
const QByteArray kMozillaAgent = "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11)";

// Every engine's UploadFile hands its own WriteRequestBody to the shared exchange.
template<class Engine> auto BodyWriterOf(const Engine* engine)
{
    return
        [engine](HttpBody& body, const QByteArray& boundary, const QByteArray& fileName, const QString& path,
            qint64 size) { engine->WriteRequestBody(body, boundary, fileName, path, size); };
}

} // namespace

CImageshackUploadEngine::CImageshackUploadEngine(
    const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : CUploadEngine(host, stop, timeouts)
{ }

bool CImageshackUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/";
    service.firstIsThumb = true;
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

void CImageshackUploadEngine::WriteRequestBody(HttpBody& body, const QByteArray& boundary,
    const QByteArray& fileName, const QString& path, qint64 size) const
{
    AppendFormField(body.head, boundary, "uploadtype", "on");
    AppendFileHead(body.head, boundary, "fileupload", fileName);
    AttachFileAndClose(body, boundary, path, size);
}

CKeep4uUploadEngine::CKeep4uUploadEngine(
    const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : CUploadEngine(host, stop, timeouts)
{ }

bool CKeep4uUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/";
    service.headers = {"Keep-Alive: 300", RefererLine()};
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

void CKeep4uUploadEngine::WriteRequestBody(HttpBody& body, const QByteArray& boundary,
    const QByteArray& fileName, const QString& path, qint64 size) const
{
    AppendFormField(body.head, boundary, "disable_effects", "on");
    AppendFormField(body.head, boundary, "preview", "yes");
    AppendFormField(body.head, boundary, "preview_size", QByteArray::number(ThumbSize));
    AppendFormField(body.head, boundary, "sbmt", "");
    AppendFileHead(body.head, boundary, "pfile", fileName);
    AttachFileAndClose(body, boundary, path, size);
}

CRadikalUploadEngine::CRadikalUploadEngine(
    const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : CUploadEngine(host, stop, timeouts)
{ }

bool CRadikalUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/action.aspx";
    service.headers = {"Keep-Alive: 300", RefererLine()};
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

void CRadikalUploadEngine::WriteRequestBody(HttpBody& body, const QByteArray& boundary,
    const QByteArray& fileName, const QString& path, qint64 size) const
{
    AppendFormField(body.head, boundary, "upload", "yes");
    AppendFormField(body.head, boundary, "CP", "on");
    AppendFormField(body.head, boundary, "VM", QByteArray::number(ThumbSize));
    AppendFormField(body.head, boundary, "IM", "7");
    AppendFormField(body.head, boundary, "Submit", "");
    AppendFileHead(body.head, boundary, "F", fileName);
    AttachFileAndClose(body, boundary, path, size);
}

CSmagesUploadEngine::CSmagesUploadEngine(
    const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : CUploadEngine(host, stop, timeouts)
{ }

bool CSmagesUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/upload";
    service.headers = {"Keep-Alive: 300", RefererLine()};
    service.startTag = "[img]";
    service.endTag = "[/img]";
    service.firstIsThumb = true;
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

void CSmagesUploadEngine::WriteRequestBody(HttpBody& body, const QByteArray& boundary,
    const QByteArray& fileName, const QString& path, qint64 size) const
{
    AppendFormField(body.head, boundary, "Submit", "");
    AppendFileHead(body.head, boundary, "img", fileName);
    AttachFileAndClose(body, boundary, path, size);
}

CIpictureUploadEngine::CIpictureUploadEngine(
    const QString& host, const std::atomic<bool>* stop, HttpTimeouts timeouts)
    : CUploadEngine(host, stop, timeouts)
{ }

bool CIpictureUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kMozillaAgent;
    service.path = "/Upload/";
    service.headers = {"Connection: keep-alive", "Keep-Alive: 300", RefererLine()};
    service.followRedirects = false;
    service.answerViaRefresh = true;
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

void CIpictureUploadEngine::WriteRequestBody(HttpBody& body, const QByteArray& boundary,
    const QByteArray& fileName, const QString& path, qint64 size) const
{
    AppendFormField(body.head, boundary, "rotate", "0");
    AppendFormField(body.head, boundary, "thumb_resize_on", "on");
    AppendFormField(body.head, boundary, "galleries", "12");
    AppendFormField(body.head, boundary, "status", "on");
    AppendFormField(body.head, boundary, "thumb_resize", QByteArray::number(ThumbSize));
    AppendFileHead(body.head, boundary, "userfile", fileName);
    AttachFileAndClose(body, boundary, path, size);
}
