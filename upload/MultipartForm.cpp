// SPDX-License-Identifier: MIT
#include "upload/MultipartForm.h"

#include "settings/AnsiCodePage.h"
#include "settings/Paths.h"

#include <cstdio>

QByteArray MakeBoundary(std::uint32_t tickCount)
{
    char text[32] = {};
    std::snprintf(text, sizeof text, "--------%.8lx", static_cast<unsigned long>(tickCount));
    return QByteArray(text);
}

QByteArray FormFileName(const QString& path, bool ansi)
{
    constexpr qsizetype kMaxBytes = 255;
    const QByteArray encoded = ansi ? ToAnsi(FileNameOf(path)) : FileNameOf(path).toUtf8();
    QByteArray name;
    for (const char c : encoded) {
        QByteArray piece(1, c);
        if (c == '"')
            piece = "%22";
        else if (c == '\r')
            piece = "%0D";
        else if (c == '\n')
            piece = "%0A";
        // Never cut an escape in half, nor a character: UTF-8 continuation bytes go with their lead.
        if (name.size() + piece.size() > kMaxBytes) {
            while (!ansi && !name.isEmpty() && (uchar(name.back()) & 0xC0) == 0x80)
                name.chop(1);
            if (!ansi && !name.isEmpty() && uchar(name.back()) >= 0xC0)
                name.chop(1);
            break;
        }
        name += piece;
    }
    return name;
}

void AppendFormField(QByteArray& body, QByteArrayView boundary, QByteArrayView name, QByteArrayView value)
{
    body += "--";
    body += boundary;
    body += "\r\nContent-Disposition: form-data; name=\"";
    body += name;
    body += "\"\r\n\r\n";
    body += value;
    body += "\r\n";
}

void AppendFileHead(QByteArray& body, QByteArrayView boundary, QByteArrayView name, QByteArrayView fileName,
    QByteArrayView contentType)
{
    body += "--";
    body += boundary;
    body += "\r\nContent-Disposition: form-data; name=\"";
    body += name;
    body += "\"; filename=\"";
    body += fileName;
    body += "\"\r\nContent-Type: ";
    body += contentType;
    body += "\r\n\r\n";
}

void AttachFileAndClose(HttpBody& body, QByteArrayView boundary, const QString& path, qint64 size)
{
    body.filePath = path;
    body.fileSize = size;
    body.tail = "\r\n--" + boundary.toByteArray() + "--\r\n";
}
