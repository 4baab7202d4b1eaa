// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

/// An INI file held in memory, with the semantics of the Windows private profile functions:
/// sections and keys compare without regard to case, values are trimmed and lose one pair of
/// enclosing quotes on read, and writing keeps every other line, comment and ordering as it was.
class IniDocument
{
public:
    /// Reads the file; a missing or unreadable file gives an empty document. UTF-8 and
    /// UTF-16LE with a byte-order mark are accepted; other bytes are taken as Windows-1251.
    static IniDocument Load(const QString& path);
    static IniDocument FromText(const QString& text);

    /// The value of section/key, or `defaultValue`, cut to `capacity` - 1 characters.
    QString GetString(
        QStringView section, QStringView key, const QString& defaultValue, int capacity = 256) const;
    /// The value read as a signed decimal number (leading digits count, trailing text is ignored);
    /// `defaultValue` when the key is missing or does not start with a number that fits 32 bits.
    int GetInt(QStringView section, QStringView key, int defaultValue) const;
    bool Contains(QStringView section, QStringView key) const;

    /// Replaces the key's line in place, or appends it to its section, or appends the section.
    void SetString(QStringView section, QStringView key, const QString& value);

    QString ToText() const;
    /// Writes the whole file under a temporary name and renames it over `path`, so that a
    /// crash leaves either the old file or the new one, never half of one. UTF-8 is written.
    bool Save(const QString& path) const;

private:
    int FindSection(QStringView section) const;
    int FindKey(int sectionLine, QStringView key) const;

    QVector<QString> m_lines;
    QString m_eol = QStringLiteral("\n");
};

/// One setting named "Section.Key" read from or written to the file at `iniPath`.
bool ReadIniValue(const QString& iniPath, QStringView name, int& value, int defaultValue);
bool ReadIniValue(const QString& iniPath, QStringView name, QString& value, const QString& defaultValue);
/// Writes `text` when given, otherwise `value` in decimal.
bool WriteIniValue(const QString& iniPath, QStringView name, int value, const QString* text = nullptr);

/// "Section.Key" split at its last dot.
QString SectionOf(QStringView name);
QString KeyOf(QStringView name);
