// SPDX-License-Identifier: MIT
#pragma once

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

/// A [Servers] section sending all five services to `host` ("name:port").
QByteArray ServersSection(const QString& host);
/// Servers on a local port nothing listens on: uploads fail at once, without leaving the machine.
QByteArray RefusingServers();

// Readable failure messages for the Qt types the tests compare.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
