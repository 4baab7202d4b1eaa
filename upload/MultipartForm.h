// SPDX-License-Identifier: MIT
#pragma once

#include "upload/HttpClient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <cstdint>

// Pieces of the multipart/form-data body that every service form is made of.

/// "--------" and the tick count as eight lower-case hex digits: 16 characters.
QByteArray MakeBoundary(std::uint32_t tickCount);

/// The name behind the last '/' of `path` in Windows-1251 ('?' for what it cannot hold), or in
/// UTF-8 when not `ansi`, at most 255 bytes. '"', CR and LF become %22, %0D and %0A, as browsers
/// write them, because raw they would end the part header early.
QByteArray FormFileName(const QString& path, bool ansi = true);

/// "--boundary", the disposition line of field `name`, an empty line, `value`, each line
/// ended by CRLF.
void AppendFormField(QByteArray& body, QByteArrayView boundary, QByteArrayView name, QByteArrayView value);

/// The head of the file part; the file bytes follow directly.
void AppendFileHead(QByteArray& body, QByteArrayView boundary, QByteArrayView name, QByteArrayView fileName,
    QByteArrayView contentType = "image/jpeg");

/// The file's bytes follow the head, read while the body is sent; the closing delimiter
/// "\r\n--boundary--\r\n" ends the body.
void AttachFileAndClose(HttpBody& body, QByteArrayView boundary, const QString& path, qint64 size);
