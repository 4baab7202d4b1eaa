// SPDX-License-Identifier: MIT
#include "upload/ServiceEngines.h"

#include "upload/MultipartForm.h"

namespace {

const QByteArray kWinInetAgent = "WinInet Test";
const QByteArray kMozillaAgent = "Mozilla/5.0 (Windows; U; Windows NT 5.1; ru; rv:1.8.1.11)";

// Every engine's UploadFile hands its own WriteRequestBody to the shared exchange.
template<class Engine> auto BodyWriterOf(const Engine* engine)
{
    return [engine](QByteArray& body, const QByteArray& boundary, const QByteArray& fileName, QIODevice& file,
               qint64 size) { return engine->WriteRequestBody(body, boundary, fileName, file, size); };
}

} // namespace

CImageshackUploadEngine::CImageshackUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : CUploadEngine(host, stop)
{ }

bool CImageshackUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/";
    service.firstIsThumb = true;
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

bool CImageshackUploadEngine::WriteRequestBody(QByteArray& body, const QByteArray& boundary,
    const QByteArray& fileName, QIODevice& file, qint64 size) const
{
    AppendFormField(body, boundary, "uploadtype", "on");
    AppendFileHead(body, boundary, "fileupload", fileName);
    return AppendFileAndClose(body, boundary, file, size);
}

CKeep4uUploadEngine::CKeep4uUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : CUploadEngine(host, stop)
{ }

bool CKeep4uUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/";
    service.headers = {"Keep-Alive: 300", RefererLine()};
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

bool CKeep4uUploadEngine::WriteRequestBody(QByteArray& body, const QByteArray& boundary,
    const QByteArray& fileName, QIODevice& file, qint64 size) const
{
    AppendFormField(body, boundary, "disable_effects", "on");
    AppendFormField(body, boundary, "preview", "yes");
    AppendFormField(body, boundary, "preview_size", QByteArray::number(ThumbSize));
    AppendFormField(body, boundary, "sbmt", "");
    AppendFileHead(body, boundary, "pfile", fileName);
    return AppendFileAndClose(body, boundary, file, size);
}

CRadikalUploadEngine::CRadikalUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : CUploadEngine(host, stop)
{ }

bool CRadikalUploadEngine::UploadFile(const QString& path, QString* imageUrl, QString* thumbUrl)
{
    Service service;
    service.userAgent = kWinInetAgent;
    service.path = "/action.aspx";
    service.headers = {"Keep-Alive: 300", RefererLine()};
    return Exchange(path, service, BodyWriterOf(this), imageUrl, thumbUrl);
}

bool CRadikalUploadEngine::WriteRequestBody(QByteArray& body, const QByteArray& boundary,
    const QByteArray& fileName, QIODevice& file, qint64 size) const
{
    AppendFormField(body, boundary, "upload", "yes");
    AppendFormField(body, boundary, "CP", "on");
    AppendFormField(body, boundary, "VM", QByteArray::number(ThumbSize));
    AppendFormField(body, boundary, "IM", "7");
    AppendFormField(body, boundary, "Submit", "");
    AppendFileHead(body, boundary, "F", fileName);
    return AppendFileAndClose(body, boundary, file, size);
}

CSmagesUploadEngine::CSmagesUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : CUploadEngine(host, stop)
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

bool CSmagesUploadEngine::WriteRequestBody(QByteArray& body, const QByteArray& boundary,
    const QByteArray& fileName, QIODevice& file, qint64 size) const
{
    AppendFormField(body, boundary, "Submit", "");
    AppendFileHead(body, boundary, "img", fileName);
    return AppendFileAndClose(body, boundary, file, size);
}

CIpictureUploadEngine::CIpictureUploadEngine(const QString& host, const std::atomic<bool>* stop)
    : CUploadEngine(host, stop)
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

bool CIpictureUploadEngine::WriteRequestBody(QByteArray& body, const QByteArray& boundary,
    const QByteArray& fileName, QIODevice& file, qint64 size) const
{
    AppendFormField(body, boundary, "rotate", "0");
    AppendFormField(body, boundary, "thumb_resize_on", "on");
    AppendFormField(body, boundary, "galleries", "12");
    AppendFormField(body, boundary, "status", "on");
    AppendFormField(body, boundary, "thumb_resize", QByteArray::number(ThumbSize));
    AppendFileHead(body, boundary, "userfile", fileName);
    return AppendFileAndClose(body, boundary, file, size);
}
