// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVector>

/// What became of a file operation: empty `error` on success, otherwise why it failed, in
/// words a user understands.
struct IoResult
{
    QString error;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
};

/// An INI file held in memory, with the semantics of the Windows private profile functions:
/// sections and keys compare without regard to case, values are trimmed and lose one pair of
/// enclosing quotes on read, and writing keeps every other line, comment and ordering as it was.
///
/// Every line keeps the bytes it was read with: a line the program does not change is written
/// back byte for byte. Each line is decoded on its own, as UTF-8 where it is valid UTF-8 and as
/// Windows-1251 otherwise, so one stray byte spoils at most its own line. Changed lines are
/// written as UTF-8.
class IniDocument
{
public:
    /// Files larger than this are not settings anyone wrote; they are refused.
    static constexpr qint64 kMaxFileBytes = 1024 * 1024;

    /// Reads the file. A missing file gives an empty document. A file that exists but cannot be
    /// read, or is larger than kMaxFileBytes, gives an empty document that refuses to be saved
    /// over it, and Problem() says why.
    static IniDocument Load(const QString& path);
    static IniDocument FromText(const QString& text);

    /// Why the file could not be used; empty when it was read (or did not exist).
    const QString& Problem() const { return m_problem; }

    /// The value of section/key, or `defaultValue`, cut to `capacity` - 1 characters.
    QString GetString(
        QStringView section, QStringView key, const QString& defaultValue, int capacity = 256) const;
    /// The value read as a signed decimal number (leading digits count, trailing text is ignored);
    /// `defaultValue` when the key is missing or does not start with a number that fits 32 bits.
    int GetInt(QStringView section, QStringView key, int defaultValue) const;
    /// True when section/key has a line in the document.
    bool Has(QStringView section, QStringView key) const;

    /// Replaces the key's line in place, or appends it to its section, or appends the section.
    /// A value equal to the one read leaves the line untouched.
    void SetString(QStringView section, QStringView key, const QString& value);

    QByteArray ToBytes() const;
    QString ToText() const;
    /// Writes the whole file under a temporary name beside it and renames it over the file, so
    /// that a crash leaves either the old file or the new one, never half of one. A symbolic link
    /// is written through to the file it names; the file keeps its mode; a read-only file is
    /// left alone and the save fails.
    IoResult Save(const QString& path) const;

private:
    struct Line
    {
        QByteArray raw; ///< as read, without the line end
        QByteArray eol; ///< "\n", "\r\n", or empty for a last line without one
        QString text; ///< decoded
        bool changed = false;
    };

    static Line MakeLine(QByteArray raw, QByteArray eol);
    int FindSection(QStringView section) const;
    int FindKey(int sectionLine, QStringView key) const;
    void InsertLine(int at, const QString& text);

    QVector<Line> m_lines;
    QByteArray m_bom; ///< a UTF-8 byte-order mark the file began with
    QByteArray m_eol = "\n"; ///< for new lines: the end the file's first line had
    bool m_reencode = false; ///< read from UTF-16: every line is written anew as UTF-8
    QString m_problem;
};

/// Why the existing file `path` (or the file its links lead to) cannot be saved over: not a
/// regular file, read-only, in a folder that takes no new file, or another user's. Empty when a
/// save would go ahead.
QString SaveOverProblem(const QString& path);

/// One setting named "Section.Key" read from the file at `iniPath`: true when the file has the
/// key, false when `defaultValue` was used.
bool ReadIniValue(const QString& iniPath, QStringView name, int& value, int defaultValue);
bool ReadIniValue(const QString& iniPath, QStringView name, QString& value, const QString& defaultValue);
/// Writes `text` when given, otherwise `value` in decimal.
IoResult WriteIniValue(const QString& iniPath, QStringView name, int value, const QString* text = nullptr);

/// "Section.Key" split at its last dot.
QString SectionOf(QStringView name);
QString KeyOf(QStringView name);
