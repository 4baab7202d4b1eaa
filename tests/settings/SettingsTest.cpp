// SPDX-License-Identifier: MIT
#include "settings/Settings.h"
#include "settings/IniFile.h"

#include "tests/support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// The stored defaults, byte for byte, in the order a save at exit writes them.
const char kDefaultFile[]
    = "[Image]\nMaxWidth=0\nMaxHeight=0\nKeepAsIs=0\nAddLogo=1\nAddText=1\nFormat=1\nQuality=80\n"
      "\n[Logo]\nFilename=\nPosition=0\nTransparency=0\n"
      "\n[Text]\nText=Vellmar\nPosition=5\nColor=-1\nFont=Tahoma, 8, , 204\n"
      "\n[Main]\nCreateThumbs=1\nThumbWidth=160\nServerID=0\n"
      "\n[Thumbs]\nAddImageSize=1\nDrawFrame=1\nUserServerThumbs=0\nTextOverThumb=0\n"
      "Font=Tahoma, 7, b, 204\nFrameColor=7293440\nStrokeColor=0\nColor1=8214029\n"
      "Color2=16756230\nTextColor=16777215\n"
      "\n[VideoGrabber]\nColumns=3\nTileWidth=200\nGapWidth=5\nGapHeight=7\nNumOfFrames=8\n"
      "\n[Servers]\nHost0=imageshack.us\nHost1=keep4u.ru\nHost2=radikal.ru\n"
      "Host3=smages.com\nHost4=ipicture.ru\n";

} // namespace

TEST(Settings, FirstStartHasTheDefaultsAndAnExitWritesThem)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings loaded;
    loaded.main.Image.MaxWidth = 99; // proves the load sets every field
    EXPECT_TRUE(LoadSettings(path, loaded).isEmpty());
    EXPECT_EQ(loaded, Settings());
    ASSERT_TRUE(SaveSettings(path, loaded));
    EXPECT_EQ(TestDir::read(path), QByteArray(kDefaultFile));

    // The screenshot dialog and the upload page write their own keys, and only those.
    ASSERT_TRUE(SaveSettings(path, loaded, SettingsGroup::Screenshot));
    ASSERT_TRUE(SaveSettings(path, loaded, SettingsGroup::Upload));
    EXPECT_EQ(TestDir::read(path),
        QByteArray(kDefaultFile)
            + "\n[Screenshot]\nFormat=0\nQuality=80\nDelay=4\nEntireScreen=1\n"
              "\n[Upload]\nCodetype=0\n");
}

TEST(Settings, RoundTripOfEveryKey)
{
    TestDir dir;
    const QString path = dir.file(QStringLiteral("vellmar.ini"));
    Settings s;
    s.main.Image = {1024, 768, true, false, false, ImageFormat::Gif, 55};
    s.main.Main = {false, 300, ServiceId::IPicture};
    s.main.Thumbs = {true, false, false};
    s.appearance.Text.Font = StringToFont(u"DejaVu Serif,14,bi,1");
    s.appearance.Text.Position = StampPosition::TopRight;
    s.appearance.Text.Text = QStringLiteral("  «Привет», мир = \"ok\"  ");
    s.appearance.Text.Color = 255;
    s.appearance.Thumbs.Font = StringToFont(u"DejaVu Sans,9,us,0");
    s.appearance.Thumbs.StrokeColor = 0x123456;
    s.appearance.Thumbs.FrameColor = 1;
    s.appearance.Thumbs.Color1 = 2;
    s.appearance.Thumbs.Color2 = 3;
    s.appearance.Thumbs.TextColor = 4;
    s.appearance.Thumbs.TextOverThumb = true;
    s.appearance.Logo = {StampPosition::BottomLeft, 42, QStringLiteral("/home/user/логотип.png")};
    s.video.VideoGrabber = {4, 150, 9, 11, 25, 100};
    s.screenshot = {ImageFormat::Png, 95, 30, false};
    s.upload.Codetype = CodeType::HtmlImages;
    s.servers.Host = {QStringLiteral("127.0.0.1:8080"), QStringLiteral("a.example"),
        QStringLiteral("b.example:81"), QStringLiteral("[::1]:8000"), QStringLiteral("c-d.example")};
    for (const SettingsGroup group :
        {SettingsGroup::AtExit, SettingsGroup::Screenshot, SettingsGroup::Upload})
        ASSERT_TRUE(SaveSettings(path, s, group));

    Settings loaded;
    LoadSettings(path, loaded);
    Settings expected = s;
    expected.main.Thumbs.UserServerThumbs = false; // chosen anew in every run
    EXPECT_EQ(loaded, expected);

    // Saving what was loaded changes nothing in the file but the per-run choice.
    QByteArray first = TestDir::read(path);
    ASSERT_TRUE(SaveSettings(path, loaded));
    EXPECT_EQ(TestDir::read(path), first.replace("UserServerThumbs=1", "UserServerThumbs=0"));
    // A format of 0 is "by the source's extension".
    s.main.Image.Format.reset();
    ASSERT_TRUE(SaveSettings(path, s));
    LoadSettings(path, loaded);
    EXPECT_FALSE(loaded.main.Image.Format.has_value());
}

TEST(Settings, UnusableValuesGetDefaults)
{
    using Get = std::function<int(const Settings&)>;
    const Get numOfFrames = [](const Settings& s) { return s.video.VideoGrabber.NumOfFrames; };
    const Get videoQuality = [](const Settings& s) { return s.video.VideoGrabber.Quality; };
    const Get textPosition = [](const Settings& s) { return int(s.appearance.Text.Position); };
    const Get format
        = [](const Settings& s) { return s.main.Image.Format ? int(*s.main.Image.Format) + 1 : 0; };
    const Get maxWidth = [](const Settings& s) { return s.main.Image.MaxWidth; };
    const Get shotFormat = [](const Settings& s) { return int(s.screenshot.Format); };
    const struct
    {
        const char* file;
        Get value;
        int expected;
    } cases[] = {
        {"[VideoGrabber]\nNumOfFrames=0", numOfFrames, 8},
        {"[VideoGrabber]\nNumOfFrames=101", numOfFrames, 8},
        {"[VideoGrabber]\nNumOfFrames=100", numOfFrames, 100},
        {"[VideoGrabber]\nQuality=0", videoQuality, 80},
        {"[VideoGrabber]\nQuality=101", videoQuality, 80},
        {"[VideoGrabber]\nQuality=1", videoQuality, 1},
        {"[Text]\nPosition=6", textPosition, 5},
        {"[Text]\nPosition=-1", textPosition, 5},
        {"[Logo]\nPosition=9", [](const Settings& s) { return int(s.appearance.Logo.Position); }, 0},
        {"[Thumbs]\nAlpha=256", [](const Settings& s) { return s.appearance.Thumbs.Alpha; }, 120},
        {"[Image]\nFormat=4", format, 1},
        {"[Image]\nFormat=0", format, 0},
        {"[Image]\nQuality=150", [](const Settings& s) { return s.main.Image.Quality; }, 80},
        {"[Image]\nMaxWidth=abc", maxWidth, 0},
        {"[Image]\nMaxWidth=640px", maxWidth, 640},
        {"[Image]\nMaxWidth=-20", maxWidth, -20},
        {"[Image]\nKeepAsIs=7", [](const Settings& s) { return int(s.main.Image.KeepAsIs); }, 1},
        {"[Main]\nThumbWidth=99999999999999", [](const Settings& s) { return s.main.Main.ThumbWidth; }, 160},
        // The upload reports a number that names no service itself.
        {"[Main]\nServerID=7", [](const Settings& s) { return int(s.main.Main.ServerID); }, 7},
        {"[Text]\nColor=4294967295", [](const Settings& s) { return s.appearance.Text.Color; }, -1},
        {"[Screenshot]\nFormat=-1", shotFormat, 0},
        {"[Screenshot]\nFormat=2", shotFormat, 0},
        {"[Screenshot]\nQuality=-5", [](const Settings& s) { return s.screenshot.Quality; }, 80},
        {"[Screenshot]\nDelay=31", [](const Settings& s) { return s.screenshot.Delay; }, 4},
        {"[Screenshot]\nEntireScreen=7", [](const Settings& s) { return int(s.screenshot.EntireScreen); }, 1},
        {"[Upload]\nCodetype=7", [](const Settings& s) { return int(s.upload.Codetype); }, 0},
        // Read at start, never written: a changed value does not reach the file.
        {"[Thumbs]\nAlpha=200", [](const Settings& s) { return s.appearance.Thumbs.Alpha; }, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TestDir dir;
        const QString path = dir.write(QStringLiteral("vellmar.ini"), c.file);
        Settings s;
        LoadSettings(path, s);
        EXPECT_EQ(c.value(s), c.expected);
    }
    TestDir dir;
    const QString path
        = dir.write(QStringLiteral("vellmar.ini"), "[Thumbs]\nAlpha=200\n[VideoGrabber]\nQuality=50\n");
    Settings s;
    LoadSettings(path, s);
    s.appearance.Thumbs.Alpha = 10;
    s.video.VideoGrabber.Quality = 10;
    SaveSettings(path, s);
    LoadSettings(path, s);
    EXPECT_EQ(s.appearance.Thumbs.Alpha, 200);
    EXPECT_EQ(s.video.VideoGrabber.Quality, 50);
}

TEST(Settings, BadFontsAndHostsGetDefaultsAndForeignLinesStay)
{
    TestDir dir;
    const QString path = dir.write(QStringLiteral("vellmar.ini"),
        "; my notes\n[Image]\nMaxWidth=5\nMine=keep\n"
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

    s.main.Image.MaxWidth = 640;
    SaveSettings(path, s);
    EXPECT_TRUE(TestDir::read(path).startsWith("; my notes\n[Image]\nMaxWidth=640\nMine=keep\n"));
}
