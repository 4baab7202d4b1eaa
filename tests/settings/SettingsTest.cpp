// SPDX-License-Identifier: MIT
#include "settings/Settings.h"
#include "settings/IniFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(Settings, FirstStartHasEveryDefault)
{
    TestDir dir;
    Settings s;
    s.main.Image.MaxWidth = 99; // proves the load writes every field
    LoadSettings(dir.file(QStringLiteral("vellmar.ini")), s);

    EXPECT_EQ(s.main.Image.MaxWidth, 0);
    EXPECT_EQ(s.main.Image.MaxHeight, 0);
    EXPECT_EQ(s.main.Image.KeepAsIs, 0);
    EXPECT_EQ(s.main.Image.AddLogo, 1);
    EXPECT_EQ(s.main.Image.AddText, 1);
    EXPECT_EQ(s.main.Image.Format, 1);
    EXPECT_EQ(s.main.Image.Quality, 80);
    EXPECT_EQ(s.main.Main.CreateThumbs, 1);
    EXPECT_EQ(s.main.Main.ThumbWidth, 160);
    EXPECT_EQ(s.main.Main.ServerID, 0);
    EXPECT_EQ(s.main.Thumbs.UserServerThumbs, 0);
    EXPECT_EQ(s.main.Thumbs.DrawFrame, 1);
    EXPECT_EQ(s.main.Thumbs.AddImageSize, 1);
    EXPECT_EQ(s.main.KeepProportions, 1);

    const AppearancePart& a = s.appearance;
    EXPECT_EQ(FontToString(a.Text.Font), QStringLiteral("Tahoma, 8, , 204"));
    EXPECT_EQ(a.Text.Font.weight, 400);
    EXPECT_EQ(FontToString(a.Thumbs.Font), QStringLiteral("Tahoma, 7, b, 204"));
    EXPECT_EQ(a.Logo.Position, 0);
    EXPECT_EQ(a.Logo.Transparency, 0);
    EXPECT_EQ(a.Text.Position, 5);
    EXPECT_EQ(a.Logo.Filename, QString());
    EXPECT_EQ(a.Text.Text, QStringLiteral("Vellmar"));
    EXPECT_EQ(a.Text.Color, -1);
    EXPECT_EQ(a.Thumbs.StrokeColor, 0);
    EXPECT_EQ(a.Thumbs.FrameColor, 7293440);
    EXPECT_EQ(a.Thumbs.Color1, 8214029);
    EXPECT_EQ(a.Thumbs.Color2, 16756230);
    EXPECT_EQ(a.Thumbs.TextColor, 16777215);
    EXPECT_EQ(a.Thumbs.Alpha, 120);
    EXPECT_EQ(a.Thumbs.TextOverThumb, 0);

    const auto& v = s.video.VideoGrabber;
    EXPECT_EQ(v.Columns, 3);
    EXPECT_EQ(v.TileWidth, 200);
    EXPECT_EQ(v.GapWidth, 5);
    EXPECT_EQ(v.GapHeight, 7);
    EXPECT_EQ(v.NumOfFrames, 8);
    EXPECT_EQ(v.Quality, 100);

    EXPECT_EQ(s.servers.Host[0], QStringLiteral("imageshack.us"));
    EXPECT_EQ(s.servers.Host[4], QStringLiteral("ipicture.ru"));
}

TEST(Settings, SaveWritesEveryStoredKeyInOrder)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings s;
    ASSERT_TRUE(SaveSettings(path, s));
    EXPECT_EQ(QString::fromUtf8(TestDir::read(path)),
        QStringLiteral(
            "[Image]\nMaxWidth=0\nMaxHeight=0\nKeepAsIs=0\nAddLogo=1\nAddText=1\nFormat=1\nQuality=80\n"
            "\n[Logo]\nFilename=\nPosition=0\nTransparency=0\n"
            "\n[Text]\nText=Vellmar\nPosition=5\nColor=-1\nFont=Tahoma, 8, , 204\n"
            "\n[Main]\nCreateThumbs=1\nThumbWidth=160\nServerID=0\n"
            "\n[Thumbs]\nAddImageSize=1\nDrawFrame=1\nUserServerThumbs=0\nTextOverThumb=0\n"
            "Font=Tahoma, 7, b, 204\nFrameColor=7293440\nStrokeColor=0\nColor1=8214029\n"
            "Color2=16756230\nTextColor=16777215\n"
            "\n[VideoGrabber]\nColumns=3\nTileWidth=200\nGapWidth=5\nGapHeight=7\nNumOfFrames=8\n"
            "\n[Servers]\nHost0=imageshack.us\nHost1=keep4u.ru\nHost2=radikal.ru\n"
            "Host3=smages.com\nHost4=ipicture.ru\n"));
}

TEST(Settings, RoundTripOfEveryKey)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings s;
    s.main.Image = {1024, 768, 1, 0, 0, 3, 55};
    s.main.Main = {0, 300, 4};
    s.main.Thumbs = {1, 0, 0};
    s.appearance.Text.Font = StringToFont(u"DejaVu Serif,14,bi,1");
    s.appearance.Text.Position = 2;
    s.appearance.Text.Text = QStringLiteral("  «Привет», мир = \"ok\"  ");
    s.appearance.Text.Color = 255;
    s.appearance.Thumbs.Font = StringToFont(u"DejaVu Sans,9,us,0");
    s.appearance.Thumbs.StrokeColor = 0x123456;
    s.appearance.Thumbs.FrameColor = 1;
    s.appearance.Thumbs.Color1 = 2;
    s.appearance.Thumbs.Color2 = 3;
    s.appearance.Thumbs.TextColor = 4;
    s.appearance.Thumbs.TextOverThumb = 1;
    s.appearance.Logo = {3, 42, QStringLiteral("/home/user/логотип.png")};
    s.video.VideoGrabber = {4, 150, 9, 11, 25, 100};
    s.servers.Host = {QStringLiteral("127.0.0.1:8080"), QStringLiteral("a.example"),
        QStringLiteral("b.example:81"), QStringLiteral("[::1]:8000"), QStringLiteral("c-d.example")};
    ASSERT_TRUE(SaveSettings(path, s));

    Settings loaded;
    LoadSettings(path, loaded);
    Settings expected = s;
    expected.main.Thumbs.UserServerThumbs = 0; // chosen anew in every run
    EXPECT_TRUE(loaded == expected);
    EXPECT_EQ(loaded.appearance.Text.Text, s.appearance.Text.Text);
    EXPECT_EQ(loaded.appearance.Logo.Filename, s.appearance.Logo.Filename);

    // Saving what was loaded changes nothing in the file but the per-run choice.
    QByteArray first = TestDir::read(path);
    ASSERT_TRUE(SaveSettings(path, loaded));
    EXPECT_EQ(TestDir::read(path), first.replace("UserServerThumbs=1", "UserServerThumbs=0"));
}

TEST(Settings, ReadOnlyKeysAreNotWritten)
{
    TestDir dir;
    const QString path
        = dir.write(QStringLiteral("vellmar.ini"), "[Thumbs]\nAlpha=200\n[VideoGrabber]\nQuality=50\n");
    Settings s;
    LoadSettings(path, s);
    EXPECT_EQ(s.appearance.Thumbs.Alpha, 200);
    EXPECT_EQ(s.video.VideoGrabber.Quality, 50);
    s.appearance.Thumbs.Alpha = 10;
    s.video.VideoGrabber.Quality = 10;
    SaveSettings(path, s);
    Settings again;
    LoadSettings(path, again);
    EXPECT_EQ(again.appearance.Thumbs.Alpha, 200);
    EXPECT_EQ(again.video.VideoGrabber.Quality, 50);
}

TEST(Settings, GarbageGetsDefaults)
{
    struct Case
    {
        const char* line; // "Section.Key=value"
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"VideoGrabber.NumOfFrames=0", "NumOfFrames", 8},
        {"VideoGrabber.NumOfFrames=101", "NumOfFrames", 8},
        {"VideoGrabber.NumOfFrames=100", "NumOfFrames", 100},
        {"VideoGrabber.Quality=0", "VideoQuality", 80},
        {"VideoGrabber.Quality=101", "VideoQuality", 80},
        {"VideoGrabber.Quality=1", "VideoQuality", 1},
        {"Text.Position=6", "TextPosition", 5},
        {"Text.Position=-1", "TextPosition", 5},
        {"Logo.Position=9", "LogoPosition", 0},
        {"Thumbs.Alpha=256", "Alpha", 120},
        {"Image.Format=4", "Format", 1},
        {"Image.Quality=150", "Quality", 80},
        {"Image.MaxWidth=abc", "MaxWidth", 0},
        {"Image.MaxWidth=640px", "MaxWidth", 640},
        {"Image.MaxWidth=-20", "MaxWidth", -20},
        {"Main.ThumbWidth=99999999999999", "ThumbWidth", 160},
        {"Main.ServerID=7", "ServerID", 7}, // the upload reports an unknown service itself
        {"Text.Color=4294967295", "TextColor", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const QString line = QString::fromUtf8(c.line);
        const QString name = line.left(line.indexOf(u'='));
        TestDir dir;
        const QString path = dir.write(QStringLiteral("vellmar.ini"),
            QStringLiteral("[%1]\n%2=%3\n")
                .arg(SectionOf(name), KeyOf(name), line.mid(line.indexOf(u'=') + 1))
                .toUtf8());
        Settings s;
        LoadSettings(path, s);
        const std::map<std::string, int> values = {
            {"NumOfFrames", s.video.VideoGrabber.NumOfFrames},
            {"VideoQuality", s.video.VideoGrabber.Quality},
            {"TextPosition", s.appearance.Text.Position},
            {"LogoPosition", s.appearance.Logo.Position},
            {"Alpha", s.appearance.Thumbs.Alpha},
            {"Format", s.main.Image.Format},
            {"Quality", s.main.Image.Quality},
            {"MaxWidth", s.main.Image.MaxWidth},
            {"ThumbWidth", s.main.Main.ThumbWidth},
            {"ServerID", s.main.Main.ServerID},
            {"TextColor", s.appearance.Text.Color},
        };
        EXPECT_EQ(values.at(c.name), c.expected);
    }
}

TEST(Settings, BadFontsAndHostsGetDefaults)
{
    TestDir dir;
    const QString path = dir.write(QStringLiteral("vellmar.ini"),
        "[Text]\nFont=Verdana,\n"
        "[Thumbs]\nFont=\n"
        "[Servers]\nHost0=bad host\nHost1=x.example:70000\n"
        "Host2=x/y\nHost3=\nHost4=127.0.0.1:1\n");
    Settings s;
    LoadSettings(path, s);
    EXPECT_EQ(FontToString(s.appearance.Text.Font), QStringLiteral("Verdana, 10, , 0"));
    EXPECT_EQ(FontToString(s.appearance.Thumbs.Font), QStringLiteral("Ms Sans Serif, 10, , 0"));
    const ServersPart defaults;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.servers.Host[i], defaults.Host[i]) << i;
    EXPECT_EQ(s.servers.Host[4], QStringLiteral("127.0.0.1:1"));
}

TEST(Settings, SaveKeepsForeignLines)
{
    TestDir dir;
    const QString path = dir.write(QStringLiteral("vellmar.ini"),
        "; my notes\n[Image]\nMaxWidth=5\nMine=keep\n"
        "[Upload]\nCodetype=5\n[Screenshot]\nDelay=9\n");
    Settings s;
    LoadSettings(path, s);
    EXPECT_EQ(s.main.Image.MaxWidth, 5);
    s.main.Image.MaxWidth = 640;
    SaveSettings(path, s);
    const QString text = QString::fromUtf8(TestDir::read(path));
    EXPECT_TRUE(text.startsWith(QStringLiteral("; my notes\n[Image]\nMaxWidth=640\nMine=keep\n")))
        << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("[Upload]\nCodetype=5\n[Screenshot]\nDelay=9\n")));
}

TEST(Settings, ScreenshotValues)
{
    struct Case
    {
        const char* file;
        int format, quality, delay, entire;
    };
    const Case cases[] = {
        {"", 0, 80, 4, 1},
        {"[Screenshot]\nFormat=1\nQuality=95\nDelay=30\nEntireScreen=0\n", 1, 95, 30, 0},
        {"[Screenshot]\nFormat=-1\nQuality=-5\nDelay=0\n", 0, 80, 4, 1},
        {"[Screenshot]\nFormat=2\nDelay=31\nEntireScreen=7\n", 0, 80, 4, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TestDir dir;
        const ScreenshotSettings v = LoadScreenshotSettings(dir.write(QStringLiteral("v.ini"), c.file));
        EXPECT_EQ(v.Format, c.format);
        EXPECT_EQ(v.Quality, c.quality);
        EXPECT_EQ(v.Delay, c.delay);
        EXPECT_EQ(v.EntireScreen, c.entire);
    }
    TestDir dir;
    const QString path = dir.file(QStringLiteral("v.ini"));
    SaveScreenshotSettings(path, {1, 70, 12, 0});
    const ScreenshotSettings back = LoadScreenshotSettings(path);
    EXPECT_EQ(back.Format, 1);
    EXPECT_EQ(back.Quality, 70);
    EXPECT_EQ(back.Delay, 12);
    EXPECT_EQ(back.EntireScreen, 0);
}

} // namespace
