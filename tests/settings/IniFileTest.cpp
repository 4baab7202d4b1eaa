// SPDX-License-Identifier: MIT
#include "settings/IniFile.h"

#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kSample = QStringLiteral(
    "; written by hand\norphan=before any section\n[Image]\n  MaxWidth  =  800  \nQuoted=\"  spaced  \"\n"
    "Single='x'\nHalf=\"open\nEmpty=\nLong=abcdefghij\n# comment=not a key\n\n[ text ]\nTEXT=Привет\n"
    "[image]\nMaxHeight=600\n");

TEST(IniDocument, ReadsLikeTheProfileFunctions)
{
    const IniDocument doc = IniDocument::FromText(kSample);
    // The section, the key, the capacity, the value read. Of two sections with one name only the
    // first counts.
    const std::tuple<const char*, const char*, int, const char*> cases[] = {{"Image", "MaxWidth", 256, "800"},
        {"IMAGE", "maxwidth", 256, "800"}, {"Image", "Quoted", 256, "  spaced  "},
        {"Image", "Single", 256, "x"}, {"Image", "Half", 256, "\"open"}, {"Image", "Empty", 256, ""},
        {"Image", "Long", 5, "abcd"}, {"Image", "Missing", 256, "dflt"}, {"Image", "Missing", 3, "df"},
        {"Image", "# comment", 256, "dflt"}, {"Image", "orphan", 256, "dflt"},
        {"Text", "text", 256, "Привет"}, {"Text", "MaxWidth", 256, "dflt"},
        {"Image", "MaxHeight", 256, "dflt"}, {"Nowhere", "MaxWidth", 256, "dflt"}};
    for (const auto& [section, key, capacity, expected] : cases) {
        EXPECT_EQ(doc.GetString(
                      QString::fromUtf8(section), QString::fromUtf8(key), QStringLiteral("dflt"), capacity),
            QString::fromUtf8(expected))
            << section << "." << key;
    }
}

TEST(IniDocument, ReadsNumbers)
{
    const std::pair<const char*, int> cases[] = {{"12", 12}, {" -5 ", -5}, {"12abc", 12}, {"abc", 77},
        {"", 77}, {"-", 77}, {"+7", 7}, {"\"42\"", 42}, {"4294967295", -1}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {"99999999999", 77}, {"-2147483649", 77}, {"0x10", 0}};
    for (const auto& [value, expected] : cases) {
        const IniDocument doc = IniDocument::FromText(QStringLiteral("[S]\nK=") + QString::fromUtf8(value));
        EXPECT_EQ(doc.GetInt(u"S", u"K", 77), expected) << value;
    }
    EXPECT_EQ(IniDocument::FromText(QStringLiteral("[S]\n")).GetInt(u"S", u"K", 77), 77);
}

TEST(IniDocument, FileEncodings)
{
    TestDir dir;
    const QString text = QStringLiteral("[Text]\r\nText=Мой текст\r\n");

    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray utf8Bom("\xEF\xBB\xBF");
    utf8Bom.append(text.toUtf8());
    const QByteArray ansi("[Text]\r\nText=\xCC\xEE\xE9 \xF2\xE5\xEA\xF1\xF2\r\n");

    for (const QByteArray& bytes : {utf16, utf8Bom, text.toUtf8(), ansi}) {
        const IniDocument doc = IniDocument::Load(dir.write(QStringLiteral("x.ini"), bytes));
        EXPECT_EQ(doc.GetString(u"Text", u"Text", QString()), QStringLiteral("Мой текст"));
    }

    // Whatever was read, UTF-8 is written.
    const QString path = dir.write(QStringLiteral("y.ini"), utf16);
    WriteIniValue(path, u"Text.Position", 3);
    EXPECT_EQ(TestDir::read(path), QStringLiteral("[Text]\r\nText=Мой текст\r\nPosition=3\r\n").toUtf8());
}

TEST(IniDocument, MissingUnreadableAndHugeFiles)
{
    TestDir dir;
    int value = 0;
    EXPECT_FALSE(ReadIniValue(dir.file(QStringLiteral("missing.ini")), u"A.B", value, 5));
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(ReadIniValue(dir.path(), u"A.B", value, 6)); // a folder, not a file
    EXPECT_EQ(value, 6);

    QByteArray big("[A]\nB=");
    big.append(QByteArray(100000, 'x'));
    big.append("\nC=3\n");
    const QString path = dir.write(QStringLiteral("big.ini"), big);
    QString text;
    EXPECT_TRUE(ReadIniValue(path, u"A.B", text, QString()));
    EXPECT_EQ(text, QString(255, u'x'));
    ReadIniValue(path, u"A.C", value, 0);
    EXPECT_EQ(value, 3);

    // Larger than any settings file: refused whole, and never written over with defaults.
    QByteArray huge("[A]\nC=3\n");
    huge.append(QByteArray(IniDocument::kMaxFileBytes, ';'));
    const QString hugePath = dir.write(QStringLiteral("huge.ini"), huge);
    const IniDocument doc = IniDocument::Load(hugePath);
    EXPECT_THAT(doc.Problem().toStdString(), testing::HasSubstr("larger than 1024 KiB"));
    EXPECT_EQ(doc.GetInt(u"A", u"C", 7), 7);
    EXPECT_FALSE(WriteIniValue(hugePath, u"A.C", 4));
    EXPECT_EQ(TestDir::read(hugePath), huge);
}

TEST(IniDocument, UnchangedLinesKeepTheirBytes)
{
    TestDir dir;
    // UTF-8 with one stray Latin-1 byte, a Windows-1251 line, a blank separator, and no line end
    // at the end.
    const QByteArray bytes("; \xD0\xBA\xD0\xBE\xD0\xBC\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82\r\n"
                           "[Text]\r\nNote=caf\xE9\r\nText=\xD0\x9C\xD0\xBE\xD0\xB9\r\nOld=\xCC\xEE\xE9\r\n"
                           "\r\n  [Main]  \r\n ServerID = 1 ");
    const QString path = dir.write(QStringLiteral("x.ini"), bytes);
    IniDocument doc = IniDocument::Load(path);
    EXPECT_EQ(doc.GetString(u"Text", u"Text", QString()), QStringLiteral("Мой"));
    EXPECT_EQ(doc.GetString(u"Text", u"Old", QString()), QStringLiteral("Мой"));
    EXPECT_EQ(doc.GetString(u"Text", u"Note", QString()), QStringLiteral("cafй"));

    doc.SetString(u"Text", u"Text", QStringLiteral("Мой")); // the same value: no change
    // Names match in any case and keep the file's; blanks around a value are quoted, line breaks
    // go; a new key comes behind its section's last line, before the blank one.
    doc.SetString(u"TEXT", u"note", QStringLiteral(" line\nbreak "));
    doc.SetString(u"Text", u"Extra", QStringLiteral("1"));
    doc.SetString(u"Main", u"ServerID", QStringLiteral("3"));
    doc.SetString(u"New", u"Key", QStringLiteral("ё"));
    ASSERT_TRUE(doc.Save(path));
    QByteArray expected = bytes;
    expected.replace("Note=caf\xE9", "Note=\" line break \"")
        .replace("Old=\xCC\xEE\xE9\r\n", "Old=\xCC\xEE\xE9\r\nExtra=1\r\n");
    expected.replace(" ServerID = 1 ", "ServerID=3\r\n\r\n[New]\r\nKey=\xD1\x91\r\n");
    EXPECT_EQ(TestDir::read(path), expected);
}

TEST(IniDocument, SavingThroughLinksKeepsTheFileAndItsMode)
{
    TestDir dir;
    QDir().mkdir(dir.file(QStringLiteral("real")));
    const QString real = dir.write(QStringLiteral("real/vellmar.ini"), "[A]\nB=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QString link = dir.file(QStringLiteral("link.ini"));
    ASSERT_TRUE(QFile::link(QStringLiteral("real/vellmar.ini"), link)); // relative to the link's folder

    ASSERT_TRUE(WriteIniValue(link, u"A.B", 2));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TestDir::read(real), QByteArray("[A]\nB=2\n"));
    struct stat st
    { };
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Read-only means left alone, and the reason is told.
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0444), 0);
    const IoResult refused = WriteIniValue(link, u"A.B", 3);
    EXPECT_FALSE(refused);
    EXPECT_THAT(refused.error.toStdString(), testing::HasSubstr("read-only"));
    EXPECT_EQ(TestDir::read(real), QByteArray("[A]\nB=2\n"));
    EXPECT_EQ(QDir(dir.file(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A new file gets the mode the umask gives any new file.
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(WriteIniValue(dir.file(QStringLiteral("new.ini")), u"A.B", 1));
    ::umask(mask);
    ASSERT_EQ(::stat(QFile::encodeName(dir.file(QStringLiteral("new.ini"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Another user who may write the file does not take it over: it stays as it is.
    if (::geteuid() != 0)
        return;
    const QString shared = dir.write(QStringLiteral("real/shared.ini"), "[A]\nB=1\n");
    for (const QString& folder : {QDir::tempPath(), dir.path(), dir.file(QStringLiteral("real"))})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), folder.endsWith("real") ? 0777 : 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0666), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(::setuid(65534) == 0 && WriteIniValue(shared, u"A.B", 2).error.contains("owner cannot be kept")
                ? 0
                : 1);
    int status = -1;
    waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(QDir::tempPath()).constData(), 0700);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(TestDir::read(shared), QByteArray("[A]\nB=1\n"));
    EXPECT_EQ(QDir(dir.file(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A process killed at any moment of a save leaves the old file or the new one, never a mix.
TEST(IniDocument, CrashDuringSaveLeavesAWholeFile)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    IniDocument old;
    old.SetString(u"Main", u"ServerID", QStringLiteral("3"));
    ASSERT_TRUE(old.Save(path));
    const QByteArray oldBytes = TestDir::read(path);

    QString bigText = old.ToText() + QStringLiteral("[Big]\n");
    for (int i = 0; i < 400000; ++i)
        bigText += QStringLiteral("K%1=value number %1\n").arg(i);
    const IniDocument big = IniDocument::FromText(bigText);
    const QByteArray newBytes = big.ToText().toUtf8();

    for (int delayUs : {0, 2000, 10000, 30000, 60000}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            big.Save(path);
            _exit(0);
        }
        usleep(delayUs);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const QByteArray now = TestDir::read(path);
        EXPECT_TRUE(now == oldBytes || now == newBytes) << "delay " << delayUs << " us, size " << now.size();
        ASSERT_TRUE(old.Save(path));
    }
}

} // namespace
