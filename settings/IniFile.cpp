// SPDX-License-Identifier: MIT
#include "settings/IniFile.h"

#include "app/core/Files.h"
#include "settings/AnsiCodePage.h"
#include "settings/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

QStringView Unquoted(QStringView value)
{
    return IsQuoted(value) ? value.mid(1, value.size() - 2) : value;
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

// Settings files written on Windows are in the ANSI code page; ours are UTF-8. Deciding per
// line keeps a single stray byte from turning every other line into mojibake.
QString DecodeLine(const QByteArray& raw)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(raw);
    return utf8.hasError() ? FromAnsi(raw) : text;
}

// The file a path finally names, following symbolic links (also one that names a file not yet
// made). Relative link targets are taken from the link's own folder.
QString ResolveLinks(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            return current;
        current = QFileInfo(target).absoluteFilePath();
    }
    return current;
}

// Why a save must leave the existing file `target` as it is, before anything is written.
QString RefusedTarget(const QString& target, const QByteArray& native, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(target);
    // A read-only settings file is the user's way of keeping it as it is (for root too,
    // whom access() would let through).
    if ((st.st_mode & 0222) == 0 || ::access(native.constData(), W_OK) != 0)
        return QStringLiteral("%1 is read-only").arg(target);
    return {};
}

} // namespace

IniDocument::Line IniDocument::MakeLine(QByteArray raw, QByteArray eol)
{
    Line line;
    line.text = DecodeLine(raw);
    line.raw = std::move(raw);
    line.eol = std::move(eol);
    return line;
}

IniDocument IniDocument::Load(const QString& path)
{
    IniDocument doc;
    const QFileInfo info(path);
    if (!info.exists())
        return doc;
    if (info.isDir()) {
        doc.m_problem = QStringLiteral("%1 is a folder, not a settings file").arg(path);
        return doc;
    }
    if (info.size() > kMaxFileBytes) {
        doc.m_problem = QStringLiteral("%1 is larger than %2 KiB and was not read; the defaults are used")
                            .arg(path)
                            .arg(kMaxFileBytes / 1024);
        return doc;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        doc.m_problem = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return doc;
    }
    // Read at most one byte past the limit, in case the file grew since it was measured.
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) {
        doc.m_problem = QStringLiteral("%1 is larger than %2 KiB and was not read; the defaults are used")
                            .arg(path)
                            .arg(kMaxFileBytes / 1024);
        return doc;
    }

    if (bytes.startsWith("\xFF\xFE")) {
        const QByteArray body = bytes.mid(2);
        doc = FromText(
            QString::fromUtf16(reinterpret_cast<const char16_t*>(body.constData()), body.size() / 2));
        doc.m_reencode = true;
        return doc;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.m_bom = bytes.left(3);
        bytes.remove(0, 3);
    }
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', from);
        if (nl < 0) {
            doc.m_lines.append(MakeLine(bytes.mid(from), QByteArray()));
            break;
        }
        QByteArray raw = bytes.mid(from, nl - from);
        QByteArray eol = "\n";
        if (raw.endsWith('\r')) {
            raw.chop(1);
            eol = "\r\n";
        }
        doc.m_lines.append(MakeLine(std::move(raw), std::move(eol)));
        from = nl + 1;
    }
    if (!doc.m_lines.isEmpty() && !doc.m_lines.front().eol.isEmpty())
        doc.m_eol = doc.m_lines.front().eol;
    return doc;
}

IniDocument IniDocument::FromText(const QString& text)
{
    IniDocument doc;
    if (text.contains(QStringLiteral("\r\n")))
        doc.m_eol = "\r\n";
    const QStringList lines = text.split(u'\n');
    doc.m_lines.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        const bool last = i + 1 == lines.size();
        // A final line break leaves one empty piece behind it that is not a line of the file.
        if (last && line.isEmpty())
            break;
        QByteArray eol = last ? QByteArray() : QByteArray("\n");
        if (line.endsWith(u'\r') && !last) {
            line.chop(1);
            eol = "\r\n";
        }
        Line entry;
        entry.raw = line.toUtf8();
        entry.text = line;
        entry.eol = eol;
        doc.m_lines.append(entry);
    }
    return doc;
}

int IniDocument::FindSection(QStringView section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        const QStringView trimmed = QStringView(m_lines[i].text).trimmed();
        if (IsSectionLine(trimmed) && SectionName(trimmed).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniDocument::FindKey(int sectionLine, QStringView key) const
{
    for (int i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (IsSectionLine(QStringView(m_lines[i].text).trimmed()))
            break;
        QStringView k, v;
        if (SplitKeyLine(m_lines[i].text, k, v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniDocument::Has(QStringView section, QStringView key) const
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
    SplitKeyLine(m_lines[line].text, k, value);
    return Unquoted(value).left(limit).toString();
}

int IniDocument::GetInt(QStringView section, QStringView key, int defaultValue) const
{
    const int s = FindSection(section);
    const int line = s < 0 ? -1 : FindKey(s, key);
    if (line < 0)
        return defaultValue;
    QStringView k, value;
    SplitKeyLine(m_lines[line].text, k, value);
    if (IsQuoted(value))
        value = Unquoted(value).trimmed();

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

void IniDocument::InsertLine(int at, const QString& text)
{
    Line line;
    line.text = text;
    line.eol = m_eol;
    line.changed = true;
    // The line before gains an end if it was the file's unterminated last one.
    if (at > 0 && m_lines[at - 1].eol.isEmpty())
        m_lines[at - 1].eol = m_eol;
    m_lines.insert(at, line);
}

void IniDocument::SetString(QStringView section, QStringView key, const QString& value)
{
    const QString encoded = EncodeValue(value);
    const int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.back().text.trimmed().isEmpty())
            InsertLine(int(m_lines.size()), QString());
        InsertLine(int(m_lines.size()), u'[' + section.toString() + u']');
        InsertLine(int(m_lines.size()), key.toString() + u'=' + encoded);
        return;
    }
    const int line = FindKey(s, key);
    if (line >= 0) {
        QStringView k, v;
        SplitKeyLine(m_lines[line].text, k, v);
        if (Unquoted(v) == value)
            return; // what a read gives already: the line keeps its bytes
        m_lines[line].text = k.toString() + u'=' + encoded;
        m_lines[line].changed = true;
        return;
    }
    // Behind the section's last non-blank line, so blank separators stay before the next section.
    int insertAt = s + 1;
    for (int i = s + 1; i < m_lines.size(); ++i) {
        if (IsSectionLine(QStringView(m_lines[i].text).trimmed()))
            break;
        if (!m_lines[i].text.trimmed().isEmpty())
            insertAt = i + 1;
    }
    InsertLine(insertAt, key.toString() + u'=' + encoded);
}

QByteArray IniDocument::ToBytes() const
{
    QByteArray bytes = m_bom;
    for (const Line& line : m_lines) {
        bytes += line.changed || m_reencode ? line.text.toUtf8() : line.raw;
        bytes += m_reencode && !line.eol.isEmpty() ? m_eol : line.eol;
    }
    return bytes;
}

QString IniDocument::ToText() const
{
    QString text;
    for (const Line& line : m_lines)
        text += line.text + QString::fromLatin1(line.eol);
    return text;
}

IoResult IniDocument::Save(const QString& path) const
{
    if (!m_problem.isEmpty())
        return {QStringLiteral("%1, so it was not written over").arg(m_problem)};
    const QString target = ResolveLinks(path);
    const QByteArray native = QFile::encodeName(target);

    struct stat st
    { };
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists) {
        if (QString refused = RefusedTarget(target, native, st); !refused.isEmpty())
            return {refused};
    } else if (errno != ENOENT) {
        return {QStringLiteral("%1: %2").arg(target, ErrnoText(errno))};
    }

    // The new file is written beside the old one under a name of its own and then renamed over
    // it. A file made anew gets the mode the umask gives any new file; a replaced one keeps its
    // mode and its owner.
    CreatedFile temp = CreateUniqueFile(QFileInfo(target).absolutePath() + QStringLiteral("/.")
            + QFileInfo(target).fileName() + QStringLiteral(".new"),
        QString(), exists ? 0600 : 0666);
    if (!temp.ok())
        return {temp.error};
    const int fd = temp.fd.get();
    QString why;
    if (!WriteAll(fd, ToBytes()) || (exists && ::fchmod(fd, st.st_mode & 07777) != 0)) {
        why = ErrnoText(errno);
    } else if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
        && ::fchown(fd, st.st_uid, st.st_gid) != 0 && st.st_uid != ::geteuid()) {
        // Renamed over another user's file, ours would take its place: the settings would change
        // hands, so the old file stays as it is. A group that cannot be kept becomes ours.
        why = QStringLiteral("its owner cannot be kept (%1)").arg(ErrnoText(errno));
    } else if (::fsync(fd) != 0 || !temp.fd.close()
        || ::rename(QFile::encodeName(temp.path).constData(), native.constData()) != 0) {
        why = ErrnoText(errno);
    }
    if (!why.isEmpty()) {
        ::unlink(QFile::encodeName(temp.path).constData());
        return {QStringLiteral("cannot write %1: %2").arg(target, why)};
    }
    return {};
}

QString SaveOverProblem(const QString& path)
{
    const QString target = ResolveLinks(path);
    const QByteArray native = QFile::encodeName(target);
    struct stat st
    { };
    if (::stat(native.constData(), &st) != 0)
        return QStringLiteral("%1: %2").arg(target, ErrnoText(errno));
    if (QString refused = RefusedTarget(target, native, st); !refused.isEmpty())
        return refused;
    // The new file is renamed over the old one: the folder must take it.
    if (::access(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("the folder of %1 is read-only").arg(target);
    // Root can keep another user's owner; anyone else's save would be refused.
    if (st.st_uid != ::geteuid() && ::geteuid() != 0)
        return QStringLiteral("%1 belongs to another user").arg(target);
    return {};
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
    const IniDocument doc = IniDocument::Load(iniPath);
    value = doc.GetInt(SectionOf(name), KeyOf(name), defaultValue);
    return doc.Has(SectionOf(name), KeyOf(name));
}

bool ReadIniValue(const QString& iniPath, QStringView name, QString& value, const QString& defaultValue)
{
    const IniDocument doc = IniDocument::Load(iniPath);
    value = doc.GetString(SectionOf(name), KeyOf(name), defaultValue);
    return doc.Has(SectionOf(name), KeyOf(name));
}

IoResult WriteIniValue(const QString& iniPath, QStringView name, int value, const QString* text)
{
    IniDocument doc = IniDocument::Load(iniPath);
    doc.SetString(SectionOf(name), KeyOf(name), text ? *text : QString::number(value));
    return doc.Save(iniPath);
}
