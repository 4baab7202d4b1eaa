// SPDX-License-Identifier: MIT
#include "upload/CodeGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

namespace {

// Far beyond any code that fits the bound; a larger file is not a template anyone meant.
constexpr qint64 kMaxTemplateBytes = 1024 * 1024;

// Valid UTF-8 without NUL bytes: text an editor on this system wrote. UTF-16 text always has
// NUL bytes (every ASCII character has one), and most other bytes are not valid UTF-8.
bool IsPlainUtf8(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes); // the decoder is lazy: only the conversion decodes
    return !decoded.isNull() && !utf8.hasError();
}

QString DecodeTemplate(const QByteArray& bytes)
{
    // The template was meant to be UTF-16LE behind its byte-order mark; a file that is plainly
    // UTF-8 is taken as such, since that is what an editor on this system writes by default.
    QStringDecoder::Encoding encoding = QStringDecoder::Utf8;
    qsizetype skip = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringDecoder::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringDecoder::Utf16BE;
        skip = 2;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (!IsPlainUtf8(bytes)) {
        // What the template was meant to be: UTF-16LE behind two bytes of mark, whatever they are.
        encoding = QStringDecoder::Utf16LE;
        skip = std::min<qsizetype>(2, bytes.size());
    }
    QByteArrayView body = QByteArrayView(bytes).sliced(skip);
    // An odd last byte of UTF-16 text is half a character; it is dropped.
    if (encoding != QStringDecoder::Utf8 && body.size() % 2 != 0)
        body.chop(1);
    QStringDecoder decode(encoding, QStringDecoder::Flag::Stateless);
    QString text = decode(body);
    // The text ends at its first NUL, as a C string would.
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text.truncate(nul);
    return text;
}

} // namespace

CodeTemplate LoadTemplate(const QString& path)
{
    CodeTemplate tmpl;
    QFile file(path);
    // A FIFO or a device would hold the reader, or never end.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return tmpl;
    const qint64 size = file.size();
    if (size > kMaxTemplateBytes) {
        tmpl.Problem = QStringLiteral("%1 is larger than %2 KiB and was not used")
                           .arg(path)
                           .arg(kMaxTemplateBytes / 1024);
        return tmpl;
    }
    if (size <= 0)
        return tmpl;
    const QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        return tmpl;

    const QString text = DecodeTemplate(bytes);
    const QLatin1StringView marker("%images%");
    const qsizetype at = text.indexOf(marker);
    if (at < 0) {
        tmpl.Head = text;
    } else {
        tmpl.Head = text.left(at);
        tmpl.Tail = text.mid(at + marker.size());
    }
    return tmpl;
}
