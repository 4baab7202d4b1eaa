// SPDX-License-Identifier: MIT
#include "settings/AnsiCodePage.h"

#include "app/core/UniqueHandle.h"

#include <QHash>
#include <array>
#include <iconv.h>
#include <memory>

namespace {

// The code page maps single bytes, so one table of 256 characters, built by iconv once,
// serves both directions.
const std::array<char16_t, 256>& DecodeTable()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t {};
        for (int i = 0; i < 128; ++i)
            t[i] = char16_t(i);
        iconv_t raw = iconv_open("UTF-16LE", "WINDOWS-1251");
        if (raw == reinterpret_cast<iconv_t>(-1)) {
            for (int i = 128; i < 256; ++i)
                t[i] = char16_t(i);
            return t;
        }
        const UniqueHandle<void, iconv_close> cd(raw);
        for (int i = 128; i < 256; ++i) {
            char in = char(i);
            unsigned char out[4] = {};
            char* inPtr = &in;
            char* outPtr = reinterpret_cast<char*>(out);
            size_t inLeft = 1;
            size_t outLeft = sizeof out;
            iconv(raw, nullptr, nullptr, nullptr, nullptr);
            const bool ok = iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1)
                && outPtr == reinterpret_cast<char*>(out) + 2;
            // 0x98 is the one byte the code page leaves undefined.
            t[i] = ok ? char16_t(out[0] | (out[1] << 8)) : char16_t(0xFFFD);
        }
        return t;
    }();
    return table;
}

const QHash<char16_t, char>& EncodeTable()
{
    static const QHash<char16_t, char> table = [] {
        QHash<char16_t, char> t;
        const auto& decode = DecodeTable();
        for (int i = 128; i < 256; ++i) {
            if (decode[i] != 0xFFFD)
                t.insert(decode[i], char(i));
        }
        return t;
    }();
    return table;
}

} // namespace

QByteArray ToAnsi(QStringView text)
{
    const auto& encode = EncodeTable();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one replacement for the whole character, not one per half
            out.append('?');
        } else if (c < 0x80) {
            out.append(char(c));
        } else {
            out.append(encode.value(c, '?'));
        }
    }
    return out;
}

QString FromAnsi(QByteArrayView bytes)
{
    const auto& decode = DecodeTable();
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* data = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        data[i] = QChar(decode[uchar(bytes[i])]);
    return out;
}
