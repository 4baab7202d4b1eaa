// SPDX-License-Identifier: MIT
// Reading template.txt: the encodings it may come in, the split at the marker, and the files
// that give no template at all.
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempDir.h"
#include "upload/CodeGenerator.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QByteArray Utf16Le(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray Utf16Be(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return bytes;
}

const QByteArray kLeMark = "\xFF\xFE";
const QByteArray kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

TEST(CodeTemplate, EncodingsAndTheMarker)
{
    struct Case
    {
        const char* what;
        QByteArray bytes;
        std::optional<QString> head;
        std::optional<QString> tail;
    };
    const Case cases[] = {
        {"UTF-16LE", kLeMark + Utf16Le("<div>%images%</div>"), "<div>", "</div>"},
        {"UTF-16LE, Cyrillic and lines", kLeMark + Utf16Le("Фото:\r\n%images%\r\nКонец"), "Фото:\r\n",
            "\r\nКонец"},
        {"UTF-16LE without the marker", kLeMark + Utf16Le("только голова"), "только голова", std::nullopt},
        {"UTF-16LE, marker at the very start", kLeMark + Utf16Le("%images%tail"), "", "tail"},
        {"UTF-16LE, marker alone", kLeMark + Utf16Le("%images%"), "", ""},
        {"UTF-16LE, split at the first marker", kLeMark + Utf16Le("a%images%b%images%c"), "a", "b%images%c"},
        {"the marker is case-sensitive", kLeMark + Utf16Le("a%IMAGES%b"), "a%IMAGES%b", std::nullopt},
        {"UTF-16LE ends at a NUL", kLeMark + Utf16Le(QStringLiteral("ab") + QChar(0) + "c%images%d"), "ab",
            std::nullopt},
        {"UTF-16LE with an odd last byte", kLeMark + Utf16Le("ab") + "c", "ab", std::nullopt},
        {"only the byte-order mark", kLeMark, "", std::nullopt},
        {"UTF-16BE", "\xFE\xFF" + Utf16Be("Я%images%ты"), "Я", "ты"},
        {"UTF-8 with its mark", kUtf8Mark + QString("Привет %images% пока").toUtf8(), "Привет ", " пока"},
        {"UTF-8 mark only", kUtf8Mark, "", std::nullopt},
        {"no mark: UTF-8", QString("[b]Мои[/b] %images%!").toUtf8(), "[b]Мои[/b] ", "!"},
        {"no mark, two bytes", "ab", "ab", std::nullopt},
        // Not plainly UTF-8: the first two bytes are taken for the mark, whatever they are.
        {"UTF-16LE without a mark", Utf16Le("<p>%images%</p>"), "p>", "</p>"},
        {"Windows-1251 bytes", "\xCC\xEE\xE9%\x00", QString(QChar(0x25E9)), std::nullopt},
    };
    TestDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CodeTemplate tmpl = LoadTemplate(dir.write(QStringLiteral("template.txt"), c.bytes));
        EXPECT_EQ(tmpl.Head, c.head);
        EXPECT_EQ(tmpl.Tail, c.tail);
    }
}

TEST(CodeTemplate, FilesThatGiveNoTemplate)
{
    TestDir dir;
    QDir().mkdir(dir.file(QStringLiteral("folder")));
    const QString unreadable = dir.write(QStringLiteral("locked.txt"), kLeMark + Utf16Le("x"));
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    // The superuser reads the file anyway; then it proves nothing here.
    const bool locked = !QFile(unreadable).open(QIODevice::ReadOnly);
    QStringList paths = {
        dir.file(QStringLiteral("missing.txt")),
        dir.write(QStringLiteral("empty.txt"), {}),
        dir.file(QStringLiteral("folder")),
        dir.write(QStringLiteral("huge.txt"), kLeMark + QByteArray(1024 * 1024, 'a')),
    };
    if (locked)
        paths.append(unreadable);
    for (const QString& path : paths) {
        const CodeTemplate tmpl = LoadTemplate(path);
        EXPECT_FALSE(tmpl.Head.has_value()) << path.toStdString();
        EXPECT_FALSE(tmpl.Tail.has_value()) << path.toStdString();
        // Only a file too large to be meant is worth a word.
        EXPECT_EQ(tmpl.Problem.isEmpty(), !path.endsWith(QStringLiteral("huge.txt"))) << path.toStdString();
    }
    // Exactly at the limit is still a template.
    const CodeTemplate big = LoadTemplate(dir.write(QStringLiteral("big.txt"), QByteArray(1024 * 1024, 'a')));
    ASSERT_TRUE(big.Head.has_value());
    EXPECT_EQ(big.Head->size(), 1024 * 1024);
}
