// SPDX-License-Identifier: MIT
#include "upload/AnswerParser.h"

qsizetype SkipPast(QByteArrayView text, QByteArrayView tag)
{
    const qsizetype at = text.indexOf(tag);
    return at < 0 ? 0 : at + tag.size();
}

bool CopyUntil(QByteArrayView text, QByteArrayView tag, QByteArray& out)
{
    const qsizetype at = text.indexOf(tag);
    if (at < 0)
        return false;
    out = text.first(std::min(at, kMaxAddressBytes)).toByteArray();
    return true;
}

AnswerAddresses ExtractAddresses(QByteArrayView answer, QByteArrayView startTag, QByteArrayView endTag)
{
    AnswerAddresses result;
    if (const qsizetype nul = answer.indexOf('\0'); nul >= 0)
        answer = answer.first(nul);

    const QByteArrayView afterFirst = answer.sliced(SkipPast(answer, startTag));
    QByteArray address;
    CopyUntil(afterFirst, endTag, address);
    if (address.isEmpty())
        return result;
    result.first = address;

    // The buffer is deliberately not cleared: without a further end tag it keeps the first
    // address, so a page with one tagged address yields it twice.
    const QByteArrayView afterSecond = afterFirst.sliced(SkipPast(afterFirst, startTag));
    CopyUntil(afterSecond, endTag, address);
    if (address.isEmpty())
        return result;
    result.second = address;
    result.ok = true;
    return result;
}
