// SPDX-License-Identifier: MIT
#include "upload/RefreshTarget.h"

#include "settings/AnsiCodePage.h"

QString RefreshObjectPath(const QString& refreshValue, const QString& host)
{
    const QString marker = QStringLiteral("url=http://") + host;
    const qsizetype at = refreshValue.indexOf(marker, 0, Qt::CaseSensitive);
    return at < 0 ? refreshValue : refreshValue.mid(at + marker.size());
}

QByteArray RequestTargetOf(const QString& objectPath)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = ToAnsi(objectPath);
    QByteArray target;
    // Origin-form needs the leading slash; an empty path asks for the root.
    if (!bytes.startsWith('/'))
        target += '/';
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            target += '%';
            target += kHex[u >> 4];
            target += kHex[u & 0xF];
        } else {
            target += c;
        }
    }
    return target;
}
