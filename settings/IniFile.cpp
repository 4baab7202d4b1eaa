// SPDX-License-Identifier: MIT
#include "settings/IniFile.h"

#include "settings/AnsiCodePage.h"
#include "settings/Paths.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstdint>
#include <limits>

namespace {

QString DecodeFileBytes(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        const QByteArray body = bytes.mid(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(body.constData()), body.size() / 2);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Settings files written on Windows are in the ANSI code page.
    return FromAnsi(bytes);
}

bool IsSectionLine(QStringView trimmed)
{
    return trimmed.startsWith(u'[') && trimmed.contains(u']');
}

QStringView SectionName(QStringView trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

// "key=value" lines; comments (";" or "#") and lines without "=" hold no key.
bool SplitKeyLine(QStringView line, QStringView& key, QStringView& value)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#') || IsSectionLine(trimmed))
        return false;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    key = line.left(eq).trimmed();
    value = line.mid(eq + 1).trimmed();
    return true;
}

bool IsQuoted(QStringView value)
{
    return value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front();
}

// Values that reading would change (outer blanks, outer quotes) are written in quotes, and
// line breaks would start a new line, so they become blanks.
QString EncodeValue(const QString& value)
{
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    if (v != v.trimmed() || IsQuoted(v))
        return u'"' + v + u'"';
    return v;
}

} // namespace

IniDocument IniDocument::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return FromText(DecodeFileBytes(file.readAll()));
}

IniDocument IniDocument::FromText(const QString& text)
{
    IniDocument doc;
    if (text.contains(QStringLiteral("\r\n")))
        doc.m_eol = QStringLiteral("\r\n");
    const QStringList lines = text.split(u'\n');
    doc.m_lines.reserve(lines.size());
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        doc.m_lines.append(line);
    }
    // A final line break leaves one empty piece behind it that is not a line of the file.
    if (!doc.m_lines.isEmpty() && doc.m_lines.back().isEmpty())
        doc.m_lines.removeLast();
    return doc;
}

int IniDocument::FindSection(QStringView section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const QStringView trimmed = QStringView(m_lines[i]).trimmed();
        if (IsSectionLine(trimmed) && SectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniDocument::FindKey(int sectionLine, QStringView key) const
{
    for (int i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (IsSectionLine(QStringView(m_lines[i]).trimmed()))
            break;
        QStringView k, v;
        if (SplitKeyLine(m_lines[i], k, v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniDocument::Contains(QStringView section, QStringView key) const
{
    const int s = FindSection(section);
    return s >= 0 && FindKey(s, key) >= 0;
}

QString IniDocument::GetString(
    QStringView section, QStringView key, const QString& defaultValue, int capacity) const
{
    const int limit = qMax(0, capacity - 1);
    const int s = FindSection(section);
    const int line = s < 0 ? -1 : FindKey(s, key);
    if (line < 0)
        return defaultValue.left(limit);
    QStringView k, value;
    SplitKeyLine(m_lines[line], k, value);
    if (IsQuoted(value))
        value = value.mid(1, value.size() - 2);
    return value.left(limit).toString();
}

int IniDocument::GetInt(QStringView section, QStringView key, int defaultValue) const
{
    const int s = FindSection(section);
    const int line = s < 0 ? -1 : FindKey(s, key);
    if (line < 0)
        return defaultValue;
    QStringView k, value;
    SplitKeyLine(m_lines[line], k, value);
    if (IsQuoted(value))
        value = value.mid(1, value.size() - 2).trimmed();

    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+'))
        negative = value[i++] == u'-';
    std::int64_t number = 0;
    qsizetype digits = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i, ++digits) {
        number = number * 10 + (value[i].unicode() - u'0');
        if (number > std::numeric_limits<std::uint32_t>::max())
            return defaultValue;
    }
    if (digits == 0)
        return defaultValue;
    if (negative) {
        if (-number < std::numeric_limits<std::int32_t>::min())
            return defaultValue;
        return static_cast<int>(-number);
    }
    // Values up to 2^32 - 1 wrap as the 32-bit profile functions return them (4294967295 is -1).
    return static_cast<int>(static_cast<std::uint32_t>(number));
}

void IniDocument::SetString(QStringView section, QStringView key, const QString& value)
{
    const QString encoded = EncodeValue(value);
    const int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.back().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section.toString() + u']');
        m_lines.append(key.toString() + u'=' + encoded);
        return;
    }
    const int line = FindKey(s, key);
    if (line >= 0) {
        QStringView k, v;
        SplitKeyLine(m_lines[line], k, v);
        m_lines[line] = k.toString() + u'=' + encoded;
        return;
    }
    // Behind the section's last non-blank line, so blank separators stay before the next section.
    int insertAt = s + 1;
    for (int i = s + 1; i < m_lines.size(); ++i) {
        if (IsSectionLine(QStringView(m_lines[i]).trimmed()))
            break;
        if (!m_lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, key.toString() + u'=' + encoded);
}

QString IniDocument::ToText() const
{
    QString text;
    for (const QString& line : m_lines)
        text += line + m_eol;
    return text;
}

bool IniDocument::Save(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = ToText().toUtf8();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString SectionOf(QStringView name)
{
    return BaseNameOf(name);
}

QString KeyOf(QStringView name)
{
    return ExtensionOf(name);
}

bool ReadIniValue(const QString& iniPath, QStringView name, int& value, int defaultValue)
{
    value = IniDocument::Load(iniPath).GetInt(SectionOf(name), KeyOf(name), defaultValue);
    return true;
}

bool ReadIniValue(const QString& iniPath, QStringView name, QString& value, const QString& defaultValue)
{
    value = IniDocument::Load(iniPath).GetString(SectionOf(name), KeyOf(name), defaultValue);
    return true;
}

bool WriteIniValue(const QString& iniPath, QStringView name, int value, const QString* text)
{
    IniDocument doc = IniDocument::Load(iniPath);
    doc.SetString(SectionOf(name), KeyOf(name), text ? *text : QString::number(value));
    doc.Save(iniPath);
    return true;
}
