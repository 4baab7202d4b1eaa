// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Where a Refresh header sends the second request of the service that answers that way.

/// Longest Refresh value read, in characters; a longer one counts as missing.
inline constexpr qsizetype kMaxRefreshChars = 1199;

/// The text behind "url=http://" + `host` in `refreshValue`; the whole value when that marker
/// is absent (so an empty path when the header was missing).
QString RefreshObjectPath(const QString& refreshValue, const QString& host);

/// `objectPath` as a request target: in Windows-1251, led by '/', and with every byte that may
/// not stand in a request line (controls, space, DEL and above) percent-encoded.
QByteArray RequestTargetOf(const QString& objectPath);
