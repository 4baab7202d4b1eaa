// SPDX-License-Identifier: MIT
#include "tests/upload/UploadTestSupport.h"

#include "upload/testhost/HostedServices.h"
#include "upload/testhost/TestHost.h"

#include <QBuffer>
#include <QImage>
#include <QUrl>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

QByteArray CannedAnswer(const QByteArray& body, const QList<QByteArray>& headers, const QByteArray& status)
{
    QByteArray out = "HTTP/1.1 " + status + "\r\n";
    for (const QByteArray& line : headers)
        out += line + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    return out + body;
}

FetchResult Fetch(const QString& url)
{
    FetchResult result;
    const QUrl parsed(url);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return result;
    timeval timeout {10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(parsed.port(80)));
    ::inet_pton(AF_INET, parsed.host().toLatin1().constData(), &address.sin_addr);
    QByteArray raw;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const QByteArray request = "GET " + parsed.path(QUrl::FullyEncoded).toLatin1()
            + " HTTP/1.1\r\nHost: " + parsed.authority().toLatin1() + "\r\nConnection: close\r\n\r\n";
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
        char chunk[8192];
        ssize_t n = 0;
        while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
            raw.append(chunk, n);
    }
    ::close(fd);
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return result;
    const QList<QByteArray> lines = raw.left(headEnd).split('\n');
    result.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines) {
        if (line.toLower().startsWith("content-type:"))
            result.contentType = line.mid(13).trimmed();
    }
    result.body = raw.mid(headEnd + 4);
    return result;
}

QByteArray HeadOf(const QByteArray& request)
{
    return request.left(request.indexOf("\r\n\r\n"));
}

QByteArray BodyOf(const QByteArray& request)
{
    const qsizetype end = request.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : request.mid(end + 4);
}

QByteArray CapturedBoundary(const QByteArray& request)
{
    const QByteArray marker = "\r\nContent-Type: multipart/form-data; boundary=";
    const qsizetype at = HeadOf(request).indexOf(marker);
    if (at < 0)
        return {};
    const qsizetype start = at + marker.size();
    return request.mid(start, request.indexOf("\r\n", start) - start);
}

namespace {

QByteArray SamplePicture(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

QByteArray SamplePng(int width, int height)
{
    return SamplePicture(width, height, "PNG");
}

QByteArray SampleJpeg(int width, int height)
{
    return SamplePicture(width, height, "JPEG");
}

QList<SentUpload> SentUploads(const TestHost& host)
{
    // The size field of each service's form, by the form's file field.
    const std::pair<QByteArray, QByteArray> sizeFields[]
        = {{"pfile", "preview_size"}, {"F", "VM"}, {"userfile", "thumb_resize"}};
    QList<SentUpload> uploads;
    for (const QByteArray& raw : host.Requests()) {
        if (!raw.startsWith("POST "))
            continue;
        SentUpload upload;
        const QList<FormPart> parts = ParseMultipart(BodyOf(raw), CapturedBoundary(raw));
        QByteArray sizeName;
        for (const FormPart& part : parts) {
            if (!part.isFile)
                continue;
            upload.fileName = part.fileName;
            upload.data = part.data;
            for (const auto& [fileField, sizeField] : sizeFields) {
                if (part.name == fileField)
                    sizeName = sizeField;
            }
        }
        for (const FormPart& part : parts) {
            if (!sizeName.isEmpty() && part.name == sizeName)
                upload.sizeField = part.data;
        }
        uploads.append(upload);
    }
    return uploads;
}
