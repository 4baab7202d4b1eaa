// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Cutting the two addresses out of a service's answer page. The page is searched as 8-bit text
// that ends at its first NUL byte; tags are compared byte for byte, case included.

/// Longest address kept, in bytes; longer ones are cut.
inline constexpr qsizetype kMaxAddressBytes = 255;

/// Offset just behind the first `tag` in `text`, or 0 when the tag does not occur.
qsizetype SkipPast(QByteArrayView text, QByteArrayView tag);

/// When `tag` occurs in `text`, puts the bytes before it (at most kMaxAddressBytes) into `out`
/// and returns true; otherwise leaves `out` alone and returns false.
bool CopyUntil(QByteArrayView text, QByteArrayView tag, QByteArray& out);

struct AnswerAddresses
{
    QByteArray first; ///< empty when the answer held no usable first address
    QByteArray second; ///< empty unless `ok`
    bool ok = false; ///< both addresses present and not empty
};

/// The first and second tagged address of `answer`. With one tagged address, both are that
/// one; with no end tag, nothing is found; an empty second address fails with `first` set.
AnswerAddresses ExtractAddresses(QByteArrayView answer, QByteArrayView startTag, QByteArrayView endTag);
