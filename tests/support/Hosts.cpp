// SPDX-License-Identifier: MIT
#include "tests/support/Hosts.h"

#include "testhost/TestHost.h"

#include <algorithm>

QByteArray CannedAnswer(const QByteArray& body, const QList<QByteArray>& headers, const QByteArray& status)
{
    QByteArray out = "HTTP/1.1 " + status + "\r\n";
    for (const QByteArray& line : headers)
        out += line + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    return out + body;
}

QByteArray ServersSection(const QString& host)
{
    QByteArray text = "[Servers]\n";
    for (int i = 0; i < 5; ++i)
        text += "Host" + QByteArray::number(i) + '=' + host.toUtf8() + '\n';
    return text;
}

QByteArray RefusingServers()
{
    return ServersSection(QStringLiteral("127.0.0.1:1"));
}

int PostCount(const TestHost& host)
{
    const QList<QByteArray> requests = host.Requests();
    return int(std::count_if(
        requests.begin(), requests.end(), [](const QByteArray& raw) { return raw.startsWith("POST "); }));
}

QString StoredAddress(const TestHost& host, char kind, int id)
{
    return host.Origin() + u'/' + QLatin1Char(kind) + u'/' + QString::number(id);
}
