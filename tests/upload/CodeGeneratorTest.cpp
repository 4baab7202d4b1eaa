// SPDX-License-Identifier: MIT
// The code the upload page shows and the command line prints: every code type, the images per
// row, the template around the code, the length bound and the safety of the addresses in it.
#include "upload/CodeGenerator.h"
#include "tests/upload/UploadTestSupport.h"

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
        const GeneratedCode code = GenerateCode(c.records, c.type, ImagesPerRow(c.perRow), c.tmpl);
        EXPECT_EQ(code.Text, c.expected);
        const bool known = c.type >= 0 && c.type < kCodeTypeCount;
        EXPECT_EQ(code.ItemsTotal, known ? c.records.size() : 0);
        EXPECT_EQ(code.ItemsShown, code.ItemsTotal);
        EXPECT_FALSE(code.Truncated());
        EXPECT_FALSE(code.TemplateDropped);
    }
}

TEST(CodeGenerator, RowCountFromTheBoxAndFromCallers)
{
    const std::pair<const char*, int> boxes[] = {{"1", 1}, {"4", 4}, {"100", 100}, {" 7 ", 7}, {"+3", 3},
        {"250", 250}, {"0", 4}, {"-3", 4}, {"abc", 4}, {"", 4}, {"12abc", 4}, {"2.5", 4}, {"99999999999", 4}};
    for (const auto& [text, expected] : boxes)
        EXPECT_EQ(ImagesPerRow(QString::fromUtf8(text)), expected) << text;

    // A caller that passes a count below 1 directly gets the same 4.
    const QString fourPerRow = GenerateCode(Records(5), 0, 4, {}).Text;
    EXPECT_EQ(GenerateCode(Records(5), 0, 0, {}).Text, fourPerRow);
    EXPECT_EQ(GenerateCode(Records(5), 0, -3, {}).Text, fourPerRow);
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

TEST(CodeGenerator, LongCodeLosesWholeItemsFromTheEnd)
{
    // Plain links of 98 characters make items of exactly 100 with their line break.
    QList<UploadResult> records;
    for (int i = 0; i < 150; ++i)
        records.append(
            {QStringLiteral("http://h/%1").arg(i, 3, 10, QChar(u'0')).leftJustified(98, u'x'), {}});
    const auto first = [&](int n) { return records.mid(0, n); };

    struct Case
    {
        const char* what;
        int records;
        QString head;
        int shown;
        qsizetype length;
    };
    const Case cases[] = {
        {"fits", 102, "", 102, 10200},
        {"one too many", 103, "", 102, 10200},
        {"many too many", 150, "", 102, 10200},
        {"a head that fills it exactly", 102, QString(39, u'h'), 102, 10239},
        {"one character over", 102, QString(40, u'h'), 101, 10140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CodeTemplate tmpl = c.head.isEmpty() ? CodeTemplate {} : Template(c.head, std::nullopt);
        const GeneratedCode code = GenerateCode(first(c.records), 4, 4, tmpl);
        EXPECT_EQ(code.ItemsShown, c.shown);
        EXPECT_EQ(code.ItemsTotal, c.records);
        EXPECT_EQ(code.Truncated(), c.shown < c.records);
        EXPECT_EQ(code.Text.size(), c.length);
        EXPECT_LE(code.Text.size(), kMaxCodeLength);
        // Exactly the code of the records shown: it ends behind a whole item.
        EXPECT_EQ(code.Text, GenerateCode(first(c.shown), 4, 4, tmpl).Text);
    }

    // The table keeps its closing tag. Anchors of 113 characters with separators of 12, 12 and
    // 14 make rows of 377: 27 rows fit beside "<center></center>", one item more does not.
    const GeneratedCode table = GenerateCode(records, 5, 3, {});
    EXPECT_EQ(table.ItemsShown, 81);
    EXPECT_EQ(table.Text.size(), 17 + 27 * 377);
    EXPECT_TRUE(table.Text.endsWith(QStringLiteral("</a><br>&nbsp;<br></center>")));
    EXPECT_EQ(table.Text, GenerateCode(first(81), 5, 3, {}).Text);
    EXPECT_EQ(GenerateCode(first(82), 5, 3, {}).ItemsShown, 81);

    // Escaping lengthens an address, and the bound counts the escaped text.
    QList<UploadResult> quoted;
    for (int i = 0; i < 60; ++i)
        quoted.append({QString(98, u'"'), {}});
    const GeneratedCode escaped = GenerateCode(quoted, 4, 4, {});
    EXPECT_EQ(escaped.ItemsShown, kMaxCodeLength / (98 * 3 + 2));
    EXPECT_LE(escaped.Text.size(), kMaxCodeLength);
}

TEST(CodeGenerator, TemplateThatLeavesNoRoomIsLeftOut)
{
    const QString huge(kMaxCodeLength, u'h');
    struct Case
    {
        const char* what;
        int type;
        int records;
        CodeTemplate tmpl;
        QString expected;
        bool dropped;
    };
    const Case cases[] = {
        {"head alone fills it, no records", 4, 0, Template(huge, std::nullopt), huge, false},
        {"head alone fills it, one record", 4, 1, Template(huge, std::nullopt), "I1\r\n", true},
        {"head and tail too long, no records", 5, 0, Template(huge, "t"), "<center></center>", true},
        {"head and tail too long, records", 2, 2, Template("h", huge),
            "[img]I1[/img]" + kBreak + "[img]I2[/img]" + kBreak, true},
        {"room for one of two", 4, 2, Template(huge.left(kMaxCodeLength - 4), std::nullopt),
            huge.left(kMaxCodeLength - 4) + "I1\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const GeneratedCode code = GenerateCode(Records(c.records), c.type, 4, c.tmpl);
        EXPECT_EQ(code.Text, c.expected);
        EXPECT_EQ(code.TemplateDropped, c.dropped);
        EXPECT_LE(code.Text.size(), kMaxCodeLength);
    }
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
