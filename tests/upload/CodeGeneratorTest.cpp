// SPDX-License-Identifier: MIT
// The code the upload page shows and the command line prints: every code type and row layout,
// the template around it and how template.txt is read, and the safety of addresses.
#include "upload/CodeGenerator.h"
#include "tests/support/Hosts.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace {

// Records "I1", "T1", "I2", "T2", ...; without thumbnails every ThumbUrl is empty.
QList<UploadResult> Records(int count, bool thumbs = true)
{
    QList<UploadResult> records;
    for (int i = 1; i <= count; ++i)
        records.append({QStringLiteral("I%1").arg(i), thumbs ? QStringLiteral("T%1").arg(i) : QString()});
    return records;
}

// Linked thumbnails in BBCode and HTML, as they appear in the expectations below.
QString Bb(int n)
{
    return QStringLiteral("[url=I%1][img]T%1[/img][/url]").arg(n);
}
QString Html(int n)
{
    return QStringLiteral("<a href=\"I%1\"><img src=\"T%1\" border=0></a>").arg(n);
}

const QString kBreak = QStringLiteral("\r\n\r\n");
const QString kNbsp = QStringLiteral("&nbsp;&nbsp;");
const QString kBr = QStringLiteral("<br>&nbsp;<br>");

QByteArray Utf16(const QString& text, QStringConverter::Encoding encoding = QStringConverter::Utf16LE)
{
    return QStringEncoder(encoding)(text);
}

const QByteArray kLeMark = "\xFF\xFE";
const QByteArray kUtf8Mark = "\xEF\xBB\xBF";

} // namespace

TEST(CodeGenerator, EveryTypeAndRowLayout)
{
    struct Case
    {
        const char* what;
        int type;
        QList<UploadResult> records;
        QString expected;
        int perRow = 2;
        CodeTemplate tmpl {};
    };
    const QString oneToThree = Bb(1) + kBreak + Bb(2) + kBreak + Bb(3) + kBreak;
    const Case cases[] = {
        {"type 0, a row and one", 0, Records(3), Bb(1) + "  " + Bb(2) + kBreak + Bb(3) + "  "},
        {"type 0, below 1 per row means 4", 0, Records(5),
            Bb(1) + "  " + Bb(2) + "  " + Bb(3) + "  " + Bb(4) + kBreak + Bb(5) + "  ", 0},
        {"type 0, no thumbnails", 0, Records(2, false), "[url=I1][/url]  [url=I2][/url]" + kBreak},
        {"type 1 ignores the row", 1, Records(3), oneToThree, 1},
        {"type 1 ignores a long row", 1, Records(3), oneToThree, 50},
        {"type 2", 2, Records(3),
            "[img]I1[/img]" + kBreak + "[img]I2[/img]" + kBreak + "[img]I3[/img]" + kBreak},
        {"type 3", 3, Records(3), "[url]I1[/url]\r\n[url]I2[/url]\r\n[url]I3[/url]\r\n"},
        {"type 4", 4, Records(2, false), "I1\r\nI2\r\n"},
        {"type 5, none", 5, Records(0), "<center></center>"},
        {"type 5, a full row", 5, Records(2), "<center>" + Html(1) + kNbsp + Html(2) + kBr + "</center>"},
        {"type 5, below 1 per row means 4", 5, Records(5),
            "<center>" + Html(1) + kNbsp + Html(2) + kNbsp + Html(3) + kNbsp + Html(4) + kBr + Html(5) + kNbsp
                + "</center>",
            -3},
        {"type 5, no thumbnails", 5, Records(1, false), "<center><a href=\"I1\"></a>" + kNbsp + "</center>"},
        {"type 6, an empty address", 6, {{"", "T1"}, {"I2", ""}}, kBr + "<img src=\"I2\" border=0>" + kBr},
        {"template around", 4, Records(2), "<p>I1\r\nI2\r\n</p>", 2, CodeTemplate {"<p>", "</p>"}},
        {"template without the marker", 3, Records(1), "Мои фото:\r\n[url]I1[/url]\r\n", 2,
            CodeTemplate {"Мои фото:\r\n"}},
        {"template around an empty table", 5, Records(0), "X<center></center>Y", 2, CodeTemplate {"X", "Y"}},
        {"unknown type -1", -1, Records(2), ""},
        {"unknown type 7", 7, Records(2), "XY", 2, CodeTemplate {"X", "Y"}},
        {"addresses made safe", 0, {{"http://h/a]b", "http://h/t\"1"}},
            "[url=http://h/a%5Db][img]http://h/t%221[/img][/url]  "},
        {"addresses made safe in HTML", 5, {{"http://h/\"><script>", ""}},
            "<center><a href=\"http://h/%22%3E%3Cscript%3E\"></a>" + kNbsp + "</center>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GenerateCode(c.records, CodeTypeOf(c.type), c.perRow, c.tmpl), c.expected);
    }
}

TEST(CodeGenerator, SafeAddress)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const std::pair<QString, QString> cases[] = {
        // What an address may hold stays as it is, already encoded text too.
        {"http://h/p.php?a=1&b=2#top/фото/it's(1)~*;,!$+@%22" + emoji,
            "http://h/p.php?a=1&b=2#top/фото/it's(1)~*;,!$+@%22" + emoji},
        {"", ""},
        // What could break out of a tag or an attribute, white space and control characters.
        {"a\"b<c>d[e]f g\th\r\ni", "a%22b%3Cc%3Ed%5Be%5Df%20g%09h%0D%0Ai"},
        {QStringLiteral("a\x7f") + QChar(0) + QChar(0x85), "a%7F%00%C2%85"},
        {QString(QChar(0xA0)) + QChar(0x2028), "%C2%A0%E2%80%A8"},
    };
    for (const auto& [address, expected] : cases)
        EXPECT_EQ(SafeAddress(address), expected) << address.toStdString();
}

TEST(CodeTemplate, EncodingsAndTheMarker)
{
    // The file's bytes; the text before the marker and after it (none: no template or no marker).
    const std::tuple<const char*, QByteArray, std::optional<QString>, std::optional<QString>> cases[] = {
        {"UTF-16LE", kLeMark + Utf16("Фото:\r\n%images%\r\nКонец"), "Фото:\r\n", "\r\nКонец"},
        {"UTF-16LE, marker alone", kLeMark + Utf16("%images%"), "", ""},
        {"UTF-16LE, split at the first marker", kLeMark + Utf16("a%images%b%images%c"), "a", "b%images%c"},
        {"the marker is case-sensitive", kLeMark + Utf16("a%IMAGES%b"), "a%IMAGES%b", std::nullopt},
        {"UTF-16LE ends at a NUL", kLeMark + Utf16(QStringLiteral("ab") + QChar(0) + "c%images%d"), "ab",
            std::nullopt},
        {"UTF-16LE with an odd last byte", kLeMark + Utf16("ab") + "c", "ab", std::nullopt},
        {"only the byte-order mark", kLeMark, "", std::nullopt},
        {"UTF-16BE", "\xFE\xFF" + Utf16("Я%images%ты", QStringConverter::Utf16BE), "Я", "ты"},
        {"UTF-8 with its mark", kUtf8Mark + QString("Привет %images% пока").toUtf8(), "Привет ", " пока"},
        {"no mark: UTF-8", QString("[b]Мои[/b] %images%!").toUtf8(), "[b]Мои[/b] ", "!"},
        {"no mark, two bytes", "ab", "ab", std::nullopt},
        // Not plainly UTF-8: the first two bytes are taken for the mark, whatever they are.
        {"UTF-16LE without a mark", Utf16("<p>%images%</p>"), "p>", "</p>"},
        {"Windows-1251 bytes", "\xCC\xEE\xE9%\x00", QString(QChar(0x25E9)), std::nullopt},
        {"one byte that is not UTF-8", "\xFF", "", std::nullopt},
    };
    TestDir dir;
    for (const auto& [what, bytes, head, tail] : cases) {
        SCOPED_TRACE(what);
        const CodeTemplate tmpl = LoadTemplate(dir.write(QStringLiteral("template.txt"), bytes));
        EXPECT_EQ(tmpl.Head, head);
        EXPECT_EQ(tmpl.Tail, tail);
    }
}

TEST(CodeTemplate, FilesThatGiveNoTemplate)
{
    TestDir dir;
    QDir().mkdir(dir.file(QStringLiteral("folder")));
    const QString unreadable = dir.write(QStringLiteral("locked.txt"), kLeMark + Utf16("x"));
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    QStringList paths = {dir.file(QStringLiteral("missing.txt")), dir.write(QStringLiteral("empty.txt"), {}),
        dir.file(QStringLiteral("folder")), QStringLiteral("/dev/zero"),
        dir.write(QStringLiteral("huge.txt"), kLeMark + QByteArray(1024 * 1024, 'a'))};
    // The superuser reads the file anyway; then it proves nothing here.
    if (!QFile(unreadable).open(QIODevice::ReadOnly))
        paths.append(unreadable);
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const CodeTemplate tmpl = LoadTemplate(path);
        EXPECT_FALSE(tmpl.Head.has_value());
        EXPECT_FALSE(tmpl.Tail.has_value());
        // Only a file too large to be meant is worth a word.
        EXPECT_EQ(tmpl.Problem.isEmpty(), !path.endsWith(QStringLiteral("huge.txt")));
    }
    // Exactly at the limit is still a template.
    const CodeTemplate big = LoadTemplate(dir.write(QStringLiteral("big.txt"), QByteArray(1024 * 1024, 'a')));
    ASSERT_TRUE(big.Head.has_value());
    EXPECT_EQ(big.Head->size(), 1024 * 1024);
}
