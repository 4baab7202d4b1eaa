// SPDX-License-Identifier: MIT
#include "upload/profiles/JsonText.h"

#include <QStringDecoder>
#include <cstring>

namespace {

// Answers come from the network: a deeply nested one must not exhaust the stack.
constexpr int kMaxDepth = 256;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

class Parser
{
public:
    explicit Parser(QByteArrayView text)
        : m_text(text)
    { }

    JsonParse Parse()
    {
        JsonParse result;
        if (m_text.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        if (Value(result.value, 0)) {
            SkipSpace();
            if (m_pos < m_text.size())
                Fail(Unexpected("after the end of the value: "));
        }
        if (!m_error.isEmpty()) {
            result.value = {};
            result.error = m_error;
            result.line = m_line;
        }
        return result;
    }

private:
    bool Fail(const QString& reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        return false;
    }

    QString Unexpected(const QString& where = {}) const
    {
        if (m_pos >= m_text.size())
            return QStringLiteral("the text ends too early");
        const auto c = static_cast<unsigned char>(m_text[m_pos]);
        if (c > 0x20 && c < 0x7F)
            return where + QStringLiteral("unexpected '%1'").arg(QChar(c));
        return where + QStringLiteral("unexpected byte 0x%1").arg(c, 2, 16, QChar(u'0'));
    }

    void SkipSpace()
    {
        for (; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                break;
        }
    }

    bool Take(char c)
    {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool Word(QByteArrayView word)
    {
        if (!m_text.sliced(m_pos).startsWith(word))
            return false;
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth)
    {
        SkipSpace();
        out.line = m_line;
        if (m_pos >= m_text.size())
            return Fail(Unexpected());
        const char c = m_text[m_pos];
        if (c == '{' || c == '[') {
            if (depth >= kMaxDepth)
                return Fail(QStringLiteral("nested more than %1 levels deep").arg(kMaxDepth));
            return c == '{' ? Object(out, depth + 1) : Array(out, depth + 1);
        }
        if (c == '"') {
            out.kind = JsonValue::Kind::String;
            return String(out.text);
        }
        if (c == '-' || IsDigit(c)) {
            out.kind = JsonValue::Kind::Number;
            return Number(out.text);
        }
        for (const char* word : {"true", "false", "null"}) {
            if (Word(word)) {
                out.kind = word[0] == 'n' ? JsonValue::Kind::Null : JsonValue::Kind::Bool;
                out.text = out.kind == JsonValue::Kind::Bool ? QString::fromLatin1(word) : QString();
                return true;
            }
        }
        return Fail(Unexpected());
    }

    bool Object(JsonValue& out, int depth)
    {
        out.kind = JsonValue::Kind::Object;
        ++m_pos;
        if (Take('}'))
            return true;
        do {
            SkipSpace();
            JsonMember member;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                return Fail(Unexpected(QStringLiteral("expected a member name: ")));
            if (!String(member.name))
                return false;
            if (!Take(':'))
                return Fail(Unexpected(QStringLiteral("expected ':' behind a member name: ")));
            if (!Value(member.value, depth))
                return false;
            out.members.push_back(std::move(member));
        } while (Take(','));
        return Take('}') || Fail(Unexpected(QStringLiteral("expected ',' or '}': ")));
    }

    bool Array(JsonValue& out, int depth)
    {
        out.kind = JsonValue::Kind::Array;
        ++m_pos;
        if (Take(']'))
            return true;
        do {
            JsonValue item;
            if (!Value(item, depth))
                return false;
            out.items.push_back(std::move(item));
        } while (Take(','));
        return Take(']') || Fail(Unexpected(QStringLiteral("expected ',' or ']': ")));
    }

    bool Number(QString& out)
    {
        const qsizetype start = m_pos;
        auto digits = [this] {
            const qsizetype from = m_pos;
            while (m_pos < m_text.size() && IsDigit(m_text[m_pos]))
                ++m_pos;
            return m_pos > from;
        };
        auto at = [this](char c) { return m_pos < m_text.size() && m_text[m_pos] == c; };
        if (at('-'))
            ++m_pos;
        if (at('0'))
            ++m_pos;
        else if (!digits())
            return Fail(QStringLiteral("a number without digits"));
        if (at('.') && (++m_pos, !digits()))
            return Fail(QStringLiteral("a number without digits behind '.'"));
        if (at('e') || at('E')) {
            ++m_pos;
            if (at('+') || at('-'))
                ++m_pos;
            if (!digits())
                return Fail(QStringLiteral("a number without digits in its exponent"));
        }
        out = QString::fromLatin1(m_text.sliced(start, m_pos - start));
        return true;
    }

    // Four hex digits behind "\u" at m_pos; -1 when they are not there.
    int Hex4()
    {
        if (m_pos + 4 > m_text.size())
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexValue(m_text[m_pos + i]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        m_pos += 4;
        return value;
    }

    bool String(QString& out)
    {
        ++m_pos;
        QByteArray utf8;
        for (;;) {
            if (m_pos >= m_text.size())
                return Fail(QStringLiteral("a string is not closed"));
            const char c = m_text[m_pos++];
            if (c == '"')
                break;
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail(QStringLiteral("a string holds a control character; write it as an escape"));
            if (c != '\\') {
                utf8 += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return Fail(QStringLiteral("a string is not closed"));
            const char e = m_text[m_pos++];
            static const char kFrom[] = "\"\\/bfnrt";
            static const char kTo[] = "\"\\/\b\f\n\r\t";
            if (const char* hit = e ? std::strchr(kFrom, e) : nullptr) {
                utf8 += kTo[hit - kFrom];
                continue;
            }
            if (e != 'u')
                return Fail(QStringLiteral("unknown escape \\%1").arg(QChar::fromLatin1(e)));
            int code = Hex4();
            if (code < 0)
                return Fail(QStringLiteral("\\u needs four hex digits"));
            if (code >= 0xD800 && code < 0xDC00) {
                const int low = Word("\\u") ? Hex4() : -1;
                if (low < 0xDC00 || low >= 0xE000)
                    return Fail(QStringLiteral("a surrogate pair is incomplete"));
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code < 0xE000) {
                return Fail(QStringLiteral("a surrogate pair is incomplete"));
            }
            AppendUtf8(utf8, char32_t(code));
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        out = decoder(utf8);
        return !decoder.hasError() || Fail(QStringLiteral("a string is not valid UTF-8"));
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    QString m_error;
};

void WriteString(QString& out, const QString& text)
{
    out += u'"' + JsonEscaped(text) + u'"';
}

void Write(QString& out, const JsonValue& value)
{
    switch (value.kind) {
    case JsonValue::Kind::Null:
        out += QLatin1String("null");
        break;
    case JsonValue::Kind::Bool:
    case JsonValue::Kind::Number:
        out += value.text;
        break;
    case JsonValue::Kind::String:
        WriteString(out, value.text);
        break;
    case JsonValue::Kind::Array:
        out += u'[';
        for (size_t i = 0; i < value.items.size(); ++i) {
            if (i > 0)
                out += u',';
            Write(out, value.items[i]);
        }
        out += u']';
        break;
    case JsonValue::Kind::Object:
        out += u'{';
        for (size_t i = 0; i < value.members.size(); ++i) {
            if (i > 0)
                out += u',';
            WriteString(out, value.members[i].name);
            out += u':';
            Write(out, value.members[i].value);
        }
        out += u'}';
        break;
    }
}

} // namespace

const JsonValue* JsonValue::Member(QStringView name) const
{
    for (const JsonMember& member : members) {
        if (member.name == name)
            return &member.value;
    }
    return nullptr;
}

JsonParse ParseJson(QByteArrayView text)
{
    return Parser(text).Parse();
}

QString JsonEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    return out;
}

QString CompactJson(const JsonValue& value)
{
    QString out;
    Write(out, value);
    return out;
}

std::optional<QList<JsonPathStep>> ParseJsonPath(QStringView path)
{
    if (path.startsWith(u'$')) {
        path = path.sliced(1);
        if (path.startsWith(u'.'))
            path = path.sliced(1);
        else if (!path.isEmpty() && !path.startsWith(u'['))
            return std::nullopt;
        if (path.isEmpty())
            return QList<JsonPathStep>();
    }
    QList<JsonPathStep> steps;
    qsizetype pos = 0;
    // A name may stand first or behind a '.'; an index behind anything but a '.'.
    bool nameAllowed = true;
    while (pos < path.size()) {
        if (path[pos] == u'[' && pos + 1 < path.size() && (path[pos + 1] == u'\'' || path[pos + 1] == u'"')) {
            // A quoted name, which may hold anything: ['a b'], ["x.y"], with \ before its quote.
            const QChar quote = path[pos + 1];
            QString name;
            qsizetype at = pos + 2;
            for (; at < path.size() && path[at] != quote; ++at) {
                if (path[at] == u'\\' && at + 1 < path.size())
                    ++at;
                name += path[at];
            }
            if (at + 1 >= path.size() || path[at + 1] != u']')
                return std::nullopt;
            steps.append({name.isNull() ? QStringLiteral("") : name, 0});
            pos = at + 2;
        } else if (path[pos] == u'[') {
            const qsizetype close = path.indexOf(u']', pos);
            bool ok = false;
            const qsizetype index = close < 0 ? -1 : path.sliced(pos + 1, close - pos - 1).toLongLong(&ok);
            if (!ok || index < 0 || !path[pos + 1].isDigit())
                return std::nullopt;
            steps.append({QString(), index});
            pos = close + 1;
        } else if (nameAllowed) {
            qsizetype end = pos;
            while (end < path.size() && path[end] != u'.' && path[end] != u'[' && path[end] != u']')
                ++end;
            if (end == pos)
                return std::nullopt;
            steps.append({path.sliced(pos, end - pos).toString(), 0});
            pos = end;
        } else {
            return std::nullopt;
        }
        nameAllowed = pos < path.size() && path[pos] == u'.';
        if (nameAllowed && ++pos == path.size())
            return std::nullopt;
    }
    if (steps.isEmpty())
        return std::nullopt;
    return steps;
}

const JsonValue* FindJsonPath(const JsonValue& root, const QList<JsonPathStep>& path)
{
    const JsonValue* at = &root;
    for (const JsonPathStep& step : path) {
        if (!step.key.isNull()) {
            if (at->kind != JsonValue::Kind::Object || !(at = at->Member(step.key)))
                return nullptr;
        } else {
            if (at->kind != JsonValue::Kind::Array || step.index >= qsizetype(at->items.size()))
                return nullptr;
            at = &at->items[size_t(step.index)];
        }
    }
    return at;
}
