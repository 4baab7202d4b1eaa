// SPDX-License-Identifier: MIT
#pragma once

#include "upload/UploadResult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <ostream>

class TestHost;

// Answers and settings for tests that talk to a local host.

/// A whole HTTP/1.1 answer with a Content-Length that matches `body`.
QByteArray CannedAnswer(
    const QByteArray& body, const QList<QByteArray>& headers = {}, const QByteArray& status = "200 OK");

/// How many POST requests `host` has received, stored or not.
int PostCount(const TestHost& host);
/// The address `host` gives upload `id`: `kind` 'i' for its picture, 't' for its thumbnail.
QString StoredAddress(const TestHost& host, char kind, int id);

/// A [Servers] section sending all five services to `host` ("name:port").
QByteArray ServersSection(const QString& host);
/// Servers on a local port nothing listens on: uploads fail at once, without leaving the machine.
QByteArray RefusingServers();

// Readable failure messages for the Qt types the tests compare.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const UploadResult& r, std::ostream* os)
{
    *os << '{' << r.ImageUrl.toStdString() << ", " << r.ThumbUrl.toStdString() << ", "
        << r.DeletionUrl.toStdString() << '}';
}
