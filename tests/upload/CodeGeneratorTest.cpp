// SPDX-License-Identifier: MIT
// The code the upload page shows and the command line prints: every code type, the images per
// row, the template around the code, the length bound and the safety of the addresses in it.
#include "upload/CodeGenerator.h"
#include "tests/support/Hosts.h"
#include "tests/support/Pictures.h"

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

CodeTemplate Template(std::optional<QString> head, std::optional<QString> tail)
{
    return CodeTemplate {std::move(head), std::move(tail)};
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

} // namespace

TEST(CodeGenerator, EveryTypeAndRowLayout)
{
    struct Case
    {
        const char* what;
        int type;
        QList<UploadResult> records;
        QString perRow; ///< the text of the images-per-row box
        CodeTemplate tmpl;
        QString expected;
    };
    const CodeTemplate none;
    const Case cases[] = {
        {"type 0, none", 0, Records(0), "2", none, ""},
        {"type 0, one", 0, Records(1), "2", none, Bb(1) + "  "},
        {"type 0, a full row", 0, Records(2), "2", none, Bb(1) + "  " + Bb(2) + kBreak},
        {"type 0, a row and one", 0, Records(3), "2", none, Bb(1) + "  " + Bb(2) + kBreak + Bb(3) + "  "},
        {"type 0, no thumbnails", 0, Records(2, false), "2", none, "[url=I1][/url]  [url=I2][/url]" + kBreak},
        {"type 1, none", 1, Records(0), "2", none, ""},
        {"type 1, one", 1, Records(1), "2", none, Bb(1) + kBreak},
        {"type 1, ignores the row", 1, Records(3), "1", none,
            Bb(1) + kBreak + Bb(2) + kBreak + Bb(3) + kBreak},
        {"type 1, ignores a long row", 1, Records(3), "50", none,
            Bb(1) + kBreak + Bb(2) + kBreak + Bb(3) + kBreak},
        {"type 1, no thumbnails", 1, Records(1, false), "2", none, "[url=I1][/url]" + kBreak},
        {"type 2, none", 2, Records(0), "2", none, ""},
        {"type 2, one", 2, Records(1), "2", none, "[img]I1[/img]" + kBreak},
        {"type 2, three", 2, Records(3), "2", none,
            "[img]I1[/img]" + kBreak + "[img]I2[/img]" + kBreak + "[img]I3[/img]" + kBreak},
        {"type 3, none", 3, Records(0), "2", none, ""},
        {"type 3, one", 3, Records(1), "2", none, "[url]I1[/url]\r\n"},
        {"type 3, three", 3, Records(3), "2", none, "[url]I1[/url]\r\n[url]I2[/url]\r\n[url]I3[/url]\r\n"},
        {"type 4, none", 4, Records(0), "2", none, ""},
        {"type 4, one", 4, Records(1), "2", none, "I1\r\n"},
        {"type 4, two", 4, Records(2), "2", none, "I1\r\nI2\r\n"},
        {"type 4, three", 4, Records(3, false), "2", none, "I1\r\nI2\r\nI3\r\n"},
        {"type 5, none", 5, Records(0), "2", none, "<center></center>"},
        {"type 5, one", 5, Records(1), "2", none, "<center>" + Html(1) + kNbsp + "</center>"},
        {"type 5, a full row", 5, Records(2), "2", none,
            "<center>" + Html(1) + kNbsp + Html(2) + kBr + "</center>"},
        {"type 5, a row and one", 5, Records(3), "2", none,
            "<center>" + Html(1) + kNbsp + Html(2) + kBr + Html(3) + kNbsp + "</center>"},
        {"type 5, no thumbnails", 5, Records(1, false), "2", none,
            "<center><a href=\"I1\"></a>" + kNbsp + "</center>"},
        {"type 6, none", 6, Records(0), "2", none, ""},
        {"type 6, one", 6, Records(1), "2", none, "<img src=\"I1\" border=0>" + kBr},
        {"type 6, three", 6, Records(3), "2", none,
            "<img src=\"I1\" border=0>" + kBr + "<img src=\"I2\" border=0>" + kBr
                + "<img src=\"I3\" border=0>" + kBr},
        {"type 6, an empty address", 6, {{"", "T1"}, {"I2", ""}}, "2", none,
            kBr + "<img src=\"I2\" border=0>" + kBr},
        {"per row 0 means 4", 0, Records(5), "0", none,
            Bb(1) + "  " + Bb(2) + "  " + Bb(3) + "  " + Bb(4) + kBreak + Bb(5) + "  "},
        {"per row -3 means 4", 5, Records(5), "-3", none,
            "<center>" + Html(1) + kNbsp + Html(2) + kNbsp + Html(3) + kNbsp + Html(4) + kBr + Html(5) + kNbsp
                + "</center>"},
        {"per row text means 4", 0, Records(4), "abc", none,
            Bb(1) + "  " + Bb(2) + "  " + Bb(3) + "  " + Bb(4) + kBreak},
        {"per row 1", 0, Records(2), "1", none, Bb(1) + kBreak + Bb(2) + kBreak},
        {"template around", 4, Records(2), "2", Template("<p>", "</p>"), "<p>I1\r\nI2\r\n</p>"},
        {"template without the marker", 3, Records(1), "2", Template("Мои фото:\r\n", std::nullopt),
            "Мои фото:\r\n[url]I1[/url]\r\n"},
        {"template around an empty table", 5, Records(0), "2", Template("X", "Y"), "X<center></center>Y"},
        {"empty template", 4, Records(1), "2", Template("", std::nullopt), "I1\r\n"},
        {"unknown type -1", -1, Records(2), "2", none, ""},
        {"unknown type 7", 7, Records(2), "2", Template("X", "Y"), "XY"},
        {"addresses made safe", 0, {{"http://h/a]b", "http://h/t\"1"}}, "2", none,
            "[url=http://h/a%5Db][img]http://h/t%221[/img][/url]  "},
        {"addresses made safe in HTML", 5, {{"http://h/\"><script>", ""}}, "2", none,
            "<center><a href=\"http://h/%22%3E%3Cscript%3E\"></a>" + kNbsp + "</center>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(GenerateCode(c.records, CodeTypeOf(c.type), ImagesPerRow(c.perRow), c.tmpl), c.expected);
    }
}

TEST(CodeGenerator, RowCountFromTheBoxAndFromCallers)
{
    const std::pair<const char*, int> boxes[] = {{"1", 1}, {"4", 4}, {"100", 100}, {" 7 ", 7}, {"+3", 3},
        {"250", 250}, {"0", 4}, {"-3", 4}, {"abc", 4}, {"", 4}, {"12abc", 4}, {"2.5", 4}, {"99999999999", 4}};
    for (const auto& [text, expected] : boxes)
        EXPECT_EQ(ImagesPerRow(QString::fromUtf8(text)), expected) << text;

    // A caller that passes a count below 1 directly gets the same 4.
    const QString fourPerRow = GenerateCode(Records(5), CodeTypeOf(0), 4, {});
    EXPECT_EQ(GenerateCode(Records(5), CodeTypeOf(0), 0, {}), fourPerRow);
    EXPECT_EQ(GenerateCode(Records(5), CodeTypeOf(0), -3, {}), fourPerRow);
}

TEST(CodeGenerator, LabelsInListOrder)
{
    const QStringList labels = CodeTypeLabels();
    ASSERT_EQ(labels.size(), kCodeTypeCount);
    EXPECT_EQ(labels[0], QStringLiteral("BBCode - Таблица эскизов с увеличением по клику"));
    EXPECT_EQ(labels[1], QStringLiteral("BBCode - Эскизы с увеличением по клику"));
    EXPECT_EQ(labels[2], QStringLiteral("BBCode - Только изображения"));
    EXPECT_EQ(labels[3], QStringLiteral("BBCode - Ссылки на изображения"));
    EXPECT_EQ(labels[4], QStringLiteral("Простые ссылки"));
    EXPECT_EQ(labels[5], QStringLiteral("HTML - Таблица эскизов с увеличением по клику"));
    EXPECT_EQ(labels[6], QStringLiteral("HTML - Только изображения"));
}

// Nothing uploaded is lost: 205 long links and a long template all stand in the code.
TEST(CodeGenerator, LongCodeIsWhole)
{
    QList<UploadResult> records;
    for (int i = 0; i < 205; ++i)
        records.append(
            {QStringLiteral("http://h/%1").arg(i, 3, 10, QChar(u'0')).leftJustified(98, u'x'), {}});
    const QString head(20000, u'h');
    const QString code = GenerateCode(records, CodeTypeOf(4), 4, Template(head, "t"));
    EXPECT_EQ(code.size(), 20000 + 205 * 100 + 1);
    EXPECT_TRUE(code.startsWith(head + records[0].ImageUrl + "\r\n"));
    EXPECT_TRUE(code.endsWith(records[204].ImageUrl + "\r\nt"));
}

TEST(CodeGenerator, SafeAddress)
{
    const std::pair<QString, QString> cases[] = {
        {"http://127.0.0.1:8080/i/1", "http://127.0.0.1:8080/i/1"},
        {"http://h/p.php?a=1&b=2#top", "http://h/p.php?a=1&b=2#top"},
        {"http://h/фото/кот.jpg", "http://h/фото/кот.jpg"},
        {"http://h/%22already%20encoded", "http://h/%22already%20encoded"},
        {"http://h/it's(1)~*;,!$+@", "http://h/it's(1)~*;,!$+@"},
        {"", ""},
        {"http://h/a\"b", "http://h/a%22b"},
        {"x<y>z", "x%3Cy%3Ez"},
        {"[img]x[/img]", "%5Bimg%5Dx%5B/img%5D"},
        {"a b", "a%20b"},
        {"a\tb\r\nc", "a%09b%0D%0Ac"},
        {QString::fromUtf8("a\x7f"
                           "b"),
            "a%7Fb"},
        {QString(QChar(0)) + "z", "%00z"},
        {QString(QChar(0x85)), "%C2%85"},
        {QString(QChar(0xA0)), "%C2%A0"},
        {QString(QChar(0x2028)), "%E2%80%A8"},
        {QString(QChar(0x3000)), "%E3%80%80"},
        {QString::fromUtf8("http://h/\xF0\x9F\x98\x80.png"),
            QString::fromUtf8("http://h/\xF0\x9F\x98\x80.png")},
    };
    for (const auto& [address, expected] : cases)
        EXPECT_EQ(SafeAddress(address), expected) << address.toStdString();
}
